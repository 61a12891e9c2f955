// The picture pane's server page on a server of 200 databases of 20 tables each: the disk use
// read in one statement grouped by database against one table-status statement per database
// (once, and twice over the list as two passes would). Run through bench/run.
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "conn/connection.h"
#include "conn/text_format.h"
#include "monitor/graph_pages.h"

namespace {

using bench::env;

constexpr int kDatabases = 200;
constexpr int kTables = 20;

std::string databaseName(int i) {
    return dbk::format("dbk_graph_bench_%03d", i);
}

bool generated(dbk::Connection& c) {
    dbk::Result r = c.query(
        "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA LIKE 'dbk\\_graph\\_bench\\_%'");
    return r.ok() && r.next() && std::atoi(std::string(r.text(0U)).c_str()) == kDatabases * kTables;
}

void generate(dbk::Connection& c) {
    std::printf("creating %d databases of %d tables…\n", kDatabases, kTables);
    std::fflush(stdout);
    for (int d = 0; d < kDatabases; ++d) {
        const std::string db = databaseName(d);
        c.exec("DROP DATABASE IF EXISTS " + db);
        c.exec("CREATE DATABASE " + db);
        for (int t = 0; t < kTables; ++t) {
            const std::string table = dbk::format("%s.t%02d", db, t);
            c.exec("CREATE TABLE " + table +
                   " (id INT PRIMARY KEY, name VARCHAR(40), KEY (name)) ENGINE=InnoDB");
            c.exec(dbk::format("INSERT INTO %s SELECT seq, CONCAT('row ', seq) FROM seq_1_to_%d", table,
                               10 + t));
        }
    }
}

// Median of five runs, in seconds.
double median(const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const dbk::ConnectParams params = bench::serverParams();
    dbk::Connection c;
    if (!c.open(params)) {
        std::fprintf(stderr, "cannot connect: %s\n", c.errorLine().c_str());
        return 1;
    }
    if (!generated(c))
        generate(c);

    // Reading a table's figures opens the table; a server whose table caches are smaller than
    // its number of tables reads every table definition again on each drawing, either way.
    const auto variable = [&](const char* name) {
        dbk::Result r = c.query(dbk::format("SELECT @@GLOBAL.%s", name));
        return r.ok() && r.next() ? std::string(r.text(0U)) : std::string("?");
    };
    const std::string definitions = variable("table_definition_cache"), opened = variable("table_open_cache");
    size_t rows = 0;
    // Both ways read the same figures for the bench's databases, in every run.
    dbk::graph::SpaceListing groupedListing;
    const auto benchFigures = [](const dbk::graph::SpaceListing& listing) {
        std::vector<std::string> figures;
        for (const dbk::graph::SpaceFigures& f : listing.entries) {
            if (f.name.rfind("dbk_graph_bench_", 0) == 0)
                figures.push_back(f.name + " " + std::to_string(f.rows) + " " + std::to_string(f.data) + " " +
                                  std::to_string(f.maximum) + " " + std::to_string(f.index) + " " +
                                  std::to_string(f.free));
        }
        return figures;
    };
    const auto sameAsGrouped = [&](const dbk::graph::SpaceListing& listing) {
        const std::vector<std::string> expected = benchFigures(groupedListing);
        const std::vector<std::string> got = benchFigures(listing);
        if (expected.size() != static_cast<size_t>(kDatabases) || got != expected)
            bench::differ("the per-database figures (" + std::to_string(got.size()) +
                          " databases) differ from the grouped ones (" + std::to_string(expected.size()) +
                          ")");
    };
    const auto measure = [&](const char* caches) {
        dbk::graph::readServerSpaceGrouped(c);  // warm what the caches can hold
        const double grouped = median([&] {
            groupedListing = dbk::graph::readServerSpaceGrouped(c);
            rows = dbk::graph::serverPage("bench", groupedListing).names.size();
        });
        const double perDatabase = median([&] {
            const dbk::graph::SpaceListing listing = dbk::graph::readServerSpaceByDatabase(c);
            dbk::graph::serverPage("bench", listing);
            sameAsGrouped(listing);
        });
        const double twice = median([&] {
            dbk::graph::readServerSpaceByDatabase(c);
            const dbk::graph::SpaceListing listing = dbk::graph::readServerSpaceByDatabase(c);
            dbk::graph::serverPage("bench", listing);
            sameAsGrouped(listing);
        });
        std::printf("server page of %zu databases (%d x %d tables), %s, median of 5:\n", rows, kDatabases,
                    kTables, caches);
        std::printf("  one grouped information_schema statement:   %.3f s\n", grouped);
        std::printf("  SHOW TABLE STATUS per database, once:       %.3f s (%.1f x)\n", perDatabase,
                    perDatabase / grouped);
        std::printf("  SHOW TABLE STATUS per database, two passes: %.3f s (%.1f x)\n", twice,
                    twice / grouped);
    };
    measure(dbk::format("table_definition_cache %s, table_open_cache %s", definitions, opened).c_str());
    c.exec("SET GLOBAL table_definition_cache = 10000, table_open_cache = 10000");
    measure("both table caches 10000");
    c.exec(dbk::format("SET GLOBAL table_definition_cache = %s, table_open_cache = %s", definitions, opened));
    return 0;
}
