#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/drawing_list.h"
#include "monitor/status_line.h"

namespace dbk {

class Connection;

// One thread of the server's process list; NULL values are empty.
using ThreadRow = std::vector<std::optional<std::string>>;

// Width of a column of the thread list.
int threadColumnWidth(size_t column);

// The field names of the client library's process listing, which make the list's columns;
// nullopt when the listing gives nothing.
std::optional<std::vector<std::string>> threadListFields(Connection& connection);

// The rows of SHOW PROCESSLIST in the order the list shows them (the last row first);
// nullopt when the statement fails or returns no rows.
std::optional<std::vector<ThreadRow>> readThreadList(Connection& connection);

// What one tick of the monitor read: the counters (nullopt when the status line could not be
// read) and the threads (nullopt when the list could not be read).
struct MonitorReading {
    std::optional<StatusCounters> counters;
    std::optional<std::vector<ThreadRow>> threads;
};

// One tick: the status line and the thread list, with the connection marked busy meanwhile.
// nullopt (nothing sent) while another operation has the connection busy.
std::optional<MonitorReading> readMonitor(Connection& connection);

// The seven counters of the form in their order, with the trace that charts each (-1: none).
struct CounterField {
    const char* caption;
    std::optional<uint64_t> StatusCounters::*value;
    int trace;
};
const std::array<CounterField, 7>& counterFields();
// The five traces in the order they are added.
const std::array<Rgb, 5>& traceColours();

// A range field's text as the upper bound of its trace: a leading signed integer, 0 when
// the text does not start with one.
long long rangeFromText(std::string_view text);

// The flush buttons of the form with their statements and notices.
struct FlushButton {
    const char* caption;
    const char* statement;
    int notice;  // message number
};
const std::array<FlushButton, 5>& flushButtons();

// The thread whose first column is this id, read from SHOW PROCESSLIST; nullopt when it is
// not there or the list cannot be read.
std::optional<ThreadRow> findThread(Connection& connection, long long id);

// A leading signed decimal integer of a field ("12" → 12); 0 when there is none.
long long leadingInteger(std::string_view text);

enum class KillOutcome {
    Killed,
    Ended,          // the thread was gone already (or the id names none)
    OwnConnection,  // not sent: it would end this program's own session
    Refused,        // the server refused (see the connection's error)
};
KillOutcome killThread(Connection& connection, long long id);

}  // namespace dbk
