#include "schema/table_options.h"

#include "browser/table_size.h"
#include "conn/connection.h"
#include "conn/server_generation.h"
#include "conn/text_format.h"

namespace dbk {

namespace {

// A status column by name, else at its place in the old layout; "" for NULL.
std::string statusText(const Result& r, std::string_view name, unsigned position) {
    const int column = r.columnIndex(name);
    if (column >= 0)
        return std::string(r.text(static_cast<unsigned>(column)));
    return position < r.fieldCount() ? std::string(r.text(position)) : std::string();
}

}  // namespace

OptionsOutcome readTableOptions(Connection& connection, std::string_view database, std::string_view table,
                                TableOptionValues& v) {
    Result r = connection.query(tableStatusStatement(connection, std::string(database), std::string(table)));
    if (!r.ok())
        return OptionsOutcome::QueryFailed;
    if (!r.hasRows())
        return OptionsOutcome::NoResult;
    if (!r.next())
        return OptionsOutcome::NoRow;
    v.rowFormat = statusText(r, "Row_format", 2);
    v.avgRowLength = statusText(r, "Avg_row_length", 4);
    v.autoIncrement = statusText(r, "Auto_increment", 9);
    v.comment = statusText(r, "Comment", 14);
    const std::string options = statusText(r, "Create_options", 13);
    v.maxRows = createOption(options, "max_rows");
    v.minRows = createOption(options, "min_rows");
    v.checksum = createOption(options, "checksum");
    v.packKeys = createOption(options, "pack_keys");
    v.delayKeyWrite = createOption(options, "delay_key_write");
    return OptionsOutcome::Read;
}

std::string createOption(std::string_view createOptions, std::string_view name) {
    size_t i = 0;
    while (i < createOptions.size()) {
        while (i < createOptions.size() && createOptions[i] == ' ')
            ++i;
        const size_t end = std::min(createOptions.find(' ', i), createOptions.size());
        const std::string_view word = createOptions.substr(i, end - i);
        const size_t equals = word.find('=');
        if (equals != std::string_view::npos && word.substr(0, equals) == name)
            return std::string(word.substr(equals + 1));
        i = end;
    }
    return {};
}

std::string optionStatement(const Connection& connection, const ServerGeneration& generation,
                            OptionButton button, std::string_view database, std::string_view table,
                            std::string_view boxText) {
    const std::string db = connection.ident(database);
    const std::string t = connection.ident(table);
    const auto with = [&](const char* tmpl) { return format(tmpl, db, t, boxText); };
    switch (button) {
        case OptionButton::AutoIncrement:
            return with("ALTER TABLE %s.%s AUTO_INCREMENT=%s");
        case OptionButton::AvgRowLength:
            return with("ALTER TABLE %s.%s AVG_ROW_LENGTH=%s");
        case OptionButton::Comment:
            return format("ALTER TABLE %s.%s COMMENT='%s'", db, t, connection.escape(boxText));
        case OptionButton::MaxRows:
            return with("ALTER TABLE %s.%s MAX_ROWS=%s");
        case OptionButton::MinRows:
            return with("ALTER TABLE %s.%s MIN_ROWS=%s");
        case OptionButton::PackKeysOn:
            return with("ALTER TABLE %s.%s PACK_KEYS=1");
        case OptionButton::PackKeysOff:
            return with("ALTER TABLE %s.%s PACK_KEYS=0");
        case OptionButton::RowFormatDefault:
            return with("ALTER TABLE %s.%s ROW_FORMAT=Default");
        case OptionButton::RowFormatDynamic:
            return with("ALTER TABLE %s.%s ROW_FORMAT=Dynamic");
        case OptionButton::RowFormatStatic:
            return format("ALTER TABLE %s.%s ROW_FORMAT=%s", db, t, generation.fixedRowFormat());
        case OptionButton::RowFormatCompressed:
            return with("ALTER TABLE %s.%s ROW_FORMAT=Compressed");
        case OptionButton::ChecksumOn:
        case OptionButton::ChecksumOff:
        case OptionButton::Password:
        case OptionButton::DelayKeyWriteOn:
        case OptionButton::DelayKeyWriteOff:
            return {};
    }
    return {};
}

std::string lastWarnings(Connection& connection) {
    Result r = connection.query("SHOW WARNINGS");
    std::string lines;
    while (r.ok() && r.next()) {
        if (!lines.empty())
            lines += "\n";
        lines += format("%s %s %s", r.text(0U), r.text(1U), r.text(2U));
    }
    return lines;
}

std::string renameTableStatement(const Connection& connection, std::string_view database,
                                 std::string_view table, std::string_view newName) {
    const std::string db = connection.ident(database);
    return format("ALTER TABLE %s.%s RENAME %s.%s", db, connection.ident(table), db,
                  connection.ident(newName));
}

std::string createDatabaseStatement(const Connection& connection, std::string_view name) {
    return format("CREATE DATABASE %s", connection.ident(name));
}

}  // namespace dbk
