#pragma once

#include <string>
#include <string_view>

namespace dbk {

class Connection;
class ServerGeneration;

// The boxes of the table options form as the server's table status fills them.
struct TableOptionValues {
    std::string autoIncrement;  // Auto_increment ("" for NULL)
    std::string avgRowLength;   // Avg_row_length
    std::string comment;        // Comment
    std::string rowFormat;      // Row_format
    // From Create_options, "" when the option was never set: the values the table was given,
    // so that pressing Change without an edit sends what the table already has.
    std::string maxRows;
    std::string minRows;
    std::string checksum;
    std::string packKeys;
    std::string delayKeyWrite;
    bool operator==(const TableOptionValues&) const = default;
};

enum class OptionsOutcome { Read, QueryFailed, NoResult, NoRow };

// Reads the first row of the table status by column name (the old positions as fallback).
// Without a row the values are left as they were.
OptionsOutcome readTableOptions(Connection& connection, std::string_view database, std::string_view table,
                                TableOptionValues& values);

// One value of a Create_options text such as "max_rows=10 pack_keys=1"; "" when absent.
std::string createOption(std::string_view createOptions, std::string_view name);

// Every button of the form.
enum class OptionButton {
    AutoIncrement,
    AvgRowLength,
    ChecksumOn,
    ChecksumOff,
    Comment,
    MaxRows,
    MinRows,
    Password,
    PackKeysOn,
    PackKeysOff,
    DelayKeyWriteOn,
    DelayKeyWriteOff,
    RowFormatDefault,
    RowFormatDynamic,
    RowFormatStatic,
    RowFormatCompressed,
};

// The statement a button sends, with the text of its option's box; "" for the buttons that
// send nothing (CHECKSUM, PASSWORD, DELAY_KEY_WRITE). Numbers go as typed; the comment is
// escaped; the static row format is named as the server's syntax has it.
std::string optionStatement(const Connection& connection, const ServerGeneration& generation,
                            OptionButton button, std::string_view database, std::string_view table,
                            std::string_view boxText);

// The warnings the last statement left, one "Level Code Message" line each; "" for none.
std::string lastWarnings(Connection& connection);

// ALTER TABLE db.table RENAME db.newName: the table stays in its database.
std::string renameTableStatement(const Connection& connection, std::string_view database,
                                 std::string_view table, std::string_view newName);
std::string createDatabaseStatement(const Connection& connection, std::string_view name);

}  // namespace dbk
