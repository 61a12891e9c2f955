#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <deque>
#include <map>
#include <memory>

#include "app/commands.h"
#include "app/form_registry.h"
#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "app/window_placement.h"
#include "browser/dbkeeper_view.h"
#include "browser/left_view.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "monitor/db_graph_view.h"
#include "support/test_server.h"
#include "support/ui_support.h"

namespace dbk {
namespace {

using object_tree::NodeKind;

std::string sjis(const char* utf8) {
    return toShiftJis(QString::fromUtf8(utf8));
}

QStringList childTexts(const QTreeWidgetItem* parent) {
    QStringList texts;
    for (int i = 0; parent && i < parent->childCount(); ++i)
        texts << parent->child(i)->text(0);
    return texts;
}

QTreeWidgetItem* childNamed(const QTreeWidgetItem* parent, const std::string& bytes) {
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (CLeftView::nodeBytes(parent->child(i)) == bytes)
            return parent->child(i);
    }
    return nullptr;
}

// A main window whose document logs in with the test accounts, messages recorded, and the
// settings store in a folder of its own.
class ObjectTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        doc.setLoginPrompt([this](const LoginValues&) -> std::optional<LoginValues> {
            ++logins;
            // the tree is cleared and takes no selections while the login form is up
            readyAtLogin.push_back(frame->leftView()->isReady() || doc.context().treeReady != 0 ||
                                   frame->leftView()->topLevelItemCount() != 0);
            if (logins_.empty())
                return std::nullopt;
            std::optional<LoginValues> next = logins_.front();
            if (logins_.size() > 1)
                logins_.pop_front();
            return next;
        });
        frame = std::make_unique<CMainFrame>(doc);
    }

    void TearDown() override { frame.reset(); }

    // Queues the answers of the login form; the last one repeats.
    void loginAs(std::optional<LoginValues> values) { logins_ = {values}; }
    void connectAs(const ConnectParams& params) {
        loginAs(test::loginValues(params));
        tree().initialUpdate();
    }

    CLeftView& tree() { return *frame->leftView(); }
    QTreeWidgetItem* topNode(int index) { return tree().topLevelItem(index); }
    QTreeWidgetItem* adminRoot() { return tree().topLevelItemCount() == 2 ? topNode(0) : nullptr; }
    QTreeWidgetItem* database(const std::string& bytes) { return childNamed(tree().databasesRoot(), bytes); }
    void select(QTreeWidgetItem* item) {
        ASSERT_NE(item, nullptr);
        tree().setCurrentItem(item);
    }
    // The test server's set holds Japanese: the login warns of nothing.
    void expectNoGarblingWarning() {
        Connection c = test::connectAdmin();
        EXPECT_FALSE(CDbkeeperDoc::charsetGarbles(readServerCharacterSet(c)));
    }

    // One period of the keep-alive timer.
    void tick() { QMetaObject::invokeMethod(&tree().keepAliveTimer(), "timeout", Qt::DirectConnection); }

    // Handlers that record which commands ran.
    void installRecordingHandlers(const std::vector<int>& ids) {
        for (int id : ids)
            frame->router().setHandler(id, [this, id] { ran.push_back(id); });
    }

    test::IsolatedSettings settings;
    ScopedScriptedUi ui;
    CDbkeeperDoc doc;
    std::unique_ptr<CMainFrame> frame;
    int logins = 0;
    std::deque<std::optional<LoginValues>> logins_;
    std::vector<int> ran;
    std::vector<bool> readyAtLogin;
};

