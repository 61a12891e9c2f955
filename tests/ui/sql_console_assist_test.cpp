#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <memory>

#include "app/scripted_ui_services.h"
#include "conn/session.h"
#include "support/test_server.h"
#include "support/ui_support.h"
#include "transfer/sql_completer_widget.h"
#include "transfer/sql_console_form.h"
#include "transfer/sql_highlighter_widget.h"
#include "transfer/sql_result_model.h"

namespace dbk {
namespace {

using sql_tokens::Kind;

// The format the statement field's layout gives the character at `position`; none (an empty
// format) for text of no kind.
QTextCharFormat formatAt(const QTextDocument& document, int position) {
    const QTextBlock block = document.findBlock(position);
    const int inBlock = position - block.position();
    for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
        if (inBlock >= range.start && inBlock < range.start + range.length)
            return range.format;
    }
    return {};
}

QStringList offered(const SqlCompleter& completer) {
    QStringList names;
    QAbstractItemModel* model = completer.completer()->completionModel();
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

// Keys typing `text`, as an input method hands over characters no key stands for.
void type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
        QCoreApplication::sendEvent(widget, &release);
    }
}

void settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

class SqlConsoleAssistTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }

    test::IsolatedSettings settings;
    ScopedScriptedUi ui;
    Session session{test::serverConfigured() ? test::connectAdmin() : Connection()};
    Connection& connection = session.connection();
};

TEST_F(SqlConsoleAssistTest, EachKindOfTokenIsColouredAndAKeystrokeRecoloursOnlyItsLine) {
    DBK_REQUIRE_SERVER();
    SqlConsoleForm form(session);
    QPlainTextEdit* edit = form.statementEdit();
    const QString sample = QStringLiteral(
        "DELIMITER $$\n"
        "/*!40101 SET NAMES utf8mb4 */$$\n"
        "SELECT concat(`名前`, 'it\\'s\n"
        "two lines'), 12.5 -- note\n"
        "FROM t # hash\n"
        "WHERE a /* open\n"
        "closed */ = 0x1F AND faq$$");
    edit->setPlainText(sample);
    const QTextDocument& document = *edit->document();
    struct Expected {
        const char* text;
        int occurrence;  // which one of the same text
        std::optional<Kind> kind;
    };
    const Expected expected[] = {
        {"DELIMITER $$", 0, Kind::Delimiter},
        {"/*!40101", 0, Kind::ConditionalComment},
        {"SET", 0, Kind::Keyword},
        {"utf8mb4", 0, std::nullopt},
        {"*/", 0, Kind::ConditionalComment},
        {"SELECT", 0, Kind::Keyword},
        {"concat", 0, Kind::Function},
        {"`名前`", 0, Kind::QuotedName},
        {"'it", 0, Kind::String},
        {"\\'", 0, Kind::Escape},
        {"two lines'", 0, Kind::String},
        {"12.5", 0, Kind::Number},
        {"-- note", 0, Kind::Comment},
        {"FROM", 0, Kind::Keyword},
        {" t ", 0, std::nullopt},
        {"# hash", 0, Kind::Comment},
        {"/* open", 0, Kind::Comment},
        {"closed */", 0, Kind::Comment},
        {"0x1F", 0, Kind::Number},
        // the server's own keyword list (mysql.help_keyword) is read when the console opens
        {"faq", 0, Kind::Keyword},
    };
    for (const Expected& e : expected) {
        const QString text = QString::fromUtf8(e.text);
        const int start = static_cast<int>(sample.indexOf(text));
        ASSERT_GE(start, 0) << e.text;
        for (int i = start; i < start + text.size(); ++i) {
            if (text[i - start] == u'\n')
                continue;
            const QTextCharFormat want = e.kind ? SqlHighlighter::formatOf(*e.kind) : QTextCharFormat();
            EXPECT_EQ(formatAt(document, i), want) << e.text << " at " << i - start;
        }
    }

    // 10,000 lines: typing in a word recolours its line; opening a comment recolours the lines
    // after it until the comment closes, and closing it brings the colours back.
    QString big;
    for (int i = 0; i < 10000; ++i)
        big += QStringLiteral("SELECT %1, 'x' FROM t;\n").arg(i);
    edit->setPlainText(big);
    const long long before = form.highlighter()->linesHighlighted();
    QTextCursor cursor(edit->document()->findBlockByNumber(5000));
    cursor.movePosition(QTextCursor::Right);
    cursor.insertText(QStringLiteral("e"));
    EXPECT_EQ(form.highlighter()->linesHighlighted() - before, 1);
    const int line5002 = edit->document()->findBlockByNumber(5002).position();
    EXPECT_EQ(formatAt(document, line5002), SqlHighlighter::formatOf(Kind::Keyword));
    QTextCursor(edit->document()->findBlockByNumber(5001)).insertText(QStringLiteral("/* "));
    EXPECT_EQ(formatAt(document, line5002), SqlHighlighter::formatOf(Kind::Comment));
    QTextCursor(edit->document()->findBlockByNumber(5003)).insertText(QStringLiteral("*/"));
    EXPECT_EQ(formatAt(document, line5002), SqlHighlighter::formatOf(Kind::Comment));
    EXPECT_EQ(formatAt(document, edit->document()->findBlockByNumber(5004).position()),
              SqlHighlighter::formatOf(Kind::Keyword));
}

