#include <gtest/gtest.h>

#include <QStringList>
#include <vector>

#include "app/row_search.h"

namespace dbk {
namespace {

using Grid = std::vector<QStringList>;

// A cell accessor over a grid that fails the test when a cell outside the list is asked for.
CellText cellsOf(const Grid& grid, int columnCount) {
    return [&grid, columnCount](int row, int column) -> QString {
        if (row < 0 || row >= static_cast<int>(grid.size()) || column < 0 || column >= columnCount) {
            ADD_FAILURE() << "cell (" << row << ", " << column << ") is outside the list";
            return {};
        }
        return column < grid[row].size() ? grid[row][column] : QString();
    };
}

RowSearchOutcome search(const Grid& grid, int columnCount, int start, const RowSearchRequest& request) {
    return searchRows(cellsOf(grid, columnCount), static_cast<int>(grid.size()), columnCount, start, request);
}

constexpr auto Down = SearchDirection::Down;
constexpr auto Up = SearchDirection::Up;
constexpr RowSearchOutcome found(int row) {
    return {RowSearchOutcome::Found, row};
}
constexpr RowSearchOutcome kNotFound{RowSearchOutcome::NotFound, -1};
constexpr RowSearchOutcome kNoFurther{RowSearchOutcome::NoFurther, -1};

struct Case {
    const char* name;
    int start;
    RowSearchRequest request;
    RowSearchOutcome expected;
};

TEST(RowSearch, DirectionCaseAndWholeWord) {
    const Grid grid = {
        {"Apple", "banana"},
        {"cherry", "APPLE pie"},
        {"apple", "東京タワー"},
        {"ｄｂｋｅｅｐｅｒ", "pie"},
    };
    const std::vector<Case> cases = {
        {"no hot row searches from the first row", -1, {"apple", Down}, found(0)},
        {"downward starts after the hot row", 0, {"apple", Down}, found(1)},
        {"downward skips rows without a match", 1, {"apple", Down}, found(2)},
        {"downward from the last row finds nothing", 3, {"apple", Down}, kNotFound},
        {"downward past every match", 2, {"apple", Down}, kNotFound},
        {"upward from the second row finds the first row", 1, {"apple", Up}, found(0)},
        {"upward starts before the hot row", 3, {"apple", Up}, found(2)},
        {"upward from the first row finds nothing", 0, {"apple", Up}, kNotFound},
        {"upward without a hot row finds nothing", -1, {"apple", Up}, kNotFound},
        {"match case off ignores the case of the text", -1, {"APPLE", Down}, found(0)},
        {"match case on skips other cases", -1, {"apple", Down, true}, found(2)},
        {"match case on, upper-case text", 0, {"APPLE", Down, true}, found(1)},
        {"match case on, upward", 3, {"Apple", Up, true}, found(0)},
        {"contains finds a part of a cell", -1, {"pie", Down}, found(1)},
        {"whole word needs the whole cell", -1, {"pie", Down, false, true}, found(3)},
        {"whole word ignoring case", 0, {"apple", Down, false, true}, found(2)},
        {"whole word with match case", -1, {"Apple", Down, true, true}, found(0)},
        {"whole word with match case, no equal cell", 0, {"Apple", Down, true, true}, kNotFound},
        {"contains a part of a Japanese cell", -1, {"京タ", Down}, found(2)},
        {"whole word rejects a part of a Japanese cell", -1, {"東京", Down, false, true}, kNotFound},
        {"full-width letters compared without case", -1, {"ＤＢＫＥＥＰＥＲ", Down}, found(3)},
        {"full-width letters with match case", -1, {"ＤＢＫＥＥＰＥＲ", Down, true}, kNotFound},
        {"later columns are searched", -1, {"banana", Down}, found(0)},
        {"a hot row at the row count means nothing further", 4, {"apple", Up}, kNoFurther},
        {"a hot row at the row count, downward", 4, {"apple", Down}, kNoFurther},
        {"a hot row beyond the list, upward, starts at the last row", 9, {"pie", Up}, found(3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(search(grid, 2, c.start, c.request), c.expected);
    }
}

TEST(RowSearch, OnlyTheFirst256ColumnsAreSearched) {
    constexpr int kColumns = 300;
    Grid grid(3);
    for (QStringList& row : grid) {
        for (int column = 0; column < kColumns; ++column)
            row.append(QStringLiteral("x%1").arg(column));
    }
    grid[0][256] = "needle";  // beyond the searched columns
    grid[1][255] = "needle";  // the last searched column
    grid[2][299] = "needle";

    EXPECT_EQ(search(grid, kColumns, -1, {"needle", Down}), found(1));
    EXPECT_EQ(search(grid, kColumns, -1, {"needle", Down, false, true}), found(1));
    EXPECT_EQ(search(grid, kColumns, 1, {"needle", Down}), kNotFound);
    EXPECT_EQ(search(grid, kColumns, 2, {"needle", Up}), found(1));
    EXPECT_EQ(search(grid, kColumns, 1, {"needle", Up}), kNotFound);
}

TEST(RowSearch, ColumnsBeyondTheColumnCountAreNeverAsked) {
    // The accessor fails the test when asked for column 2 or later.
    const Grid grid = {{"a", "b", "needle"}, {"c", "needle"}};
    EXPECT_EQ(search(grid, 2, -1, {"needle", Down}), found(1));
    EXPECT_EQ(search(grid, 0, -1, {"needle", Down}), kNotFound);
}

TEST(RowSearch, EmptyList) {
    const Grid empty;
    EXPECT_EQ(search(empty, 3, -1, {"x", Down}), kNotFound);
    EXPECT_EQ(search(empty, 3, -1, {"x", Up}), kNotFound);
    EXPECT_EQ(search(empty, 3, 0, {"x", Down}), kNoFurther);
}

}  // namespace
}  // namespace dbk
