#include "app/row_search.h"

#include <algorithm>

namespace dbk {

namespace {
bool cellMatches(const QString& cell, const QString& text, const RowSearchRequest& request) {
    const QString compared = request.matchCase ? cell : cell.toUpper();
    return request.wholeWord ? compared == text : compared.contains(text);
}
}  // namespace

RowSearchOutcome searchRows(const CellText& cell, int rowCount, int columnCount, int startRow,
                            const RowSearchRequest& request) {
    if (startRow == rowCount)
        return {RowSearchOutcome::NoFurther, -1};

    const QString text = request.matchCase ? request.text : request.text.toUpper();
    const int columns = std::min(columnCount, kSearchedColumns);
    const auto rowMatches = [&](int row) {
        for (int column = 0; column < columns; ++column) {
            if (cellMatches(cell(row, column), text, request))
                return true;
        }
        return false;
    };

    if (request.direction == SearchDirection::Down) {
        for (int row = std::max(startRow + 1, 0); row < rowCount; ++row) {
            if (rowMatches(row))
                return {RowSearchOutcome::Found, row};
        }
    } else {
        // A start beyond the list (the list shrank under it) begins at the last row.
        for (int row = std::min(startRow - 1, rowCount - 1); row >= 0; --row) {
            if (rowMatches(row))
                return {RowSearchOutcome::Found, row};
        }
    }
    return {RowSearchOutcome::NotFound, -1};
}

}  // namespace dbk
