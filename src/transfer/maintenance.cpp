#include "transfer/maintenance.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cctype>

#include "conn/connection.h"
#include "conn/server_generation.h"
#include "conn/text_format.h"

namespace dbk {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The name a type goes by on every server: the modern names of the old aliases.
std::string canonicalType(std::string_view type) {
    const std::string name = lower(type);
    if (name == "innobase")
        return "innodb";
    if (name == "heap")
        return "memory";
    return name;
}

}  // namespace

std::string repairStatement(const Connection& connection, std::string_view database, std::string_view table,
                            bool quick, bool extended) {
    std::string sql = format("REPAIR TABLE %s", connection.qualifiedName(database, table));
    if (quick)
        sql += " QUICK";
    if (extended)
        sql += " EXTENDED";
    return sql;
}

std::string checkStatement(const Connection& connection, std::string_view database, std::string_view table,
                           const CheckOptions& options) {
    std::string sql = format("CHECK TABLE %s", connection.qualifiedName(database, table));
    if (options.quick)
        sql += " QUICK";
    if (options.extended)
        sql += " Extended";
    if (options.fast)
        sql += " Fast";
    if (options.changed)
        sql += " CHANGED";
    if (options.medium)
        sql += " MEDIUM";
    return sql;
}

std::string analyzeStatement(const Connection& connection, std::string_view database,
                             std::string_view table) {
    return format("ANALYZE TABLE %s", connection.qualifiedName(database, table));
}

std::string optimizeStatement(const Connection& connection, std::string_view database,
                              std::string_view table) {
    return format("OPTIMIZE TABLE %s", connection.qualifiedName(database, table));
}

std::string backupStatement(const Connection& connection, std::string_view database, std::string_view table,
                            std::string_view directory) {
    return format("BACKUP TABLE %s TO '%s'", connection.qualifiedName(database, table),
                  connection.escape(directory));
}

std::string restoreStatement(const Connection& connection, std::string_view database, std::string_view table,
                             std::string_view directory) {
    return format("RESTORE TABLE %s FROM '%s'", connection.qualifiedName(database, table),
                  connection.escape(directory));
}

std::string conversionStatement(const Connection& connection, const ServerGeneration& generation,
                                std::string_view database, std::string_view table, std::string_view type) {
    return format("ALTER TABLE %s %s", connection.qualifiedName(database, table),
                  generation.tableTypeClause(type));
}

bool isTableType(std::string_view reported, std::string_view target) {
    return !reported.empty() && canonicalType(reported) == canonicalType(target);
}

std::string maintenanceLogLine(uint64_t secondsSinceEpoch, std::string_view database, std::string_view table,
                               std::string_view directory, std::string_view user, std::string_view host) {
    return format("%lu %s.%s %s %s %s\n", static_cast<unsigned long>(secondsSinceEpoch), database, table,
                  directory, user, host);
}

bool appendMaintenanceLog(const QString& directory, const QString& name, const std::string& line) {
    QFile file(QDir(directory.isEmpty() ? QDir::currentPath() : directory).filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool written =
        file.write(line.data(), static_cast<qint64>(line.size())) == static_cast<qint64>(line.size());
    return file.flush() && written;
}

std::string AdminResult::text() const {
    return format("%s %s", messageType, messageText);
}

AdminResult runAdminStatement(Connection& connection, const std::string& statement) {
    AdminResult outcome;
    Result result = connection.query(statement);
    if (!result.ok())
        return outcome;
    if (!result.hasRows()) {
        outcome.status = AdminResult::Status::NoResult;
        return outcome;
    }
    if (!result.next()) {
        outcome.status = AdminResult::Status::NoRow;
        return outcome;
    }
    outcome.status = AdminResult::Status::Row;
    const auto column = [&result](const char* name, unsigned legacyPosition) {
        const int index = result.columnIndex(name);
        const unsigned position = index >= 0 ? static_cast<unsigned>(index) : legacyPosition;
        return position < result.fieldCount() ? std::string(result.text(position)) : std::string();
    };
    outcome.messageType = column("Msg_type", 2);
    outcome.messageText = column("Msg_text", 3);
    return outcome;
}

}  // namespace dbk
