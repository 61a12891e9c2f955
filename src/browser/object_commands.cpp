#include "browser/object_commands.h"

#include <algorithm>
#include <cctype>

#include "app/commands.h"
#include "conn/connection.h"
#include "conn/text_format.h"

namespace dbk::object_commands {

DeleteAction deleteActionFor(object_tree::NodeKind kind, const std::string& name,
                             const std::string& database) {
    using object_tree::NodeKind;
    if (kind == NodeKind::Database) {
        return name == "mysql" ? DeleteAction::RefuseMysqlDatabase : DeleteAction::DropDatabase;
    }
    if (kind == NodeKind::Table || kind == NodeKind::NestedTable) {
        return database == "mysql" ? DeleteAction::RefuseMysqlTable : DeleteAction::DropTable;
    }
    return DeleteAction::Nothing;
}

std::string dropDatabase(const Connection& connection, const std::string& database) {
    return format("DROP DATABASE IF EXISTS %s", connection.ident(database));
}

std::string dropTable(const Connection& connection, const std::string& database, const std::string& table) {
    return format("DROP TABLE IF EXISTS %s", connection.qualifiedName(database, table));
}

std::string deleteAllRecords(const Connection& connection, const std::string& database,
                             const std::string& table) {
    return format("DELETE FROM %s", connection.qualifiedName(database, table));
}

std::string lockTable(const Connection& connection, const std::string& database, const std::string& table) {
    return format("LOCK TABLES %s READ", connection.qualifiedName(database, table));
}

std::string optimizeTable(const Connection& connection, const std::string& database,
                          const std::string& table) {
    return format("OPTIMIZE TABLE %s", connection.qualifiedName(database, table));
}

std::optional<std::string> optimizeComplaint(Result& rows) {
    while (rows.next()) {
        std::string type = rows.text("Msg_type");
        std::transform(type.begin(), type.end(), type.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (type == "error")
            return rows.text("Msg_text");
    }
    return std::nullopt;
}

const Flush* flushFor(int command) {
    static const Flush flushes[] = {
        {cmd::FlushHosts, "FLUSH HOSTS", 10084},
        {cmd::FlushLogs, "FLUSH LOGS", 10085},
        {cmd::FlushStatus, "FLUSH STATUS", 10087},
        {cmd::FlushTables, "FLUSH TABLES", 10088},
    };
    for (const Flush& f : flushes) {
        if (f.command == command)
            return &f;
    }
    return nullptr;
}

}  // namespace dbk::object_commands
