// Time and memory of the copies between servers and of a whole database, each against what the
// command-line tools do with the same data in the same round:
//   - a 1,000,000-row table of the second server copied into the first (CREATE, then the rows
//     streamed from the one and sent as multi-row INSERTs of 1,000 rows to the other, as the copy
//     from another server runs) against mariadb-dump -h second db t | mariadb -h first db2;
//   - a database of 20 tables with 1,000,000 rows in all copied under a new name on one server
//     (each table created and filled by one INSERT ... SELECT) against the same statements run by
//     the command-line client (mariadb < script), and against them with unique_checks = 0.
// Every round checks that each side made the same tables (checksum and row count) and stops
// with an error when not; who goes first takes turns, each side's time includes its connection,
// and each starts once InnoDB has written out what the side before it left.
// Run through bench/run data_copy_bench, which starts both servers. DBK_BENCH_ROUNDS sets the
// rounds (3 by default); DBK_BENCH_PARTS which comparisons run (server,database by default).
#include <sys/resource.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "conn/connection.h"
#include "transfer/copy_engine.h"
#include "transfer/database_copy.h"
#include "transfer/table_copy.h"

namespace {

using bench::best;
using bench::env;
using bench::fail;
using bench::median;
using bench::peakKilobytes;
using bench::secondsSince;

dbk::ConnectParams params(const char* prefix) {
    const std::string p(prefix);
    dbk::ConnectParams params;
    params.host = env((p + "HOST").c_str());
    params.port = static_cast<unsigned>(std::atoi(env((p + "PORT").c_str())));
    params.user = env((p + "USER").c_str());
    params.password = env((p + "PASSWORD").c_str());
    return params;
}

QString client(const QString& tool, const char* prefix) {
    const std::string p(prefix);
    return QStringLiteral("%1 -h %2 -P %3 -u %4 -p%5")
        .arg(tool, QString::fromUtf8(env((p + "HOST").c_str())), QString::fromUtf8(env((p + "PORT").c_str())),
             QString::fromUtf8(env((p + "USER").c_str())), QString::fromUtf8(env((p + "PASSWORD").c_str())));
}

double shellSeconds(const QString& commandLine) {
    QProcess shell;
    const auto start = std::chrono::steady_clock::now();
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine});
    if (!shell.waitForFinished(-1) || shell.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(commandLine),
                     shell.readAllStandardError().constData());
        std::exit(1);
    }
    return secondsSince(start);
}

long long count(dbk::Connection& c, const std::string& sql) {
    dbk::Result r = c.query(sql);
    if (!r.ok() || !r.next())
        fail(sql.c_str(), c);
    return std::atoll(std::string(r.text(0U)).c_str());
}

// Numbers, ASCII and Japanese text, NULLs, quotes and backslashes now and then, binary bytes.
void fillTable(dbk::Connection& c, const std::string& table, long long rows) {
    if (!c.exec(
            "CREATE TABLE " + table +
            " (id INT PRIMARY KEY, name VARCHAR(40), price INT, note TEXT, made DATETIME, raw VARBINARY(16)) "
            "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4") ||
        !c.exec("INSERT INTO " + table +
                " SELECT seq, CONCAT(IF(seq % 3 = 0, _utf8mb4 x'e59586e59381', 'item'), ' ', seq), "
                "IF(seq % 10 = 0, NULL, seq % 1000), IF(seq % 7 = 0, 'say \"it''s\" \\\\ here', REPEAT('n', "
                "seq % 30)), '2024-01-01' + INTERVAL seq SECOND, IF(seq % 2, UNHEX(MD5(seq)), NULL) "
                "FROM seq_1_to_" +
                std::to_string(rows)))
        fail("cannot fill a table", c);
}

