#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "app/commands.h"
#include "app/messages.h"
#include "app/modal_runner.h"
#include "conn/character_set_scope.h"
#include "conn/text_codec.h"
#include "support/files.h"
#include "support/test_server.h"
#include "support/ui_support.h"
#include "transfer/csv_export_form.h"
#include "transfer/csv_import_form.h"

namespace dbk {
namespace {

using test::writeFile;

class CsvImportFormTest : public test::MainFrameFixture {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }

    static void choose(QListWidget& list, const QString& text) {
        const QList<QListWidgetItem*> found = list.findItems(text, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << text.toStdString();
        list.setCurrentItem(found.first());
    }

    // Every row of the table, its values joined, read in the character set.
    static std::vector<std::string> rows(Connection& connection, const std::string& table,
                                         const char* characterSet = "utf8mb4") {
        const CharacterSetScope scope(connection, characterSet);
        std::vector<std::string> out;
        Result r = connection.query("SELECT * FROM " + table + " ORDER BY 1");
        while (r.next()) {
            std::string line;
            for (unsigned c = 0; c < r.fieldCount(); ++c)
                line += std::string(r.text(c)) + "|";
            out.push_back(line);
        }
        return out;
    }

    QTemporaryDir dir;
};

TEST_F(CsvImportFormTest, TheCommandOpensTheFormWithItsControlsNamedByTheirCaptions) {
    DBK_REQUIRE_SERVER();
    connectAsAdministrator();
    int opened = 0;
    const ModalRunner previous = setModalRunner([&opened](QDialog& dialog) {
        auto* form = qobject_cast<CsvImportForm*>(&dialog);
        EXPECT_NE(form, nullptr);
        if (!form)
            return int(QDialog::Rejected);
        ++opened;
        EXPECT_EQ(form->windowTitle(), "CSVからのインポート");
        EXPECT_TRUE(form->convertCheck()->isChecked());
        EXPECT_EQ(form->characterSetEdit()->text(), "utf8mb4");  // the server's own, as the login reads it
        EXPECT_TRUE(form->targetEdit()->isReadOnly() && form->characterSetEdit()->isReadOnly());
        const std::pair<QWidget*, const char*> controls[] = {
            {form->fileEdit(), "ファイル名"},
            {form->browseButton(), "参照"},
            {form->localCheck(), "クライアントのファイルをインポート"},
            {form->lowPriorityCheck(), "他のスレッドの読み込みが終了するまで待つ"},
            {form->replaceCheck(), "もし同じレコードが存在する場合上書きを行う"},
            {form->separatorEdit(), "フィールドの区切り文字"},
            {form->enclosureEdit(), "フィールドの囲み文字"},
            {form->escapeEdit(), "エスケープ文字"},
            {form->lineEndEdit(), "行の区切り文字"},
            {form->skipLinesEdit(), "ファイルの先頭から無視する位置"},
            {form->databaseList(), "データベース"},
            {form->tableList(), "テーブル"},
            {form->targetEdit(), "インポート先"},
            {form->convertCheck(), "NKFでEUCからSJISへ変換しインポート"},
            {form->characterSetEdit(), "サーバのキャラクタセット"},
            {form->previewEdit(), "プレビュー"},
            {form->runButton(), "実行"},
            {form->cancelButton(), "ｷｬﾝｾﾙ"},
        };
        for (const auto& [control, caption] : controls)
            EXPECT_EQ(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name), caption);
        return int(QDialog::Rejected);
    });
    for (const Pane pane : {Pane::Tree, Pane::List, Pane::Graph})
        EXPECT_TRUE(frame->runCommand(cmd::ImportCsv, pane));
    setModalRunner(previous);
    EXPECT_EQ(opened, 3);
}

TEST_F(CsvImportFormTest, ChoosingAFileShowsItsFirstLinesAndTakesItsFormat) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_preview");
    CsvImportForm form(db.session());
    QString lines;
    for (int i = 1; i <= 10; ++i)
        lines += QStringLiteral("%1\t\"東京%1\"\r\n").arg(i);
    const QString euc = writeFile(dir, QByteArray(QStringEncoder("EUC-JP")(lines)).toStdString(), "euc.csv");
    const QString firstEight = lines.section(u'\n', 0, 7).remove(u'\r') + "\n";

