// Time and memory of the CSV import of a 1,000,000-row EUC-JP file, side by side in one run with
// the same work done by nkf and the command-line client:
//   with conversion:    the import form's engine  vs  nkf -s -x file > work && mariadb -e "LOAD DATA LOCAL
//   ..." without conversion: the engine on the Shift_JIS file  vs  mariadb -e "LOAD DATA LOCAL ..." on it
// Both sides load the same statement into the same emptied table, and the table's checksum after
// each load must agree. The conversion alone is timed against nkf alone as well. Run through
// bench/csv_import.sh (or bench/run), which starts the server.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "conn/connection.h"
#include "conn/session.h"
#include "transfer/csv_import.h"
#include "transfer/kanji_file.h"

namespace {

using bench::best;
using bench::env;
using bench::median;
using bench::peakKilobytes;
using bench::secondsSince;

// CPU seconds (user and system) of this process, or of the children it waited for.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::exit(1);
}

// Rows of a product list: a number, a Japanese name (half-width kana now and then), a price and
// a note with a quote now and then; about 39 bytes a line in EUC-JP.
void writeEucJpFile(const QString& path, int rows) {
    const char* names[] = {"東京都千代田区", "大阪府大阪市", "商品説明",     "表示装置", "ソフトウェア",
                           "在庫あり",       "ﾃｽﾄﾃﾞｰﾀ",      "株式会社横浜", "北海道",   "名古屋"};
    const char* notes[] = {"特価", "新品", "予約受付中", "say \"\"hi\"\"", "ｾｰﾙ"};
    std::vector<QByteArray> eucNames, eucNotes;
    QStringEncoder euc("EUC-JP");
    for (const char* n : names)
        eucNames.push_back(euc(QString::fromUtf8(n)));
    for (const char* n : notes)
        eucNotes.push_back(euc(QString::fromUtf8(n)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail("cannot write " + path.toStdString());
    QByteArray block;
    for (int i = 1; i <= rows; ++i) {
        block += QByteArray::number(i) + ",\"" + eucNames[static_cast<size_t>(i % 10)] +
                 QByteArray::number(i % 1000) + "\"," + QByteArray::number(i % 9973 * 10) + ",\"" +
                 eucNotes[static_cast<size_t>(i % 5)] + "\"\n";
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
}

QStringList clientArguments(const std::string& statement) {
    return {QStringLiteral("--local-infile=1"),
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

// Runs a shell command line; returns its seconds.
double shellSeconds(const QString& command) {
    QProcess shell;
    const auto start = std::chrono::steady_clock::now();
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!shell.waitForFinished(-1) || shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0)
        fail("failed: " + command.toStdString() + "\n" + shell.readAllStandardError().toStdString());
    return secondsSince(start);
}

QString shellQuoted(const QString& text) {
    return QStringLiteral("'") + QString(text).replace(QStringLiteral("'"), QStringLiteral("'\\''")) +
           QStringLiteral("'");
}

QString clientCommand(const std::string& statement) {
    QStringList words{QStringLiteral("mariadb")};
    for (const QString& argument : clientArguments(statement))
        words << shellQuoted(argument);
    return words.join(u' ');
}

std::string checksum(dbk::Connection& c) {
    return bench::tableChecksum(c, "dbk_bench_import.t");
}

void emptyTable(dbk::Connection& c) {
    if (!c.exec("TRUNCATE TABLE dbk_bench_import.t"))
        fail("truncate: " + c.errorLine());
}

struct Pair {
    std::vector<double> ours, theirs, ratio;
    void add(double o, double t) {
        ours.push_back(o);
        theirs.push_back(t);
        ratio.push_back(o / t);
    }
    void print(const char* what) const {
        std::printf(
            "%s: program %.2f s best / %.2f s median, other %.2f s best / %.2f s median; "
            "ratio of the bests %.2f, median of the rounds' ratios %.2f (rounds %zu)\n",
            what, best(ours), median(ours), best(theirs), median(theirs), best(ours) / best(theirs),
            median(ratio), ours.size());
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const dbk::ConnectParams params = bench::serverParams();
    dbk::Session session;
    if (!session.open(params))
        fail("cannot connect: " + session.connection().errorLine());
    dbk::Connection& c = session.connection();
    c.exec("CREATE DATABASE IF NOT EXISTS dbk_bench_import CHARACTER SET utf8mb4");
    c.exec("DROP TABLE IF EXISTS dbk_bench_import.t");
    if (!c.exec("CREATE TABLE dbk_bench_import.t (id INT PRIMARY KEY, name VARCHAR(40), price INT, "
                "note VARCHAR(40)) ENGINE=InnoDB"))
        fail("create: " + c.errorLine());

    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("small.csv"));
    const QString euc = dir.filePath(QStringLiteral("euc.csv"));
    const QString sjis = dir.filePath(QStringLiteral("sjis.csv"));
    const QString nkfWork = dir.filePath(QStringLiteral("nkf_work.csv"));
    writeEucJpFile(small, rows / 10);
    writeEucJpFile(euc, rows);
    shellSeconds(QStringLiteral("nkf -s -x %1 > %2").arg(shellQuoted(euc), shellQuoted(sjis)));
    std::printf("%d rows: EUC-JP file %.1f MB\n", rows, QFile(euc).size() / 1e6);

    dbk::CsvImportOptions options;
    options.local = true;
    options.separator = ",";
    options.enclosure = "\"";
    options.database = "dbk_bench_import";
    options.table = "t";
    const auto importSeconds = [&](const QString& path, bool convert) {
        emptyTable(c);
        options.path = path;
        options.convert = convert;
        const auto start = std::chrono::steady_clock::now();
        const dbk::CsvImportOutcome outcome = dbk::CsvImporter(session).run(options);
        const double seconds = secondsSince(start);
        if (!outcome.imported() || outcome.warningCount != 0)
            fail("import failed: " + outcome.errorText + " " + outcome.info);
        return seconds;
    };
    const std::string clientStatement = [&] {
        const QByteArray name = QFile::encodeName(nkfWork);
        return "LOAD DATA LOCAL INFILE '" + c.escape(name.toStdString()) +
               "' INTO TABLE dbk_bench_import.t CHARACTER SET cp932 FIELDS TERMINATED BY ',' ENCLOSED BY "
               "'\"' ";
    }();
    const std::string clientSjisStatement = [&] {
        const QByteArray name = QFile::encodeName(sjis);
        return "LOAD DATA LOCAL INFILE '" + c.escape(name.toStdString()) +
               "' INTO TABLE dbk_bench_import.t CHARACTER SET cp932 FIELDS TERMINATED BY ',' ENCLOSED BY "
               "'\"' ";
    }();
    const QString nkfAndLoad =
        QStringLiteral("nkf -s -x %1 > %2 && %3 && rm -f %2")
            .arg(shellQuoted(euc), shellQuoted(nkfWork), clientCommand(clientStatement));

    // Memory: a tenth of the rows first, then all of them.
    const long before = peakKilobytes();
    importSeconds(small, true);
    const long afterSmall = peakKilobytes();
    importSeconds(euc, true);
    const long afterLarge = peakKilobytes();
    const std::string ourSum = checksum(c);
    emptyTable(c);
    shellSeconds(nkfAndLoad);
    if (checksum(c) != ourSum)
        bench::differ("the program's rows differ from nkf's and the client's");
    // Every round both sides must leave the same table: the checksum of the first load.
    const auto expectSum = [&](const char* who) {
        if (checksum(c) != ourSum)
            bench::differ(std::string(who) + " left other rows than the first load (checksum)");
    };

    Pair converted, asItIs, conversionAlone, conversionCpu;
    for (int round = 0; round < rounds; ++round) {
        const double ours = importSeconds(euc, true);
        expectSum("the import with conversion");
        emptyTable(c);
        converted.add(ours, shellSeconds(nkfAndLoad));
        expectSum("nkf and the client");

        const double oursAsItIs = importSeconds(sjis, false);
        expectSum("the import without conversion");
        emptyTable(c);
        asItIs.add(oursAsItIs, shellSeconds(clientCommand(clientSjisStatement)));
        expectSum("the client without conversion");

        const QString work = dir.filePath(QStringLiteral("work.csv"));
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds(RUSAGE_SELF);
        if (!dbk::convertKanjiFile(euc, work, dbk::kCsvConverterOptions))
            fail("conversion failed");
        const double ourCpu = cpuSeconds(RUSAGE_SELF) - cpuStart;
        const double ourSeconds = secondsSince(start);
        const double childCpuStart = cpuSeconds(RUSAGE_CHILDREN);
        const QString nkfOutput = dir.filePath(QStringLiteral("nkf.csv"));
        const double nkfSeconds =
            shellSeconds(QStringLiteral("nkf -s -x %1 > %2").arg(shellQuoted(euc), shellQuoted(nkfOutput)));
        if (QProcess::execute(QStringLiteral("cmp"), {QStringLiteral("-s"), work, nkfOutput}) != 0)
            bench::differ("the conversion's file differs from nkf's");
        conversionAlone.add(ourSeconds, nkfSeconds);
        conversionCpu.add(ourCpu, cpuSeconds(RUSAGE_CHILDREN) - childCpuStart);
    }
    converted.print("with conversion (nkf + client)");
    asItIs.print("without conversion (client)");
    conversionAlone.print("conversion alone (nkf -s -x)");
    conversionCpu.print("conversion alone, CPU seconds (nkf -s -x)");
    std::printf("peak memory: %.1f MiB before, %.1f MiB after %d rows, %.1f MiB after %d rows\n",
                before / 1024.0, afterSmall / 1024.0, rows / 10, afterLarge / 1024.0, rows);
    return 0;
}
