#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conn/cancel.h"

namespace dbk {

class Connection;
class Result;
struct FieldInfo;

// How a dump ended.
struct DumpOutcome {
    enum class Status {
        Complete,
        FileNotOpened,  // the file could not be created
        CreateFailed,   // the table's CREATE TABLE text could not be read (no such table)
        ReadFailed,     // the rows could not be read, or broke off
        WriteFailed,    // the file could not be written completely (disk full)
        Cancelled,      // stopped on request; the file holds the lines written until then
    };
    Status status = Status::Complete;
    uint64_t rows = 0;  // INSERT lines written
    unsigned int errorNumber = 0;
    QString errorText;
    bool complete() const { return status == Status::Complete; }
};

// Writes one table as SQL text: the SET NAMES line of the file's character set (utf8mb4, so that
// every character of the table fits), the table's CREATE TABLE statement, and one INSERT line per
// row, each written as the row arrives (one streamed SELECT, one row in memory). The rows are
// framed by lines that add NO_AUTO_VALUE_ON_ZERO to the loading session's sql_mode and put it
// back, so that an AUTO_INCREMENT value of 0 stays 0 (on a server that has sql_mode). NULL is written as
// NULL, text escaped between quotes, binary values as hex literals, names through ident(). Loaded
// into another database (USE db2, then the file) it gives the same table with the same rows.
class TableDump {
public:
    // Names in the session's character set, as the tree gives them.
    TableDump(Connection& connection, std::string database, std::string table);

    DumpOutcome run(const QString& path);
    // A request to stop, looked at before every row.
    void setCancelToken(const CancelToken* token) { cancel_ = token; }
    // The rows written so far, at the first row and then a few times a second.
    void setProgress(std::function<void(uint64_t rows)> progress) { progress_ = std::move(progress); }

    // The lines of the file (UTF-8).
    static std::string setNamesLine(std::string_view characterSet);
    static std::string createLine(std::string_view createText);
    // Before the rows and after them.
    static std::string keepZerosLines();
    static std::string restoreModeLine();
    // "INSERT INTO t ( a,b ) VALUES ( " for the table (UTF-8) and its columns.
    static std::string insertHead(std::string_view table, const std::vector<std::string>& columns,
                                  NameQuoting quoting);
    // The head, the row's values and " );\n".
    static void appendInsertLine(std::string& out, std::string_view head,
                                 const std::vector<FieldInfo>& fields,
                                 const std::vector<std::optional<std::string>>& values);

private:
    Connection& connection_;
    std::string database_;
    std::string table_;
    const CancelToken* cancel_ = nullptr;
    std::function<void(uint64_t)> progress_;
};

}  // namespace dbk
