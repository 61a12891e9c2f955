#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "conn/text_codec.h"
#include "transfer/copy_engine.h"
#include "transfer/database_copy.h"
#include "transfer/server_copy.h"
#include "transfer/table_copy.h"

namespace dbk {
namespace {

TEST(CopyBatches, TheCountIsTheRowsDividedByTheBatchSizePlusTheEmptyLastPage) {
    const std::optional<uint64_t> none;
    struct Case {
        const char* rows;
        const char* batch;
        std::optional<uint64_t> count;
    } cases[] = {
        {"2500", "1000", 3},
        {"2500", "500", 6},
        {"1000", "1000", 2},  // a full last page is followed by an empty one
        {"0", "1000", 1},
        {"2500", "10000000", 1},
        {"2500", " 500 ", 6},
        {"2500", "1", 2501},
        // No division by 0, nothing for text that is not a count.
        {"2500", "0", none},
        {"2500", "abc", none},
        {"2500", "", none},
        {"2500", "-5", none},
        {"2500", "12x", none},
        {"2500", "99999999999999999999999", none},
        {"", "1000", none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(batchCount(c.rows, c.batch), c.count) << c.rows << " / " << c.batch;
    EXPECT_EQ(batchCountText(3), QStringLiteral("3回に分割"));
    EXPECT_EQ(batchCountText(none), QString());
    EXPECT_EQ(batchRowsFromText("10000000"), 10000000U);
    EXPECT_EQ(batchRowsFromText("0"), none);
}

TEST(CopyBatches, LogPagesFollowTheBatchSize) {
    struct Case {
        uint64_t page;
        uint64_t rows;
        uint64_t from;
        uint64_t to;
    } cases[] = {
        {0, 1000, 0, 1000},
        {2, 1000, 2000, 3000},
        {3, 500, 1500, 2000},
        {1, 1, 1, 2},
        {0, 10000000, 0, 10000000},
        {1, 10000000, 10000000, 20000000},
        {1000, 10000000, 10000000000ULL, 10010000000ULL},  // past 32 bits
    };
    for (const Case& c : cases)
        EXPECT_EQ(CopyEngine::pageRange(c.page, c.rows), (CopyEngine::PageRange{c.from, c.to}))
            << c.page << " x " << c.rows;
    EXPECT_EQ(fromShiftJis(copyLogPageStart(10000000000ULL, 10010000000ULL)),
              QStringLiteral("データ取得開始 10000000000 - 10010000000     "));
    EXPECT_EQ(fromShiftJis(copyLogPageDone(1500, 2000)), QStringLiteral("データ取得成功 1500 - 2000\n"));
}

TEST(CopyBatches, AStatementNeverOutgrowsThePacketTheTargetTakes) {
    const size_t mb = 1024 * 1024;
    struct Case {
        unsigned long long packet;
        size_t statement;
        size_t batch;
    } cases[] = {
        {16 * mb, 16 * mb - 1024, mb},   // MariaDB's default: batches of 1 MB
        {64 * mb, 16 * mb - 1024, mb},   // the client library sends no more than 16 MB
        {1 * mb, mb - 1024, mb - 1024},  // room for the packet's header
        {200 * 1024, 200 * 1024 - 1024, 200 * 1024 - 1024},
        {4096, 4096, 4096},  // too small to leave room: all of it
        {1024, 1024, 1024},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CopyEngine::statementLimits(c.packet), (CopyEngine::StatementLimits{c.statement, c.batch}))
            << c.packet;
}

TEST(DatabaseCopyViews, TheViewMovesToTheNewDatabaseWithItsOptions) {
    struct Case {
        ViewDefinition definition;
        const char* view;
        const char* expected;
    } cases[] = {
        {{"select `src`.`t`.`a` AS `a` from `src`.`t`", "UNDEFINED", "DEFINER", "NONE"},
         "v",
         "CREATE ALGORITHM=UNDEFINED SQL SECURITY DEFINER VIEW dst.v AS select `dst`.`t`.`a` AS `a` from "
         "`dst`.`t`"},
        // A database of a similar name and one elsewhere stay; a check option is kept.
        {{"select 1 AS `x` from `src2`.`t` join `src`.`u` where `src`.`u`.`b` = 'src.'", "MERGE", "INVOKER",
          "CASCADED"},
         "my view",
         "CREATE ALGORITHM=MERGE SQL SECURITY INVOKER VIEW dst.`my view` AS select 1 AS `x` from `src2`.`t` "
         "join "
         "`dst`.`u` where `dst`.`u`.`b` = 'src.' WITH CASCADED CHECK OPTION"},
        // A server that does not name the options.
        {{"select 1 AS `1`", "", "", ""}, "v", "CREATE VIEW dst.v AS select 1 AS `1`"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(viewInDatabase(c.definition, c.view, "src", "dst"), c.expected) << c.view;
}

// Only names that qualify another name and are the source's change; texts, comments, names that
// merely resemble it and a column of the same name stay.
TEST(DatabaseCopyViews, OnlyTheSourceDatabasesNamesChange) {
    struct Case {
        const char* query;
        const char* expected;
    } cases[] = {
        {"select 'see `vw`.t' AS `n` from `vw`.`t`", "select 'see `vw`.t' AS `n` from `vw_copy`.`t`"},
        {"select \"`vw`.\", 'it''s `vw`.', 'a\\'`vw`.' from `vw` . `t`",
         "select \"`vw`.\", 'it''s `vw`.', 'a\\'`vw`.' from `vw_copy` . `t`"},
        {"select `vw` AS `vw`, `vw`.`vw`.`vw` from `vw`.`vw` /* `vw`.x */",
         "select `vw` AS `vw`, `vw_copy`.`vw`.`vw` from `vw_copy`.`vw` /* `vw`.x */"},
        {"select `vw2`.`t`.`a`, `v``w`.`t`.`b`, vw.c from `xvw`.`t`",
         "select `vw2`.`t`.`a`, `v``w`.`t`.`b`, vw.c from `xvw`.`t`"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(viewQueryInDatabase(c.query, "vw", "vw_copy"), c.expected) << c.query;
    EXPECT_EQ(viewQueryInDatabase("select `a``b`.`t`.`x` from `a``b`.`t`", "a`b", "c`d"),
              "select `c``d`.`t`.`x` from `c``d`.`t`");

    // One pass: a definition of 1 MiB full of references and texts naming the database takes
    // no longer than a few copies of it would.
    std::string query = "select 1";
    std::string expected = query;
    while (query.size() < (1u << 20)) {
        query += ", `vw`.`t`.`a`, 'x `vw`.t'";
        expected += ", `vw_copy`.`t`.`a`, 'x `vw`.t'";
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string rewritten = viewQueryInDatabase(query, "vw", "vw_copy");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(rewritten, expected);
    EXPECT_LT(seconds, 0.5);
}

}  // namespace
}  // namespace dbk
