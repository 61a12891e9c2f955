#include "transfer/sql_result_model.h"

#include <algorithm>

#include "conn/text_codec.h"

namespace dbk {

void SqlResultModel::setResult(std::vector<std::string> headings, std::vector<Row> rows,
                               ServerEncoding encoding) {
    beginResetModel();
    encoding_ = encoding;
    headings_ = std::move(headings);
    rows_ = std::move(rows);
    endResetModel();
}

void SqlResultModel::clearRows() {
    if (rows_.empty())
        return;
    beginRemoveRows(QModelIndex(), 0, static_cast<int>(rows_.size()) - 1);
    rows_.clear();
    endRemoveRows();
}

std::vector<Row> SqlResultModel::takeRows() {
    std::vector<Row> rows;
    if (rows_.empty())
        return rows;
    beginRemoveRows(QModelIndex(), 0, static_cast<int>(rows_.size()) - 1);
    rows.swap(rows_);
    endRemoveRows();
    return rows;
}

void SqlResultModel::apply(sql_console::Outcome& outcome) {
    using Kind = sql_console::Outcome::Kind;
    if (outcome.kind == Kind::NoResultSet)
        clearRows();
    if (outcome.kind == Kind::ResultSet)
        setResult(std::move(outcome.headings), std::move(outcome.rows), outcome.encoding);
}

std::string SqlResultModel::rowsText(std::vector<int> rowNumbers) const {
    std::sort(rowNumbers.begin(), rowNumbers.end());
    rowNumbers.erase(std::unique(rowNumbers.begin(), rowNumbers.end()), rowNumbers.end());
    std::vector<const Row*> selected;
    for (int row : rowNumbers) {
        if (row >= 0 && row < rowCount())
            selected.push_back(&rows_[static_cast<size_t>(row)]);
    }
    return rowsAsText(selected);
}

int SqlResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SqlResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant SqlResultModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const Row& row = rows_.at(static_cast<size_t>(index.row()));
    const size_t column = static_cast<size_t>(index.column());
    if (column >= row.size() || !row[column])
        return QString();
    return fromServer(encoding_, *row[column]);
}

QVariant SqlResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= columnCount())
        return {};
    return fromServer(encoding_, headings_[static_cast<size_t>(section)]);
}

}  // namespace dbk
