#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <functional>

#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "app/window_placement.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "transfer/csv_export.h"
#include "transfer/csv_export_form.h"

namespace dbk {
namespace {

// Scripted services that also run a check each time the export lets window events through.
class ObservingUi : public ScriptedUiServices {
public:
    void letEventsThrough() override {
        ScriptedUiServices::letEventsThrough();
        if (onEvents)
            onEvents();
    }
    std::function<void()> onEvents;
};

class CsvExportFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        previousUi = setUiServices(&ui);
    }
    void TearDown() override { setUiServices(previousUi); }

    QByteArray fileText(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }

    // Every control the export disables, by name.
    static std::vector<std::pair<const char*, QWidget*>> lockedControls(const CsvExportForm& form) {
        return {{"separator list", form.separatorList()},
                {"quote list", form.quoteList()},
                {"default separator", form.defaultSeparatorRadio()},
                {"default quote", form.defaultQuoteRadio()},
                {"file name", form.fileEdit()},
                {"user separator", form.userSeparatorEdit()},
                {"user quote", form.userQuoteEdit()},
                {"file code", form.encodingList()},
                {"browse", form.browseButton()},
                {"output", form.outputButton()}};
    }

    QTemporaryDir dir;
    ObservingUi ui;
    UiServices* previousUi = nullptr;
};

TEST_F(CsvExportFormTest, OpensWithTheDefaultsAndNoSample) {
    DBK_REQUIRE_SERVER();
    Session session(test::connectAdmin());
    CsvExportForm form(session, "db", "t", "Select * from db.t", nullptr);
    EXPECT_EQ(form.windowTitle(), "CSV形式への出力");
    EXPECT_EQ(form.queryEdit()->toPlainText(), "Select * from db.t");
    EXPECT_TRUE(form.queryEdit()->isReadOnly());
    EXPECT_TRUE(form.defaultSeparatorRadio()->isChecked());
    EXPECT_TRUE(form.defaultQuoteRadio()->isChecked());
    ASSERT_EQ(form.separatorList()->count(), 2);
    EXPECT_EQ(form.separatorList()->itemText(0), "Comma Delimited");
    EXPECT_EQ(form.separatorList()->itemText(1), "Tab Delimited");
    EXPECT_EQ(form.separatorList()->currentText(), "Comma Delimited");
    ASSERT_EQ(form.quoteList()->count(), 2);
    EXPECT_EQ(form.quoteList()->itemText(0), "Double Quotation");
    EXPECT_EQ(form.quoteList()->itemText(1), "Single Quotation");
    EXPECT_EQ(form.quoteList()->currentText(), "Double Quotation");
    EXPECT_EQ(form.sampleEdit()->toPlainText(), "");
    EXPECT_TRUE(form.outputButton()->isDefault());
    EXPECT_EQ(form.outputButton()->text(), "出力");
    EXPECT_EQ(form.cancelButton()->text(), "ｷｬﾝｾﾙ");

    // The Japanese lists sort their own texts and start on the same entries.
    setInterfaceLanguage(Language::Japanese);
    CsvExportForm japanese(session, "db", "t", "Select * from db.t", nullptr);
    EXPECT_EQ(japanese.separatorList()->currentText(), msg(10049));
    EXPECT_EQ(japanese.quoteList()->currentText(), msg(10046));
    EXPECT_EQ(japanese.currentFormat().separatorText(), ",");
    EXPECT_EQ(japanese.currentFormat().quoteText(), "\"");
    japanese.separatorList()->setCurrentText(msg(10050));
    EXPECT_EQ(japanese.currentFormat().separatorText(), "\t");
    setInterfaceLanguage(Language::English);
}

