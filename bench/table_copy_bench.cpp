// Time and memory of the table copy, its streamed way and the table dump, each against what the
// command-line tools do with the same table on the same server in the same round:
//   - the table copy (CREATE + INSERT ... SELECT, as the copy form runs it) against
//     mariadb -e "CREATE TABLE ... LIKE ...; INSERT INTO ... SELECT * FROM ...";
//   - the streamed copy (the rows read on one connection and sent as multi-row INSERTs on another,
//     the way a copy takes when the server refuses the single statement) against
//     mariadb-dump db t | mariadb db2;
//   - the dump into a file against mariadb-dump db t > file.
// Run through bench/run table_copy_bench, which starts the server. DBK_BENCH_ROUNDS sets the
// rounds (5 by default); DBK_BENCH_SIZES the row counts (100000,1000000 by default);
// DBK_BENCH_PARTS which comparisons run (copy,streamed,dump by default).
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
#include <string>
#include <vector>

#include "bench_support.h"
#include "conn/connection.h"
#include "transfer/copy_engine.h"
#include "transfer/table_copy.h"
#include "transfer/table_dump.h"

namespace {

using bench::best;
using bench::env;
using bench::fail;
using bench::median;
using bench::peakKilobytes;
using bench::secondsSince;

// Numbers, ASCII and Japanese text, NULLs, quotes and backslashes now and then.
void ensureTable(dbk::Connection& c, const std::string& table, long long rows) {
    dbk::Result existing = c.query("SELECT COUNT(*) FROM dbk_bench_copy." + table);
    if (existing.ok() && existing.next() && std::atoll(std::string(existing.text(0U)).c_str()) == rows)
        return;
    std::printf("generating %lld rows...\n", rows);
    std::fflush(stdout);
    c.exec("DROP TABLE IF EXISTS dbk_bench_copy." + table);
    if (!c.exec(
            "CREATE TABLE dbk_bench_copy." + table +
            " (id INT PRIMARY KEY, name VARCHAR(40), price INT, note TEXT, made DATETIME, raw VARBINARY(16)) "
            "ENGINE=InnoDB") ||
        !c.exec("INSERT INTO dbk_bench_copy." + table +
                " SELECT seq, CONCAT(IF(seq % 3 = 0, _utf8mb4 x'e59586e59381', 'item'), ' ', seq), "
                "IF(seq % 10 = 0, NULL, seq % 1000), IF(seq % 7 = 0, 'say \"it''s\" \\\\ here', REPEAT('n', "
                "seq % 30)), "
                "'2024-01-01' + INTERVAL seq SECOND, IF(seq % 2, UNHEX(MD5(seq)), NULL) FROM seq_1_to_" +
                std::to_string(rows)))
        fail("cannot create the table", c);
}

QStringList clientArguments() {
    return {QStringLiteral("-h"),
            QString::fromUtf8(env("DBKEEPER_TEST_HOST")),
            QStringLiteral("-P"),
            QString::fromUtf8(env("DBKEEPER_TEST_PORT")),
            QStringLiteral("-u"),
            QString::fromUtf8(env("DBKEEPER_TEST_USER")),
            QStringLiteral("-p") + QString::fromUtf8(env("DBKEEPER_TEST_PASSWORD"))};
}

// Runs a shell command line (the client tools) and returns its time.
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

QString client(const QString& tool) {
    return tool + u' ' + clientArguments().join(u' ');
}

struct Times {
    std::vector<double> copy, clientCopy, streamed, pipe, dump, clientDump;
};

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
    dbk::Connection c;
    const dbk::ConnectParams params = bench::serverParams();
    if (!c.open(params))
        fail("cannot connect", c);
    c.exec("CREATE DATABASE IF NOT EXISTS dbk_bench_copy CHARACTER SET utf8mb4");
    c.exec("CREATE DATABASE IF NOT EXISTS dbk_bench_copy2 CHARACTER SET utf8mb4");
    c.selectDb("dbk_bench_copy");  // the sequence tables live in every database

    const int rounds = std::getenv("DBK_BENCH_ROUNDS") ? std::atoi(env("DBK_BENCH_ROUNDS")) : 5;
    std::vector<long long> sizes;
    for (const QString& size :
         QString::fromUtf8(std::getenv("DBK_BENCH_SIZES") ? env("DBK_BENCH_SIZES") : "100000,1000000")
             .split(u','))
        sizes.push_back(size.toLongLong());
    const QStringList parts =
        QString::fromUtf8(std::getenv("DBK_BENCH_PARTS") ? env("DBK_BENCH_PARTS") : "copy,streamed,dump")
            .split(u',');
    QTemporaryDir dir;
    const QString ourDump = dir.filePath(QStringLiteral("dump.sql"));
    const QString theirDump = dir.filePath(QStringLiteral("client.sql"));
    const QString log = dir.filePath(QStringLiteral("rep_table.log"));
    std::printf("peak memory before: %ld KB\n", peakKilobytes());

