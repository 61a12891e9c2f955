#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <thread>

#include "app/commands.h"
#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"
#include "monitor/line_chart_widget.h"
#include "monitor/process_details_form.h"
#include "monitor/process_form.h"
#include "monitor/replication_form.h"
#include "monitor/system_variables_form.h"
#include "support/test_server.h"
#include "support/ui_support.h"

namespace dbk {
namespace {

QStringList columnTexts(const QTableWidget* list, int column) {
    QStringList texts;
    for (int r = 0; r < list->rowCount(); ++r) {
        const QTableWidgetItem* item = list->item(r, column);
        texts << (item ? item->text() : QString());
    }
    return texts;
}

QString headerText(const QTableWidget* list, int column) {
    return list->horizontalHeaderItem(column)->text();
}

std::string firstValue(Connection& c, const std::string& statement, const char* column) {
    Result r = c.query(statement);
    EXPECT_TRUE(r.ok()) << c.errorLine();
    return r.next() ? r.text(column) : std::string();
}

unsigned long long comFlush(Connection& c) {
    return std::stoull(firstValue(c, "SHOW GLOBAL STATUS LIKE 'Com_flush'", "Value"));
}

// Forms opened from the forms under test go to `onDialog` (rejected when it is empty).
class MonitorFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        previousRunner = setModalRunner([this](QDialog& dialog) {
            if (onDialog)
                onDialog(dialog);
            else
                dialog.reject();
            return dialog.result();
        });
    }
    void TearDown() override { setModalRunner(previousRunner); }

    ScopedScriptedUi ui;
    ModalRunner previousRunner;
    std::function<void(QDialog&)> onDialog;
};

TEST_F(MonitorFormsTest, ProcessFormListsTheThreadsAndChartsTheStatusEveryTick) {
    DBK_REQUIRE_SERVER();
    Session s(test::connectAdmin());
    ProcessForm form(s);
    EXPECT_TRUE(form.timer().isActive());
    QTableWidget* list = form.threadList();
    ASSERT_GE(list->columnCount(), 8);
    const QStringList headings{"Id", "User", "Host", "db", "Command", "Time", "State", "Info"};
    const int widths[] = {50, 75, 75, 75, 75, 50, 50, 140};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(headerText(list, c), headings[c]);
        EXPECT_EQ(list->columnWidth(c), widths[c]) << c;
    }
    EXPECT_EQ(form.versionField(0)->text(), fromShiftJis(s.connection().serverInfo()));
    EXPECT_EQ(form.versionField(2)->text(), QStringLiteral("10"));
    for (int trace = 0; trace < 5; ++trace)
        EXPECT_EQ(form.rangeField(trace)->text(), QStringLiteral("100"));

    form.tick();
    EXPECT_EQ(form.chart()->chart().steps(), 1);
    const QString ownId = QString::number(s.connection().threadId());
    const QStringList ids = columnTexts(list, 0);
    ASSERT_TRUE(ids.contains(ownId));
    const int ownRow = static_cast<int>(ids.indexOf(ownId));
    EXPECT_EQ(list->item(ownRow, 1)->text(), fromShiftJis(test::adminParams().user));
    EXPECT_EQ(columnTexts(list, 3)[ownRow], QString());  // NULL db: an empty cell
    // The list shows the server's rows last first.
    QStringList serverOrder;
    Result direct = s.connection().query("SHOW PROCESSLIST");
    while (direct.next())
        serverOrder.prepend(fromShiftJis(direct.text(0U)));
    EXPECT_EQ(ids, serverOrder);
    // Counters as numbers; MariaDB's line has no "Flush tables", so its field stays empty and
    // its trace at 0.
    EXPECT_GT(form.counterField(0)->text().toULongLong(), 0U);
    EXPECT_TRUE(form.counterField(5)->text().isEmpty());
    EXPECT_EQ(form.chart()->chart().traces()[2].current, 0U);
    EXPECT_EQ(form.chart()->chart().traces()[0].current, form.counterField(1)->text().toULongLong());

    form.rangeField(3)->setText(QStringLiteral("10"));
    EXPECT_EQ(form.chart()->chart().traces()[3].upper, 10);

    // "更新" reads the list again, with a connection opened since.
    Connection other = test::connectAdmin();
    form.refreshButton()->click();
    EXPECT_TRUE(columnTexts(list, 0).contains(QString::number(other.threadId())));
    {
        BusyGuard busy(s.connection());
        form.tick();
    }
    EXPECT_EQ(form.chart()->chart().steps(), 1);
    EXPECT_TRUE(ui->messages.isEmpty());
    form.closeButton()->click();
    EXPECT_FALSE(form.timer().isActive());

    // Without a thread list the form says so and stays empty, with no timer.
    Session closed;
    ProcessForm empty(closed);
    EXPECT_EQ(ui->messages, QStringList{QStringLiteral("プロセス情報が参照できませんでした")});
    EXPECT_FALSE(empty.timer().isActive());
    EXPECT_EQ(empty.threadList()->columnCount(), 0);
}

