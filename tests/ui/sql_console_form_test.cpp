#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <optional>

#include "app/commands.h"
#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "app/qt_ui_services.h"
#include "app/scripted_ui_services.h"
#include "app/window_placement.h"
#include "browser/left_view.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "support/ui_support.h"
#include "transfer/console_history.h"
#include "transfer/console_history_dialog.h"
#include "transfer/csv_export_form.h"
#include "transfer/sql_console_form.h"

namespace dbk {
namespace {

QTreeWidgetItem* childNamed(const QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    }
    return nullptr;
}

QStringList childTexts(const QTreeWidgetItem* parent) {
    QStringList texts;
    for (int i = 0; parent && i < parent->childCount(); ++i)
        texts << parent->child(i)->text(0);
    return texts;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The console on an administrator connection, messages recorded, settings in a folder of
// their own.
class SqlConsoleFormTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }
    void TearDown() override { setModalRunner(previousRunner); }

    SqlConsoleForm& open() {
        form = std::make_unique<SqlConsoleForm>(session);
        form->setWorkDirectory(startup.path());
        return *form;
    }
    void run(const QString& text) {
        form->statementEdit()->setPlainText(text);
        form->runButton()->click();
    }
    QStringList headings() const {
        QStringList texts;
        for (int c = 0; c < form->result().columnCount(); ++c)
            texts << form->result().headerData(c, Qt::Horizontal).toString();
        return texts;
    }
    void selectRows(std::initializer_list<int> rows) {
        QTableView* view = form->resultView();
        view->clearSelection();
        for (int row : rows)
            view->selectionModel()->select(view->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void press(Qt::Key key) { QTest::keyClick(form->statementEdit(), key, Qt::ControlModifier); }
    void putCursor(int position) {
        QTextCursor cursor = form->statementEdit()->textCursor();
        cursor.setPosition(position);
        form->statementEdit()->setTextCursor(cursor);
    }
    QString cell(int row, int column) const {
        return form->result().data(form->result().index(row, column)).toString();
    }

    test::IsolatedSettings settings;
    QTemporaryDir startup;  // the program's start-up directory: the history file goes there
    ScopedScriptedUi ui;
    Session session{test::serverConfigured() ? test::connectAdmin() : Connection()};
    Connection& connection = session.connection();
    std::unique_ptr<SqlConsoleForm> form;
    ModalRunner previousRunner = setModalRunner({});
};

TEST_F(SqlConsoleFormTest, OpensWithTheDatabasesAndFillsTheTreeOnSelection) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_console_tree");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE items (price INT, name TEXT)"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE brands (id INT)"));
    open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SQL発行"));
    EXPECT_TRUE(form->treeReady());
    ASSERT_EQ(form->tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* root = form->tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Database");
    QTreeWidgetItem* database = childNamed(root, "dbk_console_tree");
    ASSERT_NE(database, nullptr);
    EXPECT_EQ(database->childCount(), 0);

    form->tree()->setCurrentItem(database);
    EXPECT_EQ(childTexts(database), (QStringList{"brands", "items"}));
    QTreeWidgetItem* items = childNamed(database, "items");
    form->tree()->setCurrentItem(items);
    EXPECT_EQ(childTexts(items), (QStringList{"name", "price"}));
    // loaded once: a table added later shows only after the next opening
    ASSERT_TRUE(db.admin().exec("CREATE TABLE later (x INT)"));
    form->tree()->setCurrentItem(root);
    form->tree()->setCurrentItem(database);
    EXPECT_EQ(database->childCount(), 2);
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join('|').toStdString();
    EXPECT_TRUE(form->treeReady());
}

TEST_F(SqlConsoleFormTest, WithoutADatabaseListTheTreeKeepsItsRootAndTheStoredFontStays) {
    {
        QSettings settings;
        settings.setValue("SQLDLG/lfHeight", -30);
    }
    Session closed;
    SqlConsoleForm console(closed);
    EXPECT_EQ(ui->messages, QStringList{"Not connected to a server."});
    ASSERT_EQ(console.tree()->topLevelItemCount(), 1);
    EXPECT_EQ(console.tree()->topLevelItem(0)->childCount(), 0);
    EXPECT_FALSE(console.treeReady());
    EXPECT_FALSE(console.statementFont());
    console.cancelButton()->click();
    EXPECT_EQ(QSettings().value("SQLDLG/lfHeight").toInt(), -30);
}

TEST_F(SqlConsoleFormTest, DoubleClickAppendsTheNameAtTheEnd) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_console_append");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE items (price INT)"));
    open();
    QTreeWidgetItem* database = childNamed(form->tree()->topLevelItem(0), "dbk_console_append");
    ASSERT_NE(database, nullptr);
    form->tree()->setCurrentItem(database);
    QTreeWidgetItem* items = childNamed(database, "items");
    ASSERT_NE(items, nullptr);
    form->tree()->setCurrentItem(items);

    form->statementEdit()->setPlainText("select * from");
    QTextCursor caret = form->statementEdit()->textCursor();
    caret.setPosition(2);
    form->statementEdit()->setTextCursor(caret);
    emit form->tree()->itemDoubleClicked(items, 0);
    EXPECT_EQ(form->statementEdit()->toPlainText(), "select * from dbk_console_append.items");
    emit form->tree()->itemDoubleClicked(items->child(0), 0);
    emit form->tree()->itemDoubleClicked(database, 0);
    emit form->tree()->itemDoubleClicked(form->tree()->topLevelItem(0), 0);
    EXPECT_EQ(form->statementEdit()->toPlainText(),
              "select * from dbk_console_append.items price dbk_console_append");
}

