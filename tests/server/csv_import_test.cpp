#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "app/messages.h"
#include "conn/character_set_scope.h"
#include "conn/text_codec.h"
#include "support/files.h"
#include "support/test_server.h"
#include "transfer/csv_import.h"

namespace dbk {
namespace {

using test::writeFile;

std::string shiftJis(const char* utf8Text) {
    return fromUi(QString::fromUtf8(utf8Text));
}
std::string eucJp(const char* utf8Text) {
    const QByteArray bytes = QStringEncoder("EUC-JP")(QString::fromUtf8(utf8Text));
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

class CsvImportTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }

    // Loads the file into the table with the analysed format of a comma separated file.
    CsvImportOutcome load(test::ScratchDatabase& db, const std::string& table, const QString& path,
                          bool convert, CsvImportOptions options = {}) {
        options.path = path;
        options.local = true;
        options.convert = convert;
        if (options.separator.empty())
            options.separator = ",";
        if (options.enclosure.empty())
            options.enclosure = "\"";
        options.database = db.name();
        options.table = table;
        CsvImporter importer(db.session());
        return importer.run(options);
    }

    // "id|name" of each row, ordered by id, read in the given character set.
    static std::vector<std::string> rows(Connection& connection, const std::string& table,
                                         const char* characterSet = "cp932") {
        const CharacterSetScope scope(connection, characterSet);
        std::vector<std::string> out;
        Result r = connection.query("SELECT id, name FROM " + Connection::ident(table) + " ORDER BY id");
        EXPECT_TRUE(r.ok()) << connection.errorLine();
        while (r.next())
            out.push_back(std::string(r.text(0U)) + "|" + std::string(r.text(1U)));
        return out;
    }

    // Nothing but the source files is left in the folder.
    void expectNoWorkFile() const {
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        for (const QString& file : files)
            EXPECT_FALSE(file.endsWith(QStringLiteral("_TOLVANE_WORK.SJIS"))) << file.toStdString();
    }

    QTemporaryDir dir;
};

TEST_F(CsvImportTest, ConvertedEucJpArrivesAsTheSameCharacters) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_euc");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(50))"));
    const char* text = "1,\"東京都千代田区\"\n2,\"ソフト表示、能力\"\n3,\"ｶﾀｶﾅ ﾃｽﾄ\"\n4,\"髙橋と高橋\"\n";
    const QString path = writeFile(dir, eucJp(text), "euc.csv");

    const CsvImportOutcome outcome = load(db, "t", path, true);
    ASSERT_TRUE(outcome.imported()) << outcome.errorText;
    EXPECT_NE(outcome.statement.find("INTO TABLE dbk_csvimport_euc.t CHARACTER SET cp932 FIELDS"),
              std::string::npos)
        << outcome.statement;
    EXPECT_EQ(outcome.info, "Records: 4  Deleted: 0  Skipped: 0  Warnings: 0");
    // 髙 is one of IBM's kanji, which EUC-JP holds in JIS X 0212's rows.
    const std::vector<std::string> expected = {shiftJis("1|東京都千代田区"), shiftJis("2|ソフト表示、能力"),
                                               shiftJis("3|ｶﾀｶﾅ ﾃｽﾄ"), shiftJis("4|髙橋と高橋")};
    EXPECT_EQ(rows(db.admin(), "t"), expected);
    expectNoWorkFile();
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(CsvImportTest, FilesLoadedAsTheyAreAreReadInTheirOwnCode) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_own");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(50))"));
    // UTF-8 with characters Shift_JIS lacks: only a UTF-8 reading keeps them.
    const char* utf8 = "1,\"東京 😀 𠮷野家\"\n2,\"ĉu ŝi\"\n";
    const CsvImportOutcome fromUtf8 = load(db, "t", writeFile(dir, utf8, "utf8.csv"), false);
    ASSERT_TRUE(fromUtf8.imported()) << fromUtf8.errorText;
    EXPECT_NE(fromUtf8.statement.find("CHARACTER SET utf8mb4 FIELDS"), std::string::npos);
    EXPECT_EQ(rows(db.admin(), "t", "utf8mb4"), (std::vector<std::string>{"1|東京 😀 𠮷野家", "2|ĉu ŝi"}));

    // Shift_JIS whose second bytes are 0x5C (表, ソ) next to quotes in both notations.
    ASSERT_TRUE(db.admin().exec("DELETE FROM t"));
    const std::string sjis = shiftJis("1,\"表\"\n2,\"ソ\"\n3,\"a\"\"表\"\n4,\"ソ\\\"b\"\n5,\"予\\\\\"\n");
    for (const bool convert : {false, true}) {
        SCOPED_TRACE(convert ? "converted" : "as it is");
        const CsvImportOptions replace{.replace = true};
        const CsvImportOutcome outcome = load(db, "t", writeFile(dir, sjis, "sjis.csv"), convert, replace);
        ASSERT_TRUE(outcome.imported()) << outcome.errorText;
        EXPECT_NE(outcome.statement.find("CHARACTER SET cp932 FIELDS"), std::string::npos);
        EXPECT_EQ(outcome.warningCount, 0U);
        EXPECT_EQ(rows(db.admin(), "t"),
                  (std::vector<std::string>{shiftJis("1|表"), shiftJis("2|ソ"), shiftJis("3|a\"表"),
                                            shiftJis("4|ソ\"b"), shiftJis("5|予\\")}));
    }
    expectNoWorkFile();
}

