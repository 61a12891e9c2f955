#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <optional>
#include <string>

#include "conn/connection.h"
#include "conn/dbkeeper_doc.h"
#include "conn/session.h"

namespace dbk::test {

// The disposable server ./test starts, from DBKEEPER_TEST_HOST, _PORT, _USER, _PASSWORD;
// the restricted accounts from DBKEEPER_TEST_NORMAL_USER/_PASSWORD (no access to the
// database mysql) and DBKEEPER_TEST_NOSHUTDOWN_USER/_PASSWORD (no SHUTDOWN privilege).
bool serverConfigured();
// Under CI a server test that cannot reach its server fails instead of being skipped.
bool serverRequired();
ConnectParams adminParams();
ConnectParams normalUserParams();
ConnectParams noShutdownParams();
// The account that logs in over encrypted connections only (DBKEEPER_TEST_SSL_USER/_PASSWORD),
// the authority that signed the server's certificate (DBKEEPER_TEST_TLS_CA) and one that did
// not (DBKEEPER_TEST_TLS_OTHER_CA).
ConnectParams sslUserParams();
std::string tlsCaFile();
std::string otherTlsCaFile();
// The second disposable server ./test starts (copies from another server, replication), from
// DBKEEPER_TEST2_HOST, _PORT, _SOCKET, _USER, _PASSWORD: its administrator.
bool secondServerConfigured();
ConnectParams secondServerParams();
// An open administrator connection to the second server, or a failed assertion.
Connection connectSecondAdmin();
// A port on 127.0.0.1 where nothing listens.
unsigned int closedPort();

// An open administrator connection, or a failed assertion.
Connection connectAdmin();

// A name, or "database.table", written for the statements of the tests' own sessions, which are
// opened in Shift_JIS as the program's are.
std::string sqlName(std::string_view name);
std::string sqlName(std::string_view database, std::string_view table);

// The first value of a statement's first row ("(no row)" when there is none; a failure fails the
// test), and the CHECKSUM TABLE of a table.
std::string scalar(Connection& c, const std::string& sql);
std::string checksum(Connection& c, const std::string& database, const std::string& table);

// What the login form hands over for an account, and a login prompt that always answers so.
LoginValues loginValues(const ConnectParams& params);
LoginPrompt loginPromptFor(const ConnectParams& params);

// A database created fresh for one test and dropped afterwards.
class ScratchDatabase {
public:
    explicit ScratchDatabase(std::string name);
    ~ScratchDatabase();
    const std::string& name() const { return name_; }
    Session& session() { return session_; }
    Connection& admin() { return session_.connection(); }

private:
    std::string name_;
    Session session_;
};

}  // namespace dbk::test

// Skips (or, under CI, fails) a test when no server was configured.
#define DBK_REQUIRE_SERVER()                                                        \
    do {                                                                            \
        if (!::dbk::test::serverConfigured()) {                                     \
            if (::dbk::test::serverRequired())                                      \
                FAIL() << "DBKEEPER_TEST_* not set";                                \
            GTEST_SKIP() << "no test server (DBKEEPER_TEST_* not set); run ./test"; \
        }                                                                           \
    } while (false)

// The same for tests that need the second server as well.
#define DBK_REQUIRE_SECOND_SERVER()                                                         \
    do {                                                                                    \
        DBK_REQUIRE_SERVER();                                                               \
        if (!::dbk::test::secondServerConfigured()) {                                       \
            if (::dbk::test::serverRequired())                                              \
                FAIL() << "DBKEEPER_TEST2_* not set";                                       \
            GTEST_SKIP() << "no second test server (DBKEEPER_TEST2_* not set); run ./test"; \
        }                                                                                   \
    } while (false)
