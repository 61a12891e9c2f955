#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "app/status_bar_panes.h"
#include "app/window_placement.h"
#include "browser/dbkeeper_view.h"
#include "conn/dbkeeper_doc.h"
#include "monitor/db_graph_view.h"
#include "support/ui_support.h"

namespace dbk {
namespace {

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }
    test::IsolatedSettings settings;
    ScopedScriptedUi ui;
    CDbkeeperDoc doc;
};

TEST_F(MainFrameTest, FirstStartUsesTheDefaultPlacement) {
    CMainFrame frame(doc);
    frame.restorePlacement();
    EXPECT_EQ(frame.geometry(), QRect(0, 0, 640, 480));
    EXPECT_FALSE(frame.windowState() & Qt::WindowMaximized);
    EXPECT_FALSE(frame.windowState() & Qt::WindowMinimized);
    EXPECT_EQ(frame.windowTitle(), "Tolvane Dbkeeper");
}

TEST_F(MainFrameTest, APlacementClosedMaximizedComesBackMaximizedWithItsRectangle) {
    {
        CMainFrame frame(doc);
        frame.restorePlacement();
        frame.setGeometry(QRect(40, 50, 700, 500));
        frame.show();
        frame.showMaximized();
        frame.close();
    }
    QSettings stored;
    EXPECT_EQ(stored.value("WindowPosition/Zoom").toInt(), 1);
    EXPECT_EQ(stored.value("WindowPosition/Icon").toInt(), 0);
    EXPECT_EQ(stored.value("WindowPosition/CMainFrame_W").toInt(), 700);
    EXPECT_EQ(stored.value("WindowPosition/CMainFrame_H").toInt(), 500);

    CMainFrame again(doc);
    again.restorePlacement();
    EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
    again.show();
    again.showNormal();
    EXPECT_EQ(again.geometry().size(), QSize(700, 500));
    EXPECT_EQ(again.geometry().topLeft(), QPoint(40, 50));
}

TEST_F(MainFrameTest, PlacementValuesThatAreNotNumbersGiveTheDefaults) {
    {
        QSettings s;
        s.setValue("WindowPosition/CMainFrame_W", "wide");
        s.setValue("WindowPosition/Zoom", "x");
        s.setValue("SQLDLG/PageLength", 0);
    }
    QSettings s;
    const WindowPlacement p = WindowPlacement::read(s, "CMainFrame");
    EXPECT_EQ(p.rect, QRect(0, 0, 640, 480));
    EXPECT_FALSE(p.maximized);
    EXPECT_EQ(readPageLength(s), 100);
}

// With a handler installed for every command, each pane enables exactly the commands the
// routing table gives it, the window's own commands are enabled everywhere, and running a
// command from a pane that does not handle it runs nothing.
TEST_F(MainFrameTest, CommandsAreEnabledExactlyWhereTheirPaneHandlesThem) {
    CMainFrame frame(doc);
    std::vector<int> ran;
    for (const CommandSpec& spec : commandTable()) {
        frame.router().setHandler(spec.id, [&ran, id = spec.id] { ran.push_back(id); });
    }
    struct Expectation {
        int id;
        bool tree, list, graph;
    };
    const Expectation table[] = {
        {cmd::ExportCsv, true, true, true},
        {cmd::Copy, false, true, false},
        {cmd::CreateDatabase, true, false, true},
        {cmd::CreateTable, true, false, false},
        {cmd::Delete, true, false, false},
        {cmd::RefreshGrants, true, true, false},
        {cmd::StopServer, true, true, false},
        {cmd::Filter, false, true, false},
        {cmd::PageDialog, false, true, false},
        {cmd::DatabaseCopy, true, false, true},
        {cmd::TableSize, true, false, true},
        {cmd::DeleteAllRecords, true, false, false},
        {cmd::RecordDetails, false, true, false},
        {cmd::Processes, true, true, true},
        {cmd::Undo, false, false, false},
        {cmd::Cut, false, false, false},
        {cmd::Find, true, true, true},
        {cmd::About, true, true, true},
        {cmd::Connect, true, true, true},
        {cmd::ViewStatusBar, true, true, true},
    };
    for (const Expectation& e : table) {
        EXPECT_EQ(frame.isCommandEnabled(e.id, Pane::Tree), e.tree) << e.id;
        EXPECT_EQ(frame.isCommandEnabled(e.id, Pane::List), e.list) << e.id;
        EXPECT_EQ(frame.isCommandEnabled(e.id, Pane::Graph), e.graph) << e.id;
    }
    // the whole table, against each spec's own columns
    for (const CommandSpec& spec : commandTable()) {
        for (Pane pane : {Pane::Tree, Pane::List, Pane::Graph}) {
            EXPECT_EQ(frame.isCommandEnabled(spec.id, pane), spec.handledBy(pane)) << spec.id;
        }
    }
    EXPECT_FALSE(frame.runCommand(cmd::Copy, Pane::Tree));
    EXPECT_TRUE(frame.runCommand(cmd::Copy, Pane::List));
    EXPECT_EQ(ran, std::vector<int>{cmd::Copy});

    // the actions follow the focused pane
    frame.setFocusedPane(Pane::Tree);
    EXPECT_TRUE(frame.action(cmd::Delete)->isEnabled());
    EXPECT_FALSE(frame.action(cmd::Copy)->isEnabled());
    frame.setFocusedPane(Pane::List);
    EXPECT_FALSE(frame.action(cmd::Delete)->isEnabled());
    EXPECT_TRUE(frame.action(cmd::Copy)->isEnabled());
    frame.action(cmd::Copy)->trigger();
    EXPECT_EQ(ran.size(), 2U);
}

