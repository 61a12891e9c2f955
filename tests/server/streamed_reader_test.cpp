#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/scripted_ui_services.h"
#include "conn/cancel.h"
#include "conn/character_set_scope.h"
#include "conn/streamed_reader.h"
#include "support/test_server.h"

namespace dbk {
namespace {

using Status = StreamOutcome::Status;
using Step = StreamedReader::Step;

long long countRows(Connection& connection, const std::string& table) {
    Result result = connection.query("SELECT COUNT(*) FROM " + table);
    if (!result.ok() || !result.next())
        return -1;
    return std::stoll(std::string(result.text(0U)));
}

// The connection is in step with the server: it takes the next statement.
void expectUsable(Connection& connection) {
    EXPECT_FALSE(connection.busy());
    Result result = connection.query("SELECT 7");
    ASSERT_TRUE(result.ok()) << connection.errorLine();
    ASSERT_TRUE(result.next());
    EXPECT_EQ(result.text(0U), "7");
}

class StreamedReaderTest : public ::testing::Test {
protected:
    ScopedScriptedUi ui;
};

TEST_F(StreamedReaderTest, RowsArriveOneAtATimeWithTheFieldsFirstAndTheConnectionBusy) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_reader_rows");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY, s VARCHAR(10), b VARBINARY(10))"));
    ASSERT_TRUE(c.exec("INSERT INTO t SELECT seq, CONCAT('s', seq), x'00ff' FROM seq_1_to_2500"));

    StreamedReader reader(c);
    std::vector<uint64_t> progress;
    reader.setProgress([&](uint64_t row) { progress.push_back(row); });
    std::vector<bool> binary;
    uint64_t rowsBeforeFields = 99;
    long long seen = 0;
    bool alwaysBusy = true;
    const StreamOutcome outcome = reader.run(
        "SELECT * FROM t ORDER BY id",
        [&](const Result& row) {
            ++seen;
            alwaysBusy = alwaysBusy && c.busy();
            EXPECT_EQ(row.text(0U), std::to_string(seen));
            return Step::Continue;
        },
        [&](const std::vector<FieldInfo>& fields) {
            rowsBeforeFields = static_cast<uint64_t>(seen);
            for (const FieldInfo& field : fields)
                binary.push_back(field.isBinary());
            return Step::Continue;
        });
    EXPECT_EQ(outcome.status, Status::Complete);
    EXPECT_EQ(outcome.rows, 2500u);
    EXPECT_EQ(seen, 2500);
    EXPECT_EQ(rowsBeforeFields, 0u);
    EXPECT_EQ(binary, (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(alwaysBusy);
    // The progress and the window's events come by time, and at the first row.
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 1u);
    EXPECT_GE(ui->eventsLetThrough, 1);
    expectUsable(c);
}

TEST_F(StreamedReaderTest, AStopOrACancelDiscardsTheRestAndLeavesTheConnectionUsable) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_reader_stop");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY)"));
    ASSERT_TRUE(c.exec("INSERT INTO t SELECT seq FROM seq_1_to_5000"));

    struct Case {
        const char* name;
        bool stopOnFields;
        uint64_t stopAt;    // the consumer asks to stop at this row
        uint64_t cancelAt;  // cancel() is called at this row
        Status status;
        uint64_t rows;
    } cases[] = {
        {"consumer stops at row 3", false, 3, 0, Status::Stopped, 3},
        {"consumer declines the fields", true, 0, 0, Status::Stopped, 0},
        {"cancel at row 1500", false, 0, 1500, Status::Cancelled, 1500},
        {"cancel at the last row", false, 0, 5000, Status::Cancelled, 5000},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        StreamedReader reader(c);
        uint64_t seen = 0;
        const StreamOutcome outcome = reader.run(
            "SELECT id FROM t ORDER BY id",
            [&](const Result&) {
                ++seen;
                if (seen == k.cancelAt)
                    reader.cancel();
                return seen == k.stopAt ? Step::Stop : Step::Continue;
            },
            [&](const std::vector<FieldInfo>&) { return k.stopOnFields ? Step::Stop : Step::Continue; });
        EXPECT_EQ(outcome.status, k.status);
        EXPECT_EQ(outcome.rows, k.rows);
        EXPECT_EQ(seen, k.rows);
        EXPECT_EQ(outcome.errorNumber, 0u);
        expectUsable(c);
    }

    // A reader cancelled before it runs sends nothing.
    StreamedReader cancelled(c);
    cancelled.cancel();
    EXPECT_EQ(cancelled.run("DELETE FROM t", [](const Result&) { return Step::Continue; }).status,
              Status::Cancelled);
    EXPECT_EQ(countRows(c, "t"), 5000);
}