// Names that need quoting are appended quoted, so the composed text runs as it stands.
TEST_F(SqlConsoleFormTest, DoubleClickedNamesThatNeedQuotesGiveARunnableStatement) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk my shop");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE `order` (`unit price` INT, `select` INT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO `order` VALUES (120, 7)"));
    open();
    QTreeWidgetItem* database = childNamed(form->tree()->topLevelItem(0), "dbk my shop");
    ASSERT_NE(database, nullptr);
    form->tree()->setCurrentItem(database);
    QTreeWidgetItem* order = childNamed(database, "order");
    ASSERT_NE(order, nullptr);
    form->tree()->setCurrentItem(order);
    QTreeWidgetItem* price = childNamed(order, "unit price");
    QTreeWidgetItem* select = childNamed(order, "select");
    ASSERT_NE(price, nullptr);
    ASSERT_NE(select, nullptr);

    form->statementEdit()->setPlainText("SELECT");
    emit form->tree()->itemDoubleClicked(price, 0);
    form->statementEdit()->setPlainText(form->statementEdit()->toPlainText() + ",");
    emit form->tree()->itemDoubleClicked(select, 0);
    form->statementEdit()->setPlainText(form->statementEdit()->toPlainText() + " FROM");
    emit form->tree()->itemDoubleClicked(order, 0);
    EXPECT_EQ(form->statementEdit()->toPlainText(),
              "SELECT `unit price`, `select` FROM `dbk my shop`.`order`");
    form->runButton()->click();
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join('|').toStdString();
    EXPECT_EQ(headings(), (QStringList{"unit price", "select"}));
    ASSERT_EQ(form->result().rowCount(), 1);
    EXPECT_EQ(form->result().data(form->result().index(0, 0)).toString(), "120");

    // a double-clicked database after USE makes it the default one
    run("USE");
    ui->messages.clear();
    emit form->tree()->itemDoubleClicked(database, 0);
    EXPECT_EQ(form->statementEdit()->toPlainText(), "USE `dbk my shop`");
    form->runButton()->click();
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join('|').toStdString();
    run("SELECT `select` FROM `order`");
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join('|').toStdString();
    EXPECT_EQ(form->result().data(form->result().index(0, 0)).toString(), "7");
}

