#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace dbk {

class Connection;
class ServerGeneration;

// The option words of CHECK TABLE, each sent when its box is on.
struct CheckOptions {
    bool quick = false;
    bool fast = false;
    bool changed = false;
    bool medium = false;
    bool extended = false;
};

// The maintenance statements of one table. Names go through ident(); the server directory of
// BACKUP and RESTORE is a value and is escaped.
std::string repairStatement(const Connection& connection, std::string_view database, std::string_view table,
                            bool quick, bool extended);
// The words follow the table in the order QUICK, Extended, Fast, CHANGED, MEDIUM.
std::string checkStatement(const Connection& connection, std::string_view database, std::string_view table,
                           const CheckOptions& options);
std::string analyzeStatement(const Connection& connection, std::string_view database, std::string_view table);
std::string optimizeStatement(const Connection& connection, std::string_view database,
                              std::string_view table);
std::string backupStatement(const Connection& connection, std::string_view database, std::string_view table,
                            std::string_view directory);
std::string restoreStatement(const Connection& connection, std::string_view database, std::string_view table,
                             std::string_view directory);
// "ALTER TABLE db.t TYPE=X" on the old servers, "... ENGINE=X" on the others.
std::string conversionStatement(const Connection& connection, const ServerGeneration& generation,
                                std::string_view database, std::string_view table, std::string_view type);

// True when the type the server reports is the conversion's target: the names compare without
// regard to case, and the server's own names InnoDB and MEMORY stand for Innobase and HEAP.
bool isTableType(std::string_view reported, std::string_view target);

// The line a backup or restore adds to its log: "%lu %s.%s %s %s %s\n" with the time in seconds
// since 1970, database and table, the server directory as typed, user and host.
std::string maintenanceLogLine(uint64_t secondsSinceEpoch, std::string_view database, std::string_view table,
                               std::string_view directory, std::string_view user, std::string_view host);
// Appends the line to the file `name` in `directory` (the current directory when it is empty);
// false when the file cannot be opened or written.
bool appendMaintenanceLog(const QString& directory, const QString& name, const std::string& line);

// The first row of an administrative statement's result (Table, Op, Msg_type, Msg_text).
struct AdminResult {
    enum class Status { Failed, NoResult, NoRow, Row };
    Status status = Status::Failed;
    std::string messageType;
    std::string messageText;
    // "%s %s" of the message type and text.
    std::string text() const;
};
AdminResult runAdminStatement(Connection& connection, const std::string& statement);

}  // namespace dbk
