#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "support/test_server.h"
#include "transfer/copy_engine.h"
#include "transfer/database_copy.h"
#include "transfer/script_runner.h"
#include "transfer/table_copy.h"
#include "transfer/table_dump.h"

namespace dbk {
namespace {

// A table of every kind of value the text protocol could bend, with a row whose AUTO_INCREMENT
// column holds 0; its CREATE statement without the name.
const char* const kColumns = R"((
    id INT AUTO_INCREMENT PRIMARY KEY,
    f FLOAT, fs FLOAT(7,4), d DOUBLE, n DECIMAL(30,10), b BIT(13), y YEAR, t TIME(6),
    dt DATETIME(6), ts TIMESTAMP NULL, j JSON, g GEOMETRY, s SET('a','b','c')
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4)";

void fillValueTable(Connection& c, const std::string& database) {
    const std::string table = database + ".v";
    ASSERT_TRUE(c.exec("CREATE TABLE " + table + kColumns)) << c.errorLine();
    const std::string insert = "INSERT INTO " + table + " (id, f, fs, d, n, b, y, t, dt, ts, j, g, s) ";
    ASSERT_TRUE(c.exec("SET SESSION sql_mode = 'NO_AUTO_VALUE_ON_ZERO'"));
    ASSERT_TRUE(c.exec(insert + R"(VALUES
        (0, 16777216, 1.2345, 1e0/3, 12345678901234567890.0123456789, b'1010101010101', 1901,
         '-838:59:59.000001', '1000-01-01 00:00:00.000001', '1970-01-02 00:00:01', '{"a": [1, 2.5, "x"]}',
         ST_GeomFromText('POLYGON((0 0, 1 0, 1 1, 0 0))'), 'a,c'),
        (1, 1e0/3, -999.9999, 0.1, -0.0000000001, 0, 2155, '838:59:59.999999',
         '9999-12-31 23:59:59.999999', '2038-01-18 03:14:07', '[]', ST_GeomFromText('POINT(1.5 -2.25)'), ''),
        (2, 3.4028234e38, 0, 1.7976931348623157e308, 0, b'1111111111111', 0, '00:00:00', NULL, NULL, NULL,
         NULL, 'b'))"))
        << c.errorLine();
    ASSERT_TRUE(c.exec(insert +
                       "SELECT seq + 2, 1e0 / seq, seq / 7, PI() * seq, seq / 3, seq, 1901 + seq % 255, "
                       "SEC_TO_TIME(seq * 7.654321), NOW(6) - INTERVAL seq HOUR, "
                       "'2024-01-01' + INTERVAL seq MINUTE, JSON_OBJECT('n', seq), POINT(seq, 1e0 / seq), "
                       "IF(seq % 2, 'a,b', 'c') FROM " +
                       database + ".seq_1_to_300"))
        << c.errorLine();
    ASSERT_TRUE(c.exec("SET SESSION sql_mode = DEFAULT"));
}

// The session's sql_mode, and the values the copies put back.
std::string sqlMode(Connection& c) {
    return test::scalar(c, "SELECT @@SESSION.sql_mode");
}

class CopyFidelityTest : public ::testing::Test {
protected:
    void SetUp() override {
        DBK_REQUIRE_SERVER();
        setInterfaceLanguage(Language::English);
    }
    QTemporaryDir dir;
    ScopedScriptedUi ui;
};

// Every way a table's rows travel gives the same table, the row numbered 0 included, and leaves
// the session's sql_mode as it was, whatever it was.
TEST_F(CopyFidelityTest, EveryCopyPathGivesTheSameChecksum) {
    test::ScratchDatabase src("dbk_fidelity_src");
    test::ScratchDatabase dst("dbk_fidelity_dst");
    Connection& c = src.admin();
    fillValueTable(c, src.name());
    const std::string sum = test::checksum(c, src.name(), "v");
    ASSERT_EQ(test::scalar(c, "SELECT MIN(id) FROM " + src.name() + ".v"), "0");
    const std::string dbCopy = "dbk_fidelity_dbcopy";
    c.exec("DROP DATABASE IF EXISTS " + dbCopy);

    struct Path {
        const char* name;
        const char* startMode;
        std::function<std::pair<std::string, std::string>()> copy;  // the copy on this server
    };
    const auto engineCopy = [&](const char* table, bool streamed) {
        EXPECT_TRUE(c.exec("CREATE TABLE " + dst.name() + "." + table + " LIKE " + src.name() + ".v"));
        const std::optional<CopyJob> job = CopyJob::wholeTable(c, src.name(), "v", dst.name(), table);
        EXPECT_TRUE(job);
        CopyEngine engine(c, c);
        engine.setStreamedOnly(streamed);
        const CopyOutcome outcome = engine.run(*job);
        EXPECT_TRUE(outcome.complete()) << outcome.errorText.toStdString();
        EXPECT_EQ(outcome.streamed, streamed);
        EXPECT_EQ(outcome.copied, 303U);
        return std::pair(dst.name(), std::string(table));
    };
    std::vector<Path> paths{
        {"insert select", "", [&] { return engineCopy("insert_select", false); }},
        {"streamed", "STRICT_ALL_TABLES,NO_AUTO_VALUE_ON_ZERO", [&] { return engineCopy("streamed", true); }},
        {"database copy", "ERROR_FOR_DIVISION_BY_ZERO",
         [&] {
             const DatabaseCopyOutcome outcome = DatabaseCopy(c).run(src.name(), dbCopy);
             EXPECT_EQ(outcome.failures, 0U) << outcome.errorText.toStdString();
             return std::pair(dbCopy, std::string("v"));
         }},
        {"dump and load", "",
         [&] {
             const QString path = dir.filePath(QStringLiteral("v.sql"));
             const DumpOutcome dumped = TableDump(c, src.name(), "v").run(path);
             EXPECT_TRUE(dumped.complete()) << dumped.errorText.toStdString();
             const std::string into = dst.name() + "_load";
             c.exec("DROP DATABASE IF EXISTS " + into);
             EXPECT_TRUE(c.exec("CREATE DATABASE " + into));
             ScriptRunner runner(c);
             EXPECT_EQ(runner.run(path, into), ScriptRunEnd::Completed) << runner.errorLog();
             return std::pair(into, std::string("v"));
         }},
    };
    for (const Path& path : paths) {
        SCOPED_TRACE(path.name);
        ASSERT_TRUE(c.exec(std::string("SET SESSION sql_mode = '") + path.startMode + "'"));
        const std::string mode = sqlMode(c);
        const auto [database, table] = path.copy();
        EXPECT_EQ(test::checksum(c, database, table), sum);
        EXPECT_EQ(test::scalar(c, "SELECT CONCAT(MIN(id), ' ', MAX(id), ' ', COUNT(*)) FROM " +
                                      test::sqlName(database, table)),
                  "0 302 303");
        EXPECT_EQ(sqlMode(c), mode);
    }
    c.exec("DROP DATABASE IF EXISTS " + dbCopy);
    c.exec("DROP DATABASE IF EXISTS " + dst.name() + "_load");

    // From the second server into this one.
    if (!test::secondServerConfigured())
        return;
    Connection other = test::connectSecondAdmin();
    other.exec("DROP DATABASE IF EXISTS dbk_fidelity_other");
    ASSERT_TRUE(other.exec("CREATE DATABASE dbk_fidelity_other"));
    fillValueTable(other, "dbk_fidelity_other");
    const std::string otherSum = test::checksum(other, "dbk_fidelity_other", "v");
    ASSERT_TRUE(c.exec("CREATE TABLE " + dst.name() + ".other LIKE " + src.name() + ".v"));
    const std::optional<CopyJob> job =
        CopyJob::wholeTable(other, "dbk_fidelity_other", "v", dst.name(), "other");
    ASSERT_TRUE(job);
    const CopyOutcome outcome = CopyEngine(other, c).run(*job);
    EXPECT_TRUE(outcome.complete()) << outcome.errorText.toStdString();
    EXPECT_EQ(test::checksum(c, dst.name(), "other"), otherSum);
    EXPECT_EQ(test::scalar(c, "SELECT MIN(id) FROM " + dst.name() + ".other"), "0");
    other.exec("DROP DATABASE IF EXISTS dbk_fidelity_other");
}

// Runs `work` while another connection waits for a statement whose text is LIKE `pattern` to show
// in the process list and then does `act` to it (given its id); gives up after 20 s.
void whileStatementRuns(const std::string& pattern,
                        const std::function<void(Connection&, const std::string&)>& act,
                        const std::function<void()>& work) {
    std::thread other([&] {
        Connection watcher = test::connectAdmin();
        const std::string find =
            "SELECT ID FROM information_schema.PROCESSLIST WHERE ID <> CONNECTION_ID() AND "
            "INFO LIKE '" +
            watcher.escape(pattern) + "'";
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::string id;
        while (id.empty() && std::chrono::steady_clock::now() < end) {
            Result r = watcher.query(find);
            if (r.next())
                id = r.text(0U);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_FALSE(id.empty()) << "the statement never showed: " << pattern;
        act(watcher, id);
    });
    work();
    other.join();
}

// A copy whose statement another session kills, or the server stops at its time limit, stops and
// says so: nothing is copied once more row by row, and what stayed is what it counts.
TEST_F(CopyFidelityTest, AnInterruptedStatementStopsTheCopy) {
    test::ScratchDatabase db("dbk_copy_interrupted");
    Connection& c = db.admin();
    struct Case {
        const char* engine;
        bool streamed;
        bool kill;  // KILL QUERY from another session; else the session's max_statement_time
        unsigned int error;
    } cases[] = {
        {"InnoDB", false, true, 1317},  {"MyISAM", false, true, 1317}, {"InnoDB", false, false, 1969},
        {"MyISAM", false, false, 1969}, {"InnoDB", true, true, 1317},
    };
    int round = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.engine) + (k.streamed ? " streamed" : " insert select") +
                     (k.kill ? " kill" : " time limit"));
        const std::string table = "t" + std::to_string(++round);
        ASSERT_TRUE(c.exec("CREATE TABLE " + table + " (id INT PRIMARY KEY, v CHAR(1)) ENGINE=" + k.engine));
        CopyJob job;
        const std::string marker = "SLEEP(0.03" + std::to_string(round) + ")";
        job.sourceStatement = "SELECT seq, 'v' FROM " + db.name() + ".seq_1_to_60 WHERE " + marker + " = 0";
        job.targetDatabase = db.name();
        job.targetTable = table;
        job.columns = {"id", "v"};
        const std::string mode = sqlMode(c);
        if (!k.kill) {
            ASSERT_TRUE(c.exec("SET SESSION max_statement_time = 0.5"));
        }
        CopyOutcome outcome;
        CopyEngine engine(c, c);
        engine.setStreamedOnly(k.streamed);
        const auto copy = [&] { outcome = engine.run(job); };
        if (k.kill) {
            whileStatementRuns(
                "%" + marker + "%",
                [](Connection& killer, const std::string& id) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));
                    EXPECT_TRUE(killer.exec("KILL QUERY " + id)) << killer.errorLine();
                },
                copy);
        } else {
            copy();
            ASSERT_TRUE(c.exec("SET SESSION max_statement_time = 0"));
        }
        EXPECT_EQ(outcome.status, CopyOutcome::Status::Interrupted);
        EXPECT_EQ(outcome.errorNumber, k.error) << outcome.errorText.toStdString();
        const std::string stayed = test::scalar(c, "SELECT COUNT(*) FROM " + table);
        EXPECT_EQ(std::to_string(outcome.copied), stayed);
        EXPECT_LT(outcome.copied, 60U);
        if (std::string(k.engine) == "MyISAM") {
            EXPECT_GT(outcome.copied, 0U);
        } else if (!k.streamed) {
            EXPECT_EQ(outcome.copied, 0U);
        }
        EXPECT_EQ(sqlMode(c), mode);

        TableCopyOutcome tableCopy;
        tableCopy.status = TableCopyOutcome::Status::Copied;
        tableCopy.copy = outcome;
        const QString text = TableCopy::completionText(tableCopy, QStringLiteral("copy.log"));
        EXPECT_TRUE(text.startsWith(msgf(TableCopy::kInterruptedMessage, outcome.copied)))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QString::number(k.error) + u':')) << text.toStdString();
    }
}

