#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dbk {

enum class NameQuoting;

// The four kinds of column type; the kind alone decides which attributes a column carries.
enum class TypeFamily { Numeric, Character, Plain, Enumerated };

// The column types every type list offers, upper case, in the order the lists show them.
const std::vector<std::string>& typeCatalogue();
// The family of a catalogue type (compared exactly); nullopt for any other text.
std::optional<TypeFamily> familyOf(std::string_view type);

// One column as the schema forms hold it. Texts are bytes as typed.
struct ColumnDefinition {
    std::string name;
    std::string type;
    // The text between the parentheses (11, 10,2) or, for ENUM and SET, the value list 'a','b'.
    std::string length;
    bool isUnsigned = false;
    bool zerofill = false;
    bool null = false;
    bool primaryKey = false;  // create-table grid only
    bool index = false;       // create-table grid only
    bool binary = false;
    bool autoIncrement = false;
    // Written as typed, numeric columns only.
    std::string defaultValue;

    bool operator==(const ColumnDefinition&) const = default;
};

// Where a column text stands: a column line of CREATE TABLE, ALTER TABLE ... ADD, or the
// definition after ALTER TABLE ... MODIFY name.
enum class ColumnHead { CreateLine, Add, Modify };

// Attributes of an existing column that a change keeps although the form does not show them,
// as ready SQL pieces without surrounding blanks.
struct KeptAttributes {
    std::string characterSet;           // CHARACTER SET ... [COLLATE ...], right after the type
    std::vector<std::string> trailing;  // DEFAULT ..., ON UPDATE ..., AUTO_INCREMENT, COMMENT '...'
};

// The text of one column. Every attribute piece brings its own leading and trailing blank;
// the column name goes through Connection::ident with the quoting of the statement's character set. An empty
// or unknown type gives "".
std::string columnText(const ColumnDefinition& column, ColumnHead head, NameQuoting quoting,
                       const KeptAttributes& kept = {});

}  // namespace dbk
