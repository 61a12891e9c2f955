#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "conn/text_codec.h"
#include "support/files.h"
#include "support/test_server.h"
#include "transfer/script_runner.h"

namespace dbk {
namespace {

// Records, each time the runner lets events through, whether the connection was marked busy
// and how far the progress had come.
class WatchingUi : public ScriptedUiServices {
public:
    explicit WatchingUi(const Connection& connection) : connection_(connection) {}
    void letEventsThrough() override {
        ScriptedUiServices::letEventsThrough();
        busyAtEvents.push_back(connection_.busy());
        percentAtEvents.push_back(lastPercent);
    }
    std::vector<bool> busyAtEvents;
    std::vector<int> percentAtEvents;
    int lastPercent = -1;

private:
    const Connection& connection_;
};

class ScriptRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        DBK_REQUIRE_SERVER();
        db.emplace("dbk_script_run");
        connection = test::connectAdmin();
        ASSERT_TRUE(connection.isOpen());
    }

    QString write(const std::string& bytes, const QString& name = QStringLiteral("script.sql")) {
        return test::writeFile(dir, bytes, name);
    }

    // One value of a one-row query on the admin connection of the scratch database.
    std::string value(const std::string& sql) {
        Result r = db->admin().query(sql);
        EXPECT_TRUE(r) << sql << ": " << db->admin().errorLine();
        return r && r.next() ? std::string(r.text(0u)) : std::string("(no row)");
    }

    static QStringList texts(std::initializer_list<int> ids) {
        QStringList out;
        for (int id : ids)
            out << msg(id);
        return out;
    }

    QTemporaryDir dir;
    std::optional<test::ScratchDatabase> db;
    Connection connection;
    ScopedScriptedUi ui;
};

// n failing INSERTs into a table that does not exist, each followed by a good one.
std::string failingDump(int failures) {
    std::string text = "CREATE TABLE kept (n INT);\n";
    for (int i = 1; i <= failures; ++i) {
        text += "INSERT INTO missing VALUES (" + std::to_string(i) + ");\n";
        text += "INSERT INTO kept VALUES (" + std::to_string(i) + ");\n";
    }
    return text;
}

TEST_F(ScriptRunnerTest, TheTwentyFirstFailureIsTheLastStatementRun) {
    ScriptRunner runner(connection);
    std::vector<std::string> reported;
    runner.setErrorHandler([&](const std::string& error) { reported.push_back(error); });

    EXPECT_EQ(runner.run(write(failingDump(30)), db->name()), ScriptRunEnd::ErrorLimitReached);
    EXPECT_EQ(ui->questions, texts({10058}));
    EXPECT_EQ(ui->messages, texts({10062, 10060}));
    EXPECT_EQ(runner.errorCount(), 21);
    ASSERT_EQ(reported.size(), 21U);
    std::string log;
    for (const std::string& error : reported) {
        EXPECT_NE(error.find("missing"), std::string::npos) << error;
        log += error + "\n";
    }
    EXPECT_EQ(runner.errorLog(), log);
    // the good statement after the 21st failure was not run
    EXPECT_EQ(value("SELECT CONCAT(COUNT(*), ' ', MAX(n)) FROM kept"), "20 20");
}

