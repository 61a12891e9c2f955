#include "browser/filter_model.h"

#include "browser/field_listing.h"

namespace dbk {

bool FilterModel::load(Connection& connection, const std::string& database, const std::string& table,
                       const FilterConditions& conditions) {
    const auto fields = readFieldListing(connection, database, table);
    std::vector<std::string> names;
    if (fields) {
        for (const FieldDescription& f : *fields)
            names.push_back(f.name);
    }
    setFields(names, conditions);
    return fields.has_value();
}

void FilterModel::setFields(const std::vector<std::string>& fieldNames, const FilterConditions& conditions) {
    original_ = conditions;
    rows_.clear();
    rows_.reserve(fieldNames.size());
    for (size_t i = 0; i < fieldNames.size(); ++i) {
        FieldRow row{fieldNames[i], {}};
        for (int which = 0; which < 3; ++which)
            row.conditions[size_t(which)] = conditions.at(which, i);
        rows_.push_back(std::move(row));
    }
}

void FilterModel::setCondition(size_t row, int which, std::string text) {
    if (row >= rows_.size() || which < 0 || which > 2)
        return;
    rows_[row].conditions[size_t(which)] = std::move(text);
}

FilterConditions FilterModel::conditions() const {
    FilterConditions out = original_;
    for (size_t i = 0; i < rows_.size(); ++i) {
        for (int which = 0; which < 3; ++which)
            out.set(which, i, rows_[i].conditions[size_t(which)]);
    }
    return out;
}

}  // namespace dbk
