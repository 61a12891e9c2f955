#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "schema/column_definition.h"

namespace dbk {

class Connection;
class ServerGeneration;

// A column as the server reports it (SHOW FULL COLUMNS, read by column name).
struct PresentColumn {
    std::string name;
    std::string type;       // as reported: int(11) unsigned, enum('a','b'), datetime(6) ...
    std::string collation;  // "" for columns without a character set
    bool null = false;
    std::string key;
    std::optional<std::string> defaultValue;  // the value as reported; nullopt for NULL
    std::string extra;                        // auto_increment, on update current_timestamp() ...
    std::string comment;
    // The default as SQL text (a quoted literal or an expression); nullopt for none or NULL.
    std::optional<std::string> defaultSql;
    // The column's own CHECK (...) clause, "" for none.
    std::string check;
};

// A reported type split into what the panel shows. outside is true for a type the catalogue
// does not hold (JSON, BIT, VARBINARY, DATETIME(6) ...): the form then picks no type.
struct ParsedType {
    std::string type;    // catalogue entry, "" when outside
    std::string length;  // the text between the parentheses
    bool isUnsigned = false;
    bool zerofill = false;
    bool binary = false;
    bool outside = false;
    bool operator==(const ParsedType&) const = default;
};
ParsedType parseColumnType(std::string_view reported);

// "SHOW FULL COLUMNS FROM db.table LIKE 'field'", the LIKE pattern matching the name alone.
std::string showColumnStatement(const Connection& connection, std::string_view database,
                                std::string_view table, std::string_view field);

// The CHECK clause at the end of a column's line in SHOW CREATE TABLE, "" when it has none.
std::string columnCheckClause(std::string_view createTable, std::string_view column, NameQuoting quoting);

// Reads the column; nullopt when the statement fails or the table has no such column.
std::optional<PresentColumn> readPresentColumn(Connection& connection, const ServerGeneration& generation,
                                               std::string_view database, std::string_view table,
                                               std::string_view field);

// The panel as it starts for a present column: its type (none when outside the catalogue),
// length or value list, UNSIGNED, ZEROFILL, BINARY, NULL and default.
ColumnDefinition wantedFrom(const PresentColumn& present);

// What the change keeps of the present column for the chosen definition: the character set
// and collation of a type that has one, ON UPDATE of TIMESTAMP and DATETIME, AUTO_INCREMENT of
// a numeric type, INVISIBLE, the comment, the column's CHECK constraint, and the default of a
// non-numeric column that keeps its type.
KeptAttributes keptAttributes(const Connection& connection, const PresentColumn& present,
                              const ColumnDefinition& wanted);

// "ALTER TABLE db.table MODIFY field definition"; with no type chosen the definition is empty.
// The field keeps its name; `present` is what was read of it (empty when nothing was).
std::string modifyStatement(const Connection& connection, std::string_view database, std::string_view table,
                            std::string_view field, const PresentColumn& present,
                            const ColumnDefinition& wanted);

}  // namespace dbk
