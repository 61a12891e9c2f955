#pragma once

// What every benchmark program measures with: settings from the environment, wall time,
// medians and bests of rounds, the peak memory of the process.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "conn/connection.h"

namespace bench {

// The variable's value, "" when it is not set.
inline const char* env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The benchmark server's administrator, from DBKEEPER_TEST_* as bench/run sets them.
inline dbk::ConnectParams serverParams() {
    dbk::ConnectParams params;
    params.host = env("DBKEEPER_TEST_HOST");
    params.port = static_cast<unsigned>(std::atoi(env("DBKEEPER_TEST_PORT")));
    params.user = env("DBKEEPER_TEST_USER");
    params.password = env("DBKEEPER_TEST_PASSWORD");
    return params;
}

// The peak resident memory of this process so far.
inline long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double best(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

// A statement the benchmark needs failed: say which, and stop.
[[noreturn]] inline void fail(const char* what, const dbk::Connection& c) {
    std::fprintf(stderr, "%s: %s\n", what, c.errorLine().c_str());
    std::exit(1);
}

// The two sides of a comparison produced different results: say what differs, and stop.
[[noreturn]] inline void differ(const std::string& what) {
    std::fprintf(stderr, "DIFFERENT RESULTS: %s\n", what.c_str());
    std::exit(2);
}

// "CHECKSUM TABLE" of a table (database.table): equal checksums, equal rows.
inline std::string tableChecksum(dbk::Connection& c, const std::string& table) {
    dbk::Result r = c.query("CHECKSUM TABLE " + table);
    if (!r.ok() || !r.next() || r.isNull(1U))
        fail(("checksum of " + table).c_str(), c);
    return std::string(r.text(1U));
}

// Both tables hold the same rows: the same count and checksum.
inline void expectSameTable(dbk::Connection& c, const std::string& expected, const std::string& actual,
                            const std::string& what) {
    const auto count = [&c](const std::string& table) {
        dbk::Result r = c.query("SELECT COUNT(*) FROM " + table);
        if (!r.ok() || !r.next())
            fail(("count of " + table).c_str(), c);
        return std::string(r.text(0U));
    };
    const std::string rows = count(expected);
    const std::string got = count(actual);
    if (rows != got)
        differ(what + ": " + got + " rows instead of " + rows);
    if (tableChecksum(c, expected) != tableChecksum(c, actual))
        differ(what + ": the rows differ from those of " + expected + " (checksum)");
}

}  // namespace bench
