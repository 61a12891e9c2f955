#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <climits>

#include "conn/connection.h"
#include "conn/server_generation.h"
#include "conn/text_codec.h"
#include "support/files.h"
#include "transfer/csv_import.h"

namespace dbk {
namespace {

using test::writeFile;

std::string shiftJis(const char* utf8Text) {
    return toShiftJis(QString::fromUtf8(utf8Text));
}
std::string eucJp(const char* utf8Text) {
    const QByteArray bytes = QStringEncoder("EUC-JP")(QString::fromUtf8(utf8Text));
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

TEST(CsvImportAnalysis, TakesSeparatorEnclosureAndLineEndFromTheWholeFirstLine) {
    QTemporaryDir dir;
    const std::string longLine(70000, 'x');
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<std::string> separator;
        std::string enclosure;
        bool crlf;
    } cases[] = {
        {"comma before quote", "a,\"b\"\n1,2\n", ",", "\"", false},
        {"quote before comma", "'a',b\r\n", ",", "'", true},
        {"tabs without quotes", "a\tb\tc\r\nd\te\tf\r\n", "\\t", "", true},
        {"neither", "abc\n", std::nullopt, "", false},
        {"line feeds only, CR LF later", "a;b\nc;d\r\n", std::nullopt, "", false},
        {"70,000-byte first line", longLine + "\t'x'\r\nnext\n", "\\t", "'", true},
        {"empty file", "", std::nullopt, "", false},
        {"Shift_JIS with 0x5C and 0x7C second bytes", shiftJis("表,ソ,\"ポ\"\r\n"), ",", "\"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CsvFirstLine line = analyseCsvFirstLine(writeFile(dir, c.bytes, "a.csv"));
        EXPECT_TRUE(line.read);
        EXPECT_EQ(line.separator, c.separator);
        EXPECT_EQ(line.enclosure, c.enclosure);
        EXPECT_EQ(line.crlf, c.crlf);
    }
    EXPECT_FALSE(analyseCsvFirstLine(dir.filePath("missing.csv")).read);
}

TEST(CsvImportPreview, ShowsEightLinesWithLineBreaksInTheirCode) {
    QTemporaryDir dir;
    std::string lines;
    for (int i = 1; i <= 10; ++i)
        lines += std::to_string(i) + ",\"東京\"\r\n";
    QString firstEight;
    for (int i = 1; i <= 8; ++i)
        firstEight += QString::number(i) + ",\"東京\"\n";
    struct Case {
        const char* name;
        std::string bytes;
        bool convert;
        QString shown;
    } cases[] = {
        {"EUC-JP converted", eucJp(lines.c_str()), true, firstEight},
        {"UTF-8 with a byte order mark converted", "\xef\xbb\xbf" + lines, true, firstEight},
        {"UTF-8 as it is", lines, false, firstEight},
        {"mixed line ends, the last without", "a\r\nb\nc", false, "a\nb\nc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(csvPreviewText(writeFile(dir, c.bytes, "p.csv"), c.convert), c.shown);
    }
    EXPECT_EQ(csvPreviewText(dir.filePath("missing.csv"), true), "");
    // A file of one endless line shows its beginning only.
    const QString endless = writeFile(dir, std::string(2'000'000, 'x'), "endless.csv");
    EXPECT_EQ(csvPreviewText(endless, true).size(), kCsvPreviewBytes);
}

TEST(CsvImportStatement, ComposesTheClausesInTheirOrderWithTheirBlanks) {
    const Connection unconnected{
        ConnectParams{.characterSet = "cp932"}};  // escapes as a Shift_JIS connection does
    const ServerGeneration legacy(40018);
    const ServerGeneration modern(101106, true);
    const CsvImportOptions plain{.database = "shop", .table = "item"};
    const CsvImportOptions everything{.local = true,
                                      .lowPriority = true,
                                      .replace = true,
                                      .separator = ",",
                                      .database = "shop",
                                      .table = "item"};
    const CsvImportOptions escapeOnly{.escape = "\\\\", .database = "shop", .table = "item"};
    const CsvImportOptions allFields{.separator = "\\t",
                                     .enclosure = "\"",
                                     .escape = "\\\\",
                                     .lineEnd = "\\r\\n",
                                     .skipLines = "1",
                                     .database = "shop",
                                     .table = "item"};
    const CsvImportOptions oddNames{.database = "my shop", .table = shiftJis("商品 表")};
    const std::string workFile = toShiftJis(csvWorkFilePath(QStringLiteral("D:\\d\\a.csv")));

    struct Case {
        const char* name;
        const CsvImportOptions& options;
        std::string file;
        std::string clause;
        std::string statement;
    } cases[] = {
        {"every field empty, every box off", plain, "/tmp/a.csv", "",
         "LOAD DATA INFILE '/tmp/a.csv' INTO TABLE shop.item "},
        {"the escape character alone", escapeOnly, "/tmp/a.csv", "",
         "LOAD DATA INFILE '/tmp/a.csv' INTO TABLE shop.item FIELDS ESCAPED BY '\\\\' "},
        {"every box on and a separator, on a legacy server", everything, workFile,
         legacy.loadDataCharacterSetClause("cp932"),
         "LOAD DATA LOW_PRIORITY LOCAL INFILE 'D:\\\\d\\\\a.csv_TOLVANE_WORK.SJIS' REPLACE INTO TABLE "
         "shop.item "
         "FIELDS TERMINATED BY ',' "},
        {"the same on today's server", everything, workFile, modern.loadDataCharacterSetClause("cp932"),
         "LOAD DATA LOW_PRIORITY LOCAL INFILE 'D:\\\\d\\\\a.csv_TOLVANE_WORK.SJIS' REPLACE INTO TABLE "
         "shop.item "
         "CHARACTER SET cp932 FIELDS TERMINATED BY ',' "},
        {"every field, raw as typed; IGNORE closes without a blank", allFields, "/tmp/a.csv", "",
         "LOAD DATA INFILE '/tmp/a.csv' INTO TABLE shop.item FIELDS TERMINATED BY '\\t' ENCLOSED BY '\"' "
         "ESCAPED BY '\\\\' LINES TERMINATED BY '\\r\\n' IGNORE 1 LINES"},
        {"names with blanks and Japanese, a path with a quote and 0x5C second bytes", oddNames,
         shiftJis("/tmp/it's/表.csv"), "",
         "LOAD DATA INFILE '" + shiftJis("/tmp/it\\'s/表.csv") + "' INTO TABLE `my shop`.`" +
             shiftJis("商品 表") + "` "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(loadDataStatement(c.options, unconnected, c.file, c.clause), c.statement);
    }
}

TEST(CsvImportStatement, NamesTheFilesCharacterSetWhereTheServerKnowsTheClause) {
    struct Case {
        unsigned long version;
        CsvFileCode code;
        std::string clause;
    } cases[] = {
        {32300, CsvFileCode::ShiftJis, ""},
        {50037, CsvFileCode::Utf8, ""},
        {50038, CsvFileCode::ShiftJis, "CHARACTER SET cp932 "},
        {50100, CsvFileCode::Utf8, "CHARACTER SET utf8 "},
        {50503, CsvFileCode::Utf8, "CHARACTER SET utf8mb4 "},
        {101106, CsvFileCode::ShiftJis, "CHARACTER SET cp932 "},
        {101106, CsvFileCode::Utf8, "CHARACTER SET utf8mb4 "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CsvImporter::characterSetClause(ServerGeneration(c.version), c.code), c.clause)
            << c.version;
    // Servers whose set holds Japanese are not asked about; any other one is.
    for (const char* name : {"sjis", "cp932", "ujis", "eucjpms", "SJIS", "utf8mb4", "utf8mb3", "utf8"})
        EXPECT_TRUE(holdsJapanese(name)) << name;
    for (const char* name : {"latin1", "ascii", "big5", ""})
        EXPECT_FALSE(holdsJapanese(name)) << name;

    // The file's own code: UTF-8 only when all of it is valid UTF-8 with some non-ASCII text.
    QTemporaryDir dir;
    const std::string japanese = "1,\"東京\"\n";
    std::string straddling(1 << 20, 'a');  // a character across the reading blocks
    straddling.replace(straddling.size() - 1, 1, "東");
    const struct {
        const char* name;
        std::string bytes;
        CsvFileCode code;
    } files[] = {
        {"UTF-8 with a byte order mark", "\xef\xbb\xbf" + japanese, CsvFileCode::Utf8},
        {"UTF-8 across blocks", straddling, CsvFileCode::Utf8},
        {"ASCII", "1,abc\n", CsvFileCode::ShiftJis},
        {"Shift_JIS", shiftJis(japanese.c_str()), CsvFileCode::ShiftJis},
        {"EUC-JP", eucJp(japanese.c_str()), CsvFileCode::ShiftJis},
        {"UTF-8 cut at the end", japanese + "\xe6\x9d", CsvFileCode::ShiftJis},
        {"an encoded surrogate", "\xed\xa0\x80\n", CsvFileCode::ShiftJis},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(csvFileCode(writeFile(dir, f.bytes, "c.csv")), f.code);
    }
}

TEST(CsvImportStatement, WorkFileNamesAreMadeWholeOrRefused) {
    EXPECT_EQ(csvWorkFilePath(QStringLiteral("/d/a.csv")), QStringLiteral("/d/a.csv_TOLVANE_WORK.SJIS"));
    const QString suffix = QStringLiteral("_TOLVANE_WORK.SJIS");
    const int room = NAME_MAX - static_cast<int>(suffix.size());
    EXPECT_TRUE(csvWorkFileNameFits("/d/" + QString(room, u'a')));
    EXPECT_FALSE(csvWorkFileNameFits("/d/" + QString(room + 1, u'a')));
    // Names count in the bytes the file system gets: three for each of these characters.
    EXPECT_TRUE(csvWorkFileNameFits("/d/" + QString(room / 3, u'表')));
    EXPECT_FALSE(csvWorkFileNameFits("/d/" + QString(room / 3 + 1, u'表')));
    QString deep;
    while (deep.size() < PATH_MAX)
        deep += QStringLiteral("/folder");
    EXPECT_FALSE(csvWorkFileNameFits(deep + QStringLiteral("/a.csv")));
}

}  // namespace
}  // namespace dbk