TEST_F(SqlConsoleFormTest, RunsEachStatementAndReportsFailures) {
    DBK_REQUIRE_SERVER();
    open();
    run("select 1 as one, NULL as two; select nosuch from dual");
    EXPECT_EQ(ui->messages, QStringList{"Cannot execute query!"});
    EXPECT_TRUE(form->statusEdit()->text().startsWith("Unknown column 'nosuch'"));
    // the list keeps the first statement's result
    EXPECT_EQ(headings(), (QStringList{"one", "two"}));
    EXPECT_EQ(form->result().data(form->result().index(0, 1)).toString(), "");
    EXPECT_EQ(form->dataTimeEdit()->text(), QStringLiteral("0秒"));
    EXPECT_EQ(form->displayTimeEdit()->text(), QStringLiteral("0秒"));
    EXPECT_EQ(ui->waitDepth, 0);

    ui->messages.clear();
    run("select 2 as x;;");
    EXPECT_EQ(ui->messages, QStringList{QStringLiteral("クエリを入力してください！！")});
    EXPECT_EQ(form->statusEdit()->text(), QStringLiteral("正しく処理されました"));
    EXPECT_EQ(headings(), QStringList{"x"});
    EXPECT_EQ(form->columnCount(), 1);

    // Ctrl+E runs the text from the statement field too; running never closes the form
    ui->messages.clear();
    form->statementEdit()->setPlainText("select 3 as y, 4 as z");
    form->show();
    QApplication::setActiveWindow(form.get());
    form->statementEdit()->setFocus();
    QTest::keyClick(form->statementEdit(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(headings(), (QStringList{"y", "z"}));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->statementEdit()->toPlainText(), "select 3 as y, 4 as z");
    form->statementEdit()->setPlainText("select 5 as w");
    form->resultView()->setFocus();
    QTest::keyClick(form->resultView(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(headings(), QStringList{"w"});
    form->hide();
}

TEST_F(SqlConsoleFormTest, CopyPutsTheSelectedRowsOnTheClipboard) {
    DBK_REQUIRE_SERVER();
    open();
    QApplication::clipboard()->setText("before");
    form->copySelection();  // no rows yet: nothing happens
    EXPECT_EQ(QApplication::clipboard()->text(), "before");

    run(QStringLiteral("select 1, 'a', NULL union all select 2, '日本', 'c' union all select 3, 'x', 'y'"));
    ASSERT_EQ(form->result().rowCount(), 3);
    selectRows({2, 0});
    QMenu* menu = form->buildContextMenu(form.get());
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("コピー"));
    EXPECT_EQ(actions[1]->text(), QStringLiteral("関連付けしたアプリケーションで開く"));
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_EQ(actions[3]->text(), QStringLiteral("レコードの明細"));
    EXPECT_FALSE(actions[3]->isEnabled());
    actions[0]->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "1\ta\t\n3\tx\ty");
    delete menu;

    // the C key in the list, with or without Ctrl
    selectRows({1});
    QTest::keyClick(form->resultView(), Qt::Key_C);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("2\t日本\tc"));
    selectRows({0, 1});
    QTest::keyClick(form->resultView(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("1\ta\t\n2\t日本\tc"));
}

TEST_F(SqlConsoleFormTest, OpenWithWritesTheResultAndOpensIt) {
    DBK_REQUIRE_SERVER();
    QTemporaryDir work;
    open().setWorkDirectory(work.path());
    form->openWithApplication();  // no rows: nothing is written
    EXPECT_FALSE(QFile::exists(work.filePath("TEMP.CSV")));
    EXPECT_TRUE(ui->openedFiles.isEmpty());

    run("select 'a\"b' as first, 5 as second");
    form->openWithApplication();
    EXPECT_EQ(fileBytes(work.filePath("TEMP.CSV")), "\"first\",\"second\",\n\"a\"\"b\",\"5\",\n");
    EXPECT_EQ(ui->openedFiles, QStringList{work.filePath("TEMP.CSV")});
    EXPECT_TRUE(ui->messages.isEmpty());

    ui->openSucceeds = false;
    form->openWithApplication();
    EXPECT_EQ(ui->messages,
              QStringList{QStringLiteral("プログラムの実行に失敗しました。\n\nFile = TEMP.CSV")});

    // a folder the file cannot be created in: nothing is opened
    ui->messages.clear();
    ui->openedFiles.clear();
    form->setWorkDirectory(work.filePath("missing"));
    form->openWithApplication();
    EXPECT_TRUE(ui->openedFiles.isEmpty());
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("Error opening file.")) << ui->messages[0].toStdString();
}

