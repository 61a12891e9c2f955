#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <functional>

#include "app/database_chooser_form.h"
#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "support/files.h"
#include "support/test_server.h"
#include "transfer/script_file_form.h"

namespace dbk {
namespace {

// Scripted services that also remember the chooser's filter and call back whenever the runner
// lets events through, so a test can look at the form in the middle of a run.
class WatchingUi : public ScriptedUiServices {
public:
    QString chooseSaveFile(const QString& title, const QString& filter, const QString& directory,
                           bool confirmOverwrite) override {
        filters.append(filter);
        overwriteQuestions.append(confirmOverwrite);
        return ScriptedUiServices::chooseSaveFile(title, filter, directory, confirmOverwrite);
    }
    void letEventsThrough() override {
        ScriptedUiServices::letEventsThrough();
        if (duringRun)
            duringRun();
    }
    QStringList filters;
    QList<bool> overwriteQuestions;
    std::function<void()> duringRun;
};

class ScriptFileFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        previousUi = setUiServices(&watching);
        previousRunner = setModalRunner([this](QDialog& dialog) {
            if (onModal)
                onModal(dialog);
            return dialog.result();
        });
    }
    void TearDown() override {
        setModalRunner(previousRunner);
        setUiServices(previousUi);
    }

    void connectToServer() {
        db.emplace("dbk_script_form");
        session = Session(test::connectAdmin());
        ASSERT_TRUE(connection.isOpen());
    }

    QString write(const std::string& bytes, const QString& name = QStringLiteral("script.sql")) {
        return test::writeFile(dir, bytes, name);
    }

    static QStringList labels(const QDialog& form) {
        QStringList out;
        for (const QLabel* label : form.findChildren<QLabel*>())
            out << label->text();
        return out;
    }

    WatchingUi watching;
    UiServices* previousUi = nullptr;
    ModalRunner previousRunner;
    std::function<void(QDialog&)> onModal;
    QTemporaryDir dir;
    std::optional<test::ScratchDatabase> db;
    Session session;
    Connection& connection = session.connection();
};

