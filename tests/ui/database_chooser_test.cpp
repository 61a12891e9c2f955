#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <set>

#include "app/database_chooser_form.h"
#include "app/scripted_ui_services.h"
#include "conn/text_codec.h"
#include "support/test_server.h"

namespace dbk {
namespace {

// "表" ends in the byte 0x5C in Shift_JIS, the byte a backslash has.
const QString kJapaneseName = QStringLiteral("dbk_chooser_表示テスト");
const QString kBlankName = QStringLiteral("dbk_chooser_a b");

QByteArray bytesOf(const QString& name) {
    const std::string bytes = toShiftJis(name);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QListWidgetItem* itemNamed(const DatabaseChooserForm& form, const QString& name) {
    const QList<QListWidgetItem*> found = form.list()->findItems(name, Qt::MatchExactly);
    return found.size() == 1 ? found.first() : nullptr;
}

void doubleClick(DatabaseChooserForm& form, QListWidgetItem* item) {
    form.show();
    QCoreApplication::processEvents();  // lets the list lay out its items
    form.list()->scrollToItem(item);
    const QRect rect = form.list()->visualItemRect(item);
    ASSERT_TRUE(form.list()->viewport()->rect().contains(rect.center()));
    // the first click of a double-click, then the second
    QTest::mouseClick(form.list()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(form.list()->viewport(), Qt::LeftButton, {}, rect.center());
}

class DatabaseChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        DBK_REQUIRE_SERVER();
        session = Session(test::connectAdmin());
        ASSERT_TRUE(admin.isOpen());
        for (const QString& name : {kJapaneseName, kBlankName}) {
            const std::string ident = test::sqlName(toShiftJis(name));
            admin.exec("DROP DATABASE IF EXISTS " + ident);
            ASSERT_TRUE(admin.exec("CREATE DATABASE " + ident)) << admin.errorLine();
        }
    }
    void TearDown() override {
        if (!admin.isOpen())
            return;
        for (const QString& name : {kJapaneseName, kBlankName}) {
            EXPECT_TRUE(admin.exec("DROP DATABASE IF EXISTS " + test::sqlName(toShiftJis(name))))
                << admin.errorLine();
        }
    }

    ScopedScriptedUi ui;
    Session session;
    Connection& admin = session.connection();
};

TEST_F(DatabaseChooserTest, ListsEveryDatabaseAsLargeIconsWithItsBytes) {
    DatabaseChooserForm form(session);
    EXPECT_EQ(form.windowTitle(), "データベース選択");
    EXPECT_EQ(form.list()->viewMode(), QListView::IconMode);
    EXPECT_GE(form.list()->iconSize().width(), 32);
    EXPECT_EQ(form.cancelButton()->text(), "ｷｬﾝｾﾙ");
    EXPECT_EQ(form.findChildren<QPushButton*>().size(), 1);
    EXPECT_TRUE(ui->messages.isEmpty());

    std::set<QString> expected;
    Result databases = admin.query("SHOW DATABASES");
    ASSERT_TRUE(databases) << admin.errorLine();
    while (databases.next())
        expected.insert(fromShiftJis(databases.text(0)));
    std::set<QString> shown;
    for (int i = 0; i < form.list()->count(); ++i) {
        const QListWidgetItem* item = form.list()->item(i);
        shown.insert(item->text());
        EXPECT_FALSE(item->icon().isNull()) << item->text().toStdString();
        EXPECT_EQ(item->data(DatabaseChooserForm::kBytesRole).toByteArray(), bytesOf(item->text()));
    }
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(form.list()->count(), static_cast<int>(expected.size()));
    for (const QString& name : {kJapaneseName, kBlankName, QStringLiteral("mysql")}) {
        EXPECT_NE(itemNamed(form, name), nullptr) << name.toStdString();
    }
}

TEST_F(DatabaseChooserTest, DoubleClickChoosesTheNameAsTheServerGaveIt) {
    for (const QString& name : {kJapaneseName, kBlankName}) {
        DatabaseChooserForm form(session);
        QListWidgetItem* item = itemNamed(form, name);
        ASSERT_NE(item, nullptr) << name.toStdString();
        doubleClick(form, item);
        EXPECT_EQ(form.result(), QDialog::Accepted);
        ASSERT_TRUE(form.chosen().has_value());
        EXPECT_EQ(*form.chosen(), toShiftJis(name));
        EXPECT_FALSE(form.isVisible());
        // the bytes name the database on the server
        EXPECT_TRUE(admin.selectDb(*form.chosen())) << admin.errorLine();
    }
}

TEST_F(DatabaseChooserTest, CancelChoosesNothing) {
    DatabaseChooserForm form(session);
    form.show();
    form.list()->setCurrentItem(itemNamed(form, kJapaneseName));  // selected but not chosen
    form.cancelButton()->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(form.chosen().has_value());
}

TEST_F(DatabaseChooserTest, AFailingListShowsTheErrorAloneAndStaysEmpty) {
    // The server closed the session.
    Session victimSession(test::connectAdmin());
    Connection& victim = victimSession.connection();
    ASSERT_TRUE(victim.isOpen());
    ASSERT_TRUE(admin.exec("KILL " + std::to_string(victim.threadId()))) << admin.errorLine();
    {
        DatabaseChooserForm form(victimSession);
        EXPECT_EQ(form.list()->count(), 0);
        ASSERT_EQ(ui->messages.size(), 1);
        EXPECT_FALSE(ui->messages.first().isEmpty());
        EXPECT_EQ(ui->messages.first(), fromShiftJis(victim.errorText()));
        EXPECT_NE(victim.errorNumber(), 0U);
    }

    // The program closed it.
    ui->messages.clear();
    victim.close();
    DatabaseChooserForm form(victimSession);
    EXPECT_EQ(form.list()->count(), 0);
    EXPECT_EQ(ui->messages, QStringList{"Not connected to a server."});
}

}  // namespace
}  // namespace dbk
