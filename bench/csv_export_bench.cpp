// Time and memory of the CSV export of 100,000 and 1,000,000 rows, against the command-line
// client writing the same rows in its streaming mode ("mariadb --batch --quick -e ... > file",
// Shift_JIS like the export's default) on the same server in the same run. The export shows its
// progress as the form does; each side opens its own connection within its time; the side that
// runs first alternates; both files must hold the same rows, cell for cell, in every round
// (DBK_BENCH_ROUNDS rounds, 7 by default). Run through
// bench/csv_export.sh (or bench/run), which starts the server.
#include <sys/resource.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/qt_ui_services.h"
#include "bench_support.h"
#include "conn/cancel.h"
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

// Opens a connection, exports the statement and closes it: the connection is in the time, as
// the client's is. The progress goes the form's way: its text into a text field, the window's
// events let through, Cancel live.
double exportSeconds(const dbk::ConnectParams& params, const std::string& statement, const QString& path,
                     uint64_t& rows, QPlainTextEdit& progressField,
                     dbk::CsvFormat::Encoding encoding = dbk::CsvFormat::Encoding::ShiftJis) {
    const auto start = std::chrono::steady_clock::now();
    dbk::Connection c;
    if (!c.open(params))
        bench::fail("cannot connect", c);
    dbk::CsvFormat format;
    format.encoding = encoding;
    dbk::CsvExporter exporter(c, statement, format);
    exporter.setProgress(
        [&progressField](long long, const QString& text) { progressField.setPlainText(text); });
    dbk::CsvExportOutcome outcome;
    {
        const dbk::CancellableRun cancellable;
        outcome = exporter.run(path);
    }
    progressField.setPlainText(dbk::CsvExporter::outcomeText(outcome, path));
    c.close();
    const double seconds = secondsSince(start);
    if (!outcome.complete()) {
        std::fprintf(stderr, "export failed: %s\n", c.errorLine().c_str());
        std::exit(1);
    }
    rows = outcome.rows;
    return seconds;
}

// The cells of every line of a file: the export's CSV (comma, double quotes doubled inside,
// NULL as "(null)") or the client's batch output (tab, \\, \t, \n and \0 escaped, NULL as NULL,
// the column names first).
using Cells = std::vector<std::string>;
const std::string kNull("\x01NULL");

bool exportLine(std::string_view line, Cells& cells) {
    cells.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] != '"')
            return false;
        std::string cell;
        for (++i;; ++i) {
            if (i >= line.size())
                return false;
            if (line[i] == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    cell += '"';
                    ++i;
                    continue;
                }
                ++i;
                break;
            }
            cell += line[i];
        }
        cells.push_back(cell == dbk::kCsvNullText ? kNull : cell);
        if (i < line.size() && line[i++] != ',')
            return false;
    }
    return true;
}

void clientLine(std::string_view line, Cells& cells) {
    cells.clear();
    std::string cell;
    const auto endCell = [&] {
        cells.push_back(cell == "NULL" ? kNull : cell);
        cell.clear();
    };
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\t') {
            endCell();
        } else if (line[i] == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            cell += next == 't' ? '\t' : next == 'n' ? '\n' : next == '0' ? '\0' : next;
        } else {
            cell += line[i];
        }
    }
    endCell();
}