void ensureDatabase(dbk::Connection& c, const std::string& database, int tables, long long rowsPerTable) {
    if (count(c, "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" + database + "'") ==
            tables &&
        count(c, "SELECT COUNT(*) FROM " + database + ".t" + std::to_string(tables - 1)) == rowsPerTable)
        return;
    std::printf("generating %s: %d tables of %lld rows...\n", database.c_str(), tables, rowsPerTable);
    std::fflush(stdout);
    c.exec("DROP DATABASE IF EXISTS " + database);
    c.exec("CREATE DATABASE " + database + " CHARACTER SET utf8mb4");
    c.selectDb(database);  // the sequence tables are in every database
    for (int i = 0; i < tables; ++i)
        fillTable(c, database + ".t" + std::to_string(i), rowsPerTable);
}

// "checksum count" of every table t0 ... of a database, one line each.
std::string checksums(dbk::Connection& c, const std::string& database, int tables) {
    std::string out;
    for (int i = 0; i < tables; ++i) {
        const std::string table = database + ".t" + std::to_string(i);
        dbk::Result sum = c.query("CHECKSUM TABLE " + table);
        if (!sum.ok() || !sum.next())
            fail(("CHECKSUM TABLE " + table).c_str(), c);
        out += std::string(sum.text("Checksum")) + ' ' +
               std::to_string(count(c, "SELECT COUNT(*) FROM " + table)) + '\n';
    }
    return out;
}

// Both sides of a round must have made the same tables.
void sameResult(const char* what, const std::string& got, const std::string& expected) {
    if (got == expected)
        return;
    std::fprintf(stderr,
                 "%s: the copy differs from the source (checksum and rows of each table)\n%s\n---\n%s", what,
                 got.c_str(), expected.c_str());
    std::exit(1);
}