TEST_F(CsvExportFormTest, EveryOptionChangeMakesASample) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_form_sample");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT, s VARCHAR(10))"));
    ASSERT_TRUE(
        db.admin().exec("INSERT INTO t SELECT seq, IF(seq = 2, NULL, CONCAT('s', seq)) FROM seq_1_to_9"));
    CsvExportForm form(db.session(), db.name(), "t", "select * from t order by id;  ", nullptr);

    form.separatorList()->setCurrentText("Tab Delimited");
    EXPECT_EQ(
        form.sampleEdit()->toPlainText(),
        "\"1\"\t\"s1\"\n\"2\"\t\"(null)\"\n\"3\"\t\"s3\"\n\"4\"\t\"s4\"\n\"5\"\t\"s5\"\n\"6\"\t\"s6\"\n");
    // The sample took the ";" away for good.
    EXPECT_EQ(form.statement(), "select * from t order by id   ");

    form.quoteList()->setCurrentText("Single Quotation");
    EXPECT_TRUE(form.sampleEdit()->toPlainText().startsWith("'1'\t's1'\n'2'\t'(null)'\n"));

    form.userSeparatorRadio()->click();
    EXPECT_TRUE(form.sampleEdit()->toPlainText().startsWith("'1''s1'\n"));
    form.userSeparatorEdit()->setText("＠;");
    EXPECT_TRUE(form.sampleEdit()->toPlainText().startsWith("'1'＠;'s1'\n"));

    form.userQuoteRadio()->click();
    EXPECT_TRUE(form.sampleEdit()->toPlainText().startsWith("1＠;s1\n"));
    form.userQuoteEdit()->setText("|");
    EXPECT_TRUE(form.sampleEdit()->toPlainText().startsWith("|1|＠;|s1|\n"));

    form.defaultQuoteRadio()->click();
    form.defaultSeparatorRadio()->click();
    EXPECT_TRUE(form.sampleEdit()->toPlainText().startsWith("'1'\t's1'\n"));
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(CsvExportFormTest, ControlsAreLockedWhileTheRowsAreWritten) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_form_export");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT, s TEXT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t SELECT seq, REPEAT('x', 2000) FROM seq_1_to_2500"));
    // About one second, the rows sent a few at a time: the progress text comes by time, at the
    // first row and a few times a second.
    CsvExportForm form(db.session(), db.name(), "t",
                       "Select * from dbk_csv_form_export.t where sleep(0.0004) = 0", nullptr);
    form.show();
    const QString path = dir.filePath("t.csv");
    form.fileEdit()->setText(path);

    QStringList samplesSeen;
    int checks = 0;
    ui.onEvents = [&] {
        ++checks;
        EXPECT_TRUE(form.exporting());
        for (const auto& [name, control] : lockedControls(form))
            EXPECT_FALSE(control->isEnabled()) << name;
        samplesSeen.append(form.sampleEdit()->toPlainText());
        // Cancel stays live.
        EXPECT_TRUE(form.cancelButton()->isEnabled());
        // Option changes do not run a sample meanwhile.
        form.userQuoteEdit()->setText("#");
    };
    const auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(form.outputButton(), Qt::LeftButton);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(checks, 5);
    // Before the first row the field keeps the sample; the first progress text is that of row 1.
    samplesSeen.removeDuplicates();
    const QStringList progress = samplesSeen.filter(QRegularExpression("^Exporting to file"));
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.front(), "Exporting to file. . .1 record");
    EXPECT_GE(progress.size(), 2);
    EXPECT_LE(progress.size(), 2 + static_cast<qsizetype>(seconds * 4));
    EXPECT_EQ(samplesSeen.indexOf(progress.front()) + progress.size(), samplesSeen.size());
    EXPECT_FALSE(form.exporting());
    for (const auto& [name, control] : lockedControls(form))
        EXPECT_TRUE(control->isEnabled()) << name;
    EXPECT_EQ(form.sampleEdit()->toPlainText(), "File Export Complete");
    EXPECT_EQ(ui.messages, QStringList{"File Export Complete"});
    EXPECT_EQ(fileText(path).count('\n'), 2500);
    const QByteArray xs(2000, 'x');
    EXPECT_TRUE(fileText(path).startsWith("\"1\",\"" + xs + "\"\n\"2\",\"" + xs + "\"\n"));

    ui.onEvents = {};
    QTest::mouseClick(form.cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST_F(CsvExportFormTest, CancelStopsTheExportAndSaysHowFarItGot) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_form_cancel");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, s VARCHAR(10))"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t SELECT seq, 'x' FROM seq_1_to_100000"));
    CsvExportForm form(db.session(), db.name(), "t", "Select * from dbk_csv_form_cancel.t order by id",
                       nullptr);
    form.show();
    const QString path = dir.filePath("t.csv");

    // Both ways out of a running export stop it: the Cancel button, and closing the form.
    for (const bool byClosing : {false, true}) {
        SCOPED_TRACE(byClosing ? "closing the form" : "the Cancel button");
        QFile::remove(path);
        form.fileEdit()->setText(path);
        ui.messages.clear();
        ui.onEvents = [&] {
            if (form.sampleEdit()->toPlainText().startsWith("Exporting to file")) {
                if (byClosing)
                    form.reject();
                else
                    QTest::mouseClick(form.cancelButton(), Qt::LeftButton);
            }
        };
        QTest::mouseClick(form.outputButton(), Qt::LeftButton);
        ui.onEvents = {};

        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.exporting());
        const QByteArray text = fileText(path);
        const qsizetype lines = text.count('\n');
        EXPECT_GT(lines, 0);
        EXPECT_LT(lines, 100000);
        EXPECT_TRUE(text.endsWith("\",\"x\"\n"));
        EXPECT_EQ(text.split('\n').value(lines - 1),
                  QByteArray("\"") + QByteArray::number(lines) + "\",\"x\"");
        ASSERT_EQ(ui.messages.size(), 1);
        EXPECT_EQ(ui.messages[0], QString("The export was cancelled after %1 rows.\nThe file is partial: it "
                                          "holds only those rows.\n%2")
                                      .arg(lines)
                                      .arg(path));
        EXPECT_EQ(form.sampleEdit()->toPlainText(), ui.messages[0]);
        for (const auto& [name, control] : lockedControls(form))
            EXPECT_TRUE(control->isEnabled()) << name;
        Connection& c = db.session().connection();
        EXPECT_FALSE(c.busy());
        Result next = c.query("SELECT COUNT(*) FROM dbk_csv_form_cancel.t");
        ASSERT_TRUE(next.next()) << c.errorLine();
        EXPECT_EQ(next.text(0U), "100000");
        EXPECT_EQ(c.characterSetName(), "cp932");
    }
}

