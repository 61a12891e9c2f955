#include <gtest/gtest.h>

#include "browser/record_page.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_format.h"
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

// Pages read by key, whichever way they are reached (next, previous, a jump from the start or
// from the end, with an exact or an estimated count), hold the rows the offset read gives for
// the key order, row by row; also after rows were deleted on the page or the table was refreshed.
TEST(RecordPaging, KeysetPagesAreTheOffsetPagesInKeyOrder) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_keyset");
    ConnectParams params = test::adminParams();
    params.sessionText = SessionText::Utf8;
    Connection utf8;
    ASSERT_TRUE(utf8.open(params));
    Connection& shiftJis = db.admin();
    ASSERT_TRUE(utf8.selectDb(db.name()));
    struct Case {
        const char* table;
        std::vector<const char*> setUp;
        const char* order;
        const char* filter;  // a condition on the first field, or none
        Connection& session;
    };
    const Case cases[] = {
        {"composite",
         {"CREATE TABLE composite (a INT NOT NULL, b VARCHAR(20) NOT NULL, c INT, PRIMARY KEY (a, b))",
          "INSERT INTO composite SELECT seq % 7, CONCAT(ELT(seq % 4 + 1, '伝票', 'ｶﾅ', '😀', 'a'), seq), seq "
          "FROM seq_1_to_523"},
         "a,b",
         nullptr,
         utf8},
        {"composite", {}, "a,b", "<> 3", utf8},
        {"uniq",
         {"CREATE TABLE uniq (x INT NULL, k CHAR(12) NOT NULL, v TEXT, UNIQUE KEY (x), UNIQUE KEY (k))",
          "INSERT INTO uniq SELECT IF(seq % 2, seq, NULL), CONCAT('k', LPAD(seq * 37 % 1000, 4, '0')), 'v' "
          "FROM seq_1_to_523"},
         "k",
         nullptr,
         utf8},
        {"bytes",
         {"CREATE TABLE bytes (k VARBINARY(4) PRIMARY KEY, v INT)",
          "INSERT INTO bytes SELECT UNHEX(LPAD(HEX(seq * 2654435761 % 4294967296), 8, '0')), seq "
          "FROM seq_1_to_519",
          "INSERT INTO bytes VALUES ('', 0), (X'00', 0), (X'27', 0), (X'5C00', 0)"},
         "k",
         nullptr,
         utf8},
        {"sjis",
         {"CREATE TABLE sjis (k VARCHAR(10) NOT NULL PRIMARY KEY, v INT) CHARSET cp932",
          "INSERT INTO sjis SELECT CONCAT(ELT(seq % 3 + 1, 'ソ', '表', '能'), seq), seq FROM seq_1_to_523"},
         "k",
         nullptr,
         shiftJis},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + (c.filter ? " filtered" : ""));
        for (const char* statement : c.setUp)
            ASSERT_TRUE(utf8.exec(statement)) << utf8.errorText();
        Connection& session = c.session;
        DocumentContext context = tableContext(db.name(), c.table, 50);
        FilterConditions filter;
        std::string where;
        if (c.filter) {
            context.filterFlag = 1;
            filter.set(0, 0, c.filter);
            where = std::string(" WHERE a ") + c.filter;
        }
        const long long total = std::stoll(
            test::scalar(session, format("SELECT COUNT(*) FROM %s.%s%s", db.name(), c.table, where)));
        auto expectPage = [&](RecordPager& pager, int page, bool byKey) {
            SCOPED_TRACE("page " + std::to_string(page));
            context.pageIndex = page;
            const RecordPage shown = pager.read(session, context, filter);
            ASSERT_EQ(shown.stage, RecordPage::Stage::Rows);
            Result expected = session.query(format("SELECT * FROM %s.%s%s ORDER BY %s LIMIT %d,50", db.name(),
                                                   c.table, where, c.order, page * 50));
            ASSERT_TRUE(expected.ok()) << session.errorText();
            std::vector<Row> rows;
            while (expected.next())
                rows.push_back(expected.row());
            EXPECT_EQ(shown.rows, rows);
            if (byKey)  // read from a neighbour's key, not over the rows before it
                EXPECT_EQ(shown.statements.select.find(format("LIMIT %d,", page * 50)), std::string::npos)
                    << shown.statements.select;
        };

        RecordPager pager;
        expectPage(pager, 0, false);
        ASSERT_TRUE(pager.key().has_value());
        EXPECT_EQ(pager.recordCount(), total);
        const int last = lastPageIndex(total, 50);
        for (int page = 1; page <= last + 1; ++page)
            expectPage(pager, page, true);
        for (int page = last; page >= 0; --page)
            expectPage(pager, page, page < last);  // the page after the last is empty: no key to go from
        for (int page : {7, 3, last, 5, 9, 1})     // jumps, from the nearer end
            expectPage(pager, page, false);

        // The count left to the caller: jumps go from the start until the exact count arrives.
        RecordPager estimating(0);
        context.pageIndex = 0;
        const RecordPage first = estimating.read(session, context, filter);
        EXPECT_TRUE(first.countEstimated || first.countPending);
        EXPECT_FALSE(first.countRead);
        for (int page : {last, 6, 7, 6})
            expectPage(estimating, page, false);
        // The count read with the keys (as in the background): jumps start from the nearest kept key.
        std::vector<std::vector<Cell>> anchors;
        long long keys = 0;
        Result scan = session.query(estimating.keyScanStatement(session));
        while (scan.next()) {
            if (keys++ % 37 == 0)
                anchors.push_back(scan.row());
        }
        EXPECT_EQ(keys, total);
        estimating.setExactCount(first.statements.count, keys, anchors, 37);
        EXPECT_EQ(estimating.recordCount(), total);
        for (int page : {last, 6, 3, 9, 0, 7})
            expectPage(estimating, page, false);
        // Rows deleted (by the program) before the next page: it starts with a row that was on this one.
        expectPage(pager, 4, false);
        ASSERT_TRUE(utf8.exec(
            format("CREATE TABLE saved AS SELECT * FROM %s%s ORDER BY %s LIMIT 3", c.table, where, c.order)));
        ASSERT_TRUE(utf8.exec(format("DELETE FROM %s%s ORDER BY %s LIMIT 3", c.table, where, c.order)));
        pager.rowsDeleted(3);
        EXPECT_EQ(pager.recordCount(), total - 3);
        expectPage(pager, 5, false);
        expectPage(pager, 6, true);
        // Rows added back elsewhere, then a refresh.
        ASSERT_TRUE(utf8.exec(format("INSERT INTO %s SELECT * FROM saved", c.table)));
        ASSERT_TRUE(utf8.exec("DROP TABLE saved"));
        pager.reset();
        expectPage(pager, 6, false);
        expectPage(pager, 5, true);
        if (HasFailure())
            return;
    }

    // Keys no page can be found again by: offset reading, counted as before.
    ASSERT_TRUE(utf8.exec("CREATE TABLE loose (f FLOAT PRIMARY KEY, v INT)"));
    ASSERT_TRUE(utf8.exec("INSERT INTO loose SELECT seq / 3, seq FROM seq_1_to_120"));
    RecordPager pager;
    DocumentContext context = tableContext(db.name(), "loose", 50);
    context.pageIndex = 2;
    FilterConditions filter;
    const RecordPage page = pager.read(utf8, context, filter);
    EXPECT_FALSE(pager.key().has_value());
    EXPECT_EQ(page.statements.select, format("select * from %s.loose LIMIT 100,50", db.name()));
    EXPECT_EQ(page.rows.size(), 20U);
    EXPECT_EQ(page.recordCount, 120);
}

}  // namespace
}  // namespace dbk
