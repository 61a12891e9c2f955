#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "transfer/maintenance_form.h"
#include "transfer/table_copy_form.h"

namespace dbk {
namespace {

std::string sjis(const char* utf8) {
    return toShiftJis(QString::fromUtf8(utf8));
}

// Runs in a folder of its own: the forms write their logs into the current directory.
class TableTransferFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        DBK_REQUIRE_SERVER();
        setInterfaceLanguage(Language::English);
        previousDirectory_ = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void TearDown() override { QDir::setCurrent(previousDirectory_); }

    // Presses a button and returns what the form said.
    QStringList press(QPushButton* button) {
        ui->messages.clear();
        ui->questions.clear();
        button->click();
        return ui->messages;
    }

    QTemporaryDir dir;
    ScopedScriptedUi ui;

private:
    QString previousDirectory_;
};

TEST_F(TableTransferFormsTest, MaintenanceActionsAndConversions) {
    test::ScratchDatabase db("dbk_maint_form");
    Connection& c = db.admin();
    const std::string table = sjis("保守 `表");
    ASSERT_TRUE(c.exec("CREATE TABLE " + test::sqlName(table) +
                       " (id INT PRIMARY KEY, v VARCHAR(20)) ENGINE=MyISAM"));
    ASSERT_TRUE(c.exec("INSERT INTO " + test::sqlName(table) + " SELECT seq, 'v' FROM seq_1_to_100"));
    MaintenanceForm form(db.session(), db.name(), table, "root", "localhost", dir.path());
    EXPECT_EQ(form.tableEdit()->text(), QStringLiteral("保守 `表"));
    EXPECT_EQ(form.typeEdit()->text(), QStringLiteral("MyISAM"));
    // This server has no BACKUP TABLE: the buttons say so.
    EXPECT_FALSE(form.backupButton()->isEnabled());
    EXPECT_EQ(form.restoreButton()->toolTip(), msg(MaintenanceForm::kNoBackupMessage));

    ui->answers = {false};
    EXPECT_TRUE(press(form.repairButton()).isEmpty());
    EXPECT_EQ(ui->questions, QStringList{QStringLiteral("修復を行ってもよろしいですか？")});
    EXPECT_TRUE(form.repairResultEdit()->text().isEmpty());
    form.repairQuickBox()->setChecked(true);
    form.repairExtendedBox()->setChecked(true);
    EXPECT_EQ(press(form.repairButton()), QStringList{QStringLiteral("修復が完了しました")});
    EXPECT_EQ(form.repairResultEdit()->text(), QStringLiteral("status OK"));

    form.checkMediumBox()->setChecked(true);
    form.checkQuickBox()->setChecked(true);
    EXPECT_EQ(press(form.checkButton()), QStringList{QStringLiteral("チェックが完了しました")});
    EXPECT_TRUE(ui->questions.isEmpty());
    EXPECT_EQ(form.checkResultEdit()->text(), QStringLiteral("status OK"));
    EXPECT_FALSE(form.checkDateEdit()->text().isEmpty());

    EXPECT_EQ(press(form.analyzeButton()), QStringList{QStringLiteral("改善・調整が完了しました")});
    EXPECT_TRUE(form.performanceResultEdit()->text().startsWith(QStringLiteral("status ")));
    EXPECT_TRUE(press(form.optimizeButton()).isEmpty());
    EXPECT_EQ(form.performanceResultEdit()->text(), QStringLiteral("最適化(OPTIMIZE)が完了しました"));

    // MyISAM -> InnoDB -> MEMORY; ISAM is refused by the server.
    EXPECT_EQ(press(form.conversionButton(0)), QStringList{QStringLiteral("既にMyISAMです")});
    EXPECT_TRUE(ui->questions.isEmpty());
    EXPECT_EQ(press(form.conversionButton(3)), QStringList{QStringLiteral("移行に成功しました")});
    EXPECT_EQ(form.typeEdit()->text(), QStringLiteral("InnoDB"));
    EXPECT_EQ(press(form.conversionButton(3)), QStringList{QStringLiteral("既にInnobaseです")});
    EXPECT_EQ(ui->questions.size(), 1);  // asked before it is told
    EXPECT_EQ(press(form.conversionButton(2)), QStringList{QStringLiteral("移行に成功しました")});
    EXPECT_EQ(form.typeEdit()->text(), QStringLiteral("MEMORY"));
    EXPECT_EQ(press(form.conversionButton(2)), QStringList{QStringLiteral("既にHEAPです")});
    const QStringList isam = press(form.conversionButton(1));
    ASSERT_EQ(isam.size(), 1);
    EXPECT_TRUE(isam[0].startsWith(QStringLiteral("移行に失敗しました\n1286:"))) << isam[0].toStdString();
    EXPECT_EQ(press(form.conversionButton(0)), QStringList{QStringLiteral("移行に成功しました")});
    EXPECT_EQ(form.typeEdit()->text(), QStringLiteral("MyISAM"));
    EXPECT_EQ(c.characterSetName(), "cp932");
}

TEST_F(TableTransferFormsTest, DumpFromTheMaintenanceForm) {
    test::ScratchDatabase db("dbk_maint_dump");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, v TEXT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t SELECT seq, REPEAT('x', 300) FROM seq_1_to_100"));
    MaintenanceForm form(db.session(), db.name(), "t");

    EXPECT_EQ(press(form.dumpButton()), QStringList{msg(10038)});
    ui->saveFileAnswers = {dir.filePath(QStringLiteral("table"))};
    form.browseButton()->click();
    EXPECT_EQ(form.dumpFileEdit()->text(), dir.filePath(QStringLiteral("table.sql")));
    EXPECT_EQ(press(form.dumpButton()), QStringList{QStringLiteral("ダンプが終了しました")});
    EXPECT_EQ(ui->questions, QStringList{QStringLiteral("ダンプを行ってもよろしいですか？")});
    QFile dump(form.dumpFileEdit()->text());
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    EXPECT_EQ(dump.readAll().count("\nINSERT INTO t ( id,v ) VALUES ( "), 100);

    form.dumpFileEdit()->setText(QStringLiteral("/dev/full"));
    EXPECT_EQ(press(form.dumpButton()),
              QStringList{msgf(MaintenanceForm::kDumpNotWritten, QStringLiteral("/dev/full"))});
    const QString unwritable = dir.filePath(QStringLiteral("missing/t.sql"));
    form.dumpFileEdit()->setText(unwritable);
    EXPECT_EQ(press(form.dumpButton()), QStringList{msgf(MaintenanceForm::kDumpFileNotCreated, unwritable)});
    EXPECT_TRUE(form.dumpButton()->isEnabled());
}

TEST_F(TableTransferFormsTest, TableCopyRewritesItsStatementAndCopies) {
    test::ScratchDatabase db("dbk_copy_form");
    test::ScratchDatabase db2("dbk_copy_form2");
    const std::string table = sjis("複製 表");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE " + test::sqlName(table) +
                                " (id INT PRIMARY KEY, v VARCHAR(20)) ENGINE=InnoDB COMMENT='c'"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO " + test::sqlName(table) + " SELECT seq, 'v' FROM seq_1_to_30"));
    TableCopyForm form(db.session(), db.name(), table);
    EXPECT_EQ(form.sourceCountEdit()->text(), QStringLiteral("30"));
    EXPECT_EQ(form.nameEdit()->text(), QStringLiteral("複製 表"));
    EXPECT_TRUE(form.statementEdit()->toPlainText().startsWith(QStringLiteral("CREATE TABLE `複製 表` (")));
    EXPECT_EQ(form.typeList()->itemText(0), QStringLiteral("HEAP"));
    EXPECT_EQ(form.typeList()->itemText(3), QStringLiteral("MyISAM"));

    // The statement follows the target fields alone: the box takes no typing.
    EXPECT_TRUE(form.statementEdit()->isReadOnly());
    EXPECT_EQ(press(form.createButton()), QStringList{msg(10010)});
    form.databaseList()->setCurrentText(QStringLiteral("dbk_copy_form2"));
    EXPECT_TRUE(form.statementEdit()->toPlainText().startsWith(
        QStringLiteral("CREATE TABLE dbk_copy_form2.`複製 表` (")));
    form.nameEdit()->setText(QString());
    EXPECT_EQ(press(form.createButton()), QStringList{QStringLiteral("テーブルを入力してください")});
    form.nameEdit()->setText(QStringLiteral("copy"));
    form.typeList()->setCurrentText(QStringLiteral("MyISAM"));
    const QString statement = form.statementEdit()->toPlainText();
    EXPECT_TRUE(statement.startsWith(QStringLiteral("CREATE TABLE dbk_copy_form2.copy (")));
    EXPECT_TRUE(statement.contains(QStringLiteral(") ENGINE=MyISAM DEFAULT CHARSET=utf8mb4")))
        << statement.toStdString();
    EXPECT_TRUE(statement.endsWith(QStringLiteral("COMMENT='c'")));

    form.copyDataBox()->setChecked(true);
    EXPECT_EQ(press(form.createButton()), QStringList{QStringLiteral("正常に作成されました")});
    EXPECT_EQ(ui->questions, QStringList{QStringLiteral("複製を行ってもよろしいですか？")});
    EXPECT_EQ(form.copiedCountEdit()->text(), QStringLiteral("30"));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("rep_table.log"))));
    form.logButton()->click();
    EXPECT_EQ(form.logView()->toPlainText(),
              QStringLiteral("データ移行開始\nデータ取得開始 0 - 1000     データ取得成功 0 - 1000\n"
                             "データ取得開始 1000 - 2000     データ移行終了\n"));
    Result copied = db.admin().query(
        "SELECT COUNT(*), ENGINE FROM dbk_copy_form2.copy, information_schema.TABLES "
        "WHERE TABLE_SCHEMA='dbk_copy_form2' AND TABLE_NAME='copy'");
    ASSERT_TRUE(copied.next());
    EXPECT_EQ(copied.text(0U), "30");
    EXPECT_EQ(copied.text(1U), "MyISAM");

    // The same again: the table exists, the server's refusal is shown and nothing changes.
    const QStringList again = press(form.createButton());
    ASSERT_EQ(again.size(), 1);
    EXPECT_TRUE(again[0].contains(QStringLiteral("already exists"))) << again[0].toStdString();
}

}  // namespace
}  // namespace dbk