// What the server says the session `threadId` runs, "" when it is idle.
std::string runningStatement(Connection& observer, unsigned long threadId) {
    Result r = observer.query("SELECT COALESCE(INFO, '') FROM information_schema.PROCESSLIST WHERE ID = " +
                              std::to_string(threadId));
    return r.ok() && r.next() ? std::string(r.text(0U)) : std::string();
}

// A stop or a cancel ends the statement on the server at once, for a statement that makes a row
// every 20 ms, one whose first row is far away and a fast one whose rows wait in the network; the
// window's events keep coming while a row is awaited.
TEST_F(StreamedReaderTest, AStopOrACancelEndsTheStatementOnTheServerWithinASecond) {
    DBK_REQUIRE_SERVER();
    using Clock = std::chrono::steady_clock;
    Connection c = test::connectAdmin();
    Connection observer = test::connectAdmin();
    // The server sends its rows when its network buffer is full: 2,000 bytes a row make it send
    // every few rows.
    const std::string slow = "SELECT seq, SLEEP(0.02), REPEAT('x', 2000) FROM mysql.seq_1_to_1000";
    const std::string late = "SELECT SLEEP(60), 'late'";
    const std::string fast = "SELECT seq, REPEAT('x', 200) FROM mysql.seq_1_to_3000000";
    enum class How { CancelCall, Token, ConsumerStop };
    struct Case {
        const char* name;
        const std::string& statement;
        How how;
        int afterMs;  // the stop comes this long after the start (or at the first row after it)
    } cases[] = {
        {"slow statement, cancel() from a window event", slow, How::CancelCall, 1500},
        {"slow statement, the consumer stops (a failed write)", slow, How::ConsumerStop, 1000},
        {"no row yet, the token is cancelled", late, How::Token, 700},
        {"fast statement, cancel()", fast, How::CancelCall, 300},
        {"fast statement, the consumer stops", fast, How::ConsumerStop, 300},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        StreamedReader reader(c);
        CancelToken token;
        reader.setCancelToken(&token);
        const auto start = Clock::now();
        const auto due = start + std::chrono::milliseconds(k.afterMs);
        Clock::time_point stoppedAt;
        int eventsBeforeStop = 0;
        ui->eventsLetThrough = 0;
        ui->onEventsLetThrough = [&] {
            if (stoppedAt != Clock::time_point() || Clock::now() < due)
                return;
            eventsBeforeStop = ui->eventsLetThrough;
            if (k.how == How::CancelCall) {
                stoppedAt = Clock::now();
                reader.cancel();
            } else if (k.how == How::Token) {
                stoppedAt = Clock::now();
                token.cancel();
            }
        };
        const StreamOutcome outcome = reader.run(k.statement, [&](const Result&) {
            if (k.how == How::ConsumerStop && Clock::now() >= due) {
                stoppedAt = Clock::now();
                return Step::Stop;
            }
            return Step::Continue;
        });
        const auto returned = Clock::now();
        ui->onEventsLetThrough = {};
        ASSERT_NE(stoppedAt, Clock::time_point()) << "never stopped";
        EXPECT_EQ(outcome.status, k.how == How::ConsumerStop ? Status::Stopped : Status::Cancelled);
        EXPECT_EQ(outcome.errorNumber, 0u) << outcome.errorText;
        EXPECT_TRUE(outcome.killed);
        // The window heard its events while the first rows were awaited: about one per 50 ms.
        if (k.how != How::ConsumerStop) {
            EXPECT_GE(eventsBeforeStop, k.afterMs / 100);
        }
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(returned - stoppedAt);
        EXPECT_LT(took.count(), 1000);
        // The server may clear the statement a moment after its last answer: within the second.
        while (!runningStatement(observer, c.threadId()).empty() &&
               Clock::now() < stoppedAt + std::chrono::seconds(1))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(runningStatement(observer, c.threadId()), "");
        expectUsable(c);
    }
}

