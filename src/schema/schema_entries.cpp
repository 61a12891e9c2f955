// The ways into the schema forms from the main window. The add-field, change-field and table
// options forms are opened by the table structure editor with the session, database and table.
#include <QDialog>
#include <QTreeWidgetItem>

#include "app/commands.h"
#include "app/form_registry.h"
#include "app/modal_runner.h"
#include "browser/left_view.h"
#include "conn/dbkeeper_doc.h"
#include "schema/create_database_form.h"
#include "schema/create_table_form.h"
#include "schema/rename_table_form.h"

namespace dbk {

namespace {

FollowUp createDatabase(EntrySite& site, const EntryTarget&) {
    CreateDatabaseForm form(site.document().session(), site.formParent());
    if (runModal(form) != QDialog::Accepted)
        return {};
    return FollowUp{.addedDatabases = {form.databaseName()}};
}

FollowUp createTable(EntrySite& site, const EntryTarget& target) {
    CreateTableForm form(site.document().session(), target.database, site.formParent());
    if (runModal(form) != QDialog::Accepted)
        return {};
    // The table goes where the statement put it: the database box may have been changed.
    return FollowUp{.addedTable = TableRef{form.databaseName(), form.tableName()}};
}

// Only for a table node of a database, not for the nodes under a table.
bool tableNodeSelected(EntrySite& site) {
    const QTreeWidgetItem* node = site.tree() ? site.tree()->selectedNode() : nullptr;
    return node && CLeftView::kindOf(node) == object_tree::NodeKind::Table;
}

FollowUp renameTable(EntrySite& site, const EntryTarget& target) {
    RenameTableForm form(site.document().session(), target.database, target.table, site.formParent());
    if (runModal(form) != QDialog::Accepted || form.tableName() == target.table)
        return {};
    return FollowUp{.renamedTable = form.tableName()};
}

// clang-format off
[[maybe_unused]] const int registered = FormRegistry::instance().addAll({
    {.command = cmd::CreateDatabase,                         .run = createDatabase},
    {.command = cmd::CreateTable,    .needs = Needs::Database, .run = createTable},
    {.command = cmd::RenameTable,    .needs = Needs::Table,  .alsoNeeds = tableNodeSelected, .run = renameTable},
});
// clang-format on

}  // namespace

}  // namespace dbk