TEST_F(CsvExportFormTest, FileAndStatementProblemsLeaveTheFormUsable) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_form_problems");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t VALUES (1), (2)"));
    CsvExportForm form(db.session(), db.name(), "t", "Select * from t", nullptr);

    QTest::mouseClick(form.outputButton(), Qt::LeftButton);
    EXPECT_EQ(ui.messages, QStringList{"Please input file name."});

    // A path no one can create: its folder is a file.
    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ui.messages.clear();
    form.fileEdit()->setText(dir.filePath("blocker/out.csv"));
    QTest::mouseClick(form.outputButton(), Qt::LeftButton);
    EXPECT_EQ(ui.messages, QStringList{"Error opening file."});
    for (const auto& [name, control] : lockedControls(form))
        EXPECT_TRUE(control->isEnabled()) << name;
    EXPECT_FALSE(form.exporting());

    ui.messages.clear();
    const QString path = dir.filePath("ok.csv");
    form.fileEdit()->setText(path);
    QTest::mouseClick(form.outputButton(), Qt::LeftButton);
    EXPECT_EQ(ui.messages, QStringList{"File Export Complete"});
    EXPECT_EQ(fileText(path), "\"1\"\n\"2\"\n");

    // A statement the server refuses: its error, and no completion.
    CsvExportForm failing(db.session(), "", "", "select nothing from nowhere", nullptr);
    failing.fileEdit()->setText(path);
    ui.messages.clear();
    QTest::mouseClick(failing.outputButton(), Qt::LeftButton);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith("Error executing query.\n1146:")) << ui.messages[0].toStdString();
    EXPECT_EQ(failing.sampleEdit()->toPlainText(), ui.messages[0]);
    for (const auto& [name, control] : lockedControls(failing))
        EXPECT_TRUE(control->isEnabled()) << name;
}

