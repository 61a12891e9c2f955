#include <gtest/gtest.h>

#include <QString>

#include "conn/text_codec.h"
#include "schema/add_field.h"
#include "schema/change_field.h"
#include "schema/create_table.h"
#include "schema/table_options.h"
#include "schema/value_list.h"
#include "support/test_server.h"

namespace dbk {
namespace {

ColumnDefinition row(const char* name, const char* type, const char* length = "") {
    ColumnDefinition c;
    c.name = name;
    c.type = type;
    c.length = length;
    return c;
}

// One value of a table's SHOW FULL COLUMNS row.
std::string columnInfo(Connection& c, const std::string& db, const std::string& table,
                       const std::string& field, const char* what) {
    auto column = readPresentColumn(c, ServerGeneration(c.serverVersion(), true), db, table, field);
    if (!column)
        return "(missing)";
    const std::string w = what;
    if (w == "Type")
        return column->type;
    if (w == "Null")
        return column->null ? "YES" : "NO";
    if (w == "Extra")
        return column->extra;
    if (w == "Collation")
        return column->collation;
    return column->comment;
}

std::string statusOf(Connection& c, const std::string& db, const std::string& table, const char* column) {
    Result r = c.query("SHOW TABLE STATUS FROM " + test::sqlName(db) + " LIKE '" + c.escapeLike(table) + "'");
    return r.next() ? r.text(column) : "(no row)";
}

std::string createTableText(Connection& c, const std::string& db, const std::string& table) {
    Result r = c.query("SHOW CREATE TABLE " + test::sqlName(db, table));
    return r.next() ? std::string(r.text(1U)) : c.errorLine();
}

TEST(SchemaServerTest, CreatesTablesOfEveryFamilyUnderAnyName) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_create");
    Session& session = db.session();
    Connection& c = session.connection();
    ASSERT_TRUE(session.generation().hasInnoDb());

    CreateTableModel model;
    ColumnDefinition id = row("id", "INT", "11");
    id.isUnsigned = id.autoIncrement = id.primaryKey = true;
    ColumnDefinition price = row("price", "DECIMAL", "10,2");
    price.null = true;
    price.defaultValue = "1.50";
    ColumnDefinition code = row("code", "CHAR", "4");
    code.binary = code.index = true;
    ColumnDefinition name = row("名前", "VARCHAR", "20");
    name.null = name.index = true;
    ColumnDefinition tags = row("tags", "SET", "'x','y'");
    tags.null = true;
    // Values with a quote, a comma and a backslash: as the value list editor writes them, and as
    // a list that leaves its quote single.
    const std::string odd = toShiftJis(valueListText({"it's", "c,d", "a\\b", "x\"y"}));
    for (const ColumnDefinition& column :
         {id, price, code, name, row("memo", "TEXT"), row("made", "DATE"), row("kind", "ENUM", "'a','b'"),
          tags, row("odd", "ENUM", odd.c_str()), row("typed", "SET", "'it's','plain'")}) {
        ColumnDefinition bytes = column;
        bytes.name = toShiftJis(QString::fromUtf8(column.name.c_str()));
        model.insert(-1, bytes);
    }
    struct Case {
        std::string table;
        const char* type;
        const char* engine;
    };
    const Case cases[] = {
        {"t1", "MyISAM", "MyISAM"},
        {toShiftJis(QStringLiteral("商品テーブル")), "INNOBASE", "InnoDB"},
        {"my table", "", "InnoDB"},
    };
    for (const Case& k : cases) {
        ASSERT_TRUE(c.exec(model.statement(c, db.name(), k.table, k.type, session.generation())))
            << c.errorLine();
        EXPECT_EQ(statusOf(c, db.name(), k.table, "Engine"), k.engine) << k.type;
        EXPECT_EQ(columnInfo(c, db.name(), k.table, "id", "Type"), "int(11) unsigned");
        EXPECT_EQ(columnInfo(c, db.name(), k.table, "id", "Extra"), "auto_increment");
        EXPECT_EQ(columnInfo(c, db.name(), k.table, "price", "Null"), "YES");
        EXPECT_EQ(columnInfo(c, db.name(), k.table, "code", "Collation"), "utf8mb4_bin");
        EXPECT_EQ(columnInfo(c, db.name(), k.table, toShiftJis(QStringLiteral("名前")), "Type"),
                  "varchar(20)");
        EXPECT_EQ(columnInfo(c, db.name(), k.table, "tags", "Type"), "set('x','y')");
        EXPECT_EQ(columnInfo(c, db.name(), k.table, "kind", "Null"), "NO");
        EXPECT_EQ(columnInfo(c, db.name(), k.table, "odd", "Type"), "enum('it''s','c,d','a\\\\b','x\"y')");
        EXPECT_EQ(columnInfo(c, db.name(), k.table, "typed", "Type"), "set('it''s','plain')");
    }
    // HEAP is taken as MEMORY (which stores no TEXT); ISAM is gone and the server says so.
    CreateTableModel small;
    small.insert(-1, id);
    ASSERT_TRUE(c.exec(small.statement(c, db.name(), "h", "HEAP", session.generation()))) << c.errorLine();
    EXPECT_EQ(statusOf(c, db.name(), "h", "Engine"), "MEMORY");
    EXPECT_FALSE(c.exec(small.statement(c, db.name(), "i", "ISAM", session.generation())));
    EXPECT_NE(c.errorText().find("ISAM"), std::string::npos) << c.errorText();
}

TEST(SchemaServerTest, AddsAColumnAtTheTopWithANamedIndex) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_add");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE items (id INT PRIMARY KEY, v INT)"));
    ColumnDefinition code = row("code", "CHAR", "4");
    code.binary = true;
    for (const AddFieldStep& step :
         addFieldSteps(c, db.name(), "items", code, {.atTop = true, .index = true, .indexName = "ix_code"}))
        ASSERT_TRUE(c.exec(step.statement)) << step.statement << " " << c.errorLine();
    Result columns = c.query("SHOW COLUMNS FROM items");
    ASSERT_TRUE(columns.next());
    EXPECT_EQ(columns.text("Field"), "code");
    EXPECT_EQ(columns.text("Null"), "NO");
    Result index = c.query("SHOW INDEX FROM items WHERE Key_name='ix_code'");
    ASSERT_TRUE(index.next());
    EXPECT_EQ(index.text("Column_name"), "code");
}

