#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "support/test_server.h"
#include "transfer/csv_export_form.h"
#include "transfer/database_copy.h"
#include "transfer/database_copy_form.h"
#include "transfer/maintenance_form.h"
#include "transfer/table_copy.h"
#include "transfer/table_copy_form.h"

namespace dbk {
namespace {

std::string scalar(Connection& c, const std::string& sql) {
    Result r = c.query(sql);
    return r.ok() && r.next() ? std::string(r.text(0U)) : std::string("(failed: ") + c.errorLine() + ")";
}

// A session's statement seen from a second connection, while it runs.
class RunningStatement {
public:
    RunningStatement(const Connection& session, const std::string& head)
        : observer_(test::connectAdmin()),
          query_("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " +
                 std::to_string(session.threadId()) + " AND INFO LIKE '" + head + "%'") {}
    bool running() { return scalar(observer_, query_) == "1"; }

private:
    Connection observer_;
    std::string query_;
};

class CancelFormsTest : public ::testing::Test {
protected:
    // Runs `start`; each time it lets events through `everyTime` runs, and the first time the
    // statement is seen running `cancel` runs. True when it was seen.
    bool cancelWhileRunning(RunningStatement& statement, const std::function<void()>& start,
                            const std::function<void()>& cancel,
                            const std::function<void()>& everyTime = {}) {
        bool seen = false;
        ui->onEventsLetThrough = [&] {
            if (everyTime)
                everyTime();
            if (!seen && statement.running()) {
                seen = true;
                cancel();
            }
        };
        start();
        ui->onEventsLetThrough = {};
        return seen;
    }

    void SetUp() override {
        DBK_REQUIRE_SERVER();
        setInterfaceLanguage(Language::English);
        previousDirectory_ = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void TearDown() override { QDir::setCurrent(previousDirectory_); }

    QTemporaryDir dir;
    ScopedScriptedUi ui;

private:
    QString previousDirectory_;
};

TEST_F(CancelFormsTest, TheCopyFormsCancelStopsItsInsertOnTheServer) {
    test::ScratchDatabase db("dbk_cancel_copy_form");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE src (id INT PRIMARY KEY, v VARCHAR(255)) ENGINE=InnoDB"));
    ASSERT_TRUE(c.exec("INSERT INTO src SELECT seq, REPEAT('x', 200) FROM seq_1_to_80000")) << c.errorLine();
    TableCopyForm form(db.session(), db.name(), "src");
    form.show();
    form.databaseList()->setCurrentText(QString::fromStdString(db.name()));
    form.nameEdit()->setText(QStringLiteral("dst"));
    form.copyDataBox()->setChecked(true);

    RunningStatement insert(c, "INSERT INTO");
    bool cancelLive = true;
    const bool clicked = cancelWhileRunning(
        insert, [&] { form.createButton()->click(); }, [&] { form.cancelButton()->click(); },
        [&] {
            cancelLive = cancelLive && form.cancelButton()->isEnabled() && !form.createButton()->isEnabled();
        });

    ASSERT_TRUE(clicked) << "the INSERT was never seen running";
    EXPECT_TRUE(cancelLive);
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_EQ(ui->messages[0], msg(TableCopy::kStatementCancelledMessage));
    EXPECT_FALSE(insert.running());
    EXPECT_FALSE(c.busy());
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM dst"), "0");
    EXPECT_EQ(c.characterSetName(), "cp932");
    EXPECT_TRUE(form.createButton()->isEnabled());
}

// A database copy stops within its first table's statement and makes no table after it; the new
// database stays and the form ends with it, so that the tree shows it.
TEST_F(CancelFormsTest, TheDatabaseCopyStopsBeforeItsNextTable) {
    test::ScratchDatabase db("dbk_cancel_dbcopy");
    Connection& c = db.admin();
    const std::string copy = "dbk_cancel_dbcopy_new";
    c.exec("DROP DATABASE IF EXISTS " + copy);
    struct Drop {
        Connection& c;
        std::string name;
        ~Drop() { c.exec("DROP DATABASE IF EXISTS " + name); }
    } drop{c, copy};
    ASSERT_TRUE(c.exec("CREATE TABLE a (id INT PRIMARY KEY, v VARCHAR(255)) ENGINE=InnoDB"));
    ASSERT_TRUE(c.exec("INSERT INTO a SELECT seq, REPEAT('x', 200) FROM seq_1_to_80000")) << c.errorLine();
    ASSERT_TRUE(c.exec("CREATE TABLE b (id INT) ENGINE=MyISAM"));
    ASSERT_TRUE(c.exec("CREATE VIEW v AS SELECT id FROM b"));
    DatabaseCopyForm form(db.session(), db.name());
    form.nameEdit()->setText(QString::fromStdString(copy));

    RunningStatement insert(c, "INSERT INTO");
    bool cancelLive = true;
    ui->answers = {true};
    const bool clicked = cancelWhileRunning(
        insert, [&] { form.createButton()->click(); }, [&] { form.cancelButton()->click(); },
        [&] {
            cancelLive = cancelLive && form.cancelButton()->isEnabled() && !form.createButton()->isEnabled();
        });

    ASSERT_TRUE(clicked) << "the INSERT was never seen running";
    EXPECT_TRUE(cancelLive);
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_EQ(ui->messages[0],
              msg(DatabaseCopy::kCancelledMessage) + u'\n' + msgf(DatabaseCopy::kCountsMessage, 1, 0, 0));
    EXPECT_FALSE(insert.running());
    EXPECT_EQ(
        scalar(c, "SELECT GROUP_CONCAT(TABLE_NAME) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                      copy + "'"),
        "a");
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM " + copy + ".a"), "0");
    EXPECT_FALSE(c.busy());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.newDatabase(), copy);
}

TEST_F(CancelFormsTest, AnOptimizeIsStoppedOnTheServer) {
    test::ScratchDatabase db("dbk_cancel_optimize");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(255)) ENGINE=InnoDB"));
    ASSERT_TRUE(c.exec("INSERT INTO t SELECT seq, REPEAT('x', 200) FROM seq_1_to_80000")) << c.errorLine();
    MaintenanceForm form(db.session(), db.name(), "t");
    form.show();
    const QString closeCaption = form.closeButton()->text();

