#include "app/commands.h"

#include <algorithm>

#include "app/messages.h"

namespace dbk {

namespace {
constexpr bool Y = true;
constexpr bool N = false;
}  // namespace

const std::vector<CommandSpec>& commandTable() {
    static const std::vector<CommandSpec> table = {
        // id                             text                T  L  G  owner
        {cmd::Connect, cmd::Connect, N, N, N, Owner::App},
        {cmd::ExportCsv, cmd::ExportCsv, Y, Y, Y, Owner::Panes},
        {cmd::ImportCsv, cmd::ImportCsv, Y, Y, Y, Owner::Panes},
        {cmd::ScriptFromFile, cmd::ScriptFromFile, Y, Y, Y, Owner::Panes},
        {cmd::Quit, cmd::Quit, N, N, N, Owner::App},
        {cmd::Undo, cmd::Undo, N, N, N, Owner::Panes},
        {cmd::Cut, cmd::Cut, N, N, N, Owner::Panes},
        {cmd::Paste, cmd::Paste, N, N, N, Owner::Panes},
        {cmd::Copy, cmd::Copy, N, Y, N, Owner::Panes},
        {cmd::Find, cmd::Find, N, N, N, Owner::Frame},
        {cmd::UserRegistration, cmd::UserRegistration, Y, Y, Y, Owner::Panes},
        {cmd::ExecuteSql, cmd::ExecuteSql, Y, Y, Y, Owner::Panes},
        {cmd::CreateDatabase, cmd::CreateDatabase, Y, N, Y, Owner::Panes},
        {cmd::CreateTable, cmd::CreateTable, Y, N, N, Owner::Panes},
        {cmd::Delete, cmd::Delete, Y, N, N, Owner::Panes},
        {cmd::RenameTable, cmd::RenameTable, Y, N, N, Owner::Panes},
        {cmd::LockTable, cmd::LockTable, Y, N, N, Owner::Panes},
        {cmd::UnlockTable, cmd::UnlockTable, Y, N, N, Owner::Panes},
        {cmd::OptimizeTable, cmd::OptimizeTable, Y, N, N, Owner::Panes},
        {cmd::RefreshGrants, cmd::RefreshGrants, Y, Y, N, Owner::Panes},
        {cmd::StopServer, cmd::StopServer, Y, Y, N, Owner::Panes},
        {cmd::FlushHosts, cmd::FlushHosts, Y, Y, Y, Owner::Panes},
        {cmd::FlushLogs, cmd::FlushLogs, Y, Y, Y, Owner::Panes},
        {cmd::FlushStatus, cmd::FlushStatus, Y, Y, Y, Owner::Panes},
        {cmd::FlushTables, cmd::FlushTables, Y, Y, Y, Owner::Panes},
        {cmd::ReplicateFromOtherServer, cmd::ReplicateFromOtherServer, Y, Y, Y, Owner::Panes},
        {cmd::Replication, cmd::Replication, Y, Y, Y, Owner::Panes},
        {cmd::ViewToolbar, cmd::ViewToolbar, N, N, N, Owner::Frame},
        {cmd::ViewStatusBar, cmd::ViewStatusBar, N, N, N, Owner::Frame},
        {cmd::Processes, cmd::Processes, Y, Y, Y, Owner::Panes},
        {cmd::Filter, cmd::Filter, N, Y, N, Owner::Panes},
        {cmd::SystemVariables, cmd::SystemVariables, Y, Y, Y, Owner::Panes},
        {cmd::About, cmd::About, N, N, N, Owner::App},
        {cmd::PageDialog, cmd::PageDialog, N, Y, N, Owner::Panes},
        {cmd::NextPage, cmd::NextPage, N, Y, N, Owner::Panes},
        {cmd::PreviousPage, cmd::PreviousPage, N, Y, N, Owner::Panes},
        {cmd::DatabaseCopy, 10073, Y, N, Y, Owner::Panes},
        {cmd::ExportTableCsv, 10074, Y, N, N, Owner::Panes},
        {cmd::EditTable, 10075, Y, N, N, Owner::Panes},
        {cmd::TableCopy, 10076, Y, N, N, Owner::Panes},
        {cmd::Maintenance, 10077, Y, N, N, Owner::Panes},
        {cmd::TableSize, 10078, Y, N, Y, Owner::Panes},
        {cmd::DeleteAllRecords, 10079, Y, N, N, Owner::Panes},
        {cmd::OpenWithApplication, cmd::OpenWithApplication, N, Y, N, Owner::Panes},
        {cmd::RecordDetails, cmd::RecordDetails, N, Y, N, Owner::Panes},
        {cmd::ShowGraphView, 0, N, N, N, Owner::Frame},
        {cmd::ShowRecordList, 0, N, N, N, Owner::Frame},
        // Only the SQL console handles it; it has its own shortcut there.
        {cmd::ConsoleExecute, 0, N, N, N, Owner::Panes},
    };
    return table;
}

const CommandSpec* findCommand(int id) {
    const auto& table = commandTable();
    auto it = std::find_if(table.begin(), table.end(), [id](const CommandSpec& c) { return c.id == id; });
    return it == table.end() ? nullptr : &*it;
}

QString commandCaption(int id) {
    const CommandSpec* spec = findCommand(id);
    const QString text = spec ? msg(spec->textId) : QString();
    if (text.isEmpty())
        return QString::number(id);
    QString caption;
    for (qsizetype i = 0; i < text.size(); ++i) {
        caption += text[i];
        const bool marksMnemonic = i + 1 < text.size() && text[i + 1].isLetterOrNumber();
        if (text[i] == u'&' && !marksMnemonic)
            caption += u'&';
    }
    return caption;
}

const std::vector<int>& optionsMenu() {
    static const std::vector<int> menu = {cmd::UserRegistration, cmd::ExecuteSql,  cmd::CreateDatabase,
                                          cmd::CreateTable,      cmd::Delete,      cmd::RenameTable,
                                          cmd::LockTable,        cmd::UnlockTable, cmd::OptimizeTable};
    return menu;
}

const std::vector<MenuSpec>& mainMenus() {
    static const std::vector<MenuSpec> menus = {
        {20100, {cmd::Connect, 0, cmd::ExportCsv, cmd::ImportCsv, cmd::ScriptFromFile, 0, cmd::Quit}},
        {20101, {cmd::Undo, 0, cmd::Cut, cmd::Copy, cmd::Paste, 0, cmd::Find}},
        {20102, optionsMenu()},
        {20103,
         {cmd::RefreshGrants, cmd::StopServer, 0, cmd::FlushHosts, cmd::FlushLogs, cmd::FlushStatus,
          cmd::FlushTables, 0, cmd::ReplicateFromOtherServer, cmd::Replication}},
        {20104, {cmd::ViewToolbar, cmd::ViewStatusBar, 0, cmd::Processes, cmd::Filter, cmd::SystemVariables}},
        {20105, {cmd::About}},
    };
    return menus;
}

const std::vector<int>& toolbarButtons() {
    static const std::vector<int> buttons = {
        cmd::Connect,
        cmd::ExportCsv,
        cmd::ImportCsv,
        cmd::ScriptFromFile,
        cmd::UserRegistration,
        0,
        cmd::Cut,
        cmd::Copy,
        cmd::Paste,
        cmd::Find,
        cmd::Filter,
        0,
        cmd::Processes,
        cmd::SystemVariables,
        cmd::ExecuteSql,
        cmd::CreateDatabase,
        cmd::Delete,
        cmd::DatabaseCopy,
        cmd::Replication,
        0,
        cmd::RefreshGrants,
        cmd::StopServer,
        0,
        cmd::PageDialog,
        cmd::NextPage,
        cmd::PreviousPage,
        0,
        cmd::About,
    };
    return buttons;
}

void CommandRouter::setHandler(int id, Handler handler, Condition condition) {
    handlers_[id] = Entry{std::move(handler), std::move(condition)};
}

void CommandRouter::removeHandler(int id) {
    handlers_.erase(id);
}

bool CommandRouter::isEnabled(int id, Pane focus) const {
    const CommandSpec* spec = findCommand(id);
    auto it = handlers_.find(id);
    if (!spec || it == handlers_.end() || !spec->handledBy(focus))
        return false;
    return !it->second.condition || it->second.condition();
}

bool CommandRouter::dispatch(int id, Pane focus) {
    if (!isEnabled(id, focus))
        return false;
    // The handler may replace itself (a view swap); run a copy.
    const Handler handler = handlers_.at(id).handler;
    handler();
    return true;
}

}  // namespace dbk
