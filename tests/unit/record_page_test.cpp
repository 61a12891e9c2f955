#include <gtest/gtest.h>

#include "browser/record_page.h"
#include "conn/connection.h"

namespace dbk {
namespace {

// Statements for a session in Shift_JIS, the set a connection is opened in.
const Connection offline{ConnectParams{.characterSet = "cp932"}};

FilterConditions filterOf(std::initializer_list<std::tuple<int, size_t, const char*>> conditions) {
    FilterConditions f;
    for (const auto& [which, field, text] : conditions)
        f.set(which, field, text);
    return f;
}

TEST(RecordPageStatements, PlainPagesAndCounts) {
    const PageStatements first = pageStatements(offline, "shop", "items", 0, 100, {"id"}, nullptr);
    EXPECT_EQ(first.select, "select * from shop.items LIMIT 0,100");
    EXPECT_EQ(first.count, "select count(*) from shop.items");
    EXPECT_EQ(pageStatements(offline, "shop", "items", 200, 50, {"id"}, nullptr).select,
              "select * from shop.items LIMIT 200,50");
    // names that are not plain words are quoted
    const PageStatements odd = pageStatements(offline, "my db", "order items", 0, 100, {}, nullptr);
    EXPECT_EQ(odd.select, "select * from `my db`.`order items` LIMIT 0,100");
    EXPECT_EQ(odd.count, "select count(*) from `my db`.`order items`");
}

TEST(RecordPageStatements, FilterConditionsJoinFieldByField) {
    const std::vector<std::string> fields{"id", "name"};
    struct Case {
        FilterConditions filter;
        const char* clause;
    };
    const Case cases[] = {
        {filterOf({{0, 0, "> 10"}, {1, 0, "< 20"}}), "from db.t  WHERE id > 10 AND id < 20"},
        // only a second condition: right after WHERE, no AND
        {filterOf({{1, 1, "like 'a%'"}}), "from db.t  WHERE name like 'a%'"},
        // a third condition brings its own text
        {filterOf({{2, 0, "<> 5"}}), "from db.t  WHERE id <> 5"},
        // field order first, then condition 1 to 3
        {filterOf({{2, 0, "<> 5"}, {0, 1, "is null"}, {0, 0, "> 1"}}),
         "from db.t  WHERE id > 1 AND id <> 5 AND name is null"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(whereClause(offline, "db", "t", fields, c.filter), c.clause);
        const PageStatements s = pageStatements(offline, "db", "t", 100, 100, fields, &c.filter);
        EXPECT_EQ(s.count, std::string("Select count(*) ") + c.clause);
        EXPECT_EQ(s.select, std::string("Select * ") + c.clause + " LIMIT 100,100");
    }
    // a filter without conditions filters nothing instead of leaving a bare WHERE
    const FilterConditions none;
    EXPECT_EQ(pageStatements(offline, "db", "t", 0, 100, fields, &none).select,
              "select * from db.t LIMIT 0,100");
}

TEST(RecordPageStatements, FilterConditionsBeyondTheFieldsAreDropped) {
    FilterConditions f = filterOf({{0, 5, "= 1"}, {0, 0, "= 2"}});
    f.resize(2);
    EXPECT_EQ(whereClause(offline, "db", "t", {"a", "b"}, f), "from db.t  WHERE a = 2");
    f.clear();
    EXPECT_TRUE(f.empty());
}

TEST(RecordPaging, PageCountsAndRanges) {
    EXPECT_EQ(lastPageIndex(250, 100), 2);
    EXPECT_EQ(lastPageIndex(250, 50), 5);
    EXPECT_EQ(pageCount(250, 50), 6);
    EXPECT_EQ(pageCount(250, 100), 3);
    EXPECT_EQ(pageRangeText(1, 100, 250), QStringLiteral("1 から 100まで表示されます"));
    EXPECT_EQ(pageRangeText(2, 100, 250), QStringLiteral("101 から 200まで表示されます"));
    EXPECT_EQ(pageRangeText(3, 100, 250), QStringLiteral("201 から 250まで表示されます"));
    EXPECT_EQ(pageRangeText(4, 100, 250), QStringLiteral("表示できません"));
    EXPECT_EQ(pageRangeText(0, 100, 250), QStringLiteral("表示できません"));
}

TEST(RecordRows, SortInByteOrderBothWays) {
    std::vector<Row> rows = {{"2", "b"}, {"10", std::nullopt}, {"1", "\x83\x41"}, {"1", "a"}};
    sortRows(rows, 0, true);
    EXPECT_EQ(rows[0][0], "1");
    EXPECT_EQ(rows[0][1], "\x83\x41");  // equal keys keep their order
    EXPECT_EQ(rows[1][1], "a");
    EXPECT_EQ(rows[2][0], "10");
    EXPECT_EQ(rows[3][0], "2");
    sortRows(rows, 1, false);
    // bytes above 0x7F sort after ASCII; NULL sorts as ""
    EXPECT_EQ(rows[0][1], "\x83\x41");
    EXPECT_EQ(rows[3][1], std::nullopt);
}

TEST(RecordRows, CopiedTextHasTabsBetweenCellsAndNoFinalLineFeed) {
    const Row a{"1", "x", "y"};
    const Row b{"2", std::nullopt, "z"};
    EXPECT_EQ(rowsAsText({&a, &b}), "1\tx\ty\n2\t\tz");
    EXPECT_EQ(rowsAsText({&b}), "2\t\tz");
    EXPECT_EQ(rowsAsText({}), "");
}

}  // namespace
}  // namespace dbk

namespace dbk {
namespace {

TEST(RecordPaging, KeyConditionsAndLiteralsByColumnType) {
    const Connection utf8{ConnectParams{.characterSet = "utf8mb4"}};
    const PagingKey key{{{"a", PagingKey::Literal::Number},
                         {"名前", PagingKey::Literal::Text},
                         {"b", PagingKey::Literal::Bytes}}};
    const std::vector<Cell> values{"-12", "it's 〜", std::string("\0'\\", 3)};
    EXPECT_EQ(keyCondition(utf8, key, values, KeyBound::After),
              "(a > -12 OR (a = -12 AND `名前` > 'it\\'s 〜') OR (a = -12 AND `名前` = 'it\\'s 〜' AND b > "
              "X'00275C'))");
    EXPECT_EQ(keyCondition(utf8, {{{"id", PagingKey::Literal::Number}}}, {"7"}, KeyBound::AtOrBefore),
              "(id <= 7)");
    // only the last column's comparison takes the equal rows
    EXPECT_EQ(keyCondition(utf8, {{{"x", PagingKey::Literal::Text}, {"y", PagingKey::Literal::Text}}},
                           {"p", "q"}, KeyBound::AtOrAfter),
              "(x > 'p' OR (x = 'p' AND y >= 'q'))");
    // a number column's text that is not a plain number is sent quoted
    EXPECT_EQ(keyCondition(utf8, {{{"n", PagingKey::Literal::Number}}}, {"1 OR 1=1"}, KeyBound::Before),
              "(n < '1 OR 1=1')");

    using L = PagingKey::Literal;
    struct Case {
        const char* type;
        const char* collation;
        const char* session;
        std::optional<L> literal;
    };
    const Case cases[] = {
        {"int(11)", "", "utf8mb4", L::Number},
        {"bigint(20) unsigned", "", "cp932", L::Number},
        {"decimal(10,2)", "", "utf8mb4", L::Number},
        {"datetime(6)", "", "utf8mb4", L::Text},
        {"varbinary(8)", "", "utf8mb4", L::Bytes},
        {"varchar(20)", "utf8mb4_general_ci", "utf8mb4", L::Text},
        {"char(3)", "latin1_swedish_ci", "utf8mb4", L::Text},
        {"varchar(20)", "cp932_japanese_ci", "cp932", L::Text},
        {"varchar(20)", "", "sjis", L::Text},  // before collations: the bytes as stored
        // values the session cannot hold (emoji in cp932 or utf8mb3), or cannot read back the same
        {"varchar(20)", "utf8mb4_general_ci", "cp932", std::nullopt},
        {"varchar(20)", "utf8mb4_bin", "utf8mb3", std::nullopt},
        {"varchar(20)", "cp932_japanese_ci", "utf8mb4", std::nullopt},
        {"float", "", "utf8mb4", std::nullopt},
        {"double", "", "utf8mb4", std::nullopt},
        {"bit(8)", "", "utf8mb4", std::nullopt},
        {"enum('b','a')", "utf8mb4_general_ci", "utf8mb4", std::nullopt},
        {"set('x')", "utf8mb4_general_ci", "utf8mb4", std::nullopt},
        {"timestamp", "", "utf8mb4", std::nullopt},
        {"text", "utf8mb4_general_ci", "utf8mb4", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pagingLiteral(c.type, c.collation, c.session), c.literal) << c.type << " " << c.session;
}

}  // namespace
}  // namespace dbk