// A database copy keeps the server's error of every statement that failed (a view dropped while the
// copy runs), and stops, saying so, when a statement of it is killed.
TEST_F(CopyFidelityTest, ADatabaseCopySaysWhatStoppedOrFailedIt) {
    test::ScratchDatabase db("dbk_dbcopy_stop");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY)"));
    ASSERT_TRUE(c.exec("INSERT INTO t SELECT seq FROM seq_1_to_100"));
    ASSERT_TRUE(c.exec("CREATE TABLE u (id INT PRIMARY KEY)"));
    ASSERT_TRUE(c.exec("CREATE VIEW w AS SELECT COUNT(*) AS n FROM t"));
    const std::string copy = "dbk_dbcopy_stop_copy";
    // The copy's INSERT into the new t waits for a lock another session holds on the source's t;
    // meanwhile the view is dropped, or the waiting statement killed.
    struct Case {
        const char* name;
        bool kill;
    } cases[] = {{"view dropped", false}, {"killed", true}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        c.exec("DROP DATABASE IF EXISTS " + copy);
        c.exec("CREATE OR REPLACE VIEW " + db.name() + ".w AS SELECT COUNT(*) AS n FROM " + db.name() + ".t");
        Connection locker = test::connectAdmin();
        ASSERT_TRUE(locker.exec("LOCK TABLES " + db.name() + ".t WRITE")) << locker.errorLine();
        DatabaseCopyOutcome outcome;
        whileStatementRuns(
            "INSERT INTO%" + copy + "%",
            [&](Connection& other, const std::string& id) {
                EXPECT_TRUE(k.kill ? other.exec("KILL QUERY " + id)
                                   : other.exec("DROP VIEW " + db.name() + ".w"))
                    << other.errorLine();
                locker.exec("UNLOCK TABLES");
            },
            [&] { outcome = DatabaseCopy(c).run(db.name(), copy); });
        const QString text = DatabaseCopy::completionText(outcome);
        EXPECT_FALSE(text.contains(QStringLiteral("\n0:"))) << text.toStdString();
        if (k.kill) {
            EXPECT_TRUE(outcome.interrupted);
            EXPECT_EQ(outcome.failedName, "t");
            EXPECT_EQ(outcome.errorNumber, 1317U);
            EXPECT_EQ(outcome.tablesCreated, 1U);  // u and the view are not made
            EXPECT_EQ(outcome.viewsCreated, 0U);
            EXPECT_TRUE(text.startsWith(msgf(DatabaseCopy::kInterruptedMessage, QStringLiteral("t"))))
                << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("1317:"))) << text.toStdString();
        } else {
            EXPECT_EQ(outcome.rowsCopied, 100U);
            EXPECT_EQ(outcome.failures, 1U);
            EXPECT_EQ(outcome.failedName, "w");
            EXPECT_EQ(outcome.errorNumber, 1146U);
            EXPECT_TRUE(text.contains(QStringLiteral("1146:"))) << text.toStdString();
            EXPECT_TRUE(outcome.errorText.contains(QStringLiteral("w"))) << outcome.errorText.toStdString();
        }
    }
    c.exec("DROP DATABASE IF EXISTS " + copy);
}

}  // namespace
}  // namespace dbk
