#include "schema/create_table.h"

#include <algorithm>

#include "conn/connection.h"
#include "conn/server_generation.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {

const char* flag(bool set) {
    return set ? "YES" : "";
}

// The names of the rows that belong to a key, in grid order, joined by ",".
template <class Member>
std::string keyColumns(const Connection& connection, const std::vector<ColumnDefinition>& rows,
                       Member member) {
    std::string list;
    for (const ColumnDefinition& row : rows) {
        if (row.name.empty())
            break;
        if (row.*member) {
            if (!list.empty())
                list += ",";
            list += connection.ident(row.name);
        }
    }
    return list;
}

}  // namespace

int CreateTableModel::columnWidth(int column) {
    static const int widths[kColumnCount] = {100, 75, 65, 70, 70, 45, 45, 50, 60, 65, 90};
    return column >= 0 && column < kColumnCount ? widths[column] : 0;
}

std::string CreateTableModel::cellText(const ColumnDefinition& row, int column) {
    switch (column) {
        case 0:
            return row.name;
        case 1:
            return row.type;
        case 2:
            return row.length;
        case 3:
            return flag(row.isUnsigned);
        case 4:
            return flag(row.zerofill);
        case 5:
            return flag(row.null);
        case 6:
            return flag(row.primaryKey);
        case 7:
            return flag(row.index);
        case 8:
            return flag(row.binary);
        case 9:
            return flag(row.autoIncrement);
        case 10:
            return row.defaultValue;
        default:
            return {};
    }
}

int CreateTableModel::findByName(std::string_view name, ServerEncoding encoding) const {
    const QString wanted = fromServer(encoding, name);
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (QString::compare(fromServer(encoding, rows_[i].name), wanted, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

void CreateTableModel::insert(int index, ColumnDefinition row) {
    if (index < 0 || index > static_cast<int>(rows_.size()))
        index = static_cast<int>(rows_.size());
    rows_.insert(rows_.begin() + index, std::move(row));
}

void CreateTableModel::remove(int index) {
    if (index >= 0 && index < static_cast<int>(rows_.size()))
        rows_.erase(rows_.begin() + index);
}

std::string CreateTableModel::statement(const Connection& connection, std::string_view database,
                                        std::string_view table, std::string_view tableType,
                                        const ServerGeneration& generation) const {
    std::string sql = "CREATE TABLE " + connection.qualifiedName(database, table) + " (\n";
    for (size_t i = 0; i < rows_.size() && !rows_[i].name.empty(); ++i) {
        sql += columnText(rows_[i], ColumnHead::CreateLine, connection.nameQuoting());
        if (i + 1 < rows_.size())
            sql += ",\n";
    }
    if (const std::string primary = keyColumns(connection, rows_, &ColumnDefinition::primaryKey);
        !primary.empty())
        sql += ",\nPRIMARY KEY ( " + primary + " )\n";
    if (const std::string index = keyColumns(connection, rows_, &ColumnDefinition::index); !index.empty())
        sql += ",\nINDEX ( " + index + " )\n";
    if (tableType.empty()) {
        sql += "\n);";
    } else {
        sql += "\n)" + generation.tableTypeClause(tableType) + ";";
    }
    return sql;
}

std::vector<std::string> CreateTableModel::tableTypes(const ServerGeneration& generation) {
    std::vector<std::string> types = {"MyISAM", "ISAM", "HEAP"};
    if (generation.hasInnoDb())
        types.push_back("INNOBASE");
    std::stable_sort(types.begin(), types.end(), [](const std::string& a, const std::string& b) {
        return QString::compare(QString::fromLatin1(a), QString::fromLatin1(b), Qt::CaseInsensitive) < 0;
    });
    return types;
}

}  // namespace dbk
