#include "conn/server_generation.h"

#include <algorithm>
#include <cctype>

#include "conn/connection.h"

namespace dbk {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// First row's value column of a SHOW VARIABLES statement; nullopt when no row or failure.
std::optional<std::string> variableValue(Connection& connection, std::string_view statement) {
    Result r = connection.query(statement);
    if (!r.ok() || !r.next())
        return std::nullopt;
    const int column = r.columnIndex("Value");
    return std::string(r.text(column >= 0 ? static_cast<unsigned>(column) : 1U));
}

bool probeInnoDb(Connection& connection) {
    for (const char* variable :
         {"SHOW VARIABLES LIKE 'have_innodb'", "SHOW VARIABLES LIKE 'have_innobase'"}) {
        if (auto value = variableValue(connection, variable))
            return lower(*value) == "yes";
    }
    Result engines = connection.query("SHOW ENGINES");
    while (engines.next()) {
        if (lower(engines.text("Engine")) == "innodb") {
            const std::string support = lower(engines.text("Support"));
            return support == "yes" || support == "default";
        }
    }
    return false;
}

}  // namespace

ServerGeneration::ServerGeneration(unsigned long version, bool mariadb)
    : version_(version), mariadb_(mariadb) {
    hasCharacterSetVariable_ = version_ < 40100;
    // MariaDB 10.4 turned mysql.user into a view; MySQL 5.7.6 dropped its Password column.
    userTableWritable_ = mariadb_ ? version_ < 100400 : version_ < 50706;
    // MySQL 5.6.7 removed mysql.host; MariaDB removed it in 10.4 (empty and unused before).
    hasHostTable_ = mariadb_ ? version_ < 100400 : version_ < 50607;
}

ServerGeneration ServerGeneration::probe(Connection& connection) {
    const std::string info = connection.serverInfo();
    ServerGeneration g(connection.serverVersion(), lower(info).find("mariadb") != std::string::npos);
    g.hasCharacterSetVariable_ = variableValue(connection, kLegacyCharsetQuery).has_value();
    g.hasInnoDb_ = probeInnoDb(connection);
    // What the version says is refined where the account may look at the grant tables.
    if (Result tables = connection.query("SHOW TABLES FROM mysql LIKE 'host'"); tables.ok()) {
        g.hasHostTable_ = tables.next();
    }
    if (g.version_ >= 50000) {
        Result user = connection.query(
            "SELECT TABLE_TYPE FROM information_schema.TABLES WHERE TABLE_SCHEMA='mysql' AND "
            "TABLE_NAME='user'");
        if (user.ok() && user.next()) {
            const bool isTable = lower(user.text(0U)) == "base table";
            Result password = connection.query(
                "SELECT 1 FROM information_schema.COLUMNS WHERE TABLE_SCHEMA='mysql' AND TABLE_NAME='user' "
                "AND COLUMN_NAME='Password'");
            g.userTableWritable_ = isTable && password.ok() && password.next();
        }
    }
    return g;
}

std::string ServerGeneration::tableTypeClause(std::string_view type) const {
    return std::string(version_ >= 40018 ? "ENGINE=" : "TYPE=") + std::string(type);
}

const ReplicationStatements& ServerGeneration::replication() const {
    using enum SlaveThreadMark;
    // clang-format off
    static const ReplicationStatements kLegacy =        // before 4.0.5
        {"SLAVE START",   "SLAVE STOP",   "SHOW MASTER STATUS",     "SHOW SLAVE STATUS",   "Master", "Slave",   StateSlave};
    static const ReplicationStatements kSlave =         // MySQL to 8.0.21, MariaDB to 10.5.0
        {"START SLAVE",   "STOP SLAVE",   "SHOW MASTER STATUS",     "SHOW SLAVE STATUS",   "Master", "Slave",   CommandBinlogDump};
    static const ReplicationStatements kMariaReplica =  // MariaDB 10.5.1 on: new verbs, old column names
        {"START REPLICA", "STOP REPLICA", "SHOW MASTER STATUS",     "SHOW REPLICA STATUS", "Master", "Slave",   CommandBinlogDump};
    static const ReplicationStatements kMySqlReplica =  // MySQL 8.0.22 to 8.1
        {"START REPLICA", "STOP REPLICA", "SHOW MASTER STATUS",     "SHOW REPLICA STATUS", "Source", "Replica", CommandBinlogDump};
    static const ReplicationStatements kBinaryLog =     // MySQL 8.2 on (8.4 has no other form)
        {"START REPLICA", "STOP REPLICA", "SHOW BINARY LOG STATUS", "SHOW REPLICA STATUS", "Source", "Replica", CommandBinlogDump};
    // clang-format on
    if (version_ < 40005)
        return kLegacy;
    if (mariadb_)
        return version_ >= 100501 ? kMariaReplica : kSlave;
    if (version_ >= 80200)
        return kBinaryLog;
    return version_ >= 80022 ? kMySqlReplica : kSlave;
}

std::string ServerGeneration::loadDataCharacterSetClause(std::string_view characterSet) const {
    return version_ >= 50038 ? "CHARACTER SET " + std::string(characterSet) + " " : std::string();
}

std::string ServerGeneration::sessionCharacterSet(unsigned long version, SessionText choice) {
    if (version < 40100 || choice == SessionText::ShiftJis)
        return version < 50003 ? "sjis" : "cp932";
    return ServerGeneration(version).utf8CharacterSet();
}

bool isShiftJisCharset(std::string_view name) {
    const std::string n = lower(name);
    return n == "sjis" || n == "cp932";
}

bool holdsJapanese(std::string_view characterSet) {
    const std::string n = lower(characterSet);
    for (const char* name : {"utf8mb4", "utf8mb3", "utf8", "utf16", "utf16le", "utf32", "ucs2", "gb18030",
                             "sjis", "cp932", "ujis", "eucjpms"}) {
        if (n == name)
            return true;
    }
    return false;
}

std::string readServerCharacterSet(Connection& connection) {
    if (auto value = variableValue(connection, ServerGeneration::kLegacyCharsetQuery))
        return *value;
    return variableValue(connection, ServerGeneration::kModernCharsetQuery).value_or("");
}

}  // namespace dbk