TEST_F(ObjectTreeTest, AdministratorSeesTheAdministrationBranchWithoutHostNodes) {
    DBK_REQUIRE_SERVER();
    {
        QSettings settings;
        writePageLength(settings, 25);
    }
    doc.context().pageIndex = 4;
    connectAs(test::adminParams());

    EXPECT_EQ(logins, 1);
    expectNoGarblingWarning();
    EXPECT_EQ(ui->messages, (QStringList{"You are an administrator."}));
    ASSERT_EQ(tree().topLevelItemCount(), 2);
    EXPECT_EQ(adminRoot()->text(0), "Control Data");
    // this server has no mysql.host: no "Host" entry
    EXPECT_FALSE(doc.generation().hasHostTable());
    EXPECT_EQ(childTexts(adminRoot()), (QStringList{"User", "Database"}));
    for (int i = 0; i < adminRoot()->childCount(); ++i) {
        EXPECT_EQ(CLeftView::nodeImage(adminRoot()->child(i)), object_tree::kAdminImage);
    }
    EXPECT_EQ(tree().databasesRoot(), topNode(1));
    EXPECT_EQ(topNode(1)->text(0), "Database");
    EXPECT_NE(database("mysql"), nullptr);
    EXPECT_NE(database("information_schema"), nullptr);
    EXPECT_EQ(database("mysql")->childCount(), 0);  // tables come with the first selection

    // colours by depth: red roots, blue for mysql and the administration entries
    EXPECT_EQ(topNode(0)->foreground(0).color(), QColor(255, 0, 0));
    EXPECT_EQ(topNode(1)->foreground(0).color(), QColor(255, 0, 0));
    EXPECT_EQ(adminRoot()->child(0)->foreground(0).color(), QColor(0, 0, 255));
    EXPECT_EQ(database("mysql")->foreground(0).color(), QColor(0, 0, 255));
    EXPECT_EQ(database("information_schema")->foreground(0).color(), QColor(0, 0, 100));

    EXPECT_EQ(doc.context().treeReady, 1);
    EXPECT_TRUE(tree().isReady());
    EXPECT_EQ(doc.context().rowsPerPage, 25);
    EXPECT_EQ(doc.context().pageIndex, 0);
    EXPECT_TRUE(tree().keepAliveTimer().isActive());
    EXPECT_EQ(tree().keepAliveTimer().interval(), 60000);
    EXPECT_GE(ui->waitCount, 1);
    EXPECT_EQ(ui->waitDepth, 0);
}

TEST_F(ObjectTreeTest, NormalUserSeesOnlyTheDatabasesRoot) {
    DBK_REQUIRE_SERVER();
    connectAs(test::normalUserParams());
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join('\n').toStdString();
    ASSERT_EQ(tree().topLevelItemCount(), 1);
    EXPECT_EQ(tree().databasesRoot(), topNode(0));
    EXPECT_EQ(topNode(0)->text(0), "Database");
    EXPECT_EQ(database("mysql"), nullptr);

    // a normal user's databases get no restriction entries
    QTreeWidgetItem* schema = database("information_schema");
    select(schema);
    EXPECT_GT(schema->childCount(), 0);
    for (int i = 0; i < schema->childCount(); ++i) {
        EXPECT_EQ(CLeftView::nodeImage(schema->child(i)), object_tree::kTableImage) << i;
    }
    EXPECT_EQ(doc.context().currentDatabase, "information_schema");
}

