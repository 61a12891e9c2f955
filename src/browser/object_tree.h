#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace dbk {

class Connection;

// The object tree's rules, apart from the widget: what a node is, what the right pane shows
// for it, which commands its context menu offers, how its text is coloured, and how a
// database's table list grows.
namespace object_tree {

// Image numbers of the nodes; the selected picture of each is the next number.
enum Image : int { kDatabaseImage = 0, kTableImage = 2, kAdminImage = 4 };

// Message numbers of the fixed nodes. The databases root and the "Database" entry of the
// administration branch share their text.
enum FixedNode : int {
    kNotFixed = 0,
    kAdminRoot = 10063,
    kUserEntry = 10016,
    kHostEntry = 10002,
    kDatabaseEntry = 10000,
    kDatabasesRoot = 10000,
    kLimitAccess = 10171,
    kLimitUser = 10172,
};

enum class NodeKind {
    AdminRoot,
    UserEntry,
    HostEntry,
    DatabaseEntry,
    DatabasesRoot,
    Database,
    Table,
    LimitAccess,
    LimitUser,
    // A table node below a table node (Create New Table with a table selected).
    NestedTable,
    Unknown,
};

// The kind of a node from its depth (0 for a top node), its image (normal or selected) and
// the message number of a fixed node (kNotFixed for names the server gave).
NodeKind nodeKind(int depth, int image, int fixedId);

// What the right pane is to show for a node; nullopt when the selection leaves it as it is
// (a table keeps the mode its database set).
std::optional<int> displayModeFor(NodeKind kind);

// The text of a fixed node in the interface language, or its fallback when the message is
// missing.
QString fixedNodeText(int fixedId);

// The grant tables of the database mysql whose rows only the privilege forms edit.
bool isGrantTable(std::string_view database, std::string_view table);

// The entries of the administration branch, in order. Servers without mysql.host get no
// "Host" entry.
std::vector<int> adminEntries(bool hasHostTable);
// The entries appended under the database mysql after its tables (administrators only).
std::vector<int> mysqlEntries(bool administrator, bool hasHostTable);

// The tree's context menu: the Options menu with some commands disabled, and commands
// appended after it (0 is a separator).
struct ContextMenuPlan {
    std::set<int> disabled;
    std::vector<int> appended;
    bool operator==(const ContextMenuPlan&) const = default;
};
ContextMenuPlan contextMenuPlan(int depth, int image, bool hasChildren);

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kDarkBlue{0, 0, 100};
inline constexpr Rgb kYellow{255, 255, 0};

// Text colour of a node that is not selected (the selected node is drawn in the highlight
// colours). `text` and `parentText` are the node's and its parent's names as bytes.
Rgb nodeTextColour(int depth, int image, std::string_view text, std::string_view parentText);

// The table names of a fresh listing that are not yet among a database's table nodes, in
// the listing's order. Existing nodes are never removed.
std::vector<std::string> tablesToAdd(const std::vector<std::string>& existing,
                                     const std::vector<std::string>& listed);

// The outcome of a listing: the names in the server's order, or a failure (see the
// connection's error).
struct NameListing {
    bool ok = false;
    std::vector<std::string> names;
};
// The server's databases (first column of the database list).
NameListing listDatabases(Connection& connection);
// Makes `database` the connection's default database and lists its tables.
NameListing listTables(Connection& connection, std::string_view database);

}  // namespace object_tree
}  // namespace dbk
