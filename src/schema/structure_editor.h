#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dbk {

class Connection;

// The picture of a field row, told by the first three characters of its Key cell.
enum class KeyImage { Primary = 0, Multiple = 1, Unique = 2, Other = 3 };
KeyImage keyImageOf(std::string_view key);

// One row of the fields list: the cells Field, Type, Null, Key, Default, Extra; the first NULL
// ends the row (a column without a default shows neither Default nor Extra).
struct FieldRow {
    std::string field;
    std::string type;
    std::string null;
    std::string key;
    std::vector<std::string> cells;
};

// The keys list: the listing's column names and rows, each row ending at its first NULL.
struct KeyListing {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    // Key_name and Column_name of a row, read by column name ("" when the row ends before them).
    std::string keyName(size_t row) const;
    std::string columnName(size_t row) const;
};

// "SHOW FULL COLUMNS FROM db.t" read by column name; empty when the statement fails.
std::vector<FieldRow> readFieldRows(Connection& connection, std::string_view database,
                                    std::string_view table);
// "SHOW KEYS FROM db.t"; empty when the statement fails.
KeyListing readKeyListing(Connection& connection, std::string_view database, std::string_view table);

std::string dropFieldStatement(std::string_view database, std::string_view table, std::string_view field);
// DROP PRIMARY KEY for the key named exactly PRIMARY, DROP INDEX for any other.
std::string dropKeyStatement(std::string_view database, std::string_view table, std::string_view key);
// "ALTER TABLE db.t CHANGE field definition".
std::string changeStatement(std::string_view database, std::string_view table, std::string_view field,
                            std::string_view definition);

// The add-key form's key.
enum class KeyKind { Primary, Index, Unique };
// "ALTER TABLE db.t ADD PRIMARY KEY ( c,a,b )", "... ADD INDEX name ( ... )", "... ADD UNIQUE ( ... )".
std::string addKeyStatement(KeyKind kind, std::string_view database, std::string_view table,
                            std::string_view name, const std::vector<std::string>& columns);
std::string dropPrimaryKeyStatement(std::string_view database, std::string_view table);
// "ALTER TABLE db.t DROP PRIMARY KEY, ADD PRIMARY KEY ( ... )": one statement, so that the old key
// stays when the server refuses the new one.
std::string replacePrimaryKeyStatement(std::string_view database, std::string_view table,
                                       const std::vector<std::string>& columns);
// The columns a key of this kind may take, in table order: a nullable column is left out unless
// the key is unique or the table is MyISAM or HEAP (MEMORY).
std::vector<std::string> keyCandidates(const std::vector<FieldRow>& fields, KeyKind kind,
                                       std::string_view tableType);

}  // namespace dbk