TEST_F(ObjectTreeTest, SelectionsSetTheContextAndSwapTheRightPane) {
    DBK_REQUIRE_SERVER();
    connectAs(test::adminParams());
    QTreeWidgetItem* mysql = database("mysql");
    select(mysql);

    EXPECT_NE(childNamed(mysql, "user"), nullptr);
    EXPECT_NE(childNamed(mysql, "db"), nullptr);
    QTreeWidgetItem* last = mysql->child(mysql->childCount() - 1);
    EXPECT_EQ(last->text(0), "Limit User");
    EXPECT_EQ(CLeftView::nodeImage(last), object_tree::kAdminImage);
    EXPECT_FALSE(childTexts(mysql).contains("Limit Access"));
    EXPECT_EQ(childNamed(mysql, "user")->foreground(0).color(), QColor(0, 0, 255));
    EXPECT_EQ(tree().currentItem(), mysql);

    struct Step {
        const char* what;
        QTreeWidgetItem* node;
        int displayMode;
        const char* database;
        const char* table;
        bool recordList;
    };
    QTreeWidgetItem* user = childNamed(mysql, "user");
    const std::vector<Step> steps = {
        {"Limit User", last, 3, "mysql", "", false},
        {"table user", user, 3, "mysql", "user", true},  // a table keeps the mode
        {"mysql", mysql, 1, "mysql", "", false},
        {"table db", childNamed(mysql, "db"), 1, "mysql", "db", true},
        {"administration root", adminRoot(), 7, "mysql", "db", false},
        {"User", adminRoot()->child(0), 6, "mysql", "db", false},
        {"Database entry", adminRoot()->child(1), 5, "mysql", "db", false},
        {"databases root", tree().databasesRoot(), 0, "mysql", "db", false},
    };
    for (const Step& s : steps) {
        QPointer<QWidget> before = frame->rightView();
        doc.context().pageIndex = 7;
        doc.context().filterFlag = 1;
        select(s.node);
        const DocumentContext& c = doc.context();
        EXPECT_EQ(c.displayMode, s.displayMode) << s.what;
        EXPECT_EQ(c.currentDatabase, s.database) << s.what;
        EXPECT_EQ(c.currentTable, s.table) << s.what;
        EXPECT_EQ(c.pageIndex, 0) << s.what;
        EXPECT_EQ(c.filterFlag, 0) << s.what;
        EXPECT_EQ(c.nodeText, CLeftView::nodeBytes(s.node)) << s.what;
        EXPECT_EQ(c.nodeImage, CLeftView::nodeImage(s.node)) << s.what;
        EXPECT_NE(frame->rightView(), before.data()) << s.what << ": a fresh view";
        if (s.recordList) {
            EXPECT_NE(qobject_cast<CDbkeeperView*>(frame->rightView()), nullptr) << s.what;
        } else {
            EXPECT_NE(qobject_cast<CDbGraphView*>(frame->rightView()), nullptr) << s.what;
        }
    }
    // the databases root was the last selection; the context keeps the last table
    EXPECT_TRUE(tree().isReady());
}

TEST_F(ObjectTreeTest, ReselectingADatabaseAddsNewTablesAndKeepsDroppedOnes) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase scratch("dbk_tree_merge");
    ASSERT_TRUE(scratch.admin().exec("CREATE TABLE a (id INT)"));
    ASSERT_TRUE(scratch.admin().exec("CREATE TABLE b (id INT)"));
    connectAs(test::adminParams());

    QTreeWidgetItem* db = database("dbk_tree_merge");
    select(db);
    EXPECT_EQ(childTexts(db), (QStringList{"a", "b"}));
    EXPECT_EQ(db->child(0)->foreground(0).color(), QColor(0, 0, 100));

    ASSERT_TRUE(scratch.admin().exec("CREATE TABLE c (id INT)"));
    ASSERT_TRUE(scratch.admin().exec("DROP TABLE a"));
    select(tree().databasesRoot());
    select(db);
    EXPECT_EQ(childTexts(db), (QStringList{"a", "b", "c"}));
    select(tree().databasesRoot());
    select(db);
    EXPECT_EQ(childTexts(db), (QStringList{"a", "b", "c"}));

    // mysql keeps one "Limit User" however often it is selected
    QTreeWidgetItem* mysql = database("mysql");
    select(mysql);
    select(db);
    select(mysql);
    EXPECT_EQ(childTexts(mysql).count("Limit User"), 1);
}

