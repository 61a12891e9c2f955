#pragma once

#include <QString>
#include <functional>
#include <map>
#include <vector>

namespace dbk {

// Command numbers shared by menus, toolbar, accelerators and context menus.
namespace cmd {
enum : int {
    Connect = 57600,
    ExportCsv = 32802,
    ImportCsv = 32821,
    ScriptFromFile = 32824,
    RecentFiles = 57616,
    Quit = 57665,
    Undo = 57643,
    Cut = 57635,
    Copy = 57634,
    Paste = 57637,
    Find = 32810,
    UserRegistration = 32771,
    ExecuteSql = 32773,
    CreateDatabase = 32775,
    CreateTable = 32787,
    Delete = 32777,
    RenameTable = 32788,
    LockTable = 32795,
    UnlockTable = 32796,
    OptimizeTable = 32797,
    RefreshGrants = 32780,
    StopServer = 32785,
    FlushHosts = 32798,
    FlushLogs = 32799,
    FlushStatus = 32800,
    FlushTables = 32801,
    ReplicateFromOtherServer = 32820,
    Replication = 32823,
    ViewToolbar = 59392,
    ViewStatusBar = 59393,
    Processes = 32772,
    Filter = 32809,
    SystemVariables = 32816,
    About = 57664,
    PageDialog = 32804,
    NextPage = 32806,
    PreviousPage = 32807,
    DatabaseCopy = 112,
    ExportTableCsv = 108,
    EditTable = 109,
    TableCopy = 111,
    Maintenance = 115,
    TableSize = 110,
    DeleteAllRecords = 116,
    OpenWithApplication = 32829,
    RecordDetails = 32830,
    Print = 57607,
    PrintPreview = 57609,
    ShowGraphView = 113,
    ShowRecordList = 114,
    ConsoleExecute = 32825,
};
}  // namespace cmd

// The panes a command can be sent from: the tree, the record list, the graphic view.
enum class Pane { None, Tree, List, Graph };

// Who handles a command besides the panes: the main window or the application.
enum class Owner { Panes, Frame, App };

struct CommandSpec {
    int id;
    int textId;  // message number of the menu text; 0 for none
    bool tree;
    bool list;
    bool graph;
    Owner owner;
    bool handledBy(Pane pane) const {
        return owner != Owner::Panes || (pane == Pane::Tree && tree) || (pane == Pane::List && list) ||
               (pane == Pane::Graph && graph);
    }
};

// Every command with the panes that handle it.
const std::vector<CommandSpec>& commandTable();
const CommandSpec* findCommand(int id);
// The caption of a command's menu entry: its message with the mnemonic it marks ("(&F)"); an
// "&" that marks none ("Maintenance & Replication") is doubled so that it shows as written. The
// command number when it has no text.
QString commandCaption(int id);

// Menus and toolbar, in order; 0 is a separator.
struct MenuSpec {
    int titleId;  // message number of the menu title
    std::vector<int> commands;
};
const std::vector<MenuSpec>& mainMenus();
const std::vector<int>& toolbarButtons();
// The tree's context menu starts from this menu (the Options menu).
const std::vector<int>& optionsMenu();

// Sends each command to its handler. A command is enabled when a handler is installed, the
// pane that has the focus handles it (or the main window or application does), and the
// handler's own condition holds.
class CommandRouter {
public:
    using Handler = std::function<void()>;
    using Condition = std::function<bool()>;

    void setHandler(int id, Handler handler, Condition condition = {});
    void removeHandler(int id);
    bool hasHandler(int id) const { return handlers_.count(id) != 0; }

    bool isEnabled(int id, Pane focus) const;
    // Runs the command; false (and nothing runs) when it is disabled.
    bool dispatch(int id, Pane focus);

private:
    struct Entry {
        Handler handler;
        Condition condition;
    };
    std::map<int, Entry> handlers_;
};

}  // namespace dbk
