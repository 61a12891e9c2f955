#pragma once

#include <array>
#include <string>
#include <vector>

#include "browser/record_page.h"

namespace dbk {

class Connection;

// What the filter form edits: one row per field of the table, in field order, with the three
// conditions the record list holds for that position. Conditions are raw SQL text.
class FilterModel {
public:
    struct FieldRow {
        std::string field;
        std::array<std::string, 3> conditions;
    };

    // Lists the table's fields ("SHOW fields FROM db.t") with the given conditions; false,
    // and no rows, when the statement fails.
    bool load(Connection& connection, const std::string& database, const std::string& table,
              const FilterConditions& conditions);
    // The same from field names already known.
    void setFields(const std::vector<std::string>& fieldNames, const FilterConditions& conditions);

    const std::vector<FieldRow>& rows() const { return rows_; }
    void setCondition(size_t row, int which, std::string text);

    // The conditions to hand back: those the form started with, each listed row's three
    // conditions written over its position.
    FilterConditions conditions() const;

private:
    std::vector<FieldRow> rows_;
    FilterConditions original_;
};

}  // namespace dbk
