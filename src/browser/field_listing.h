#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dbk {

class Connection;

// One row of "SHOW fields": what the filter and the record details forms list.
struct FieldDescription {
    std::string name;
    std::string type;
    std::string null;
    std::string key;  // "PRI", "UNI", "MUL" or ""
    std::optional<std::string> defaultValue;
    std::string extra;
};

std::string showFieldsStatement(const Connection& connection, const std::string& database,
                                const std::string& table);

// The table's fields in field order; nullopt when the statement fails.
std::optional<std::vector<FieldDescription>> readFieldListing(Connection& connection,
                                                              const std::string& database,
                                                              const std::string& table);

}  // namespace dbk
