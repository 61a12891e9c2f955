#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "app/main_frame.h"
#include "app/scripted_ui_services.h"
#include "app/window_placement.h"
#include "browser/left_view.h"
#include "browser/object_command_entries.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "support/ui_support.h"

namespace dbk {
namespace {

QTreeWidgetItem* childNamed(const QTreeWidgetItem* parent, const std::string& bytes) {
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (CLeftView::nodeBytes(parent->child(i)) == bytes)
            return parent->child(i);
    }
    return nullptr;
}

bool databaseExists(Connection& c, const std::string& name) {
    Result r = c.query("SHOW DATABASES LIKE '" + c.escape(name) + "'");
    return r.ok() && r.next();
}

// A main window logged in with the given account and its tree built.
class ObjectCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        setProgramEnd([this] { ++programEnds; });
    }
    void TearDown() override {
        frame.reset();
        setProgramEnd([] { QCoreApplication::exit(0); });
    }

    void open(const ConnectParams& p) {
        doc.setLoginPrompt(test::loginPromptFor(p));
        frame = std::make_unique<CMainFrame>(doc);
        frame->leftView()->initialUpdate();
        ASSERT_TRUE(doc.connection().isOpen());
        ui->messages.clear();
        frame->setFocusedPane(Pane::Tree);
    }

    QTreeWidgetItem* select(const std::string& database, const std::string& table = {}) {
        CLeftView* tree = frame->leftView();
        QTreeWidgetItem* db = childNamed(tree->databasesRoot(), database);
        if (!db)
            return nullptr;
        tree->setCurrentItem(db);
        if (table.empty())
            return db;
        QTreeWidgetItem* t = childNamed(db, table);
        if (t)
            tree->setCurrentItem(t);
        return t;
    }

    test::IsolatedSettings settings;
    ScopedScriptedUi ui;
    CDbkeeperDoc doc;
    std::unique_ptr<CMainFrame> frame;
    int programEnds = 0;
};

TEST_F(ObjectCommandsTest, TheGrantDatabaseAndItsTablesAreNeverDropped) {
    DBK_REQUIRE_SERVER();
    open(test::adminParams());
    ASSERT_NE(select("mysql"), nullptr);
    ASSERT_TRUE(frame->runCommand(cmd::Delete, Pane::Tree));
    EXPECT_EQ(ui->messages, QStringList{"This database cannot be deleted."});
    ASSERT_NE(select("mysql", "user"), nullptr);
    ui->messages.clear();
    frame->runCommand(cmd::Delete, Pane::Tree);
    EXPECT_EQ(ui->messages, QStringList{"MySQL Database table cannot be deleted."});
    EXPECT_TRUE(ui->questions.isEmpty());
    EXPECT_NE(select("mysql", "user"), nullptr);

    // the roots are not deleted either
    frame->leftView()->setCurrentItem(frame->leftView()->databasesRoot());
    ui->messages.clear();
    frame->runCommand(cmd::Delete, Pane::Tree);
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_TRUE(ui->questions.isEmpty());
}

TEST_F(ObjectCommandsTest, DroppingAsksFirstAndRemovesTheNode) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_objcmd_drop");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE keep (id INT)"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE `gone away` (id INT)"));
    open(test::adminParams());
    ASSERT_NE(select(db.name(), "keep"), nullptr);

    ui->answers.push_back(false);
    frame->runCommand(cmd::Delete, Pane::Tree);
    EXPECT_EQ(ui->questions, QStringList{"Proceed to delete keep?"});
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_NE(select(db.name(), "keep"), nullptr);
    Result still = db.admin().query("SHOW TABLES LIKE 'keep'");
    EXPECT_TRUE(still.next());

    // a table dropped behind the program's back still goes without an error
    ASSERT_NE(select(db.name(), "gone away"), nullptr);
    ASSERT_TRUE(db.admin().exec("DROP TABLE `gone away`"));
    frame->runCommand(cmd::Delete, Pane::Tree);
    EXPECT_EQ(ui->messages, QStringList{"Table deleted."});
    EXPECT_EQ(select(db.name(), "gone away"), nullptr);

    // the table goes from its own database even when the console moved the default elsewhere
    ASSERT_NE(select(db.name(), "keep"), nullptr);
    ASSERT_TRUE(doc.connection().selectDb("mysql"));
    ui->messages.clear();
    frame->runCommand(cmd::Delete, Pane::Tree);
    EXPECT_EQ(ui->messages, QStringList{"Table deleted."});
    Result gone = db.admin().query("SHOW TABLES");
    EXPECT_FALSE(gone.next());

    ASSERT_NE(select(db.name()), nullptr);
    ui->messages.clear();
    frame->runCommand(cmd::Delete, Pane::Tree);
    EXPECT_EQ(ui->messages, QStringList{"Database deleted."});
    EXPECT_EQ(select(db.name()), nullptr);
    EXPECT_FALSE(databaseExists(db.admin(), db.name()));
}

