#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/object_tree.h"

class QWidget;

namespace dbk {

class CDbkeeperDoc;
class CDbkeeperView;
class CLeftView;

// What must hold before an entry can run; each includes the ones before it.
enum class Needs {
    Nothing,
    Connection,  // a session is open
    Database,    // ... and a database is chosen
    Table,       // ... and a table of it
};

// True when the document satisfies `needs`.
bool needsHold(Needs needs, const CDbkeeperDoc& doc);

// A table named with its database (bytes).
struct TableRef {
    std::string database;
    std::string table;
    bool operator==(const TableRef&) const = default;
};

// What the main window does after an entry ran.
struct FollowUp {
    // Database nodes added under the databases root.
    std::vector<std::string> addedDatabases;
    // A table node added under its database.
    std::optional<TableRef> addedTable;
    // The node added last (the table before the databases) becomes the selected node.
    bool selectAdded = true;
    // The table the entry ran for got this name; its node follows.
    std::optional<std::string> renamedTable;
    // The record list reads its page again.
    bool refillList = false;
    // The server reloads the grant tables.
    bool reloadGrants = false;
};

// What an entry works on: the context's database and table for a command, the node's for a
// double-click, and the list row for a grant-table row.
struct EntryTarget {
    std::string database;
    std::string table;
    int row = -1;
};

// What the main window offers the entries.
class EntrySite {
public:
    virtual ~EntrySite() = default;
    virtual CDbkeeperDoc& document() = 0;
    // The parent of the forms the entries open.
    virtual QWidget* formParent() = 0;
    // The record list, or nullptr while the right pane shows the graphic view.
    virtual CDbkeeperView* recordList() = 0;
    virtual CLeftView* tree() = 0;
};

// One way into a form or a step: the command, tree node kind or grant table that opens it,
// when it can run, and what it does. The main window runs it and then its follow-up.
struct FormEntry {
    int command = 0;                            // 0: no command
    std::optional<object_tree::NodeKind> node;  // a double-click on a node of this kind
    std::string grantTable;                     // a row of this table of the database mysql
    Needs needs = Needs::Connection;
    std::function<bool(EntrySite&)> alsoNeeds;  // a condition of the entry's own, or none
    std::function<FollowUp(EntrySite&, const EntryTarget&)> run;

    bool canRun(EntrySite& site) const;
};

// Every entry of the program. Each subsystem adds its own from its folder when the program
// starts; the latest entry for a command, node kind or table is the one that runs.
class FormRegistry {
public:
    static FormRegistry& instance();

    // Adds an entry and returns a handle for remove().
    int add(FormEntry entry);
    // Adds several; returns how many (for a namespace-scope constant of a subsystem's entries).
    int addAll(std::vector<FormEntry> entries);
    void remove(int handle);

    const FormEntry* forCommand(int command) const;
    const FormEntry* forNode(object_tree::NodeKind kind) const;
    const FormEntry* forGrantTable(std::string_view table) const;
    std::vector<int> commands() const;

private:
    template <class Match>
    const FormEntry* latest(Match match) const;

    struct Slot {
        int handle;
        FormEntry entry;
    };
    std::vector<Slot> slots_;
    int nextHandle_ = 1;
};

// Adds the entries for its lifetime (tests put their own entries in place of the program's).
class ScopedFormEntries {
public:
    explicit ScopedFormEntries(std::vector<FormEntry> entries);
    ~ScopedFormEntries();
    ScopedFormEntries(const ScopedFormEntries&) = delete;
    ScopedFormEntries& operator=(const ScopedFormEntries&) = delete;

private:
    std::vector<int> handles_;
};

}  // namespace dbk
