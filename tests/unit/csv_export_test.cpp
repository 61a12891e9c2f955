#include <gtest/gtest.h>

#include "app/messages.h"
#include "conn/text_codec.h"
#include "transfer/csv_export.h"
#include "transfer/kanji_converter.h"

namespace dbk {
namespace {

using Sep = CsvFormat::Separator;
using Quote = CsvFormat::Quote;

CsvFormat makeFormat(Sep separator, Quote quote, std::string userSeparator = "|",
                     std::string userQuote = "#") {
    CsvFormat f;
    f.separator = separator;
    f.quote = quote;
    f.userSeparator = std::move(userSeparator);
    f.userQuote = std::move(userQuote);
    return f;
}

TEST(CsvExportFormat, NineCellFormats) {
    struct Case {
        Sep separator;
        Quote quote;
        const char* cell;
    } cases[] = {
        {Sep::Comma, Quote::Double, "\"ab\","}, {Sep::Comma, Quote::Single, "'ab',"},
        {Sep::Comma, Quote::User, "#ab#,"},     {Sep::Tab, Quote::Double, "\"ab\"\t"},
        {Sep::Tab, Quote::Single, "'ab'\t"},    {Sep::Tab, Quote::User, "#ab#\t"},
        {Sep::User, Quote::Double, "\"ab\"|"},  {Sep::User, Quote::Single, "'ab'|"},
        {Sep::User, Quote::User, "#ab#|"},
    };
    for (const Case& c : cases) {
        const CsvFormat format = makeFormat(c.separator, c.quote);
        EXPECT_EQ(csvCell(format, "ab"), c.cell);
        EXPECT_EQ(csvCell(format, std::nullopt), std::string(c.cell).replace(1, 2, "(null)"));
    }
}

TEST(CsvExportFormat, LinesHaveNoSeparatorAfterTheLastCell) {
    const std::vector<std::optional<std::string>> row{"1", "ab", std::nullopt};
    struct Case {
        CsvFormat format;
        std::vector<std::optional<std::string>> values;
        std::string line;
    } cases[] = {
        {makeFormat(Sep::Comma, Quote::Double), row, "\"1\",\"ab\",\"(null)\""},
        {makeFormat(Sep::Tab, Quote::Single), row, "'1'\t'ab'\t'(null)'"},
        {makeFormat(Sep::User, Quote::Double, "::"), row, "\"1\"::\"ab\"::\"(null)\""},
        {makeFormat(Sep::User, Quote::User, "", ""), row, "1ab(null)"},
        {makeFormat(Sep::User, Quote::User, "<->", "'"), {"x"}, "'x'"},
        {makeFormat(Sep::Comma, Quote::Double), {""}, "\"\""},
        // Separators and line breaks inside a value stay as they are.
        {makeFormat(Sep::Comma, Quote::Double), {"a,b", "c\r\nd"}, "\"a,b\",\"c\r\nd\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(csvLine(c.format, c.values), c.line);
}

TEST(CsvExportFormat, QuotesInsideValuesAreDoubled) {
    struct Case {
        CsvFormat format;
        std::string value;
        std::string cell;
    } cases[] = {
        {makeFormat(Sep::Comma, Quote::Double), "say \"hi\"", "\"say \"\"hi\"\"\","},
        {makeFormat(Sep::Comma, Quote::Single), "it's \"x\"", "'it''s \"x\"',"},
        {makeFormat(Sep::Comma, Quote::User, ",", "||"), "a||b|c", "||a||||b|c||,"},
        {makeFormat(Sep::Comma, Quote::User, ",", ""), "a\"b", "a\"b,"},
        // 0x7C ("|") is the second byte of the Shift_JIS katakana "ポ" (0x83 0x7C): not a quote.
        {makeFormat(Sep::Comma, Quote::User, ",", "|"), "\x83\x7c|", "|\x83\x7c|||,"},
        // A Shift_JIS "ソ" (0x83 0x5C) before a quote: the quote is still found.
        {makeFormat(Sep::Comma, Quote::Double), "\x83\x5c\"", "\"\x83\x5c\"\"\","},
        // Bytes that are no Shift_JIS pair: a lead byte before the quote does not hide it.
        {makeFormat(Sep::Comma, Quote::Double), "\x83\"", "\"\x83\"\"\","},
    };
    for (const Case& c : cases)
        EXPECT_EQ(csvCell(c.format, c.value), c.cell) << c.value;
}

TEST(CsvExportFormat, TrailingSemicolonBecomesABlank) {
    struct Case {
        std::string statement;
        bool removed;
        std::string after;
    } cases[] = {
        {"select * from t;", true, "select * from t "},
        {"select * from t;   ", true, "select * from t    "},
        {"select * from t", false, "select * from t"},
        {"select ';' from t", false, "select ';' from t"},
        {"select 1;;", true, "select 1; "},
        {"select 1;\n", false, "select 1;\n"},  // only blanks are skipped
        {";", false, ";"},                      // the first character is never looked at
        {";  ", false, ";  "},
        {"", false, ""},
    };
    for (Case& c : cases) {
        std::string statement = c.statement;
        EXPECT_EQ(removeTrailingSemicolon(statement), c.removed) << c.statement;
        EXPECT_EQ(statement, c.after);
    }
    EXPECT_EQ(csvSampleStatement("select * from t "), "select * from t  Limit 6");
}

TEST(CsvExportFormat, ProgressAndOutcomeTexts) {
    setInterfaceLanguage(Language::English);
    EXPECT_EQ(csvProgressText(1), "Exporting to file. . .1 record");
    EXPECT_EQ(csvProgressText(2001), "Exporting to file. . .2001 record");
    using Status = CsvExportOutcome::Status;
    struct Case {
        CsvExportOutcome outcome;
        QString text;
    } cases[] = {
        {{Status::Complete, 5, 0, ""}, "File Export Complete"},
        {{Status::FileNotOpened, 0, 0, ""}, "Error opening file."},
        {{Status::StatementFailed, 0, 1146, "Table 'd.t' doesn't exist"},
         "Error executing query.\n1146:Table 'd.t' doesn't exist"},
        {{Status::ReadFailed, 1001, 2013, "Lost connection"},
         "Error acquiring data.\n2013:Lost connection\nThe file is partial: it holds only the 1001 rows read "
         "before the failure.\n/tmp/x.csv"},
        {{Status::WriteFailed, 7, 0, ""}, "The file could not be written completely:\n/tmp/x.csv"},
        {{Status::Refused, 0, 0, ""}, msg(CsvExporter::kRefusedMessage)},
        {{Status::NoResultSet, 0, 0, ""}, "The statement returned no rows to export."},
        {{Status::Cancelled, 12, 0, ""},
         "The export was cancelled after 12 rows.\nThe file is partial: it holds only those "
         "rows.\n/tmp/x.csv"},
        {{Status::Complete, 5, 0, "", 1},
         "File Export Complete\n1 values held characters that Shift_JIS cannot hold; those characters were "
         "written as \"?\"."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CsvExporter::outcomeText(c.outcome, "/tmp/x.csv"), c.text);
}

TEST(CsvExportFormat, Utf8ValuesAreQuotedByteByByte) {
    CsvFormat pipes = makeFormat(Sep::Comma, Quote::User, ",", "|");
    pipes.encoding = CsvFormat::Encoding::Utf8;
    // "あ" ends in 0x82, a Shift_JIS lead byte: in UTF-8 the "|" after it is still a quote.
    EXPECT_EQ(csvCell(pipes, "\xe3\x81\x82|"), "|\xe3\x81\x82|||,");
    CsvFormat wide = makeFormat(Sep::User, Quote::User, "\xef\xbc\x9b", "\xe2\x80\x96");  // "；" and "‖"
    wide.encoding = CsvFormat::Encoding::Utf8;
    EXPECT_EQ(csvLine(wide, {"a\xe2\x80\x96"
                             "b",
                             std::nullopt}),
              "\xe2\x80\x96"
              "a\xe2\x80\x96\xe2\x80\x96"
              "b\xe2\x80\x96\xef\xbc\x9b\xe2\x80\x96(null)\xe2\x80\x96");
    EXPECT_EQ(csvFileText(QStringLiteral("‖"), CsvFormat::Encoding::Utf8), "\xe2\x80\x96");
    EXPECT_EQ(csvFileText(QStringLiteral("＠"), CsvFormat::Encoding::ShiftJis), "\x81\x97");
    EXPECT_EQ(csvDisplayText("\xe2\x80\x96", CsvFormat::Encoding::Utf8), QStringLiteral("‖"));
    EXPECT_EQ(csvDisplayText("\x81\x97", CsvFormat::Encoding::ShiftJis), QStringLiteral("＠"));
}

TEST(CsvExportStatements, OnlyStatementsThatReturnRowsAreSent) {
    using Kind = CsvStatementKind;
    struct Case {
        std::string statement;
        Kind kind;
    } cases[] = {
        {"SELECT * FROM t", Kind::Query},
        {"select 1", Kind::Query},
        {"  \t\r\n((SELECT 1) UNION (SELECT 2))", Kind::Query},
        {"/* a */ /* b */ SELECT 1", Kind::Query},
        {"-- note\n# note\nSELECT 1", Kind::Query},
        {"/*!40101 SELECT 1 */", Kind::Query},
        {"/*M!100100 select 1*/", Kind::Query},
        {"/*+ hint */ SELECT 1", Kind::Query},
        {"VALUES (1), (2)", Kind::Query},
        {"TABLE t", Kind::Query},
        {"WITH a AS (SELECT 1) SELECT * FROM a", Kind::Query},
        {"with recursive `r` (n) as (select 1 union select n + 1 from r where n < 5), s as (select 2) "
         "(select * from r)",
         Kind::Query},
        {"WITH r AS (SELECT 1 AS n) CYCLE n RESTRICT SELECT * FROM r", Kind::Query},
        {"SELECT 'into', `into`, \"into\", @into, @@into, t.into FROM t", Kind::Query},
        {"SELECT 1 -- INTO @x", Kind::Query},
        {"SHOW TABLES", Kind::Listing},
        {"show full processlist", Kind::Listing},
        {"DESCRIBE t", Kind::Listing},
        {"desc t", Kind::Listing},
        {"EXPLAIN SELECT * FROM t", Kind::Listing},
        {"EXPLAIN DELETE FROM t", Kind::Listing},  // explained, not run
        {"EXPLAIN FORMAT=JSON SELECT 1", Kind::Listing},
        {"EXPLAIN ANALYZE SELECT 1", Kind::Listing},
        {"CALL p()", Kind::Call},
        {"call db.p(1, 'x')", Kind::Call},
        {"DELETE FROM t", Kind::Refused},
        {"delete from t limit 6", Kind::Refused},
        {"UPDATE t SET a = 1", Kind::Refused},
        {"INSERT INTO t VALUES (1)", Kind::Refused},
        {"REPLACE INTO t VALUES (1)", Kind::Refused},
        {"DROP TABLE t", Kind::Refused},
        {"TRUNCATE t", Kind::Refused},
        {"ANALYZE TABLE t", Kind::Refused},
        {"LOAD DATA INFILE 'x' INTO TABLE t", Kind::Refused},
        {"/* SELECT */ DELETE FROM t", Kind::Refused},
        {"-- SELECT\nDELETE FROM t", Kind::Refused},
        {"--SELECT 1", Kind::Refused},  // "--" without a blank is no comment
        {"/*!DELETE FROM t*/", Kind::Refused},
        {"/*!50000 DELETE FROM t*/ SELECT 1", Kind::Refused},
        {"SELECT 1 /*!INTO @x*/", Kind::Refused},
        {"SELECT * INTO OUTFILE '/tmp/x' FROM t", Kind::Refused},
        {"SELECT * FROM t INTO @a", Kind::Refused},
        {"(SELECT 1) INTO @a", Kind::Refused},
        {"WITH d AS (SELECT 1) DELETE FROM t", Kind::Refused},
        {"WITH d AS (SELECT 1) UPDATE t SET a = 1", Kind::Refused},
        {"WITH d AS (SELECT 1", Kind::Refused},
        {"EXPLAIN ANALYZE DELETE FROM t", Kind::Refused},
        {"EXPLAIN ANALYZE FORMAT=TREE UPDATE t SET a = 1", Kind::Refused},
        {"SELECTX 1", Kind::Refused},
        {"", Kind::Refused},
        {"   ", Kind::Refused},
        {"/* only a comment */", Kind::Refused},
        // "ソ" is 0x83 0x5C: its second byte is no escape, so the string ends at its quote.
        {toShiftJis("SELECT 'ソ' INTO @x"), Kind::Refused},
        {toShiftJis("SELECT `ソ`, 'ソ', \"ソ\" FROM 表"), Kind::Query},
        // Letters inside Japanese names are no keywords ("ア" is 0x83 0x41).
        {toShiftJis("SELECT アINTO FROM t"), Kind::Query},
    };
    for (const Case& c : cases)
        EXPECT_EQ(csvStatementKind(c.statement), c.kind) << c.statement;
}

}  // namespace
}  // namespace dbk
