#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/commands.h"
#include "app/messages.h"
#include "browser/object_tree.h"

namespace dbk {
namespace {

using namespace object_tree;

const char* kindName(NodeKind kind) {
    switch (kind) {
        case NodeKind::AdminRoot:
            return "AdminRoot";
        case NodeKind::UserEntry:
            return "UserEntry";
        case NodeKind::HostEntry:
            return "HostEntry";
        case NodeKind::DatabaseEntry:
            return "DatabaseEntry";
        case NodeKind::DatabasesRoot:
            return "DatabasesRoot";
        case NodeKind::Database:
            return "Database";
        case NodeKind::Table:
            return "Table";
        case NodeKind::LimitAccess:
            return "LimitAccess";
        case NodeKind::LimitUser:
            return "LimitUser";
        case NodeKind::NestedTable:
            return "NestedTable";
        case NodeKind::Unknown:
            return "Unknown";
    }
    return "?";
}

TEST(ObjectTree, NodeKindsAndTheirDisplayModes) {
    constexpr int none = -1;  // the selection keeps the display mode
    struct Case {
        int depth;
        int image;
        int fixedId;
        NodeKind kind;
        int displayMode;
    };
    const Case cases[] = {
        {0, 0, kAdminRoot, NodeKind::AdminRoot, 7},
        {0, 1, kAdminRoot, NodeKind::AdminRoot, 7},
        {0, 0, kDatabasesRoot, NodeKind::DatabasesRoot, 0},
        {1, 4, kUserEntry, NodeKind::UserEntry, 6},
        {1, 5, kHostEntry, NodeKind::HostEntry, 4},
        {1, 4, kDatabaseEntry, NodeKind::DatabaseEntry, 5},
        // a database whose name happens to be a fixed node's text is still a database
        {1, 0, kNotFixed, NodeKind::Database, 1},
        {1, 1, kNotFixed, NodeKind::Database, 1},
        {2, 2, kNotFixed, NodeKind::Table, none},
        {2, 3, kNotFixed, NodeKind::Table, none},
        {2, 4, kLimitAccess, NodeKind::LimitAccess, 2},
        {2, 5, kLimitUser, NodeKind::LimitUser, 3},
        {3, 2, kNotFixed, NodeKind::NestedTable, none},
        {1, 4, kNotFixed, NodeKind::Unknown, none},
        {2, 4, kNotFixed, NodeKind::Unknown, none},
        {2, 0, kNotFixed, NodeKind::Unknown, none},
        {4, 2, kNotFixed, NodeKind::Unknown, none},
    };
    for (const Case& c : cases) {
        const NodeKind kind = nodeKind(c.depth, c.image, c.fixedId);
        EXPECT_STREQ(kindName(kind), kindName(c.kind)) << c.depth << "/" << c.image << "/" << c.fixedId;
        EXPECT_EQ(displayModeFor(kind).value_or(none), c.displayMode) << kindName(c.kind);
    }
}

TEST(ObjectTree, FixedNodesFollowTheInterfaceLanguage) {
    struct Case {
        int id;
        const char* english;
        const char* japanese;
    };
    const Case cases[] = {
        {kAdminRoot, "Control Data", "管理用データ"},
        {kUserEntry, "User", "ユーザ"},
        {kHostEntry, "Host", "ホスト"},
        {kDatabasesRoot, "Database", "データベース"},
        {kLimitAccess, "Limit Access", "アクセス制限"},
        {kLimitUser, "Limit User", "ユーザ制限"},
    };
    for (const Case& c : cases) {
        setInterfaceLanguage(Language::English);
        EXPECT_EQ(fixedNodeText(c.id), QString::fromUtf8(c.english));
        setInterfaceLanguage(Language::Japanese);
        EXPECT_EQ(fixedNodeText(c.id), QString::fromUtf8(c.japanese));
    }
    setInterfaceLanguage(Language::English);
}

TEST(ObjectTree, HostNodesOnlyWhereTheServerHasTheHostTable) {
    EXPECT_EQ(adminEntries(true), (std::vector<int>{kUserEntry, kHostEntry, kDatabaseEntry}));
    EXPECT_EQ(adminEntries(false), (std::vector<int>{kUserEntry, kDatabaseEntry}));
    EXPECT_EQ(mysqlEntries(true, true), (std::vector<int>{kLimitAccess, kLimitUser}));
    EXPECT_EQ(mysqlEntries(true, false), (std::vector<int>{kLimitUser}));
    EXPECT_TRUE(mysqlEntries(false, true).empty());
    EXPECT_TRUE(mysqlEntries(false, false).empty());
}

TEST(ObjectTree, ContextMenuPlanByDepth) {
    const std::set<int> allTableCommands = {cmd::CreateTable, cmd::RenameTable, cmd::Delete,
                                            cmd::LockTable,   cmd::UnlockTable, cmd::OptimizeTable};
    const std::vector<int> tableAppendix = {
        0, cmd::ExportTableCsv, 0, cmd::EditTable,       cmd::TableCopy, cmd::DatabaseCopy, cmd::Maintenance,
        0, cmd::TableSize,      0, cmd::DeleteAllRecords};
    struct Case {
        const char* node;
        int depth;
        int image;
        bool hasChildren;
        ContextMenuPlan plan;
    };
    const std::vector<Case> cases = {
        {"root", 0, 0, true, {allTableCommands, {}}},
        {"empty root", 0, 0, false, {allTableCommands, {}}},
        {"database with tables",
         1,
         0,
         true,
         {{cmd::RenameTable, cmd::LockTable, cmd::UnlockTable, cmd::OptimizeTable}, {0, cmd::DatabaseCopy}}},
        {"database not yet listed",
         1,
         0,
         false,
         {{cmd::CreateTable, cmd::RenameTable, cmd::LockTable, cmd::UnlockTable, cmd::OptimizeTable},
          {0, cmd::DatabaseCopy}}},
        {"administration entry",
         1,
         4,
         false,
         {{cmd::CreateTable, cmd::RenameTable, cmd::LockTable, cmd::UnlockTable, cmd::OptimizeTable},
          {0, cmd::DatabaseCopy}}},
        {"limit entry", 2, 4, false, {allTableCommands, {}}},
        {"table", 2, 2, false, {{cmd::CreateTable}, tableAppendix}},
        {"nested table",
         3,
         2,
         false,
         {{cmd::CreateTable, cmd::RenameTable, cmd::LockTable, cmd::UnlockTable, cmd::OptimizeTable}, {}}},
    };
    for (const Case& c : cases) {
        const ContextMenuPlan plan = contextMenuPlan(c.depth, c.image, c.hasChildren);
        EXPECT_EQ(plan.disabled, c.plan.disabled) << c.node;
        EXPECT_EQ(plan.appended, c.plan.appended) << c.node;
    }
    // Everything the plans name is a command the tree handles.
    for (int id : tableAppendix) {
        if (id == 0)
            continue;
        const CommandSpec* spec = findCommand(id);
        ASSERT_NE(spec, nullptr) << id;
        EXPECT_TRUE(spec->tree) << id;
    }
}

TEST(ObjectTree, TextColoursByDepthAndNode) {
    struct Case {
        int depth;
        int image;
        const char* text;
        const char* parent;
        Rgb colour;
    };
    const Case cases[] = {
        {0, 0, "Database", "", kRed},
        {0, 0, "Control Data", "", kRed},
        {1, 0, "mysql", "Database", kBlue},
        {1, 0, "shop", "Database", kDarkBlue},
        {1, 0, "MYSQL", "Database", kDarkBlue},  // another database
        {1, 4, "User", "Control Data", kBlue},
        {1, 5, "Host", "Control Data", kBlue},
        {2, 2, "user", "mysql", kBlue},
        {2, 4, "Limit User", "mysql", kBlue},
        {2, 2, "items", "shop", kDarkBlue},
        {2, 2, "mysql", "shop", kDarkBlue},  // a table named mysql in another database
        {2, 4, "Limit User", "shop", kBlue},
        {3, 2, "new", "items", kYellow},
    };
    for (const Case& c : cases) {
        const Rgb got = nodeTextColour(c.depth, c.image, c.text, c.parent);
        EXPECT_EQ(got, c.colour) << c.depth << " " << c.text << " under " << c.parent << ": " << int(got.r)
                                 << "," << int(got.g) << "," << int(got.b);
    }
}

std::vector<std::string> names(const char* prefix, int from, int to) {
    std::vector<std::string> out;
    for (int i = from; i < to; ++i)
        out.push_back(prefix + std::to_string(i));
    return out;
}

TEST(ObjectTree, ReselectingADatabaseAddsOnlyNewTables) {
    using Names = std::vector<std::string>;
    struct Case {
        const char* what;
        Names existing;
        Names listed;
        Names added;
    };
    const std::vector<Case> cases = {
        {"first listing", {}, {"a", "b", "c"}, {"a", "b", "c"}},
        {"nothing new", {"a", "b"}, {"a", "b"}, {}},
        {"created outside", {"a", "c"}, {"a", "b", "c", "d"}, {"b", "d"}},
        {"dropped outside: nothing to add, nothing removed", {"a", "b", "c"}, {"a", "c"}, {}},
        {"names compared as bytes",
         {"Items", "\x95\x5c"},
         {"items", "\x95\x5c", "\x95\x5d"},
         {"items", "\x95\x5d"}},
        {"names with blanks and backquotes", {"a b"}, {"a b", "a`b", "a  b"}, {"a`b", "a  b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tablesToAdd(c.existing, c.listed), c.added) << c.what;
}

TEST(ObjectTree, LargeDatabasesGetNoDuplicatesBeyondTheFirstThousandTables) {
    // 1500 tables already in the tree, the listing has them all and two more.
    const std::vector<std::string> existing = names("t", 0, 1500);
    std::vector<std::string> listed = names("t", 0, 1500);
    listed.insert(listed.begin() + 1200, "new_in_the_middle");
    listed.push_back("new_at_the_end");
    EXPECT_EQ(tablesToAdd(existing, listed),
              (std::vector<std::string>{"new_in_the_middle", "new_at_the_end"}));
}

}  // namespace
}  // namespace dbk