    RunningStatement optimize(c, "OPTIMIZE");
    QString captionWhileRunning;
    const bool clicked = cancelWhileRunning(
        optimize, [&] { form.optimizeButton()->click(); },
        [&] {
            captionWhileRunning = form.closeButton()->text();
            EXPECT_FALSE(form.optimizeButton()->isEnabled());
            form.closeButton()->click();
        });

    ASSERT_TRUE(clicked) << "the OPTIMIZE was never seen running";
    EXPECT_EQ(captionWhileRunning, QStringLiteral("ｷｬﾝｾﾙ"));
    EXPECT_EQ(ui->messages, QStringList{msg(MaintenanceForm::kStatementCancelled)});
    EXPECT_TRUE(form.performanceResultEdit()->text().isEmpty());
    EXPECT_FALSE(optimize.running());
    EXPECT_FALSE(c.busy());
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM t"), "80000");
    EXPECT_EQ(form.closeButton()->text(), closeCaption);
    EXPECT_TRUE(form.optimizeButton()->isEnabled());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(CancelFormsTest, TheMaintenanceFormsCloseButtonCancelsADump) {
    test::ScratchDatabase db("dbk_cancel_dump_form");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(20))"));
    ASSERT_TRUE(c.exec("INSERT INTO t SELECT seq, 'v' FROM seq_1_to_5000"));
    MaintenanceForm form(db.session(), db.name(), "t");
    form.show();
    const QString path = dir.filePath(QStringLiteral("t.sql"));
    form.dumpFileEdit()->setText(path);
    const QString closeCaption = form.closeButton()->text();

    QString captionDuringDump;
    ui->onEventsLetThrough = [&] {
        if (captionDuringDump.isEmpty()) {
            captionDuringDump = form.closeButton()->text();
            EXPECT_TRUE(form.closeButton()->isEnabled());
            EXPECT_FALSE(form.dumpButton()->isEnabled());
            form.closeButton()->click();
        }
    };
    form.dumpButton()->click();
    ui->onEventsLetThrough = {};

    EXPECT_EQ(captionDuringDump, QStringLiteral("ｷｬﾝｾﾙ"));
    EXPECT_EQ(form.closeButton()->text(), closeCaption);
    EXPECT_EQ(form.closeButton()->accessibleName(), closeCaption);
    EXPECT_TRUE(form.isVisible());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const qsizetype rows = text.count("INSERT INTO");
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 5000);
    // Whole lines, and the loading session's sql_mode put back at the end.
    EXPECT_TRUE(text.endsWith(" );\nSET SESSION sql_mode = @dbk_saved_sql_mode;\n"));
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_EQ(ui->messages[0],
              msgf(MaintenanceForm::kDumpCancelled, static_cast<unsigned long long>(rows), path));
    EXPECT_FALSE(c.busy());
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM t"), "5000");

    // Once the dump is over the button closes the form again.
    form.closeButton()->click();
    EXPECT_FALSE(form.isVisible());
}

// The export of a statement that makes a row every 20 ms: Cancel ends it on the server within a
// second, and the window's events come while the rows are awaited.
TEST_F(CancelFormsTest, TheExportsCancelEndsASlowStatementOnTheServer) {
    using Clock = std::chrono::steady_clock;
    test::ScratchDatabase db("dbk_cancel_export_form");
    Connection& c = db.session().connection();
    CsvExportForm form(db.session(), db.name(), "", "SELECT seq, SLEEP(0.02), 'x' FROM seq_1_to_5000",
                       nullptr);
    form.show();
    const QString path = dir.filePath(QStringLiteral("slow.csv"));
    form.fileEdit()->setText(path);

    RunningStatement select(c, "SELECT seq");
    const auto start = Clock::now();
    Clock::time_point clickedAt;
    int events = 0;
    ui->onEventsLetThrough = [&] {
        ++events;
        if (clickedAt == Clock::time_point() && Clock::now() - start >= std::chrono::milliseconds(1500)) {
            EXPECT_TRUE(select.running());
            clickedAt = Clock::now();
            form.cancelButton()->click();
        }
    };
    form.outputButton()->click();
    const auto returned = Clock::now();
    ui->onEventsLetThrough = {};

    ASSERT_NE(clickedAt, Clock::time_point());
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(returned - clickedAt).count(), 1000);
    // Gone from the server's process list within a second of the click.
    while (select.running() && Clock::now() < clickedAt + std::chrono::seconds(1))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(select.running());
    // One round at least every 50 ms while the rows were awaited.
    EXPECT_GE(events, 15);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const qsizetype rows = file.readAll().count('\n');
    // The server sends such short rows in blocks of about 16 KB: few or none have come.
    EXPECT_LT(rows, 5000);
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_EQ(ui->messages[0],
              QString("The export was cancelled after %1 rows.\nThe file is partial: it holds "
                      "only those rows.\n%2")
                  .arg(rows)
                  .arg(path));
    EXPECT_FALSE(c.busy());
    EXPECT_EQ(scalar(c, "SELECT 1"), "1");
    EXPECT_EQ(c.characterSetName(), "cp932");
}

}  // namespace
}  // namespace dbk
