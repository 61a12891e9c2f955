#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <string>

#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "conn/cancel.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "transfer/copy_engine.h"
#include "transfer/csv_import.h"
#include "transfer/script_runner.h"
#include "transfer/table_copy.h"
#include "transfer/table_dump.h"

namespace dbk {
namespace {

std::string scalar(Connection& c, const std::string& sql) {
    Result r = c.query(sql);
    return r.ok() && r.next() ? std::string(r.text(0U)) : std::string("(failed: ") + c.errorLine() + ")";
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the server says the session `threadId` is doing: its statement, or "" when idle.
std::string runningStatement(Connection& observer, unsigned long threadId) {
    Result r = observer.query("SELECT COALESCE(INFO, '') FROM information_schema.PROCESSLIST WHERE ID = " +
                              std::to_string(threadId));
    return r.ok() && r.next() ? std::string(r.text(0U)) : std::string();
}

// Checks that a connection came out of a cancelled operation ready for the next statement.
void expectUsable(Connection& c, Connection& observer) {
    EXPECT_FALSE(c.busy());
    EXPECT_EQ(scalar(c, "SELECT 1"), "1");
    EXPECT_EQ(c.characterSetName(), "cp932");
    EXPECT_EQ(runningStatement(observer, c.threadId()).find("INSERT"), std::string::npos);
}

class CancelTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }

    // Cancels `token` once the server shows the session running a statement that starts with
    // `statementStart`; gives up after ten seconds (the statement ended before it was seen).
    void cancelWhenRunning(Connection& busy, CancelToken& token, const std::string& statementStart) {
        const unsigned long threadId = busy.threadId();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        ui->onEventsLetThrough = [&, threadId, deadline, statementStart] {
            if (token.cancelled() || std::chrono::steady_clock::now() > deadline)
                return;
            if (runningStatement(observer, threadId).rfind(statementStart, 0) == 0)
                token.cancel();
        };
    }

    ScopedScriptedUi ui;
    QTemporaryDir dir;
    Connection observer = test::connectAdmin();
};

TEST_F(CancelTest, ACopyWithinOneServerIsKilledOnTheServerAndSaysSo) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_cancel_copy");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE src (id INT PRIMARY KEY, v VARCHAR(255)) ENGINE=InnoDB"));
    ASSERT_TRUE(c.exec("INSERT INTO src SELECT seq, REPEAT('x', 200) FROM seq_1_to_80000")) << c.errorLine();

    TableCopyRequest request;
    request.createStatement = "CREATE TABLE " + db.name() + ".dst (id INT PRIMARY KEY, v VARCHAR(255))";
    request.sourceDatabase = db.name();
    request.sourceTable = "src";
    request.targetDatabase = db.name();
    request.targetTable = "dst";
    request.copyData = true;
    request.logPath = dir.filePath("rep_table.log");
    CancelToken token;
    cancelWhenRunning(c, token, "INSERT INTO");
    TableCopy copy(c);
    copy.setCancelToken(&token);
    const TableCopyOutcome outcome = copy.run(request);

    ASSERT_TRUE(token.cancelled()) << "the statement was never seen running";
    EXPECT_EQ(outcome.copy.status, CopyOutcome::Status::Cancelled) << outcome.copy.errorText.toStdString();
    EXPECT_FALSE(outcome.copy.streamed);
    const QString text = TableCopy::completionText(outcome, request.logPath);
    EXPECT_TRUE(text.startsWith("The copy was cancelled")) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("正常に作成されました")));
    expectUsable(c, observer);
    // The statement went back as a whole on a table with transactions.
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM dst"), "0");
}

TEST_F(CancelTest, AStreamedCopyStopsBetweenRowsAndKeepsWhatArrived) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_cancel_stream");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE src (id INT PRIMARY KEY, v VARCHAR(20))"));
    ASSERT_TRUE(c.exec("INSERT INTO src SELECT seq, CONCAT('v', seq) FROM seq_1_to_20000"));
    ASSERT_TRUE(c.exec("CREATE TABLE dst LIKE src"));
    CancelToken token;
    CopyEngine engine(c, c);
    engine.setStreamedOnly(true);
    engine.setCancelToken(&token);
    engine.setProgress([&](uint64_t copied) {
        if (copied >= 2000)
            token.cancel();
    });
    const std::optional<CopyJob> job = CopyJob::wholeTable(c, db.name(), "src", db.name(), "dst");
    ASSERT_TRUE(job);
    const CopyOutcome outcome = engine.run(*job);
    EXPECT_EQ(outcome.status, CopyOutcome::Status::Cancelled);
    EXPECT_TRUE(outcome.streamed);
    EXPECT_GE(outcome.copied, 2000u);
    EXPECT_LT(outcome.copied, 20000u);
    // What the outcome counts is what the table holds: whole rows, no gap.
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM dst"), std::to_string(outcome.copied));
    EXPECT_EQ(scalar(c, "SELECT MAX(id) FROM dst"), std::to_string(outcome.copied));
    TableCopyOutcome shown;
    shown.status = TableCopyOutcome::Status::Copied;
    shown.copy = outcome;
    EXPECT_EQ(TableCopy::completionText(shown, {}),
              QString("The copy was cancelled after %1 rows.\nThe target table holds only the rows copied "
                      "until then.")
                  .arg(outcome.copied));
    expectUsable(c, observer);
}

