#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <chrono>

#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "conn/character_set_scope.h"
#include "conn/text_codec.h"
#include "support/files.h"
#include "support/test_server.h"
#include "transfer/csv_import.h"

namespace dbk {
namespace {

using test::writeFile;
using Rows = std::vector<std::string>;

std::string sjis(const char* utf8) {
    return toShiftJis(QString::fromUtf8(utf8));
}
std::string euc(const char* utf8) {
    return QByteArray(QStringEncoder("EUC-JP")(QString::fromUtf8(utf8))).toStdString();
}

class CsvImportTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }

    // Loads a comma separated file with double quotes from the client into db.table.
    CsvImportOutcome load(const std::string& table, const QString& path, bool convert,
                          CsvImportOptions o = {}) {
        o.path = path;
        o.local = true;
        o.convert = convert;
        o.separator = ",";
        o.enclosure = "\"";
        o.database = db->name();
        o.table = table;
        return CsvImporter(db->session()).run(o);
    }

    // "id|name" of each row, read in the given character set.
    Rows rows(const std::string& table, const char* characterSet = "cp932") {
        const CharacterSetScope scope(db->admin(), characterSet);
        Rows out;
        Result r = db->admin().query("SELECT id, name FROM " + test::sqlName(table) + " ORDER BY id");
        while (r.next())
            out.push_back(std::string(r.text(0U)) + "|" + std::string(r.text(1U)));
        return out;
    }

    void start(const std::string& name) {
        db = std::make_unique<test::ScratchDatabase>(name);
        ASSERT_TRUE(db->admin().exec("CREATE TABLE t (id INT PRIMARY KEY, name MEDIUMTEXT)"));
    }

    // No work file is left anywhere in the folder.
    void expectNoWorkFile() const {
        for (const QString& file : QDir(dir.path()).entryList(QDir::Files))
            EXPECT_FALSE(file.endsWith("_TOLVANE_WORK.SJIS")) << file.toStdString();
    }

    QTemporaryDir dir;
    std::unique_ptr<test::ScratchDatabase> db;
};

TEST_F(CsvImportTest, FilesArriveAsTheSameCharactersConvertedOrInTheirOwnCode) {
    DBK_REQUIRE_SERVER();
    start("dbk_csvimport_codes");
    // EUC-JP converted: half-width kana kept, IBM's 髙 (in JIS X 0212's rows) included.
    const CsvImportOutcome fromEuc =
        load("t", writeFile(dir, euc("1,\"東京都千代田区\"\n2,\"ｶﾀｶﾅ、髙橋\"\n"), "euc.csv"), true);
    ASSERT_TRUE(fromEuc.imported()) << fromEuc.errorText;
    EXPECT_NE(fromEuc.statement.find(" INTO TABLE dbk_csvimport_codes.t CHARACTER SET cp932 FIELDS"),
              std::string::npos);
    EXPECT_EQ(fromEuc.info, "Records: 2  Deleted: 0  Skipped: 0  Warnings: 0");
    EXPECT_EQ(rows("t"), (Rows{sjis("1|東京都千代田区"), sjis("2|ｶﾀｶﾅ、髙橋")}));

    // UTF-8 as it is, with characters Shift_JIS lacks: only a UTF-8 reading keeps them.
    const QString utf8 = writeFile(dir, "1,\"東京 😀 𠮷野家\"\n2,\"ĉu ŝi\"\n", "utf8.csv");
    const CsvImportOutcome fromUtf8 = load("t", utf8, false, {.replace = true});
    EXPECT_NE(fromUtf8.statement.find("CHARACTER SET utf8mb4 FIELDS"), std::string::npos);
    EXPECT_EQ(rows("t", "utf8mb4"), (Rows{"1|東京 😀 𠮷野家", "2|ĉu ŝi"}));
    // Converted, those characters can only be "?", and the message says how many there were.
    const CsvImportOutcome lossy = load("t", utf8, true, {.replace = true});
    EXPECT_EQ(rows("t"), (Rows{sjis("1|東京 ? ?野家"), "2|?u ?i"}));
    EXPECT_TRUE(CsvImporter::outcomeText(lossy, utf8)
                    .endsWith("\n4 characters of the file have no Shift_JIS form "
                              "and were loaded as \"?\". Without the conversion the "
                              "file is loaded in its own code."));

    // Shift_JIS with 0x5C second bytes (表, ソ, 予) beside quotes in both notations.
    const QString path =
        writeFile(dir, sjis("1,\"表\"\n2,\"ソ\"\n3,\"a\"\"表\"\n4,\"ソ\\\"b\"\n5,\"予\\\\\"\n"), "sjis.csv");
    for (const bool convert : {false, true}) {
        const CsvImportOutcome outcome = load("t", path, convert, {.replace = true});
        EXPECT_NE(outcome.statement.find("CHARACTER SET cp932 FIELDS"), std::string::npos);
        EXPECT_EQ(outcome.warningCount, 0U);
        EXPECT_EQ(rows("t"),
                  (Rows{sjis("1|表"), sjis("2|ソ"), sjis("3|a\"表"), sjis("4|ソ\"b"), sjis("5|予\\")}));
    }
    expectNoWorkFile();
}