// Both files hold the same rows, cell for cell; the bench stops when they do not.
void compareOutputs(const QString& ours, const QString& theirs, uint64_t expectedRows) {
    QFile a(ours);
    QFile b(theirs);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read the outputs to compare them\n");
        std::exit(1);
    }
    b.readLine();  // the column names
    Cells ourCells;
    Cells theirCells;
    uint64_t row = 0;
    for (;;) {
        QByteArray x = a.readLine();
        QByteArray y = b.readLine();
        if (x.isEmpty() || y.isEmpty()) {
            if (!x.isEmpty() || !y.isEmpty()) {
                std::fprintf(stderr, "DIFFERENT OUTPUTS: one file ends after %llu rows\n",
                             static_cast<unsigned long long>(row));
                std::exit(1);
            }
            break;
        }
        ++row;
        x.chop(x.endsWith('\n') ? 1 : 0);
        y.chop(y.endsWith('\n') ? 1 : 0);
        if (!exportLine(std::string_view(x.constData(), static_cast<size_t>(x.size())), ourCells))
            ourCells = {"<unreadable line>"};
        clientLine(std::string_view(y.constData(), static_cast<size_t>(y.size())), theirCells);
        if (ourCells != theirCells) {
            std::fprintf(stderr, "DIFFERENT OUTPUTS at row %llu:\n  export: %s\n  client: %s\n",
                         static_cast<unsigned long long>(row), x.constData(), y.constData());
            std::exit(1);
        }
    }
    if (row != expectedRows) {
        std::fprintf(stderr, "DIFFERENT OUTPUTS: %llu rows, %llu expected\n",
                     static_cast<unsigned long long>(row), static_cast<unsigned long long>(expectedRows));
        std::exit(1);
    }
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
    // The progress field is a real text field, drawn nowhere unless a display is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    dbk::QtUiServices services;
    dbk::setUiServices(&services);
    QPlainTextEdit progressField;
    progressField.show();

    dbk::Connection c;
    const dbk::ConnectParams params = bench::serverParams();
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
    const int rounds = std::atoi(env("DBK_BENCH_ROUNDS")) > 0 ? std::atoi(env("DBK_BENCH_ROUNDS")) : 7;
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
        const auto expected = static_cast<uint64_t>(sizes[i].rows);
        clientSeconds(statement, theirs);  // warms the buffer pool
        for (int round = 0; round < rounds; ++round) {
            uint64_t rows = 0;
            // Which side runs first alternates from round to round.
            double oursSeconds = 0;
            double clientTime = 0;
            if (round % 2 == 0) {
                oursSeconds = exportSeconds(params, statement, ours, rows, progressField);
                clientTime = clientSeconds(statement, theirs);
            } else {
                clientTime = clientSeconds(statement, theirs);
                oursSeconds = exportSeconds(params, statement, ours, rows, progressField);
            }
            if (rows != expected) {
                std::fprintf(stderr, "DIFFERENT OUTPUTS: exported %llu rows of %lld\n",
                             static_cast<unsigned long long>(rows), sizes[i].rows);
                return 1;
            }
            compareOutputs(ours, theirs, expected);
            bytes[i] = QFile(ours).size();
            times[i].ours.push_back(oursSeconds);
            times[i].client.push_back(clientTime);
            times[i].ratio.push_back(oursSeconds / clientTime);
            times[i].utf8.push_back(
                exportSeconds(params, statement, ours, rows, progressField, dbk::CsvFormat::Encoding::Utf8));
            if (rows != expected) {
                std::fprintf(stderr, "DIFFERENT OUTPUTS: exported %llu rows of %lld in UTF-8\n",
                             static_cast<unsigned long long>(rows), sizes[i].rows);
                return 1;
            }
            times[i].read.push_back(readSeconds(c, statement));
        }
        peakAfter[i] = peakKilobytes(RUSAGE_SELF);
        clientSeconds(statement, theirs, &clientPeak[i]);
        clientBytes[i] = QFile(theirs).size();
    }

    const char* names[2] = {"100,000", "1,000,000"};
    std::printf(
        "CSV export: %d rounds, the export with the form's progress (a text field, window events) and "
        "the client each with its own connection, the first side alternating; the outputs equal cell "
        "for cell in every round\n",
        rounds);
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
        "CSV export: peak memory %.1f MiB before, %.1f MiB after 100,000 rows, %.1f MiB after 1,000,000 rows "
        "(client %.1f MiB and %.1f MiB)\n",
        startKilobytes / 1024.0, peakAfter[0] / 1024.0, peakAfter[1] / 1024.0, clientPeak[0] / 1024.0,
        clientPeak[1] / 1024.0);
    return 0;
}