TEST_F(ObjectTreeTest, AwkwardNamesListAndSelect) {
    DBK_REQUIRE_SERVER();
    struct Case {
        std::string database;
        std::string table;
        QString shown;
    };
    const std::vector<Case> cases = {
        {"dbk_tree_two words", "with blank", "dbk_tree_two words"},
        {sjis("dbk_tree_日本語"), sjis("商品表"), QString::fromUtf8("dbk_tree_日本語")},
        {"dbk_tree_back`quote", "a`b", "dbk_tree_back`quote"},
    };
    std::vector<std::unique_ptr<test::ScratchDatabase>> scratch;
    for (const Case& c : cases) {
        scratch.push_back(std::make_unique<test::ScratchDatabase>(c.database));
        ASSERT_TRUE(scratch.back()->admin().exec("CREATE TABLE " + test::sqlName(c.table) + " (id INT)"))
            << scratch.back()->admin().errorLine();
    }
    connectAs(test::adminParams());

    for (const Case& c : cases) {
        QTreeWidgetItem* db = database(c.database);
        ASSERT_NE(db, nullptr) << c.shown.toStdString();
        EXPECT_EQ(db->text(0), c.shown);

        QPointer<QWidget> before = frame->rightView();
        select(db);
        ASSERT_EQ(db->childCount(), 1) << c.shown.toStdString();
        EXPECT_EQ(CLeftView::nodeBytes(db->child(0)), c.table);
        EXPECT_EQ(db->child(0)->text(0), fromShiftJis(c.table));
        EXPECT_NE(qobject_cast<CDbGraphView*>(frame->rightView()), nullptr);
        EXPECT_NE(frame->rightView(), before.data());
        Result current = doc.connection().query("SELECT DATABASE()");
        ASSERT_TRUE(current.next());
        EXPECT_EQ(current.text(0U), c.database);

        doc.context().pageIndex = 2;
        doc.context().filterFlag = 1;
        before = frame->rightView();
        select(db->child(0));
        EXPECT_NE(qobject_cast<CDbkeeperView*>(frame->rightView()), nullptr);
        EXPECT_NE(frame->rightView(), before.data());
        EXPECT_EQ(doc.context().currentDatabase, c.database);
        EXPECT_EQ(doc.context().currentTable, c.table);
        EXPECT_EQ(doc.context().displayMode, 1);
        EXPECT_EQ(doc.context().pageIndex, 0);
        EXPECT_EQ(doc.context().filterFlag, 0);
        // the names the context holds reach the table through the connection's quoting
        EXPECT_TRUE(doc.connection().exec("SELECT * FROM " + test::sqlName(doc.context().currentDatabase) +
                                          "." + test::sqlName(doc.context().currentTable)))
            << doc.connection().errorLine();
    }
}

TEST_F(ObjectTreeTest, CancelledLoginLeavesAnEmptyTreeAndNoTimer) {
    DBK_REQUIRE_SERVER();
    loginAs(std::nullopt);
    tree().initialUpdate();
    EXPECT_EQ(ui->messages, QStringList{"Error logging in."});
    EXPECT_EQ(tree().topLevelItemCount(), 0);
    EXPECT_FALSE(tree().keepAliveTimer().isActive());
    EXPECT_EQ(doc.context().treeReady, 0);

    // connected first, then a new connect is cancelled: the old tree and its timer go
    connectAs(test::adminParams());
    ASSERT_TRUE(tree().keepAliveTimer().isActive());
    ui->messages.clear();
    loginAs(std::nullopt);
    tree().initialUpdate();
    EXPECT_EQ(ui->messages, QStringList{"Error logging in."});
    EXPECT_EQ(tree().topLevelItemCount(), 0);
    EXPECT_EQ(tree().databasesRoot(), nullptr);
    EXPECT_FALSE(tree().keepAliveTimer().isActive());
    EXPECT_EQ(doc.context().treeReady, 0);
    tree().addDatabaseNode("dbk_tree_nowhere");  // no root to add to
    EXPECT_EQ(tree().topLevelItemCount(), 0);
}