TEST_F(StreamedReaderTest, AServerLostMidResultIsReportedWithItsError) {
    DBK_REQUIRE_SERVER();
    Connection c = test::connectAdmin();
    Connection killer = test::connectAdmin();
    // Far more rows than the socket buffers hold, so most are still on the server at the kill.
    constexpr uint64_t kRows = 400000;
    StreamedReader reader(c);
    bool alwaysBusy = true;
    const StreamOutcome outcome = reader.run(
        "SELECT seq, REPEAT('x', 200) FROM mysql.seq_1_to_" + std::to_string(kRows),
        [&](const Result&) {
            alwaysBusy = alwaysBusy && c.busy();
            return Step::Continue;
        },
        [&](const std::vector<FieldInfo>&) {
            EXPECT_TRUE(killer.exec("KILL " + std::to_string(c.threadId()))) << killer.errorLine();
            return Step::Continue;
        });
    EXPECT_TRUE(alwaysBusy);
    EXPECT_EQ(outcome.status, Status::ReadFailed);
    EXPECT_LT(outcome.rows, kRows);
    // 2013 (lost connection) or the server's own word that the connection was killed
    EXPECT_NE(outcome.errorNumber, 0u);
    EXPECT_FALSE(outcome.errorText.empty());
    EXPECT_FALSE(c.busy());
    EXPECT_FALSE(c.exec("SELECT 1"));
}

TEST_F(StreamedReaderTest, StatementsWithoutRowsAndProcedures) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_reader_kinds");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT)"));
    ASSERT_TRUE(c.exec("INSERT INTO t VALUES (1), (2), (3)"));
    ASSERT_TRUE(
        c.exec("CREATE PROCEDURE two_selects() BEGIN SELECT id FROM t ORDER BY id; SELECT 'second'; END"));
    ASSERT_TRUE(
        c.exec("CREATE PROCEDURE fails_after_rows() BEGIN SELECT id FROM t ORDER BY id; "
               "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'after the rows'; END"));
    ASSERT_TRUE(c.exec("CREATE PROCEDURE no_rows() BEGIN UPDATE t SET id = id; END"));

    struct Case {
        const char* statement;
        Status status;
        std::string rows;
        unsigned int errorNumber;
    } cases[] = {
        {"SELECT id FROM t ORDER BY id", Status::Complete, "1,2,3,", 0},
        {"SELECT id FROM t WHERE id > 5", Status::Complete, "", 0},
        // The procedure's first result is read; the second and the CALL's own are dropped.
        {"CALL two_selects()", Status::Complete, "1,2,3,", 0},
        {"CALL fails_after_rows()", Status::ReadFailed, "1,2,3,", 1644},
        {"CALL no_rows()", Status::NoResultSet, "", 0},
        {"SET @x = 1", Status::NoResultSet, "", 0},
        {"SELECT * FROM missing", Status::StatementFailed, "", 1146},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.statement);
        StreamedReader reader(c);
        std::string rows;
        const StreamOutcome outcome = reader.run(k.statement, [&](const Result& row) {
            rows += std::string(row.text(0U)) + ",";
            return Step::Continue;
        });
        EXPECT_EQ(outcome.status, k.status);
        EXPECT_EQ(rows, k.rows);
        EXPECT_EQ(outcome.errorNumber, k.errorNumber) << outcome.errorText;
        expectUsable(c);
    }
}

TEST_F(StreamedReaderTest, ACharacterSetScopePutsTheSetBack) {
    DBK_REQUIRE_SERVER();
    Connection c = test::connectAdmin();
    const auto sets = [&c] {
        Result result = c.query("SELECT @@character_set_client, @@character_set_results");
        return result.ok() && result.next()
                   ? std::string(result.text(0U)) + "/" + std::string(result.text(1U))
                   : c.errorLine();
    };
    ASSERT_EQ(sets(), "cp932/cp932");
    {
        const CharacterSetScope scope(c, "utf8mb4");
        EXPECT_TRUE(scope.switched());
        EXPECT_EQ(scope.previous(), "cp932");
        EXPECT_EQ(sets(), "utf8mb4/utf8mb4");
    }
    EXPECT_EQ(sets(), "cp932/cp932");
    EXPECT_EQ(c.characterSetName(), "cp932");
    {
        const CharacterSetScope unknown(c, "no_such_set");
        EXPECT_FALSE(unknown.switched());
        EXPECT_EQ(sets(), "cp932/cp932");
    }
    EXPECT_EQ(sets(), "cp932/cp932");
}

}  // namespace
}  // namespace dbk
