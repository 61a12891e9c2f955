#pragma once

#include <string>
#include <vector>

#include "browser/field_listing.h"
#include "browser/record_page.h"

namespace dbk {

class Connection;

// The small picture of a field row: primary-key field, indexed field, any other field.
enum class FieldImage { PrimaryKey = 0, Indexed = 1, Other = 2 };
FieldImage fieldImage(const std::string& key);

// The condition that finds the record again: "a = '1' AND b = '2'" over the primary-key
// fields, values escaped, names quoted where they need it. A NULL value gives "c IS NULL" so
// that the condition still hits the row it was read from. "" when there is no key field.
std::string keyCondition(const Connection& connection, const std::vector<FieldDescription>& fields,
                         const Row& values);

std::string updateStatement(const Connection& connection, const std::string& database,
                            const std::string& table, const std::string& field, const std::string& value,
                            const std::string& condition);
std::string deleteStatement(const std::string& database, const std::string& table,
                            const std::string& condition);

// One record of the list, field by field, with its update and delete. Works on a copy of the
// list row; only update() and remove() reach the server.
class RecordDetails {
public:
    enum class Outcome { Done, Failed, NotFound, NoKey };

    RecordDetails(Connection& connection, std::string database, std::string table, Row values);

    // Lists the fields ("SHOW fields") and composes the key condition from the current values;
    // false (nothing listed, no key) when the statement fails.
    bool load();

    const std::vector<FieldDescription>& fields() const { return fields_; }
    const Row& values() const { return values_; }
    // The value of a field position as the form shows it; NULL and missing give "".
    std::string valueText(size_t field) const;
    // Update and delete are offered only when the table has a primary key.
    bool hasKey() const { return !condition_.empty(); }
    const std::string& condition() const { return condition_; }

    // Sets one field to a new value in the one row the key finds. Done: the value is kept, the
    // updated flag set and the fields listed again, so a changed key value finds the row later.
    Outcome update(size_t field, const std::string& value);
    // Deletes the one row the key finds; Done sets the deleted flag.
    Outcome remove();

    bool updated() const { return updated_; }
    bool deleted() const { return deleted_; }
    const std::string& database() const { return database_; }
    const std::string& table() const { return table_; }
    Connection& connection() { return connection_; }

private:
    // The number of rows the last UPDATE matched, from the server's info line; -1 if unknown.
    long long matchedRows() const;

    Connection& connection_;
    std::string database_;
    std::string table_;
    Row values_;
    std::vector<FieldDescription> fields_;
    std::string condition_;
    bool updated_ = false;
    bool deleted_ = false;
};

}  // namespace dbk