    ui->openFileAnswers.push_back(euc);
    form.browseButton()->click();
    EXPECT_EQ(form.fileEdit()->text(), euc);
    EXPECT_TRUE(form.localCheck()->isChecked());
    EXPECT_EQ(form.separatorEdit()->text(), "\\t");
    EXPECT_EQ(form.enclosureEdit()->text(), "\"");
    EXPECT_EQ(form.lineEndEdit()->text(), "\\r\\n");
    EXPECT_EQ(form.previewEdit()->toPlainText(), firstEight);
    // Without conversion the preview shows the bytes as they are.
    form.convertCheck()->click();
    EXPECT_NE(form.previewEdit()->toPlainText(), firstEight);
    form.convertCheck()->click();
    EXPECT_EQ(form.previewEdit()->toPlainText(), firstEight);

    // Line feeds only and no quotes: the line end stays, the enclosure goes.
    ui->openFileAnswers.push_back(writeFile(dir, "1,a\n2,b\n", "plain.csv"));
    form.browseButton()->click();
    EXPECT_EQ(form.enclosureEdit()->text(), "");
    EXPECT_EQ(form.lineEndEdit()->text(), "\\r\\n");
    EXPECT_EQ(form.previewEdit()->toPlainText(), "1,a\n2,b\n");
}

TEST_F(CsvImportFormTest, RunAsksAndChecksBeforeItSends) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_run");
    const std::string table = toShiftJis(QStringLiteral("商品 表"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT)"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE `" + table + "` (id INT PRIMARY KEY, name VARCHAR(20))"));
    CsvImportForm form(db.session());
    const QString path = writeFile(dir, "1,\"a\"\n2,\"b\"\n", "run.csv");
    const std::string target = "dbk_csvimport_run.`" + table + "`";

    // A utf8mb4 server holds Japanese: no garbling question. No file name, then no table.
    form.runButton()->click();
    EXPECT_EQ(ui->messages.last(), "Please input file name.");
    ui->openFileAnswers.push_back(path);
    form.browseButton()->click();
    form.runButton()->click();
    EXPECT_EQ(ui->messages.last(), "Please select table to import.");

    choose(*form.databaseList(), "dbk_csvimport_run");
    EXPECT_EQ(form.tableList()->count(), 2);
    choose(*form.tableList(), "商品 表");
    EXPECT_EQ(form.targetEdit()->text(), "dbk_csvimport_run.商品 表");
    // The last question, answered No, sends nothing either.
    ui->questions.clear();
    ui->answers = {false};
    form.runButton()->click();
    EXPECT_EQ(ui->questions, QStringList{msg(10040)});
    EXPECT_TRUE(rows(db.admin(), target, "cp932").empty());

    // Yes: the rows arrive, under the wait cursor, and no work file is left.
    ui->messages.clear();
    const int waits = ui->waitCount;
    form.runButton()->click();
    EXPECT_EQ(
        ui->messages,
        QStringList{"Normalized data has been imported.\nRecords: 2  Deleted: 0  Skipped: 0  Warnings: 0"});
    EXPECT_GT(ui->waitCount, waits);
    EXPECT_EQ(ui->waitDepth, 0);
    EXPECT_EQ(rows(db.admin(), target, "cp932"), (std::vector<std::string>{"1|a|", "2|b|"}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"run.csv"});
}

