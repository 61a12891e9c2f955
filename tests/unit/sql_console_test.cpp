#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "browser/field_listing.h"
#include "conn/connection.h"
#include "transfer/sql_console.h"

namespace dbk {
namespace {

// Statements for a session in Shift_JIS, the set a connection is opened in.
const Connection offline{ConnectParams{.characterSet = "cp932"}};

using sql_console::NodeDepth;

TEST(SqlConsoleSplit, CutsAtEverySemicolonAsText) {
    struct Case {
        const char* text;
        std::vector<std::string> statements;
    };
    const Case cases[] = {
        {"select 1; select 2", {"select 1", " select 2"}},
        {"select 1;", {"select 1"}},
        {"select 1;;", {"select 1", ""}},
        {";;", {"", ""}},
        {"select 1", {"select 1"}},
        {"", {""}},
        // quotes and comments do not protect a ";"
        {"insert into t values ('a;b')", {"insert into t values ('a", "b')"}},
        {"select 1 -- one; two\n", {"select 1 -- one", " two\n"}},
        // whitespace-only pieces are statements like any other
        {"select 1; ;\n", {"select 1", " ", "\n"}},
        {"  ", {"  "}},
        // Shift_JIS text passes through whole
        {"select '\x93\xfa\x96\x7b'; select 2", {"select '\x93\xfa\x96\x7b'", " select 2"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sql_console::splitStatements(c.text), c.statements) << c.text;
}

TEST(SqlConsoleTree, DoubleClickAppendsTheNodeNameAsTheServerReadsIt) {
    struct Case {
        NodeDepth depth;
        const char* database;
        const char* table;
        const char* field;
        const char* appended;
    };
    const Case cases[] = {
        {NodeDepth::Root, "", "", "", ""},
        // plain names stay bare
        {NodeDepth::Database, "shop", "", "", " shop"},
        {NodeDepth::Table, "shop", "items", "", " shop.items"},
        {NodeDepth::Field, "shop", "items", "price", " price"},
        // blanks, reserved words, backquotes and Japanese (Shift_JIS) names are quoted
        {NodeDepth::Database, "my shop", "", "", " `my shop`"},
        {NodeDepth::Table, "my shop", "order", "", " `my shop`.`order`"},
        {NodeDepth::Table, "shop", "select", "", " shop.`select`"},
        {NodeDepth::Field, "my shop", "order", "unit price", " `unit price`"},
        {NodeDepth::Field, "shop", "items", "a`b", " `a``b`"},
        {NodeDepth::Table, "\x93\xfa\x96\x7b", "\x95\x5c", "", " `\x93\xfa\x96\x7b`.`\x95\x5c`"},
        {NodeDepth::Field, "shop", "items", "123", " `123`"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sql_console::appendedName(offline, c.depth, c.database, c.table, c.field), c.appended)
            << c.database << "." << c.table << "." << c.field;
    }
    // A table's field nodes are read with the field listing's statement.
    EXPECT_EQ(showFieldsStatement(offline, "shop", "items"), "SHOW fields FROM shop.items");
    EXPECT_EQ(showFieldsStatement(offline, "my db", "order"), "SHOW fields FROM `my db`.`order`");
}

TEST(SqlConsoleTree, AddedNamesAreThoseNotKnownBefore) {
    EXPECT_EQ(sql_console::addedNames({"a", "c"}, {"a", "b", "c", "d"}),
              (std::vector<std::string>{"b", "d"}));
    EXPECT_EQ(sql_console::addedNames({"a", "b"}, {"a"}), std::vector<std::string>{});
    EXPECT_EQ(sql_console::addedNames({}, {"x"}), std::vector<std::string>{"x"});
}

TEST(SqlConsoleResult, HeadingsFitTheirBufferWithoutSplittingACharacter) {
    EXPECT_EQ(sql_console::headingOf("price", ServerEncoding::ShiftJis), "price");
    const std::string ascii(300, 'a');
    EXPECT_EQ(sql_console::headingOf(ascii, ServerEncoding::ShiftJis), std::string(255, 'a'));
    // 127 two-byte characters fill 254 bytes; the 128th would need bytes 255 and 256
    std::string kanji;
    for (int i = 0; i < 130; ++i)
        kanji += "\x8a\xbf";
    const std::string cut = sql_console::headingOf(kanji, ServerEncoding::ShiftJis);
    EXPECT_EQ(cut.size(), 254u);
    EXPECT_EQ(cut, kanji.substr(0, 254));
    EXPECT_EQ(sql_console::headingOf("a" + kanji, ServerEncoding::ShiftJis).size(), 255u);
}

TEST(SqlConsoleResult, HalfWidthKanaHeadingsAreWidenedNotGuessedAway) {
    // ｺｰﾄﾞ in Shift_JIS reads as valid EUC-JP too; it is the connection's Shift_JIS
    EXPECT_EQ(sql_console::headingOf("\xba\xb0\xc4\xde", ServerEncoding::ShiftJis),
              "\x83\x52\x81\x5b\x83\x68");  // コード
    EXPECT_EQ(sql_console::headingOf("\x8f\xa4\x95\x69", ServerEncoding::ShiftJis),
              "\x8f\xa4\x95\x69");  // 商品
}

TEST(SqlConsoleResult, TimesAreWholeSeconds) {
    EXPECT_EQ(sql_console::secondsText(100, 100), QStringLiteral("0秒"));
    EXPECT_EQ(sql_console::secondsText(100, 107), QStringLiteral("7秒"));
    // a clock set back shows no negative time
    EXPECT_EQ(sql_console::secondsText(100, 90), QStringLiteral("0秒"));
}

TEST(SqlConsoleFiles, ResultFileHasTheHeadingsThenEveryRowInShiftJis) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TEMP.CSV"));
    unsigned long long unmappable = 9;
    // A UTF-8 session's values: 〜 has a Shift_JIS code, the emoji has none and is counted.
    ASSERT_TRUE(sql_console::writeResultFile(path, {"id", "name"},
                                             {{std::string("1"), std::string("say \"hi\" 〜")},
                                              {std::string("2"), std::nullopt},
                                              {std::string("3"), std::string("🍣")}},
                                             ServerEncoding::Utf8, &unmappable));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              "\"id\",\"name\",\n\"1\",\"say \"\"hi\"\" \x81\x60\",\n\"2\",\"\",\n\"3\",\"?\",\n");
    EXPECT_EQ(unmappable, 1u);
    EXPECT_FALSE(sql_console::writeResultFile(dir.filePath(QStringLiteral("missing/TEMP.CSV")), {"a"}, {},
                                              ServerEncoding::ShiftJis, nullptr));
}

TEST(SqlConsoleFiles, ScriptsAreReadInTheirCodeAndWrittenInShiftJisOrUtf8) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.sql"));
    const QString text = QStringLiteral("select '表';\nselect 2;\r\nselect 3");
    ASSERT_TRUE(sql_console::writeScript(path, text, false));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("select '\x95\x5c';\nselect 2;\r\nselect 3"));
    file.close();
    EXPECT_EQ(sql_console::readScript(path), text);
    const QString emoji = QStringLiteral("select '〜🍣'");
    ASSERT_TRUE(sql_console::writeScript(path, emoji, true));  // shorter text replaces the file whole
    EXPECT_EQ(sql_console::readScript(path), emoji);
    EXPECT_EQ(sql_console::readScript(dir.filePath(QStringLiteral("none.sql"))), std::nullopt);
    EXPECT_FALSE(sql_console::writeScript(dir.filePath(QStringLiteral("no/such/b.sql")), text, false));

