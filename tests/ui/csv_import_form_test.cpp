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
#include "transfer/csv_export.h"
#include "transfer/csv_export_form.h"
#include "transfer/csv_import_form.h"

namespace dbk {
namespace {

using test::writeFile;

QString accessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

QListWidgetItem* entry(QListWidget& list, const QString& text) {
    const QList<QListWidgetItem*> found = list.findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

QStringList entries(const QListWidget& list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.item(i)->text();
    return out;
}

class CsvImportFormTest : public test::MainFrameFixture {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }

    // Chooses the database and table in the form's lists.
    static void chooseTarget(CsvImportForm& form, const std::string& database, const std::string& table) {
        QListWidgetItem* db = entry(*form.databaseList(), toUi(database));
        ASSERT_NE(db, nullptr);
        form.databaseList()->setCurrentItem(db);
        QListWidgetItem* t = entry(*form.tableList(), toUi(table));
        ASSERT_NE(t, nullptr);
        form.tableList()->setCurrentItem(t);
    }

    static std::vector<std::string> rows(Connection& connection, const std::string& query) {
        const CharacterSetScope scope(connection, "utf8mb4");
        std::vector<std::string> out;
        Result r = connection.query(query);
        EXPECT_TRUE(r.ok()) << connection.errorLine();
        while (r.next()) {
            std::string line;
            for (unsigned c = 0; c < r.fieldCount(); ++c)
                line += (r.isNull(c) ? std::string("NULL") : std::string(r.text(c))) + "|";
            out.push_back(line);
        }
        return out;
    }

    QTemporaryDir dir;
};

TEST_F(CsvImportFormTest, OpensWithItsControlsNamedByTheirCaptions) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_form");
    CsvImportForm form(db.session());
    EXPECT_EQ(form.windowTitle(), "CSVからのインポート");
    EXPECT_TRUE(form.convertCheck()->isChecked());
    EXPECT_FALSE(form.localCheck()->isChecked());
    EXPECT_TRUE(form.targetEdit()->isReadOnly());
    EXPECT_TRUE(form.characterSetEdit()->isReadOnly());
    EXPECT_TRUE(form.previewEdit()->isReadOnly());
    EXPECT_TRUE(form.runButton()->isDefault());
    // The server's own character set, read as the login reads it.
    EXPECT_EQ(form.serverCharacterSet(), "utf8mb4");
    EXPECT_EQ(form.characterSetEdit()->text(), "utf8mb4");
    EXPECT_TRUE(entries(*form.databaseList()).contains("dbk_csvimport_form"));
    EXPECT_TRUE(form.tableList()->count() == 0 && form.targetEdit()->text().isEmpty());

    const std::pair<QWidget*, const char*> controls[] = {
        {form.fileEdit(), "ファイル名"},
        {form.browseButton(), "参照"},
        {form.localCheck(), "クライアントのファイルをインポート"},
        {form.lowPriorityCheck(), "他のスレッドの読み込みが終了するまで待つ"},
        {form.replaceCheck(), "もし同じレコードが存在する場合上書きを行う"},
        {form.separatorEdit(), "フィールドの区切り文字"},
        {form.enclosureEdit(), "フィールドの囲み文字"},
        {form.escapeEdit(), "エスケープ文字"},
        {form.lineEndEdit(), "行の区切り文字"},
        {form.skipLinesEdit(), "ファイルの先頭から無視する位置"},
        {form.databaseList(), "データベース"},
        {form.tableList(), "テーブル"},
        {form.targetEdit(), "インポート先"},
        {form.convertCheck(), "NKFでEUCからSJISへ変換しインポート"},
        {form.characterSetEdit(), "サーバのキャラクタセット"},
        {form.previewEdit(), "プレビュー"},
        {form.runButton(), "実行"},
        {form.cancelButton(), "ｷｬﾝｾﾙ"},
    };
    for (const auto& [control, caption] : controls)
        EXPECT_EQ(accessibleName(control), QString::fromUtf8(caption));
}

TEST_F(CsvImportFormTest, ListsChooseTheTargetAndTheDefaultDatabase) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_lists");
    test::ScratchDatabase other("dbk_csvimport_lists2");
    const std::string japanese = fromUi(QStringLiteral("商品 表"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT)"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE `" + japanese + "` (id INT)"));
    ASSERT_TRUE(other.admin().exec("CREATE TABLE u (id INT)"));
    CsvImportForm form(db.session());

    form.databaseList()->setCurrentItem(entry(*form.databaseList(), "dbk_csvimport_lists"));
    EXPECT_EQ(entries(*form.tableList()), (QStringList{"t", "商品 表"}));
    EXPECT_EQ(form.targetEdit()->text(), "");
    form.tableList()->setCurrentItem(entry(*form.tableList(), "商品 表"));
    EXPECT_EQ(form.targetEdit()->text(), "dbk_csvimport_lists.商品 表");
    EXPECT_EQ(form.currentOptions().table, japanese);

    // Another database: its tables, no target, and the connection uses it from now on.
    form.databaseList()->setCurrentItem(entry(*form.databaseList(), "dbk_csvimport_lists2"));
    EXPECT_EQ(entries(*form.tableList()), QStringList{"u"});
    EXPECT_EQ(form.targetEdit()->text(), "");
    EXPECT_TRUE(form.currentOptions().table.empty());
    Result current = db.admin().query("SELECT DATABASE()");
    ASSERT_TRUE(current.next());
    EXPECT_EQ(current.text(0U), "dbk_csvimport_lists2");
}