TEST_F(ObjectCommandsTest, ATableNodeBelowATableNodeDropsTheTableOfItsDatabase) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_objcmd_nested");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE orders (id INT)"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE items (id INT)"));
    ASSERT_TRUE(db.admin().exec("CREATE DATABASE IF NOT EXISTS orders"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE orders.items (id INT)"));
    open(test::adminParams());
    QTreeWidgetItem* orders = select(db.name(), "orders");
    ASSERT_NE(orders, nullptr);
    // a table node at depth 3, under the node of another table
    QTreeWidgetItem* nested = frame->leftView()->insertNode(orders, "items", object_tree::kTableImage);
    frame->leftView()->setCurrentItem(nested);
    frame->runCommand(cmd::Delete, Pane::Tree);
    EXPECT_EQ(ui->messages, QStringList{"Table deleted."});
    EXPECT_FALSE(db.admin().query("SHOW TABLES FROM dbk_objcmd_nested LIKE 'items'").next());
    EXPECT_TRUE(db.admin().query("SHOW TABLES FROM orders LIKE 'items'").next());
    db.admin().exec("DROP DATABASE orders");
}

TEST_F(ObjectCommandsTest, AnOptimizeTheServerRefusesShowsItsReason) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_objcmd_optimize");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT)"));
    open(test::adminParams());
    ASSERT_NE(select(db.name(), "t"), nullptr);
    ASSERT_TRUE(db.admin().exec("DROP TABLE t"));
    ui->messages.clear();
    frame->runCommand(cmd::OptimizeTable, Pane::Tree);
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("Some errors have occurred.")) << ui->messages[0].toStdString();
    EXPECT_TRUE(ui->messages[0].contains("doesn't exist")) << ui->messages[0].toStdString();
    // the connection is ready for the next statement
    EXPECT_TRUE(doc.connection().exec("SELECT 1")) << doc.connection().errorLine();
}

TEST_F(ObjectCommandsTest, AFailedDropIsReportedWithTheServersReason) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_user_objcmd");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT)"));
    // the normal user may see the database but not drop tables in a database it cannot reach
    test::ScratchDatabase other("dbk_objcmd_other");
    ASSERT_TRUE(other.admin().exec("CREATE TABLE t (id INT)"));
    ASSERT_TRUE(other.admin().exec("GRANT SELECT ON dbk_objcmd_other.* TO 'dbk_user'@'%'"));
    open(test::normalUserParams());
    ASSERT_NE(select(other.name(), "t"), nullptr);
    frame->runCommand(cmd::Delete, Pane::Tree);
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("Error deleting.\n1142:")) << ui->messages[0].toStdString();
    EXPECT_NE(select(other.name(), "t"), nullptr);
    other.admin().exec("REVOKE SELECT ON dbk_objcmd_other.* FROM 'dbk_user'@'%'");
}

