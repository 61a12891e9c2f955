#pragma once

class QTableView;

namespace dbk {

// The report-style list of the forms: grid lines, whole rows selected, nothing edited in
// place, no row numbers, left-aligned headings, one line per row.
void setUpReportList(QTableView* list, bool multipleSelection);

}  // namespace dbk
