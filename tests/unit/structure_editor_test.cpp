#include <gtest/gtest.h>

#include "conn/connection.h"
#include "conn/text_codec.h"
#include "schema/structure_editor.h"

namespace dbk {
namespace {

// Statements for a session in Shift_JIS, the set a connection is opened in.
const Connection offline{ConnectParams{.characterSet = "cp932"}};

TEST(StructureEditorStatements, EveryStatementOfTheEditorAndTheAddKeyForm) {
    const std::string jp = toShiftJis(QStringLiteral("受注"));
    struct Case {
        std::string statement;
        std::string expected;
    } cases[] = {
        {dropFieldStatement(offline, "shop", "items", "price"), "ALTER TABLE shop.items DROP price"},
        {dropFieldStatement(offline, "my db", "a`b", jp), "ALTER TABLE `my db`.`a``b` DROP `" + jp + "`"},
        {dropKeyStatement(offline, "shop", "items", "PRIMARY"), "ALTER TABLE shop.items DROP PRIMARY KEY"},
        {dropKeyStatement(offline, "shop", "items", "primary"),
         "ALTER TABLE shop.items DROP INDEX `primary`"},
        {dropKeyStatement(offline, "shop", "items", "by name"),
         "ALTER TABLE shop.items DROP INDEX `by name`"},
        {changeStatement(offline, "shop", "items", "price", "cost int(11) NULL "),
         "ALTER TABLE shop.items CHANGE price cost int(11) NULL "},
        {addKeyStatement(offline, KeyKind::Primary, "shop", "items", "PRIMARY", {"c", "a", "b"}),
         "ALTER TABLE shop.items ADD PRIMARY KEY ( c,a,b )"},
        {addKeyStatement(offline, KeyKind::Index, "shop", "items", "", {"c", "a", "b"}),
         "ALTER TABLE shop.items ADD INDEX ( c,a,b )"},
        {addKeyStatement(offline, KeyKind::Index, "shop", "items", "by_c", {"c"}),
         "ALTER TABLE shop.items ADD INDEX by_c ( c )"},
        {addKeyStatement(offline, KeyKind::Unique, "shop", "items", "", {"a b"}),
         "ALTER TABLE shop.items ADD UNIQUE ( `a b` )"},
        {addKeyStatement(offline, KeyKind::Unique, "shop", "items", jp, {jp}),
         "ALTER TABLE shop.items ADD UNIQUE `" + jp + "` ( `" + jp + "` )"},
        {replacePrimaryKeyStatement(offline, "shop", "items", {"b", "a"}),
         "ALTER TABLE shop.items DROP PRIMARY KEY, ADD PRIMARY KEY ( b,a )"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.statement, c.expected);
}

TEST(StructureEditorUpdate, TheColumnKeepsWhatTheEditorDoesNotShow) {
    const std::string create =
        "CREATE TABLE `t` (\n"
        "  `id` int(11) NOT NULL AUTO_INCREMENT,\n"
        "  `a``b` varchar(10) CHARACTER SET cp932 COLLATE cp932_bin DEFAULT 'x, NOT NULL' COMMENT 'it''s',\n"
        "  `made` timestamp NULL DEFAULT NULL ON UPDATE current_timestamp(),\n"
        "  `n` decimal(10,2) DEFAULT NULL,\n"
        "  PRIMARY KEY (`id`)\n"
        ") ENGINE=InnoDB";
    EXPECT_EQ(columnDefinitionOf(create, "id"), "int(11) NOT NULL AUTO_INCREMENT");
    EXPECT_EQ(columnDefinitionOf(create, "a`b"),
              "varchar(10) CHARACTER SET cp932 COLLATE cp932_bin DEFAULT 'x, NOT NULL' COMMENT 'it''s'");
    EXPECT_EQ(columnDefinitionOf(create, "missing"), std::nullopt);
    EXPECT_EQ(columnDefinitionOf(create, "i"), std::nullopt);
    struct Case {
        const char* column;
        bool null;
        const char* definition;
    } cases[] = {
        {"id", false, "int(11) NOT NULL AUTO_INCREMENT"},
        {"id", true, "int(11) NULL AUTO_INCREMENT"},
        // The NOT NULL inside the default's quotes is not the column's.
        {"a`b", false,
         "varchar(10) CHARACTER SET cp932 COLLATE cp932_bin DEFAULT 'x, NOT NULL' COMMENT 'it''s' NOT NULL"},
        {"a`b", true,
         "varchar(10) CHARACTER SET cp932 COLLATE cp932_bin DEFAULT 'x, NOT NULL' COMMENT 'it''s'"},
        {"made", false, "timestamp NOT NULL ON UPDATE current_timestamp()"},
        {"made", true, "timestamp NULL DEFAULT NULL ON UPDATE current_timestamp()"},
        {"n", false, "decimal(10,2) NOT NULL"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(withNullness(*columnDefinitionOf(create, c.column), c.null), c.definition) << c.column;
    EXPECT_EQ(updateDefinition(columnDefinitionOf(create, "n"), "cost", "decimal(10,2)", true, true),
              "cost decimal(10,2) DEFAULT NULL PRIMARY KEY");
    EXPECT_EQ(updateDefinition(std::nullopt, "new name", "int(11)", false, false),
              "`new name` int(11) NOT NULL");
}

TEST(StructureEditorLists, ImagesAndKeyCandidates) {
    EXPECT_EQ(keyImageOf("PRI"), KeyImage::Primary);
    EXPECT_EQ(keyImageOf("MUL"), KeyImage::Multiple);
    EXPECT_EQ(keyImageOf("UNI"), KeyImage::Unique);
    EXPECT_EQ(keyImageOf(""), KeyImage::Other);
    EXPECT_EQ(keyImageOf("PR"), KeyImage::Other);

    const auto row = [](const char* field, const char* null) {
        FieldRow r;
        r.field = field;
        r.null = null;
        return r;
    };
    const std::vector<FieldRow> fields{row("id", "NO"), row("note", "YES"), row("code", "NO")};
    using List = std::vector<std::string>;
    // A nullable column goes into a unique key anywhere, into other keys on MyISAM and HEAP only.
    EXPECT_EQ(keyCandidates(fields, KeyKind::Primary, "ISAM"), (List{"id", "code"}));
    EXPECT_EQ(keyCandidates(fields, KeyKind::Index, "InnoDB"), (List{"id", "code"}));
    EXPECT_EQ(keyCandidates(fields, KeyKind::Unique, "ISAM"), (List{"id", "note", "code"}));
    for (const char* type : {"MyISAM", "HEAP", "MEMORY"}) {
        EXPECT_EQ(keyCandidates(fields, KeyKind::Primary, type), (List{"id", "note", "code"})) << type;
        EXPECT_EQ(keyCandidates(fields, KeyKind::Index, type), (List{"id", "note", "code"})) << type;
    }
}

}  // namespace
}  // namespace dbk
