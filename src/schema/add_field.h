#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "schema/column_definition.h"

namespace dbk {

class Connection;

// What the add-field form adds besides the column.
struct AddFieldChoices {
    bool atTop = false;  // FIRST; otherwise the column goes last
    bool primaryKey = false;
    bool index = false;
    std::string indexName;
    bool unique = false;
    std::string uniqueName;
};

// One statement of the add-field run and what its failure says.
struct AddFieldStep {
    std::string statement;
    // The failure text with its "%d:%s" (UTF-8); empty for the column itself, which uses
    // message 10005.
    const char* failureText = "";
    // True once the column exists: a failure from here on leaves it in the table.
    bool columnAdded = false;
};

// The statements in the order they are sent: ADD column, then PRIMARY KEY, INDEX, UNIQUE as
// chosen. The first failure ends the run.
std::vector<AddFieldStep> addFieldSteps(const Connection& connection, std::string_view database,
                                        std::string_view table, const ColumnDefinition& column,
                                        const AddFieldChoices& choices);

}  // namespace dbk
