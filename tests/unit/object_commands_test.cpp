#include <gtest/gtest.h>

#include "app/commands.h"
#include "browser/object_commands.h"
#include "conn/connection.h"

namespace dbk {
namespace {

// Statements for a session in Shift_JIS, the set a connection is opened in.
const Connection offline{ConnectParams{.characterSet = "cp932"}};

using object_commands::DeleteAction;
using object_tree::NodeKind;

TEST(ObjectCommands, DeleteProtectsTheGrantDatabase) {
    const struct {
        NodeKind kind;
        const char* name;
        const char* database;
        DeleteAction action;
    } cases[] = {
        {NodeKind::Database, "mysql", "mysql", DeleteAction::RefuseMysqlDatabase},
        {NodeKind::Database, "shop", "shop", DeleteAction::DropDatabase},
        {NodeKind::Table, "user", "mysql", DeleteAction::RefuseMysqlTable},
        {NodeKind::Table, "items", "shop", DeleteAction::DropTable},
        {NodeKind::NestedTable, "items", "shop", DeleteAction::DropTable},
        {NodeKind::NestedTable, "user", "mysql", DeleteAction::RefuseMysqlTable},
        {NodeKind::DatabasesRoot, "Database", "", DeleteAction::Nothing},
        {NodeKind::AdminRoot, "Control Data", "", DeleteAction::Nothing},
        {NodeKind::LimitUser, "Limit User", "mysql", DeleteAction::Nothing},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(object_commands::deleteActionFor(c.kind, c.name, c.database), c.action) << c.name;
    }
}

TEST(ObjectCommands, StatementsNameTheirObjects) {
    EXPECT_EQ(object_commands::dropDatabase(offline, "shop"), "DROP DATABASE IF EXISTS shop");
    EXPECT_EQ(object_commands::dropDatabase(offline, "my shop"), "DROP DATABASE IF EXISTS `my shop`");
    EXPECT_EQ(object_commands::dropTable(offline, "shop", "items"), "DROP TABLE IF EXISTS shop.items");
    EXPECT_EQ(object_commands::deleteAllRecords(offline, "shop", "order items"),
              "DELETE FROM shop.`order items`");
    EXPECT_EQ(object_commands::lockTable(offline, "shop", "items"), "LOCK TABLES shop.items READ");
    EXPECT_EQ(object_commands::optimizeTable(offline, "shop", "select"), "OPTIMIZE TABLE shop.`select`");
    ASSERT_NE(object_commands::flushFor(cmd::FlushLogs), nullptr);
    EXPECT_STREQ(object_commands::flushFor(cmd::FlushLogs)->statement, "FLUSH LOGS");
    EXPECT_EQ(object_commands::flushFor(cmd::FlushTables)->notice, 10088);
    EXPECT_EQ(object_commands::flushFor(cmd::Delete), nullptr);
}

}  // namespace
}  // namespace dbk
