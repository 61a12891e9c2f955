#include <gtest/gtest.h>

#include "browser/record_page.h"
#include "conn/dbkeeper_doc.h"
#include "support/test_server.h"

namespace dbk {
namespace {

DocumentContext tableContext(const std::string& db, const std::string& table, int rowsPerPage = 100) {
    DocumentContext c;
    c.currentDatabase = db;
    c.currentTable = table;
    c.nodeImage = 2;
    c.rowsPerPage = rowsPerPage;
    return c;
}

TEST(RecordPageReading, PagesThroughTwoHundredFiftyRecords) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_page_250");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))"));
    ASSERT_TRUE(c.exec("INSERT INTO t SELECT seq, CONCAT('v', seq) FROM seq_1_to_250"));
    FilterConditions filter;

    DocumentContext context = tableContext(db.name(), "t");
    for (int page = 0; page < 3; ++page) {
        context.pageIndex = page;
        const RecordPage p = readRecordPage(c, context, filter);
        ASSERT_EQ(p.stage, RecordPage::Stage::Rows);
        EXPECT_EQ(p.fieldNames, (std::vector<std::string>{"id", "v"}));
        EXPECT_EQ(p.rows.size(), page < 2 ? 100U : 50U);
        EXPECT_EQ(p.recordCount, 250);
        EXPECT_EQ(p.countText, "250");
        EXPECT_EQ(p.rows.front()[0], std::to_string(page * 100 + 1));
    }
    EXPECT_EQ(lastPageIndex(250, 100), 2);

    context = tableContext(db.name(), "t", 50);
    context.pageIndex = lastPageIndex(250, 50);
    const RecordPage beyond = readRecordPage(c, context, filter);
    EXPECT_EQ(beyond.stage, RecordPage::Stage::Rows);
    EXPECT_TRUE(beyond.rows.empty());
    EXPECT_EQ(beyond.fieldNames.size(), 2U);
}

TEST(RecordPageReading, FilteredPagesCountTheMatchingRecords) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_page_filter");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))"));
    ASSERT_TRUE(c.exec("INSERT INTO t SELECT seq, CONCAT('v', seq) FROM seq_1_to_250"));
    FilterConditions filter;
    filter.set(0, 0, "> 10");
    filter.set(1, 0, "<= 20");
    DocumentContext context = tableContext(db.name(), "t");
    context.filterFlag = 1;
    const RecordPage p = readRecordPage(c, context, filter);
    EXPECT_EQ(p.recordCount, 10);
    ASSERT_EQ(p.rows.size(), 10U);
    EXPECT_EQ(p.rows[0][0], "11");

    // without the filter flag the conditions are cleared
    context.filterFlag = 0;
    EXPECT_EQ(readRecordPage(c, context, filter).recordCount, 250);
    EXPECT_TRUE(filter.empty());
}

TEST(RecordPageReading, WideTablesOddNamesAndNulls) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk page names");
    Connection& c = db.admin();
    std::string columns;
    for (int i = 0; i < 70; ++i)
        columns += (i ? ", c" : "c") + std::to_string(i) + " INT";
    ASSERT_TRUE(c.exec("CREATE TABLE wide (" + columns + ")"));
    ASSERT_TRUE(c.exec("INSERT INTO wide (c0, c69) VALUES (1, 69)"));
    const std::string japanese = "\x8f\xa4\x95\x69";  // 商品
    ASSERT_TRUE(
        c.exec("CREATE TABLE " + test::sqlName(japanese) + " (`order` INT, `\x96\xbc\x91\x4f` TEXT)"));
    ASSERT_TRUE(c.exec("INSERT INTO " + test::sqlName(japanese) + " VALUES (1, '\x83\x5c\x83\x74\x83\x67')"));
    ASSERT_TRUE(c.exec("CREATE TABLE `order items` (id INT)"));
    ASSERT_TRUE(c.exec("INSERT INTO `order items` VALUES (5)"));
    FilterConditions filter;

    const RecordPage wide = readRecordPage(c, tableContext(db.name(), "wide"), filter);
    ASSERT_EQ(wide.fieldNames.size(), 70U);
    ASSERT_EQ(wide.rows.size(), 1U);
    EXPECT_EQ(wide.rows[0][69], "69");
    EXPECT_EQ(wide.rows[0][1], std::nullopt);

    const RecordPage jp = readRecordPage(c, tableContext(db.name(), japanese), filter);
    ASSERT_EQ(jp.rows.size(), 1U);
    EXPECT_EQ(jp.fieldNames[1], "\x96\xbc\x91\x4f");  // 名前 in Shift_JIS
    EXPECT_EQ(jp.rows[0][1], "\x83\x5c\x83\x74\x83\x67");

    // a filter on a field whose name is a reserved word
    filter.set(0, 0, "= 1");
    DocumentContext filtered = tableContext(db.name(), japanese);
    filtered.filterFlag = 1;
    EXPECT_EQ(readRecordPage(c, filtered, filter).recordCount, 1);

    EXPECT_EQ(readRecordPage(c, tableContext(db.name(), "order items"), filter).recordCount, 1);
}

TEST(RecordPageReading, PasswordHashesOfTheUserTableAreMasked) {
    DBK_REQUIRE_SERVER();
    Connection c = test::connectAdmin();
    FilterConditions filter;
    const RecordPage p = readRecordPage(c, tableContext("mysql", "user"), filter);
    ASSERT_EQ(p.stage, RecordPage::Stage::Rows);
    ASSERT_FALSE(p.rows.empty());
    ASSERT_GE(p.fieldNames.size(), 3U);
    EXPECT_EQ(p.fieldNames[2], "Password");
    for (const Row& row : p.rows)
        EXPECT_EQ(row[2], kMaskedPassword);
    // the other columns are shown as they are
    EXPECT_NE(p.rows[0][1], kMaskedPassword);
}

TEST(RecordPageReading, MissingTablesStopEarly) {
    DBK_REQUIRE_SERVER();
    Connection c = test::connectAdmin();
    FilterConditions filter;
    EXPECT_EQ(readRecordPage(c, tableContext("no_such_database_here", "t"), filter).stage,
              RecordPage::Stage::Nothing);
    EXPECT_EQ(readRecordPage(c, tableContext("mysql", "no_such_table"), filter).stage,
              RecordPage::Stage::Nothing);
}

}  // namespace
}  // namespace dbk