TEST_F(CancelTest, AScriptStopsBetweenStatements) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_cancel_script");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (n INT)"));
    const QString path = dir.filePath("five.sql");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "SET NAMES utf8mb4;\nINSERT INTO t VALUES (1);\nINSERT INTO t VALUES (2);\n"
        "INSERT INTO t VALUES (3);\nINSERT INTO t VALUES (4);\n");
    file.close();

    ScriptRunner runner(c);
    ui->onEventsLetThrough = [&] {
        if (runner.statementsRun() == 3)
            runner.cancel();
    };
    ScriptRunEnd end;
    {
        const CancellableRun cancellable;
        end = runner.run(path, db.name());
    }
    EXPECT_EQ(end, ScriptRunEnd::Cancelled);
    EXPECT_EQ(ui->messages.value(0),
              "The script was cancelled after statement 3.\nThe statements after it were not run.");
    EXPECT_EQ(scalar(c, "SELECT GROUP_CONCAT(n ORDER BY n) FROM t"), "1,2");
    expectUsable(c, observer);

    // The next run starts afresh and runs to its end.
    ui->onEventsLetThrough = {};
    ui->messages.clear();
    EXPECT_EQ(runner.run(path, db.name()), ScriptRunEnd::Completed);
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM t"), "6");
}

TEST_F(CancelTest, ADumpStopsBetweenRowsAndItsFileHoldsWholeLines) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_cancel_dump");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(20))"));
    ASSERT_TRUE(c.exec("INSERT INTO t SELECT seq, CONCAT('v', seq) FROM seq_1_to_5000"));
    CancelToken token;
    ui->onEventsLetThrough = [&] { token.cancel(); };
    TableDump dump(c, db.name(), "t");
    dump.setCancelToken(&token);
    const QString path = dir.filePath("t.sql");
    const DumpOutcome outcome = dump.run(path);
    EXPECT_EQ(outcome.status, DumpOutcome::Status::Cancelled);
    EXPECT_GT(outcome.rows, 0u);
    EXPECT_LT(outcome.rows, 5000u);
    const QByteArray text = readAll(path);
    EXPECT_TRUE(text.endsWith(" );\n"));
    EXPECT_EQ(static_cast<uint64_t>(text.count("INSERT INTO")), outcome.rows);
    expectUsable(c, observer);
}

TEST_F(CancelTest, ALoadDataIsKilledOnTheServer) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_cancel_load");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(255)) ENGINE=InnoDB"));
    const QString path = dir.filePath("big.csv");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QByteArray filler(200, 'x');
        for (int i = 1; i <= 150000; ++i)
            file.write(QByteArray::number(i) + ",\"" + filler + "\"\n");
    }
    CsvImportOptions options;
    options.path = path;
    options.local = true;
    options.convert = false;
    options.database = db.name();
    options.table = "t";
    options.separator = ",";
    options.enclosure = "\"";
    CancelToken token;
    cancelWhenRunning(c, token, "LOAD DATA");
    CsvImporter importer(db.session());
    importer.setCancelToken(&token);
    const CsvImportOutcome outcome = importer.run(options);
    ASSERT_TRUE(token.cancelled()) << "the statement was never seen running: " << outcome.statement << " / "
                                   << outcome.errorText << " / " << outcome.info;
    EXPECT_EQ(outcome.status, CsvImportOutcome::Status::Cancelled) << outcome.errorText;
    EXPECT_TRUE(CsvImporter::outcomeText(outcome, path).startsWith("The import was cancelled"));
    expectUsable(c, observer);
    EXPECT_EQ(runningStatement(observer, c.threadId()).find("LOAD DATA"), std::string::npos);
}

}  // namespace
}  // namespace dbk