TEST_F(ScriptRunnerTest, RunsOfOneOpeningShareTheErrorCount) {
    ScriptRunner runner(connection);
    const QString path = write(failingDump(15));

    EXPECT_EQ(runner.run(path, db->name()), ScriptRunEnd::Completed);
    EXPECT_EQ(ui->messages, texts({10060}));
    EXPECT_EQ(runner.errorCount(), 15);
    EXPECT_EQ(value("SELECT COUNT(*) FROM kept"), "15");

    // The second run creates nothing new (the table exists: one more error) and stops after
    // its sixth failure, the 21st of the opening.
    ui->messages.clear();
    EXPECT_EQ(runner.run(path, db->name()), ScriptRunEnd::ErrorLimitReached);
    EXPECT_EQ(ui->messages, texts({10062, 10060}));
    EXPECT_EQ(runner.errorCount(), 21);
    EXPECT_EQ(value("SELECT COUNT(*) FROM kept"), "19");

    // A third run stops before its first statement.
    ui->messages.clear();
    EXPECT_TRUE(db->admin().exec("DROP TABLE kept"));
    EXPECT_EQ(runner.run(path, db->name()), ScriptRunEnd::ErrorLimitReached);
    EXPECT_EQ(ui->messages, texts({10062, 10060}));
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"), "0");
    EXPECT_EQ(runner.errorCount(), 21);

    // A new opening starts from nothing.
    ScriptRunner again(connection);
    ui->messages.clear();
    EXPECT_EQ(again.run(path, db->name()), ScriptRunEnd::Completed);
    EXPECT_EQ(again.errorCount(), 15);
    EXPECT_EQ(ui->messages, texts({10060}));
}

// A run ends with "Normalization complete." only when none of its statements failed; the
// failures of an earlier run of the same opening do not count against a later clean one.
TEST_F(ScriptRunnerTest, ARunWithFailedStatementsDoesNotEndAsComplete) {
    struct Step {
        const char* what;
        std::string script;
        ScriptRunEnd end;
        QStringList messages;
        int errorCount;
    };
    const std::vector<Step> steps = {
        {"one failure among good statements", "CREATE TABLE t (n INT);\nINSERT INTO nowhere VALUES (1);\n",
         ScriptRunEnd::Completed, texts({10060}), 1},
        {"only the last statement fails", "INSERT INTO t VALUES (1);\nINSERT INTO t VALUES (2, 3);\n",
         ScriptRunEnd::Completed, texts({10060}), 2},
        {"a clean run after them", "INSERT INTO t VALUES (4);\n", ScriptRunEnd::Completed, texts({10061}), 2},
    };
    ScriptRunner runner(connection);
    std::vector<std::string> reported;
    runner.setErrorHandler([&](const std::string& error) { reported.push_back(error); });
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        ui->messages.clear();
        EXPECT_EQ(runner.run(write(step.script), db->name()), step.end);
        EXPECT_EQ(ui->messages, step.messages);
        EXPECT_EQ(runner.errorCount(), step.errorCount);
        // the errors stay listed
        EXPECT_EQ(reported.size(), static_cast<size_t>(step.errorCount));
    }
    EXPECT_EQ(value("SELECT GROUP_CONCAT(n ORDER BY n) FROM t"), "1,4");
}

TEST_F(ScriptRunnerTest, StatementsThatReturnRowsDoNotStopTheOnesAfterThem) {
    const std::string script =
        "CREATE TABLE t (n INT);\n"
        "INSERT INTO t VALUES (1), (2), (3);\n"
        "SELECT * FROM t;\n"
        "INSERT INTO t VALUES (4);\n"
        "SHOW TABLES;\n"
        "INSERT INTO t VALUES (5);\n"
        "SELECT a.n FROM t a, t b, t c, t d, t e;\n"  // 3,125 rows
        "INSERT INTO t VALUES (6);\n"
        "CREATE PROCEDURE two_results() BEGIN SELECT 1; SELECT 2; END;\n"
        "CALL two_results();\n"
        "INSERT INTO t VALUES (7);\n"
        "SELECT n FROM t WHERE n < 0;\n"
        "INSERT INTO t VALUES (8);\n"
        "\n\n";  // trailing blank lines are not an empty statement
    ScriptRunner runner(connection);
    EXPECT_EQ(runner.run(write(script), db->name()), ScriptRunEnd::Completed);
    EXPECT_EQ(runner.errorLog(), "");
    EXPECT_EQ(runner.errorCount(), 0);
    EXPECT_EQ(ui->messages, texts({10061}));
    EXPECT_EQ(value("SELECT GROUP_CONCAT(n ORDER BY n) FROM t"), "1,2,3,4,5,6,7,8");
    // the connection is usable afterwards
    Result r = connection.query("SELECT 42");
    ASSERT_TRUE(r) << connection.errorLine();
    ASSERT_TRUE(r.next());
    EXPECT_EQ(r.text(0u), "42");
}