TEST_F(SqlConsoleFormTest, ScriptsAreLoadedSavedAndOverwritten) {
    DBK_REQUIRE_SERVER();
    QTemporaryDir work;
    open();
    const QString text = QStringLiteral("select '日本';\nselect 2");
    form->statementEdit()->setPlainText(text);

    // Overwrite without a file asks for a name like Save; the name gets ".sql"
    ui->saveFileAnswers.push_back(work.filePath("first"));
    form->overwriteButton()->click();
    const QString first = work.filePath("first.sql");
    EXPECT_EQ(fileBytes(first), QByteArray::fromStdString(toShiftJis(text)));
    EXPECT_EQ(form->scriptFileEdit()->text(), first);
    EXPECT_EQ(ui->messages, QStringList{QStringLiteral("書き込みました！！")});

    // now Overwrite writes that file without asking
    form->statementEdit()->setPlainText("select 3");
    form->overwriteButton()->click();
    EXPECT_EQ(fileBytes(first), "select 3");
    EXPECT_EQ(ui->messages.last(), QStringLiteral("上書きしました！！"));

    // Save cancelled and Save to a folder that is not there change nothing
    ui->messages.clear();
    form->saveButton()->click();
    ui->saveFileAnswers.push_back(work.filePath("no/such.sql"));
    form->saveButton()->click();
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(form->scriptFileEdit()->text(), first);

    // Load replaces the text with the file's bytes, decoded
    QFile other(work.filePath("other.sql"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("select '\x83\x5c';\nselect 1");
    other.close();
    ui->openFileAnswers.push_back(other.fileName());
    form->loadButton()->click();
    EXPECT_EQ(form->statementEdit()->toPlainText(), QStringLiteral("select 'ソ';\nselect 1"));
    EXPECT_EQ(form->scriptFileEdit()->text(), other.fileName());
    ui->openFileAnswers.push_back(work.filePath("missing.sql"));
    form->loadButton()->click();
    EXPECT_EQ(form->scriptFileEdit()->text(), other.fileName());
    EXPECT_TRUE(ui->messages.isEmpty());
}

// The chooser asks before it returns an existing file; ".sql" is added after it returned, so
// the name that gets written is asked about here.
TEST_F(SqlConsoleFormTest, SaveAsksBeforeReplacingTheFileTheSuffixLeadsTo) {
    DBK_REQUIRE_SERVER();
    QTemporaryDir work;
    const QString existing = work.filePath("name.sql");
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("kept");
    }
    open();
    const QString question = QStringLiteral("name.sql already exists.\nDo you want to replace it?");

    struct Case {
        const char* what;
        QString chosen;
        std::optional<bool> answer;  // none: no question expected
        QByteArray contents;
        QStringList messages;
    };
    const QStringList written{QStringLiteral("書き込みました！！")};
    const Case cases[] = {
        {"No keeps the file", work.filePath("name"), false, "kept", {}},
        {"Yes replaces it", work.filePath("name"), true, "select 1", written},
        // the chooser asked about this very name itself
        {"a name with its suffix", existing, std::nullopt, "select 2", written},
        {"a name whose file is new", work.filePath("fresh"), std::nullopt, "select 3", written},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString text = QStringLiteral("select %1").arg(round++);
        form->statementEdit()->setPlainText(text);
        ui->questions.clear();
        ui->messages.clear();
        if (c.answer)
            ui->answers.push_back(*c.answer);
        ui->saveFileAnswers.push_back(c.chosen);
        form->saveButton()->click();
        EXPECT_EQ(ui->questions, c.answer ? QStringList{question} : QStringList{});
        EXPECT_TRUE(ui->answers.empty());
        EXPECT_EQ(ui->messages, c.messages);
        const QString target = sql_console::withDefaultSuffix(c.chosen);
        EXPECT_EQ(fileBytes(target), c.contents);
        EXPECT_EQ(form->scriptFileEdit()->text(), c.messages.isEmpty() ? QString() : target);
    }
}

TEST_F(SqlConsoleFormTest, FontIsStoredOnCloseAndRestoredAtTheNextOpening) {
    DBK_REQUIRE_SERVER();
    open();
    const LogicalFont system = toLogicalFont(QApplication::font());
    ASSERT_TRUE(form->statementFont());
    EXPECT_EQ(form->statementFont()->height, 18);
    EXPECT_EQ(form->statementFont()->faceName, system.faceName);
    EXPECT_EQ(form->statementEdit()->font().pixelSize(), 18);

    const LogicalFont chosen{QStringLiteral("MS Gothic"), -16, 0, 700, false};
    ui->fontAnswers.push_back(chosen);
    form->fontButton()->click();
    EXPECT_EQ(form->statementEdit()->font().pixelSize(), 16);
    EXPECT_TRUE(form->statementEdit()->font().bold());
    ui->fontAnswers.push_back(std::nullopt);  // cancelled: the font stays
    form->fontButton()->click();
    EXPECT_EQ(form->statementEdit()->font().pixelSize(), 16);

    QCloseEvent close;
    QApplication::sendEvent(form.get(), &close);
    {
        QSettings settings;
        EXPECT_EQ(settings.value("SQLDLG/lfHeight").toInt(), -16);
        EXPECT_EQ(settings.value("SQLDLG/lfFaceName").toString(), "MS Gothic");
        EXPECT_EQ(settings.value("SQLDLG/lfWeight").toInt(), 700);
        EXPECT_EQ(settings.value("SQLDLG/lfWidth").toInt(), 0);
    }
    open();
    EXPECT_EQ(form->statementFont(), chosen);
    EXPECT_EQ(form->statementEdit()->font().family(), "MS Gothic");
    EXPECT_EQ(form->statementEdit()->font().pixelSize(), 16);
    // a face this desktop lacks is drawn with an installed Japanese one
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    if (!QFontDatabase::hasFamily("MS Gothic") && !japanese.isEmpty()) {
        EXPECT_TRUE(japanese.contains(QFontInfo(form->statementEdit()->font()).family()))
            << QFontInfo(form->statementEdit()->font()).family().toStdString();
    }

    // the cancel button stores it as well
    ui->fontAnswers.push_back(LogicalFont{QStringLiteral("Sans"), -20, 0, 400, false});
    form->fontButton()->click();
    form->cancelButton()->click();
    EXPECT_EQ(QSettings().value("SQLDLG/lfHeight").toInt(), -20);
}

TEST_F(SqlConsoleFormTest, CsvOutputOpensTheExportFormWithTheWholeText) {
    DBK_REQUIRE_SERVER();
    open();
    std::vector<std::string> statements;
    setModalRunner([&](QDialog& dialog) {
        auto* exportForm = qobject_cast<CsvExportForm*>(&dialog);
        EXPECT_NE(exportForm, nullptr);
        if (exportForm)
            statements.push_back(exportForm->statement());
        return 0;
    });
    form->csvButton()->click();  // no text: no form
    EXPECT_TRUE(statements.empty());
    form->statementEdit()->setPlainText(QStringLiteral("select '日本' as a; select 2"));
    form->csvButton()->click();
    EXPECT_EQ(statements,
              std::vector<std::string>{toShiftJis(QStringLiteral("select '日本' as a; select 2"))});
}

// The console opened by its command from the main window; databases created in it are added
// to the object tree when it closes.
TEST(SqlConsoleCommand, DatabasesCreatedInTheConsoleJoinTheObjectTree) {
    DBK_REQUIRE_SERVER();
    setInterfaceLanguage(Language::English);
    test::IsolatedSettings settings;
    {
        Connection admin = test::connectAdmin();
        admin.exec("DROP DATABASE IF EXISTS dbk_console_new1");
        admin.exec("DROP DATABASE IF EXISTS dbk_console_new2");
    }
    ScopedScriptedUi ui;
    CDbkeeperDoc doc;
    const ConnectParams p = test::adminParams();
    doc.setLoginPrompt(test::loginPromptFor(p));
    auto frame = std::make_unique<CMainFrame>(doc);
    frame->leftView()->initialUpdate();
    QTreeWidgetItem* databases = frame->leftView()->databasesRoot();
    ASSERT_NE(databases, nullptr);
    const int before = databases->childCount();
    EXPECT_EQ(childNamed(databases, "dbk_console_new1"), nullptr);

    bool opened = false;
    const ModalRunner previous = setModalRunner([&](QDialog& dialog) {
        auto* console = qobject_cast<SqlConsoleForm*>(&dialog);
        EXPECT_NE(console, nullptr);
        if (!console)
            return 0;
        opened = true;
        console->statementEdit()->setPlainText(
            "create database dbk_console_new1; create database dbk_console_new2; select 1");
        console->runButton()->click();
        return 0;
    });
    EXPECT_TRUE(frame->isCommandEnabled(cmd::ExecuteSql, Pane::List));
    EXPECT_TRUE(frame->runCommand(cmd::ExecuteSql, Pane::List));
    setModalRunner(previous);
    EXPECT_TRUE(opened);
    EXPECT_EQ(databases->childCount(), before + 2);
    EXPECT_NE(childNamed(databases, "dbk_console_new1"), nullptr);
    EXPECT_NE(childNamed(databases, "dbk_console_new2"), nullptr);

    frame.reset();
    Connection admin = test::connectAdmin();
    admin.exec("DROP DATABASE dbk_console_new1");
    admin.exec("DROP DATABASE dbk_console_new2");
}

TEST_F(SqlConsoleFormTest, WhatIsTypedComesBackFromTodaysSessionAsItWas) {
    DBK_REQUIRE_SERVER();
    ConnectParams params = test::adminParams();
    params.sessionText = SessionText::Automatic;
    ASSERT_TRUE(session.open(params)) << connection.errorLine();
    ASSERT_EQ(connection.characterSetName(), "utf8mb4");
    open();
    const QString typed = QStringLiteral("〜−😀🍣髙①ｶﾀｶﾅ");
    run(QStringLiteral("SELECT '%1' AS `値〜`, HEX('%1') AS h").arg(typed));
    ASSERT_EQ(form->result().rowCount(), 1);
    EXPECT_EQ(headings(), (QStringList{QStringLiteral("値〜"), QStringLiteral("h")}));
    EXPECT_EQ(form->result().data(form->result().index(0, 0)).toString(), typed);
    EXPECT_EQ(form->result().data(form->result().index(0, 1)).toString(),
              QString::fromLatin1(typed.toUtf8().toHex().toUpper()));
}

TEST_F(SqlConsoleFormTest, HistoryOutlivesTheConsoleAndAnUnreadableFileIsSetAside) {
    DBK_REQUIRE_SERVER();
    const QString path = QDir(startup.path()).filePath(QLatin1String(ConsoleHistory::kFileName));
    const QString japanese = QStringLiteral("SELECT '日本語の😀' AS v");
    open();
    run(QStringLiteral("USE mysql;\n") + japanese + QStringLiteral(";\nSELECT * FROM no_such_table"));
    EXPECT_TRUE(fileBytes(path).contains(QStringLiteral("日本語の😀").toUtf8()));
    // each entry names the database it ran in, read again only after a statement that may change it
    EXPECT_EQ(fileBytes(path).count("\"database\":\"mysql\""), 3) << fileBytes(path).toStdString();

    // the next console walks back with Ctrl+Up and forth to what was typed with Ctrl+Down
    open();
    form->statementEdit()->setPlainText(QStringLiteral("typed"));
    press(Qt::Key_Up);
    EXPECT_EQ(form->statementEdit()->toPlainText(), QStringLiteral("SELECT * FROM no_such_table"));
    press(Qt::Key_Up);
    EXPECT_EQ(form->statementEdit()->toPlainText(), japanese);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    EXPECT_EQ(form->statementEdit()->toPlainText(), QStringLiteral("typed"));

    // the list, narrowed by its search box, puts the chosen entry back
    QStringList listed;
    setModalRunner([&](QDialog& dialog) {
        auto* list = qobject_cast<ConsoleHistoryDialog*>(&dialog);
        if (!list)
            return int(QDialog::Rejected);
        list->searchEdit()->setText(QStringLiteral("日本"));
        for (int i = 0; i < list->list()->count(); ++i)
            listed << list->list()->item(i)->text();
        list->okButton()->click();
        return list->result();
    });
    form->historyButton()->click();
    ASSERT_EQ(listed.size(), 1);
    EXPECT_TRUE(listed[0].contains(QStringLiteral("1行"))) << listed[0].toStdString();
    EXPECT_EQ(form->statementEdit()->toPlainText(), japanese);
    EXPECT_TRUE(ui->messages.size() == 1 && ui->messages[0] == "Cannot execute query!")
        << ui->messages.join('|').toStdString();

    // a file that is not a history is kept under another name, with a message
    form.reset();
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
        file.write("\x93\xfa\x96\x7b\n");
    }
    const QByteArray damaged = fileBytes(path);
    ui->messages.clear();
    open();
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("The console history")) << ui->messages[0].toStdString();
    const QStringList aside = QDir(startup.path()).entryList({QStringLiteral("*.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(ui->messages[0].contains(aside[0]));
    EXPECT_EQ(fileBytes(QDir(startup.path()).filePath(aside[0])), damaged);
    press(Qt::Key_Up);
    EXPECT_EQ(form->statementEdit()->toPlainText(), QString());
}

TEST_F(SqlConsoleFormTest, CtrlEnterRunsTheStatementUnderTheCursorOrTheSelection) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_console_cursor");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (v INT)"));
    open();
    const QString text = QStringLiteral(
        "INSERT INTO dbk_console_cursor.t VALUES (1);\n"
        "INSERT INTO dbk_console_cursor.t VALUES (2);\n"
        "INSERT INTO dbk_console_cursor.t VALUES (3);\n");
    form->statementEdit()->setPlainText(text);
    putCursor(static_cast<int>(text.indexOf(QStringLiteral("(2)"))));
    press(Qt::Key_Return);
    const auto values = [&] {
        Result r = db.admin().query("SELECT GROUP_CONCAT(v ORDER BY v) FROM t");
        return r && r.next() ? std::string(r.text(0)) : std::string("?");
    };
    EXPECT_EQ(values(), "2");
    // a selection over the first two runs both
    QTextCursor cursor = form->statementEdit()->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(static_cast<int>(text.indexOf(QStringLiteral("(2);")) + 4), QTextCursor::KeepAnchor);
    form->statementEdit()->setTextCursor(cursor);
    press(Qt::Key_Enter);
    EXPECT_EQ(values(), "1,2,2");
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join('|').toStdString();
    // the run button still runs the whole text
    form->runButton()->click();
    EXPECT_EQ(values(), "1,1,2,2,2,3");
}

