#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/scripted_ui_services.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "support/test_server.h"

namespace dbk {
namespace {

class DocumentConnect : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        doc.setLoginPrompt([this](const LoginValues& preset) -> std::optional<LoginValues> {
            presets.push_back(preset);
            directoriesAtLogin.push_back(QDir::currentPath());
            return answer;
        });
    }

    ScopedScriptedUi ui;
    CDbkeeperDoc doc;
    std::optional<LoginValues> answer;
    std::vector<LoginValues> presets;
    QStringList directoriesAtLogin;
};

TEST_F(DocumentConnect, AdministratorIsToldAndTheStatusBarFilled) {
    DBK_REQUIRE_SERVER();
    answer = test::loginValues(test::adminParams());
    EXPECT_EQ(doc.connect(), CDbkeeperDoc::kAdministrator);
    ASSERT_EQ(presets.size(), 1U);
    EXPECT_EQ(presets[0].port, "3306");
    EXPECT_TRUE(presets[0].user.isEmpty() && presets[0].host.isEmpty() && presets[0].password.isEmpty());
    EXPECT_EQ(doc.adminFlag(), 1);
    EXPECT_TRUE(doc.connection().isOpen());
    EXPECT_EQ(ui->messages, QStringList{"You are an administrator."});

    auto& panes = dynamic_cast<RecordingStatusPanes&>(doc.statusPanes());
    EXPECT_EQ(panes.text(0), "Connecting as administrator");
    EXPECT_EQ(panes.text(1), "Login Name " + fromShiftJis(test::adminParams().user));
    // The test server offers encryption, and a login encrypts whenever it is offered.
    EXPECT_EQ(panes.text(2), "Host " + fromShiftJis(test::adminParams().host) + " (encrypted)");
    EXPECT_EQ(panes.toolTips[2],
              "Encrypted connection: " + QString::fromStdString(doc.connection().tlsCipher()) + " (" +
                  QString::fromStdString(doc.connection().tlsVersion()) + ")");
    EXPECT_FALSE(doc.connection().tlsCipher().empty());
    EXPECT_EQ(panes.text(3), "Query Speed");
    EXPECT_EQ(panes.widths, (std::map<int, int>{{1, 150}, {2, 150}, {3, 300}}));
    EXPECT_EQ(doc.port(), std::to_string(test::adminParams().port));

    // The default database of an administrator is mysql until the tree selects another.
    Result current = doc.connection().query("SELECT DATABASE()");
    ASSERT_TRUE(current.next());
    EXPECT_EQ(current.text(0U), "mysql");
    EXPECT_FALSE(doc.generation().hasHostTable());
}

TEST_F(DocumentConnect, NormalUserConnectsWithoutTheAdministratorBox) {
    DBK_REQUIRE_SERVER();
    answer = test::loginValues(test::normalUserParams());
    EXPECT_EQ(doc.connect(), CDbkeeperDoc::kNormalUser);
    EXPECT_EQ(doc.adminFlag(), 0);
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(dynamic_cast<RecordingStatusPanes&>(doc.statusPanes()).text(0), "Connecting as normal user");
    EXPECT_TRUE(doc.connection().ping());
}

TEST_F(DocumentConnect, ReloginResetsTheAdministratorFlagAndClosesTheOldSession) {
    DBK_REQUIRE_SERVER();
    answer = test::loginValues(test::adminParams());
    ASSERT_EQ(doc.connect(), CDbkeeperDoc::kAdministrator);
    const unsigned long firstThread = doc.connection().threadId();
    Connection observer = test::connectAdmin();

    answer = test::loginValues(test::normalUserParams());
    EXPECT_EQ(doc.connect(), CDbkeeperDoc::kNormalUser);
    EXPECT_EQ(doc.adminFlag(), 0);
    EXPECT_NE(doc.connection().threadId(), firstThread);
    Result threads = observer.query("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " +
                                    std::to_string(firstThread));
    ASSERT_TRUE(threads.next());
    EXPECT_EQ(threads.text(0U), "0");
}

TEST_F(DocumentConnect, RefusedLoginsAreReportedAndLeaveTheProgramUsable) {
    DBK_REQUIRE_SERVER();
    ConnectParams wrongPassword = test::adminParams();
    wrongPassword.password = "not-the-password";
    ConnectParams closedPort = test::adminParams();
    closedPort.port = test::closedPort();
    ConnectParams unknownUser = test::adminParams();
    unknownUser.user = "nobody_here";

    for (const ConnectParams& params : {wrongPassword, closedPort, unknownUser}) {
        ui->messages.clear();
        answer = test::loginValues(params);
        EXPECT_EQ(doc.connect(), CDbkeeperDoc::kNotConnected) << params.user << " port " << params.port;
        ASSERT_EQ(ui->messages.size(), 1);
        EXPECT_TRUE(ui->messages[0].startsWith("Error connecting.\n")) << ui->messages[0].toStdString();
        EXPECT_FALSE(doc.connection().isOpen());
        EXPECT_EQ(dynamic_cast<RecordingStatusPanes&>(doc.statusPanes()).text(0), "Cannot connect.");
    }
    EXPECT_TRUE(ui->messages[0].contains(QString::number(closedPort.port)) ||
                ui->messages[0].contains("1045"));

    answer = test::loginValues(test::adminParams());
    EXPECT_EQ(doc.connect(), CDbkeeperDoc::kAdministrator);
}