TEST_F(ScriptRunnerTest, AFailureInsideAProcedureCountsAsAnError) {
    const std::string script =
        "CREATE PROCEDURE fails_late() BEGIN SELECT 1; SELECT * FROM missing; END;\n"
        "CALL fails_late();\n"
        "CREATE TABLE after_call (n INT);\n";
    ScriptRunner runner(connection);
    EXPECT_EQ(runner.run(write(script), db->name()), ScriptRunEnd::Completed);
    EXPECT_EQ(runner.errorCount(), 1);
    EXPECT_NE(runner.errorLog().find("missing"), std::string::npos) << runner.errorLog();
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_NAME = 'after_call' AND "
                    "TABLE_SCHEMA = DATABASE()"),
              "1");
}

TEST_F(ScriptRunnerTest, UseQuotesTheDatabaseName) {
    // a blank, a backquote and "表", whose second byte is a backslash in Shift_JIS
    const std::string name = toShiftJis(QStringLiteral("dbk_script `q` 表"));
    test::ScratchDatabase odd(name);
    ScriptRunner runner(connection);
    EXPECT_EQ(runner.run(write("CREATE TABLE here (n INT);\nINSERT INTO here VALUES (7);\n"), name),
              ScriptRunEnd::Completed);
    EXPECT_EQ(ui->messages, texts({10061}));
    EXPECT_EQ(runner.errorLog(), "");
    Result r = odd.admin().query("SELECT n FROM " + test::sqlName(name) + ".here");
    ASSERT_TRUE(r) << odd.admin().errorLine();
    ASSERT_TRUE(r.next());
    EXPECT_EQ(r.text(0u), "7");
}

TEST_F(ScriptRunnerTest, ADatabaseThatCannotBeUsedStopsBeforeTheScript) {
    Connection fresh = test::connectAdmin();
    const QString path = write("CREATE DATABASE dbk_script_never;\n");
    for (const std::string database : {"dbk_script_no_such_db", ""}) {
        ScriptRunner runner(fresh);
        ui->messages.clear();
        EXPECT_EQ(runner.run(path, database), ScriptRunEnd::DatabaseRefused) << database;
        EXPECT_EQ(ui->messages, texts({10059}));
        EXPECT_EQ(
            value("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = 'dbk_script_never'"),
            "0");
    }
}

TEST_F(ScriptRunnerTest, NoAnswerSendsNothing) {
    ui->answers = {false};
    ScriptRunner runner(connection);
    EXPECT_EQ(runner.run(write("CREATE TABLE refused (n INT);\n"), db->name()), ScriptRunEnd::Declined);
    EXPECT_EQ(ui->questions, texts({10058}));
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"), "0");
}

