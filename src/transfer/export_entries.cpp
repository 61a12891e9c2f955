#include "app/form_entries.h"

#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_format.h"
#include "transfer/csv_export_form.h"

namespace dbk {

namespace {

// The whole selected table, from the menu, the toolbar or the tree.
void exportSelectedTable(CMainFrame& frame) {
    CDbkeeperDoc& doc = frame.document();
    const DocumentContext& context = doc.context();
    if (context.currentDatabase.empty() || context.currentTable.empty())
        return;
    const std::string statement = format("Select * from %s.%s", Connection::ident(context.currentDatabase),
                                         Connection::ident(context.currentTable));
    CsvExportForm form(doc.session(), context.currentDatabase, context.currentTable, statement, &frame);
    runModal(form);
}

}  // namespace

void installExportEntries(CMainFrame& frame) {
    CommandRouter& router = frame.router();
    const auto tableSelected = [&frame] {
        const DocumentContext& context = frame.document().context();
        return frame.document().connection().isOpen() && !context.currentDatabase.empty() &&
               !context.currentTable.empty();
    };
    const auto open = [&frame] { exportSelectedTable(frame); };
    router.setHandler(cmd::ExportCsv, open, tableSelected);
    router.setHandler(cmd::ExportTableCsv, open, tableSelected);
}

}  // namespace dbk