TEST(SchemaServerTest, AnUnchangedModifyKeepsEveryColumnAsItWas) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_modify");
    Session& session = db.session();
    Connection& c = session.connection();
    ASSERT_TRUE(
        c.exec("CREATE TABLE m (id INT(11) AUTO_INCREMENT, UNIQUE KEY (id), n INT(11) NULL, KEY (n), "
               "v VARCHAR(10) CHARACTER SET cp932 COLLATE cp932_bin DEFAULT 'a''b' COMMENT 'Bob''s', "
               "u VARCHAR(10) COLLATE utf8mb4_unicode_ci NOT NULL DEFAULT '', memo TEXT DEFAULT 'x', "
               "at TIMESTAMP NOT NULL DEFAULT current_timestamp() ON UPDATE current_timestamp(), "
               "kind ENUM('p','q,r','it''s','a\\\\b') DEFAULT 'p', price DECIMAL(10,2) UNSIGNED ZEROFILL "
               "DEFAULT 1.50, "
               "made DATE DEFAULT '2020-01-01', f FLOAT, g DATETIME(6), j JSON, h INT INVISIBLE)"))
        << c.errorLine();
    ASSERT_TRUE(
        c.exec("INSERT INTO m (id, n, v, memo, j) VALUES (NULL, 1, 'one', 'a', '[1]'), "
               "(NULL, NULL, NULL, NULL, NULL), (7, NULL, 'x', 'y', '{}')"));
    const std::string before = createTableText(c, db.name(), "m");
    Result rowsBefore = c.query("CHECKSUM TABLE m");
    ASSERT_TRUE(rowsBefore.next());
    const std::string checksum(rowsBefore.text(1U));

    for (const char* field : {"id", "n", "v", "u", "memo", "at", "kind", "price", "made", "f", "j", "h"}) {
        auto present = readPresentColumn(c, session.generation(), db.name(), "m", field);
        ASSERT_TRUE(present) << field;
        const std::string modify = modifyStatement(c, db.name(), "m", field, *present, wantedFrom(*present));
        EXPECT_TRUE(c.exec(modify)) << modify << " " << c.errorLine();
        EXPECT_EQ(createTableText(c, db.name(), "m"), before) << modify;
    }
    // A type the list does not hold is not picked: the MODIFY is refused and nothing changes.
    auto g = readPresentColumn(c, session.generation(), db.name(), "m", "g");
    ASSERT_TRUE(g);
    EXPECT_EQ(wantedFrom(*g).type, "");
    EXPECT_FALSE(c.exec(modifyStatement(c, db.name(), "m", "g", *g, wantedFrom(*g))));
    EXPECT_EQ(createTableText(c, db.name(), "m"), before);

    // New lengths: the nullable key keeps its NULLs, the AUTO_INCREMENT key counts on.
    for (const char* field : {"n", "id"}) {
        auto present = readPresentColumn(c, session.generation(), db.name(), "m", field);
        ASSERT_TRUE(present) << field;
        ColumnDefinition wanted = wantedFrom(*present);
        wanted.length = "8";
        ASSERT_TRUE(c.exec(modifyStatement(c, db.name(), "m", field, *present, wanted))) << c.errorLine();
        EXPECT_EQ(columnInfo(c, db.name(), "m", field, "Type"), "int(8)");
    }
    EXPECT_EQ(columnInfo(c, db.name(), "m", "n", "Null"), "YES");
    EXPECT_EQ(columnInfo(c, db.name(), "m", "id", "Extra"), "auto_increment");
    Result rowsAfter = c.query("CHECKSUM TABLE m");
    ASSERT_TRUE(rowsAfter.next());
    EXPECT_EQ(rowsAfter.text(1U), checksum);
    ASSERT_TRUE(c.exec("INSERT INTO m (v) VALUES ('next')"));
    EXPECT_EQ(c.insertId(), 8U);
    EXPECT_FALSE(c.exec("INSERT INTO m (j) VALUES ('not json')"));  // the JSON check is still there
}