TEST_F(ScriptRunnerTest, FilesThatCannotBeReadAndEmptyFiles) {
    struct Case {
        const char* what;
        QString path;
        ScriptRunEnd end;
        QStringList messages;
    };
    const std::vector<Case> cases = {
        {"missing file", QDir(dir.path()).filePath("missing.sql"), ScriptRunEnd::FileUnreadable,
         texts({10060})},
        {"no file name", QString(), ScriptRunEnd::FileUnreadable, texts({10060})},
        {"a folder", dir.path(), ScriptRunEnd::FileUnreadable, texts({10060})},
        {"an empty file", write("", "empty.sql"), ScriptRunEnd::Completed, texts({10061})},
        {"only comments", write("// nothing\n// here\n", "comments.sql"), ScriptRunEnd::Completed,
         texts({10061})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptRunner runner(connection);
        ui->messages.clear();
        EXPECT_EQ(runner.run(c.path, db->name()), c.end);
        EXPECT_EQ(ui->messages, c.messages);
        EXPECT_EQ(runner.errorCount(), 0);
    }
}

TEST_F(ScriptRunnerTest, TheCharacterSetIsPutBackHoweverTheRunEnds) {
    struct Case {
        const char* what;
        std::string script;
        std::string database;
        ScriptRunEnd end;
    };
    const std::vector<Case> cases = {
        {"completed", "SET NAMES latin1;\nCREATE TABLE IF NOT EXISTS x (n INT);\n", db->name(),
         ScriptRunEnd::Completed},
        {"error limit", "SET NAMES utf8mb4;\n" + failingDump(25), db->name(),
         ScriptRunEnd::ErrorLimitReached},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(connection.characterSetName(), "cp932");
        ScriptRunner runner(connection);
        EXPECT_EQ(runner.run(write(c.script), c.database), c.end);
        EXPECT_EQ(connection.characterSetName(), "cp932");
        Result r = connection.query("SELECT @@character_set_client, @@character_set_results");
        ASSERT_TRUE(r) << connection.errorLine();
        ASSERT_TRUE(r.next());
        EXPECT_EQ(r.text(0u), "cp932");
        EXPECT_EQ(r.text(1u), "cp932");
    }
}

TEST_F(ScriptRunnerTest, ShiftJisTextAndOddBytesReachTheServerUnchanged) {
    // "表示" and "ソ" (second bytes 0x5C), and a binary literal with 0xFF, the byte a careless
    // reader takes for the end of the file.
    const std::string japanese = "\x95\x5C\x8E\xA6\x83\x5C";
    const std::string script =
        "CREATE TABLE j (s VARCHAR(20), b VARBINARY(8));\r\n"
        "INSERT INTO j VALUES ('" +
        japanese +
        "', _binary'\xFF"
        "A\xFE');\r\n";
    ScriptRunner runner(connection);
    EXPECT_EQ(runner.run(write(script), db->name()), ScriptRunEnd::Completed);
    EXPECT_EQ(runner.errorLog(), "");
    EXPECT_EQ(value("SELECT HEX(b) FROM j"), "FF41FE");
    Result r = connection.query("SELECT s FROM j");
    ASSERT_TRUE(r) << connection.errorLine();
    ASSERT_TRUE(r.next());
    EXPECT_EQ(r.text(0u), japanese);
    EXPECT_EQ(value("SELECT HEX(s) FROM j"), "E8A1A8E7A4BAE382BD");  // stored as UTF-8
}

TEST_F(ScriptRunnerTest, TheConnectionIsBusyAndTheProgressClimbsDuringARun) {
    std::string script = "CREATE TABLE p (n INT);\n";
    for (int i = 0; i < 300; ++i)
        script += "INSERT INTO p VALUES (" + std::to_string(i) + ");\n";
    WatchingUi watching(connection);
    UiServices* previous = setUiServices(&watching);
    ScriptRunner runner(connection);
    std::vector<int> steps;
    runner.setProgressHandler([&](int percent) {
        steps.push_back(percent);
        watching.lastPercent = percent;
    });
    const ScriptRunEnd end = runner.run(write(script), db->name());
    setUiServices(previous);

    EXPECT_EQ(end, ScriptRunEnd::Completed);
    EXPECT_EQ(watching.messages, texts({10061}));
    EXPECT_FALSE(connection.busy());
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), 0);
    EXPECT_EQ(steps.back(), 100);
    for (size_t i = 1; i < steps.size(); ++i)
        EXPECT_GT(steps[i], steps[i - 1]);
    EXPECT_GE(steps.size(), 90U);  // about one step per percent with 301 statements

    ASSERT_GT(watching.eventsLetThrough, 100);
    for (size_t i = 0; i < watching.busyAtEvents.size(); ++i) {
        EXPECT_TRUE(watching.busyAtEvents[i]) << "event " << i;
        EXPECT_EQ(watching.percentAtEvents[i] % 2, 0) << "event " << i;
    }
    EXPECT_EQ(value("SELECT COUNT(*) FROM p"), "300");
}

}  // namespace
}  // namespace dbk