TEST_F(CsvImportTest, TheMessageGivesTheServersSummaryAndFirstWarnings) {
    DBK_REQUIRE_SERVER();
    start("dbk_csvimport_summary");
    ASSERT_TRUE(db->admin().exec("INSERT INTO t VALUES (1, 'old'), (2, 'old')"));
    const QString keys = writeFile(dir, "id,name\n2,new\n3,new\n", "keys.csv");
    // Without REPLACE a file from the client keeps the rows there are and skips the others.
    CsvImportOutcome outcome = load("t", keys, true, {.skipLines = "1"});
    EXPECT_EQ(outcome.info, "Records: 2  Deleted: 0  Skipped: 1  Warnings: 1");
    EXPECT_EQ(rows("t"), (Rows{"1|old", "2|old", "3|new"}));
    outcome = load("t", keys, true, {.replace = true, .skipLines = "1"});
    EXPECT_TRUE(outcome.statement.ends_with("ENCLOSED BY '\"' IGNORE 1 LINES")) << outcome.statement;
    EXPECT_EQ(outcome.info, "Records: 2  Deleted: 1  Skipped: 0  Warnings: 0");  // row 3 is unchanged
    EXPECT_EQ(rows("t"), (Rows{"1|old", "2|new", "3|new"}));

    // Rows with a field too many and too few.
    const QString width = writeFile(dir, "4,a\n5,b,extra\n6\n", "width.csv");
    outcome = load("t", width, true);
    EXPECT_EQ(CsvImporter::outcomeText(outcome, width),
              "Normalized data has been imported.\nRecords: 3  Deleted: 0  Skipped: 0  Warnings: 2\n"
              "The server's first 2 warnings:\n"
              "Warning 1262: Row 2 was truncated; it contained more data than there were input columns\n"
              "Warning 1261: Row 3 doesn't contain data for all columns");
    EXPECT_EQ(rows("t").size(), 6U);
}

TEST_F(CsvImportTest, TheWorkFileGoesWhateverTheServerSays) {
    DBK_REQUIRE_SERVER();
    start("dbk_csvimport_refused");
    const QString path = writeFile(dir, euc("1,\"東京\"\n"), "refused.csv");
    ASSERT_TRUE(db->admin().exec("SET GLOBAL local_infile = 0"));
    const CsvImportOutcome refused = load("t", path, true);
    db->admin().exec("SET GLOBAL local_infile = 1");
    EXPECT_EQ(refused.status, CsvImportOutcome::Status::StatementFailed);
    EXPECT_EQ(CsvImporter::outcomeText(refused, path),
              fromShiftJis(refused.errorText) +
                  "\nThe server does not accept files from the client (its local_infile "
                  "setting is off).");
    expectNoWorkFile();

    // Another refusal: the table went away after it was chosen. The server's text alone.
    const CsvImportOutcome missing = load("gone", path, true);
    EXPECT_EQ(missing.errorNumber, 1146U);
    EXPECT_EQ(CsvImporter::outcomeText(missing, path), fromShiftJis(missing.errorText));
    expectNoWorkFile();
    EXPECT_TRUE(rows("t").empty());
}

