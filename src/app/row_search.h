#pragma once

#include <QString>
#include <functional>

namespace dbk {

// The find command of the record list: which rows to test, in which order, and how a cell
// matches. The list itself is reached through a cell accessor, so the search needs no widget.
enum class SearchDirection { Up, Down };

struct RowSearchRequest {
    QString text;
    SearchDirection direction = SearchDirection::Down;
    bool matchCase = false;
    bool wholeWord = false;  // the whole cell must equal the text, not just contain it
};

struct RowSearchOutcome {
    enum Kind {
        Found,      // row holds the first matching row
        NotFound,   // no row in the searched range matches
        NoFurther,  // the start row is the row count: nothing is left to search
    };
    Kind kind = NotFound;
    int row = -1;
    bool operator==(const RowSearchOutcome&) const = default;
};

// Only the first 256 columns of a row are searched.
inline constexpr int kSearchedColumns = 256;

using CellText = std::function<QString(int row, int column)>;

// Searches the rows after `startRow` (downward) or before it (upward); `startRow` is the hot
// row, -1 when there is none. Rows outside 0..rowCount-1 are never asked for.
RowSearchOutcome searchRows(const CellText& cell, int rowCount, int columnCount, int startRow,
                            const RowSearchRequest& request);

}  // namespace dbk
