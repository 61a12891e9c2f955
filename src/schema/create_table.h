#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "conn/text_codec.h"
#include "schema/column_definition.h"

namespace dbk {

class Connection;
class ServerGeneration;

// The columns of the create-table grid, in statement order, and the statement they make.
class CreateTableModel {
public:
    // The grid's eleven columns: Field, Data Type, Data Length, UNSIGNED, ZEROFILL, NULL, PRI,
    // INDEX, BINARY, AUTO_INC, Default.
    static constexpr int kColumnCount = 11;
    // Message numbers of the headings and the widths of the columns.
    static int headingId(int column) { return 10113 + column; }
    static int columnWidth(int column);
    // The cell text of a row: the texts as typed, "YES" or "" for a flag.
    static std::string cellText(const ColumnDefinition& row, int column);

    const std::vector<ColumnDefinition>& rows() const { return rows_; }
    // The row with this name, compared as whole texts without regard to case; -1 when none.
    int findByName(std::string_view name, ServerEncoding encoding) const;
    // Places a row at `index` (the end when it is past the last row or negative).
    void insert(int index, ColumnDefinition row);
    void remove(int index);

    // CREATE TABLE of the grid: the column lines, the primary key and index clauses, and the
    // table type clause when a type is chosen. Line breaks are "\n"; names go through ident.
    std::string statement(const Connection& connection, std::string_view database, std::string_view table,
                          std::string_view tableType, const ServerGeneration& generation) const;

    // The table types the server can be asked for, in alphabetical order without regard to
    // case: MyISAM, ISAM, HEAP, and INNOBASE when the server has InnoDB.
    static std::vector<std::string> tableTypes(const ServerGeneration& generation);

private:
    std::vector<ColumnDefinition> rows_;
};

}  // namespace dbk