    EXPECT_EQ(sql_console::withDefaultSuffix(QStringLiteral("/t/a")), QStringLiteral("/t/a.sql"));
    EXPECT_EQ(sql_console::withDefaultSuffix(QStringLiteral("/t/a.txt")), QStringLiteral("/t/a.txt"));
    EXPECT_EQ(sql_console::withDefaultSuffix(QString()), QString());
}

TEST(SqlConsoleFont, StoredUnderSqldlgWithDefaultsForAbsentValues) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    const LogicalFont system{QStringLiteral("Sans"), -13, 0, 700, false};

    const LogicalFont defaults = sql_console::readFont(settings, system);
    EXPECT_EQ(defaults, (LogicalFont{QStringLiteral("Sans"), 18, 0, 700, false}));

    const LogicalFont chosen{QStringLiteral("MS Gothic"), -16, 8, 400, false};
    sql_console::writeFont(settings, chosen);
    EXPECT_EQ(settings.value(QStringLiteral("SQLDLG/lfHeight")).toInt(), -16);
    EXPECT_EQ(settings.value(QStringLiteral("SQLDLG/lfFaceName")).toString(), QStringLiteral("MS Gothic"));
    EXPECT_EQ(settings.value(QStringLiteral("SQLDLG/lfWeight")).toInt(), 400);
    EXPECT_EQ(settings.value(QStringLiteral("SQLDLG/lfWidth")).toInt(), 8);
    EXPECT_EQ(sql_console::readFont(settings, system), chosen);

    settings.setValue(QStringLiteral("SQLDLG/lfHeight"), QStringLiteral("tall"));
    EXPECT_EQ(sql_console::readFont(settings, system).height, 18);
}

}  // namespace
}  // namespace dbk

namespace dbk {
namespace {

TEST(SqlConsoleHistory, OnlyStatementsThatMayChangeTheDatabaseAskForItAgain) {
    const std::pair<const char*, bool> cases[] = {
        {"USE shop", true},
        {"  use `日本`", true},
        {"/* who */ Use x", true},
        {"DROP DATABASE shop", true},
        {"/*!40101 USE shop */", true},
        {"SELECT 'USE x'", false},
        {"-- USE x\nSELECT 1", false},
        {"used_names", false},
        {"INSERT INTO t VALUES (1)", false},
    };
    for (const auto& [statement, changes] : cases)
        EXPECT_EQ(sql_console::mayChangeDatabase(statement), changes) << statement;
}

}  // namespace
}  // namespace dbk
