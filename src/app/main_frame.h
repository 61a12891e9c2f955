#pragma once

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <memory>

#include "app/commands.h"
#include "app/view_host.h"

class QAction;
class QSplitter;
class QTimer;
class QToolBar;

namespace dbk {

class CDbGraphView;
class CDbkeeperDoc;
class CDbkeeperView;
class CLeftView;
class StatusBarPanes;

// The main window: toolbar, status bar, and the split of the object tree (left) and the
// record list or graphic view (right). Every command goes through its router to the pane
// that has the focus, or to the window itself.
class CMainFrame : public QMainWindow, public ViewHost, public EntrySite {
    Q_OBJECT
public:
    explicit CMainFrame(CDbkeeperDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Reads the placement from the settings store and applies it (not shown yet).
    void restorePlacement();
    void savePlacement() const;

    CDbkeeperDoc& document() override { return doc_; }
    StatusPanes& statusPanes() override;
    CommandRouter& router() override { return router_; }
    void showGraphView() override;
    void showRecordList() override;
    void updateAllViews() override;
    bool runCommand(int id, Pane pane) override;
    bool isCommandEnabled(int id, Pane pane) override;
    bool runEntry(const FormEntry& entry, const EntryTarget& target) override;

    // What the entries see.
    QWidget* formParent() override { return this; }
    CDbkeeperView* recordList() override;
    CLeftView* tree() override { return leftView_; }

    CLeftView* leftView() const { return leftView_; }
    QWidget* rightView() const { return rightView_; }
    // The right pane as a record list, or nullptr while it shows the graphic view.
    CDbkeeperView* recordList() const;
    // A command runs for the context's database and table.
    EntryTarget contextTarget() const;
    // The pane that had the focus last; commands go there.
    Pane focusedPane() const { return focusedPane_; }
    void setFocusedPane(Pane pane);
    QAction* action(int id) const;
    QToolBar* toolBar() const { return toolBar_; }
    StatusBarPanes& statusBarPanes() const { return *panes_; }
    // Enables every action as the router says for the focused pane.
    void updateCommandStates();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void replaceRightView(QWidget* view);
    void focusChanged(QWidget* old, QWidget* now);
    void moveFocusToPane(int step);
    Pane paneOf(const QWidget* widget) const;
    // The entry that runs a command: none while the router has a handler of its own for it.
    const FormEntry* entryFor(int id) const;
    void applyFollowUp(const FollowUp& followUp, const EntryTarget& target);

    CDbkeeperDoc& doc_;
    CommandRouter router_;
    QSplitter* splitter_ = nullptr;
    CLeftView* leftView_ = nullptr;
    QWidget* rightView_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    StatusBarPanes* panes_ = nullptr;
    std::map<int, QAction*> actions_;
    Pane focusedPane_ = Pane::Tree;
    QTimer* idleUpdate_ = nullptr;
};

}  // namespace dbk
