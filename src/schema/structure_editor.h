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

std::string dropFieldStatement(const Connection& connection, std::string_view database,
                               std::string_view table, std::string_view field);
// DROP PRIMARY KEY for the key named exactly PRIMARY, DROP INDEX for any other.
std::string dropKeyStatement(const Connection& connection, std::string_view database, std::string_view table,
                             std::string_view key);
// "ALTER TABLE db.t CHANGE field definition".
std::string changeStatement(const Connection& connection, std::string_view database, std::string_view table,
                            std::string_view field, std::string_view definition);

// What a column is, as the server writes it in its CREATE TABLE text (UTF-8): everything after
// the name (type, character set, NULL, default, AUTO_INCREMENT, comment ...); nullopt when the
// text has no such column.
std::optional<std::string> columnDefinitionOf(std::string_view createText, std::string_view column);
// The definition with NULL or NOT NULL as asked and every other attribute as it was (a DEFAULT
// NULL goes when the column becomes NOT NULL).
std::string withNullness(std::string_view definition, bool null);
// The definition Update sends: the column's own (from the CREATE TABLE text, read in utf8mb4) under
// its new name, NULL as the box says, and PRIMARY KEY when asked for a column that is not in the
// primary key yet. Names, type and result are UTF-8. Without a definition (the column
// is gone) the name and the type as listed.
std::string updateDefinition(std::optional<std::string> ownDefinition, std::string_view newNameUtf8,
                             std::string_view listedTypeUtf8, bool null, bool primaryKey);

// The add-key form's key.
enum class KeyKind { Primary, Index, Unique };
// "ALTER TABLE db.t ADD PRIMARY KEY ( c,a,b )", "... ADD INDEX name ( ... )", "... ADD UNIQUE ( ... )".
std::string addKeyStatement(const Connection& connection, KeyKind kind, std::string_view database,
                            std::string_view table, std::string_view name,
                            const std::vector<std::string>& columns);
std::string dropPrimaryKeyStatement(const Connection& connection, std::string_view database,
                                    std::string_view table);
// "ALTER TABLE db.t DROP PRIMARY KEY, ADD PRIMARY KEY ( ... )": one statement, so that the old key
// stays when the server refuses the new one.
std::string replacePrimaryKeyStatement(const Connection& connection, std::string_view database,
                                       std::string_view table, const std::vector<std::string>& columns);
// The columns a key of this kind may take, in table order: a nullable column is left out unless
// the key is unique or the table is MyISAM or HEAP (MEMORY).
std::vector<std::string> keyCandidates(const std::vector<FieldRow>& fields, KeyKind kind,
                                       std::string_view tableType);

}  // namespace dbk
