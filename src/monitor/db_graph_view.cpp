#include "monitor/db_graph_view.h"

#include "app/view_host.h"

namespace dbk {

CDbGraphView::CDbGraphView(ViewHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setFocusPolicy(Qt::StrongFocus);
}

void CDbGraphView::initialUpdate() {
    update();
}

void CDbGraphView::updateView() {
    update();
}

}  // namespace dbk
