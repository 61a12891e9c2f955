#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/commands.h"
#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "browser/left_view.h"
#include "conn/host_file.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "support/ui_support.h"
#include "transfer/database_copy.h"
#include "transfer/database_copy_form.h"
#include "transfer/server_copy_form.h"
#include "transfer/table_copy.h"

namespace dbk {
namespace {

QStringList texts(const QListWidget* list) {
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->item(i)->text();
    return all;
}

void choose(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list->setCurrentItem(found[0]);
}

bool tableExists(Connection& c, const std::string& database, const std::string& table) {
    Result r = c.query("SHOW TABLES FROM " + test::sqlName(database) + " LIKE '" + c.escapeLike(table) + "'");
    return r.next();
}

HostRecord savedRecord(const char* name, const ConnectParams& params, const std::string& password) {
    return {name, params.host, params.user, password, std::to_string(params.port)};
}

class DataCopyFormsTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }
    QStringList press(QPushButton* button) {
        ui->messages.clear();
        ui->questions.clear();
        button->click();
        return ui->messages;
    }
    QTemporaryDir dir;
    ScopedScriptedUi ui;
};

// The servers of the address book (the deleted one left out, a wrong password said so), the
// lists of the chosen one, the batch count, the rewritten statement and a copy in batches of 500.
TEST_F(DataCopyFormsTest, ServerCopyChoosesAServerAndCopiesATableInBatches) {
    DBK_REQUIRE_SECOND_SERVER();
    Connection second = test::connectSecondAdmin();
    ASSERT_TRUE(second.exec("DROP DATABASE IF EXISTS dbk_form_other"));
    ASSERT_TRUE(second.exec("CREATE DATABASE dbk_form_other"));
    ASSERT_TRUE(second.selectDb("dbk_form_other"));
    struct Drop {
        Connection& c;
        ~Drop() { c.exec("DROP DATABASE IF EXISTS dbk_form_other"); }
    } drop{second};
    const std::string table = toShiftJis(QStringLiteral("元 表"));
    ASSERT_TRUE(second.exec("CREATE TABLE dbk_form_other." + test::sqlName(table) +
                            " (id INT PRIMARY KEY, v VARCHAR(20) DEFAULT 'x', n INT NULL) ENGINE=MyISAM"));
    ASSERT_TRUE(second.exec("INSERT INTO dbk_form_other." + test::sqlName(table) +
                            " SELECT seq, CONCAT('it''s ', seq), NULL FROM seq_1_to_2500"));
    test::ScratchDatabase db("dbk_form_target");

    const HostFile hosts(dir.filePath(QString::fromLatin1(HostFile::kFileName)));
    const ConnectParams secondParams = test::secondServerParams();
    for (const HostRecord& record : {savedRecord("wrong", secondParams, "not-the-password"),
                                     savedRecord("gone", secondParams, secondParams.password),
                                     savedRecord("second", secondParams, secondParams.password),
                                     savedRecord("self", test::adminParams(), test::adminParams().password)})
        ASSERT_EQ(hosts.append(record), HostFile::Outcome::Written);
    ASSERT_EQ(hosts.markDeleted("gone"), HostFile::Outcome::Written);

    ServerCopyForm form(db.session(), dir.path());
    QTreeWidget* servers = form.serverList();
    ASSERT_EQ(servers->topLevelItemCount(), 3);
    EXPECT_EQ(servers->headerItem()->text(0), msg(10132));
    EXPECT_EQ(servers->topLevelItem(1)->text(0), QStringLiteral("second"));
    EXPECT_EQ(servers->topLevelItem(1)->text(2), QString::number(secondParams.port));
    EXPECT_EQ(servers->topLevelItem(1)->text(4), QStringLiteral("********"));
    EXPECT_EQ(form.batchSizeEdit()->text(), QStringLiteral("1000"));
    EXPECT_TRUE(form.copyDataBox()->isChecked());
    EXPECT_EQ(form.typeList()->count(), 4);  // this server has InnoDB
    EXPECT_EQ(form.typeList()->itemText(3), QStringLiteral("INNOBASE"));

    servers->setCurrentItem(servers->topLevelItem(0));
    EXPECT_EQ(form.databaseList()->count(), 0);
    EXPECT_FALSE(form.sourceSession().isOpen());
    EXPECT_TRUE(form.statusLabel()->text().startsWith(
        QStringLiteral("The server wrong could not be reached:\n1045:")))
        << form.statusLabel()->text().toStdString();

    servers->setCurrentItem(servers->topLevelItem(1));
    EXPECT_TRUE(form.statusLabel()->text().isEmpty());
    ASSERT_TRUE(form.sourceSession().isOpen());
    EXPECT_EQ(form.sourceSession().connection().serverVersion(), second.serverVersion());
    EXPECT_FALSE(texts(form.databaseList()).contains(QStringLiteral("dbk_form_target")));  // the other server
    choose(form.databaseList(), QStringLiteral("dbk_form_other"));
    EXPECT_EQ(texts(form.tableList()), QStringList{QStringLiteral("元 表")});
    choose(form.tableList(), QStringLiteral("元 表"));
    ASSERT_EQ(form.fieldList()->topLevelItemCount(), 3);
    EXPECT_EQ(form.fieldList()->topLevelItem(1)->text(0), QStringLiteral("v"));
    EXPECT_EQ(form.fieldList()->topLevelItem(1)->text(4), QStringLiteral("x"));
    // n has no default: its row ends at the NULL.
    EXPECT_EQ(form.fieldList()->topLevelItem(2)->text(3), QString());
    EXPECT_EQ(form.sourceCountEdit()->text(), QStringLiteral("2500"));
    EXPECT_EQ(form.batchCountEdit()->text(), QStringLiteral("3回に分割"));
    EXPECT_TRUE(form.statementEdit()->toPlainText().startsWith(QStringLiteral("CREATE TABLE `元 表` (")));
    for (const auto& [typed, shown] :
         {std::pair{"500", "6回に分割"}, {"0", ""}, {"abc", ""}, {"1000", "3回に分割"}}) {
        form.batchSizeEdit()->setText(QString::fromUtf8(typed));
        EXPECT_EQ(form.batchCountEdit()->text(), QString::fromUtf8(shown)) << typed;
    }
    form.batchSizeEdit()->setText(QStringLiteral("500"));

    // Asked first; then the missing target and name, and nothing is created.
    ui->answers = {false};
    EXPECT_TRUE(press(form.duplicateButton()).isEmpty());
    EXPECT_EQ(ui->questions, QStringList{QStringLiteral("複製を行ってもよろしいですか？")});
    EXPECT_EQ(press(form.duplicateButton()), QStringList{msg(10010)});
    form.targetDatabaseList()->setCurrentText(QStringLiteral("dbk_form_target"));
    EXPECT_EQ(press(form.duplicateButton()), QStringList{QStringLiteral("新しいテーブルを入力してください")});
    EXPECT_TRUE(form.duplicateButton()->isEnabled());
    form.nameEdit()->setText(QStringLiteral("写し"));
    form.typeList()->setCurrentText(QStringLiteral("INNOBASE"));
    const QString statement = form.statementEdit()->toPlainText();
    EXPECT_TRUE(statement.startsWith(QStringLiteral("CREATE TABLE dbk_form_target.`写し` (")))
        << statement.toStdString();
    EXPECT_TRUE(statement.contains(QStringLiteral(") ENGINE=INNOBASE"))) << statement.toStdString();

    EXPECT_EQ(press(form.duplicateButton()), QStringList{QStringLiteral("正常に作成されました")});
    EXPECT_EQ(form.copiedCountEdit()->text(), QStringLiteral("2500"));
    EXPECT_TRUE(form.serverList()->isEnabled());
    QFile log(form.logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString logText = fromShiftJis(log.readAll().toStdString());
    EXPECT_TRUE(logText.startsWith(
        QStringLiteral("データ移行開始\nデータ取得開始 0 - 500     データ取得成功 0 - 500\n")));
    EXPECT_TRUE(logText.endsWith(
        QStringLiteral("データ取得成功 2000 - 2500\nデータ取得開始 2500 - 3000     データ移行終了\n")))
        << logText.toStdString();
    Result copied = db.admin().query(toShiftJis(QStringLiteral(
        "SELECT COUNT(*), SUM(v LIKE 'it''s %'), MAX(n) IS NULL, (SELECT ENGINE FROM "
        "information_schema.TABLES "
        "WHERE TABLE_SCHEMA = 'dbk_form_target' AND TABLE_NAME = '写し') FROM dbk_form_target.`写し`")));
    ASSERT_TRUE(copied.next()) << db.admin().errorLine();
    EXPECT_EQ(copied.row(), (std::vector<std::optional<std::string>>{"2500", "2500", "1", "InnoDB"}));

    // Once more: the table is there; the refusal is shown and the rows stay.
    const QStringList again = press(form.duplicateButton());
    ASSERT_EQ(again.size(), 1);
    EXPECT_TRUE(again[0].startsWith(QStringLiteral("1050:"))) << again[0].toStdString();

    // Cancel (here at the first time events go through) stops before the next row; what arrived
    // stays and the message says how much.
    form.nameEdit()->setText(QStringLiteral("途中"));
    form.batchSizeEdit()->setText(QStringLiteral("100"));
    bool cancelLive = false;
    ui->onEventsLetThrough = [&] {
        if (!cancelLive && form.cancelButton()->isEnabled() && !form.duplicateButton()->isEnabled()) {
            cancelLive = true;
            form.cancelButton()->click();
        }
    };
    ui->answers = {true};
    const QStringList cancelled = press(form.duplicateButton());
    ui->onEventsLetThrough = {};
    EXPECT_TRUE(cancelLive);
    Result arrived =
        db.admin().query(toShiftJis(QStringLiteral("SELECT COUNT(*) FROM dbk_form_target.`途中`")));
    ASSERT_TRUE(arrived.next()) << db.admin().errorLine();
    const unsigned long long rows = std::stoull(*arrived.row()[0]);
    EXPECT_LT(rows, 2500u);
    EXPECT_EQ(cancelled, QStringList{msgf(TableCopy::kCancelledAfterRowsMessage, rows)});
    EXPECT_TRUE(form.duplicateButton()->isEnabled());

    // Another server replaces the lists and the connection.
    const unsigned long firstThread = form.sourceSession().connection().threadId();
    servers->setCurrentItem(servers->topLevelItem(2));
    EXPECT_TRUE(texts(form.databaseList()).contains(QStringLiteral("dbk_form_target")));
    EXPECT_FALSE(texts(form.databaseList()).contains(QStringLiteral("dbk_form_other")));
    EXPECT_EQ(form.tableList()->count(), 0);
    EXPECT_TRUE(form.statementEdit()->toPlainText().isEmpty());
    EXPECT_NE(form.sourceSession().connection().threadId(), firstThread);
    EXPECT_EQ(form.sourceSession().connection().serverVersion(), db.admin().serverVersion());
}

// Nothing is opened before the user chooses it: the focus on a list chooses no row, 複製 says
// what is missing, a key chooses. The server list's columns fit the form, the password's too.
TEST_F(DataCopyFormsTest, ServerCopyOpensOnlyWhatTheUserChooses) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_form_choose");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT)"));
    const HostFile hosts(dir.filePath(QString::fromLatin1(HostFile::kFileName)));
    for (const char* name : {"self", "again"})
        ASSERT_EQ(hosts.append(savedRecord(name, test::adminParams(), test::adminParams().password)),
                  HostFile::Outcome::Written);
    ServerCopyForm form(db.session(), dir.path());
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTreeWidget* servers = form.serverList();

    form.targetDatabaseList()->setCurrentText(QString::fromStdString(db.name()));
    form.nameEdit()->setText(QStringLiteral("copy"));
    servers->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(servers->hasFocus());
    EXPECT_FALSE(form.sourceSession().isOpen());
    EXPECT_EQ(form.databaseList()->count(), 0);
    ui->answers = {true};
    EXPECT_EQ(press(form.duplicateButton()), QStringList{msg(ServerCopyForm::kNoServerMessage)});
    EXPECT_FALSE(tableExists(db.admin(), db.name(), "copy"));

    QTest::keyClick(servers, Qt::Key_Down);
    EXPECT_EQ(servers->currentItem(), servers->topLevelItem(0));
    ASSERT_TRUE(form.sourceSession().isOpen());
    form.databaseList()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(form.databaseList()->hasFocus());
    EXPECT_EQ(form.tableList()->count(), 0);
    choose(form.databaseList(), QString::fromStdString(db.name()));
    form.tableList()->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(form.statementEdit()->toPlainText().isEmpty());
    ui->answers = {true};
    EXPECT_EQ(press(form.duplicateButton()), QStringList{msg(ServerCopyForm::kNoTableMessage)});
    QTest::keyClick(form.tableList(), Qt::Key_Down);
    ui->answers = {true};
    EXPECT_EQ(press(form.duplicateButton()), QStringList{QStringLiteral("正常に作成されました")});
    EXPECT_TRUE(tableExists(db.admin(), db.name(), "copy"));

    const QHeaderView* header = servers->header();
    int width = 0;
    for (int column = 0; column < header->count(); ++column)
        width += header->sectionSize(column);
    EXPECT_LE(width, servers->viewport()->width());
    EXPECT_GT(header->sectionSize(4), header->fontMetrics().horizontalAdvance(msg(10136)));
    EXPECT_FALSE(servers->horizontalScrollBar()->isVisible());
    form.hide();
}

