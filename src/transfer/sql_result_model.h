#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "browser/record_page.h"
#include "transfer/sql_console.h"

namespace dbk {

// The SQL console's result list: one column per field of the last result set, one row per
// row. Cells are kept as the server sent them (bytes, NULL apart) and decoded for display;
// NULL shows as an empty cell.
class SqlResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Replaces every column and row.
    void setResult(std::vector<std::string> headings, std::vector<Row> rows, ServerEncoding encoding);
    // Drops the rows; the column headings stay.
    void clearRows();
    // Hands the rows over (to be kept elsewhere); the column headings stay.
    std::vector<Row> takeRows();
    // Shows what a statement did: a result set replaces columns and rows, a statement without
    // one leaves only the headings, a failure or an empty statement changes nothing.
    void apply(sql_console::Outcome& outcome);

    const std::vector<std::string>& headings() const { return headings_; }
    ServerEncoding encoding() const { return encoding_; }
    const std::vector<Row>& rows() const { return rows_; }
    // Cells joined by tabs, rows (given by position, shown in list order) by line feeds.
    std::string rowsText(std::vector<int> rowNumbers) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<std::string> headings_;
    std::vector<Row> rows_;
    ServerEncoding encoding_ = ServerEncoding::Utf8;
};

}  // namespace dbk