TEST_F(SqlConsoleFormTest, TheErrorIsUnderlinedOnTheLineTheServerNames) {
    DBK_REQUIRE_SERVER();
    open();
    const QString text = QStringLiteral("SELECT 1;\n-- next\nSELECT 2,\n  3 FROM FROM dual;");
    for (const bool atCursor : {false, true}) {
        SCOPED_TRACE(atCursor);
        form->statementEdit()->setPlainText(text);
        ui->messages.clear();
        if (atCursor) {
            putCursor(static_cast<int>(text.indexOf(QStringLiteral("dual"))));
            press(Qt::Key_Return);
        } else {
            form->runButton()->click();
        }
        EXPECT_EQ(ui->messages, QStringList{"Cannot execute query!"});
        EXPECT_TRUE(form->statusEdit()->text().contains(QStringLiteral("at line")));
        const QList<QTextEdit::ExtraSelection> marks = form->statementEdit()->extraSelections();
        ASSERT_EQ(marks.size(), 1);
        EXPECT_EQ(marks[0].format.underlineStyle(), QTextCharFormat::WaveUnderline);
        EXPECT_EQ(marks[0].cursor.selectedText(), QStringLiteral("FROM"));
        const QTextCursor at = form->statementEdit()->textCursor();
        EXPECT_EQ(at.blockNumber(), 3);
        EXPECT_EQ(at.positionInBlock(), 9);
        EXPECT_EQ(at.position(), marks[0].cursor.selectionStart());
    }
    // the next run starts without marks
    run(QStringLiteral("SELECT 1"));
    EXPECT_TRUE(form->statementEdit()->extraSelections().isEmpty());
}