TEST_F(DataCopyFormsTest, DatabaseCopyAsksBeforeCopyingIntoADatabaseThatExists) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_form_dbcopy");
    test::ScratchDatabase existing("dbk_form_dbcopy_there");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE dbk_form_dbcopy.t (id INT PRIMARY KEY) ENGINE=InnoDB"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO dbk_form_dbcopy.t SELECT seq FROM seq_1_to_10"));
    DatabaseCopyForm form(db.session(), db.name());
    EXPECT_EQ(form.sourceEdit()->text(), QStringLiteral("dbk_form_dbcopy"));
    EXPECT_EQ(press(form.createButton()),
              QStringList{QStringLiteral("新しいデータベースを入力してください")});

    form.nameEdit()->setText(QStringLiteral("dbk_form_dbcopy_there"));
    ui->answers = {true, false};
    EXPECT_TRUE(press(form.createButton()).isEmpty());
    EXPECT_EQ(ui->questions,
              (QStringList{QStringLiteral("複製を行ってもよろしいですか？"),
                           msgf(DatabaseCopy::kExistsQuestion, QStringLiteral("dbk_form_dbcopy_there"))}));
    EXPECT_EQ(form.result(), 0);
    Result none = db.admin().query("SHOW TABLES FROM dbk_form_dbcopy_there");
    EXPECT_FALSE(none.next());

    ui->answers = {true, true};
    const QStringList done = press(form.createButton());
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0],
              QStringLiteral("正常に作成されました\n") + msgf(DatabaseCopy::kCountsMessage, 1, 0, 10));
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.newDatabase(), "dbk_form_dbcopy_there");
}

