#include <gtest/gtest.h>

#include "conn/connection.h"
#include "schema/change_field.h"
#include "schema/column_definition.h"
#include "schema/field_panel.h"
#include "schema/value_list.h"

namespace dbk {
namespace {

ColumnDefinition column(const char* name, const char* type, const char* length = "") {
    ColumnDefinition c;
    c.name = name;
    c.type = type;
    c.length = length;
    return c;
}

TEST(ColumnDefinitionTest, CatalogueHoldsTheTwentyEightTypesInOrder) {
    const auto& types = typeCatalogue();
    ASSERT_EQ(types.size(), 28U);
    EXPECT_EQ(types.front(), "INT");
    EXPECT_EQ(types[10], "NUMERIC");
    EXPECT_EQ(types[11], "CHAR");
    EXPECT_EQ(types[13], "TINYBLOB");
    EXPECT_EQ(types[25], "YEAR");
    EXPECT_EQ(types.back(), "SET");
    EXPECT_EQ(familyOf("DECIMAL"), TypeFamily::Numeric);
    EXPECT_EQ(familyOf("VARCHAR"), TypeFamily::Character);
    EXPECT_EQ(familyOf("YEAR"), TypeFamily::Plain);
    EXPECT_EQ(familyOf("SET"), TypeFamily::Enumerated);
    EXPECT_EQ(familyOf("int"), std::nullopt);  // compared exactly
    EXPECT_EQ(familyOf(""), std::nullopt);
}

TEST(ColumnDefinitionTest, ColumnTextsCarryTheirPiecesWithTheirOwnBlanks) {
    ColumnDefinition id = column("id", "INT", "11");
    id.isUnsigned = true;
    id.autoIncrement = true;
    ColumnDefinition name = column("name", "VARCHAR", "20");
    name.binary = true;
    name.null = true;
    ColumnDefinition qty = column("qty", "SMALLINT", "6");
    qty.null = true;
    qty.defaultValue = "0";
    ColumnDefinition code = column("code", "CHAR", "4");
    code.defaultValue = "x";  // never written for a character column
    code.autoIncrement = true;
    ColumnDefinition both = column("n", "INT", "5");
    both.isUnsigned = both.zerofill = true;
    both.defaultValue = "5";
    both.autoIncrement = true;
    ColumnDefinition memo = column("memo", "TEXT", "99");  // a plain type has no length piece
    memo.binary = memo.isUnsigned = true;
    ColumnDefinition flags = column("e", "ENUM");
    ColumnDefinition values = column("e", "SET", "'a','b'");
    values.null = true;
    struct Case {
        ColumnDefinition column;
        ColumnHead head;
        const char* text;
    };
    const Case cases[] = {
        {id, ColumnHead::CreateLine, "id INT(11)  UNSIGNED  NOT NULL  AUTO_INCREMENT "},
        {name, ColumnHead::CreateLine, "name VARCHAR(20)  BINARY  NULL "},
        {memo, ColumnHead::CreateLine, "memo TEXT NOT NULL "},
        {qty, ColumnHead::Add, "qty SMALLINT (6)  NULL  DEFAULT 0"},
        {column("d", "DATE"), ColumnHead::Modify, "DATE NOT NULL "},
        {code, ColumnHead::Add, "code CHAR (4)  NOT NULL "},
        {both, ColumnHead::CreateLine, "n INT(5)  UNSIGNED  ZEROFILL  NOT NULL  DEFAULT 5 AUTO_INCREMENT "},
        {both, ColumnHead::Modify, "INT(5)  UNSIGNED  ZEROFILL  NOT NULL  DEFAULT 5"},
        {column("n", "INT"), ColumnHead::CreateLine, "n INT NOT NULL "},
        {flags, ColumnHead::CreateLine, "e ENUM NOT NULL "},
        {values, ColumnHead::Modify, "SET('a','b')  NULL "},
        // The values are written as the server reads them, whatever quoting they came with.
        {column("k", "ENUM", "'it's','plain'"), ColumnHead::CreateLine, "k ENUM('it''s','plain')  NOT NULL "},
        {column("k", "SET", "'it''s','a\\\\b','c,d'"), ColumnHead::Modify,
         "SET('it''s','a\\\\b','c,d')  NOT NULL "},
        {column("k", "ENUM", "x,y"), ColumnHead::Modify, "ENUM('x','y')  NOT NULL "},
        {column("my col", "INT", "3"), ColumnHead::Add, "`my col` INT (3)  NOT NULL "},
        {column("c", ""), ColumnHead::Modify, ""},
        {column("c", ""), ColumnHead::CreateLine, "c "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(columnText(c.column, c.head, NameQuoting::ShiftJis), c.text) << c.text;

    // Attributes a change keeps go after the type's own pieces and at the end.
    const KeptAttributes kept{"CHARACTER SET cp932", {"DEFAULT 'a'", "COMMENT 'c'"}};
    EXPECT_EQ(columnText(name, ColumnHead::Modify, NameQuoting::ShiftJis, kept),
              "VARCHAR(20)  BINARY  CHARACTER SET cp932  NULL  DEFAULT 'a'  COMMENT 'c' ");
}

TEST(FieldPanelTest, EachFamilySetsTheBoxesAndTheFocusPerForm) {
    using B = BoxChange;
    using F = PanelFocus;
    using P = PanelForm;
    struct Case {
        PanelForm form;
        const char* type;
        PanelRule rule;
    };
    const Case cases[] = {
        {P::CreateTable, "INT", {B::Enable, B::Clear, B::Enable, B::Enable, B::Enable, F::Length}},
        {P::CreateTable, "DECIMAL", {B::Enable, B::Clear, B::Enable, B::Enable, B::Enable, F::Default}},
        {P::CreateTable, "VARCHAR", {B::Clear, B::Enable, B::Enable, B::Keep, B::Disable, F::Length}},
        {P::CreateTable, "TEXT", {B::Clear, B::Clear, B::Clear, B::Disable, B::Disable, F::Null}},
        {P::CreateTable, "ENUM", {B::Clear, B::Clear, B::Disable, B::Disable, B::Disable, F::Null}},
        {P::AddField, "DOUBLE", {B::Enable, B::Clear, B::Enable, B::Enable, B::Enable, F::Default}},
        {P::AddField, "NUMERIC", {B::Enable, B::Clear, B::Enable, B::Enable, B::Enable, F::Length}},
        {P::AddField, "CHAR", {B::Clear, B::Enable, B::Enable, B::Keep, B::Keep, F::Length}},
        {P::AddField, "DATE", {B::Clear, B::Clear, B::Clear, B::Disable, B::Keep, F::Null}},
        {P::AddField, "SET", {B::Clear, B::Clear, B::Disable, B::Disable, B::Keep, F::Null}},
        {P::ChangeField, "NUMERIC", {B::Enable, B::Clear, B::Enable, B::Enable, B::Enable, F::Default}},
        {P::ChangeField, "TINYINT", {B::Enable, B::Clear, B::Enable, B::Enable, B::Enable, F::Length}},
        {P::ChangeField, "CHAR", {B::Clear, B::Enable, B::Enable, B::Keep, B::Keep, F::Length}},
        {P::ChangeField, "BLOB", {B::Clear, B::Clear, B::Clear, B::Disable, B::Keep, F::Stay}},
        {P::ChangeField, "ENUM", {B::Clear, B::Clear, B::Disable, B::Disable, B::Keep, F::Stay}},
    };
    for (const Case& c : cases) {
        const auto rule = panelRule(c.form, c.type);
        ASSERT_TRUE(rule) << c.type;
        EXPECT_EQ(*rule, c.rule) << c.type << " in form " << int(c.form);
    }
    EXPECT_EQ(panelRule(P::CreateTable, ""), std::nullopt);
    EXPECT_EQ(panelRule(P::AddField, "JSON"), std::nullopt);
    EXPECT_TRUE(takesValueList("ENUM") && takesValueList("SET"));
    EXPECT_FALSE(takesValueList("VARCHAR"));
    EXPECT_STREQ(lengthCaption("SET"), "列挙");
    EXPECT_STREQ(lengthCaption("INT"), "データ長");
}

TEST(ValueListTest, ReadsSortsRefusesPrefixesAndWritesTheList) {
    struct Case {
        QString text;
        QStringList items;
        QString written;
    };
    const Case cases[] = {
        {"", {}, ""},
        {"'x','y'", {"x", "y"}, "'x','y'"},
        {"'b','a'", {"a", "b"}, "'a','b'"},
        {"'B','a','c'", {"a", "B", "c"}, "'a','B','c'"},
        {"a,,b", {"", "a", "b"}, "'','a','b'"},
        {"'it''s'", {"it's"}, "'it''s'"},
        // A quote that does not close the value is one of its characters; blanks around a
        // quoted value are not.
        {"'it's','x'", {"it's", "x"}, "'it''s','x'"},
        {"'a' , 'b,c' ", {"a", "b,c"}, "'a','b,c'"},
        {"'a\\\\b','c\\'d','\\%'", {"\\%", "a\\b", "c'd"}, "'\\\\%','a\\\\b','c''d'"},
        {"x'y,", {"", "x'y"}, "'','x''y'"},
        {"'open,", {"open,"}, "'open,'"},
    };
    for (const Case& c : cases) {
        const ValueList list(c.text);
        EXPECT_EQ(list.items(), c.items) << c.text.toStdString();
        EXPECT_EQ(list.text(), c.written) << c.text.toStdString();
    }

    // Any values, quotes, commas, backslashes and blanks among them, come back from their text,
    // and that text from them (the server reads the same values from it, see the server tests).
    const QString alphabet = QStringLiteral("a',\\ %_\"表\t");
    uint32_t seed = 12345;
    const auto random = [&](uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % below;
    };
    for (int round = 0; round < 2000; ++round) {
        QStringList values;
        const uint32_t count = 1 + random(6);
        for (uint32_t v = 0; v < count; ++v) {
            QString value;
            const uint32_t length = random(7);
            for (uint32_t i = 0; i < length; ++i)
                value += alphabet[random(static_cast<uint32_t>(alphabet.size()))];
            values << value;
        }
        const QString text = valueListText(values);
        ASSERT_EQ(parseValueList(text), values) << text.toStdString();
        ASSERT_EQ(valueListText(parseValueList(text)), text);
        ASSERT_EQ(ValueList(text).text(), ValueList(ValueList(text).text()).text());
    }
    // More values than the old limit of 257 come back as they went.
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("v%1").arg(i, 3, 10, QChar(u'0'));
    EXPECT_EQ(ValueList(many.join(u',')).items(), many);

    ValueList list(QStringLiteral("'ab','bc'"));
    EXPECT_EQ(list.add("Ab"), ValueList::AddOutcome::Refused);
    EXPECT_EQ(list.add("b"), ValueList::AddOutcome::Refused);  // bc begins with it
    EXPECT_EQ(list.add(""), ValueList::AddOutcome::Ignored);
    EXPECT_EQ(list.add("abc"), ValueList::AddOutcome::Added);  // no item begins with abc
    EXPECT_EQ(list.add("Aa"), ValueList::AddOutcome::Added);
    EXPECT_EQ(list.text(), "'Aa','ab','abc','bc'");

    // Edit and delete act on the current item.
    EXPECT_EQ(list.edit("zz"), ValueList::ChangeOutcome::Ignored);
    list.select(3);
    EXPECT_EQ(list.current(), "bc");
    EXPECT_EQ(list.edit(""), ValueList::ChangeOutcome::Ignored);
    EXPECT_EQ(list.edit("a0"), ValueList::ChangeOutcome::Done);
    EXPECT_EQ(list.text(), "'a0','Aa','ab','abc'");
    EXPECT_EQ(list.current(), std::nullopt);
    list.select(2);
    EXPECT_EQ(list.remove("ab"), ValueList::ChangeOutcome::Done);
    EXPECT_EQ(list.text(), "'a0','Aa','abc'");
    list.select(0);
    ASSERT_EQ(list.remove("a0"), ValueList::ChangeOutcome::Done);
    EXPECT_EQ(list.remove("x"), ValueList::ChangeOutcome::Ignored);  // nothing current any more
}

TEST(ChangeFieldTest, ReportedTypesSplitIntoThePanelOrStayOutside) {
    struct Case {
        const char* reported;
        ParsedType parsed;
    };
    const Case cases[] = {
        {"int(11) unsigned zerofill", {"INT", "11", true, true, false, false}},
        {"int unsigned", {"INT", "", true, false, false, false}},
        {"decimal(10,2)", {"DECIMAL", "10,2", false, false, false, false}},
        {"varchar(20) binary", {"VARCHAR", "20", false, false, true, false}},
        {"enum('a','b)','it''s')", {"ENUM", "'a','b)','it''s'", false, false, false, false}},
        {"timestamp", {"TIMESTAMP", "", false, false, false, false}},
        {"year(4)", {"YEAR", "", false, false, false, false}},
        {"longtext", {"LONGTEXT", "", false, false, false, false}},
        {"datetime(6)", {"", "6", false, false, false, true}},
        {"json", {"", "", false, false, false, true}},
        {"bit(1)", {"", "1", false, false, false, true}},
        {"varbinary(16)", {"", "16", false, false, false, true}},
        {"int(11) auto_increment", {"", "11", false, false, false, true}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseColumnType(c.reported), c.parsed) << c.reported;
}

}  // namespace
}  // namespace dbk
