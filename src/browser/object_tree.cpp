#include "browser/object_tree.h"

#include <unordered_set>

#include "app/commands.h"
#include "app/messages.h"
#include "conn/connection.h"

namespace dbk::object_tree {

namespace {

bool isAdminImage(int image) {
    return image == kAdminImage || image == kAdminImage + 1;
}
bool isTableImage(int image) {
    return image == kTableImage || image == kTableImage + 1;
}

// The commands of the Options menu that act on one table.
const std::set<int>& tableCommands() {
    static const std::set<int> commands = {cmd::RenameTable, cmd::LockTable, cmd::UnlockTable,
                                           cmd::OptimizeTable};
    return commands;
}

std::set<int> withTableCommands(std::initializer_list<int> more) {
    std::set<int> out = tableCommands();
    out.insert(more);
    return out;
}

}  // namespace

NodeKind nodeKind(int depth, int image, int fixedId) {
    switch (depth) {
        case 0:
            return fixedId == kAdminRoot ? NodeKind::AdminRoot : NodeKind::DatabasesRoot;
        case 1:
            if (!isAdminImage(image))
                return NodeKind::Database;
            switch (fixedId) {
                case kUserEntry:
                    return NodeKind::UserEntry;
                case kHostEntry:
                    return NodeKind::HostEntry;
                case kDatabaseEntry:
                    return NodeKind::DatabaseEntry;
                default:
                    return NodeKind::Unknown;
            }
        case 2:
            if (isTableImage(image))
                return NodeKind::Table;
            if (!isAdminImage(image))
                return NodeKind::Unknown;
            if (fixedId == kLimitAccess)
                return NodeKind::LimitAccess;
            if (fixedId == kLimitUser)
                return NodeKind::LimitUser;
            return NodeKind::Unknown;
        case 3:
            return isTableImage(image) ? NodeKind::NestedTable : NodeKind::Unknown;
        default:
            return NodeKind::Unknown;
    }
}

std::optional<int> displayModeFor(NodeKind kind) {
    switch (kind) {
        case NodeKind::DatabasesRoot:
            return 0;
        case NodeKind::Database:
            return 1;
        case NodeKind::LimitAccess:
            return 2;
        case NodeKind::LimitUser:
            return 3;
        case NodeKind::HostEntry:
            return 4;
        case NodeKind::DatabaseEntry:
            return 5;
        case NodeKind::UserEntry:
            return 6;
        case NodeKind::AdminRoot:
            return 7;
        case NodeKind::Table:
        case NodeKind::NestedTable:
        case NodeKind::Unknown:
            break;
    }
    return std::nullopt;
}

QString fixedNodeText(int fixedId) {
    const QString text = msg(fixedId);
    if (!text.isEmpty())
        return text;
    switch (fixedId) {
        case kAdminRoot:
            return QStringLiteral("管理用データ*");
        case kUserEntry:
            return QStringLiteral("ユーザ*");
        case kHostEntry:
            return QStringLiteral("ホスト*");
        case kDatabasesRoot:
            return QStringLiteral("データベース*");
        case kLimitAccess:
            return QStringLiteral("アクセス制限*");
        case kLimitUser:
            return QStringLiteral("ユーザ制限*");
        default:
            return QString::number(fixedId);
    }
}

bool isGrantTable(std::string_view database, std::string_view table) {
    return database == "mysql" && (table == "user" || table == "db" || table == "host");
}

std::vector<int> adminEntries(bool hasHostTable) {
    if (hasHostTable)
        return {kUserEntry, kHostEntry, kDatabaseEntry};
    return {kUserEntry, kDatabaseEntry};
}

std::vector<int> mysqlEntries(bool administrator, bool hasHostTable) {
    if (!administrator)
        return {};
    if (hasHostTable)
        return {kLimitAccess, kLimitUser};
    return {kLimitUser};
}

ContextMenuPlan contextMenuPlan(int depth, int image, bool hasChildren) {
    ContextMenuPlan plan;
    switch (depth) {
        case 0:
            plan.disabled = withTableCommands({cmd::CreateTable, cmd::Delete});
            break;
        case 1:
            plan.disabled = tableCommands();
            if (!hasChildren)
                plan.disabled.insert(cmd::CreateTable);
            plan.appended = {0, cmd::DatabaseCopy};
            break;
        case 2:
            if (isAdminImage(image)) {
                plan.disabled = withTableCommands({cmd::CreateTable, cmd::Delete});
            } else {
                plan.disabled = {cmd::CreateTable};
                plan.appended = {0,
                                 cmd::ExportTableCsv,
                                 0,
                                 cmd::EditTable,
                                 cmd::TableCopy,
                                 cmd::DatabaseCopy,
                                 cmd::Maintenance,
                                 0,
                                 cmd::TableSize,
                                 0,
                                 cmd::DeleteAllRecords};
            }
            break;
        default:
            plan.disabled = withTableCommands({cmd::CreateTable});
            break;
    }
    return plan;
}

Rgb nodeTextColour(int depth, int image, std::string_view text, std::string_view parentText) {
    switch (depth) {
        case 0:
            return kRed;
        case 1:
            return text == "mysql" || isAdminImage(image) ? kBlue : kDarkBlue;
        case 2:
            return parentText == "mysql" || isAdminImage(image) ? kBlue : kDarkBlue;
        case 3:
            return kYellow;
        default:
            return kDarkBlue;
    }
}

std::vector<std::string> tablesToAdd(const std::vector<std::string>& existing,
                                     const std::vector<std::string>& listed) {
    // Every existing name takes part: a cap on the comparison would add the tables beyond
    // it once more on every selection.
    std::unordered_set<std::string_view> known(existing.begin(), existing.end());
    std::vector<std::string> out;
    for (const std::string& name : listed) {
        if (known.insert(name).second)
            out.push_back(name);
    }
    return out;
}

namespace {
NameListing namesOf(Result result) {
    NameListing listing;
    if (!result.ok())
        return listing;
    while (result.next())
        listing.names.emplace_back(result.text(0U));
    listing.ok = result.ok();
    return listing;
}
}  // namespace

NameListing listDatabases(Connection& connection) {
    return namesOf(connection.listDbs());
}

NameListing listTables(Connection& connection, std::string_view database) {
    if (!connection.selectDb(database))
        return {};
    return namesOf(connection.listTables("%"));
}

}  // namespace dbk::object_tree
