#include "app/commands.h"
#include "app/form_entry.h"
#include "transfer/csv_export.h"
#include "transfer/csv_export_form.h"

namespace dbk {

namespace {

// The whole selected table, from the menu, the toolbar or the tree.
FollowUp exportTable(EntrySite& site, const EntryTarget& target) {
    const std::string statement =
        tableExportStatement(site.document().connection(), target.database, target.table);
    openForm<CsvExportForm>(site, target.database, target.table, statement);
    return {};
}

[[maybe_unused]] const int registered = FormRegistry::instance().addAll({
    {.command = cmd::ExportCsv, .needs = Needs::Table, .run = exportTable},
    {.command = cmd::ExportTableCsv, .needs = Needs::Table, .run = exportTable},
});

}  // namespace
}  // namespace dbk
