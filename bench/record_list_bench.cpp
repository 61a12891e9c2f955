// The record list on 1,000,000- and 10,000,000-row InnoDB tables, 100 rows per page: opening the
// table (first page with the estimated count), the exact count read in the background, and
// first, next, previous, last and middle pages as the user reaches them (arrow keys, the page
// dialog), each checked row by row against the table. The statements each step sent are then
// sent by the command-line client, and the offset read with a count of every page (the way the
// list read before) beside them. Run through bench/run.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "bench_support.h"
#include "browser/dbkeeper_view.h"
#include "browser/page_dialog_form.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_format.h"

namespace {

using bench::env;
using bench::peakKilobytes;
using bench::secondsSince;

// How many statements the session sent as SELECT: one SHOW STATUS apart.
long long selectsSent(dbk::Connection& c) {
    dbk::Result r = c.query("SHOW SESSION STATUS LIKE 'Com_select'");
    return r.ok() && r.next() ? std::atoll(std::string(r.text(1U)).c_str()) : -1;
}

// Seconds the command-line client takes for one run of the statements (one process, the
// statements sent `repeat` times, divided).
double clientSeconds(const std::vector<std::string>& statements, int repeat) {
    QString script;
    for (int i = 0; i < repeat; ++i) {
        for (const std::string& s : statements)
            script += QString::fromStdString(s) + ";\n";
    }
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto start = std::chrono::steady_clock::now();
    client.start("mariadb",
                 {"--batch", "--skip-column-names", QString("--socket=") + env("DBKEEPER_TEST_SOCKET"),
                  QString("--user=") + env("DBKEEPER_TEST_USER"),
                  QString("--password=") + env("DBKEEPER_TEST_PASSWORD"), "dbk_bench"});
    client.write(script.toUtf8());
    client.closeWriteChannel();
    client.waitForFinished(-1);
    client.readAllStandardOutput();
    const double seconds = secondsSince(start);
    if (client.exitCode() != 0) {
        std::fprintf(stderr, "the client failed\n");
        std::exit(1);
    }
    return seconds / repeat;
}

void generate(dbk::Connection& c, const std::string& table, long long rows) {
    dbk::Result existing = c.query("SELECT COUNT(*) FROM dbk_bench." + table);
    if (existing.ok() && existing.next() && std::atoll(std::string(existing.text(0U)).c_str()) == rows)
        return;
    std::printf("generating %lld rows…\n", rows);
    c.exec("DROP TABLE IF EXISTS dbk_bench." + table);
    if (!c.exec("CREATE TABLE dbk_bench." + table +
                " (id INT PRIMARY KEY, name VARCHAR(40), price INT, note TEXT) ENGINE=InnoDB") ||
        !c.exec(dbk::format("INSERT INTO dbk_bench.%s SELECT seq, CONCAT('item ', seq), seq %% 1000, "
                            "REPEAT('n', seq %% 30) FROM seq_1_to_%d",
                            table, rows)))
        bench::fail("generating", c);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    dbk::ScopedScriptedUi ui;
    dbk::CDbkeeperDoc doc;
    doc.setLoginPrompt([](const dbk::LoginValues&) {
        return std::optional(dbk::LoginValues{env("DBKEEPER_TEST_USER"), env("DBKEEPER_TEST_PASSWORD"),
                                              env("DBKEEPER_TEST_HOST"), env("DBKEEPER_TEST_PORT")});
    });
    if (doc.connect() == dbk::CDbkeeperDoc::kNotConnected) {
        std::fprintf(stderr, "cannot connect\n");
        return 1;
    }
    dbk::Connection& c = doc.connection();
    c.exec("CREATE DATABASE IF NOT EXISTS dbk_bench");
    const std::pair<const char*, long long> tables[] = {{"million", 1000000}, {"ten_million", 10000000}};
    for (const auto& [table, rows] : tables)
        generate(c, table, rows);

    dbk::Connection checker;
    if (!checker.open(c.params()))
        bench::fail("cannot connect the checker", checker);
    dbk::CMainFrame frame(doc);
    dbk::DocumentContext& context = doc.context();
    std::printf("record list, InnoDB tables with ids 1..N, 100 rows per page; load %s", [] {
        static char load[64] = "?";
        if (FILE* f = std::fopen("/proc/loadavg", "r")) {
            if (!std::fgets(load, sizeof load, f))
                load[0] = 0;
            std::fclose(f);
        }
        return load;
    }());

    for (const auto& [table, rows] : tables) {
        context.currentDatabase = "dbk_bench";
        context.currentTable = table;
        context.nodeImage = 2;
        context.rowsPerPage = 100;
        context.pageIndex = 0;
        context.filterFlag = 0;
        frame.showRecordList();
        dbk::CDbkeeperView& list = *frame.recordList();

        // The page shown holds the table's rows at the page's offset in key order (ids are dense).
        auto check = [&](int pageIndex) {
            const long long first = static_cast<long long>(pageIndex) * 100 + 1;
            dbk::Result r =
                checker.query(dbk::format("SELECT * FROM dbk_bench.%s WHERE id BETWEEN %d AND %d "
                                          "ORDER BY id",
                                          table, first, first + 99));
            if (!r.ok())
                bench::fail("page check", checker);
            const std::vector<dbk::Row>& shown = list.rows();
            size_t row = 0;
            while (r.next()) {
                if (row >= shown.size() || shown[row] != r.row())
                    bench::differ(
                        dbk::format("%s page %d row %d: not the table's row", table, pageIndex, row));
                ++row;
            }
            if (row != shown.size())
                bench::differ(dbk::format("%s page %d: %d rows shown, %d in the table", table, pageIndex,
                                          shown.size(), row));
        };
        struct Step {
            std::string name;
            double seconds = 0;
            long long selects = 0;
            std::vector<std::string> statements;
        };
        std::vector<Step> steps;
        auto measure = [&](const std::string& name, const std::function<void()>& action) {
            const long long before = selectsSent(c);
            const auto start = std::chrono::steady_clock::now();
            action();
            const double seconds = secondsSince(start);
            Step step{name, seconds, selectsSent(c) - before, {}};
            for (const std::string& statement : {list.lastKeyStatement(), list.lastSelectStatement()}) {
                if (!statement.empty())
                    step.statements.push_back(statement);
            }
            check(context.pageIndex);
            steps.push_back(step);
            return seconds;
        };
        auto jump = [&](int page) {
            dbk::setModalRunner([page](QDialog& dialog) {
                auto* form = qobject_cast<dbk::PageDialogForm*>(&dialog);
                form->pageEdit()->setText(QString::number(page + 1));
                form->accept();
                return dialog.result();
            });
            list.openPageDialog();
        };

        measure("open (first page)", [&] { list.fill(); });
        const bool estimated = list.countOutstanding();
        const QString status =
            doc.context().recordCount > 0 ? QString::number(doc.context().recordCount) : "";
        const auto countStart = std::chrono::steady_clock::now();
        while (list.countOutstanding())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double countSeconds = secondsSince(countStart);
        if (context.recordCount != rows)
            bench::differ(dbk::format("%s: counted %d rows", table, context.recordCount));

        std::vector<double> next, previous;
        for (int i = 0; i < 20; ++i)
            next.push_back(measure("next page", [&] { list.nextPage(); }));
        for (int i = 0; i < 20; ++i)
            previous.push_back(measure("previous page", [&] { list.previousPage(); }));
        const int lastPage = static_cast<int>(rows / 100) - 1;  // the last page with rows
        measure("last page (page dialog)", [&] { jump(lastPage); });
        measure("page before the last", [&] { list.previousPage(); });
        measure("middle page (page dialog)", [&] { jump(lastPage / 2); });
        measure("a quarter in (page dialog)", [&] { jump(lastPage / 4); });
        measure("first page (page dialog)", [&] { jump(0); });

        std::printf("\n%s (%lld rows)\n", table, rows);
        std::printf("  opened: %.1f ms, count %s at once (%s), exact count %.3f s later in the background\n",
                    steps[0].seconds * 1000, estimated ? "estimated" : "exact", status.toUtf8().constData(),
                    countSeconds);
        std::printf(
            "  next page: %.1f ms median, %.1f ms worst of 20; previous page: %.1f ms median, %.1f ms "
            "worst of 20\n",
            bench::median(next) * 1000, *std::max_element(next.begin(), next.end()) * 1000,
            bench::median(previous) * 1000, *std::max_element(previous.begin(), previous.end()) * 1000);
        std::printf("  %-28s %10s %8s %12s %22s\n", "step", "program", "SELECTs", "client",
                    "offset+count (client)");
        // Each kind once: the client runs the statements the program sent for it, and the offset read
        // and count the list sent for the same page before.
        std::vector<std::string> shownKinds;
        for (const Step& step : steps) {
            if (std::find(shownKinds.begin(), shownKinds.end(), step.name) != shownKinds.end())
                continue;
            shownKinds.push_back(step.name);
            const double client = step.statements.empty() ? 0 : clientSeconds(step.statements, 5);
            std::printf("  %-28s %8.1f ms %8lld %9.1f ms", step.name.c_str(), step.seconds * 1000,
                        step.selects, client * 1000);
            int page = 0;
            if (step.name.rfind("last", 0) == 0)
                page = lastPage;
            else if (step.name.rfind("page before", 0) == 0)
                page = lastPage - 1;
            else if (step.name.rfind("middle", 0) == 0)
                page = lastPage / 2;
            else if (step.name.rfind("a quarter", 0) == 0)
                page = lastPage / 4;
            else if (step.name.rfind("next", 0) == 0)
                page = 1;
            const std::vector<std::string> old = {
                dbk::format("select * from dbk_bench.%s LIMIT %d,100", table, page * 100LL),
                dbk::format("select count(*) from dbk_bench.%s", table)};
            std::printf(" %19.1f ms\n", clientSeconds(old, 1) * 1000);
        }
        std::printf("  (the SELECTs a step sent include the key read of a jump; the count is read once)\n");
    }
    std::printf("\npeak memory: %ld KiB\n", peakKilobytes());
    return 0;
}
