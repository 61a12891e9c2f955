#include <gtest/gtest.h>

#include "conn/connection.h"
#include "conn/server_generation.h"
#include "schema/add_field.h"
#include "schema/change_field.h"
#include "schema/create_table.h"
#include "schema/table_options.h"

namespace dbk {
namespace {

// Statements for a session in Shift_JIS, the set a connection is opened in.
const Connection offline{ConnectParams{.characterSet = "cp932"}};

ColumnDefinition row(const char* name, const char* type, const char* length = "") {
    ColumnDefinition c;
    c.name = name;
    c.type = type;
    c.length = length;
    return c;
}

TEST(CreateTableTest, StatementFollowsTheGridAndTheServer) {
    CreateTableModel model;
    ColumnDefinition id = row("id", "INT", "11");
    id.autoIncrement = id.primaryKey = true;
    ColumnDefinition name = row("name", "VARCHAR", "20");
    name.null = name.index = true;
    model.insert(-1, id);
    model.insert(-1, name);
    const char* body =
        "CREATE TABLE shop.t1 (\nid INT(11)  NOT NULL  AUTO_INCREMENT ,\nname VARCHAR(20)  NULL ,\n"
        "PRIMARY KEY ( id )\n,\nINDEX ( name )\n\n)";
    EXPECT_EQ(model.statement(offline, "shop", "t1", "MyISAM", ServerGeneration(40017)),
              std::string(body) + "TYPE=MyISAM;");
    EXPECT_EQ(model.statement(offline, "shop", "t1", "MyISAM", ServerGeneration(101119, true)),
              std::string(body) + "ENGINE=MyISAM;");
    EXPECT_EQ(model.statement(offline, "shop", "t1", "", ServerGeneration(101119, true)),
              std::string(body) + ";");

    // Two primary key rows, no blank after the comma; names that need quotes get them.
    CreateTableModel keys;
    ColumnDefinition a = row("a", "INT");
    ColumnDefinition b = row("b b", "CHAR", "2");
    a.primaryKey = b.primaryKey = true;
    keys.insert(-1, a);
    keys.insert(-1, b);
    EXPECT_EQ(keys.statement(offline, "my db", "テーブル", "", ServerGeneration(101119, true)),
              "CREATE TABLE `my db`.`テーブル` (\na INT NOT NULL ,\n`b b` CHAR(2)  NOT NULL ,\n"
              "PRIMARY KEY ( a,`b b` )\n\n);");
    // An empty grid gives the head and the end alone, which the server refuses.
    EXPECT_EQ(CreateTableModel().statement(offline, "d", "t", "", ServerGeneration(40017)),
              "CREATE TABLE d.t (\n\n);");
}

TEST(CreateTableTest, GridRowsAndTableTypes) {
    CreateTableModel model;
    model.insert(-1, row("id", "INT"));
    model.insert(0, row("first", "DATE"));
    model.insert(7, row("last", "TEXT"));
    ASSERT_EQ(model.rows().size(), 3U);
    EXPECT_EQ(model.rows()[0].name, "first");
    EXPECT_EQ(model.rows()[2].name, "last");
    EXPECT_EQ(model.findByName("ID", ServerEncoding::Utf8), 1);
    EXPECT_EQ(model.findByName("i", ServerEncoding::Utf8), -1);  // whole names only
    model.remove(1);
    EXPECT_EQ(model.findByName("id", ServerEncoding::Utf8), -1);

    ServerGeneration withInnoDb(101119, true);
    withInnoDb.setHasInnoDb(true);
    EXPECT_EQ(CreateTableModel::tableTypes(withInnoDb),
              (std::vector<std::string>{"HEAP", "INNOBASE", "ISAM", "MyISAM"}));
    EXPECT_EQ(CreateTableModel::tableTypes(ServerGeneration(32358)),
              (std::vector<std::string>{"HEAP", "ISAM", "MyISAM"}));
}

TEST(AddFieldTest, ColumnThenKeysInTheirOrder) {
    ColumnDefinition code = row("code", "CHAR", "4");
    code.binary = true;
    const auto statements = [](const std::vector<AddFieldStep>& steps) {
        std::vector<std::string> out;
        for (const AddFieldStep& s : steps)
            out.push_back(s.statement);
        return out;
    };
    EXPECT_EQ(statements(addFieldSteps(offline, "shop", "items", code,
                                       {.atTop = true, .index = true, .indexName = "ix_code"})),
              (std::vector<std::string>{"ALTER TABLE shop.items ADD code CHAR (4)  BINARY  NOT NULL  FIRST ",
                                        "ALTER TABLE shop.items ADD  INDEX ix_code ( code )"}));
    const auto all =
        addFieldSteps(offline, "shop", "items", code, {.primaryKey = true, .index = true, .unique = true});
    EXPECT_EQ(statements(all),
              (std::vector<std::string>{"ALTER TABLE shop.items ADD code CHAR (4)  BINARY  NOT NULL ",
                                        "ALTER TABLE shop.items ADD  PRIMARY KEY ( code )",
                                        "ALTER TABLE shop.items ADD  INDEX ( code )",
                                        "ALTER TABLE shop.items ADD  UNIQUE ( code )"}));
    EXPECT_FALSE(all[0].columnAdded);
    EXPECT_STREQ(all[0].failureText, "");
    EXPECT_TRUE(all[1].columnAdded && all[2].columnAdded && all[3].columnAdded);
    EXPECT_STREQ(all[3].failureText, "一意制約作成ができませんでした\n%d:%s");
    EXPECT_EQ(statements(addFieldSteps(offline, "s", "t", row("k k", "INT"),
                                       {.unique = true, .uniqueName = "u 1"}))[1],
              "ALTER TABLE s.t ADD  UNIQUE `u 1` ( `k k` )");
}

TEST(ChangeFieldTest, ModifyKeepsWhatTheFormDoesNotShow) {
    const Connection unconnected{ConnectParams{.characterSet = "cp932"}};
    PresentColumn serial{
        .name = "id", .type = "int(11)", .null = true, .key = "UNI", .extra = "auto_increment"};
    ColumnDefinition wanted = wantedFrom(serial);
    EXPECT_TRUE(wanted.null);
    EXPECT_EQ(wanted.length, "11");
    wanted.length = "8";
    EXPECT_EQ(modifyStatement(unconnected, "d", "t", "id", serial, wanted),
              "ALTER TABLE d.t MODIFY id INT(8)  NULL  AUTO_INCREMENT ");

    PresentColumn text{.name = "memo",
                       .type = "varchar(20)",
                       .collation = "cp932_japanese_ci",
                       .defaultValue = "it's",
                       .comment = "Bob's",
                       .defaultSql = "'it''s'"};
    wanted = wantedFrom(text);
    EXPECT_EQ(wanted.defaultValue, "it's");
    EXPECT_EQ(
        modifyStatement(unconnected, "d", "t", "memo", text, wanted),
        "ALTER TABLE d.t MODIFY memo VARCHAR(20)  CHARACTER SET cp932 COLLATE cp932_japanese_ci  NOT NULL "
        " DEFAULT 'it''s'  COMMENT 'Bob\\'s' ");
    // BINARY picks the set's binary collation; another type drops the old default.
    wanted.binary = true;
    wanted.type = "TEXT";
    EXPECT_EQ(modifyStatement(unconnected, "d", "t", "memo", text, wanted),
              "ALTER TABLE d.t MODIFY memo TEXT CHARACTER SET cp932 COLLATE cp932_japanese_ci  NOT NULL  "
              "COMMENT 'Bob\\'s' ");
    wanted.type = "CHAR";
    EXPECT_EQ(modifyStatement(unconnected, "d", "t", "memo", text, wanted),
              "ALTER TABLE d.t MODIFY memo CHAR(20)  BINARY  CHARACTER SET cp932  NOT NULL  DEFAULT 'it''s'  "
              "COMMENT 'Bob\\'s' ");

    // A binary collation loads the BINARY box; clearing it leaves the set's own collation.
    PresentColumn binary{.name = "b", .type = "char(4)", .collation = "utf8mb4_bin"};
    wanted = wantedFrom(binary);
    EXPECT_TRUE(wanted.binary);
    wanted.binary = false;
    EXPECT_EQ(modifyStatement(unconnected, "d", "t", "b", binary, wanted),
              "ALTER TABLE d.t MODIFY b CHAR(4)  CHARACTER SET utf8mb4  NOT NULL ");

    PresentColumn stamp{.name = "at",
                        .type = "timestamp",
                        .defaultValue = "current_timestamp()",
                        .extra = "on update current_timestamp()",
                        .defaultSql = "current_timestamp()"};
    EXPECT_EQ(modifyStatement(unconnected, "d", "t", "at", stamp, wantedFrom(stamp)),
              "ALTER TABLE d.t MODIFY at TIMESTAMP NOT NULL  DEFAULT current_timestamp()  "
              "ON UPDATE current_timestamp() ");

    // A type outside the list: nothing picked, an empty definition, the numeric default as typed.
    PresentColumn json{.name = "j", .type = "json", .null = true};
    wanted = wantedFrom(json);
    EXPECT_EQ(wanted.type, "");
    EXPECT_EQ(modifyStatement(unconnected, "d", "t", "j", json, wanted), "ALTER TABLE d.t MODIFY j ");
    wanted.type = "INT";
    wanted.defaultValue = "5";
    EXPECT_EQ(modifyStatement(unconnected, "d", "t", "j", json, wanted),
              "ALTER TABLE d.t MODIFY j INT NULL  DEFAULT 5");
    EXPECT_EQ(showColumnStatement(unconnected, "d", "t 1", "a_b"),
              "SHOW FULL COLUMNS FROM d.`t 1` LIKE 'a\\_b'");

    // The column's own CHECK goes with it; a MODIFY without it would drop the constraint.
    const std::string create =
        "CREATE TABLE `c` (\n  `we``ird` int(11) DEFAULT NULL COMMENT 'x CHECK (no)' CHECK (`we``ird` > 0),\n"
        "  `j` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT NULL CHECK (json_valid(`j`)),\n"
        "  `s` int(11) COMMENT '\x95\x5C' CHECK (`s` > 1),\n  `k` int(11) DEFAULT NULL,\n"
        "  CONSTRAINT `c1` CHECK (`k` > 1)\n) ENGINE=InnoDB";
    EXPECT_EQ(columnCheckClause(create, "we`ird", NameQuoting::ShiftJis), "CHECK (`we``ird` > 0)");
    EXPECT_EQ(columnCheckClause(create, "j", NameQuoting::ShiftJis), "CHECK (json_valid(`j`))");
    EXPECT_EQ(columnCheckClause(create, "s", NameQuoting::ShiftJis),
              "CHECK (`s` > 1)");  // 0x5C ends a kanji, not the quote
    EXPECT_EQ(columnCheckClause(create, "k", NameQuoting::ShiftJis), "");
    EXPECT_EQ(columnCheckClause(create, "c1", NameQuoting::ShiftJis), "");
    PresentColumn checked{.name = "j", .type = "longtext", .collation = "utf8mb4_bin", .null = true};
    checked.check = "CHECK (json_valid(`j`))";
    EXPECT_EQ(modifyStatement(unconnected, "d", "t", "j", checked, wantedFrom(checked)),
              "ALTER TABLE d.t MODIFY j LONGTEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin  NULL  "
              "CHECK (json_valid(`j`)) ");
}

TEST(TableOptionsTest, EveryButtonsStatement) {
    const Connection unconnected{ConnectParams{.characterSet = "cp932"}};
    const ServerGeneration legacy(40017);
    const ServerGeneration modern(101119, true);
    using B = OptionButton;
    const std::pair<OptionButton, const char*> cases[] = {
        {B::AutoIncrement, "ALTER TABLE shop.t AUTO_INCREMENT=v"},
        {B::AvgRowLength, "ALTER TABLE shop.t AVG_ROW_LENGTH=v"},
        {B::Comment, "ALTER TABLE shop.t COMMENT='v'"},
        {B::MaxRows, "ALTER TABLE shop.t MAX_ROWS=v"},
        {B::MinRows, "ALTER TABLE shop.t MIN_ROWS=v"},
        {B::PackKeysOn, "ALTER TABLE shop.t PACK_KEYS=1"},
        {B::PackKeysOff, "ALTER TABLE shop.t PACK_KEYS=0"},
        {B::RowFormatDefault, "ALTER TABLE shop.t ROW_FORMAT=Default"},
        {B::RowFormatDynamic, "ALTER TABLE shop.t ROW_FORMAT=Dynamic"},
        {B::RowFormatStatic, "ALTER TABLE shop.t ROW_FORMAT=Static"},  // as a 4.0 server reads it
        {B::RowFormatCompressed, "ALTER TABLE shop.t ROW_FORMAT=Compressed"},
        {B::ChecksumOn, ""},
        {B::ChecksumOff, ""},
        {B::Password, ""},
        {B::DelayKeyWriteOn, ""},
        {B::DelayKeyWriteOff, ""},
    };
    for (const auto& [button, statement] : cases)
        EXPECT_EQ(optionStatement(unconnected, legacy, button, "shop", "t", "v"), statement) << statement;
    EXPECT_EQ(optionStatement(unconnected, modern, B::Comment, "shop", "t t", "it's"),
              "ALTER TABLE shop.`t t` COMMENT='it\\'s'");
    EXPECT_EQ(optionStatement(unconnected, modern, B::RowFormatStatic, "shop", "t", ""),
              "ALTER TABLE shop.t ROW_FORMAT=FIXED");

    EXPECT_EQ(createOption("max_rows=10 min_rows=2 pack_keys=1", "min_rows"), "2");
    EXPECT_EQ(createOption("max_rows=10 min_rows=2", "rows"), "");
    EXPECT_EQ(createOption("", "checksum"), "");

    EXPECT_EQ(renameTableStatement(offline, "shop", "t1", "t2"), "ALTER TABLE shop.t1 RENAME shop.t2");
    EXPECT_EQ(renameTableStatement(offline, "my shop", "t1", "new t"),
              "ALTER TABLE `my shop`.t1 RENAME `my shop`.`new t`");
    EXPECT_EQ(createDatabaseStatement(offline, "shop"), "CREATE DATABASE shop");
    EXPECT_EQ(createDatabaseStatement(offline, "my shop"), "CREATE DATABASE `my shop`");

    EXPECT_TRUE(ServerGeneration(100207, true).reportsDefaultsAsSql());
    EXPECT_FALSE(ServerGeneration(100206, true).reportsDefaultsAsSql());
    EXPECT_FALSE(ServerGeneration(80036, false).reportsDefaultsAsSql());
    EXPECT_TRUE(ServerGeneration(100201, true).hasColumnChecks());
    EXPECT_FALSE(ServerGeneration(100200, true).hasColumnChecks());
    EXPECT_FALSE(ServerGeneration(80036, false).hasColumnChecks());
}

}  // namespace
}  // namespace dbk
