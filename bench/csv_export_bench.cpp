// Time and memory of the CSV export of 100,000 and 1,000,000 rows, against the command-line
// client writing the same rows ("mariadb --batch -e ... > file") on the same server in the same
// run. Run through bench/csv_export.sh (or bench/run), which starts the server.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "conn/connection.h"
#include "transfer/csv_export.h"

namespace {

const char* env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

long peakKilobytes(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Rows of several kinds of value: numbers, ASCII and Japanese text, NULLs, a quote now and then.
bool ensureTable(dbk::Connection& c, const std::string& table, long long rows) {
    dbk::Result existing = c.query("SELECT COUNT(*) FROM dbk_bench_csv." + table);
    if (existing.ok() && existing.next() && std::atoll(std::string(existing.text(0U)).c_str()) == rows)
        return true;
    std::printf("generating %lld rows...\n", rows);
    std::fflush(stdout);
    c.exec("DROP TABLE IF EXISTS dbk_bench_csv." + table);
    return c.exec("CREATE TABLE dbk_bench_csv." + table +
                  " (id INT PRIMARY KEY, name VARCHAR(40), price INT, note TEXT, made DATETIME) "
                  "ENGINE=InnoDB") &&
           c.exec("INSERT INTO dbk_bench_csv." + table +
                  " SELECT seq, CONCAT(IF(seq % 3 = 0, _utf8mb4 x'e59586e59381', 'item'), ' ', seq), "
                  "IF(seq % 10 = 0, NULL, seq % 1000), IF(seq % 7 = 0, 'say \"hi\"', REPEAT('n', seq % 30)), "
                  "'2024-01-01' + INTERVAL seq SECOND FROM seq_1_to_" +
                  std::to_string(rows));
}

double exportSeconds(dbk::Connection& c, const std::string& statement, const QString& path, uint64_t& rows) {
    const auto start = std::chrono::steady_clock::now();
    dbk::CsvExporter exporter(c, statement, dbk::CsvFormat{});
    const dbk::CsvExportOutcome outcome = exporter.run(path);
    const double seconds = secondsSince(start);
    if (!outcome.complete()) {
        std::fprintf(stderr, "export failed: %s\n", c.errorLine().c_str());
        std::exit(1);
    }
    rows = outcome.rows;
    return seconds;
}

// Reading the rows without writing them: what the server and the network take.
double readSeconds(dbk::Connection& c, const std::string& statement) {
    const auto start = std::chrono::steady_clock::now();
    dbk::Result result = c.stream(statement);
    while (result.next()) {
    }
    return secondsSince(start);
}

double clientSeconds(const std::string& statement, const QString& path) {
    QProcess client;
    client.setStandardOutputFile(path);
    const auto start = std::chrono::steady_clock::now();
    client.start(QStringLiteral("mariadb"),
                 {QStringLiteral("--batch"), QStringLiteral("--default-character-set=cp932"),
                  QStringLiteral("-h"), QString::fromUtf8(env("DBKEEPER_TEST_HOST")), QStringLiteral("-P"),
                  QString::fromUtf8(env("DBKEEPER_TEST_PORT")), QStringLiteral("-u"),
                  QString::fromUtf8(env("DBKEEPER_TEST_USER")),
                  QStringLiteral("-p") + QString::fromUtf8(env("DBKEEPER_TEST_PASSWORD")),
                  QStringLiteral("-e"), QString::fromStdString(statement)});
    if (!client.waitForFinished(-1) || client.exitCode() != 0) {
        std::fprintf(stderr, "mariadb failed: %s\n", client.readAllStandardError().constData());
        std::exit(1);
    }
    return secondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    dbk::Connection c;
    dbk::ConnectParams params;
    params.host = env("DBKEEPER_TEST_HOST");
    params.port = static_cast<unsigned>(std::atoi(env("DBKEEPER_TEST_PORT")));
    params.user = env("DBKEEPER_TEST_USER");
    params.password = env("DBKEEPER_TEST_PASSWORD");
    if (!c.open(params)) {
        std::fprintf(stderr, "cannot connect: %s\n", c.errorLine().c_str());
        return 1;
    }
    c.exec("CREATE DATABASE IF NOT EXISTS dbk_bench_csv CHARACTER SET utf8mb4");
    c.selectDb("dbk_bench_csv");  // the sequence tables that generate the rows live in every database
    const struct {
        const char* table;
        long long rows;
    } sizes[] = {{"rows_100000", 100000}, {"rows_1000000", 1000000}};
    for (const auto& size : sizes) {
        if (!ensureTable(c, size.table, size.rows)) {
            std::fprintf(stderr, "cannot create %s: %s\n", size.table, c.errorLine().c_str());
            return 1;
        }
    }

    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("export.csv"));
    const QString theirs = dir.filePath(QStringLiteral("client.tsv"));
    const long startKilobytes = peakKilobytes(RUSAGE_SELF);
    constexpr int kRounds = 5;
    double best[2] = {0, 0};
    double bestClient[2] = {0, 0};
    double bestRead[2] = {0, 0};
    long peakAfter[2] = {0, 0};
    long long bytes[2] = {0, 0};
    long long clientBytes[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const std::string statement = std::string("Select * from dbk_bench_csv.") + sizes[i].table;
        clientSeconds(statement, theirs);  // warms the buffer pool
        for (int round = 0; round < kRounds; ++round) {
            uint64_t rows = 0;
            const double seconds = exportSeconds(c, statement, ours, rows);
            if (rows != static_cast<uint64_t>(sizes[i].rows)) {
                std::fprintf(stderr, "exported %llu rows of %lld\n", static_cast<unsigned long long>(rows),
                             sizes[i].rows);
                return 1;
            }
            const double client = clientSeconds(statement, theirs);
            const double read = readSeconds(c, statement);
            best[i] = round == 0 ? seconds : std::min(best[i], seconds);
            bestClient[i] = round == 0 ? client : std::min(bestClient[i], client);
            bestRead[i] = round == 0 ? read : std::min(bestRead[i], read);
        }
        peakAfter[i] = peakKilobytes(RUSAGE_SELF);
        bytes[i] = QFile(ours).size();
        clientBytes[i] = QFile(theirs).size();
    }

    std::printf("CSV export: 100,000 rows %.3f s (%.1f MB), client %.3f s (%.1f MB), ratio %.2f\n", best[0],
                bytes[0] / 1e6, bestClient[0], clientBytes[0] / 1e6, best[0] / bestClient[0]);
    std::printf("CSV export: 1,000,000 rows %.3f s (%.1f MB), client %.3f s (%.1f MB), ratio %.2f\n", best[1],
                bytes[1] / 1e6, bestClient[1], clientBytes[1] / 1e6, best[1] / bestClient[1]);
    std::printf("CSV export: ten times the rows, %.1f times the time (client %.1f, reading alone %.1f)\n",
                best[1] / best[0], bestClient[1] / bestClient[0], bestRead[1] / bestRead[0]);
    std::printf(
        "CSV export: peak memory %ld KB before, %ld KB after 100,000 rows, %ld KB after 1,000,000 rows "
        "(client peak %ld KB)\n",
        startKilobytes, peakAfter[0], peakAfter[1], peakKilobytes(RUSAGE_CHILDREN));
    return 0;
}
