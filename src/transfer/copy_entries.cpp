#include <QDialog>
#include <QFile>

#include "app/commands.h"
#include "app/form_entry.h"
#include "transfer/database_copy_form.h"
#include "transfer/server_copy_form.h"

namespace dbk {

namespace {

// The address book and the copy's log are in the start-up directory.
FollowUp openServerCopy(EntrySite& site, const EntryTarget&) {
    openForm<ServerCopyForm>(
        site, QFile::decodeName(QByteArray::fromStdString(site.document().startupDirectory())));
    return {};
}

// The new database joins the tree once the copy made it.
FollowUp openDatabaseCopy(EntrySite& site, const EntryTarget& target) {
    DatabaseCopyForm form(site.document().session(), target.database, site.formParent());
    if (runModal(form) != QDialog::Accepted)
        return {};
    return FollowUp{.addedDatabases = {form.newDatabase()}};
}

[[maybe_unused]] const int registered = FormRegistry::instance().addAll({
    {.command = cmd::ReplicateFromOtherServer, .needs = Needs::Connection, .run = openServerCopy},
    {.command = cmd::DatabaseCopy, .needs = Needs::Database, .run = openDatabaseCopy},
});

}  // namespace
}  // namespace dbk
