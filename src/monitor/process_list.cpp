#include "monitor/process_list.h"

#include <mysqld_error.h>

#include <algorithm>
#include <cctype>
#include <limits>

#include "conn/connection.h"

namespace dbk {

namespace {
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kCyan{0, 255, 255};
constexpr Rgb kWhite{255, 255, 255};
}  // namespace

int threadColumnWidth(size_t column) {
    static const int widths[] = {50, 75, 75, 75, 75, 50, 50, 140, 150};
    return column < std::size(widths) ? widths[column] : 100;
}

std::optional<std::vector<std::string>> threadListFields(Connection& connection) {
    Result listing = connection.listProcesses();
    if (!listing.ok() || !listing.hasRows())
        return std::nullopt;
    std::vector<std::string> names;
    for (const FieldInfo& field : listing.fields())
        names.push_back(field.name);
    return names;
}

std::optional<std::vector<ThreadRow>> readThreadList(Connection& connection) {
    Result rows = connection.query("SHOW PROCESSLIST");
    if (!rows.ok() || !rows.hasRows())
        return std::nullopt;
    std::vector<ThreadRow> threads;
    while (rows.next())
        threads.push_back(rows.row());
    std::reverse(threads.begin(), threads.end());
    return threads;
}

std::optional<MonitorReading> readMonitor(Connection& connection) {
    if (connection.busy())
        return std::nullopt;
    BusyGuard busy(connection);
    MonitorReading reading;
    const std::string line = connection.stat();
    if (!line.empty())
        reading.counters = parseStatusLine(line);
    reading.threads = readThreadList(connection);
    return reading;
}

const std::array<CounterField, 7>& counterFields() {
    static const std::array<CounterField, 7> fields{{
        {"起動秒数 ", &StatusCounters::uptime, -1},
        {"稼働中のスレッド数 (clients) ", &StatusCounters::threads, 0},
        {"mysqld が開始してからのクエリ数 ", &StatusCounters::questions, -1},
        {"long_query_time より以上のクエリ数", &StatusCounters::slowQueries, 1},
        {"mysqld が開いたテーブル数 ", &StatusCounters::opens, 3},
        {"reload コマンドの実行回数 ", &StatusCounters::flushTables, 2},
        {"現在開かれているテーブルの数", &StatusCounters::openTables, 4},
    }};
    return fields;
}

const std::array<Rgb, 5>& traceColours() {
    static const std::array<Rgb, 5> colours{kGreen, kYellow, kMagenta, kCyan, kWhite};
    return colours;
}

long long leadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    constexpr long long kMax = std::numeric_limits<long long>::max();
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        const int digit = text[i] - '0';
        // Too long a number stays at the largest one.
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

long long rangeFromText(std::string_view text) {
    return leadingInteger(text);
}

const std::array<FlushButton, 5>& flushButtons() {
    static const std::array<FlushButton, 5> buttons{{
        {"ホスト情報", "FLUSH HOSTS", 10084},
        {"履歴情報", "FLUSH LOGS", 10085},
        {"権限情報", "FLUSH Privileges", 22000},
        {"ステータス情報", "FLUSH STATUS", 10087},
        {"テーブル", "FLUSH TABLES", 10088},
    }};
    return buttons;
}

std::optional<ThreadRow> findThread(Connection& connection, long long id) {
    Result rows = connection.query("SHOW PROCESSLIST");
    if (!rows.ok())
        return std::nullopt;
    while (rows.next()) {
        if (leadingInteger(rows.text(0U)) == id)
            return rows.row();
    }
    return std::nullopt;
}

KillOutcome killThread(Connection& connection, long long id) {
    if (id <= 0)
        return KillOutcome::Ended;
    if (static_cast<unsigned long long>(id) == connection.threadId())
        return KillOutcome::OwnConnection;
    if (connection.kill(static_cast<unsigned long>(id)))
        return KillOutcome::Killed;
    return connection.errorNumber() == ER_NO_SUCH_THREAD ? KillOutcome::Ended : KillOutcome::Refused;
}

}  // namespace dbk