TEST(SchemaServerTest, EveryOptionButtonChangesTheTableStatus) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_options");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE o (id INT AUTO_INCREMENT PRIMARY KEY, v VARCHAR(10)) ENGINE=MyISAM"));
    using B = OptionButton;
    struct Case {
        OptionButton button;
        const char* box;
        const char* column;
        const char* shows;  // a text the status column holds afterwards
    };
    const Case cases[] = {
        {B::AutoIncrement, "100", "Auto_increment", "100"},
        {B::AvgRowLength, "50", "Create_options", "avg_row_length=50"},
        {B::Comment, "Bob's \"table\" \\", "Comment", "Bob's \"table\" \\"},
        {B::MaxRows, "1000", "Create_options", "max_rows=1000"},
        {B::MinRows, "10", "Create_options", "min_rows=10"},
        {B::PackKeysOn, "", "Create_options", "pack_keys=1"},
        {B::PackKeysOff, "", "Create_options", "pack_keys=0"},
        {B::RowFormatStatic, "", "Row_format", "Fixed"},
        {B::RowFormatDynamic, "", "Row_format", "Dynamic"},
        {B::RowFormatCompressed, "", "Create_options", "row_format=COMPRESSED"},
        {B::RowFormatDefault, "", "Create_options", "pack_keys=0"},
    };
    for (const Case& k : cases) {
        const std::string statement =
            optionStatement(c, db.session().generation(), k.button, db.name(), "o", k.box);
        ASSERT_TRUE(c.exec(statement)) << statement << " " << c.errorLine();
        EXPECT_NE(statusOf(c, db.name(), "o", k.column).find(k.shows), std::string::npos)
            << statement << ": " << statusOf(c, db.name(), "o", k.column);
    }
    EXPECT_EQ(statusOf(c, db.name(), "o", "Create_options").find("row_format"), std::string::npos);

    TableOptionValues values;
    ASSERT_EQ(readTableOptions(c, db.name(), "o", values), OptionsOutcome::Read);
    EXPECT_EQ(values.autoIncrement, "100");
    EXPECT_EQ(values.comment, "Bob's \"table\" \\");
    EXPECT_EQ(values.maxRows, "1000");
    EXPECT_EQ(values.minRows, "10");
    EXPECT_EQ(values.packKeys, "0");
    EXPECT_EQ(readTableOptions(c, db.name(), "nothing", values), OptionsOutcome::NoRow);
    EXPECT_EQ(readTableOptions(c, "dbk no such db", "o", values), OptionsOutcome::QueryFailed);
}

TEST(SchemaServerTest, RenamesWithinTheDatabaseAndCreatesADatabaseWithABlank) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema rename");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t1 (id INT)"));
    ASSERT_TRUE(c.exec(renameTableStatement(c, db.name(), "t1", "new name"))) << c.errorLine();
    EXPECT_EQ(statusOf(c, db.name(), "new name", "Name"), "new name");
    EXPECT_EQ(statusOf(c, db.name(), "t1", "Name"), "(no row)");

    const std::string blank = "dbk schema new";
    c.exec("DROP DATABASE IF EXISTS `dbk schema new`");
    ASSERT_TRUE(c.exec(createDatabaseStatement(c, blank))) << c.errorLine();
    EXPECT_TRUE(c.query("SHOW DATABASES LIKE 'dbk schema new'").next());
    EXPECT_FALSE(c.exec(createDatabaseStatement(c, blank)));  // it exists now
    c.exec("DROP DATABASE `dbk schema new`");
}

}  // namespace
}  // namespace dbk