TEST_F(ScriptFileFormTest, OpensEmptyWithItsCaptions) {
    ScriptFileForm form(session);
    EXPECT_EQ(form.windowTitle(), "ファイルからSQL文発行");
    EXPECT_EQ(form.fileBrowseButton()->text(), "参照");
    EXPECT_EQ(form.databaseBrowseButton()->text(), "参照");
    EXPECT_EQ(form.runButton()->text(), "実行");
    EXPECT_TRUE(form.runButton()->isDefault());
    EXPECT_EQ(form.cancelButton()->text(), "ｷｬﾝｾﾙ");
    for (const char* caption : {"データベース名", "ファイル内容", "エラーメッセージ"}) {
        EXPECT_TRUE(labels(form).contains(QString::fromUtf8(caption))) << caption;
    }
    EXPECT_TRUE(form.contentsView()->isReadOnly());
    EXPECT_TRUE(form.errorsView()->isReadOnly());
    EXPECT_FALSE(form.databaseEdit()->isReadOnly());
    EXPECT_EQ(form.progressBar()->minimum(), 0);
    EXPECT_EQ(form.progressBar()->maximum(), 100);
    EXPECT_EQ(form.progressBar()->value(), 0);
    EXPECT_EQ(form.runner().errorCount(), 0);

    form.show();
    form.cancelButton()->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST_F(ScriptFileFormTest, BrowsingForTheFileShowsItsStartInJapanese) {
    ScriptFileForm form(session);
    std::string lines = "// \x83\x65\x83\x58\x83\x67\r\n";  // "テスト" in Shift_JIS, CR LF
    for (int i = 0; i < 80; ++i)
        lines += "INSERT INTO t VALUES (" + std::to_string(i) + ");\n";
    const QString path = write(lines);

    watching.saveFileAnswers = {path};
    form.fileBrowseButton()->click();
    EXPECT_EQ(watching.filters, QStringList{"SQL文 (*.sql)"});
    // the file is only read: choosing an existing one asks nothing about replacing it
    EXPECT_EQ(watching.overwriteQuestions, QList<bool>{false});
    EXPECT_EQ(form.fileEdit()->text(), path);
    const QString shown = form.contentsView()->toPlainText();
    EXPECT_TRUE(shown.startsWith("// テスト\nINSERT INTO t VALUES (0);\n")) << shown.left(60).toStdString();
    EXPECT_TRUE(shown.endsWith("INSERT INTO t VALUES (58);\n")) << shown.right(60).toStdString();

    // Cancelled: nothing changes.
    form.fileBrowseButton()->click();
    EXPECT_EQ(form.fileEdit()->text(), path);
    EXPECT_FALSE(form.contentsView()->toPlainText().isEmpty());

    // A name without extension gets ".sql"; a file that cannot be opened shows nothing.
    watching.saveFileAnswers = {QDir(dir.path()).filePath("new_script")};
    form.fileBrowseButton()->click();
    EXPECT_EQ(form.fileEdit()->text(), QDir(dir.path()).filePath("new_script.sql"));
    EXPECT_EQ(form.contentsView()->toPlainText(), "");
    EXPECT_TRUE(watching.messages.isEmpty());
}

TEST_F(ScriptFileFormTest, TheDatabaseChooserFillsTheField) {
    DBK_REQUIRE_SERVER();
    ASSERT_NO_FATAL_FAILURE(connectToServer());
    const QString japanese = QStringLiteral("dbk_script_選択");
    test::ScratchDatabase chosenDb(toShiftJis(japanese));
    ScriptFileForm form(session);
    form.databaseEdit()->setText("typed");

    int choosersOpened = 0;
    onModal = [&](QDialog& dialog) {
        auto* chooser = qobject_cast<DatabaseChooserForm*>(&dialog);
        ASSERT_NE(chooser, nullptr);
        ++choosersOpened;
        const QList<QListWidgetItem*> items = chooser->list()->findItems(japanese, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        emit chooser->list()->itemDoubleClicked(items.first());
    };
    form.databaseBrowseButton()->click();
    EXPECT_EQ(choosersOpened, 1);
    EXPECT_EQ(form.databaseEdit()->text(), japanese);

    // Cancelled: the field keeps its text.
    form.databaseEdit()->setText("kept");
    onModal = [&](QDialog& dialog) { dialog.reject(); };
    form.databaseBrowseButton()->click();
    EXPECT_EQ(form.databaseEdit()->text(), "kept");
}

TEST_F(ScriptFileFormTest, ControlsAreDisabledDuringARunAndErrorsAccumulate) {
    DBK_REQUIRE_SERVER();
    ASSERT_NO_FATAL_FAILURE(connectToServer());
    std::string script = "CREATE TABLE p (n INT);\n";
    for (int i = 0; i < 50; ++i)
        script += "INSERT INTO p VALUES (" + std::to_string(i) + ");\n";
    script += "INSERT INTO missing VALUES (1);\n";
    const QString path = write(script);

    ScriptFileForm form(session);
    form.show();
    form.fileEdit()->setText(path);
    form.databaseEdit()->setText(fromShiftJis(db->name()));

    int looks = 0;
    bool enabledDuringRun = false;
    bool cancelLive = true;
    watching.duringRun = [&] {
        ++looks;
        for (QWidget* w : std::initializer_list<QWidget*>{form.runButton(), form.fileBrowseButton(),
                                                          form.databaseBrowseButton(), form.fileEdit(),
                                                          form.databaseEdit()}) {
            enabledDuringRun = enabledDuringRun || w->isEnabled();
        }
        cancelLive = cancelLive && form.cancelButton()->isEnabled();
        // a second press does not get through
        form.runButton()->click();
    };
    form.runButton()->click();

    EXPECT_GT(looks, 10);
    EXPECT_FALSE(enabledDuringRun);
    EXPECT_TRUE(cancelLive);
    EXPECT_EQ(watching.questions.size(), 1);  // one run, not nested ones
    EXPECT_TRUE(form.isVisible());
    for (QWidget* w : std::initializer_list<QWidget*>{form.runButton(), form.fileBrowseButton(),
                                                      form.databaseBrowseButton(), form.fileEdit(),
                                                      form.databaseEdit(), form.cancelButton()}) {
        EXPECT_TRUE(w->isEnabled()) << w->metaObject()->className();
    }
    EXPECT_EQ(form.progressBar()->value(), 100);
    EXPECT_EQ(watching.messages, QStringList{"Some errors have occurred.  Please confirm."});
    const QStringList firstErrors = form.errorsView()->toPlainText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(firstErrors.size(), 1);
    EXPECT_TRUE(firstErrors[0].contains("missing")) << firstErrors[0].toStdString();

    // A second run adds its errors below the first ones (the table exists now).
    watching.duringRun = nullptr;
    watching.messages.clear();
    form.runButton()->click();
    EXPECT_EQ(watching.messages, QStringList{"Some errors have occurred.  Please confirm."});
    const QStringList allErrors = form.errorsView()->toPlainText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(allErrors.size(), 3);
    EXPECT_EQ(allErrors[0], firstErrors[0]);
    EXPECT_TRUE(allErrors[1].contains("already exists")) << allErrors[1].toStdString();
    EXPECT_EQ(form.runner().errorCount(), 3);

    form.cancelButton()->click();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(ScriptFileFormTest, CancelOrClosingStopsARunBetweenStatements) {
    DBK_REQUIRE_SERVER();
    ASSERT_NO_FATAL_FAILURE(connectToServer());
    std::string script = "CREATE TABLE c (n INT);\nSET NAMES latin1;\n";
    for (int i = 1; i <= 300; ++i)
        script += "INSERT INTO c VALUES (" + std::to_string(i) + ");\n";
    const QString path = write(script);
    ScriptFileForm form(session);
    form.show();
    form.fileEdit()->setText(path);
    form.databaseEdit()->setText(fromShiftJis(db->name()));

    for (const bool byClosing : {false, true}) {
        SCOPED_TRACE(byClosing ? "closing" : "Cancel");
        db->admin().exec("DROP TABLE IF EXISTS c");
        watching.messages.clear();
        watching.duringRun = [&] {
            if (form.runner().statementsRun() >= 10) {
                if (byClosing)
                    form.reject();
                else
                    form.cancelButton()->click();
            }
        };
        form.runButton()->click();
        watching.duringRun = nullptr;

        const int ran = form.runner().statementsRun();
        EXPECT_GE(ran, 10);
        EXPECT_LT(ran, 302);
        ASSERT_EQ(watching.messages.size(), 1);
        EXPECT_EQ(watching.messages[0],
                  QString("The script was cancelled after statement %1.\nThe statements "
                          "after it were not run.")
                      .arg(ran));
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(form.runButton()->isEnabled());
        // The statements up to the last one sent ran, none after it; the connection is ready,
        // in its own character set again.
        Connection& c = session.connection();
        EXPECT_FALSE(c.busy());
        Result count = c.query("SELECT COUNT(*) FROM " + db->name() + ".c");
        ASSERT_TRUE(count.next()) << c.errorLine();
        EXPECT_EQ(count.text(0U), std::to_string(ran - 2));
        EXPECT_EQ(c.characterSetName(), "cp932");
    }
}

TEST_F(ScriptFileFormTest, TheCommandOpensTheFormOnTheDocumentsConnection) {
    DBK_REQUIRE_SERVER();
    ASSERT_NO_FATAL_FAILURE(connectToServer());
    CDbkeeperDoc doc;
    ASSERT_TRUE(doc.connection().open(test::adminParams())) << doc.connection().errorLine();
    CMainFrame frame(doc);
    const QString path = write("CREATE TABLE from_command (n INT);\n");

    int formsOpened = 0;
    onModal = [&](QDialog& dialog) {
        auto* form = qobject_cast<ScriptFileForm*>(&dialog);
        ASSERT_NE(form, nullptr);
        ++formsOpened;
        form->fileEdit()->setText(path);
        form->databaseEdit()->setText(fromShiftJis(db->name()));
        form->runButton()->click();
        form->cancelButton()->click();
    };
    EXPECT_TRUE(frame.isCommandEnabled(cmd::ScriptFromFile, Pane::Tree));
    EXPECT_TRUE(frame.runCommand(cmd::ScriptFromFile, Pane::Tree));
    EXPECT_EQ(formsOpened, 1);
    EXPECT_EQ(watching.messages, QStringList{"Normalization complete."});
    EXPECT_TRUE(db->admin().exec("SELECT * FROM from_command")) << db->admin().errorLine();
}

}  // namespace
}  // namespace dbk
