#include "monitor/replication.h"

#include "conn/connection.h"

namespace dbk {

namespace {

// The value of the first of these columns the result has, else of the legacy position.
std::string column(const Result& row, std::initializer_list<std::string> names, unsigned legacyPosition) {
    for (const std::string& name : names) {
        const int index = row.columnIndex(name);
        if (index >= 0)
            return std::string(row.text(static_cast<unsigned>(index)));
    }
    return legacyPosition < row.fieldCount() ? std::string(row.text(legacyPosition)) : std::string();
}

// Legacy servers have one Slave_Running column; later ones one per thread, shown together
// when they differ ("Connecting / Yes").
std::string runningText(const Result& row, const ReplicationStatements& s) {
    if (const int legacy = row.columnIndex("Slave_Running"); legacy >= 0)
        return std::string(row.text(static_cast<unsigned>(legacy)));
    const std::string word = s.replicaWord;
    const int io = row.columnIndex(word + "_IO_Running");
    const int sql = row.columnIndex(word + "_SQL_Running");
    if (io < 0 || sql < 0)
        return column(row, {}, 6);
    const std::string ioText(row.text(static_cast<unsigned>(io)));
    const std::string sqlText(row.text(static_cast<unsigned>(sql)));
    return ioText == sqlText ? ioText : ioText + " / " + sqlText;
}

// Runs a status statement: its first row, or nothing; a refusal is remembered.
std::optional<Result> statusRow(Connection& connection, const char* statement,
                                std::optional<std::string>& refusal) {
    Result r = connection.query(statement);
    if (!r.ok()) {
        if (!refusal)
            refusal = connection.errorLine();
        return std::nullopt;
    }
    if (!r.hasRows() || !r.next())
        return std::nullopt;
    return r;
}

}  // namespace

MasterStatus masterStatusFrom(const Result& row) {
    return MasterStatus{column(row, {"File"}, 0), column(row, {"Position"}, 1),
                        column(row, {"Binlog_Do_DB"}, 2), column(row, {"Binlog_Ignore_DB"}, 3)};
}

SlaveStatus slaveStatusFrom(const Result& row, const ReplicationStatements& s) {
    const std::string source = s.sourceWord;
    SlaveStatus out;
    auto set = [&out](SlaveField field, std::string value) {
        out[static_cast<size_t>(field)] = std::move(value);
    };
    set(SlaveField::MasterHost, column(row, {source + "_Host", "Master_Host"}, 0));
    set(SlaveField::MasterUser, column(row, {source + "_User", "Master_User"}, 1));
    set(SlaveField::MasterPort, column(row, {source + "_Port", "Master_Port"}, 2));
    set(SlaveField::LogFile, column(row, {source + "_Log_File", "Log_File"}, 4));
    set(SlaveField::Position, column(row, {"Read_" + source + "_Log_Pos", "Pos"}, 5));
    set(SlaveField::Running, runningText(row, s));
    set(SlaveField::DoDb, column(row, {"Replicate_Do_DB"}, 7));
    set(SlaveField::IgnoreDb, column(row, {"Replicate_Ignore_DB"}, 8));
    set(SlaveField::LastErrno, column(row, {"Last_Errno"}, 9));
    set(SlaveField::LastError, column(row, {"Last_Error"}, 10));
    set(SlaveField::SkipCounter, column(row, {"Skip_Counter"}, 11));
    return out;
}

std::optional<SlaveHost> slaveHostFrom(const Result& row, SlaveThreadMark mark) {
    const bool isSlave = mark == SlaveThreadMark::StateSlave
                             ? !row.isNull(6) && row.text(6U).starts_with("Slave")
                             : column(row, {"Command"}, 4).starts_with("Binlog Dump");
    if (!isSlave)
        return std::nullopt;
    return SlaveHost{column(row, {"Host"}, 2), column(row, {"User"}, 1), column(row, {"Time"}, 5)};
}

ReplicationState readReplicationState(Connection& connection, const ReplicationStatements& s) {
    ReplicationState state;
    if (auto row = statusRow(connection, s.masterStatus, state.refusal))
        state.master = masterStatusFrom(*row);
    if (Result threads = connection.query("SHOW PROCESSLIST"); threads.ok() && threads.hasRows()) {
        std::vector<SlaveHost> slaves;
        while (threads.next()) {
            if (auto host = slaveHostFrom(threads, s.slaveThreads))
                slaves.insert(slaves.begin(), *host);  // the list shows the last thread first
        }
        state.slaves = std::move(slaves);
    }
    if (auto row = statusRow(connection, s.slaveStatus, state.refusal))
        state.slave = slaveStatusFrom(*row, s);
    return state;
}

bool startSlave(Connection& connection, const ReplicationStatements& s) {
    return connection.exec(s.start);
}

bool stopSlave(Connection& connection, const ReplicationStatements& s) {
    return connection.exec(s.stop);
}

}  // namespace dbk