TEST_F(CsvExportFormTest, TheBrowseButtonChoosesACsvFile) {
    DBK_REQUIRE_SERVER();
    Session session(test::connectAdmin());
    CsvExportForm form(session, "", "", "SHOW DATABASES", nullptr);
    QFile existing(dir.filePath("taken.csv"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();

    struct Case {
        QString chosen;
        std::deque<bool> answers;
        QString field;
        int questions;
    } cases[] = {
        {dir.filePath("a.csv"), {}, dir.filePath("a.csv"), 0},
        {dir.filePath("b"), {}, dir.filePath("b.csv"), 0},
        {dir.filePath("taken"), {false}, dir.filePath("b.csv"), 1},  // declined: the field keeps its name
        {dir.filePath("taken"), {true}, dir.filePath("taken.csv"), 1},
        {dir.filePath("c.txt"), {}, dir.filePath("c.txt"), 0},
        {"", {}, dir.filePath("c.txt"), 0},  // cancelled
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        ui.saveFileAnswers = {c.chosen};
        ui.answers = c.answers;
        ui.questions.clear();
        QTest::mouseClick(form.browseButton(), Qt::LeftButton);
        EXPECT_EQ(form.fileEdit()->text(), c.field);
        EXPECT_EQ(ui.questions.size(), c.questions);
        if (c.questions) {
            EXPECT_EQ(ui.questions[0], "Proceed to overwrite it?");
        }
    }
}

long long rowCount(Connection& connection, const std::string& table) {
    Result result = connection.query("SELECT COUNT(*) FROM " + table);
    return result.ok() && result.next() ? std::stoll(std::string(result.text(0U))) : -1;
}

TEST_F(CsvExportFormTest, AStatementThatReturnsNoRowsIsNeitherSampledNorRun) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_form_refused");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t SELECT seq FROM seq_1_to_10"));
    const QString path = dir.filePath("deleted.csv");
    for (const char* statement : {"DELETE FROM t", "UPDATE t SET id = 0;", "  drop table t"}) {
        SCOPED_TRACE(statement);
        // As the console opens it: whatever text was typed there.
        CsvExportForm form(db.session(), "", "", statement, nullptr);
        form.separatorList()->setCurrentText("Tab Delimited");
        form.quoteList()->setCurrentText("Single Quotation");
        form.encodingList()->setCurrentText("UTF-8");
        EXPECT_EQ(form.sampleEdit()->toPlainText(), msg(CsvExporter::kRefusedMessage));

        form.fileEdit()->setText(path);
        ui.messages.clear();
        QTest::mouseClick(form.outputButton(), Qt::LeftButton);
        EXPECT_EQ(ui.messages, QStringList{msg(CsvExporter::kRefusedMessage)});
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_FALSE(form.exporting());
        EXPECT_TRUE(form.outputButton()->isEnabled());
        EXPECT_EQ(rowCount(db.admin(), "t"), 10);
        Result changed = db.admin().query("SELECT COUNT(*) FROM t WHERE id = 0");
        ASSERT_TRUE(changed.next());
        EXPECT_EQ(changed.text(0U), "0");
    }
}

TEST_F(CsvExportFormTest, TheFileCodeIsChosenAndTheSampleShowsWhatTheFileGets) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_form_codes");
    ConnectParams utf8 = test::adminParams();
    utf8.characterSet = "utf8mb4";
    utf8.database = db.name();
    Connection writer;
    ASSERT_TRUE(writer.open(utf8)) << writer.errorLine();
    ASSERT_TRUE(writer.exec("CREATE TABLE t (id INT, s VARCHAR(20))"));
    ASSERT_TRUE(writer.exec("INSERT INTO t VALUES (1, '〜と😀'), (2, '漢字')"));
    CsvExportForm form(db.session(), db.name(), "t", "select * from t order by id", nullptr);

    ASSERT_EQ(form.encodingList()->count(), 2);
    EXPECT_EQ(form.encodingList()->itemText(0), "Shift_JIS");
    EXPECT_EQ(form.encodingList()->itemText(1), "UTF-8");
    EXPECT_EQ(form.encodingList()->currentText(), "Shift_JIS");
    EXPECT_EQ(form.currentFormat().encoding, CsvFormat::Encoding::ShiftJis);

    form.separatorList()->setCurrentText("Tab Delimited");
    EXPECT_EQ(form.sampleEdit()->toPlainText(), "\"1\"\t\"～と?\"\n\"2\"\t\"漢字\"\n");
    form.encodingList()->setCurrentText("UTF-8");
    EXPECT_EQ(form.currentFormat().encoding, CsvFormat::Encoding::Utf8);
    EXPECT_EQ(form.sampleEdit()->toPlainText(), "\"1\"\t\"〜と😀\"\n\"2\"\t\"漢字\"\n");
    // The user's texts go into the file in its code.
    form.userQuoteRadio()->click();
    form.userQuoteEdit()->setText("‖");
    EXPECT_EQ(form.currentFormat().userQuote, "\xe2\x80\x96");
    EXPECT_TRUE(form.sampleEdit()->toPlainText().startsWith("‖1‖\t‖〜と😀‖\n"));
    form.defaultQuoteRadio()->click();

    const QString path = dir.filePath("codes.csv");
    form.fileEdit()->setText(path);
    QTest::mouseClick(form.outputButton(), Qt::LeftButton);
    EXPECT_EQ(ui.messages, QStringList{"File Export Complete"});
    EXPECT_EQ(fileText(path), "\"1\"\t\"〜と😀\"\n\"2\"\t\"漢字\"\n");

    form.encodingList()->setCurrentText("Shift_JIS");
    ui.messages.clear();
    QTest::mouseClick(form.outputButton(), Qt::LeftButton);
    EXPECT_EQ(ui.messages, QStringList{"File Export Complete\n1 values held characters that Shift_JIS cannot "
                                       "hold; those characters were written as \"?\"."});
    EXPECT_EQ(fileText(path), "\"1\"\t\"\x81\x60\x82\xc6?\"\n\"2\"\t\"\x8a\xbf\x8e\x9a\"\n");
}