TEST_F(ObjectTreeTest, LostSessionIsReportedAndLogsInAgain) {
    DBK_REQUIRE_SERVER();
    connectAs(test::adminParams());
    ASSERT_EQ(logins, 1);
    ui->messages.clear();

    // a live session: the tick changes nothing
    tick();
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(logins, 1);

    Connection killer = test::connectAdmin();
    const unsigned long oldThread = doc.connection().threadId();
    ASSERT_TRUE(killer.exec("KILL " + std::to_string(oldThread))) << killer.errorLine();

    // while a long operation has the connection the tick keeps off it
    {
        BusyGuard busy(doc.connection());
        tick();
    }
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(logins, 1);

    tick();
    EXPECT_EQ(logins, 2);
    EXPECT_EQ(readyAtLogin, (std::vector<bool>{false, false}));
    EXPECT_EQ(ui->messages, (QStringList{"Database session terminated.", "You are an administrator."}));
    EXPECT_NE(doc.connection().threadId(), oldThread);
    EXPECT_TRUE(doc.connection().ping());
    EXPECT_TRUE(tree().keepAliveTimer().isActive());
    ASSERT_EQ(tree().topLevelItemCount(), 2);
    EXPECT_NE(database("mysql"), nullptr);

    // killed again while a table is shown, and the new login is cancelled: no tree, no timer,
    // nothing of the old session on screen or enabled
    QTreeWidgetItem* mysql = database("mysql");
    select(mysql);
    select(mysql->child(0));
    ASSERT_NE(frame->recordList(), nullptr);
    ASSERT_TRUE(frame->isCommandEnabled(cmd::Filter, Pane::List));
    ASSERT_TRUE(killer.exec("KILL " + std::to_string(doc.connection().threadId())));
    ui->messages.clear();
    loginAs(std::nullopt);
    tick();
    EXPECT_EQ(ui->messages, (QStringList{"Database session terminated.", "Error logging in."}));
    EXPECT_EQ(tree().topLevelItemCount(), 0);
    EXPECT_FALSE(tree().keepAliveTimer().isActive());
    EXPECT_EQ(frame->recordList(), nullptr);
    EXPECT_TRUE(doc.context().currentDatabase.empty());
    EXPECT_TRUE(doc.context().currentTable.empty());
    for (int id : {cmd::Filter, cmd::NextPage, cmd::ExportCsv, cmd::ExecuteSql, cmd::ScriptFromFile,
                   cmd::TableSize, cmd::Delete, cmd::FlushTables}) {
        for (Pane pane : {Pane::Tree, Pane::List, Pane::Graph})
            EXPECT_FALSE(frame->isCommandEnabled(id, pane)) << id;
    }
    EXPECT_TRUE(frame->isCommandEnabled(cmd::About, Pane::Tree));
}

struct MenuItem {
    int id;
    QString text;
    bool enabled;
};

std::vector<MenuItem> menuItems(QMenu& menu) {
    std::vector<MenuItem> items;
    for (QAction* a : menu.actions()) {
        items.push_back(a->isSeparator() ? MenuItem{0, {}, false}
                                         : MenuItem{a->data().toInt(), a->text(), a->isEnabled()});
    }
    return items;
}

std::vector<int> ids(const std::vector<MenuItem>& items) {
    std::vector<int> out;
    for (const MenuItem& i : items)
        out.push_back(i.id);
    return out;
}

std::vector<int> disabledIds(const std::vector<MenuItem>& items) {
    std::vector<int> out;
    for (const MenuItem& i : items) {
        if (i.id != 0 && !i.enabled)
            out.push_back(i.id);
    }
    return out;
}

