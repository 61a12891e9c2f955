#include <QFile>

#include "app/commands.h"
#include "app/form_entry.h"
#include "transfer/maintenance_form.h"
#include "transfer/table_copy_form.h"

namespace dbk {

namespace {

// The maintenance form writes its logs in the start-up directory, with the session's user and host.
FollowUp openMaintenance(EntrySite& site, const EntryTarget& target) {
    const CDbkeeperDoc& doc = site.document();
    openForm<MaintenanceForm>(site, target.database, target.table, doc.user(), doc.host(),
                              QFile::decodeName(QByteArray::fromStdString(doc.startupDirectory())));
    return {};
}

[[maybe_unused]] const int registered = FormRegistry::instance().addAll({
    {.command = cmd::Maintenance, .needs = Needs::Table, .run = openMaintenance},
    {.command = cmd::TableCopy, .needs = Needs::Table, .run = justOpenForTable<TableCopyForm>},
});

}  // namespace
}  // namespace dbk