TEST_F(CsvImportFormTest, CancelStopsTheLoadOnTheServerAndIsTheOnlyLiveControl) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_cancel");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(255)) ENGINE=InnoDB"));
    std::string lines;
    const std::string filler(200, 'x');
    for (int i = 1; i <= 150000; ++i)
        lines += std::to_string(i) + ",\"" + filler + "\"\n";
    const QString path = writeFile(dir, lines, "big.csv");
    CsvImportForm form(db.session());
    form.show();
    ui->openFileAnswers.push_back(path);
    form.browseButton()->click();
    form.convertCheck()->setChecked(false);
    form.localCheck()->setChecked(true);
    choose(*form.databaseList(), "dbk_csvimport_cancel");
    choose(*form.tableList(), "t");

    Connection observer = test::connectAdmin();
    const std::string running = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " +
                                std::to_string(db.admin().threadId()) + " AND INFO LIKE 'LOAD DATA%'";
    const auto loading = [&] {
        Result r = observer.query(running);
        return r.next() && r.text(0U) == "1";
    };
    bool clicked = false;
    bool onlyCancelLive = true;
    ui->onEventsLetThrough = [&] {
        onlyCancelLive = onlyCancelLive && form.importing() && form.cancelButton()->isEnabled() &&
                         !form.runButton()->isEnabled() && !form.tableList()->isEnabled() &&
                         !form.fileEdit()->isEnabled();
        if (!clicked && loading()) {
            clicked = true;
            form.cancelButton()->click();
        }
    };
    ui->messages.clear();
    ui->answers = {true, true};
    form.runButton()->click();
    ui->onEventsLetThrough = {};

    ASSERT_TRUE(clicked) << "the LOAD DATA was never seen running";
    EXPECT_TRUE(onlyCancelLive);
    // The table has transactions: it says that nothing of the file stayed.
    EXPECT_EQ(ui->messages,
              QStringList{msg(CsvImporter::kCancelledMessage) + u'\n' +
                          msgf(CsvImporter::kNoRowsKeptMessage, QStringLiteral("dbk_csvimport_cancel.t"))});
    EXPECT_FALSE(loading());
    EXPECT_FALSE(form.importing());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.runButton()->isEnabled() && form.tableList()->isEnabled() &&
                form.fileEdit()->isEnabled());
    EXPECT_FALSE(db.admin().busy());
    Result count = db.admin().query("SELECT COUNT(*) FROM t");
    ASSERT_TRUE(count.next()) << db.admin().errorLine();
    EXPECT_EQ(count.text(0U), "0");  // the statement went back as a whole
}

TEST_F(CsvImportFormTest, ATableExportedWithTheDefaultsComesBackTheSame) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_roundtrip");
    Connection& admin = db.admin();
    ASSERT_TRUE(
        admin.exec("CREATE TABLE src (id INT PRIMARY KEY, name VARCHAR(40), price DECIMAL(8,2), "
                   "note TEXT, made DATETIME)"));
    {
        const CharacterSetScope scope(admin, "utf8mb4");
        ASSERT_TRUE(
            admin.exec("INSERT INTO src VALUES "
                       "(1, '東京都千代田区', 1200.50, 'say \"hi\", twice', '2024-01-02 03:04:05'),"
                       "(2, 'ソフト表示', 0, 'it''s a comma, and a tab\there', '1999-12-31 23:59:59'),"
                       "(3, 'ｶﾀｶﾅとＡＢＣ', -3.25, '', '2000-02-29 00:00:00'),"
                       "(4, 'plain', 7, '\"\"quoted\"\"', '2024-06-01 12:00:00')"))
            << admin.errorLine();
    }
    ASSERT_TRUE(admin.exec("CREATE TABLE copy LIKE src"));
    const QString path = dir.filePath("src.csv");
    CsvExportForm exportForm(db.session(), db.name(), "src", "Select * from dbk_csvimport_roundtrip.src");
    exportForm.fileEdit()->setText(path);
    exportForm.outputButton()->click();

    CsvImportForm importForm(db.session());
    ui->openFileAnswers.push_back(path);
    importForm.browseButton()->click();
    choose(*importForm.databaseList(), "dbk_csvimport_roundtrip");
    choose(*importForm.tableList(), "copy");
    ui->messages.clear();
    importForm.runButton()->click();
    EXPECT_EQ(ui->messages.value(0).section(u'\n', 0, 1),
              "Normalized data has been imported.\nRecords: 4  Deleted: 0  Skipped: 0  Warnings: 0");
    EXPECT_EQ(rows(admin, "dbk_csvimport_roundtrip.copy"), rows(admin, "dbk_csvimport_roundtrip.src"));
}

}  // namespace
}  // namespace dbk
