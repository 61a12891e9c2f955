// Time and memory of the CSV export of 100,000 and 1,000,000 rows, against the command-line
// client writing the same rows in its streaming mode ("mariadb --batch --quick -e ... > file",
// Shift_JIS like the export's default) on the same server in the same run. Run through
// bench/csv_export.sh (or bench/run), which starts the server.
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
#include "transfer/csv_export.h"

namespace {

using bench::best;
using bench::env;
using bench::median;
using bench::secondsSince;

long peakKilobytes(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
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

double exportSeconds(dbk::Connection& c, const std::string& statement, const QString& path, uint64_t& rows,
                     dbk::CsvFormat::Encoding encoding = dbk::CsvFormat::Encoding::ShiftJis) {
    const auto start = std::chrono::steady_clock::now();
    dbk::CsvFormat format;
    format.encoding = encoding;
    dbk::CsvExporter exporter(c, statement, format);
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

QStringList clientArguments(const std::string& statement) {
    return {QStringLiteral("--batch"),
            QStringLiteral("--quick"),
            QStringLiteral("--default-character-set=cp932"),
            QStringLiteral("-h"),
            QString::fromUtf8(env("DBKEEPER_TEST_HOST")),
            QStringLiteral("-P"),
            QString::fromUtf8(env("DBKEEPER_TEST_PORT")),
            QStringLiteral("-u"),
            QString::fromUtf8(env("DBKEEPER_TEST_USER")),
            QStringLiteral("-p") + QString::fromUtf8(env("DBKEEPER_TEST_PASSWORD")),
            QStringLiteral("-e"),
            QString::fromStdString(statement)};
}

// Runs the client (under /usr/bin/time when peakKilobytes is asked for, since a child's own
// peak would otherwise include the pages it shared with this process before it started).
double clientSeconds(const std::string& statement, const QString& path, long* peakKilobytes = nullptr) {
    QProcess client;
    client.setStandardOutputFile(path);
    const auto start = std::chrono::steady_clock::now();
    if (peakKilobytes) {
        client.start(QStringLiteral("/usr/bin/time"),
                     QStringList{QStringLiteral("-f"), QStringLiteral("%M"), QStringLiteral("mariadb")} +
                         clientArguments(statement));
    } else {
        client.start(QStringLiteral("mariadb"), clientArguments(statement));
    }
    if (!client.waitForFinished(-1) || client.exitCode() != 0) {
        std::fprintf(stderr, "mariadb failed: %s\n", client.readAllStandardError().constData());
        std::exit(1);
    }
    const double seconds = secondsSince(start);
    if (peakKilobytes)
        *peakKilobytes = client.readAllStandardError().trimmed().split('\n').last().toLong();
    return seconds;
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
    constexpr int kRounds = 7;
    struct Times {
        std::vector<double> ours, utf8, client, read;
        std::vector<double> ratio;  // of each round: the export and the client run one after the other
    } times[2];
    long peakAfter[2] = {0, 0};
    long long bytes[2] = {0, 0};
    long long clientBytes[2] = {0, 0};
    long clientPeak[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const std::string statement = std::string("Select * from dbk_bench_csv.") + sizes[i].table;
        clientSeconds(statement, theirs);  // warms the buffer pool
        for (int round = 0; round < kRounds; ++round) {
            uint64_t rows = 0;
            times[i].ours.push_back(exportSeconds(c, statement, ours, rows));
            if (rows != static_cast<uint64_t>(sizes[i].rows)) {
                std::fprintf(stderr, "exported %llu rows of %lld\n", static_cast<unsigned long long>(rows),
                             sizes[i].rows);
                return 1;
            }
            bytes[i] = QFile(ours).size();
            times[i].client.push_back(clientSeconds(statement, theirs));
            times[i].ratio.push_back(times[i].ours.back() / times[i].client.back());
            times[i].utf8.push_back(exportSeconds(c, statement, ours, rows, dbk::CsvFormat::Encoding::Utf8));
            times[i].read.push_back(readSeconds(c, statement));
        }
        peakAfter[i] = peakKilobytes(RUSAGE_SELF);
        clientSeconds(statement, theirs, &clientPeak[i]);
        clientBytes[i] = QFile(theirs).size();
    }

    const char* names[2] = {"100,000", "1,000,000"};
    for (int i = 0; i < 2; ++i) {
        const Times& t = times[i];
        std::printf(
            "CSV export: %s rows, Shift_JIS %.3f s best / %.3f s median (%.1f MB); "
            "client --batch --quick %.3f s best / %.3f s median (%.1f MB); "
            "ratio of the bests %.2f, median of the rounds' ratios %.2f (highest %.2f)\n",
            names[i], best(t.ours), median(t.ours), bytes[i] / 1e6, best(t.client), median(t.client),
            clientBytes[i] / 1e6, best(t.ours) / best(t.client), median(t.ratio),
            *std::max_element(t.ratio.begin(), t.ratio.end()));
        std::printf("CSV export: %s rows, UTF-8 %.3f s best / %.3f s median; reading alone %.3f s best\n",
                    names[i], best(t.utf8), median(t.utf8), best(t.read));
    }
    std::printf("CSV export: ten times the rows, %.1f times the time (client %.1f, reading alone %.1f)\n",
                median(times[1].ours) / median(times[0].ours),
                median(times[1].client) / median(times[0].client),
                median(times[1].read) / median(times[0].read));
    std::printf(
        "CSV export: peak memory %ld KB before, %ld KB after 100,000 rows, %ld KB after 1,000,000 rows "
        "(client %ld KB and %ld KB)\n",
        startKilobytes, peakAfter[0], peakAfter[1], clientPeak[0], clientPeak[1]);
    return 0;
}
