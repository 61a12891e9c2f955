#include "browser/dbkeeper_view.h"

#include <QHeaderView>

#include "app/view_host.h"

namespace dbk {

CDbkeeperView::CDbkeeperView(ViewHost& host, QWidget* parent) : QTableWidget(parent), host_(host) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setDefaultSectionSize(100);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setMouseTracking(true);
}

void CDbkeeperView::initialUpdate() {}

void CDbkeeperView::updateView() {}

int CDbkeeperView::hotRow() const { return currentIndex().isValid() ? currentRow() : -1; }

void CDbkeeperView::setHotRow(int row) {
    setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (QTableWidgetItem* cell = item(row, 0)) scrollToItem(cell);
}

}  // namespace dbk
