#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QIcon>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/find_dialog.h"
#include "app/messages.h"
#include "app/qt_ui_services.h"
#include "app/status_bar_panes.h"
#include "app/window_placement.h"
#include "browser/dbkeeper_view.h"
#include "browser/left_view.h"
#include "browser/tree_pane_widget.h"
#include "conn/dbkeeper_doc.h"
#include "monitor/db_graph_view.h"

namespace dbk {

namespace {
// The settings store keeps the placement under the window's class name.
const QString kClassName = QStringLiteral("CMainFrame");
constexpr int kMoreCommands = 20300;

// The toolbar tip: the menu text without its mnemonic and shortcut label ("&&" is one "&").
QString tipText(const QString& menu) {
    QString tip = menu.section(u'\t', 0, 0);
    tip.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    tip.replace(QRegularExpression(QStringLiteral("&(.)")), QStringLiteral("\\1"));
    return tip.trimmed();
}
}  // namespace

CMainFrame::CMainFrame(CDbkeeperDoc& doc, QWidget* parent) : QMainWindow(parent), doc_(doc) {
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    setObjectName(kClassName);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setChildrenCollapsible(false);
    leftView_ = new CLeftView(*this);
    rightView_ = new CDbkeeperView(*this, splitter_);
    splitter_->addWidget(new TreePaneWidget(leftView_, splitter_));
    splitter_->addWidget(rightView_);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({200, 100});
    setCentralWidget(splitter_);

    createActions();
    createMenus();
    createToolBar();
    // Qt's own overflow buttons of the menu bar and the toolbar.
    for (QToolButton* more : findChildren<QToolButton*>()) {
        if (more->objectName().startsWith(QLatin1String("qt_")))
            more->setAccessibleName(msg(kMoreCommands));
    }
    panes_ = new StatusBarPanes(statusBar());
    doc_.setStatusPanes(panes_);

    auto* nextPane = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(nextPane, &QShortcut::activated, this, [this] { moveFocusToPane(1); });
    auto* previousPane = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(previousPane, &QShortcut::activated, this, [this] { moveFocusToPane(-1); });

    router_.setHandler(cmd::ViewToolbar, [this] { toolBar_->setVisible(!toolBar_->isVisible()); });
    router_.setHandler(cmd::ViewStatusBar, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    router_.setHandler(
        cmd::ShowGraphView, [this] { showGraphView(); },
        [this] { return qobject_cast<CDbGraphView*>(rightView_) == nullptr; });
    router_.setHandler(
        cmd::ShowRecordList, [this] { showRecordList(); }, [this] { return recordList() == nullptr; });
    router_.setHandler(
        cmd::Find, [this] { FindDialog::showFor(*this); }, [this] { return recordList() != nullptr; });

    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::focusChanged);
    // Like an idle-time update: toolbar and menu states follow what the panes can do now.
    idleUpdate_ = new QTimer(this);
    idleUpdate_->setInterval(300);
    connect(idleUpdate_, &QTimer::timeout, this, &CMainFrame::updateCommandStates);
    idleUpdate_->start();
    updateCommandStates();
}

CMainFrame::~CMainFrame() {
    disconnect(qApp, &QApplication::focusChanged, this, &CMainFrame::focusChanged);
    doc_.setStatusPanes(nullptr);
}

StatusPanes& CMainFrame::statusPanes() {
    return *panes_;
}

void CMainFrame::createActions() {
    for (const CommandSpec& spec : commandTable()) {
        if (spec.textId == 0)
            continue;
        auto* action = new QAction(commandCaption(spec.id), this);
        action->setToolTip(tipText(action->text()));
        // A toolbar button shows and is named by the caption alone, without its shortcut label.
        action->setIconText(action->toolTip());
        const QString prompt = msg(100000 + spec.id);
        action->setStatusTip(prompt.isEmpty() ? action->toolTip() : prompt);
        const QString iconPath = QStringLiteral(":/icons/cmd_%1.svg").arg(spec.id);
        if (QFile::exists(iconPath))
            action->setIcon(QIcon(iconPath));
        const int id = spec.id;
        connect(action, &QAction::triggered, this, [this, id] { runCommand(id, focusedPane_); });
        actions_[id] = action;
    }
    actions_[cmd::Connect]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actions_[cmd::Copy]->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    for (int id : {cmd::ViewToolbar, cmd::ViewStatusBar}) {
        actions_[id]->setCheckable(true);
        actions_[id]->setChecked(true);
    }
}

void CMainFrame::createMenus() {
    for (const MenuSpec& spec : mainMenus()) {
        QMenu* menu = menuBar()->addMenu(msg(spec.titleId));
        for (int id : spec.commands) {
            if (id == 0) {
                menu->addSeparator();
            } else if (QAction* a = action(id)) {
                menu->addAction(a);
            }
        }
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
    }
}

void CMainFrame::createToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Standard"));
    toolBar_->setObjectName(QStringLiteral("toolbar128"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setMovable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : toolbarButtons()) {
        if (id == 0) {
            toolBar_->addSeparator();
        } else if (QAction* a = action(id)) {
            toolBar_->addAction(a);
        }
    }
    connect(toolBar_, &QToolBar::visibilityChanged, this,
            [this](bool visible) { actions_[cmd::ViewToolbar]->setChecked(visible); });
}

QAction* CMainFrame::action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

CDbkeeperView* CMainFrame::recordList() const {
    return qobject_cast<CDbkeeperView*>(rightView_);
}

CDbkeeperView* CMainFrame::recordList() {
    return qobject_cast<CDbkeeperView*>(rightView_);
}

EntryTarget CMainFrame::contextTarget() const {
    const DocumentContext& context = doc_.context();
    return EntryTarget{context.currentDatabase, context.currentTable};
}

void CMainFrame::restorePlacement() {
    QSettings settings;
    const WindowPlacement p = WindowPlacement::read(settings, kClassName);
    setGeometry(p.rect);
    if (p.maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else if (p.minimized) {
        setWindowState(windowState() | Qt::WindowMinimized);
    }
}

void CMainFrame::savePlacement() const {
    QSettings settings;
    WindowPlacement p;
    p.maximized = isMaximized();
    p.minimized = isMinimized();
    p.rect = (p.maximized || p.minimized) ? normalGeometry() : geometry();
    p.write(settings, kClassName);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    savePlacement();
    event->accept();
}

void CMainFrame::replaceRightView(QWidget* view) {
    QWidget* old = rightView_;
    QWidget* focus = QApplication::focusWidget();
    const bool hadFocus = old && (old == focus || old->isAncestorOf(focus));
    // The new view takes the old one's place; the tree keeps the width the user gave it.
    const QList<int> sizes = splitter_->sizes();
    splitter_->replaceWidget(1, view);
    rightView_ = view;
    if (focusedPane_ == Pane::List || focusedPane_ == Pane::Graph) {
        focusedPane_ = recordList() ? Pane::List : Pane::Graph;
    }
    old->hide();
    old->deleteLater();  // it may be the sender of the command that replaced it
    splitter_->setSizes(sizes);
    if (hadFocus)
        view->setFocus();
    updateCommandStates();
}

void CMainFrame::showGraphView() {
    auto* view = new CDbGraphView(*this);
    replaceRightView(view);
    view->initialUpdate();
}

void CMainFrame::showRecordList() {
    auto* view = new CDbkeeperView(*this);
    replaceRightView(view);
    view->initialUpdate();
}

void CMainFrame::updateAllViews() {
    if (auto* list = recordList()) {
        list->updateView();
    } else if (auto* graph = qobject_cast<CDbGraphView*>(rightView_)) {
        graph->updateView();
    }
    updateCommandStates();
}

const FormEntry* CMainFrame::entryFor(int id) const {
    return router_.hasHandler(id) ? nullptr : FormRegistry::instance().forCommand(id);
}

bool CMainFrame::runCommand(int id, Pane pane) {
    bool ran = false;
    if (const FormEntry* entry = entryFor(id)) {
        ran = isCommandEnabled(id, pane) && runEntry(*entry, contextTarget());
    } else {
        ran = router_.dispatch(id, pane);
    }
    updateCommandStates();
    return ran;
}

bool CMainFrame::isCommandEnabled(int id, Pane pane) {
    if (const FormEntry* entry = entryFor(id)) {
        const CommandSpec* spec = findCommand(id);
        return spec && spec->handledBy(pane) && entry->canRun(*this);
    }
    return router_.isEnabled(id, pane);
}

bool CMainFrame::runEntry(const FormEntry& entry, const EntryTarget& target) {
    if (!entry.canRun(*this))
        return false;
    // The entry may open a form that replaces entries (tests do); run a copy.
    const auto run = entry.run;
    applyFollowUp(run(*this, target), target);
    return true;
}

void CMainFrame::applyFollowUp(const FollowUp& followUp, const EntryTarget& target) {
    QTreeWidgetItem* select = nullptr;
    for (const std::string& name : followUp.addedDatabases)
        select = leftView_->addDatabaseNode(name);
    if (followUp.addedTable)
        select = leftView_->addTableNode(followUp.addedTable->database, followUp.addedTable->table);
    if (followUp.renamedTable)
        leftView_->renameTableNode(leftView_->tableNode(target.database, target.table),
                                   *followUp.renamedTable);
    if (followUp.reloadGrants)
        doc_.connection().refresh(REFRESH_GRANT);
    if (select && followUp.selectAdded) {
        leftView_->selectNode(select);
    } else if (followUp.refillList && recordList()) {
        recordList()->fill();
    }
}

void CMainFrame::updateCommandStates() {
    for (const auto& [id, action] : actions_)
        action->setEnabled(isCommandEnabled(id, focusedPane_));
}

Pane CMainFrame::paneOf(const QWidget* widget) const {
    if (!widget)
        return Pane::None;
    if (widget == leftView_ || leftView_->isAncestorOf(widget))
        return Pane::Tree;
    if (rightView_ && (widget == rightView_ || rightView_->isAncestorOf(widget))) {
        return recordList() ? Pane::List : Pane::Graph;
    }
    return Pane::None;
}

void CMainFrame::setFocusedPane(Pane pane) {
    focusedPane_ = pane;
    updateCommandStates();
}

void CMainFrame::focusChanged(QWidget*, QWidget* now) {
    const Pane pane = paneOf(now);
    if (pane != Pane::None)
        setFocusedPane(pane);
}

void CMainFrame::moveFocusToPane(int) {
    // Two panes: the next and the previous pane are the other one.
    QWidget* target = paneOf(QApplication::focusWidget()) == Pane::Tree ? rightView_ : leftView_;
    if (target)
        target->setFocus();
}

}  // namespace dbk