TEST_F(CsvImportTest, ReplaceAndLeadingLinesToIgnore) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_replace");
    Connection& admin = db.admin();
    ASSERT_TRUE(admin.exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(50))"));
    ASSERT_TRUE(admin.exec("INSERT INTO t VALUES (1, 'old'), (2, 'old')"));
    const QString path = writeFile(dir, "id,name\n2,new\n3,new\n", "keys.csv");

    // Without REPLACE a file from the client keeps the rows there are and skips the others.
    CsvImportOptions options{.skipLines = "1"};
    CsvImportOutcome outcome = load(db, "t", path, true, options);
    ASSERT_TRUE(outcome.imported()) << outcome.errorText;
    EXPECT_EQ(outcome.info, "Records: 2  Deleted: 0  Skipped: 1  Warnings: 1");
    EXPECT_EQ(rows(admin, "t"), (std::vector<std::string>{"1|old", "2|old", "3|new"}));

    options.replace = true;
    outcome = load(db, "t", path, true, options);
    ASSERT_TRUE(outcome.imported()) << outcome.errorText;
    EXPECT_EQ(outcome.info, "Records: 2  Deleted: 1  Skipped: 0  Warnings: 0");  // row 3 is unchanged
    EXPECT_EQ(rows(admin, "t"), (std::vector<std::string>{"1|old", "2|new", "3|new"}));
    EXPECT_NE(outcome.statement.find("REPLACE INTO TABLE"), std::string::npos);
    EXPECT_TRUE(outcome.statement.ends_with("ENCLOSED BY '\"' IGNORE 1 LINES")) << outcome.statement;
    expectNoWorkFile();
}

TEST_F(CsvImportTest, RowsOfTheWrongWidthAreReportedWithTheServersWarnings) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_width");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(50))"));
    const QString path = writeFile(dir, "1,a\n2,b,extra\n3\n", "width.csv");
    const CsvImportOutcome outcome = load(db, "t", path, true);
    ASSERT_TRUE(outcome.imported()) << outcome.errorText;
    EXPECT_EQ(outcome.warningCount, 2U);
    ASSERT_EQ(outcome.warnings.size(), 2U);
    EXPECT_EQ(outcome.warnings[0],
              "Warning 1262: Row 2 was truncated; it contained more data than there were input columns");
    EXPECT_EQ(outcome.warnings[1], "Warning 1261: Row 3 doesn't contain data for all columns");
    const QString text = CsvImporter::outcomeText(outcome, path);
    EXPECT_EQ(text,
              "Normalized data has been imported.\nRecords: 3  Deleted: 0  Skipped: 0  Warnings: 2\n"
              "The server's first 2 warnings:\n" +
                  toUi(outcome.warnings[0]) + "\n" + toUi(outcome.warnings[1]));
    EXPECT_EQ(rows(db.admin(), "t"), (std::vector<std::string>{"1|a", "2|b", "3|"}));
}

// Sets the server's local_infile for the lifetime of the object.
class LocalInfileSetting {
public:
    LocalInfileSetting(Connection& admin, bool on) : admin_(admin) {
        EXPECT_TRUE(admin_.exec(on ? "SET GLOBAL local_infile = 1" : "SET GLOBAL local_infile = 0"));
    }
    ~LocalInfileSetting() { admin_.exec("SET GLOBAL local_infile = 1"); }

private:
    Connection& admin_;
};

TEST_F(CsvImportTest, TheWorkFileGoesWhateverTheServerSays) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_refused");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(50))"));
    const QString path = writeFile(dir, eucJp("1,\"東京\"\n"), "refused.csv");
    {
        const LocalInfileSetting off(db.admin(), false);
        const CsvImportOutcome outcome = load(db, "t", path, true);
        EXPECT_EQ(outcome.status, CsvImportOutcome::Status::StatementFailed);
        EXPECT_TRUE(outcome.localRefused) << outcome.errorNumber;
        EXPECT_EQ(CsvImporter::outcomeText(outcome, path),
                  toUi(outcome.errorText) + "\n" + msg(CsvImporter::kLocalRefusedMessage));
        expectNoWorkFile();
    }
    // Another refusal: the table went away after it was chosen.
    const CsvImportOutcome missing = load(db, "gone", path, true);
    EXPECT_EQ(missing.status, CsvImportOutcome::Status::StatementFailed);
    EXPECT_FALSE(missing.localRefused);
    EXPECT_EQ(missing.errorNumber, 1146U);
    EXPECT_EQ(CsvImporter::outcomeText(missing, path), toUi(missing.errorText));
    expectNoWorkFile();
    EXPECT_TRUE(rows(db.admin(), "t").empty());
}

