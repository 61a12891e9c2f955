#include "app/commands.h"
#include "app/form_entry.h"
#include "transfer/csv_import_form.h"

namespace dbk {

namespace {

// The form chooses its database and table itself.
[[maybe_unused]] const int registered = FormRegistry::instance().addAll({
    {.command = cmd::ImportCsv, .needs = Needs::Connection, .run = justOpen<CsvImportForm>},
});

}  // namespace
}  // namespace dbk
