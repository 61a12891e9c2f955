#include <gtest/gtest.h>

#include "app/messages.h"
#include "transfer/csv_export.h"

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
        {{Status::ReadFailed, 1001, 2013, "Lost connection"}, "Error acquiring data.\n2013:Lost connection"},
        {{Status::WriteFailed, 7, 0, ""}, "The file could not be written completely:\n/tmp/x.csv"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CsvExporter::outcomeText(c.outcome, "/tmp/x.csv"), c.text);
}

}  // namespace
}  // namespace dbk
