#pragma once

#include <optional>
#include <string>

#include "browser/object_tree.h"

namespace dbk {

class Result;

// The one-step commands on the selected object or on the whole server.
namespace object_commands {

// What Delete does with the selected node, given the name of the database it belongs to.
enum class DeleteAction { Nothing, RefuseMysqlDatabase, RefuseMysqlTable, DropDatabase, DropTable };
DeleteAction deleteActionFor(object_tree::NodeKind kind, const std::string& name,
                             const std::string& database);

std::string dropDatabase(const Connection& connection, const std::string& database);
// The table is named with its database: the connection's default database may have been
// changed since the table was shown (the console shares the connection).
std::string dropTable(const Connection& connection, const std::string& database, const std::string& table);
std::string deleteAllRecords(const Connection& connection, const std::string& database,
                             const std::string& table);
std::string lockTable(const Connection& connection, const std::string& database, const std::string& table);
inline constexpr const char* kUnlockTables = "UNLOCK TABLES";
std::string optimizeTable(const Connection& connection, const std::string& database,
                          const std::string& table);
// The server's text of the first row of an OPTIMIZE result that reports an error
// (Msg_type "error"), or nullopt when the table was optimized.
std::optional<std::string> optimizeComplaint(Result& rows);

// The flush commands: statement and the notice shown after it.
struct Flush {
    int command;
    const char* statement;
    int notice;
};
const Flush* flushFor(int command);

}  // namespace object_commands
}  // namespace dbk
