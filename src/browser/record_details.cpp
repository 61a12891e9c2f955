#include "browser/record_details.h"

#include <cstdlib>

#include "conn/connection.h"
#include "conn/text_format.h"

namespace dbk {

FieldImage fieldImage(const std::string& key) {
    if (key.starts_with("PRI"))
        return FieldImage::PrimaryKey;
    if (key.starts_with("MUL"))
        return FieldImage::Indexed;
    return FieldImage::Other;
}

std::string keyCondition(const Connection& connection, const std::vector<FieldDescription>& fields,
                         const Row& values) {
    std::string condition;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fieldImage(fields[i].key) != FieldImage::PrimaryKey)
            continue;
        const std::string name = Connection::ident(fields[i].name);
        const Cell* value = i < values.size() ? &values[i] : nullptr;
        const std::string piece = value && *value ? format("%s = '%s'", name, connection.escape(**value))
                                                  : format("%s IS NULL", name);
        condition += condition.empty() ? piece : " AND " + piece;
    }
    return condition;
}

std::string updateStatement(const Connection& connection, const std::string& database,
                            const std::string& table, const std::string& field, const std::string& value,
                            const std::string& condition) {
    return format("UPDATE %s.%s SET %s='%s' WHERE %s LIMIT 1", Connection::ident(database),
                  Connection::ident(table), Connection::ident(field), connection.escape(value), condition);
}

std::string deleteStatement(const std::string& database, const std::string& table,
                            const std::string& condition) {
    return format("DELETE FROM %s.%s WHERE %s LIMIT 1", Connection::ident(database), Connection::ident(table),
                  condition);
}

RecordDetails::RecordDetails(Connection& connection, std::string database, std::string table, Row values)
    : connection_(connection),
      database_(std::move(database)),
      table_(std::move(table)),
      values_(std::move(values)) {}

bool RecordDetails::load() {
    fields_.clear();
    condition_.clear();
    auto listing = readFieldListing(connection_, database_, table_);
    if (!listing)
        return false;
    fields_ = std::move(*listing);
    condition_ = keyCondition(connection_, fields_, values_);
    return true;
}

std::string RecordDetails::valueText(size_t field) const {
    return field < values_.size() && values_[field] ? *values_[field] : std::string();
}

long long RecordDetails::matchedRows() const {
    // "Rows matched: 1  Changed: 0  Warnings: 0": an unchanged value still matched its row.
    const std::string info = connection_.info();
    const std::string label = "Rows matched:";
    const size_t at = info.find(label);
    if (at == std::string::npos)
        return -1;
    return std::atoll(info.c_str() + at + label.size());
}

RecordDetails::Outcome RecordDetails::update(size_t field, const std::string& value) {
    if (!hasKey() || field >= fields_.size())
        return Outcome::NoKey;
    const std::string sql =
        updateStatement(connection_, database_, table_, fields_[field].name, value, condition_);
    if (!connection_.exec(sql))
        return Outcome::Failed;
    if (matchedRows() == 0)
        return Outcome::NotFound;
    if (values_.size() <= field)
        values_.resize(fields_.size());
    values_[field] = value;
    updated_ = true;
    load();
    return Outcome::Done;
}

RecordDetails::Outcome RecordDetails::remove() {
    if (!hasKey())
        return Outcome::NoKey;
    if (!connection_.exec(deleteStatement(database_, table_, condition_)))
        return Outcome::Failed;
    if (connection_.affectedRows() == 0)
        return Outcome::NotFound;
    deleted_ = true;
    return Outcome::Done;
}

}  // namespace dbk
