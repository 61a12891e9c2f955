#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "app/messages.h"
#include "conn/host_file.h"
#include "conn/host_security.h"
#include "conn/saved_host.h"

namespace dbk {
namespace {

class HostSecurityTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }
    QTemporaryDir dir;
    QSettings settings{dir.filePath("settings.ini"), QSettings::IniFormat};
};

TEST_F(HostSecurityTest, EachHostKeepsItsOwnSettingUnderAnyName) {
    // Names with separators, Shift_JIS bytes whose second byte is "\\", and one that is empty.
    const std::string names[] = {"plain", "a/b", "back\\slash", "\x95\x5C\x8E\xA6", "", "with space"};
    int n = 0;
    for (const std::string& name : names) {
        const HostSecurity s{n % 2 ? TlsMode::Verified : TlsMode::Required, QString("/ca/%1.pem").arg(n)};
        HostSecurity::write(settings, name, s);
        ++n;
    }
    n = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const HostSecurity expected{n % 2 ? TlsMode::Verified : TlsMode::Required,
                                    QString("/ca/%1.pem").arg(n)};
        EXPECT_EQ(HostSecurity::read(settings, name), expected);
        ++n;
    }
    EXPECT_EQ(HostSecurity::read(settings, "never saved"), HostSecurity{});
    EXPECT_EQ(HostSecurity{}.mode, TlsMode::Preferred);
}

TEST_F(HostSecurityTest, TheSettingFollowsARenameAndGoesWithADelete) {
    const HostSecurity verified{TlsMode::Verified, "/etc/ca.pem"};
    HostSecurity::write(settings, "old", verified);
    HostSecurity::write(settings, "other", HostSecurity{TlsMode::Required, {}});

    HostSecurity::rename(settings, "old", "new");
    EXPECT_EQ(HostSecurity::read(settings, "new"), verified);
    EXPECT_EQ(HostSecurity::read(settings, "old"), HostSecurity{});
    HostSecurity::rename(settings, "new", "new");
    EXPECT_EQ(HostSecurity::read(settings, "new"), verified);

    HostSecurity::remove(settings, "new");
    EXPECT_EQ(HostSecurity::read(settings, "new"), HostSecurity{});
    EXPECT_EQ(HostSecurity::read(settings, "other").mode, TlsMode::Required);

    // Going back to the default leaves nothing behind in the store.
    HostSecurity::write(settings, "other", HostSecurity{});
    EXPECT_EQ(HostSecurity::read(settings, "other"), HostSecurity{});
    EXPECT_TRUE(settings.allKeys().isEmpty()) << settings.allKeys().join(",").toStdString();
}

TEST_F(HostSecurityTest, SavedHostParametersCarryTheSetting) {
    const HostRecord record{"db", "db.example", "alice", "pw", "3307"};
    ConnectParams plain = connectParamsFor(record, settings);
    EXPECT_EQ(plain.tls, TlsMode::Preferred);
    EXPECT_EQ(plain.port, 3307U);

    HostSecurity::write(settings, "db", HostSecurity{TlsMode::Verified, "/etc/ca.pem"});
    const ConnectParams verified = connectParamsFor(record, settings);
    EXPECT_EQ(verified.tls, TlsMode::Verified);
    EXPECT_EQ(verified.tlsCaFile, "/etc/ca.pem");
    EXPECT_EQ(verified.host, "db.example");

    // A CA file left from an earlier Verified setting is not handed on.
    HostSecurity::write(settings, "db", HostSecurity{TlsMode::Required, "/etc/ca.pem"});
    const ConnectParams required = connectParamsFor(record, settings);
    EXPECT_EQ(required.tls, TlsMode::Required);
    EXPECT_EQ(required.tlsCaFile, "");
}

TEST_F(HostSecurityTest, VerifiedNeedsAReadableCaFile) {
    const QString ca = dir.filePath("ca.pem");
    QFile file(ca);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("-----BEGIN CERTIFICATE-----\n");
    file.close();
    struct Case {
        HostSecurity security;
        bool acceptable;
    };
    const Case cases[] = {
        {{TlsMode::Preferred, {}}, true},         {{TlsMode::Required, "/no/such/file"}, true},
        {{TlsMode::Verified, ca}, true},          {{TlsMode::Verified, {}}, false},
        {{TlsMode::Verified, "  "}, false},       {{TlsMode::Verified, dir.filePath("missing.pem")}, false},
        {{TlsMode::Verified, dir.path()}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.security.caFile.toStdString());
        EXPECT_EQ(c.security.problem().isEmpty(), c.acceptable) << c.security.problem().toStdString();
    }
    const HostSecurity unreadable{TlsMode::Verified, "/x.pem"};
    EXPECT_EQ(unreadable.problem(), "The CA file cannot be read.\n/x.pem");
}

}  // namespace
}  // namespace dbk
