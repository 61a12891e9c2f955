#include "app/form_entries.h"

#include "app/main_frame.h"

namespace dbk {

void installConsoleEntries(CMainFrame& frame) { (void)frame; }

}  // namespace dbk
