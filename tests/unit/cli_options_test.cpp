#include <gtest/gtest.h>

#include "app/messages.h"
#include "cli/cli_jobs.h"
#include "cli/cli_options.h"
#include "cli/terminal.h"

namespace dbk::cli {
namespace {

QStringList words(const char* line) {
    return QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
}

// Lines that run, with what they ask for; lines that cannot, with the reason's start.
TEST(CliOptionsTest, CommandLinesAreReadOrRefusedWithTheReason) {
    setInterfaceLanguage(Language::English);
    const auto ok = [](const char* line) {
        const ParseResult parsed = parseArguments(words(line));
        EXPECT_TRUE(parsed.request) << line << ": " << parsed.error.toStdString();
        return parsed.request.value_or(Request{});
    };
    Request r =
        ok("export --host h --port=3307 --user u --database d --table t --output o.csv --encoding UTF8");
    EXPECT_EQ(r.port, 3307u);
    EXPECT_EQ(r.encoding, "utf8");
    EXPECT_EQ(r.table, "t");
    r = ok("import --host-name saved --database d --table t --file f.csv --separator \\t --line-end \\r\\n");
    EXPECT_EQ(r.fieldSeparator, QString("\\t"));
    EXPECT_EQ(r.lineEnd, QString("\\r\\n"));
    EXPECT_FALSE(r.enclosure);  // left to the file's first line
    r = ok("copy --socket /s --database d --new-database n --yes");
    EXPECT_TRUE(r.yes);
    EXPECT_EQ(r.newDatabase, "n");
    EXPECT_EQ(ok("copy --host h --database d --table t --to-database e --batch 50").batch, "50");
    EXPECT_EQ(ok("hosts --dir /x").directory, "/x");
    EXPECT_EQ(ok("--help").command, "help");

    const struct {
        const char* line;
        const char* error;
    } refused[] = {
        {"", "Give a command"},
        {"list", "Unknown command: list"},
        {"dump --host h --database d --table t", "dump needs --output."},
        {"dump --database d --table t --output o", "Give the server"},
        {"dump --host-name s --host h --database d --table t --output o",
         "Give either --host-name or --host"},
        {"export --host h --database d --table t --query q --output o", "Give either --table or --query"},
        {"export --host h --database d --table t --output o --encoding latin1",
         "--encoding cannot be latin1"},
        {"export --host h --password secret --database d --table t --output o",
         "export does not take --password"},
        {"run --host h --database d --file s.sql --table t", "run does not take --table"},
        {"run --host h --database", "--database needs a value"},
        {"copy --host h --database d --table t --to-database e --batch 0", "--batch cannot be 0"},
        {"copy --host h --database d --table t", "copy needs --to-database"},
        {"copy --host h --database d --table t --new-database n", "Give either --new-database or --table"},
        {"export --host h --port 0 --query q --output o", "--port cannot be 0"},
        {"hosts --yes=1", "hosts does not take --yes=1"},
    };
    for (const auto& c : refused) {
        const ParseResult parsed = parseArguments(words(c.line));
        EXPECT_FALSE(parsed.request) << c.line;
        EXPECT_TRUE(parsed.error.startsWith(QString::fromUtf8(c.error)))
            << c.line << ": " << parsed.error.toStdString();
    }
}

// The export's options name the form's list entries; anything else is the user's own text, in the
// file's code.
TEST(CliOptionsTest, ExportOptionsGiveTheFormsFormat) {
    Request r;
    CsvFormat f = exportFormat(r);
    EXPECT_EQ(f.separatorText() + f.quoteText(), ",\"");
    EXPECT_EQ(f.encoding, CsvFormat::Encoding::ShiftJis);
    r.separator = "tab";
    r.quote = "single";
    f = exportFormat(r);
    EXPECT_EQ(f.separatorText() + f.quoteText(), "\t'");
    r.separator = QString::fromUtf8("・");
    r.quote = "|";
    f = exportFormat(r);
    EXPECT_EQ(f.separatorText(), "\x81\x45");  // the middle dot in Shift_JIS
    r.encoding = "utf8";
    f = exportFormat(r);
    EXPECT_EQ(f.separatorText() + f.quoteText(), "\xE3\x83\xBB|");
}

TEST(CliOptionsTest, ProgressLineShowsBarRowsAndRate) {
    EXPECT_EQ(ProgressBar::line(2500, 10000, 2.0, 8), "[##......] 2,500/10,000 rows  1,250 rows/s");
    EXPECT_EQ(ProgressBar::line(1234567, std::nullopt, 0.5), "1,234,567 rows  2,469,134 rows/s");
    EXPECT_EQ(ProgressBar::line(0, 0, 0), "0 rows  0 rows/s");
}

}  // namespace
}  // namespace dbk::cli
