#include <gtest/gtest.h>

#include "conn/connection.h"
#include "conn/server_generation.h"
#include "conn/text_codec.h"
#include "transfer/copy_engine.h"
#include "transfer/maintenance.h"
#include "transfer/table_copy.h"
#include "transfer/table_dump.h"

namespace dbk {
namespace {

// Statements for a session in Shift_JIS, the set a connection is opened in.
const Connection offline{ConnectParams{.characterSet = "cp932"}};

std::string sjis(const char* utf8) {
    return toShiftJis(QString::fromUtf8(utf8));
}

TEST(MaintenanceStatements, OptionWordsFollowTheTableInTheirFixedOrder) {
    const std::string jp = sjis("受注 表");
    struct Case {
        std::string statement;
        std::string expected;
    } cases[] = {
        {repairStatement(offline, "shop", "items", false, false), "REPAIR TABLE shop.items"},
        {repairStatement(offline, "shop", "items", true, false), "REPAIR TABLE shop.items QUICK"},
        {repairStatement(offline, "shop", "items", true, true), "REPAIR TABLE shop.items QUICK EXTENDED"},
        {repairStatement(offline, "shop", "items", false, true), "REPAIR TABLE shop.items EXTENDED"},
        {checkStatement(offline, "shop", "items", {}), "CHECK TABLE shop.items"},
        {checkStatement(offline, "shop", "items", {.quick = true, .medium = true}),
         "CHECK TABLE shop.items QUICK MEDIUM"},
        {checkStatement(offline, "shop", "items",
                        {.quick = true, .fast = true, .changed = true, .medium = true, .extended = true}),
         "CHECK TABLE shop.items QUICK Extended Fast CHANGED MEDIUM"},
        {checkStatement(offline, "shop", "items", {.fast = true, .extended = true}),
         "CHECK TABLE shop.items Extended Fast"},
        {analyzeStatement(offline, "shop", "items"), "ANALYZE TABLE shop.items"},
        {optimizeStatement(offline, "shop", "items"), "OPTIMIZE TABLE shop.items"},
        // Names with a blank, a backquote and Japanese characters are quoted.
        {analyzeStatement(offline, "my db", "a`b"), "ANALYZE TABLE `my db`.`a``b`"},
        {optimizeStatement(offline, "shop", jp), "OPTIMIZE TABLE shop.`" + jp + "`"},
        {conversionStatement(offline, ServerGeneration(40000), "shop", "items", "HEAP"),
         "ALTER TABLE shop.items TYPE=HEAP"},
        {conversionStatement(offline, ServerGeneration(101119, true), "shop", "items", "Innobase"),
         "ALTER TABLE shop.items ENGINE=Innobase"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.statement, c.expected);
}

TEST(MaintenanceStatements, TheServerDirectoryIsAnEscapedValue) {
    const Connection closed{ConnectParams{.characterSet = "cp932"}};
    EXPECT_EQ(backupStatement(closed, "shop", "items", "/var/backup"),
              "BACKUP TABLE shop.items TO '/var/backup'");
    EXPECT_EQ(restoreStatement(closed, "shop", "items", "/var/backup"),
              "RESTORE TABLE shop.items FROM '/var/backup'");
    EXPECT_EQ(backupStatement(closed, "shop", "items", "/tmp/it's"),
              "BACKUP TABLE shop.items TO '/tmp/it\\'s'");
}

TEST(MaintenanceStatements, TypeNamesMatchTheirModernNames) {
    struct Case {
        const char* reported;
        const char* target;
        bool same;
    } cases[] = {
        {"MyISAM", "MyISAM", true},     {"myisam", "MyISAM", true}, {"InnoDB", "Innobase", true},
        {"INNOBASE", "Innobase", true}, {"MEMORY", "HEAP", true},   {"HEAP", "HEAP", true},
        {"ISAM", "ISAM", true},         {"MyISAM", "ISAM", false},  {"InnoDB", "MyISAM", false},
        {"", "MyISAM", false},          {"Aria", "MyISAM", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isTableType(c.reported, c.target), c.same) << c.reported << " " << c.target;
}

TEST(MaintenanceLog, OneLinePerActionWithTheDirectoryAsTyped) {
    EXPECT_EQ(maintenanceLogLine(1700000000, "shop", "items", "/var/it's here", "root", "localhost"),
              "1700000000 shop.items /var/it's here root localhost\n");
    // Opened from the structure editor: no user and host.
    EXPECT_EQ(maintenanceLogLine(5, "d", "t", "/b", "", ""), "5 d.t /b  \n");
}

TEST(TableCopyStatement, TheTargetReplacesTheNameReadAsAName) {
    const std::string body = "(\n  `id` int(11) NOT NULL\n) ENGINE=MyISAM";
    struct Case {
        std::string source;
        std::string database;
        std::string table;
        std::string expected;
    } cases[] = {
        {"CREATE TABLE `items` " + body, "shop2", "t2", "CREATE TABLE shop2.t2 " + body},
        {"CREATE TABLE `items` " + body, "my db", "new`t", "CREATE TABLE `my db`.`new``t` " + body},
        {"CREATE TABLE `items` " + body, "shop", "受注", "CREATE TABLE shop.`受注` " + body},
        {"CREATE TABLE `items` " + body, "", "t2", "CREATE TABLE t2 " + body},
        // A "(" or a backquote in the name is part of it, rewritten again and again.
        {"CREATE TABLE `t(1)` " + body, "shop", "t(1)", "CREATE TABLE shop.`t(1)` " + body},
        {"CREATE TABLE shop.`t(1)` " + body, "shop", "x(", "CREATE TABLE shop.`x(` " + body},
        {"CREATE TABLE `a``(b` " + body, "d", "c", "CREATE TABLE d.c " + body},
        {"CREATE TABLE `my db`.`new``t` " + body, "", "n", "CREATE TABLE n " + body},
        {"CREATE TABLE d.`` " + body, "d", "typed", "CREATE TABLE d.typed " + body},
        {"CREATE TABLE  " + body, "d", "t", "CREATE TABLE d.t " + body},
        {"create temporary table if not exists /* c */ d . t " + body, "e", "u", "CREATE TABLE e.u " + body},
        {"CREATE TABLE t LIKE u", "d", "v", "CREATE TABLE d.v LIKE u"},
        // Not a CREATE TABLE text: it follows whole.
        {"no parenthesis", "d", "t", "CREATE TABLE d.t no parenthesis"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(retargetedStatement(c.source, c.database, c.table), c.expected) << c.source;
}

TEST(TableCopyStatement, TheTypeClauseIsReplacedInPlace) {
    struct Case {
        const char* statement;
        const char* type;
        const char* expected;
    } cases[] = {
        {"CREATE TABLE t (a int) TYPE=MyISAM", "HEAP", "CREATE TABLE t (a int) TYPE=HEAP"},
        {"CREATE TABLE t (a int) TYPE=MyISAM PACK_KEYS=1 COMMENT='x'", "HEAP",
         "CREATE TABLE t (a int) TYPE=HEAP PACK_KEYS=1 COMMENT='x'"},
        {"CREATE TABLE t (a int) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4", "MyISAM",
         "CREATE TABLE t (a int) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4"},
        {"CREATE TABLE t (a int) ENGINE=InnoDB", "INNOBASE", "CREATE TABLE t (a int) ENGINE=INNOBASE"},
        {"CREATE TABLE t (a int) engine = InnoDB\nCOMMENT='c'", "HEAP",
         "CREATE TABLE t (a int) engine=HEAP COMMENT='c'"},
        // Words inside the column list, comments and names are not the clause.
        {"CREATE TABLE t (`TYPE=` int COMMENT 'ENGINE=x', type int) COMMENT='TYPE=y' ENGINE=Aria", "MyISAM",
         "CREATE TABLE t (`TYPE=` int COMMENT 'ENGINE=x', type int) COMMENT='TYPE=y' ENGINE=MyISAM"},
        {"CREATE TABLE t (a int) COMMENT='it''s ENGINE=x' KEY_BLOCK_TYPE=3 ENGINE=Aria", "HEAP",
         "CREATE TABLE t (a int) COMMENT='it''s ENGINE=x' KEY_BLOCK_TYPE=3 ENGINE=HEAP"},
        {"CREATE TABLE t (a int) ENGINE=InnoDB PARTITION BY HASH (a) (PARTITION p0 ENGINE = InnoDB)",
         "MyISAM",
         "CREATE TABLE t (a int) ENGINE=MyISAM PARTITION BY HASH (a) (PARTITION p0 ENGINE = InnoDB)"},
        // Nor are words in comments, or a name in backquotes with a "(" in it.
        {"CREATE TABLE `t(` (a int) /* ENGINE=x */ -- TYPE=y\n# ENGINE=z\nENGINE=Aria", "HEAP",
         "CREATE TABLE `t(` (a int) /* ENGINE=x */ -- TYPE=y\n# ENGINE=z\nENGINE=HEAP"},
        // No clause: the server's own is added at the end.
        {"CREATE TABLE t (a int)", "HEAP", "CREATE TABLE t (a int) ENGINE=HEAP"},
        {"CREATE TABLE t (a int)  \n", "HEAP", "CREATE TABLE t (a int) ENGINE=HEAP"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(retypedStatement(c.statement, c.type, std::string("ENGINE=") + c.type), c.expected)
            << c.statement;
}

TEST(TableCopyLogLines, LinesOfTheCopyLog) {
    EXPECT_EQ(copyLogStartLine(), sjis("データ移行開始\n"));
    EXPECT_EQ(copyLogPageStart(1000, 2000), sjis("データ取得開始 1000 - 2000     "));
    EXPECT_EQ(copyLogPageDone(0, 1000), sjis("データ取得成功 0 - 1000\n"));
    EXPECT_EQ(copyLogErrorLine("INSERT INTO d.t ( a ) VALUES ( 1 )"),
              "\nError: Query=INSERT INTO d.t ( a ) VALUES ( 1 )\n");
    EXPECT_EQ(copyLogEndLine(), sjis("データ移行終了\n"));
    EXPECT_EQ(copyLogFailedLine(), sjis("データ取得失敗\n"));
    // Beyond 32 bits.
    EXPECT_EQ(copyLogPageStart(5000000000ULL, 5000001000ULL),
              sjis("データ取得開始 5000000000 - 5000001000     "));
}

FieldInfo field(enum_field_types type, unsigned charset, unsigned flags = 0) {
    FieldInfo f;
    f.type = type;
    f.charsetNumber = charset;
    f.flags = flags;
    return f;
}

TEST(SqlValues, EachColumnKindIsWrittenSoThatItReadsBackTheSame) {
    EXPECT_EQ(valueKind(field(MYSQL_TYPE_LONG, 63)), ValueKind::Number);
    EXPECT_EQ(valueKind(field(MYSQL_TYPE_NEWDECIMAL, 63)), ValueKind::Number);
    EXPECT_EQ(valueKind(field(MYSQL_TYPE_BIT, 63)), ValueKind::Bytes);
    EXPECT_EQ(valueKind(field(MYSQL_TYPE_BLOB, 63)), ValueKind::Bytes);
    EXPECT_EQ(valueKind(field(MYSQL_TYPE_STRING, 63)), ValueKind::Bytes);  // BINARY(n)
    EXPECT_EQ(valueKind(field(MYSQL_TYPE_BLOB, 224)), ValueKind::Text);    // TEXT in utf8mb4
    EXPECT_EQ(valueKind(field(MYSQL_TYPE_VAR_STRING, 224)), ValueKind::Text);
    EXPECT_EQ(valueKind(field(MYSQL_TYPE_DATETIME, 63)), ValueKind::Text);

    struct Case {
        std::optional<std::string> value;
        ValueKind kind;
        std::string literal;
    } cases[] = {
        {std::nullopt, ValueKind::Text, "NULL"},
        {std::nullopt, ValueKind::Bytes, "NULL"},
        {"-12.50", ValueKind::Number, "-12.50"},
        {"", ValueKind::Text, "''"},
        {"it's", ValueKind::Text, "'it''s'"},
        {"C:\\dir\\", ValueKind::Text, "'C:\\\\dir\\\\'"},
        {std::string("a\0b\nc\rd\x1A", 8), ValueKind::Text, "'a\\0b\\nc\\rd\\Z'"},
        {"日本語😀", ValueKind::Text, "'日本語😀'"},
        {"http://x///y/", ValueKind::Text, "'http:/\\/x/\\/\\/y/'"},
        {std::string("\x00\xFF'\\", 4), ValueKind::Bytes, "0x00FF275C"},
        {"", ValueKind::Bytes, "''"},
    };
    for (const Case& c : cases) {
        std::string out;
        appendSqlValue(out, c.value ? std::optional<std::string_view>(*c.value) : std::nullopt, c.kind);
        EXPECT_EQ(out, c.literal);
    }
    // Shift_JIS text: a backslash as the second byte of a character belongs to the character.
    const std::string so = sjis("ソ\\");  // 0x83 0x5C, then a real backslash
    std::string out;
    appendSqlValue(out, so, ValueKind::Text, true);
    EXPECT_EQ(out, "'\x83\x5C\\\\'");
}

TEST(TableDumpLines, ARowWithNullQuoteBackslashBytesAndJapanese) {
    const std::vector<FieldInfo> fields{field(MYSQL_TYPE_LONG, 63), field(MYSQL_TYPE_VAR_STRING, 224),
                                        field(MYSQL_TYPE_VAR_STRING, 224), field(MYSQL_TYPE_BLOB, 63),
                                        field(MYSQL_TYPE_BLOB, 224)};
    const std::vector<std::optional<std::string>> row{"7", std::nullopt, "O'Neil \\ 東京",
                                                      std::string("\x01\x00\xFE", 3), "受注一覧"};
    std::string line;
    TableDump::appendInsertLine(
        line, TableDump::insertHead("受注 表", {"id", "name", "note", "raw", "本文"}, NameQuoting::Bytes),
        fields, row);
    EXPECT_EQ(
        line,
        "INSERT INTO `受注 表` ( id,name,note,raw,`本文` ) VALUES ( 7,NULL,'O''Neil \\\\ 東京',0x0100FE,"
        "'受注一覧' );\n");
    EXPECT_EQ(TableDump::setNamesLine("utf8mb4"), "SET NAMES utf8mb4;\n");
    EXPECT_EQ(TableDump::createLine("CREATE TABLE `t` (\n  `a` int\n)"),
              "CREATE TABLE `t` (\n  `a` int\n);\n");
}

TEST(CopyEngineStatements, TheInsertNamesTheTargetAndItsColumns) {
    CopyJob job;
    job.targetDatabase = "shop 2";
    job.targetTable = "受注";
    EXPECT_EQ(CopyEngine::insertHead(job, {"id", "a`b"}), "INSERT INTO `shop 2`.`受注` ( id,`a``b` ) ");
    EXPECT_EQ(CopyEngine::insertHead(job, {}), "INSERT INTO `shop 2`.`受注` ");
    job.columns = {"x"};
    EXPECT_EQ(CopyEngine::insertHead(job, {"id"}), "INSERT INTO `shop 2`.`受注` ( x ) ");
    EXPECT_TRUE(CopyEngine::stopsEveryRow(1146));   // no such table
    EXPECT_TRUE(CopyEngine::stopsEveryRow(2013));   // server lost
    EXPECT_FALSE(CopyEngine::stopsEveryRow(1062));  // duplicate key: that row alone
    EXPECT_FALSE(CopyEngine::stopsEveryRow(1406));  // value too long
    EXPECT_EQ(utf8Ident(sjis("受注"), ServerEncoding::ShiftJis), "`受注`");
}

}  // namespace
}  // namespace dbk
