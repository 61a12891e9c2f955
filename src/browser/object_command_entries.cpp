#include "browser/object_command_entries.h"

#include <QCoreApplication>
#include <QTreeWidgetItem>

#include "app/commands.h"
#include "app/form_entry.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "browser/left_view.h"
#include "browser/object_commands.h"
#include "browser/table_size_form.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {

std::function<void()>& programEnd() {
    static std::function<void()> end = [] { QCoreApplication::exit(0); };
    return end;
}

// Delete on the selected node of the tree: a database or a table, whatever pane sent it.
FollowUp deleteSelected(EntrySite& site, const EntryTarget&) {
    using object_commands::DeleteAction;
    CLeftView* tree = site.tree();
    QTreeWidgetItem* node = tree->selectedNode();
    if (!node)
        return {};
    const std::string name = CLeftView::nodeBytes(node);
    const std::string database = CLeftView::databaseOf(node);
    const DeleteAction action = object_commands::deleteActionFor(CLeftView::kindOf(node), name, database);
    switch (action) {
        case DeleteAction::Nothing:
            return {};
        case DeleteAction::RefuseMysqlDatabase:
            ui().message(msg(10066));
            return {};
        case DeleteAction::RefuseMysqlTable:
            ui().message(msg(10070));
            return {};
        case DeleteAction::DropDatabase:
        case DeleteAction::DropTable:
            break;
    }
    if (!confirm(10067, fromServer(site.document().connection(), name)))
        return {};
    Connection& connection = site.document().connection();
    const bool dropDatabase = action == DeleteAction::DropDatabase;
    const std::string statement = dropDatabase ? object_commands::dropDatabase(connection, name)
                                               : object_commands::dropTable(connection, database, name);
    if (!connection.exec(statement)) {
        reportServerError(10068, connection);
        return {};
    }
    delete node;
    ui().message(msg(dropDatabase ? 10069 : 10071));
    return {};
}

FollowUp deleteAllRecords(EntrySite& site, const EntryTarget& target) {
    WaitCursor wait;
    if (!confirm(10089, fromServer(site.document().connection(), target.table)))
        return {};
    Connection& connection = site.document().connection();
    if (!connection.exec(object_commands::deleteAllRecords(connection, target.database, target.table))) {
        ui().message(msgf(10090, fromServer(connection, connection.errorText())));
    }
    return FollowUp{.refillList = true};
}

// A statement whose outcome the notice reports; a refusal shows the server's reason instead
// of the notice.
void runWithNotice(EntrySite& site, const std::string& statement, int notice) {
    Connection& connection = site.document().connection();
    if (connection.exec(statement)) {
        ui().message(msg(notice));
    } else {
        ui().message(msgf(10090, fromServer(connection, connection.errorText())));
    }
}

FollowUp lockTable(EntrySite& site, const EntryTarget& target) {
    if (target.table.empty()) {
        ui().message(msg(10080));
        return {};
    }
    runWithNotice(
        site, object_commands::lockTable(site.document().connection(), target.database, target.table), 10081);
    return {};
}

FollowUp unlockTables(EntrySite& site, const EntryTarget&) {
    runWithNotice(site, object_commands::kUnlockTables, 10082);
    return {};
}

FollowUp optimizeTable(EntrySite& site, const EntryTarget& target) {
    WaitCursor wait;
    Connection& connection = site.document().connection();
    Result rows = connection.query(object_commands::optimizeTable(connection, target.database, target.table));
    std::optional<std::string> complaint =
        rows.ok() ? object_commands::optimizeComplaint(rows) : std::optional(connection.errorText());
    if (complaint) {
        ui().message(msgf(10090, fromServer(site.document().connection(), *complaint)));
    } else {
        ui().message(msg(10083));
    }
    return {};
}

template <int Command>
FollowUp flush(EntrySite& site, const EntryTarget&) {
    const object_commands::Flush* flush = object_commands::flushFor(Command);
    runWithNotice(site, flush->statement, flush->notice);
    return {};
}

FollowUp refreshGrants(EntrySite& site, const EntryTarget&) {
    ui().message(msg(site.document().connection().refresh(REFRESH_GRANT) ? 10104 : 10105));
    return {};
}

FollowUp stopServer(EntrySite& site, const EntryTarget&) {
    if (!confirm(10106))
        return {};
    if (!site.document().connection().shutdown()) {
        ui().message(msg(10108));
        return {};
    }
    ui().message(msg(10107));
    site.tree()->keepAliveTimer().stop();
    programEnd()();
    return {};
}

// clang-format off
[[maybe_unused]] const int registered = FormRegistry::instance().addAll({
    {.command = cmd::Delete,                                   .run = deleteSelected},
    {.command = cmd::DeleteAllRecords, .needs = Needs::Table,  .run = deleteAllRecords},
    {.command = cmd::LockTable,                                .run = lockTable},
    {.command = cmd::UnlockTable,                              .run = unlockTables},
    {.command = cmd::OptimizeTable,    .needs = Needs::Table,  .run = optimizeTable},
    {.command = cmd::FlushHosts,                               .run = flush<cmd::FlushHosts>},
    {.command = cmd::FlushLogs,                                .run = flush<cmd::FlushLogs>},
    {.command = cmd::FlushStatus,                              .run = flush<cmd::FlushStatus>},
    {.command = cmd::FlushTables,                              .run = flush<cmd::FlushTables>},
    {.command = cmd::RefreshGrants,                            .run = refreshGrants},
    {.command = cmd::StopServer,                               .run = stopServer},
    {.command = cmd::TableSize,        .needs = Needs::Table,  .run = justOpenForTable<TableSizeForm>},
});
// clang-format on

}  // namespace

void setProgramEnd(std::function<void()> end) {
    programEnd() = std::move(end);
}

}  // namespace dbk
