#include <gtest/gtest.h>

#include <mysqld_error.h>

#include <algorithm>

#include "conn/session.h"
#include "monitor/process_list.h"
#include "monitor/replication.h"
#include "monitor/system_variables.h"
#include "support/test_server.h"

namespace dbk {
namespace {

std::vector<std::string> ids(const std::vector<ThreadRow>& rows) {
    std::vector<std::string> out;
    for (const ThreadRow& row : rows)
        out.push_back(row.at(0).value_or(""));
    return out;
}

TEST(ProcessMonitor, ReadsTheStatusLineAndTheThreadsLastFirst) {
    DBK_REQUIRE_SERVER();
    Connection c = test::connectAdmin();
    Connection other = test::connectAdmin();
    const std::optional<std::vector<std::string>> fields = threadListFields(c);
    ASSERT_TRUE(fields);
    ASSERT_GE(fields->size(), 8U);
    EXPECT_EQ(std::vector<std::string>(fields->begin(), fields->begin() + 8),
              (std::vector<std::string>{"Id", "User", "Host", "db", "Command", "Time", "State", "Info"}));

    const std::optional<MonitorReading> reading = readMonitor(c);
    ASSERT_TRUE(reading);
    EXPECT_FALSE(c.busy());
    ASSERT_TRUE(reading->counters);
    const StatusCounters& counters = *reading->counters;
    EXPECT_TRUE(counters.uptime && counters.questions && counters.slowQueries && counters.opens &&
                counters.openTables);
    EXPECT_GE(counters.threads.value_or(0), 2U);
    EXPECT_FALSE(counters.flushTables);  // MariaDB's line has none

    ASSERT_TRUE(reading->threads);
    std::vector<ThreadRow> listed;
    Result direct = c.query("SHOW PROCESSLIST");
    while (direct.next())
        listed.push_back(direct.row());
    std::vector<std::string> expected = ids(listed);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(ids(*reading->threads), expected);
    const std::vector<std::string> shown = ids(*reading->threads);
    EXPECT_NE(std::find(shown.begin(), shown.end(), std::to_string(other.threadId())), shown.end());

    // While another operation has the connection, a tick sends nothing.
    {
        BusyGuard busy(c);
        EXPECT_FALSE(readMonitor(c));
    }
    EXPECT_TRUE(readMonitor(c));
}

TEST(ProcessMonitor, FindsAndStopsThreadsButNotItsOwnConnection) {
    DBK_REQUIRE_SERVER();
    Connection c = test::connectAdmin();
    Connection other = test::connectAdmin();
    const long long otherId = static_cast<long long>(other.threadId());

    const std::optional<ThreadRow> found = findThread(c, otherId);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->at(0), std::to_string(otherId));
    EXPECT_EQ(found->at(1), test::adminParams().user);
    EXPECT_EQ(found->at(3), std::nullopt);  // no database chosen
    EXPECT_FALSE(findThread(c, 999999999));

    Connection user;
    ASSERT_TRUE(user.open(test::normalUserParams())) << user.errorLine();
    EXPECT_EQ(killThread(user, otherId), KillOutcome::Refused);
    EXPECT_EQ(user.errorNumber(), unsigned(ER_KILL_DENIED_ERROR));

    EXPECT_EQ(killThread(c, static_cast<long long>(c.threadId())), KillOutcome::OwnConnection);
    EXPECT_TRUE(c.exec("DO 1"));

    EXPECT_EQ(killThread(c, otherId), KillOutcome::Killed);
    EXPECT_FALSE(other.ping());
    // A thread that has ended already is no failure.
    EXPECT_EQ(killThread(c, 999999999), KillOutcome::Ended);
    EXPECT_EQ(killThread(c, 0), KillOutcome::Ended);
}

TEST(ReplicationStatus, AServerWithABinaryLogShowsItsMasterSide) {
    DBK_REQUIRE_SERVER();
    Session s(test::connectAdmin());
    Connection& c = s.connection();
    const ReplicationStatements& statements = s.generation().replication();
    EXPECT_STREQ(statements.slaveStatus, "SHOW REPLICA STATUS");

    const ReplicationState state = readReplicationState(c, statements);
    Result master = c.query("SHOW MASTER STATUS");
    ASSERT_TRUE(master.next()) << "the test server writes a binary log";
    ASSERT_TRUE(state.master);
    EXPECT_EQ(state.master->file, master.text("File"));
    EXPECT_EQ(state.master->position, master.text("Position"));
    EXPECT_FALSE(state.refusal);
    EXPECT_FALSE(state.slave);  // not a replica
    ASSERT_TRUE(state.slaves);
    EXPECT_TRUE(state.slaves->empty());

    EXPECT_FALSE(startSlave(c, statements));
    EXPECT_EQ(c.errorNumber(), unsigned(ER_BAD_SLAVE));
}

TEST(ReplicationStatus, AUserWithoutTheRightIsRefusedAndSeesNothing) {
    DBK_REQUIRE_SERVER();
    Session s;
    ASSERT_TRUE(s.open(test::normalUserParams())) << s.connection().errorLine();
    const ReplicationState state = readReplicationState(s.connection(), s.generation().replication());
    ASSERT_TRUE(state.refusal);
    EXPECT_EQ(state.refusal->substr(0, 5), std::to_string(ER_SPECIFIC_ACCESS_DENIED_ERROR) + ":");
    EXPECT_FALSE(state.master);
    EXPECT_FALSE(state.slave);
    EXPECT_TRUE(state.slaves);  // the user's own threads, none of them a slave
}

TEST(SystemVariables, ListsTheServerVariablesSortedByName) {
    DBK_REQUIRE_SERVER();
    Connection user;
    ASSERT_TRUE(user.open(test::normalUserParams())) << user.errorLine();
    const std::vector<ServerVariable> variables = readServerVariables(user);
    ASSERT_GT(variables.size(), 100U);
    EXPECT_TRUE(
        std::is_sorted(variables.begin(), variables.end(),
                       [](const ServerVariable& a, const ServerVariable& b) { return a.name < b.name; }));
    const auto packet = std::find_if(variables.begin(), variables.end(),
                                     [](const ServerVariable& v) { return v.name == "max_allowed_packet"; });
    ASSERT_NE(packet, variables.end());
    Result value = user.query("SELECT @@max_allowed_packet");
    ASSERT_TRUE(value.next());
    EXPECT_EQ(packet->value, value.text(0U));
}

}  // namespace
}  // namespace dbk
