#include "browser/object_command_entries.h"

#include <QCoreApplication>
#include <QTreeWidgetItem>

#include "app/form_entries.h"
#include "app/main_frame.h"
#include "app/messages.h"
#include "app/modal_runner.h"
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

void deleteSelected(CMainFrame& frame) {
    using object_commands::DeleteAction;
    CLeftView* tree = frame.leftView();
    QTreeWidgetItem* node = tree->selectedNode();
    if (!node)
        return;
    const std::string name = CLeftView::nodeBytes(node);
    const std::string parent = node->parent() ? CLeftView::nodeBytes(node->parent()) : std::string();
    const DeleteAction action = object_commands::deleteActionFor(CLeftView::kindOf(node), name, parent);
    switch (action) {
        case DeleteAction::Nothing:
            return;
        case DeleteAction::RefuseMysqlDatabase:
            ui().message(msg(10066));
            return;
        case DeleteAction::RefuseMysqlTable:
            ui().message(msg(10070));
            return;
        case DeleteAction::DropDatabase:
        case DeleteAction::DropTable:
            break;
    }
    if (!confirm(10067, toUi(name)))
        return;
    Connection& connection = frame.document().connection();
    const bool database = action == DeleteAction::DropDatabase;
    const std::string statement =
        database ? object_commands::dropDatabase(name) : object_commands::dropTable(parent, name);
    if (!connection.exec(statement)) {
        reportServerError(10068, connection);
        return;
    }
    delete node;
    ui().message(msg(database ? 10069 : 10071));
}

void deleteAllRecords(CMainFrame& frame) {
    WaitCursor wait;
    const DocumentContext& c = frame.document().context();
    if (!confirm(10089, toUi(c.currentTable)))
        return;
    Connection& connection = frame.document().connection();
    if (!connection.exec(object_commands::deleteAllRecords(c.currentDatabase, c.currentTable))) {
        ui().message(msgf(10090, toUi(connection.errorText())));
    }
    frame.updateAllViews();
}

// A statement whose outcome the notice reports; a refusal shows the server's reason instead
// of the notice.
void runWithNotice(CMainFrame& frame, const std::string& statement, int notice) {
    Connection& connection = frame.document().connection();
    if (connection.exec(statement)) {
        ui().message(msg(notice));
    } else {
        ui().message(msgf(10090, toUi(connection.errorText())));
    }
}

void lockTable(CMainFrame& frame) {
    const DocumentContext& c = frame.document().context();
    if (c.currentTable.empty()) {
        ui().message(msg(10080));
        return;
    }
    runWithNotice(frame, object_commands::lockTable(c.currentDatabase, c.currentTable), 10081);
}

void optimizeTable(CMainFrame& frame) {
    WaitCursor wait;
    const DocumentContext& c = frame.document().context();
    runWithNotice(frame, object_commands::optimizeTable(c.currentDatabase, c.currentTable), 10083);
}

void refreshGrants(CMainFrame& frame) {
    ui().message(msg(frame.document().connection().refresh(REFRESH_GRANT) ? 10104 : 10105));
}

void stopServer(CMainFrame& frame) {
    if (!confirm(10106))
        return;
    if (!frame.document().connection().shutdown()) {
        ui().message(msg(10108));
        return;
    }
    ui().message(msg(10107));
    frame.leftView()->keepAliveTimer().stop();
    programEnd()();
}

void showTableSize(CMainFrame& frame) {
    const DocumentContext& c = frame.document().context();
    TableSizeForm form(frame.document().session(), c.currentDatabase, c.currentTable, &frame);
    runModal(form);
}

}  // namespace

void setProgramEnd(std::function<void()> end) {
    programEnd() = std::move(end);
}

void installObjectCommandEntries(CMainFrame& frame) {
    CommandRouter& router = frame.router();
    CDbkeeperDoc& doc = frame.document();
    auto connected = [&doc] { return doc.connection().isOpen(); };
    auto tableChosen = [&doc] {
        return doc.connection().isOpen() && !doc.context().currentDatabase.empty() &&
               !doc.context().currentTable.empty();
    };
    router.setHandler(
        cmd::Delete, [&frame] { deleteSelected(frame); }, connected);
    router.setHandler(
        cmd::DeleteAllRecords, [&frame] { deleteAllRecords(frame); }, tableChosen);
    router.setHandler(
        cmd::LockTable, [&frame] { lockTable(frame); }, connected);
    router.setHandler(
        cmd::UnlockTable, [&frame] { runWithNotice(frame, object_commands::kUnlockTables, 10082); },
        connected);
    router.setHandler(
        cmd::OptimizeTable, [&frame] { optimizeTable(frame); }, tableChosen);
    for (int id : {cmd::FlushHosts, cmd::FlushLogs, cmd::FlushStatus, cmd::FlushTables}) {
        const object_commands::Flush* flush = object_commands::flushFor(id);
        router.setHandler(
            id, [&frame, flush] { runWithNotice(frame, flush->statement, flush->notice); }, connected);
    }
    router.setHandler(
        cmd::RefreshGrants, [&frame] { refreshGrants(frame); }, connected);
    router.setHandler(
        cmd::StopServer, [&frame] { stopServer(frame); }, connected);
    router.setHandler(
        cmd::TableSize, [&frame] { showTableSize(frame); }, tableChosen);
}

}  // namespace dbk