TEST_F(CsvImportTest, BadFilesAndOddNamesGetAMessageOrLoad) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csvimport_bad");
    Connection& admin = db.admin();
    ASSERT_TRUE(admin.exec("CREATE TABLE t (id INT PRIMARY KEY, name MEDIUMTEXT)"));

    // A file that is not there: nothing to convert, or the client library's own report.
    const QString missing = dir.filePath("missing.csv");
    const CsvImportOutcome unconverted = load(db, "t", missing, true);
    EXPECT_EQ(unconverted.status, CsvImportOutcome::Status::SourceUnreadable);
    EXPECT_TRUE(unconverted.statement.empty());
    EXPECT_EQ(CsvImporter::outcomeText(unconverted, missing), "Cannot read the file:\n" + missing);
    const CsvImportOutcome asItIs = load(db, "t", missing, false);
    EXPECT_EQ(asItIs.status, CsvImportOutcome::Status::StatementFailed);
    EXPECT_FALSE(asItIs.errorText.empty());

    // An empty file loads nothing.
    const CsvImportOutcome empty = load(db, "t", writeFile(dir, "", "empty.csv"), true);
    ASSERT_TRUE(empty.imported()) << empty.errorText;
    EXPECT_EQ(empty.info, "Records: 0  Deleted: 0  Skipped: 0  Warnings: 0");

    // A first line of 70,000 bytes arrives whole, converted or not.
    const std::string wide = std::string(35000, 'x') + "東京" + std::string(34994, 'y');
    for (const bool convert : {true, false}) {
        ASSERT_TRUE(admin.exec("DELETE FROM t"));
        const CsvImportOutcome outcome =
            load(db, "t", writeFile(dir, "1,\"" + wide + "\"\n", "wide.csv"), convert);
        ASSERT_TRUE(outcome.imported()) << outcome.errorText;
        EXPECT_EQ(rows(admin, "t", "utf8mb4"), std::vector<std::string>{"1|" + wide});
    }

    // A UTF-8 file with a byte order mark: the conversion drops the mark; as it is, the mark
    // stays in the first value and the server says so.
    ASSERT_TRUE(admin.exec("DELETE FROM t"));
    const QString bom = writeFile(dir,
                                  "\xef\xbb\xbf"
                                  "1,\"東京\"\n",
                                  "bom.csv");
    ASSERT_TRUE(load(db, "t", bom, true).imported());
    EXPECT_EQ(rows(admin, "t", "utf8mb4"), std::vector<std::string>{"1|東京"});
    ASSERT_TRUE(admin.exec("DELETE FROM t"));
    const CsvImportOutcome marked = load(db, "t", bom, false);
    ASSERT_TRUE(marked.imported()) << marked.errorText;
    ASSERT_EQ(marked.warnings.size(), 1U);
    EXPECT_NE(marked.warnings[0].find("Warning 1366"), std::string::npos) << marked.warnings[0];

    // Mixed line ends: with the CR LF of the first line, the LF line runs on into the next.
    ASSERT_TRUE(admin.exec("DELETE FROM t"));
    const CsvImportOutcome mixed =
        load(db, "t", writeFile(dir, "1,a\r\n2,b\n3,c\r\n", "mixed.csv"), true, {.lineEnd = "\\r\\n"});
    ASSERT_TRUE(mixed.imported()) << mixed.errorText;
    EXPECT_EQ(mixed.warningCount, 1U);
    EXPECT_EQ(rows(admin, "t"), (std::vector<std::string>{"1|a", "2|b\n3"}));

    // Tables with a blank and with Japanese in their names, a folder with a quote and Japanese
    // in its name.
    const std::string japaneseTable = shiftJis("商品 表");
    ASSERT_TRUE(admin.exec("CREATE TABLE `my table` (id INT PRIMARY KEY, name VARCHAR(50))"));
    ASSERT_TRUE(admin.exec("CREATE TABLE `" + japaneseTable + "` (id INT PRIMARY KEY, name VARCHAR(50))"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("it's データ")));
    const QString odd = writeFile(dir, eucJp("1,\"表\"\n"), QStringLiteral("it's データ/ソ表.csv"));
    for (const std::string& table : {std::string("my table"), japaneseTable}) {
        for (const bool convert : {true, false}) {
            const CsvImportOutcome outcome = load(db, table, odd, convert, {.replace = true});
            ASSERT_TRUE(outcome.imported()) << outcome.statement << "\n" << outcome.errorText;
        }
        EXPECT_EQ(rows(admin, table).size(), 1U);
    }
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("it's データ"))).entryList(QDir::Files),
              QStringList{QStringLiteral("ソ表.csv")});
    expectNoWorkFile();
}

}  // namespace
}  // namespace dbk