TEST_F(CsvImportFormTest, ChoosingAFileShowsItsFirstLinesAndTakesItsFormat) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_preview");
    CsvImportForm form(db.session());
    QString lines;
    for (int i = 1; i <= 10; ++i)
        lines += QStringLiteral("%1\t\"東京%1\"\r\n").arg(i);
    const QString euc = writeFile(dir, QByteArray(QStringEncoder("EUC-JP")(lines)).toStdString(), "euc.csv");

    ui->openFileAnswers.push_back(euc);
    form.browseButton()->click();
    EXPECT_EQ(form.fileEdit()->text(), euc);
    EXPECT_TRUE(form.localCheck()->isChecked());
    EXPECT_EQ(form.separatorEdit()->text(), "\\t");
    EXPECT_EQ(form.enclosureEdit()->text(), "\"");
    EXPECT_EQ(form.lineEndEdit()->text(), "\\r\\n");
    const QString firstEight = lines.section(u'\n', 0, 7).remove(u'\r') + "\n";
    EXPECT_EQ(form.previewEdit()->toPlainText(), firstEight);

    // Without conversion the preview shows the bytes as they are; with it, the text again.
    form.convertCheck()->click();
    EXPECT_NE(form.previewEdit()->toPlainText(), firstEight);
    EXPECT_TRUE(form.previewEdit()->toPlainText().startsWith("1\t\""));
    form.convertCheck()->click();
    EXPECT_EQ(form.previewEdit()->toPlainText(), firstEight);

    // A comma file with line feeds only and no quotes: the line end stays as it was, the
    // enclosure goes. A cancelled chooser changes nothing.
    const QString plain = writeFile(dir, "1,a\n2,b\n", "plain.csv");
    ui->openFileAnswers.push_back(plain);
    form.browseButton()->click();
    EXPECT_EQ(form.separatorEdit()->text(), ",");
    EXPECT_EQ(form.enclosureEdit()->text(), "");
    EXPECT_EQ(form.lineEndEdit()->text(), "\\r\\n");
    EXPECT_EQ(form.previewEdit()->toPlainText(), "1,a\n2,b\n");
    form.browseButton()->click();
    EXPECT_EQ(form.fileEdit()->text(), plain);
}

TEST_F(CsvImportFormTest, RunAsksAndChecksBeforeItSends) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_run");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20))"));
    CsvImportForm form(db.session());
    const QString path = writeFile(dir, "1,\"a\"\n2,\"b\"\n", "run.csv");
    const auto tableRows = [&] { return rows(db.admin(), "SELECT * FROM dbk_csvimport_run.t ORDER BY id"); };

    // A utf8mb4 server: the garbling question first; No sends nothing.
    ui->answers = {false};
    form.runButton()->click();
    EXPECT_EQ(ui->questions, QStringList{CsvImportForm::garblingQuestion()});
    EXPECT_TRUE(ui->messages.isEmpty());

    // No file name, then no table.
    ui->answers = {true};
    form.runButton()->click();
    EXPECT_EQ(ui->messages.last(), "Please input file name.");
    ui->openFileAnswers.push_back(path);
    form.browseButton()->click();
    ui->answers = {true};
    form.runButton()->click();
    EXPECT_EQ(ui->messages.last(), "Please select table to import.");

    // The last question, answered No, sends nothing either; no work file was made.
    chooseTarget(form, db.name(), "t");
    ui->questions.clear();
    ui->answers = {true, false};
    form.runButton()->click();
    EXPECT_EQ(ui->questions, (QStringList{CsvImportForm::garblingQuestion(), msg(10040)}));
    EXPECT_TRUE(tableRows().empty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"run.csv"});

    // Yes to both: the rows arrive and the message says how many, under the wait cursor.
    ui->answers = {true, true};
    ui->messages.clear();
    const int waits = ui->waitCount;
    form.runButton()->click();
    EXPECT_EQ(
        ui->messages,
        QStringList{"Normalized data has been imported.\nRecords: 2  Deleted: 0  Skipped: 0  Warnings: 0"});
    EXPECT_GT(ui->waitCount, waits);
    EXPECT_EQ(ui->waitDepth, 0);
    EXPECT_EQ(tableRows(), (std::vector<std::string>{"1|a|", "2|b|"}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"run.csv"});
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
    ASSERT_TRUE(QFile::exists(path)) << ui->messages.join("\n").toStdString();

    CsvImportForm importForm(db.session());
    ui->openFileAnswers.push_back(path);
    importForm.browseButton()->click();
    chooseTarget(importForm, db.name(), "copy");
    ui->answers = {true, true};
    ui->messages.clear();
    importForm.runButton()->click();
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(
        ui->messages[0].startsWith("Normalized data has been imported.\nRecords: 4  Deleted: 0  Skipped: 0  "
                                   "Warnings: 0"))
        << ui->messages[0].toStdString();
    EXPECT_EQ(rows(admin, "SELECT * FROM dbk_csvimport_roundtrip.copy ORDER BY id"),
              rows(admin, "SELECT * FROM dbk_csvimport_roundtrip.src ORDER BY id"));
}

TEST_F(CsvImportFormTest, TheImportCommandOpensTheFormFromEveryPane) {
    DBK_REQUIRE_SERVER();
    connectAsAdministrator();
    QStringList opened;
    const ModalRunner previous = setModalRunner([&opened](QDialog& dialog) {
        if (qobject_cast<CsvImportForm*>(&dialog))
            opened << dialog.windowTitle();
        return int(QDialog::Rejected);
    });
    for (const Pane pane : {Pane::Tree, Pane::List, Pane::Graph}) {
        EXPECT_TRUE(frame->isCommandEnabled(cmd::ImportCsv, pane));
        EXPECT_TRUE(frame->runCommand(cmd::ImportCsv, pane));
    }
    setModalRunner(previous);
    EXPECT_EQ(opened, QStringList(3, "CSVからのインポート"));
}

}  // namespace
}  // namespace dbk
