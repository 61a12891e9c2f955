#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "transfer/console_history.h"
#include "transfer/error_place.h"
#include "transfer/script_reader.h"

namespace dbk {
namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

HistoryEntry entry(const QString& statement, std::optional<uint64_t> rows = 1) {
    HistoryEntry e;
    e.statement = statement;
    e.database = QStringLiteral("db");
    e.time = QDateTime::currentDateTimeUtc();
    e.rows = rows;
    if (!rows)
        e.error = QStringLiteral("Table 'db.x' doesn't exist");
    return e;
}

TEST(ConsoleHistory, EntriesSurviveTheFileInUtf8AndTheOldestGoPastTheLimit) {
    QTemporaryDir dir;
    ConsoleHistory history;
    EXPECT_FALSE(history.open(dir.path()).unreadable);
    const QString japanese = QStringLiteral("SELECT '日本語😀',\n  \"x\" -- 表");
    ASSERT_TRUE(history.append(entry(japanese, 3)));
    ASSERT_TRUE(history.append(entry(QStringLiteral("SELECT * FROM x"), std::nullopt)));
    // one line per entry, the characters as UTF-8
    const QByteArray bytes = fileBytes(history.path());
    EXPECT_EQ(bytes.count('\n'), 2);
    EXPECT_TRUE(bytes.contains(QStringLiteral("日本語😀").toUtf8()));

    ConsoleHistory again;
    EXPECT_FALSE(again.open(dir.path()).unreadable);
    ASSERT_EQ(again.entries().size(), 2u);
    EXPECT_EQ(again.entries()[0].statement, japanese);
    EXPECT_EQ(again.entries()[0].rows, std::optional<uint64_t>(3));
    EXPECT_EQ(again.entries()[0].database, "db");
    EXPECT_EQ(again.entries()[0].time, history.entries()[0].time);
    EXPECT_FALSE(again.entries()[1].rows);
    EXPECT_EQ(again.entries()[1].error, "Table 'db.x' doesn't exist");
    EXPECT_EQ(again.search(QStringLiteral("select")), (std::vector<size_t>{1, 0}));
    EXPECT_EQ(again.search(QStringLiteral("日本")), (std::vector<size_t>{0}));

    // past the limit and its margin the file is written again with the newest kLimit entries
    for (size_t i = 2; i <= ConsoleHistory::kLimit + ConsoleHistory::kLimit / 10; ++i)
        ASSERT_TRUE(again.append(entry(QString::number(i))));
    EXPECT_EQ(again.entries().size(), ConsoleHistory::kLimit);
    ConsoleHistory trimmed;
    trimmed.open(dir.path());
    ASSERT_EQ(trimmed.entries().size(), ConsoleHistory::kLimit);
    EXPECT_EQ(trimmed.entries().front().statement, QString::number(ConsoleHistory::kLimit / 10 + 1));
    EXPECT_EQ(trimmed.entries().back().statement,
              QString::number(ConsoleHistory::kLimit + ConsoleHistory::kLimit / 10));
}

TEST(ErrorPlace, TheQuotedWordOnTheNamedLine) {
    const QString statement = QStringLiteral("SELECT a,\n  b FORM t\nWHERE x = 'it''s' x");
    struct Case {
        QString error;
        std::optional<QString> word;
    };
    const QString syntax = QStringLiteral(
        "You have an error in your SQL syntax; check the manual that corresponds to your MariaDB "
        "server version for the right syntax to use near ");
    const std::vector<Case> cases = {
        {syntax + QStringLiteral("'FORM t\nWHERE x = 'it''s' x' at line 2"), QStringLiteral("FORM")},
        {syntax + QStringLiteral("'WHERE x = 'it''s' x' at line 3"), QStringLiteral("WHERE")},
        // a line feed the server did not count (after a comment)
        {syntax + QStringLiteral("'WHERE x = 'it''s' x' at line 2"), QStringLiteral("WHERE")},
        // the rest of the statement, not the same word earlier on the line
        {syntax + QStringLiteral("'x' at line 3"), QStringLiteral("x")},
        // the quote says nothing: the statement ended too soon
        {syntax + QStringLiteral("'' at line 3"), QStringLiteral("x")},
        // a quote the statement does not hold there: the line's first word
        {syntax + QStringLiteral("'zz' at line 2"), QStringLiteral("b")},
        {syntax + QStringLiteral("'x' at line 9"), std::nullopt},
        {QStringLiteral("Unknown column 'a' in 'field list'"), std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<ErrorPlace> place = errorPlace(statement, c.error);
        ASSERT_EQ(place.has_value(), c.word.has_value()) << c.error.toStdString();
        if (place) {
            EXPECT_EQ(statement.mid(place->start, place->length), *c.word) << c.error.toStdString();
            if (c.word == "x") {
                EXPECT_EQ(place->start, statement.size() - 1);
            }
        }
    }
}

TEST(ScriptText, StatementsAreCutAsAScriptIsAndTheCursorPicksOne) {
    const QString text = QStringLiteral(
        "SELECT 1;\n"
        "// a note\n"
        "INSERT INTO t VALUES ('a;b',\n"
        "'c');\n"
        "\n"
        "DELIMITER //\n"
        "CREATE PROCEDURE p()\n"
        "BEGIN SELECT 1; SELECT 2; END //\n"
        "delimiter ;\n"
        "SELECT 3");
    const std::vector<ScriptPiece> pieces = splitScriptText(text);
    std::vector<QString> statements;
    for (const ScriptPiece& piece : pieces) {
        statements.push_back(piece.statement);
        ASSERT_EQ(piece.from.size(), static_cast<size_t>(piece.statement.size()));
        for (size_t i = 0; i < piece.from.size(); ++i)
            ASSERT_EQ(text[piece.from[i]], piece.statement[static_cast<qsizetype>(i)]);
    }
    EXPECT_EQ(statements, (std::vector<QString>{
                              QStringLiteral("SELECT 1;"),
                              QStringLiteral("INSERT INTO t VALUES ('a;b',\n'c');"),
                              QStringLiteral("CREATE PROCEDURE p()\nBEGIN SELECT 1; SELECT 2; END"),
                              QStringLiteral("SELECT 3"),
                          }));
    const auto at = [&](const QString& marker) {
        const ScriptPiece* piece = pieceAt(pieces, static_cast<int>(text.indexOf(marker)));
        return piece ? piece->statement.left(6) : QString();
    };
    EXPECT_EQ(at(QStringLiteral("1;")), "SELECT");
    EXPECT_EQ(at(QStringLiteral("a note")), "SELECT");  // between two: the one before
    EXPECT_EQ(at(QStringLiteral("'c');")), "INSERT");
    EXPECT_EQ(at(QStringLiteral("BEGIN")), "CREATE");
    EXPECT_EQ(at(QStringLiteral("3")), "SELECT");
    EXPECT_EQ(pieceAt(pieces, 0)->statement, "SELECT 1;");
    EXPECT_EQ(pieceAt(splitScriptText(QStringLiteral(" \n ")), 0), nullptr);
}

}  // namespace
}  // namespace dbk
