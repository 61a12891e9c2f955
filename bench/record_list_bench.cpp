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

// The command-line client sends the statements in one process; its time and what it printed.
std::pair<double, QByteArray> clientRun(const std::vector<std::string>& statements) {
    QString script;
    for (const std::string& s : statements)
        script += QString::fromStdString(s) + ";\n";
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
    const QByteArray output = client.readAllStandardOutput();
    const double seconds = secondsSince(start);
    if (client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0) {
        std::fprintf(stderr, "the client failed\n");
        std::exit(1);
    }
    return {seconds, output};
}

// Rows as the client prints them in batch mode (no NULLs or special characters in these tables).
QByteArray batchText(const std::vector<dbk::Row>& rows) {
    QByteArray text;
    for (const dbk::Row& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            text += i ? "\t" : "";
            text += row[i] ? QByteArray::fromStdString(*row[i]) : QByteArray("NULL");
        }
        text += "\n";
    }
    return text;
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
            int page = 0;
            std::vector<double> program, client;
            long long selects = 0;
            std::vector<std::string> statements;  // the key read of a jump, then the rows
            QByteArray shown;                     // the rows shown, as the client prints them
        };
        std::vector<Step> steps;
        size_t at = 0;
        auto measure = [&](const std::string& name, const std::function<void()>& action) {
            const long long before = selectsSent(c);
            const auto start = std::chrono::steady_clock::now();
            action();
            const double seconds = secondsSince(start);
            const long long selects = selectsSent(c) - before;
            check(context.pageIndex);
            if (at == steps.size())
                steps.push_back({name, context.pageIndex, {}, {}, selects, {}, {}});
            Step& step = steps[at++];
            step.program.push_back(seconds);
            step.statements.clear();
            for (const std::string& statement : {list.lastKeyStatement(), list.lastSelectStatement()}) {
                if (!statement.empty())
                    step.statements.push_back(statement);
            }
            step.shown = batchText(list.rows());
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
        const int lastPage = static_cast<int>(rows / 100) - 1;  // the last page with rows
        bool estimated = false;
        std::vector<double> countSeconds;
        auto program = [&] {
            at = 0;
            measure("open (first page)", [&] { list.fill(); });
            estimated = list.countOutstanding();
            const auto countStart = std::chrono::steady_clock::now();
            while (list.countOutstanding())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            countSeconds.push_back(secondsSince(countStart));
            if (context.recordCount != rows)
                bench::differ(dbk::format("%s: counted %d rows", table, context.recordCount));
            for (int i = 0; i < 20; ++i)
                measure("next page", [&] { list.nextPage(); });
            for (int i = 0; i < 20; ++i)
                measure("previous page", [&] { list.previousPage(); });
            measure("last page (page dialog)", [&] { jump(lastPage); });
            measure("page before the last", [&] { list.previousPage(); });
            measure("middle page (page dialog)", [&] { jump(lastPage / 2); });
            measure("next after the middle", [&] { list.nextPage(); });
            measure("a quarter in (page dialog)", [&] { jump(lastPage / 4); });
            measure("first page (page dialog)", [&] { jump(0); });
        };
        // The client sends what the program sent for each step, and must print the rows it showed.
        auto client = [&] {
            for (Step& step : steps) {
                if (step.statements.empty())
                    continue;
                auto [seconds, output] = clientRun(step.statements);
                if (step.statements.size() == 2)  // the key a jump read comes first
                    output = output.mid(output.indexOf('\n') + 1);
                if (step.statements.back().find(" DESC LIMIT") != std::string::npos) {
                    // read from the end: the program puts the rows back in key order
                    QList<QByteArray> lines = output.split('\n');
                    lines.removeLast();
                    std::reverse(lines.begin(), lines.end());
                    output = lines.join('\n') + (lines.isEmpty() ? "" : "\n");
                }
                if (output != step.shown)
                    bench::differ(table + (": the client's rows differ at " + step.name));
                step.client.push_back(seconds);
            }
        };
        // Three rounds, the sides' order alternated; the client goes first in the middle round with
        // the statements of the round before (the same every round).
        program();
        client();
        client();
        program();
        program();
        client();

        std::printf("\n%s (%lld rows)\n", table, rows);
        std::printf(
            "  opened with the count %s at once; the exact count arrives %.3f s later (median of 3), "
            "in the background\n",
            estimated ? "estimated" : "exact", bench::median(countSeconds));
        std::printf("  %-28s %12s %8s %14s %14s\n", "step (median of 3 rounds)", "program", "SELECTs",
                    "client", "before (client)");
        for (size_t i = 0; i < steps.size(); ++i) {
            const Step& step = steps[i];
            if (i > 0 && steps[i - 1].name == step.name)
                continue;  // the 20 turns of a run are one row: their median and worst
            std::vector<double> all;
            std::vector<double> clientAll;
            for (size_t j = i; j < steps.size() && steps[j].name == step.name; ++j) {
                all.insert(all.end(), steps[j].program.begin(), steps[j].program.end());
                clientAll.insert(clientAll.end(), steps[j].client.begin(), steps[j].client.end());
            }
            // What the list sent for the same page before: the offset read and a count every time.
            const std::vector<std::string> before = {
                dbk::format("select * from dbk_bench.%s LIMIT %d,100", table, step.page * 100LL),
                dbk::format("select count(*) from dbk_bench.%s", table)};
            std::printf("  %-28s %9.1f ms %8lld %11.1f ms %11.1f ms", step.name.c_str(),
                        bench::median(all) * 1000, step.selects,
                        clientAll.empty() ? 0.0 : bench::median(clientAll) * 1000,
                        clientRun(before).first * 1000);
            if (all.size() > 3)
                std::printf("  (worst of %zu: %.1f ms)", all.size(),
                            *std::max_element(all.begin(), all.end()) * 1000);
            std::printf("\n");
        }
        std::printf(
            "  (SELECTs: what the step sent, the key read of a jump included; the count is read once a\n"
            "   table; the client's times include starting it, %.1f ms for SELECT 1)\n",
            clientRun({"SELECT 1"}).first * 1000);
    }
    std::printf("\npeak memory: %ld KiB\n", peakKilobytes());
    return 0;
}
