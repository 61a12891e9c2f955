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
#include "transfer/table_copy.h"

namespace dbk {
namespace {

std::string scalar(Connection& c, const std::string& sql) {
    Result r = c.query(sql);
    return r.ok() && r.next() ? std::string(r.text(0U)) : std::string("(failed: ") + c.errorLine() + ")";
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
