#pragma once

namespace dbk {

class CMainFrame;

// Installs the handlers of the commands that work on the panes and open forms: what each
// command hands to its form and what it does afterwards. One installer per group of forms.
void installFormEntries(CMainFrame& frame);

// The record list's tools: filter, record details, open with the associated program.
void installRecordToolEntries(CMainFrame& frame);
// The one-step object and server commands, and the table size form.
void installObjectCommandEntries(CMainFrame& frame);
// CSV export of a table or a query.
void installExportEntries(CMainFrame& frame);
// The SQL console.
void installConsoleEntries(CMainFrame& frame);
// SQL scripts run from a file.
void installScriptEntries(CMainFrame& frame);

}  // namespace dbk
