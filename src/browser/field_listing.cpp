#include "browser/field_listing.h"

#include "conn/connection.h"
#include "conn/text_format.h"

namespace dbk {

std::string showFieldsStatement(const Connection& connection, const std::string& database,
                                const std::string& table) {
    return format("SHOW fields FROM %s", connection.qualifiedName(database, table));
}

std::optional<std::vector<FieldDescription>> readFieldListing(Connection& connection,
                                                              const std::string& database,
                                                              const std::string& table) {
    Result result = connection.query(showFieldsStatement(connection, database, table));
    if (!result.ok())
        return std::nullopt;
    // By name where the server names the columns; the classic positions otherwise.
    auto column = [&result](const char* name, unsigned position) -> int {
        const int byName = result.columnIndex(name);
        if (byName >= 0)
            return byName;
        return position < result.fieldCount() ? static_cast<int>(position) : -1;
    };
    const int field = column("Field", 0), type = column("Type", 1), null = column("Null", 2),
              key = column("Key", 3), defaultValue = column("Default", 4), extra = column("Extra", 5);
    auto text = [&result](int c) { return c < 0 ? std::string() : std::string(result.text(unsigned(c))); };

    std::vector<FieldDescription> fields;
    while (result.next()) {
        FieldDescription f;
        f.name = text(field);
        f.type = text(type);
        f.null = text(null);
        f.key = text(key);
        if (defaultValue >= 0)
            f.defaultValue = result.value(unsigned(defaultValue));
        f.extra = text(extra);
        fields.push_back(std::move(f));
    }
    if (!result.ok())
        return std::nullopt;
    return fields;
}

}  // namespace dbk