TEST_F(MonitorFormsTest, TheDetailsFormStopsAnotherConnection) {
    DBK_REQUIRE_SERVER();
    Session s(test::connectAdmin());
    Connection other = test::connectAdmin();
    const QString otherId = QString::number(other.threadId());
    ProcessForm form(s);
    form.tick();
    const int row = static_cast<int>(columnTexts(form.threadList(), 0).indexOf(otherId));
    ASSERT_GE(row, 0);
    QStringList shown;
    bool closed = false;
    onDialog = [&](QDialog& dialog) {
        auto* details = qobject_cast<ProcessDetailsForm*>(&dialog);
        ASSERT_TRUE(details);
        for (size_t i = 0; i < ProcessDetailsForm::kFieldCount; ++i)
            shown << details->field(i)->text();
        details->stopButton()->click();
        closed = !details->isVisible() && details->result() == QDialog::Accepted;
    };
    emit form.threadList()->cellDoubleClicked(row, 2);
    ASSERT_EQ(shown.size(), 8);
    EXPECT_EQ(shown.mid(0, 2), (QStringList{otherId, fromShiftJis(test::adminParams().user)}));
    EXPECT_EQ(shown.mid(3, 2), (QStringList{QString(), QStringLiteral("Sleep")}));
    EXPECT_TRUE(closed);
    EXPECT_FALSE(other.ping());
    EXPECT_TRUE(ui->messages.isEmpty());

    // The thread has ended: the fields stay empty and stopping closes without a word.
    ProcessDetailsForm ended(s, other.threadId());
    EXPECT_TRUE(ended.field(0)->text().isEmpty());
    ended.stopButton()->click();
    EXPECT_EQ(ended.result(), QDialog::Accepted);
    EXPECT_TRUE(ui->messages.isEmpty());

    // The program's own connection is not stopped.
    ProcessDetailsForm own(s, s.connection().threadId());
    EXPECT_EQ(own.field(0)->text(), QString::number(s.connection().threadId()));
    own.stopButton()->click();
    EXPECT_EQ(ui->messages, QStringList{msg(20800)});
    EXPECT_TRUE(s.connection().ping());
}

