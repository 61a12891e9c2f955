#include "browser/left_view.h"

#include "app/view_host.h"

namespace dbk {

CLeftView::CLeftView(ViewHost& host, QWidget* parent) : QTreeWidget(parent), host_(host) {
    setHeaderHidden(true);
}

void CLeftView::initialUpdate() {}

void CLeftView::addDatabaseNode(const std::string&) {}

}  // namespace dbk
