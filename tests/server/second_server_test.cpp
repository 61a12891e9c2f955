#include <gtest/gtest.h>

#include <string>

#include "conn/session.h"
#include "support/test_server.h"

namespace dbk {
namespace {

std::string valueOf(Connection& c, const std::string& sql) {
    Result r = c.query(sql);
    EXPECT_TRUE(r) << sql << ": " << c.errorLine();
    return r && r.next() ? std::string(r.text(0U)) : std::string("(no row)");
}

// Two sessions, one on each test server: each is a session of its own server, with the
// generation probed on that server, and what one does is not seen by the other.
TEST(SecondServer, EachSessionTalksToItsOwnServer) {
    DBK_REQUIRE_SECOND_SERVER();
    const ConnectParams firstParams = test::adminParams();
    const ConnectParams secondParams = test::secondServerParams();
    EXPECT_NE(firstParams.port, secondParams.port);

    // The second server alone gets a mysql.host table, so that its generation is told apart
    // from the first's by what the probe finds there.
    Connection secondAdmin = test::connectSecondAdmin();
    ASSERT_TRUE(secondAdmin.isOpen());
    ASSERT_TRUE(secondAdmin.exec("DROP TABLE IF EXISTS mysql.host"));
    ASSERT_TRUE(secondAdmin.exec("CREATE TABLE mysql.host (Host CHAR(60) NOT NULL, Db CHAR(64) NOT NULL)"))
        << secondAdmin.errorLine();
    struct DropHostTable {
        Connection& c;
        ~DropHostTable() { c.exec("DROP TABLE IF EXISTS mysql.host"); }
    } dropHostTable{secondAdmin};

    Session first;
    Session second;
    ASSERT_TRUE(first.open(firstParams)) << first.connection().errorLine();
    ASSERT_TRUE(second.open(secondParams)) << second.connection().errorLine();

    EXPECT_EQ(valueOf(first.connection(), "SELECT @@server_id"), "1");
    EXPECT_EQ(valueOf(second.connection(), "SELECT @@server_id"), "2");
    EXPECT_EQ(valueOf(first.connection(), "SELECT @@port"), std::to_string(firstParams.port));
    EXPECT_EQ(valueOf(second.connection(), "SELECT @@port"), std::to_string(secondParams.port));
    // both keep a binary log (the replication form shows the master status)
    EXPECT_EQ(valueOf(first.connection(), "SELECT @@log_bin"), "1");
    EXPECT_EQ(valueOf(second.connection(), "SELECT @@log_bin"), "1");

    EXPECT_NE(first.generation().version(), 0UL);
    EXPECT_EQ(first.generation().version(), first.connection().serverVersion());
    EXPECT_EQ(second.generation().version(), second.connection().serverVersion());
    EXPECT_FALSE(first.generation().hasHostTable());
    EXPECT_TRUE(second.generation().hasHostTable());

    // A table made on one server is not on the other, and each has its own rows.
    const std::string database = "dbk_second_server";
    for (Session* s : {&first, &second}) {
        Connection& c = s->connection();
        ASSERT_TRUE(c.exec("DROP DATABASE IF EXISTS " + database));
        ASSERT_TRUE(c.exec("CREATE DATABASE " + database)) << c.errorLine();
    }
    ASSERT_TRUE(first.connection().exec("CREATE TABLE " + database + ".only_first (n INT)"));
    ASSERT_TRUE(first.connection().exec("INSERT INTO " + database + ".only_first VALUES (1), (2)"));
    ASSERT_TRUE(second.connection().exec("CREATE TABLE " + database + ".only_second (n INT)"));
    ASSERT_TRUE(second.connection().exec("INSERT INTO " + database + ".only_second VALUES (5)"));

    const std::string tables =
        "SELECT GROUP_CONCAT(TABLE_NAME) FROM information_schema.TABLES "
        "WHERE TABLE_SCHEMA = '" +
        database + "'";
    EXPECT_EQ(valueOf(first.connection(), tables), "only_first");
    EXPECT_EQ(valueOf(second.connection(), tables), "only_second");
    EXPECT_FALSE(second.connection().query("SELECT * FROM " + database + ".only_first").ok());
    EXPECT_EQ(second.connection().errorNumber(), 1146U);  // no such table
    EXPECT_EQ(valueOf(first.connection(), "SELECT SUM(n) FROM " + database + ".only_first"), "3");
    EXPECT_EQ(valueOf(second.connection(), "SELECT SUM(n) FROM " + database + ".only_second"), "5");

    for (Session* s : {&first, &second})
        s->connection().exec("DROP DATABASE IF EXISTS " + database);
}

}  // namespace
}  // namespace dbk