// The list is read again every second; the chosen thread stays chosen when threads come, and
// the two clicks of a double-click may fall on either side of a refill.
TEST_F(MonitorFormsTest, ARefillKeepsTheChosenThreadAndADoubleClickUnderWay) {
    DBK_REQUIRE_SERVER();
    Session s(test::connectAdmin());
    Connection other = test::connectAdmin();
    const QString otherId = QString::number(other.threadId());
    ProcessForm form(s);
    form.show();
    form.tick();
    QTableWidget* list = form.threadList();
    list->selectRow(static_cast<int>(columnTexts(list, 0).indexOf(otherId)));
    Connection third = test::connectAdmin();
    form.tick();
    ASSERT_TRUE(columnTexts(list, 0).contains(QString::number(third.threadId())));
    ASSERT_FALSE(list->selectedItems().isEmpty());
    EXPECT_EQ(list->item(list->selectedItems()[0]->row(), 0)->text(), otherId);

    QString opened;
    onDialog = [&](QDialog& dialog) {
        opened = static_cast<ProcessDetailsForm&>(dialog).field(0)->text();
        dialog.reject();
    };
    QWidget* viewport = list->viewport();
    const QPoint at = list->visualItemRect(list->selectedItems()[0]).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    form.tick();
    QMouseEvent second(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at), Qt::LeftButton,
                       Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &second);
    EXPECT_EQ(opened, otherId);
}

TEST_F(MonitorFormsTest, EveryFlushButtonSendsItsStatementAndSaysSo) {
    DBK_REQUIRE_SERVER();
    Session s(test::connectAdmin());
    Connection admin = test::connectAdmin();
    ProcessForm form(s);
    const unsigned long long flushesBefore = comFlush(admin);
    const std::string logBefore = firstValue(admin, "SHOW MASTER STATUS", "File");
    for (size_t i = 0; i < 5; ++i)
        form.flushButton(i)->click();
    EXPECT_EQ(ui->messages,
              (QStringList{"Cached Host information reset.", "Update log file inode no. updated.",
                           "MySQL Authority table has been reloaded.", "Status variable reset.",
                           "Cached database written to file."}));
    // The notices speak the interface's language.
    setInterfaceLanguage(Language::Japanese);
    ui->messages.clear();
    QStringList japanese;
    for (size_t i = 0; i < 5; ++i) {
        form.flushButton(i)->click();
        japanese << msg(std::array{10084, 10085, 22000, 10087, 10088}[i]);
    }
    EXPECT_EQ(ui->messages, japanese);
    EXPECT_TRUE(japanese[2].startsWith(QStringLiteral("権限")));
    EXPECT_EQ(comFlush(admin) - flushesBefore, 10U);
    EXPECT_NE(firstValue(admin, "SHOW MASTER STATUS", "File"), logBefore);  // FLUSH LOGS began a new log
}

TEST_F(MonitorFormsTest, AUserWithoutProcessRightsSeesItsOwnThreadsAndNoMessageEachTick) {
    DBK_REQUIRE_SERVER();
    Session u;
    ASSERT_TRUE(u.open(test::normalUserParams())) << u.connection().errorLine();
    Connection admin = test::connectAdmin();
    ProcessForm form(u);
    for (int i = 0; i < 3; ++i)
        form.tick();
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(form.chart()->chart().steps(), 3);
    EXPECT_EQ(columnTexts(form.threadList(), 0), QStringList{QString::number(u.connection().threadId())});
    // The server refuses the flush; its refusal is shown instead of the notice.
    form.flushButton(0)->click();
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith(msg(10090).section('\n', 0, 0))) << ui->messages[0].toStdString();
    EXPECT_TRUE(ui->messages[0].contains(QStringLiteral("RELOAD"))) << ui->messages[0].toStdString();
    form.tick();
    EXPECT_EQ(ui->messages.size(), 1);
}

