#include "browser/left_view.h"

#include <QBrush>
#include <QColor>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSettings>
#include <algorithm>

#include "app/commands.h"
#include "app/form_registry.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "app/view_host.h"
#include "app/window_placement.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"

namespace dbk {

using object_tree::NodeKind;

namespace {

QIcon nodeIcon(const char* name) {
    QIcon icon(QStringLiteral(":/icons/tree_%1.svg").arg(QLatin1String(name)));
    icon.addFile(QStringLiteral(":/icons/tree_%1_selected.svg").arg(QLatin1String(name)), QSize(),
                 QIcon::Selected);
    return icon;
}

std::string fixedBytes(const Connection& connection, int fixedId) {
    return toServer(connection, object_tree::fixedNodeText(fixedId));
}

}  // namespace

CLeftView::CLeftView(ViewHost& host, QWidget* parent) : QTreeWidget(parent), host_(host) {
    setHeaderHidden(true);
    setAccessibleName(QStringLiteral("データベース一覧"));
    setColumnCount(1);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    images_[0] = nodeIcon("database");
    images_[1] = nodeIcon("table");
    images_[2] = nodeIcon("admin");
    keepAlive_.setInterval(kKeepAliveMs);
    connect(&keepAlive_, &QTimer::timeout, this, &CLeftView::keepAliveTick);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { selectionChanged(current); });
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { nodeDoubleClicked(item); });
}

CDbkeeperDoc& CLeftView::doc() {
    return host_.document();
}

