// Fill time of the record list's first and last page on a 1,000,000-row InnoDB table, and
// the program's peak memory while paging. Run through bench/run.
#include <sys/resource.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/main_frame.h"
#include "app/scripted_ui_services.h"
#include "bench_support.h"
#include "browser/dbkeeper_view.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"

namespace {

using bench::env;
using bench::peakKilobytes;

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
    const long long kRows = 1000000;
    c.exec("CREATE DATABASE IF NOT EXISTS dbk_bench");
    dbk::Result existing = c.query("SELECT COUNT(*) FROM dbk_bench.million");
    if (!existing.ok() || !existing.next() || std::atoll(std::string(existing.text(0U)).c_str()) != kRows) {
        std::printf("generating %lld rows…\n", kRows);
        c.exec("DROP TABLE IF EXISTS dbk_bench.million");
        c.exec(
            "CREATE TABLE dbk_bench.million (id INT PRIMARY KEY, name VARCHAR(40), price INT, note TEXT) "
            "ENGINE=InnoDB");
        c.exec(
            "INSERT INTO dbk_bench.million SELECT seq, CONCAT('item ', seq), seq % 1000, "
            "REPEAT('n', seq % 30) FROM seq_1_to_1000000");
    }

    dbk::CMainFrame frame(doc);
    dbk::DocumentContext& context = doc.context();
    context.currentDatabase = "dbk_bench";
    context.currentTable = "million";
    context.nodeImage = 2;
    context.rowsPerPage = 100;
    frame.showRecordList();
    const long before = peakKilobytes();

    // Every filled page holds the rows the server gives for the same page, cell for cell.
    dbk::Connection checker;
    if (!checker.open(c.params()))
        bench::fail("cannot connect the checker", checker);
    auto checkPage = [&](int pageIndex) {
        dbk::Result r = checker.query("SELECT * FROM dbk_bench.million ORDER BY id LIMIT " +
                                      std::to_string(pageIndex * 100) + ", 100");
        if (!r.ok())
            bench::fail("page check", checker);
        const std::vector<dbk::Row>& shown = frame.recordList()->rows();
        size_t row = 0;
        while (r.next()) {
            if (row >= shown.size() || shown[row] != r.row())
                bench::differ("page " + std::to_string(pageIndex) + ", row " + std::to_string(row) +
                              ": the list shows other values than the server's page");
            ++row;
        }
        if (row != shown.size() || row != 100)
            bench::differ("page " + std::to_string(pageIndex) + ": " + std::to_string(shown.size()) +
                          " rows shown, " + std::to_string(row) + " on the server");
    };
    auto fillSeconds = [&](int pageIndex) {
        context.pageIndex = pageIndex;
        const auto start = std::chrono::steady_clock::now();
        frame.recordList()->fill();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        checkPage(pageIndex);
        return seconds;
    };
    fillSeconds(0);  // warm the buffer pool
    const double first = fillSeconds(0);
    const int lastPage = static_cast<int>(kRows / 100) - 1;
    const double last = fillSeconds(lastPage);
    // page through a stretch of the table as a user holding the arrow key would
    double paging = 0;
    for (int page = 0; page < 20; ++page)
        paging += fillSeconds(page * 500);

    std::printf("record list, 1,000,000-row InnoDB table, 100 rows per page\n");
    std::printf("  first page: %.3f s (%d rows)\n", first, 100);
    std::printf("  last page (index %d): %.3f s\n", lastPage, last);
    std::printf("  20 pages spread over the table: %.3f s (%.3f s a page)\n", paging, paging / 20);
    std::printf("  peak memory: %ld KiB before paging, %ld KiB after\n", before, peakKilobytes());
    return 0;
}