TEST_F(CsvExportFormTest, ControlsAreKnownByTheirCaptions) {
    DBK_REQUIRE_SERVER();
    Session session(test::connectAdmin());
    CsvExportForm form(session, "", "", "SHOW DATABASES", nullptr);
    const std::pair<QWidget*, QString> controls[] = {
        {form.queryEdit(), "クエリー内容"},
        {form.fileEdit(), "ファイル名"},
        {form.browseButton(), "参照"},
        {form.encodingList(), "文字コード"},
        {form.defaultSeparatorRadio(), "デフォルト"},
        {form.separatorList(), "フィールド区切り記号 (FIELDS TERMINATES BY '')"},
        {form.userSeparatorRadio(), "ユーザ指定"},
        {form.userSeparatorEdit(), "ユーザ指定"},
        {form.defaultQuoteRadio(), "デフォルト"},
        {form.quoteList(), "クォート記号 (FIELDS ENCLOSED BY '')"},
        {form.userQuoteRadio(), "ユーザ指定"},
        {form.userQuoteEdit(), "ユーザ指定"},
        {form.sampleEdit(), "見本"},
        {form.outputButton(), "出力"},
        {form.cancelButton(), "ｷｬﾝｾﾙ"},
    };
    for (const auto& [control, caption] : controls)
        EXPECT_EQ(control->accessibleName(), caption) << caption.toStdString();
    const auto labels = form.findChildren<QLabel*>();
    const bool encodingHasCaption = std::any_of(labels.begin(), labels.end(), [&](QLabel* label) {
        return label->buddy() == form.encodingList() && label->text() == "文字コード";
    });
    EXPECT_TRUE(encodingHasCaption);
}

// The menu, toolbar and tree commands open the form on the selected table.
class CsvExportCommandTest : public CsvExportFormTest {
protected:
    void SetUp() override {
        CsvExportFormTest::SetUp();
        QCoreApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganization));
        QCoreApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        previousRunner = setModalRunner([this](QDialog& dialog) {
            auto* form = qobject_cast<CsvExportForm*>(&dialog);
            EXPECT_NE(form, nullptr);
            if (form)
                opened.push_back(toShiftJis(form->queryEdit()->toPlainText()));
            return int(QDialog::Rejected);
        });
    }
    void TearDown() override {
        setModalRunner(previousRunner);
        CsvExportFormTest::TearDown();
    }

    ModalRunner previousRunner;
    std::vector<std::string> opened;
};

TEST_F(CsvExportCommandTest, CommandsExportTheSelectedTable) {
    DBK_REQUIRE_SERVER();
    CDbkeeperDoc doc;
    const ConnectParams p = test::adminParams();
    doc.setLoginPrompt(test::loginPromptFor(p));
    ASSERT_EQ(doc.connect(), CDbkeeperDoc::kAdministrator);
    CMainFrame frame(doc);
    DocumentContext& context = doc.context();

    context.currentDatabase = "shop";
    context.currentTable = "";
    EXPECT_FALSE(frame.isCommandEnabled(cmd::ExportCsv, Pane::Tree));
    EXPECT_FALSE(frame.runCommand(cmd::ExportCsv, Pane::Tree));

    struct Case {
        std::string database;
        std::string table;
        int command;
        Pane pane;
        std::string statement;
    } cases[] = {
        {"shop", "items", cmd::ExportCsv, Pane::Tree, "Select * from shop.items"},
        {"shop", "items", cmd::ExportCsv, Pane::List, "Select * from shop.items"},
        {"shop", "items", cmd::ExportTableCsv, Pane::Tree, "Select * from shop.items"},
        {"my shop", "order", cmd::ExportTableCsv, Pane::Tree, "Select * from `my shop`.`order`"},
        {"shop", toShiftJis("商品"), cmd::ExportCsv, Pane::Tree,
         "Select * from shop.`" + toShiftJis("商品") + "`"},
    };
    for (const Case& c : cases) {
        context.currentDatabase = c.database;
        context.currentTable = c.table;
        opened.clear();
        EXPECT_TRUE(frame.isCommandEnabled(c.command, c.pane));
        EXPECT_TRUE(frame.runCommand(c.command, c.pane));
        EXPECT_EQ(opened, std::vector<std::string>{c.statement});
    }
}

}  // namespace
}  // namespace dbk
