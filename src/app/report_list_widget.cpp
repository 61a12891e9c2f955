#include "app/report_list_widget.h"

#include <QHeaderView>
#include <QTableView>

namespace dbk {

void setUpReportList(QTableView* list, bool multipleSelection) {
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(multipleSelection ? QAbstractItemView::ExtendedSelection
                                             : QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    list->setMouseTracking(true);
    list->verticalHeader()->setVisible(false);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

}  // namespace dbk
