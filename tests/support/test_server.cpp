#include "support/test_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "conn/text_codec.h"

namespace dbk::test {

namespace {
std::string env(const char* name, const char* fallback = "") {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

// The account of `userVariable`/`passwordVariable` on the server of DBKEEPER_TEST_HOST/_PORT
// (prefix "DBKEEPER_TEST") or DBKEEPER_TEST2_HOST/_PORT.
ConnectParams paramsFor(const std::string& prefix, const char* userVariable, const char* passwordVariable) {
    ConnectParams p;
    p.host = env((prefix + "_HOST").c_str(), "127.0.0.1");
    p.port = static_cast<unsigned>(std::atoi(env((prefix + "_PORT").c_str(), "3306").c_str()));
    p.user = env(userVariable);
    p.password = env(passwordVariable);
    // The tests write their statements in Shift_JIS: their sessions ask for it, as a saved server
    // may. Tests of today's default take SessionText::Automatic.
    p.sessionText = SessionText::ShiftJis;
    return p;
}

ConnectParams paramsFor(const char* userVariable, const char* passwordVariable) {
    return paramsFor("DBKEEPER_TEST", userVariable, passwordVariable);
}
}  // namespace

bool serverConfigured() {
    return !env("DBKEEPER_TEST_PORT").empty() && !env("DBKEEPER_TEST_USER").empty();
}

bool serverRequired() {
    return env("CI") == "true";
}

ConnectParams adminParams() {
    return paramsFor("DBKEEPER_TEST_USER", "DBKEEPER_TEST_PASSWORD");
}

ConnectParams normalUserParams() {
    return paramsFor("DBKEEPER_TEST_NORMAL_USER", "DBKEEPER_TEST_NORMAL_PASSWORD");
}

ConnectParams noShutdownParams() {
    return paramsFor("DBKEEPER_TEST_NOSHUTDOWN_USER", "DBKEEPER_TEST_NOSHUTDOWN_PASSWORD");
}

ConnectParams sslUserParams() {
    return paramsFor("DBKEEPER_TEST_SSL_USER", "DBKEEPER_TEST_SSL_PASSWORD");
}

std::string tlsCaFile() {
    return env("DBKEEPER_TEST_TLS_CA");
}

std::string otherTlsCaFile() {
    return env("DBKEEPER_TEST_TLS_OTHER_CA");
}

bool secondServerConfigured() {
    return !env("DBKEEPER_TEST2_PORT").empty() && !env("DBKEEPER_TEST2_USER").empty();
}

ConnectParams secondServerParams() {
    return paramsFor("DBKEEPER_TEST2", "DBKEEPER_TEST2_USER", "DBKEEPER_TEST2_PASSWORD");
}

Connection connectSecondAdmin() {
    Connection c;
    EXPECT_TRUE(c.open(secondServerParams())) << c.errorLine();
    return c;
}

unsigned int closedPort() {
    // Bind a port and close it again: nothing listens there afterwards.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    unsigned int port = 1;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0)
        ::close(fd);
    return port;
}

std::string sqlName(std::string_view name) {
    return Connection::ident(name, NameQuoting::ShiftJis);
}

std::string sqlName(std::string_view database, std::string_view table) {
    return Connection::qualifiedName(database, table, NameQuoting::ShiftJis);
}

std::string scalar(Connection& c, const std::string& sql) {
    Result r = c.query(sql);
    EXPECT_TRUE(r.ok()) << sql << ": " << c.errorLine();
    return r.ok() && r.next() ? std::string(r.text(0U)) : std::string("(no row)");
}

std::string checksum(Connection& c, const std::string& database, const std::string& table) {
    Result r = c.query("CHECKSUM TABLE " + sqlName(database, table));
    EXPECT_TRUE(r.ok()) << c.errorLine();
    return r.ok() && r.next() ? r.text("Checksum") : std::string("(none)");
}

Connection connectAdmin() {
    Connection c;
    EXPECT_TRUE(c.open(adminParams())) << c.errorLine();
    return c;
}

LoginValues loginValues(const ConnectParams& p) {
    return LoginValues{QString::fromStdString(p.user), QString::fromStdString(p.password),
                       QString::fromStdString(p.host), QString::number(p.port),
                       HostSecurity{p.tls, QString::fromLocal8Bit(p.tlsCaFile), p.sessionText}};
}

LoginPrompt loginPromptFor(const ConnectParams& params) {
    return [params](const LoginValues&) { return std::optional(loginValues(params)); };
}

ScratchDatabase::ScratchDatabase(std::string name) : name_(std::move(name)), session_(connectAdmin()) {
    Connection& admin = this->admin();
    admin.exec("DROP DATABASE IF EXISTS " + sqlName(name_));
    EXPECT_TRUE(admin.exec("CREATE DATABASE " + sqlName(name_) + " CHARACTER SET utf8mb4"))
        << admin.errorLine();
    EXPECT_TRUE(admin.selectDb(name_)) << admin.errorLine();
}

ScratchDatabase::~ScratchDatabase() {
    admin().exec("DROP DATABASE IF EXISTS " + sqlName(name_));
}

}  // namespace dbk::test