TEST_F(MainFrameTest, CommandsWithoutAHandlerAreDisabled) {
    CMainFrame frame(doc);
    frame.setFocusedPane(Pane::List);
    for (int id : {cmd::Undo, cmd::Cut, cmd::Paste, cmd::Copy, cmd::ExportCsv, cmd::Filter}) {
        EXPECT_FALSE(frame.action(id)->isEnabled()) << id;
    }
    frame.router().setHandler(
        cmd::Copy, [] {}, [] { return false; });
    frame.updateCommandStates();
    EXPECT_FALSE(frame.action(cmd::Copy)->isEnabled());  // its condition does not hold
    EXPECT_TRUE(frame.action(cmd::ViewToolbar)->isEnabled());
}

TEST_F(MainFrameTest, ToolbarAndStatusBarAreLaidOutAsGiven) {
    CMainFrame frame(doc);
    std::vector<int> buttons;
    for (QAction* a : frame.toolBar()->actions()) {
        if (a->isSeparator()) {
            buttons.push_back(0);
            continue;
        }
        for (const CommandSpec& spec : commandTable()) {
            if (frame.action(spec.id) == a)
                buttons.push_back(spec.id);
        }
    }
    EXPECT_EQ(buttons, toolbarButtons());
    for (int id : toolbarButtons()) {
        if (id != 0) {
            EXPECT_FALSE(frame.action(id)->icon().isNull()) << id;
        }
    }
    EXPECT_EQ(frame.action(cmd::Connect)->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_TRUE(frame.action(cmd::Copy)->shortcuts().contains(QKeySequence("Ctrl+Ins")));
    EXPECT_TRUE(frame.action(cmd::Find)->shortcut().isEmpty());
    EXPECT_EQ(frame.action(cmd::Find)->text(), "Find(&F)\tCtrl+F");

    QStringList menus;
    for (QAction* m : frame.menuBar()->actions())
        menus << m->text();
    EXPECT_EQ(menus,
              (QStringList{"File(&F)", "Edit(&E)", "Options(&O)", "Server(&S)", "View(&V)", "Help(&H)"}));

    StatusBarPanes& panes = frame.statusBarPanes();
    const QStringList indicators{"", "Login Name", "Host", "Kana", "CAP", "NUM", "SCRL"};
    for (int i = 0; i < StatusBarPanes::kPaneCount; ++i)
        EXPECT_EQ(panes.paneText(i), indicators[i]) << i;
}

TEST_F(MainFrameTest, JapaneseMenusCarryTheSameCommands) {
    setInterfaceLanguage(Language::Japanese);
    CMainFrame frame(doc);
    setInterfaceLanguage(Language::English);
    EXPECT_EQ(frame.action(cmd::ExecuteSql)->text(), QStringLiteral("SQL発行"));
    EXPECT_EQ(frame.action(cmd::Connect)->text(), QStringLiteral("接続(&N)\tCtrl+N"));
    EXPECT_EQ(frame.action(cmd::TableSize)->text(), QStringLiteral("データ情報"));
}

TEST_F(MainFrameTest, EverySwapPutsAFreshViewInTheRightPane) {
    CMainFrame frame(doc);
    frame.resize(800, 600);
    QWidget* first = frame.rightView();
    ASSERT_NE(qobject_cast<CDbkeeperView*>(first), nullptr);

    frame.showRecordList();
    QWidget* second = frame.rightView();
    EXPECT_NE(second, first);
    EXPECT_NE(qobject_cast<CDbkeeperView*>(second), nullptr);

    frame.showGraphView();
    QWidget* third = frame.rightView();
    EXPECT_NE(qobject_cast<CDbGraphView*>(third), nullptr);
    frame.showGraphView();
    EXPECT_NE(frame.rightView(), third);
    EXPECT_EQ(frame.recordList(), nullptr);

    // 113 and 114 are enabled only while the other kind of view is shown
    EXPECT_FALSE(frame.isCommandEnabled(cmd::ShowGraphView, Pane::Tree));
    EXPECT_TRUE(frame.isCommandEnabled(cmd::ShowRecordList, Pane::Tree));
}

// Forms open centred over the main window, and a form larger than the room left stays on the
// screen.
TEST_F(MainFrameTest, FormsOpenCentredOverTheMainWindow) {
    CMainFrame frame(doc);
    frame.setGeometry(60, 50, 600, 420);
    frame.show();
    const ModalRunner previous = setModalRunner([&frame](QDialog& form) {
        EXPECT_EQ(form.frameGeometry().center(), frame.frameGeometry().center())
            << form.windowTitle().toStdString();
        return 0;
    });
    EXPECT_TRUE(frame.runCommand(cmd::About, Pane::Tree));

    // A form that chose its size opens at that size (wider than its contents ask for); one that
    // did not takes its contents' size.
    QDialog sized(&frame);
    auto* layout = new QVBoxLayout(&sized);
    layout->addWidget(new QLabel(QStringLiteral("x")));
    sized.resize(420, 330);
    runModal(sized);
    EXPECT_EQ(sized.size(), QSize(420, 330));
    QDialog fitted(&frame);
    (new QVBoxLayout(&fitted))->addWidget(new QLabel(QStringLiteral("x")));
    runModal(fitted);
    EXPECT_EQ(fitted.size(), fitted.sizeHint());

    QDialog big(&frame);
    big.resize(2000, 300);
    setModalRunner([](QDialog& form) {
        EXPECT_EQ(form.frameGeometry().left(), form.screen()->availableGeometry().left());
        return 0;
    });
    runModal(big);
    setModalRunner(previous);
}

}  // namespace
}  // namespace dbk
