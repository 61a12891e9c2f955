#include <gtest/gtest.h>

#include <string>

#include "conn/connection.h"
#include "conn/host_security.h"
#include "support/test_server.h"

namespace dbk {
namespace {

// What the server itself says about the session's encryption.
std::string serverSideCipher(Connection& c) {
    Result r = c.query("SHOW SESSION STATUS LIKE 'Ssl_cipher'");
    return r.ok() && r.next() ? std::string(r.text(1U)) : std::string("(unreadable)");
}

ConnectParams with(ConnectParams params, TlsMode mode, const std::string& caFile = {}) {
    params.tls = mode;
    params.tlsCaFile = caFile;
    return params;
}

#define DBK_REQUIRE_TLS_SERVER()                                                      \
    do {                                                                              \
        DBK_REQUIRE_SERVER();                                                         \
        if (test::sslUserParams().user.empty() || test::tlsCaFile().empty())          \
            GTEST_SKIP() << "no encrypted test server (DBKEEPER_TEST_SSL_* not set)"; \
    } while (false)

TEST(SecureConnection, EachModeConnectsOrIsRefusedAsItPromises) {
    DBK_REQUIRE_TLS_SERVER();
    const std::string ca = test::tlsCaFile();
    struct Case {
        const char* what;
        ConnectParams params;
        bool connects;
        bool encrypted;
        unsigned int refusal;  // the error of a refused connection
    };
    const Case cases[] = {
        {"default is Preferred and encrypts", test::adminParams(), true, true, 0},
        {"off stays plain", with(test::adminParams(), TlsMode::Off), true, false, 0},
        {"REQUIRE SSL account, Preferred", with(test::sslUserParams(), TlsMode::Preferred), true, true, 0},
        {"REQUIRE SSL account, Required", with(test::sslUserParams(), TlsMode::Required), true, true, 0},
        {"REQUIRE SSL account, Verified", with(test::sslUserParams(), TlsMode::Verified, ca), true, true, 0},
        {"REQUIRE SSL account without encryption", with(test::sslUserParams(), TlsMode::Off), false, false,
         1045},
        {"Verified with the right authority", with(test::adminParams(), TlsMode::Verified, ca), true, true,
         0},
        {"Verified with another authority",
         with(test::adminParams(), TlsMode::Verified, test::otherTlsCaFile()), false, false, 2026},
        {"the CA of Verified is only used there",
         with(test::adminParams(), TlsMode::Required, test::otherTlsCaFile()), true, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Connection connection;
        const bool opened = connection.open(c.params);
        ASSERT_EQ(opened, c.connects) << connection.errorLine();
        if (!opened) {
            EXPECT_EQ(connection.errorNumber(), c.refusal);
            EXPECT_FALSE(connection.errorText().empty());
            EXPECT_FALSE(connection.isOpen());
            continue;
        }
        const std::string cipher = serverSideCipher(connection);
        EXPECT_EQ(!cipher.empty(), c.encrypted) << cipher;
        EXPECT_EQ(connection.tlsCipher(), cipher);
        EXPECT_EQ(connection.isEncrypted(), c.encrypted);
        EXPECT_EQ(connection.tlsVersion().rfind("TLSv1", 0) == 0, c.encrypted) << connection.tlsVersion();
    }
}

TEST(SecureConnection, AServerWithoutEncryptionIsRefusedWhenEncryptionIsRequired) {
    DBK_REQUIRE_SECOND_SERVER();
    const ConnectParams plain = test::secondServerParams();
    Connection preferred;
    ASSERT_TRUE(preferred.open(with(plain, TlsMode::Preferred))) << preferred.errorLine();
    EXPECT_FALSE(preferred.isEncrypted());
    EXPECT_EQ(serverSideCipher(preferred), "");

    for (TlsMode mode : {TlsMode::Required, TlsMode::Verified}) {
        SCOPED_TRACE(tlsModeName(mode).toStdString());
        Connection c;
        // The library lets such a server through; the connection must not be left open.
        EXPECT_FALSE(c.open(with(plain, mode, test::tlsCaFile())));
        EXPECT_FALSE(c.isOpen());
        EXPECT_EQ(c.errorNumber(), 2026U);
        if (mode == TlsMode::Required)
            EXPECT_NE(c.errorText().find("does not offer an encrypted connection"), std::string::npos)
                << c.errorText();
        else  // the library itself refuses a certificate check without encryption
            EXPECT_FALSE(c.errorText().empty());
    }
}

}  // namespace
}  // namespace dbk