// The columns of the table named in FROM are offered, Japanese names among them, and go in
// quoted where they must, so that the statement runs.
TEST_F(SqlConsoleAssistTest, CompletionOffersTheColumnsOfTheTablesTheStatementNames) {
    DBK_REQUIRE_SERVER();
    ConnectParams params = test::adminParams();
    params.sessionText = SessionText::Automatic;
    ASSERT_TRUE(session.open(params)) << connection.errorLine();
    ASSERT_EQ(connection.characterSetName(), "utf8mb4");
    test::ScratchDatabase db("dbk_console_complete");
    ASSERT_TRUE(
        connection.exec("CREATE TABLE dbk_console_complete.`商品` (`値段` INT, `名前 ｶﾅ` TEXT, id INT)"))
        << connection.errorLine();
    ASSERT_TRUE(connection.exec("CREATE TABLE dbk_console_complete.items (price INT, stock INT)"));
    ASSERT_TRUE(connection.exec("INSERT INTO dbk_console_complete.`商品` VALUES (120, 'a', 1)"));
    SqlConsoleForm form(session);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QPlainTextEdit* edit = form.statementEdit();
    edit->setFocus();
    SqlCompleter& completer = *form.completer();
    QAbstractItemView* popup = completer.completer()->popup();
    EXPECT_EQ(popup->accessibleName(), QStringLiteral("補完候補"));

    edit->setPlainText(QStringLiteral("SELECT  FROM dbk_console_complete.商品"));
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(7);
    edit->setTextCursor(cursor);
    QTest::keyClick(edit, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(popup->isVisible());
    const QStringList all = offered(completer);
    ASSERT_GE(all.size(), 3);
    EXPECT_EQ(all.mid(0, 3), (QStringList{QStringLiteral("値段"), QStringLiteral("名前 ｶﾅ"), "id"}));
    EXPECT_TRUE(all.contains("SELECT"));
    EXPECT_TRUE(all.contains("dbk_console_complete"));
    EXPECT_FALSE(all.contains("price"));  // items is not in the statement

    type(popup, QStringLiteral("名"));
    settle();
    EXPECT_EQ(offered(completer), QStringList{QStringLiteral("名前 ｶﾅ")});
    QTest::keyClick(popup, Qt::Key_Return);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("SELECT `名前 ｶﾅ` FROM dbk_console_complete.商品"));
    const int sent = completer.names().statementsSent();

    // A few letters after an alias open the list on their own; its column goes in with Tab.
    edit->setPlainText(QStringLiteral(";\nSELECT  FROM dbk_console_complete.items AS i"));
    cursor.setPosition(9);
    edit->setTextCursor(cursor);
    QTest::keyClicks(edit, QStringLiteral("i.pr"));
    settle();
    EXPECT_FALSE(popup->isVisible());
    QTest::keyClicks(edit, QStringLiteral("i"));
    settle();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(offered(completer), QStringList{"price"});
    QTest::keyClick(popup, Qt::Key_Tab);
    EXPECT_EQ(edit->toPlainText(), QStringLiteral(";\nSELECT i.price FROM dbk_console_complete.items AS i"));
    // the names were read once: the database's tables and columns in one statement
    EXPECT_EQ(completer.names().statementsSent(), sent);

    // after "database." the tables of that database
    edit->setPlainText(QStringLiteral("SELECT * FROM dbk_console_complete."));
    edit->moveCursor(QTextCursor::End);
    completer.complete();
    EXPECT_EQ(offered(completer), (QStringList{"items", QStringLiteral("商品")}));
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Return);
    edit->setPlainText(edit->toPlainText() + QStringLiteral(" WHERE 値段 > 100"));
    EXPECT_EQ(edit->toPlainText(),
              QStringLiteral("SELECT * FROM dbk_console_complete.`商品` WHERE 値段 > 100"));
    form.runButton()->click();
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join('|').toStdString();
    EXPECT_EQ(form.result().rowCount(), 1);

    // Enter after a word typed in full ends the line, though longer words are still listed.
    edit->clear();
    QTest::keyClicks(edit, "from");
    settle();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_TRUE(offered(completer).contains("FROM_DAYS"));
    QTest::keyClick(popup, Qt::Key_Return);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(edit->toPlainText(), "from\n");
}

// A server without information_schema is asked with SHOW TABLES, and SHOW COLUMNS once per table
// when its columns are first wanted.
TEST_F(SqlConsoleAssistTest, AnOldServersNamesAreReadTableByTableOnDemand) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_console_old");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE a (x INT, y INT)"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE b (z INT)"));
    NameCache names(connection, ServerGeneration(40023));
    EXPECT_EQ(names.tables("dbk_console_old"), (std::vector<std::string>{"a", "b"}));
    const int listed = names.statementsSent();
    EXPECT_EQ(names.columns("dbk_console_old", "A"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(names.columns("dbk_console_old", "a"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(names.statementsSent(), listed + 1);
    EXPECT_EQ(names.columns("dbk_console_old", "b"), (std::vector<std::string>{"z"}));
    EXPECT_TRUE(names.columns("dbk_console_old", "missing").empty());
    EXPECT_EQ(names.statementsSent(), listed + 2);
    names.clear();
    EXPECT_EQ(names.columns("dbk_console_old", "b"), (std::vector<std::string>{"z"}));
    EXPECT_GT(names.statementsSent(), listed + 2);
}

}  // namespace
}  // namespace dbk