TEST_F(ObjectCommandsTest, LockingNeedsATableAndNoticesFollowTheServer) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_objcmd_lock");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t VALUES (1), (2)"));
    open(test::adminParams());
    ASSERT_NE(select(db.name()), nullptr);
    frame->runCommand(cmd::LockTable, Pane::Tree);
    EXPECT_EQ(ui->messages, QStringList{"Please Select a Table"});

    ASSERT_NE(select(db.name(), "t"), nullptr);
    ui->messages.clear();
    frame->runCommand(cmd::LockTable, Pane::Tree);
    EXPECT_TRUE(ui->messages.value(0).startsWith("Table lock initiated."));
    // the read lock belongs to this session: writing through it is refused
    EXPECT_FALSE(doc.connection().exec("INSERT INTO dbk_objcmd_lock.t VALUES (3)"));
    ui->messages.clear();
    frame->runCommand(cmd::UnlockTable, Pane::Tree);
    EXPECT_EQ(ui->messages, QStringList{"Table lock removed."});
    EXPECT_TRUE(doc.connection().exec("INSERT INTO dbk_objcmd_lock.t VALUES (3)"));

    ui->messages.clear();
    frame->runCommand(cmd::OptimizeTable, Pane::Tree);
    frame->runCommand(cmd::FlushTables, Pane::Tree);
    frame->runCommand(cmd::FlushStatus, Pane::Tree);
    frame->runCommand(cmd::RefreshGrants, Pane::Tree);
    EXPECT_EQ(ui->messages, (QStringList{"Table optimized.", "Cached database written to file.",
                                         "Status variable reset.", "Authority table reloaded."}));

    ui->messages.clear();
    ui->answers.push_back(true);
    frame->runCommand(cmd::DeleteAllRecords, Pane::Tree);
    EXPECT_EQ(ui->questions.last(), "Proceed to delete all t records?");
    Result count = db.admin().query("SELECT COUNT(*) FROM t");
    ASSERT_TRUE(count.next());
    EXPECT_EQ(count.text(0U), "0");
}

TEST_F(ObjectCommandsTest, AFlushTheAccountMayNotSendIsNotReportedAsDone) {
    DBK_REQUIRE_SERVER();
    open(test::normalUserParams());
    frame->leftView()->setCurrentItem(frame->leftView()->databasesRoot());
    frame->runCommand(cmd::FlushTables, Pane::Tree);
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("Some errors have occurred.")) << ui->messages[0].toStdString();
}

TEST_F(ObjectCommandsTest, StopServerWithoutTheRightKeepsTheProgramRunning) {
    DBK_REQUIRE_SERVER();
    open(test::noShutdownParams());
    frame->runCommand(cmd::StopServer, Pane::Tree);
    EXPECT_EQ(ui->questions, QStringList{"Proceed to stop the server?"});
    EXPECT_EQ(ui->messages, QStringList{"Error stopping server.  Not possible to shutdown."});
    EXPECT_EQ(programEnds, 0);
    EXPECT_TRUE(doc.connection().ping());

    ui->answers.push_back(false);
    ui->messages.clear();
    frame->runCommand(cmd::StopServer, Pane::Tree);
    EXPECT_TRUE(ui->messages.isEmpty());
}

// Stops a server started for this test alone, then ends the program.
TEST_F(ObjectCommandsTest, StopServerAsAdministratorStopsItAndEndsTheProgram) {
    DBK_REQUIRE_SERVER();
    const QByteArray scripts = qgetenv("DBKEEPER_TEST_SCRIPTS");
    if (scripts.isEmpty())
        GTEST_SKIP() << "DBKEEPER_TEST_SCRIPTS not set; run ./test";
    QTemporaryDir serverDir;
    auto server = [&](const char* action) {
        QProcess p;
        p.start("bash", {"-c",
                         QString("source \"%1/private_server.sh\" && private_server_%2 \"$0\"")
                             .arg(QString::fromLocal8Bit(scripts), action),
                         serverDir.path()});
        p.waitForFinished(120000);
        return p.exitCode() == 0;
    };
    ASSERT_TRUE(server("start"));
    QFile env(QDir(serverDir.path()).filePath("server.env"));
    ASSERT_TRUE(env.open(QIODevice::ReadOnly));
    unsigned port = 0;
    for (const QByteArray& line : env.readAll().split('\n')) {
        if (line.contains("PRIVATE_SERVER_PORT="))
            port = line.split('=').last().replace('\'', "").toUInt();
    }
    ASSERT_NE(port, 0U);
    ConnectParams root;
    root.host = "127.0.0.1";
    root.port = port;
    root.user = "root";
    open(root);
    frame->runCommand(cmd::StopServer, Pane::Tree);
    EXPECT_EQ(ui->messages, QStringList{"The server is stopped.  This application will now quit."});
    EXPECT_EQ(programEnds, 1);
    Connection probe;
    EXPECT_FALSE(probe.open(root));
    server("stop");
}

}  // namespace
}  // namespace dbk