std::string CLeftView::nodeBytes(const QTreeWidgetItem* item) {
    if (!item)
        return {};
    const QByteArray bytes = item->data(0, kBytesRole).toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

int CLeftView::nodeImage(const QTreeWidgetItem* item) {
    return item ? item->data(0, kImageRole).toInt() : 0;
}

int CLeftView::nodeFixedId(const QTreeWidgetItem* item) {
    return item ? item->data(0, kFixedRole).toInt() : 0;
}

int CLeftView::nodeDepth(const QTreeWidgetItem* item) {
    int depth = 0;
    for (const QTreeWidgetItem* p = item ? item->parent() : nullptr; p; p = p->parent())
        ++depth;
    return depth;
}

NodeKind CLeftView::kindOf(const QTreeWidgetItem* item) {
    if (!item)
        return NodeKind::Unknown;
    return object_tree::nodeKind(nodeDepth(item), nodeImage(item), nodeFixedId(item));
}

void CLeftView::applyColour(QTreeWidgetItem* item) {
    const object_tree::Rgb c = object_tree::nodeTextColour(nodeDepth(item), nodeImage(item), nodeBytes(item),
                                                           nodeBytes(item->parent()));
    item->setForeground(0, QBrush(QColor(c.r, c.g, c.b)));
}

QTreeWidgetItem* CLeftView::insertNode(QTreeWidgetItem* parent, const std::string& text, int image,
                                       int fixedId) {
    auto* item = new QTreeWidgetItem;
    item->setData(0, kBytesRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    item->setData(0, kImageRole, image);
    item->setData(0, kFixedRole, fixedId);
    item->setText(0, fromServer(doc().connection(), text));
    item->setIcon(0, images_[(image / 2) % 3]);
    if (parent) {
        parent->addChild(item);
    } else {
        addTopLevelItem(item);
    }
    applyColour(item);
    return item;
}

void CLeftView::setNodeText(QTreeWidgetItem* item, const std::string& text) {
    if (!item)
        return;
    item->setData(0, kBytesRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    item->setText(0, fromServer(doc().connection(), text));
    applyColour(item);
    // A child's colour follows its parent's name.
    for (int i = 0; i < item->childCount(); ++i)
        applyColour(item->child(i));
}

void CLeftView::initialUpdate() {
    DocumentContext& context = doc().context();
    {
        WaitCursor wait;
        context.treeReady = 0;
        ready_ = false;
        clear();
        databasesRoot_ = nullptr;
        forgetSelection();
        QSettings settings;
        context.rowsPerPage = readPageLength(settings);
        keepAlive_.stop();
    }
    // The login form and the messages are shown without the wait cursor over them.
    if (doc().connect() == CDbkeeperDoc::kNotConnected)
        return;
    const std::string charset = doc().readServerCharacterSet();
    if (CDbkeeperDoc::charsetGarbles(charset))
        ui().message(CDbkeeperDoc::garblingWarning(charset, doc().connection().characterSetName()));
    context.pageIndex = 0;
    keepAlive_.start(kKeepAliveMs);

    std::optional<QString> listError;
    {
        WaitCursor wait;
        if (doc().adminFlag() == 1) {
            QTreeWidgetItem* admin =
                insertNode(nullptr, fixedBytes(doc().connection(), object_tree::kAdminRoot),
                           object_tree::kDatabaseImage, object_tree::kAdminRoot);
            for (int entry : object_tree::adminEntries(doc().generation().hasHostTable())) {
                insertNode(admin, fixedBytes(doc().connection(), entry), object_tree::kAdminImage, entry);
            }
        }
        databasesRoot_ = insertNode(nullptr, fixedBytes(doc().connection(), object_tree::kDatabasesRoot),
                                    object_tree::kDatabaseImage, object_tree::kDatabasesRoot);
        const object_tree::NameListing databases = object_tree::listDatabases(doc().connection());
        for (const std::string& name : databases.names) {
            insertNode(databasesRoot_, name, object_tree::kDatabaseImage);
        }
        if (!databases.ok)
            listError = fromServer(doc().connection(), doc().connection().errorText());
        databasesRoot_->setExpanded(true);
    }
    if (listError)
        ui().message(*listError);
    context.treeReady = 1;
    ready_ = true;
}

QTreeWidgetItem* CLeftView::databaseNode(const std::string& name) const {
    for (int i = 0; databasesRoot_ && i < databasesRoot_->childCount(); ++i) {
        if (nodeBytes(databasesRoot_->child(i)) == name)
            return databasesRoot_->child(i);
    }
    return nullptr;
}

QTreeWidgetItem* CLeftView::tableNode(const std::string& database, const std::string& table) const {
    QTreeWidgetItem* parent = databaseNode(database);
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        QTreeWidgetItem* child = parent->child(i);
        if (kindOf(child) == NodeKind::Table && nodeBytes(child) == table)
            return child;
    }
    return nullptr;
}

QTreeWidgetItem* CLeftView::addDatabaseNode(const std::string& name) {
    if (!databasesRoot_)
        return nullptr;
    if (QTreeWidgetItem* existing = databaseNode(name))
        return existing;
    return insertNode(databasesRoot_, name, object_tree::kDatabaseImage);
}

QTreeWidgetItem* CLeftView::addTableNode(const std::string& database, const std::string& table) {
    if (QTreeWidgetItem* existing = tableNode(database, table))
        return existing;
    QTreeWidgetItem* parent = databaseNode(database);
    return parent ? insertNode(parent, table, object_tree::kTableImage) : nullptr;
}

void CLeftView::selectNode(QTreeWidgetItem* item) {
    if (!item)
        return;
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        p->setExpanded(true);
    setCurrentItem(item);
    scrollToItem(item);
}

void CLeftView::renameTableNode(QTreeWidgetItem* item, const std::string& name) {
    if (!item || nodeBytes(item) == name)
        return;
    setNodeText(item, name);
    if (item == currentItem()) {
        DocumentContext& context = doc().context();
        context.nodeText = name;
        context.currentTable = name;
    }
}

std::string CLeftView::databaseOf(const QTreeWidgetItem* item) {
    for (; item; item = item->parent()) {
        if (kindOf(item) == NodeKind::Database)
            return nodeBytes(item);
    }
    return {};
}

void CLeftView::forgetSelection() {
    doc().context().forgetSelection();
}

void CLeftView::selectionChanged(QTreeWidgetItem* current) {
    // Inserting and selecting nodes during the handling raise further changes; they are
    // ignored.
    if (!ready_ || !current)
        return;
    ready_ = false;
    DocumentContext& context = doc().context();
    context.pageIndex = 0;
    context.filterFlag = 0;
    context.nodeText = nodeBytes(current);
    context.nodeImage = nodeImage(current);
    const NodeKind kind = kindOf(current);
    if (const std::optional<int> mode = object_tree::displayModeFor(kind))
        context.displayMode = *mode;

    switch (kind) {
        case NodeKind::Database:
            context.currentDatabase = nodeBytes(current);
            context.currentTable.clear();
            // Select the database before the new view reads it.
            loadTables(current);
            host_.showGraphView();
            break;
        case NodeKind::LimitAccess:
        case NodeKind::LimitUser:
            context.currentDatabase = nodeBytes(current->parent());
            context.currentTable.clear();
            host_.showGraphView();
            break;
        case NodeKind::Table:
            context.currentDatabase = nodeBytes(current->parent());
            context.currentTable = nodeBytes(current);
            host_.showRecordList();
            break;
        case NodeKind::AdminRoot:
        case NodeKind::DatabasesRoot:
        case NodeKind::UserEntry:
        case NodeKind::HostEntry:
        case NodeKind::DatabaseEntry:
            host_.showGraphView();
            break;
        case NodeKind::NestedTable:
        case NodeKind::Unknown:
            break;
    }
    host_.updateAllViews();
    ready_ = true;
}

void CLeftView::loadTables(QTreeWidgetItem* database) {
    // A database that cannot be selected or listed keeps its children; no message.
    const std::string name = nodeBytes(database);
    const object_tree::NameListing listing = object_tree::listTables(doc().connection(), name);
    if (!listing.ok)
        return;

    std::vector<std::string> existing;
    std::vector<int> fixedPresent;
    for (int i = 0; i < database->childCount(); ++i) {
        const QTreeWidgetItem* child = database->child(i);
        if (nodeImage(child) == object_tree::kTableImage)
            existing.push_back(nodeBytes(child));
        if (nodeFixedId(child) != object_tree::kNotFixed)
            fixedPresent.push_back(nodeFixedId(child));
    }
    for (const std::string& table : object_tree::tablesToAdd(existing, listing.names)) {
        insertNode(database, table, object_tree::kTableImage);
    }
    if (name != "mysql")
        return;
    for (int entry : object_tree::mysqlEntries(doc().adminFlag() == 1, doc().generation().hasHostTable())) {
        if (std::find(fixedPresent.begin(), fixedPresent.end(), entry) != fixedPresent.end())
            continue;
        insertNode(database, fixedBytes(doc().connection(), entry), object_tree::kAdminImage, entry);
    }
}

void CLeftView::nodeDoubleClicked(QTreeWidgetItem* item) {
    const NodeKind kind = kindOf(item);
    const FormEntry* entry = FormRegistry::instance().forNode(kind);
    if (!entry)
        return;
    EntryTarget target;
    switch (kind) {
        case NodeKind::UserEntry:
        case NodeKind::HostEntry:
        case NodeKind::DatabaseEntry:
            break;
        case NodeKind::LimitAccess:
        case NodeKind::LimitUser:
            if (doc().adminFlag() != 1)
                return;
            target.database = nodeBytes(item->parent());
            break;
        case NodeKind::Table:
            target.database = nodeBytes(item->parent());
            target.table = nodeBytes(item);
            break;
        default:
            return;
    }
    host_.runEntry(*entry, target);
}

QMenu* CLeftView::buildContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const QTreeWidgetItem* node = currentItem();
    object_tree::ContextMenuPlan plan;
    if (node)
        plan = object_tree::contextMenuPlan(nodeDepth(node), nodeImage(node), node->childCount() > 0);

    const auto add = [&](int id) {
        if (id == 0) {
            menu->addSeparator();
            return;
        }
        QAction* action = menu->addAction(commandCaption(id));
        action->setData(id);
        const QString iconPath = QStringLiteral(":/icons/cmd_%1.svg").arg(id);
        if (QFile::exists(iconPath))
            action->setIcon(QIcon(iconPath));
        action->setEnabled(plan.disabled.count(id) == 0 && host_.isCommandEnabled(id, Pane::Tree));
        connect(action, &QAction::triggered, this, [this, id] { host_.runCommand(id, Pane::Tree); });
    };
    for (int id : optionsMenu())
        add(id);
    for (int id : plan.appended)
        add(id);
    return menu;
}

QMenu* CLeftView::popUpContextMenu(std::optional<QPoint> globalPos) {
    if (QMenu* open = openContextMenu())
        return open;
    QPoint at;
    if (globalPos) {
        at = *globalPos;
    } else {
        // Under the selected node, or at the top of the tree when the node is out of sight.
        const QRect nodeRect = currentItem() ? visualItemRect(currentItem()) : QRect();
        const bool shown = viewport()->rect().contains(nodeRect.bottomLeft());
        at = viewport()->mapToGlobal(shown ? nodeRect.bottomLeft() : QPoint(0, 0));
    }
    QMenu* menu = buildContextMenu(menuParent_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QTreeWidgetItem* node = currentItem();
    menu->setAccessibleName(node ? node->text(0) : accessibleName());
    openMenu_ = menu;
    menu->popup(at);
    if (!globalPos) {
        // From the keyboard the first entry that can run is the active one, as in any menu.
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->isEnabled()) {
                menu->setActiveAction(action);
                break;
            }
        }
    }
    return menu;
}

QMenu* CLeftView::openContextMenu() const {
    return openMenu_ && openMenu_->isVisible() ? openMenu_.data() : nullptr;
}

void CLeftView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        popUpContextMenu();
    } else {
        popUpContextMenu(event->globalPos());
    }
    event->accept();
}

void CLeftView::mousePressEvent(QMouseEvent* event) {
    // The context menu refers to the selected node: a right click selects nothing.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CLeftView::keyPressEvent(QKeyEvent* event) {
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menuKey) {
        popUpContextMenu();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Delete) {
        host_.runCommand(cmd::Delete, Pane::Tree);
    } else if (event->key() == Qt::Key_Insert) {
        host_.runCommand(cmd::CreateTable, Pane::Tree);
    }
    QTreeWidget::keyPressEvent(event);
}

void CLeftView::keepAliveTick() {
    if (doc().keepAliveTick() != CDbkeeperDoc::KeepAlive::Lost)
        return;
    keepAlive_.stop();
    // Nothing of the old session stays on screen or enabled, whether or not the new login
    // succeeds.
    forgetSelection();
    host_.showGraphView();
    initialUpdate();
}

}  // namespace dbk