TEST_F(MonitorFormsTest, AKillTheServerRefusesIsShown) {
    DBK_REQUIRE_SERVER();
    // A watcher may see every thread but stop only its own.
    Connection admin = test::connectAdmin();
    admin.exec("DROP USER IF EXISTS dbk_watcher");
    ASSERT_TRUE(admin.exec("CREATE USER dbk_watcher IDENTIFIED BY 'watch'")) << admin.errorLine();
    struct DropWatcher {
        Connection& c;
        ~DropWatcher() { c.exec("DROP USER IF EXISTS dbk_watcher"); }
    } dropWatcher{admin};
    ASSERT_TRUE(admin.exec("GRANT PROCESS ON *.* TO dbk_watcher"));
    ConnectParams watcherParams = test::adminParams();
    watcherParams.user = "dbk_watcher";
    watcherParams.password = "watch";
    Session watcher;
    ASSERT_TRUE(watcher.open(watcherParams)) << watcher.connection().errorLine();
    ProcessDetailsForm details(watcher, admin.threadId());
    EXPECT_EQ(details.field(1)->text(), fromShiftJis(test::adminParams().user));
    details.stopButton()->click();
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith(msg(20801) + "\n1095:")) << ui->messages[0].toStdString();
    EXPECT_TRUE(admin.ping());
}

TEST_F(MonitorFormsTest, SystemVariablesAreListedWithTheirExplanations) {
    DBK_REQUIRE_SERVER();
    Session s(test::connectAdmin());
    SystemVariablesForm form(s);
    QTableWidget* list = form.variableList();
    EXPECT_EQ(headerText(list, 0), QStringLiteral("Variable"));
    EXPECT_EQ(headerText(list, 1), QStringLiteral("Contents"));
    EXPECT_EQ(list->columnWidth(0), 150);
    EXPECT_EQ(list->columnWidth(1), 500);
    const QStringList names = columnTexts(list, 0);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    ASSERT_TRUE(form.selectVariable(QStringLiteral("max_allowed_packet")));
    EXPECT_EQ(form.explanationField()->text(), QStringLiteral("Largest buffer for incoming data"));
    EXPECT_EQ(list->item(list->currentRow(), 1)->text(),
              fromShiftJis(firstValue(s.connection(), "SHOW VARIABLES LIKE 'max_allowed_packet'", "Value")));
    ASSERT_TRUE(form.selectVariable(QStringLiteral("innodb_page_size")));
    EXPECT_EQ(form.explanationField()->text(), QStringLiteral("Unknown (under investigation)"));

    setInterfaceLanguage(Language::Japanese);
    SystemVariablesForm japanese(s);
    EXPECT_EQ(headerText(japanese.variableList(), 0), msgIn(Language::Japanese, 20803));
    ASSERT_TRUE(japanese.selectVariable(QStringLiteral("max_allowed_packet")));
    EXPECT_EQ(japanese.explanationField()->text(),
              QStringLiteral("入力されるデータを格納する最大バッファサイズ"));
    setInterfaceLanguage(Language::English);
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(MonitorFormsTest, ReplicationShowsTheMasterSideAndRefusesToStartAServerThatIsNoReplica) {
    DBK_REQUIRE_SERVER();
    Session s(test::connectAdmin());
    Connection admin = test::connectAdmin();
    ReplicationForm form(s);
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(form.masterField(0)->text(), fromShiftJis(firstValue(admin, "SHOW MASTER STATUS", "File")));
    EXPECT_EQ(form.masterField(1)->text(), fromShiftJis(firstValue(admin, "SHOW MASTER STATUS", "Position")));
    EXPECT_TRUE(form.slaveField(SlaveField::MasterHost)->text().isEmpty());
    EXPECT_TRUE(form.slaveField(SlaveField::Running)->text().isEmpty());
    EXPECT_EQ(form.slaveHostList()->rowCount(), 0);

    // A new log, so that the refresh after the refusal shows.
    ASSERT_TRUE(admin.exec("FLUSH BINARY LOGS"));
    const QString newLog = fromShiftJis(firstValue(admin, "SHOW MASTER STATUS", "File"));
    ASSERT_NE(form.masterField(0)->text(), newLog);
    form.startButton()->click();
    EXPECT_EQ(ui->messages, QStringList{QStringLiteral("スレーブをスタートできませんでした")});
    EXPECT_EQ(form.masterField(0)->text(), newLog);
}

TEST_F(MonitorFormsTest, AUserWithoutReplicationRightsIsToldOnce) {
    DBK_REQUIRE_SERVER();
    Session u;
    ASSERT_TRUE(u.open(test::normalUserParams())) << u.connection().errorLine();
    ReplicationForm form(u);
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith(QStringLiteral("The replication status cannot be read.\n1227:")))
        << ui->messages[0].toStdString();
    EXPECT_TRUE(form.masterField(0)->text().isEmpty());
    form.refreshButton()->click();
    EXPECT_EQ(ui->messages.size(), 1);
    form.stopButton()->click();
    EXPECT_EQ(ui->messages.size(), 2);
    EXPECT_EQ(ui->messages.last(), QStringLiteral("スレーブを停止できませんでした"));
}

