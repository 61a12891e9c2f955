#include "app/form_entries.h"

#include "app/main_frame.h"
#include "browser/dbkeeper_view.h"
#include "conn/dbkeeper_doc.h"

namespace dbk {

namespace {

void installRecordListCommands(CMainFrame& frame) {
    CommandRouter& router = frame.router();
    auto list = [&frame] { return frame.recordList(); };
    auto hasRows = [list] { return list() && list()->rowCount() > 0; };
    router.setHandler(
        cmd::Copy, [list] { list()->copySelection(); }, hasRows);
    router.setHandler(
        cmd::NextPage, [list] { list()->nextPage(); }, [list] { return list() != nullptr; });
    router.setHandler(
        cmd::PreviousPage, [list] { list()->previousPage(); }, [list] { return list() != nullptr; });
    router.setHandler(
        cmd::PageDialog, [list] { list()->openPageDialog(); },
        [list, &frame] {
            const DocumentContext& c = frame.document().context();
            return list() && c.recordCount != 0 && !c.currentDatabase.empty() && !c.currentTable.empty();
        });
}

}  // namespace

void installFormEntries(CMainFrame& frame) {
    installRecordListCommands(frame);
    installRecordToolEntries(frame);
    installObjectCommandEntries(frame);
    installExportEntries(frame);
    installConsoleEntries(frame);
    installScriptEntries(frame);
}

}  // namespace dbk
