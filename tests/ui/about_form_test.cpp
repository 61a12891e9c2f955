#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "app/about_form.h"
#include "app/messages.h"
#include "conn/text_codec.h"
#include "support/test_server.h"

namespace dbk {
namespace {

QStringList labelTexts(const QDialog& form) {
    QStringList texts;
    for (const QLabel* label : form.findChildren<QLabel*>())
        texts.append(label->text());
    return texts;
}

class AboutFormTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }
    void TearDown() override { setInterfaceLanguage(Language::English); }
};

TEST_F(AboutFormTest, ShowsTheProgramAndClientVersionsWithoutAServer) {
    Session closed;
    AboutForm form(closed);
    EXPECT_EQ(form.windowTitle(), "About Tolvane Dbkeeper");
    const QStringList texts = labelTexts(form);
    EXPECT_TRUE(texts.contains("Tolvane Dbkeeper"));
    EXPECT_EQ(form.versionLabel()->text(), QStringLiteral("Version " DBK_PROJECT_VERSION));
    EXPECT_EQ(form.clientLabel()->text(), QString::fromStdString(mysql_get_client_info()));
    EXPECT_FALSE(form.clientLabel()->text().isEmpty());
    EXPECT_EQ(form.serverLabel(), nullptr);
    EXPECT_EQ(form.protocolLabel(), nullptr);
    EXPECT_FALSE(texts.contains("Server:"));

    form.show();
    form.okButton()->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(AboutFormTest, ShowsTheServerVersionAndProtocolWhileConnected) {
    DBK_REQUIRE_SERVER();
    Session session(test::connectAdmin());
    Connection& admin = session.connection();
    ASSERT_TRUE(admin.isOpen());
    Result version = admin.query("SELECT VERSION()");
    ASSERT_TRUE(version && version.next()) << admin.errorLine();

    AboutForm form(session);
    ASSERT_NE(form.serverLabel(), nullptr);
    ASSERT_NE(form.protocolLabel(), nullptr);
    EXPECT_EQ(form.serverLabel()->text(), fromShiftJis(version.text(0)));
    EXPECT_EQ(form.protocolLabel()->text(), "10");
    const QStringList texts = labelTexts(form);
    EXPECT_TRUE(texts.contains("Server:"));
    EXPECT_TRUE(texts.contains("Protocol version:"));
}

TEST_F(AboutFormTest, JapaneseTitleAndCaptions) {
    setInterfaceLanguage(Language::Japanese);
    Session closed;
    AboutForm form(closed);
    EXPECT_EQ(form.windowTitle(), "バージョン情報");
    EXPECT_EQ(form.versionLabel()->text(), QStringLiteral("バージョン " DBK_PROJECT_VERSION));
}

}  // namespace
}  // namespace dbk
