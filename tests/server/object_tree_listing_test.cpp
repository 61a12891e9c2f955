#include <gtest/gtest.h>

#include <algorithm>

#include "browser/object_tree.h"
#include "conn/text_codec.h"
#include "support/test_server.h"

namespace dbk {
namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(ObjectTreeListing, AwkwardNamesListAndSelectAsTheyAre) {
    DBK_REQUIRE_SERVER();
    struct Case {
        std::string database;
        std::vector<std::string> tables;
    };
    const std::vector<Case> cases = {
        {"dbk_tree_two words", {"plain", "with blank"}},
        {toShiftJis(QString::fromUtf8("dbk_tree_日本語")), {toShiftJis(QString::fromUtf8("商品表")), "t`q"}},
        {"dbk_tree_back`quote", {"`", "a``b"}},
    };
    for (const Case& c : cases) {
        test::ScratchDatabase scratch(c.database);
        for (const std::string& table : c.tables) {
            ASSERT_TRUE(scratch.admin().exec("CREATE TABLE " + test::sqlName(c.database) + "." +
                                             test::sqlName(table) + " (id INT)"))
                << scratch.admin().errorLine();
        }

        Connection connection = test::connectAdmin();
        const object_tree::NameListing databases = object_tree::listDatabases(connection);
        ASSERT_TRUE(databases.ok);
        EXPECT_TRUE(contains(databases.names, c.database)) << fromShiftJis(c.database).toStdString();
        EXPECT_TRUE(contains(databases.names, "mysql"));

        const object_tree::NameListing tables = object_tree::listTables(connection, c.database);
        ASSERT_TRUE(tables.ok) << connection.errorLine();
        std::vector<std::string> sorted = tables.names;
        std::vector<std::string> expected = c.tables;
        std::sort(sorted.begin(), sorted.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted, expected) << fromShiftJis(c.database).toStdString();

        // The listing left the database selected.
        Result current = connection.query("SELECT DATABASE()");
        ASSERT_TRUE(current.next());
        EXPECT_EQ(current.text(0U), c.database);
    }
}

TEST(ObjectTreeListing, ADatabaseThatCannotBeSelectedListsNothing) {
    DBK_REQUIRE_SERVER();
    Connection connection = test::connectAdmin();
    const object_tree::NameListing tables = object_tree::listTables(connection, "dbk_tree_does_not_exist");
    EXPECT_FALSE(tables.ok);
    EXPECT_TRUE(tables.names.empty());
    EXPECT_EQ(connection.errorNumber(), 1049U);  // unknown database
}

TEST(ObjectTreeListing, AClosedConnectionReportsAFailedDatabaseList) {
    Connection closed;
    EXPECT_FALSE(object_tree::listDatabases(closed).ok);
    EXPECT_FALSE(object_tree::listTables(closed, "mysql").ok);
}

}  // namespace
}  // namespace dbk
