#include "monitor/db_graph_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/commands.h"
#include "app/drawing_widget.h"
#include "app/form_entry.h"
#include "app/form_registry.h"
#include "app/ui_services.h"
#include "app/view_host.h"
#include "browser/table_size_form.h"
#include "conn/dbkeeper_doc.h"
#include "privileges/database_form.h"

namespace dbk {

namespace {

// A sixth of the wheel's step per notch.
constexpr int kWheelDivisor = 6;

FollowUp openDatabaseUsers(EntrySite& site, const EntryTarget& target) {
    openForm<DatabaseForm>(site, target.database);
    return {};
}

FormEntry entryRunning(std::function<FollowUp(EntrySite&, const EntryTarget&)> run) {
    FormEntry entry;
    entry.run = std::move(run);
    return entry;
}

}  // namespace

CDbGraphView::CDbGraphView(ViewHost& host, QWidget* parent) : QAbstractScrollArea(parent), host_(host) {
    viewport()->setAutoFillBackground(true);
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(p);
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    updateScrollRange();
}

void CDbGraphView::initialUpdate() {
    page_ = graph::Page{};
    updateScrollRange();
    viewport()->update();
}

void CDbGraphView::updateView() {
    {
        WaitCursor wait;
        CDbkeeperDoc& doc = host_.document();
        page_ = graph::drawPage(doc.session(), doc.context(), doc.host());
    }
    hoveredText_ = -1;
    hovering_ = false;
    viewport()->unsetCursor();
    updateScrollRange();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void CDbGraphView::updateScrollRange() {
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, graph::kPageWidth - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setRange(0, std::max(0, page_.height - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(120 / kWheelDivisor);
}

QPoint CDbGraphView::toPage(QPoint viewportPoint) const {
    return viewportPoint + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

const graph::Link* CDbGraphView::linkAt(QPoint viewportPoint) const {
    return page_.linkAt(toPage(viewportPoint));
}

void CDbGraphView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Qt::white);
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    if (hoveredText_ < 0 || size_t(hoveredText_) >= page_.drawing.items.size()) {
        DrawingWidget::paint(painter, page_.drawing, font());
        return;
    }
    // The link under the pointer is drawn in blue.
    DrawingList drawing = page_.drawing;
    if (auto* text = std::get_if<DrawText>(&drawing.items[size_t(hoveredText_)]))
        text->colour = colours::kBlue;
    DrawingWidget::paint(painter, drawing, font());
}

void CDbGraphView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void CDbGraphView::setHovered(const graph::Link* link) {
    const int text = link ? link->textItem : -1;
    if (bool(link) != hovering_) {
        hovering_ = bool(link);
        if (hovering_)
            viewport()->setCursor(Qt::PointingHandCursor);
        else
            viewport()->unsetCursor();
    }
    if (text != hoveredText_) {
        hoveredText_ = text;
        viewport()->update();
    }
}

void CDbGraphView::mouseMoveEvent(QMouseEvent* event) {
    setHovered(linkAt(event->position().toPoint()));
}

bool CDbGraphView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave)
        setHovered(nullptr);
    return QAbstractScrollArea::viewportEvent(event);
}

void CDbGraphView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (const graph::Link* link = linkAt(event->position().toPoint())) {
        const graph::Link copy = *link;  // the page may be redrawn while following it
        follow(copy);
    }
}

void CDbGraphView::wheelEvent(QWheelEvent* event) {
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() - event->angleDelta().y() / kWheelDivisor);
    event->accept();
}

void CDbGraphView::follow(const graph::Link& link) {
    using graph::LinkKind;
    DocumentContext& context = host_.document().context();
    const std::string row = link.row >= 0 && size_t(link.row) < page_.names.size()
                                ? page_.names[size_t(link.row)]
                                : std::string();
    // The links of the database page act on the database, those of a row on its table too.
    EntryTarget target;
    target.database = context.currentDatabase;
    target.table = row;
    const auto runCommand = [this](int command) {
        if (const FormEntry* entry = FormRegistry::instance().forCommand(command))
            host_.runEntry(*entry, EntryTarget{});
    };
    switch (link.kind) {
        case LinkKind::ProcessList:
            runCommand(cmd::Processes);
            break;
        case LinkKind::AddUser:
            // Says "No authorization" to a user who is not the administrator.
            runCommand(cmd::UserRegistration);
            break;
        case LinkKind::AddDatabase:
            runCommand(cmd::CreateDatabase);
            break;
        case LinkKind::OpenDatabase:
            context.currentDatabase = row;
            context.currentTable.clear();
            context.displayMode = graph::kDatabaseMode;
            updateView();
            break;
        case LinkKind::BackToServer:
            context.displayMode = graph::kServerMode;
            updateView();
            break;
        case LinkKind::LimitAccess:
            if (const FormEntry* entry = FormRegistry::instance().forNode(object_tree::NodeKind::LimitAccess))
                host_.runEntry(*entry, target);
            break;
        case LinkKind::LimitUser:
            host_.runEntry(entryRunning(openDatabaseUsers), target);
            break;
        case LinkKind::TableStructure:
            if (const FormEntry* entry = FormRegistry::instance().forNode(object_tree::NodeKind::Table))
                host_.runEntry(*entry, target);
            break;
        case LinkKind::TableSize:
            host_.runEntry(entryRunning(justOpenForTable<TableSizeForm>), target);
            break;
    }
}

}  // namespace dbk