// Replication runs on threads of the servers: waits up to 20 s for it to get somewhere.
bool eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 200; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

// The second test server follows the first; the forms on both show it, and the replica's form
// stops it. Afterwards the second server is no replica again.
TEST_F(MonitorFormsTest, AReplicaShowsItsMasterAndIsStoppedFromTheForm) {
    DBK_REQUIRE_SERVER();
    DBK_REQUIRE_SECOND_SERVER();
    const ConnectParams masterParams = test::adminParams();
    Connection masterAdmin = test::connectAdmin();
    Connection replicaAdmin = test::connectSecondAdmin();
    ASSERT_TRUE(replicaAdmin.isOpen());
    struct Unreplicate {
        Connection& replica;
        Connection& master;
        ~Unreplicate() {
            replica.exec("STOP SLAVE");
            EXPECT_TRUE(replica.exec("RESET SLAVE ALL")) << replica.errorLine();
            master.exec("DROP DATABASE IF EXISTS dbk_replicated");
            replica.exec("DROP DATABASE IF EXISTS dbk_replicated");
        }
    } unreplicate{replicaAdmin, masterAdmin};

    // From the master's current position on, so that nothing the other tests did is replayed.
    const std::string file = firstValue(masterAdmin, "SHOW MASTER STATUS", "File");
    const std::string position = firstValue(masterAdmin, "SHOW MASTER STATUS", "Position");
    ASSERT_TRUE(replicaAdmin.exec(format(
        "CHANGE MASTER TO MASTER_HOST='127.0.0.1', MASTER_PORT=%u, MASTER_USER='%s', MASTER_PASSWORD='%s', "
        "MASTER_LOG_FILE='%s', MASTER_LOG_POS=%s, MASTER_USE_GTID=no, MASTER_CONNECT_RETRY=1",
        masterParams.port, replicaAdmin.escape(masterParams.user), replicaAdmin.escape(masterParams.password),
        replicaAdmin.escape(file), position)))
        << replicaAdmin.errorLine();

    Session replica;
    ASSERT_TRUE(replica.open(test::secondServerParams())) << replica.connection().errorLine();
    ReplicationForm replicaForm(replica);
    EXPECT_EQ(replicaForm.slaveField(SlaveField::MasterHost)->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(replicaForm.slaveField(SlaveField::Running)->text(), QStringLiteral("No"));
    replicaForm.startButton()->click();
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join('\n').toStdString();
    ASSERT_TRUE(eventually([&] {
        Result status = replicaAdmin.query("SHOW REPLICA STATUS");
        return status.next() && status.text("Slave_IO_Running") == "Yes" &&
               status.text("Slave_SQL_Running") == "Yes";
    })) << "the replica did not start";
    ASSERT_TRUE(masterAdmin.exec("CREATE DATABASE dbk_replicated"));
    EXPECT_TRUE(eventually([&] {
        Result databases = replicaAdmin.query("SHOW DATABASES LIKE 'dbk_replicated'");
        return databases.next();
    })) << "nothing was replicated";

    replicaForm.refreshButton()->click();
    EXPECT_EQ(replicaForm.slaveField(SlaveField::MasterHost)->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(replicaForm.slaveField(SlaveField::MasterUser)->text(), fromShiftJis(masterParams.user));
    EXPECT_EQ(replicaForm.slaveField(SlaveField::MasterPort)->text(), QString::number(masterParams.port));
    EXPECT_EQ(replicaForm.slaveField(SlaveField::LogFile)->text(), fromShiftJis(file));
    EXPECT_EQ(replicaForm.slaveField(SlaveField::Position)->text(),
              fromShiftJis(firstValue(masterAdmin, "SHOW MASTER STATUS", "Position")));
    EXPECT_EQ(replicaForm.slaveField(SlaveField::Running)->text(), QStringLiteral("Yes"));
    EXPECT_EQ(replicaForm.slaveField(SlaveField::LastErrno)->text(), QStringLiteral("0"));

    // The master lists the replica's connection among its slaves.
    Session master(test::connectAdmin());
    ReplicationForm masterForm(master);
    ASSERT_EQ(masterForm.slaveHostList()->rowCount(), 1);
    EXPECT_TRUE(masterForm.slaveHostList()->item(0, 0)->text().startsWith(QStringLiteral("127.0.0.1")));
    EXPECT_EQ(masterForm.slaveHostList()->item(0, 1)->text(), fromShiftJis(masterParams.user));
    EXPECT_TRUE(masterForm.slaveField(SlaveField::MasterHost)->text().isEmpty());

    replicaForm.stopButton()->click();
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join('\n').toStdString();
    EXPECT_EQ(replicaForm.slaveField(SlaveField::Running)->text(), QStringLiteral("No"));
    Result status = replicaAdmin.query("SHOW REPLICA STATUS");
    ASSERT_TRUE(status.next());
    EXPECT_EQ(status.text("Slave_IO_Running"), "No");
    EXPECT_EQ(status.text("Slave_SQL_Running"), "No");
}

// Every field, list, button and the chart is named by its caption.
void expectNamedByCaptions(const QWidget& form) {
    for (const QLabel* label : form.findChildren<QLabel*>()) {
        if (QWidget* buddy = label->buddy()) {
            QString caption = label->text().trimmed();
            if (caption.endsWith(':'))
                caption.chop(1);
            EXPECT_EQ(buddy->accessibleName(), caption);
        }
    }
    for (const QPushButton* button : form.findChildren<QPushButton*>())
        EXPECT_EQ(button->accessibleName(), button->text());
    for (const QWidget* control : form.findChildren<QWidget*>()) {
        if (qobject_cast<const QLineEdit*>(control) || qobject_cast<const QTableWidget*>(control) ||
            qobject_cast<const LINE_CHART_CTRL*>(control)) {
            EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
        }
    }
}

TEST_F(MonitorFormsTest, TheCommandsOpenTheFormsWithEveryControlNamed) {
    DBK_REQUIRE_SERVER();
    ScopedScriptedUi quiet;
    test::IsolatedSettings settings;
    CDbkeeperDoc doc;
    CMainFrame frame(doc);
    doc.setLoginPrompt(test::loginPromptFor(test::adminParams()));
    ASSERT_EQ(doc.connect(), CDbkeeperDoc::kAdministrator);
    QStringList opened;
    onDialog = [&](QDialog& dialog) {
        opened << dialog.metaObject()->className();
        expectNamedByCaptions(dialog);
        dialog.reject();
    };
    for (int command : {cmd::Processes, cmd::SystemVariables, cmd::Replication})
        EXPECT_TRUE(frame.runCommand(command, Pane::Tree)) << command;
    EXPECT_EQ(opened, (QStringList{"dbk::ProcessForm", "dbk::SystemVariablesForm", "dbk::ReplicationForm"}));
    ProcessDetailsForm details(doc.session(), 1);
    expectNamedByCaptions(details);
}

}  // namespace
}  // namespace dbk