TEST_F(DocumentConnect, LoginsThatCannotBeSecuredSayWhyAndAPlainOneSaysItIsPlain) {
    DBK_REQUIRE_SECOND_SERVER();
    if (test::tlsCaFile().empty())
        GTEST_SKIP() << "no encrypted test server";
    ConnectParams otherAuthority = test::adminParams();
    otherAuthority.tls = TlsMode::Verified;
    otherAuthority.tlsCaFile = test::otherTlsCaFile();
    ConnectParams plainServer = test::secondServerParams();
    plainServer.tls = TlsMode::Required;
    ConnectParams sslAccountInTheClear = test::sslUserParams();
    sslAccountInTheClear.tls = TlsMode::Off;
    const std::pair<ConnectParams, const char*> refusals[] = {
        {otherAuthority, "Error connecting.\n2026:TLS/SSL error: "},
        {plainServer, "Error connecting.\n2026:The server does not offer an encrypted connection"},
        {sslAccountInTheClear, "Error connecting.\n1045:"},
    };
    for (const auto& [params, reason] : refusals) {
        SCOPED_TRACE(reason);
        ui->messages.clear();
        answer = test::loginValues(params);
        EXPECT_EQ(doc.connect(), CDbkeeperDoc::kNotConnected);
        ASSERT_EQ(ui->messages.size(), 1);
        EXPECT_TRUE(ui->messages[0].startsWith(reason)) << ui->messages[0].toStdString();
        EXPECT_FALSE(doc.connection().isOpen());
    }

    // The second server offers no encryption: Preferred logs in and the status bar says so.
    ui->messages.clear();
    answer = test::loginValues(test::secondServerParams());
    EXPECT_EQ(doc.connect(), CDbkeeperDoc::kAdministrator);
    auto& panes = dynamic_cast<RecordingStatusPanes&>(doc.statusPanes());
    EXPECT_EQ(panes.text(2), "Host " + fromShiftJis(test::secondServerParams().host) + " (not encrypted)");
    EXPECT_EQ(panes.toolTips[2], "This connection is not encrypted.");
}

TEST_F(DocumentConnect, CancelledLoginSaysSoAndConnectsNothing) {
    answer = std::nullopt;
    EXPECT_EQ(doc.connect(), CDbkeeperDoc::kNotConnected);
    EXPECT_EQ(ui->messages, QStringList{"Error logging in."});
    EXPECT_FALSE(doc.connection().isOpen());
    EXPECT_EQ(doc.adminFlag(), 0);
}

TEST_F(DocumentConnect, EveryLoginStartsInTheStartupDirectory) {
    QTemporaryDir startup;
    QTemporaryDir elsewhere;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(startup.path()));
    answer = std::nullopt;
    doc.connect();
    // a file chooser moved the process elsewhere in between
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    doc.connect();
    QDir::setCurrent(previous);
    ASSERT_EQ(directoriesAtLogin.size(), 2);
    EXPECT_EQ(QDir(directoriesAtLogin[0]).canonicalPath(), QDir(startup.path()).canonicalPath());
    EXPECT_EQ(QDir(directoriesAtLogin[1]).canonicalPath(), QDir(startup.path()).canonicalPath());
    EXPECT_EQ(QDir(QString::fromStdString(doc.startupDirectory())).canonicalPath(),
              QDir(startup.path()).canonicalPath());
}

TEST_F(DocumentConnect, KeepAliveNoticesALostSessionButNotABusyOne) {
    DBK_REQUIRE_SERVER();
    answer = test::loginValues(test::adminParams());
    ASSERT_EQ(doc.connect(), CDbkeeperDoc::kAdministrator);
    ui->messages.clear();
    EXPECT_EQ(doc.keepAliveTick(), CDbkeeperDoc::KeepAlive::Alive);

    Connection killer = test::connectAdmin();
    ASSERT_TRUE(killer.exec("KILL " + std::to_string(doc.connection().threadId())));
    {
        BusyGuard longOperation(doc.connection());
        EXPECT_EQ(doc.keepAliveTick(), CDbkeeperDoc::KeepAlive::Skipped);
        EXPECT_TRUE(ui->messages.isEmpty());
    }
    EXPECT_EQ(doc.keepAliveTick(), CDbkeeperDoc::KeepAlive::Lost);
    EXPECT_EQ(ui->messages, QStringList{"Database session terminated."});
}

TEST(CharacterSetWarning, OnlySetsThatCannotHoldJapaneseWarn) {
    for (const char* set : {"sjis", "cp932", "ujis", "eucjpms", "utf8", "utf8mb3", "utf8mb4"})
        EXPECT_FALSE(CDbkeeperDoc::charsetGarbles(set)) << set;
    for (const char* set : {"latin1", "ascii", "big5"})
        EXPECT_TRUE(CDbkeeperDoc::charsetGarbles(set)) << set;
    EXPECT_EQ(CDbkeeperDoc::garblingWarning("latin1", "utf8mb4"),
              QStringLiteral("このキャラクタセットでは文字化けを起こす可能性があります。: \n "
                             "サーバのキャラクタセット -> latin1 \n "
                             "クライアントのキャラクタセット -> utf8mb4"));
}

TEST(CharacterSetWarning, TheServersOwnSetIsRead) {
    DBK_REQUIRE_SERVER();
    ScopedScriptedUi ui;
    CDbkeeperDoc doc;
    doc.setLoginPrompt(
        [](const LoginValues&) { return std::optional(test::loginValues(test::adminParams())); });
    ASSERT_EQ(doc.connect(), CDbkeeperDoc::kAdministrator);
    Result expected = doc.connection().query("SELECT @@character_set_server");
    ASSERT_TRUE(expected.next());
    EXPECT_EQ(doc.readServerCharacterSet(), expected.text(0U));
}

}  // namespace
}  // namespace dbk
