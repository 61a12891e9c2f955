#include "app/form_entries.h"

#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "conn/dbkeeper_doc.h"
#include "transfer/script_file_form.h"

namespace dbk {

void installScriptEntries(CMainFrame& frame) {
    frame.router().setHandler(cmd::ScriptFromFile, [&frame] {
        ScriptFileForm form(frame.document().session(), &frame);
        runModal(form);
    });
}

}  // namespace dbk
