#pragma once

#include <string>
#include <string_view>

#include "conn/connection.h"

namespace dbk {

// Which threads of the process list are a master's slaves: the legacy servers name them in
// their state ("Slave connection: ..."), later ones by their command ("Binlog Dump").
enum class SlaveThreadMark { StateSlave, CommandBinlogDump };

// The replication statements of a server and the names of its status columns.
struct ReplicationStatements {
    const char* start;
    const char* stop;
    const char* masterStatus;
    const char* slaveStatus;
    // How the slave status names the master ("Master_Host", "Source_Host") and the
    // slave's threads ("Slave_IO_Running", "Replica_IO_Running").
    const char* sourceWord;
    const char* replicaWord;
    SlaveThreadMark slaveThreads;
};

// What the connected server is and which statements it takes. The forms were written for
// MySQL 3.23-4.0; newer servers get the modern form of the same statements.
class ServerGeneration {
public:
    ServerGeneration() = default;
    // A server of this version (e.g. 101119 for 10.11.19) with what the probes found.
    explicit ServerGeneration(unsigned long version, bool mariadb = false);

    // Reads the version and probes the capabilities once, right after a connect.
    static ServerGeneration probe(Connection& connection);

    unsigned long version() const { return version_; }
    bool isMariaDb() const { return mariadb_; }

    bool hasCharacterSetVariable() const { return hasCharacterSetVariable_; }
    bool hasInnoDb() const { return hasInnoDb_; }
    // mysql.user is a table with a Password column that the forms may write to.
    bool userTableWritable() const { return userTableWritable_; }
    bool hasHostTable() const { return hasHostTable_; }
    // PASSWORD() computes a password hash; MySQL 8.0.11 removed it (ALTER USER ... IDENTIFIED BY).
    bool hasPasswordFunction() const { return mariadb_ || version_ < 80011; }

    // Table type clause of CREATE/ALTER TABLE: "TYPE=X" before 4.0.18, "ENGINE=X" after.
    std::string tableTypeClause(std::string_view type) const;
    bool hasBackupTable() const { return version_ < 50500; }
    // information_schema (5.0.2 on) answers for every database in one statement.
    bool hasInformationSchema() const { return version_ >= 50002; }
    // information_schema.COLUMNS.COLUMN_DEFAULT holds the default as SQL text (a quoted
    // literal or an expression) from MariaDB 10.2.7 on; elsewhere it is the bare value.
    bool reportsDefaultsAsSql() const { return mariadb_ && version_ >= 100207; }
    // A column definition may carry its own CHECK constraint, which a MODIFY without it drops
    // (MariaDB 10.2.1 on; its JSON columns carry one).
    bool hasColumnChecks() const { return mariadb_ && version_ >= 100201; }
    // The fixed-length row format: "Static" in the old servers' syntax, "FIXED" from 4.1 on.
    const char* fixedRowFormat() const { return version_ >= 40100 ? "FIXED" : "Static"; }
    const ReplicationStatements& replication() const;
    // "CHARACTER SET x " of LOAD DATA, which names the file's character set (from 5.0.38 on;
    // "" before, where the server reads the file in the database's character set).
    std::string loadDataCharacterSetClause(std::string_view characterSet) const;
    // UTF-8 as the server names it: utf8mb4 from 5.5.3 on, utf8 before.
    const char* utf8CharacterSet() const { return version_ >= 50503 ? "utf8mb4" : "utf8"; }
    // The character set a session with a server of this version is opened in: UTF-8 as the
    // server names it from 4.1 on, unless Shift_JIS is asked for ("cp932", "sjis" before 5.0.3);
    // before 4.1 Shift_JIS whatever is asked, since those servers have no SET NAMES and keep
    // their own set ("sjis" for the Japanese servers they were set up as).
    static std::string sessionCharacterSet(unsigned long version, SessionText choice);
    // The character-set variable asked first; a modern server answers only the second.
    static constexpr const char* kLegacyCharsetQuery = "SHOW VARIABLES LIKE 'character_set'";
    static constexpr const char* kModernCharsetQuery = "SHOW VARIABLES LIKE 'character_set_server'";

    void setHasCharacterSetVariable(bool v) { hasCharacterSetVariable_ = v; }
    void setHasInnoDb(bool v) { hasInnoDb_ = v; }
    void setUserTableWritable(bool v) { userTableWritable_ = v; }
    void setHasHostTable(bool v) { hasHostTable_ = v; }

private:
    unsigned long version_ = 0;
    bool mariadb_ = false;
    bool hasCharacterSetVariable_ = false;
    bool hasInnoDb_ = false;
    bool userTableWritable_ = true;
    bool hasHostTable_ = true;
};

// "sjis" and "cp932" are both Shift_JIS.
bool isShiftJisCharset(std::string_view name);
// Whether a server's character set holds Japanese text: the Unicode sets, Shift_JIS and EUC-JP.
bool holdsJapanese(std::string_view characterSet);

// The server's character set: the legacy variable, else the modern one; "" when unreadable.
std::string readServerCharacterSet(Connection& connection);

}  // namespace dbk