class DatabaseCopyEntryTest : public test::MainFrameFixture {};

// The command opens the form on the tree's database; the new database joins the tree.
TEST_F(DatabaseCopyEntryTest, TheNewDatabaseAppearsInTheTree) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_entry_dbcopy");
    const std::string copy = toShiftJis(QStringLiteral("dbk 複製先"));
    db.admin().exec("DROP DATABASE IF EXISTS " + test::sqlName(copy));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT)"));
    doc.setLoginPrompt(test::loginPromptFor(test::adminParams()));
    frame->leftView()->initialUpdate();
    frame->setFocusedPane(Pane::Tree);
    frame->leftView()->selectNode(frame->leftView()->databaseNode(db.name()));
    ui->answers = {true};
    const ModalRunner previous = setModalRunner([&](QDialog& dialog) {
        auto& form = dynamic_cast<DatabaseCopyForm&>(dialog);
        EXPECT_EQ(form.sourceEdit()->text(), QStringLiteral("dbk_entry_dbcopy"));
        form.nameEdit()->setText(fromShiftJis(copy));
        form.createButton()->click();
        return form.result();
    });
    EXPECT_TRUE(frame->runCommand(cmd::DatabaseCopy, Pane::Tree));
    setModalRunner(previous);
    ASSERT_NE(frame->leftView()->databaseNode(copy), nullptr);
    EXPECT_EQ(CLeftView::nodeBytes(frame->leftView()->selectedNode()), copy);
    Result tables = db.admin().query("SHOW TABLES FROM " + test::sqlName(copy));
    ASSERT_TRUE(tables.next());
    EXPECT_EQ(tables.text(0U), "t");
    db.admin().exec("DROP DATABASE IF EXISTS " + test::sqlName(copy));
}

}  // namespace
}  // namespace dbk