TEST_F(ObjectTreeTest, ContextMenuFollowsTheSelectedNode) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase scratch("dbk_tree_menu");
    ASSERT_TRUE(scratch.admin().exec("CREATE TABLE t (id INT)"));
    connectAs(test::adminParams());
    std::vector<int> all = optionsMenu();
    for (int id : {cmd::DatabaseCopy, cmd::ExportTableCsv, cmd::EditTable, cmd::TableCopy, cmd::Maintenance,
                   cmd::TableSize, cmd::DeleteAllRecords}) {
        all.push_back(id);
    }
    installRecordingHandlers(all);

    using cmd::CreateTable, cmd::RenameTable, cmd::Delete, cmd::LockTable, cmd::UnlockTable,
        cmd::OptimizeTable;
    const std::vector<int> options = optionsMenu();
    std::vector<int> withDatabaseCopy = options;
    withDatabaseCopy.insert(withDatabaseCopy.end(), {0, cmd::DatabaseCopy});
    std::vector<int> forTables = options;
    forTables.insert(forTables.end(),
                     {0, cmd::ExportTableCsv, 0, cmd::EditTable, cmd::TableCopy, cmd::DatabaseCopy,
                      cmd::Maintenance, 0, cmd::TableSize, 0, cmd::DeleteAllRecords});

    QTreeWidgetItem* db = database("dbk_tree_menu");
    QTreeWidgetItem* mysql = database("mysql");
    struct Case {
        const char* what;
        std::function<QTreeWidgetItem*()> node;
        std::vector<int> items;
        std::vector<int> disabled;  // in menu order
    };
    const std::vector<Case> cases = {
        {"databases root",
         [&] { return tree().databasesRoot(); },
         options,
         {CreateTable, Delete, RenameTable, LockTable, UnlockTable, OptimizeTable}},
        {"administration entry",
         [&] { return adminRoot()->child(0); },
         withDatabaseCopy,
         {CreateTable, RenameTable, LockTable, UnlockTable, OptimizeTable}},
        {"database with tables",
         [&] { return mysql; },
         withDatabaseCopy,
         {RenameTable, LockTable, UnlockTable, OptimizeTable}},
        {"table", [&] { return db->child(0); }, forTables, {CreateTable}},
        {"Limit User",
         [&] { return mysql->child(mysql->childCount() - 1); },
         options,
         {CreateTable, Delete, RenameTable, LockTable, UnlockTable, OptimizeTable}},
    };
    select(db);
    for (const Case& c : cases) {
        select(c.node());
        std::unique_ptr<QMenu> menu(tree().buildContextMenu(nullptr));
        const std::vector<MenuItem> items = menuItems(*menu);
        EXPECT_EQ(ids(items), c.items) << c.what;
        EXPECT_EQ(disabledIds(items), c.disabled) << c.what;
    }

    // texts of the appended items, and a command that cannot run now is grayed
    select(db->child(0));
    frame->router().setHandler(
        cmd::OptimizeTable, [] {}, [] { return false; });
    std::unique_ptr<QMenu> menu(tree().buildContextMenu(nullptr));
    const std::vector<MenuItem> items = menuItems(*menu);
    QStringList appended;
    for (size_t i = options.size(); i < items.size(); ++i) {
        if (items[i].id != 0)
            appended << items[i].text;
    }
    EXPECT_EQ(appended,
              (QStringList{"Export to CSV-file", "Edit Table", "Table Replication", "Database Replication",
                           "Maintenance && Replication", "Data Information", "Delete All Records"}));
    EXPECT_EQ(disabledIds(items), (std::vector<int>{CreateTable, OptimizeTable}));

    // triggering an item runs its command from the tree
    for (QAction* a : menu->actions()) {
        if (a->data().toInt() == cmd::TableSize)
            a->trigger();
    }
    EXPECT_EQ(ran, std::vector<int>{cmd::TableSize});

    // a right click on another node leaves the selection where it was; a left click there
    // selects it
    frame->resize(800, 600);
    frame->show();
    QTreeWidgetItem* table = db->child(0);
    const QPoint other = tree().visualItemRect(tree().databasesRoot()).center();
    ASSERT_TRUE(tree().viewport()->rect().contains(other));
    QTest::mouseClick(tree().viewport(), Qt::RightButton, {}, other);
    EXPECT_EQ(tree().currentItem(), table);
    QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, other);
    EXPECT_EQ(tree().currentItem(), tree().databasesRoot());
}

TEST_F(ObjectTreeTest, ADatabaseNotYetListedOffersNoNewTable) {
    DBK_REQUIRE_SERVER();
    connectAs(test::adminParams());
    std::vector<int> commands = optionsMenu();
    commands.push_back(cmd::DatabaseCopy);
    installRecordingHandlers(commands);
    // Selecting lists the tables; a database without any stays childless.
    test::ScratchDatabase empty("dbk_tree_empty");
    tree().addDatabaseNode("dbk_tree_empty");
    QTreeWidgetItem* db = database("dbk_tree_empty");
    select(db);
    ASSERT_EQ(db->childCount(), 0);
    std::unique_ptr<QMenu> menu(tree().buildContextMenu(nullptr));
    EXPECT_EQ(disabledIds(menuItems(*menu)),
              (std::vector<int>{cmd::CreateTable, cmd::RenameTable, cmd::LockTable, cmd::UnlockTable,
                                cmd::OptimizeTable}));
}

// The interface of `target` as assistive technology finds it, walking down from the application;
// nullptr when it cannot be reached.
QAccessibleInterface* reachable(QAccessibleInterface* from, const QObject* target) {
    if (!from || from->role() == QAccessible::Tree || from->role() == QAccessible::Table)
        return nullptr;
    if (from->object() == target)
        return from;
    for (int i = 0; i < from->childCount(); ++i) {
        if (QAccessibleInterface* found = reachable(from->child(i), target))
            return found;
    }
    return nullptr;
}