    for (const long long rows : sizes) {
        const std::string table = "rows_" + std::to_string(rows);
        ensureTable(c, table, rows);
        const std::string source = "dbk_bench_copy." + table;
        const std::string target = "dbk_bench_copy2." + table;
        const std::string create = *dbk::createTableText(c, "dbk_bench_copy", table);
        const auto dropTarget = [&] {
            if (!c.exec("DROP TABLE IF EXISTS " + target))
                fail("drop", c);
        };
        // What each side made holds the source's rows: the same count and checksum.
        const auto checkCopied = [&](const char* what) { bench::expectSameTable(c, source, target, what); };
        // A dump file, loaded into the target database, gives the source's rows.
        const auto checkDump = [&](const QString& file, const char* what) {
            dropTarget();
            shellSeconds(client(QStringLiteral("mariadb")) + " dbk_bench_copy2 < " + file);
            checkCopied(what);
        };
        shellSeconds(client(QStringLiteral("mariadb")) + " -e 'SELECT COUNT(*), SUM(LENGTH(note)) FROM " +
                     QString::fromStdString(source) + "' > /dev/null");  // warms the buffer pool

        Times t;
        for (int round = 0; round < rounds; ++round) {
            if (parts.contains(QStringLiteral("copy"))) {
                dropTarget();
                const auto start = std::chrono::steady_clock::now();
                dbk::TableCopyRequest request;
                request.createStatement = dbk::retargetedStatement(create, "dbk_bench_copy2", table);
                request.sourceDatabase = "dbk_bench_copy";
                request.sourceTable = table;
                request.targetDatabase = "dbk_bench_copy2";
                request.targetTable = table;
                request.copyData = true;
                request.logPath = log;
                const dbk::TableCopyOutcome copied = dbk::TableCopy(c).run(request);
                t.copy.push_back(secondsSince(start));
                if (copied.status != dbk::TableCopyOutcome::Status::Copied || !copied.copy.complete() ||
                    copied.copy.streamed)
                    fail("table copy", c);
                checkCopied("table copy");

                dropTarget();
                t.clientCopy.push_back(shellSeconds(client(QStringLiteral("mariadb")) + " -e 'CREATE TABLE " +
                                                    QString::fromStdString(target) + " LIKE " +
                                                    QString::fromStdString(source) + "; INSERT INTO " +
                                                    QString::fromStdString(target) + " SELECT * FROM " +
                                                    QString::fromStdString(source) + "'"));
                checkCopied("client INSERT ... SELECT");
            }
            if (parts.contains(QStringLiteral("streamed"))) {
                dropTarget();
                const auto start = std::chrono::steady_clock::now();
                if (!c.exec("CREATE TABLE " + target + " LIKE " + source))
                    fail("create", c);
                dbk::CopyEngine engine(c, c);
                engine.setStreamedOnly(true);
                const dbk::CopyOutcome streamed = engine.run(
                    *dbk::CopyJob::wholeTable(c, "dbk_bench_copy", table, "dbk_bench_copy2", table));
                t.streamed.push_back(secondsSince(start));
                if (!streamed.complete() || !streamed.streamed)
                    fail("streamed copy", c);
                checkCopied("streamed copy");

                dropTarget();
                t.pipe.push_back(shellSeconds(client(QStringLiteral("mariadb-dump")) + " dbk_bench_copy " +
                                              QString::fromStdString(table) + " | " +
                                              client(QStringLiteral("mariadb")) + " dbk_bench_copy2"));
                checkCopied("mariadb-dump | mariadb");
            }
            if (parts.contains(QStringLiteral("dump"))) {
                const auto start = std::chrono::steady_clock::now();
                const dbk::DumpOutcome dumped = dbk::TableDump(c, "dbk_bench_copy", table).run(ourDump);
                t.dump.push_back(secondsSince(start));
                if (!dumped.complete() || dumped.rows != static_cast<uint64_t>(rows))
                    fail("dump", c);
                t.clientDump.push_back(shellSeconds(client(QStringLiteral("mariadb-dump")) +
                                                    " dbk_bench_copy " + QString::fromStdString(table) +
                                                    " > " + theirDump));
                checkDump(ourDump, "the dump, loaded");
                checkDump(theirDump, "mariadb-dump's file, loaded");
            }
        }
        std::printf("== %lld rows, %d rounds\n", rows, rounds);
        if (!t.copy.empty())
            report("table copy", "copy form", t.copy, "mariadb INSERT ... SELECT", t.clientCopy);
        if (!t.streamed.empty())
            report("streamed copy", "engine streamed", t.streamed, "mariadb-dump | mariadb", t.pipe);
        if (!t.dump.empty()) {
            report("dump", "dump", t.dump, "mariadb-dump > file", t.clientDump);
            std::printf("dump file %.1f MB, mariadb-dump's %.1f MB\n", QFile(ourDump).size() / 1e6,
                        QFile(theirDump).size() / 1e6);
        }
        std::printf("peak memory after %lld rows: %ld KB\n", rows, peakKilobytes());
        std::fflush(stdout);
    }
    c.exec("DROP DATABASE dbk_bench_copy2");
    return 0;
}
