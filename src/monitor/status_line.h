#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dbk {

// The counters of the server's one-line status report. A counter the line lacks (MariaDB
// has no "Flush tables") stays empty.
struct StatusCounters {
    std::optional<uint64_t> uptime;
    std::optional<uint64_t> threads;
    std::optional<uint64_t> questions;
    std::optional<uint64_t> slowQueries;
    std::optional<uint64_t> opens;
    std::optional<uint64_t> flushTables;
    std::optional<uint64_t> openTables;

    bool operator==(const StatusCounters&) const = default;
};

// Reads "Uptime: 12  Threads: 1  Questions: 5 ..." label by label: a label is the words
// before a colon, its value the word after it; runs of blanks count as one.
StatusCounters parseStatusLine(std::string_view line);

// The value of one label of the line ("Slow queries"), as the line writes it.
std::optional<std::string> statusLineValue(std::string_view line, std::string_view label);

}  // namespace dbk
