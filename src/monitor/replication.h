#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "conn/server_generation.h"

namespace dbk {

class Connection;
class Result;

// The master side: the binary log the server writes and its filters.
struct MasterStatus {
    std::string file;
    std::string position;
    std::string doDb;
    std::string ignoreDb;
    bool operator==(const MasterStatus&) const = default;
};

// The slave side, in the order of the form's fields.
enum class SlaveField {
    MasterHost,
    MasterUser,
    MasterPort,
    LogFile,
    Position,
    Running,
    DoDb,
    IgnoreDb,
    LastErrno,
    LastError,
    SkipCounter,
};
inline constexpr size_t kSlaveFieldCount = 11;
using SlaveStatus = std::array<std::string, kSlaveFieldCount>;

// A slave connected to this server, from the process list.
struct SlaveHost {
    std::string host;
    std::string user;
    std::string time;
    bool operator==(const SlaveHost&) const = default;
};

// What one refresh read. A side the server has nothing for (no binary log, not a slave)
// stays nullopt; so does the slaves list when the process list cannot be read.
struct ReplicationState {
    std::optional<MasterStatus> master;
    std::optional<std::vector<SlaveHost>> slaves;
    std::optional<SlaveStatus> slave;
    // "%d:%s" of the first status statement the server refused (not allowed to the user).
    std::optional<std::string> refusal;
};

ReplicationState readReplicationState(Connection& connection, const ReplicationStatements& statements);

// Reads the master and slave sides from their results (by column name; the legacy positions
// when a column has no name the server uses).
MasterStatus masterStatusFrom(const Result& row);
SlaveStatus slaveStatusFrom(const Result& row, const ReplicationStatements& statements);
// Whether a process-list row is a slave's connection, and the slave it shows.
std::optional<SlaveHost> slaveHostFrom(const Result& row, SlaveThreadMark mark);

// Starts or stops the slave threads; false when the server refuses.
bool startSlave(Connection& connection, const ReplicationStatements& statements);
bool stopSlave(Connection& connection, const ReplicationStatements& statements);

}  // namespace dbk