TEST_F(CsvImportTest, BadFilesAndOddNamesGetAMessageOrLoad) {
    DBK_REQUIRE_SERVER();
    start("dbk_csvimport_bad");
    Connection& admin = db->admin();
    // A file that is not there: nothing to convert, or the client library's own report.
    const QString missing = dir.filePath("missing.csv");
    const CsvImportOutcome unconverted = load("t", missing, true);
    EXPECT_TRUE(unconverted.statement.empty());
    EXPECT_EQ(CsvImporter::outcomeText(unconverted, missing), "Cannot read the file:\n" + missing);
    const CsvImportOutcome asItIs = load("t", missing, false);
    EXPECT_EQ(asItIs.status, CsvImportOutcome::Status::StatementFailed);
    EXPECT_FALSE(asItIs.errorText.empty());
    EXPECT_EQ(load("t", writeFile(dir, "", "empty.csv"), true).info,
              "Records: 0  Deleted: 0  Skipped: 0  Warnings: 0");

    // A first line of 70,000 bytes arrives whole.
    const std::string wide = std::string(35000, 'x') + "東京" + std::string(34994, 'y');
    load("t", writeFile(dir, "1,\"" + wide + "\"\n", "wide.csv"), true);
    EXPECT_EQ(rows("t", "utf8mb4"), Rows{"1|" + wide});
    // UTF-8 with a byte order mark: the conversion drops the mark; as it is, the mark stays in
    // the first value and the server's warning says so.
    ASSERT_TRUE(admin.exec("DELETE FROM t"));
    const QString bom = writeFile(dir,
                                  "\xef\xbb\xbf"
                                  "1,\"東京\"\n",
                                  "bom.csv");
    load("t", bom, true);
    EXPECT_EQ(rows("t", "utf8mb4"), Rows{"1|東京"});
    ASSERT_TRUE(admin.exec("DELETE FROM t"));
    EXPECT_NE(load("t", bom, false).warnings.at(0).find("Warning 1366"), std::string::npos);
    // Mixed line ends: with the CR LF of the first line, the LF line runs on into the next.
    ASSERT_TRUE(admin.exec("DELETE FROM t"));
    const CsvImportOutcome mixed =
        load("t", writeFile(dir, "1,a\r\n2,b\n3,c\r\n", "mixed.csv"), true, {.lineEnd = "\\r\\n"});
    EXPECT_EQ(mixed.warningCount, 1U);
    EXPECT_EQ(rows("t"), (Rows{"1|a", "2|b\n3"}));

    // A table with a blank and Japanese in its name; a folder with a quote and Japanese in its name.
    const std::string japanese = sjis("商品 表");
    ASSERT_TRUE(admin.exec("CREATE TABLE `" + japanese + "` LIKE t"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("it's データ"));
    const QString odd = writeFile(dir, euc("1,\"表\"\n"), "it's データ/ソ表.csv");
    for (const bool convert : {true, false})
        EXPECT_TRUE(load(japanese, odd, convert, {.replace = true}).imported());
    EXPECT_EQ(rows(japanese).size(), 1U);
    EXPECT_EQ(QDir(dir.filePath("it's データ")).entryList(QDir::Files), QStringList{"ソ表.csv"});
    expectNoWorkFile();
}

// A LOAD DATA whose connection is killed halfway says what it left: a table without transactions
// keeps the rows loaded until then (counted), one with transactions none.
TEST_F(CsvImportTest, ALoadCutShortSaysWhatTheTableKept) {
    DBK_REQUIRE_SERVER();
    constexpr int kRows = 20000;
    QByteArray lines;
    for (int i = 1; i <= kRows; ++i)
        lines += QByteArray::number(i) + ",\"row " + QByteArray::number(i) + "\"\n";
    const QString path = writeFile(dir, lines.toStdString(), "cut.csv");
    struct Case {
        const char* engine;
        bool keeps;
    } cases[] = {{"MyISAM", true}, {"InnoDB", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.engine);
        db.reset();
        db = std::make_unique<test::ScratchDatabase>("dbk_csv_cut");
        Connection& admin = db->admin();
        ASSERT_TRUE(
            admin.exec(std::string("CREATE TABLE t (id INT PRIMARY KEY, name TEXT) ENGINE=") + c.engine));
        // Half a millisecond a row: the load would last ten seconds.
        ASSERT_TRUE(admin.exec("CREATE TRIGGER slow BEFORE INSERT ON t FOR EACH ROW DO SLEEP(0.0005)"));
        const unsigned long session = db->session().connection().threadId();
        // Running: the statement, or the trigger's DO within it.
        const std::string running =
            "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + std::to_string(session) +
            " AND INFO IS NOT NULL";
        ScopedScriptedUi ui;
        Connection observer = test::connectAdmin();
        bool killed = false;
        const auto start = std::chrono::steady_clock::now();
        ui->onEventsLetThrough = [&] {
            if (killed || std::chrono::steady_clock::now() - start < std::chrono::milliseconds(500))
                return;
            Result r = observer.query(running);
            if (r.next() && r.text(0U) == "1")
                killed = observer.exec("KILL " + std::to_string(session));
        };
        const CsvImportOutcome outcome = load("t", path, false);
        ui->onEventsLetThrough = {};
        ASSERT_TRUE(killed) << outcome.info;
        EXPECT_EQ(outcome.status, CsvImportOutcome::Status::StatementFailed);
        const QString text = CsvImporter::outcomeText(outcome, path);
        const QString table = QString::fromStdString(db->name()) + ".t";
        // The session was killed: the table is looked at from another connection.
        Result count = observer.query("SELECT COUNT(*) FROM " + db->name() + ".t");
        ASSERT_TRUE(count.next());
        const QString rows = QString::fromUtf8(count.text(0U).data(), count.text(0U).size());
        if (c.keeps) {
            EXPECT_GT(rows.toInt(), 0);
            EXPECT_LT(rows.toInt(), kRows);
            EXPECT_TRUE(
                text.endsWith(QString("\nThe table %1 has no transactions: the %2 rows loaded before the "
                                      "statement ended stay in it.")
                                  .arg(table, rows)))
                << text.toStdString();
        } else {
            EXPECT_EQ(rows, "0");
            EXPECT_TRUE(text.endsWith(
                QString("\nThe table %1 has transactions: none of the file's rows stay in it.").arg(table)))
                << text.toStdString();
        }
        observer.exec("DROP DATABASE " + db->name());
    }
}

}  // namespace
}  // namespace dbk