TEST_F(ObjectTreeTest, TheContextMenuOpensFromTheKeyboardWhereAssistiveTechnologyFindsIt) {
    DBK_REQUIRE_SERVER();
    connectAs(test::adminParams());
    frame->show();
    select(database("mysql"));
    QTreeWidgetItem* table = database("mysql")->child(0);
    select(table);
    const QPoint under = tree().viewport()->mapToGlobal(tree().visualItemRect(table).bottomLeft());
    for (const QKeyCombination key : {QKeyCombination(Qt::Key_Menu), Qt::ShiftModifier | Qt::Key_F10}) {
        ASSERT_EQ(tree().openContextMenu(), nullptr);
        QTest::keyClick(&tree(), key.key(), key.keyboardModifiers());
        QMenu* menu = tree().openContextMenu();
        ASSERT_NE(menu, nullptr) << key.key();
        EXPECT_EQ(menu->pos(), under);
        EXPECT_EQ(menu->accessibleName(), table->text(0));
        EXPECT_TRUE(menu->activeAction() && menu->activeAction()->isEnabled());
        QAccessibleInterface* found = reachable(QAccessible::queryAccessibleInterface(qApp), menu);
        ASSERT_NE(found, nullptr) << key.key();
        QStringList entries;
        for (int i = 0; i < found->childCount(); ++i)
            entries << found->child(i)->text(QAccessible::Name);
        EXPECT_TRUE(entries.contains("Edit Table") && entries.contains("Maintenance & Replication"));
        menu->close();
    }
}

TEST_F(ObjectTreeTest, DeleteAndInsertKeysRunTheirCommandsFromTheTree) {
    DBK_REQUIRE_SERVER();
    connectAs(test::adminParams());
    select(database("mysql"));

    // while their commands cannot run the keys do nothing
    for (int id : {cmd::Delete, cmd::CreateTable}) {
        frame->router().setHandler(
            id, [this, id] { ran.push_back(id); }, [] { return false; });
    }
    QTest::keyClick(&tree(), Qt::Key_Delete);
    QTest::keyClick(&tree(), Qt::Key_Insert);
    EXPECT_TRUE(ran.empty());

    installRecordingHandlers({cmd::Delete, cmd::CreateTable});
    QTest::keyClick(&tree(), Qt::Key_Delete);
    QTest::keyClick(&tree(), Qt::Key_Insert);
    QTest::keyClick(&tree(), Qt::Key_Delete);
    EXPECT_EQ(ran, (std::vector<int>{cmd::Delete, cmd::CreateTable, cmd::Delete}));

    // other keys keep their ordinary meaning
    QTest::keyClick(&tree(), Qt::Key_Up);
    EXPECT_NE(tree().currentItem(), database("mysql"));
}

TEST_F(ObjectTreeTest, DoubleClicksOpenTheRegisteredEntries) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase scratch("dbk_tree_dblclick");
    ASSERT_TRUE(scratch.admin().exec("CREATE TABLE old_name (id INT)"));
    connectAs(test::adminParams());
    QTreeWidgetItem* db = database("dbk_tree_dblclick");
    select(db);
    QTreeWidgetItem* table = db->child(0);
    select(table);

    // the program's own entry: the structure editor, closed without a rename, changes nothing
    QStringList shown;
    const ModalRunner previousRunner = setModalRunner([&shown](QDialog& dialog) {
        shown << dialog.windowTitle();
        return int(QDialog::Rejected);
    });
    emit tree().itemDoubleClicked(table, 0);
    setModalRunner(previousRunner);
    EXPECT_EQ(shown, QStringList{"テーブルリスト  データベース:dbk_tree_dblclick テーブル:old_name"});
    EXPECT_EQ(table->text(0), "old_name");

    std::vector<std::string> opened;
    const auto record = [&opened](std::string what, FollowUp followUp = {}) {
        return [&opened, what, followUp](EntrySite&, const EntryTarget& t) {
            opened.push_back(what + " " + t.database + "." + t.table);
            return followUp;
        };
    };
    const ScopedFormEntries entries({
        {.node = NodeKind::Table, .run = record("table", FollowUp{.renamedTable = "new_name"})},
        {.node = NodeKind::LimitUser, .run = record("limit user")},
        {.node = NodeKind::UserEntry, .run = record("user list")},
    });

    emit tree().itemDoubleClicked(table, 0);
    EXPECT_EQ(table->text(0), "new_name");
    EXPECT_EQ(CLeftView::nodeBytes(table), "new_name");
    EXPECT_EQ(doc.context().currentTable, "new_name");
    EXPECT_EQ(doc.context().nodeText, "new_name");

    QTreeWidgetItem* mysql = database("mysql");
    select(mysql);
    emit tree().itemDoubleClicked(mysql->child(mysql->childCount() - 1), 0);
    emit tree().itemDoubleClicked(adminRoot()->child(0), 0);
    emit tree().itemDoubleClicked(mysql, 0);  // a database has no entry
    EXPECT_EQ(opened, (std::vector<std::string>{"table dbk_tree_dblclick.old_name", "limit user mysql.",
                                                "user list ."}));
}

