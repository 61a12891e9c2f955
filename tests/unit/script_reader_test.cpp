#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <utility>
#include <vector>

#include "support/files.h"
#include "transfer/script_reader.h"
#include "transfer/script_runner.h"

namespace dbk {
namespace {

using Statements = std::vector<std::pair<std::string, uint64_t>>;  // text, offset after it

class ScriptReaderTest : public ::testing::Test {
protected:
    QString write(const std::string& bytes, const QString& name = QStringLiteral("script.sql")) {
        return test::writeFile(dir, bytes, name);
    }

    // Every statement the reader gives, reading on from each offset it returns, the way a run
    // does, until the offset no longer moves.
    static Statements readAll(const QString& path) {
        ScriptReader reader;
        EXPECT_TRUE(reader.open(path));
        Statements out;
        uint64_t offset = 0;
        std::string statement;
        for (int guard = 0; guard < 100000; ++guard) {
            const uint64_t next = reader.read(offset, statement);
            EXPECT_FALSE(reader.failed());
            if (next == offset) {
                EXPECT_EQ(statement, "");
                break;
            }
            out.emplace_back(statement, next);
            offset = next;
        }
        return out;
    }

    QTemporaryDir dir;
};

TEST_F(ScriptReaderTest, SplitsAtSemicolonsThatEndTheirLine) {
    struct Case {
        const char* what;
        std::string file;
        Statements expected;
    };
    const std::vector<Case> cases = {
        {"one statement per line",
         "INSERT INTO t VALUES (1);\nINSERT INTO t VALUES (2);\n",
         {{"INSERT INTO t VALUES (1);", 26}, {"INSERT INTO t VALUES (2);", 52}}},
        {"a ; inside a line does not end the statement",
         "select 1; select 2\nfrom t;\n",
         {{"select 1; select 2\nfrom t;", 27}}},
        {"blanks after the ; keep the statement open",
         "select 1; \nselect 2;\n",
         {{"select 1; \nselect 2;", 21}}},
        {"a statement over several lines keeps its line breaks",
         "create table t (\n  a int\n);\n",
         {{"create table t (\n  a int\n);", 28}}},
        {"a // line is dropped with its line end",
         "// header\nselect 1;\n// between\nselect 2;\n",
         {{"select 1;", 20}, {"select 2;", 41}}},
        {"a // comment after text drops the rest of the line",
         "select 1 // one\n+ 2;\n",
         {{"select 1 + 2;", 21}}},
        {"a // comment after the ; joins the next line",
         "select 1; // note\nselect 2;\n",
         {{"select 1; select 2;", 28}}},
        {"a single / is division",
         "select 6/3;\nselect 8 / 2;\n",
         {{"select 6/3;", 12}, {"select 8 / 2;", 26}}},
        {"a / at the end of a line stays", "select 6/\n3;\n", {{"select 6/\n3;", 13}}},
        {"a / at the end of the file stays", "select 6/", {{"select 6/", 9}}},
        {"a / before a quote stays and the quote opens a string", "select 1/'2';\n", {{"select 1/'2';", 14}}},
        {"// inside quotes is text", "select 'http://example';\n", {{"select 'http://example';", 25}}},
        {"a ; at a line end inside quotes still ends the statement",
         "insert into t values ('a;\nb');\n",
         {{"insert into t values ('a;", 26}, {"b');", 31}}},
        {"a quote inside a comment opens a string", "// it's\nselect 1;\n", {{"'s\nselect 1;", 18}}},
        {"a ; inside a comment waits for the line end",
         "// old;\nselect 1;\n",
         {{";", 8}, {"select 1;", 18}}},
        {"double quotes, # and /* */ are plain text",
         "select \"a;b\" # c\n/* d */;\n",
         {{"select \"a;b\" # c\n/* d */;", 26}}},
        {"an empty file has no statement", "", {}},
        {"a last statement without ;", "select 1;\nselect 2", {{"select 1;", 10}, {"select 2", 18}}},
        {"a last statement without ; keeps its line end",
         "select 1;\nselect 2\n",
         {{"select 1;", 10}, {"select 2\n", 19}}},
        {"blank lines go to the start of the next statement",
         "a;\n\nb;\n\n",
         {{"a;", 3}, {"\nb;", 7}, {"\n", 8}}},
        {"CR LF ends a line and is read as LF",
         "select 1;\r\nselect\r\n2;\r\n",
         {{"select 1;", 11}, {"select\n2;", 23}}},
        {"CR LF ends a // comment", "// c\r\nselect 1;\r\n", {{"select 1;", 17}}},
        {"a lone CR is kept", "select\r1;\n", {{"select\r1;", 10}}},
        {"a CR at the very end is kept", "select 1;\r", {{"select 1;\r", 10}}},
        {"a 0xFF byte is an ordinary byte",
         "select '\xFF\xFE';\nselect 2;\n",
         {{"select '\xFF\xFE';", 13}, {"select 2;", 23}}},
        {"a NUL byte is an ordinary byte",
         std::string("select 'a\0b';\n", 14),
         {{std::string("select 'a\0b';", 13), 14}}},
        // "表" and "ソ" end in 0x5C; Shift_JIS second bytes are never ; ' / or a line feed.
        {"Shift_JIS text passes unchanged",
         "insert into t values ('\x95\x5C\x83\x5C');\n",
         {{"insert into t values ('\x95\x5C\x83\x5C');", 31}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readAll(write(c.file)), c.expected);
    }
}

TEST_F(ScriptReaderTest, ReadsAgainFromAnyOffsetItReturned) {
    const QString path = write("select 1;\nselect 2;\nselect 3;\n");
    ScriptReader reader;
    ASSERT_TRUE(reader.open(path));
    std::string statement;
    EXPECT_EQ(reader.read(20, statement), 30U);
    EXPECT_EQ(statement, "select 3;");
    EXPECT_EQ(reader.read(10, statement), 20U);
    EXPECT_EQ(statement, "select 2;");
    EXPECT_EQ(reader.read(30, statement), 30U);
    EXPECT_EQ(statement, "");
    // past the end: nothing, and the offset stays
    EXPECT_EQ(reader.read(1000, statement), 1000U);
    EXPECT_EQ(statement, "");
    EXPECT_EQ(reader.size(), 30U);
    EXPECT_EQ(reader.read(0, statement), 10U);
    EXPECT_EQ(statement, "select 1;");
}

TEST_F(ScriptReaderTest, StatementsAcrossBlockBoundariesComeOutWhole) {
    // Lines of every length around the reader's block size, in CR LF: a CR LF split over two
    // blocks, and a statement longer than a block.
    std::string file;
    std::vector<std::string> expected;
    for (size_t length : {65530U, 65531U, 65532U, 65533U, 1U, 200000U, 3U, 65535U, 65536U, 65537U}) {
        std::string text = "select '" + std::string(length, 'x') + "';";
        file += text + "\r\n";
        expected.push_back(text);
        std::string twoLines = "select\r\n" + std::to_string(length) + ";";
        file += twoLines + "\r\n";
        expected.push_back("select\n" + std::to_string(length) + ";");
    }
    const QString path = write(file);
    const Statements read = readAll(path);
    ASSERT_EQ(read.size(), expected.size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].first, expected[i]) << "statement " << i;
    }
    EXPECT_EQ(read.back().second, file.size());
}

TEST_F(ScriptReaderTest, AFileThatCannotBeReadIsToldApart) {
    ScriptReader reader;
    EXPECT_FALSE(reader.open(QDir(dir.path()).filePath("missing.sql")));
    EXPECT_FALSE(reader.open(QString()));
    std::string statement = "left over";
    EXPECT_EQ(reader.read(0, statement), 0U);
    EXPECT_EQ(statement, "");

    // A folder opens but cannot be read: the reader says so instead of seeing an empty file.
    ASSERT_TRUE(reader.open(dir.path()));
    reader.read(0, statement);
    EXPECT_TRUE(reader.failed());
    EXPECT_FALSE(ScriptReader::preview(dir.path()).has_value());
    EXPECT_FALSE(ScriptReader::preview(QDir(dir.path()).filePath("missing.sql")).has_value());
}

TEST_F(ScriptReaderTest, PreviewShowsSixtyPiecesOfAtMost1023Bytes) {
    std::string lines;
    for (int i = 0; i < 100; ++i)
        lines += "line " + std::to_string(i) + "\n";
    std::string first60;
    for (int i = 0; i < 60; ++i)
        first60 += "line " + std::to_string(i) + "\n";

    // A 3,000-byte line counts as three pieces: 1,023 + 1,023 + 954 bytes with its line end.
    const std::string longLine = std::string(2999, 'a') + "\n";
    std::string afterLong;
    for (int i = 0; i < 57; ++i)
        afterLong += "line " + std::to_string(i) + "\n";

    struct Case {
        const char* what;
        std::string file;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"short lines: the first 60", lines, first60},
        {"a long line takes several pieces", longLine + lines, longLine + afterLong},
        {"a short file whole, without a last line end", "select 1;\nselect 2", "select 1;\nselect 2"},
        {"CR LF shown as line breaks", "a;\r\nb;\r\n", "a;\nb;\n"},
        {"an empty file shows nothing", "", ""},
        {"1,023 bytes and the line end are two pieces", std::string(1023, 'b') + "\n" + lines,
         std::string(1023, 'b') + "\n" +
             first60.substr(0, first60.size() - std::string("line 58\nline 59\n").size())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<std::string> shown = ScriptReader::preview(write(c.file));
        ASSERT_TRUE(shown.has_value());
        EXPECT_EQ(*shown, c.shown);
    }
}

TEST(ScriptRunnerRules, ProgressIsTheTruncatedPercentOfTheFile) {
    struct Case {
        uint64_t offset, size;
        int percent;
    };
    for (const Case& c : std::vector<Case>{{0, 200, 0},
                                           {1, 200, 0},
                                           {3, 200, 1},
                                           {199, 200, 99},
                                           {200, 200, 100},
                                           {0, 0, 100},
                                           {300, 200, 100},
                                           {5'000'000'000ULL, 10'000'000'000ULL, 50}}) {
        EXPECT_EQ(ScriptRunner::percentOf(c.offset, c.size), c.percent) << c.offset << "/" << c.size;
    }
}

TEST(ScriptRunnerRules, OnlyBlankStatementsAreSkipped) {
    for (const char* blank : {"", "\n", " \t\r\n\n"})
        EXPECT_TRUE(ScriptRunner::isBlank(blank)) << blank;
    for (const char* text : {";", "\nselect 1;", "//", "' '"})
        EXPECT_FALSE(ScriptRunner::isBlank(text)) << text;
}

TEST_F(ScriptReaderTest, TheChooserAddsSqlOnlyToANewNameWithoutExtension) {
    const QString existing = write("x", QStringLiteral("noext"));
    const QString folder = dir.path();
    struct Case {
        QString chosen;
        QString expected;
    };
    for (const Case& c : std::vector<Case>{{folder + "/dump", folder + "/dump.sql"},
                                           {folder + "/dump.sql", folder + "/dump.sql"},
                                           {folder + "/dump.txt", folder + "/dump.txt"},
                                           {existing, existing},
                                           {QString(), QString()}}) {
        EXPECT_EQ(withScriptExtension(c.chosen), c.expected) << c.chosen.toStdString();
    }
}

}  // namespace
}  // namespace dbk