TEST_F(SqlConsoleFormTest, EachResultSetOfARunHasItsTab) {
    DBK_REQUIRE_SERVER();
    open();
    run(QStringLiteral("select 1 as a; select 'x' as b, 'y' as c union all select 'z', 'w'; do 0"));
    QTabBar* tabs = form->resultTabs();
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(1), "Result 2");
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(form->statusEdit()->text(), QStringLiteral("正しく処理されました"));
    EXPECT_EQ(form->dataTimeEdit()->text(), QStringLiteral("0秒"));
    // the last statement had no rows: the headings of the last result, no rows
    EXPECT_EQ(headings(), (QStringList{"b", "c"}));
    EXPECT_EQ(form->result().rowCount(), 0);
    tabs->setCurrentIndex(0);
    EXPECT_EQ(headings(), QStringList{"a"});
    EXPECT_EQ(cell(0, 0), "1");
    tabs->setCurrentIndex(1);
    EXPECT_EQ(headings(), (QStringList{"b", "c"}));
    ASSERT_EQ(form->result().rowCount(), 2);
    EXPECT_EQ(cell(1, 1), "w");
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(1);
    EXPECT_EQ(form->result().rowCount(), 2);

    run(QStringLiteral("select 9 as n"));
    EXPECT_EQ(tabs->count(), 1);
    EXPECT_EQ(cell(0, 0), "9");
}

}  // namespace
}  // namespace dbk