// What the window does after an entry: new nodes are added once and selected (the context and
// the right pane follow), a renamed table's node takes the new name.
TEST_F(ObjectTreeTest, EntryFollowUpsAddSelectAndRenameNodes) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase scratch("dbk_tree_followup");
    ASSERT_TRUE(scratch.admin().exec("CREATE TABLE first (id INT)"));
    connectAs(test::adminParams());
    select(database("mysql"));
    const int databases = tree().databasesRoot()->childCount();

    FollowUp next;
    const ScopedFormEntries entries(
        {{.command = cmd::CreateDatabase, .run = [&next](EntrySite&, const EntryTarget&) { return next; }}});
    const auto run = [&](FollowUp followUp) {
        next = std::move(followUp);
        ASSERT_TRUE(frame->runCommand(cmd::CreateDatabase, Pane::Tree));
    };

    run(FollowUp{.addedDatabases = {scratch.name()}});  // listed already: not added again, selected
    EXPECT_EQ(tree().databasesRoot()->childCount(), databases);
    EXPECT_EQ(tree().currentItem(), database(scratch.name()));
    EXPECT_EQ(doc.context().currentDatabase, scratch.name());
    EXPECT_EQ(frame->recordList(), nullptr);
    ASSERT_EQ(database(scratch.name())->childCount(), 1);

    run(FollowUp{.addedTable = TableRef{scratch.name(), "second"}});
    QTreeWidgetItem* second = database(scratch.name())->child(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(CLeftView::nodeBytes(second), "second");
    EXPECT_EQ(tree().currentItem(), second);
    EXPECT_EQ(doc.context().currentTable, "second");
    EXPECT_NE(frame->recordList(), nullptr);

    run(FollowUp{.renamedTable = "third"});  // runs for the context's table
    EXPECT_EQ(CLeftView::nodeBytes(second), "third");
    EXPECT_EQ(doc.context().currentTable, "third");
    EXPECT_EQ(doc.context().nodeText, "third");

    // databases a form made on the side join the tree; the selection stays
    run(FollowUp{.addedDatabases = {"dbk_tree_new1", "dbk_tree_new2"}, .selectAdded = false});
    EXPECT_EQ(tree().databasesRoot()->childCount(), databases + 2);
    EXPECT_EQ(tree().currentItem(), second);
}

TEST_F(ObjectTreeTest, AddedDatabaseNodesAreNotDuplicated) {
    DBK_REQUIRE_SERVER();
    connectAs(test::adminParams());
    const int before = tree().databasesRoot()->childCount();
    const std::string name = sjis("dbk_tree_追加");
    tree().addDatabaseNode(name);
    tree().addDatabaseNode(name);
    tree().addDatabaseNode("mysql");
    EXPECT_EQ(tree().databasesRoot()->childCount(), before + 1);
    QTreeWidgetItem* added = tree().databasesRoot()->child(before);
    EXPECT_EQ(CLeftView::nodeBytes(added), name);
    EXPECT_EQ(added->text(0), QString::fromUtf8("dbk_tree_追加"));
    EXPECT_EQ(CLeftView::nodeImage(added), object_tree::kDatabaseImage);
    EXPECT_EQ(added->foreground(0).color(), QColor(0, 0, 100));
}

}  // namespace
}  // namespace dbk