void writeFile(const QString& path, const std::string& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// What the database copy sends that changes the server, as a script: the new database, the
// session's settings, and for each table its CREATE TABLE text and its INSERT ... SELECT.
std::string databaseCopyScript(dbk::Connection& c, const std::string& source, const std::string& target,
                               int tables, const std::string& extraSetting) {
    std::string script = "SET NAMES utf8mb4;\nCREATE DATABASE " +
                         dbk::Connection::ident(target, dbk::NameQuoting::Bytes) +
                         ";\nSET foreign_key_checks = 0;\n"
                         "SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_AUTO_VALUE_ON_ZERO');\n" +
                         extraSetting;
    for (int i = 0; i < tables; ++i) {
        const std::string table = "t" + std::to_string(i);
        const std::optional<std::string> create = dbk::createTableText(c, source, table);
        const std::optional<dbk::CopyJob> job = dbk::CopyJob::wholeTable(c, source, table, target, table);
        if (!create || !job)
            fail("cannot read the source tables", c);
        script += dbk::retargetedStatement(*create, target, table) + ";\n" +
                  dbk::CopyEngine::insertHead(*job, {}) + job->sourceStatement + ";\n";
    }
    return script;
}

// Waits (at most 60 s) until InnoDB has written out the pages the previous side left dirty and
// dropped, so that no side pays for the one before it.
void settle(dbk::Connection& c) {
    for (int i = 0; i < 300; ++i) {
        dbk::Result dirty = c.query("SHOW GLOBAL STATUS LIKE 'Innodb_buffer_pool_pages_dirty'");
        if (!dirty.ok() || !dirty.next() || std::atoll(std::string(dirty.text(1U)).c_str()) < 50)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

void report(const char* what, const char* ours, const std::vector<double>& a, const char* theirs,
            const std::vector<double>& b) {
    std::vector<double> ratios;
    for (size_t i = 0; i < a.size(); ++i)
        ratios.push_back(a[i] / b[i]);
    std::printf(
        "%s: %s %.2f s best / %.2f s median; %s %.2f s best / %.2f s median; ratio of the bests %.2f, "
        "median of the rounds' ratios %.2f (highest %.2f)\n",
        what, ours, best(a), median(a), theirs, best(b), median(b), best(a) / best(b), median(ratios),
        *std::max_element(ratios.begin(), ratios.end()));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    dbk::Connection first;
    dbk::Connection second;
    if (!first.open(params("DBKEEPER_TEST_")))
        fail("cannot connect to the first server", first);
    if (!second.open(params("DBKEEPER_TEST2_")))
        fail("cannot connect to the second server", second);
    const int rounds = std::getenv("DBK_BENCH_ROUNDS") ? std::atoi(env("DBK_BENCH_ROUNDS")) : 3;
    const QStringList parts =
        QString::fromUtf8(std::getenv("DBK_BENCH_PARTS") ? env("DBK_BENCH_PARTS") : "server,database")
            .split(u',');
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("rep_other_server.log"));
    std::printf("peak memory before: %ld KB\n", peakKilobytes());

    if (parts.contains(QStringLiteral("server"))) {
        const long long rows = 1000000;
        second.exec("CREATE DATABASE IF NOT EXISTS dbk_bench_src CHARACTER SET utf8mb4");
        second.selectDb("dbk_bench_src");
        if (count(second,
                  "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'dbk_bench_src' "
                  "AND TABLE_NAME = 'big'") == 0 ||
            count(second, "SELECT COUNT(*) FROM dbk_bench_src.big") != rows) {
            std::printf("generating %lld rows on the second server...\n", rows);
            std::fflush(stdout);
            second.exec("DROP TABLE IF EXISTS dbk_bench_src.big");
            fillTable(second, "dbk_bench_src.big", rows);
        }
        first.exec("CREATE DATABASE IF NOT EXISTS dbk_bench_dst CHARACTER SET utf8mb4");
        const std::string create = *dbk::createTableText(second, "dbk_bench_src", "big");
        shellSeconds(client(QStringLiteral("mariadb"), "DBKEEPER_TEST2_") +
                     " -e 'SELECT COUNT(*), SUM(LENGTH(note)) FROM dbk_bench_src.big' > /dev/null");
        dbk::Result sourceSum = second.query("CHECKSUM TABLE dbk_bench_src.big");
        if (!sourceSum.ok() || !sourceSum.next())
            fail("CHECKSUM TABLE on the second server", second);
        const std::string expected =
            std::string(sourceSum.text("Checksum")) + ' ' + std::to_string(rows) + '\n';
        const auto copiedTable = [&] {
            dbk::Result sum = first.query("CHECKSUM TABLE dbk_bench_dst.big");
            if (!sum.ok() || !sum.next())
                fail("CHECKSUM TABLE", first);
            return std::string(sum.text("Checksum")) + ' ' +
                   std::to_string(count(first, "SELECT COUNT(*) FROM dbk_bench_dst.big")) + '\n';
        };
        std::vector<double> ours, theirs;
        const auto runOurs = [&] {
            first.exec("DROP TABLE IF EXISTS dbk_bench_dst.big");
            settle(first);
            auto start = std::chrono::steady_clock::now();
            // Both connections are part of the time, as they are of the clients'.
            dbk::Connection from;
            dbk::Connection to;
            if (!from.open(params("DBKEEPER_TEST2_")) || !to.open(params("DBKEEPER_TEST_")))
                fail("cannot connect", from);
            dbk::TableCopyRequest request;
            request.createStatement = dbk::retargetedStatement(create, "dbk_bench_dst", "big");
            request.sourceDatabase = "dbk_bench_src";
            request.sourceTable = "big";
            request.targetDatabase = "dbk_bench_dst";
            request.targetTable = "big";
            request.copyData = true;
            request.logPath = log;
            dbk::TableCopy copy(from, to);
            copy.setBatchRows(1000);
            const dbk::TableCopyOutcome copied = copy.run(request);
            from.close();
            to.close();
            ours.push_back(secondsSince(start));
            if (!copied.copy.complete() || copied.copy.copied != static_cast<uint64_t>(rows))
                fail("copy from the second server", first);
            sameResult("copy from another server", copiedTable(), expected);
        };
        const auto runTheirs = [&] {
            first.exec("DROP TABLE IF EXISTS dbk_bench_dst.big");
            settle(first);
            theirs.push_back(shellSeconds(
                client(QStringLiteral("mariadb-dump"), "DBKEEPER_TEST2_") + " dbk_bench_src big | " +
                client(QStringLiteral("mariadb"), "DBKEEPER_TEST_") + " dbk_bench_dst"));
            sameResult("mariadb-dump | mariadb", copiedTable(), expected);
        };
        for (int round = 0; round < rounds; ++round) {
            // Who goes first takes turns.
            if (round % 2 == 0) {
                runOurs();
                runTheirs();
            } else {
                runTheirs();
                runOurs();
            }
        }
        std::printf("== a table of %lld rows from the second server, %d rounds\n", rows, rounds);
        report("copy from another server", "copy (batches of 1000)", ours, "mariadb-dump | mariadb", theirs);
        std::printf("peak memory after the copies between servers: %ld KB\n", peakKilobytes());
        first.exec("DROP DATABASE dbk_bench_dst");
    }

    if (parts.contains(QStringLiteral("database"))) {
        const int tables = 20;
        const long long rowsPerTable = 50000;
        ensureDatabase(first, "dbk_bench_db", tables, rowsPerTable);
        const std::string expected = checksums(first, "dbk_bench_db", tables);
        // The client runs the statements the copy sends that change the server, with the copy's
        // session settings; the second script adds unique_checks = 0, which the copy left out.
        const QString script = dir.filePath(QStringLiteral("database_copy.sql"));
        const QString scriptUnique = dir.filePath(QStringLiteral("database_copy_unique.sql"));
        writeFile(script, databaseCopyScript(first, "dbk_bench_db", "dbk_bench_db2", tables, ""));
        writeFile(scriptUnique, databaseCopyScript(first, "dbk_bench_db", "dbk_bench_db2", tables,
                                                   "SET unique_checks = 0;\n"));
        shellSeconds(client(QStringLiteral("mariadb"), "DBKEEPER_TEST_") +
                     " -e 'CHECKSUM TABLE dbk_bench_db.t0' > /dev/null");
        std::vector<double> ours, theirs, unique;
        const auto runOurs = [&] {
            first.exec("DROP DATABASE IF EXISTS dbk_bench_db2");
            settle(first);
            const auto start = std::chrono::steady_clock::now();
            // The connection is part of the time, as it is of the client's.
            dbk::Connection connection;
            if (!connection.open(params("DBKEEPER_TEST_")))
                fail("cannot connect to the first server", connection);
            const dbk::DatabaseCopyOutcome copied =
                dbk::DatabaseCopy(connection).run("dbk_bench_db", "dbk_bench_db2");
            connection.close();
            ours.push_back(secondsSince(start));
            if (copied.failures != 0 || copied.rowsCopied != static_cast<uint64_t>(tables * rowsPerTable))
                fail("database copy", first);
            sameResult("database copy", checksums(first, "dbk_bench_db2", tables), expected);
        };
        const auto runClient = [&](const QString& file, std::vector<double>& times, const char* what) {
            first.exec("DROP DATABASE IF EXISTS dbk_bench_db2");
            settle(first);
            times.push_back(
                shellSeconds(client(QStringLiteral("mariadb"), "DBKEEPER_TEST_") + " < '" + file + "'"));
            sameResult(what, checksums(first, "dbk_bench_db2", tables), expected);
        };
        for (int round = 0; round < rounds; ++round) {
            // Who goes first takes turns.
            if (round % 2 == 0) {
                runOurs();
                runClient(script, theirs, "mariadb < the same statements");
            } else {
                runClient(script, theirs, "mariadb < the same statements");
                runOurs();
            }
            runClient(scriptUnique, unique, "mariadb < the statements with unique_checks = 0");
        }
        std::printf(
            "== a database of %d tables, %lld rows in all, %d rounds; every copy checked "
            "(CHECKSUM TABLE and COUNT(*) of each table)\n",
            tables, tables * rowsPerTable, rounds);
        report("database copy", "database copy", ours, "mariadb < the same statements", theirs);
        report("database copy", "database copy", ours, "mariadb < the same with unique_checks = 0", unique);
        std::printf("peak memory after the database copies: %ld KB\n", peakKilobytes());
        first.exec("DROP DATABASE IF EXISTS dbk_bench_db2");
    }
    return 0;
}
