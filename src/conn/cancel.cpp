#include "conn/cancel.h"

#include <mysqld_error.h>

#include <chrono>
#include <future>

#include "app/ui_services.h"

namespace dbk {

namespace {
// How long the waiting thread sleeps between two rounds of events, and how long a kill is given
// before it is sent again.
constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr auto kKillRepeat = std::chrono::milliseconds(500);
}  // namespace

bool killRunningStatement(const ConnectParams& params, unsigned long threadId, std::string* error) {
    ConnectParams shortLived = params;
    shortLived.database.clear();
    shortLived.connectTimeoutSeconds = 5;
    Connection killer;
    const bool killed = killer.open(shortLived) && killer.exec("KILL QUERY " + std::to_string(threadId));
    if (!killed && error)
        *error = killer.errorLine();
    return killed;
}

bool waitInterruptibly(Connection& connection, const std::function<void()>& work, const CancelToken& token) {
    BusyGuard busy(connection);
    // Read before the worker starts: this thread must not touch the handle while it runs.
    const ConnectParams params = connection.params();
    const unsigned long threadId = connection.threadId();
    auto worker = std::async(std::launch::async, [&work] {
        mysql_thread_init();
        work();
        mysql_thread_end();
    });
    bool killSent = false;
    auto lastKill = std::chrono::steady_clock::time_point();
    while (worker.wait_for(kPollInterval) != std::future_status::ready) {
        ui().letEventsThrough();
        const auto now = std::chrono::steady_clock::now();
        if (token.cancelled() && now - lastKill >= kKillRepeat) {
            killRunningStatement(params, threadId);
            killSent = true;
            lastKill = now;
        }
    }
    worker.get();
    return killSent;
}

InterruptibleOutcome runInterruptible(Connection& connection, std::string_view sql,
                                      const CancelToken& token) {
    InterruptibleOutcome outcome;
    if (token.cancelled()) {
        outcome.cancelled = true;
        return outcome;
    }
    const std::string statement(sql);
    waitInterruptibly(
        connection,
        [&] {
            outcome.ok = connection.exec(statement);
            outcome.affectedRows = outcome.ok ? connection.affectedRows() : 0;
        },
        token);
    if (!outcome.ok) {
        outcome.errorNumber = connection.errorNumber();
        outcome.errorText = connection.errorText();
        outcome.cancelled = token.cancelled() && outcome.errorNumber == ER_QUERY_INTERRUPTED;
    }
    return outcome;
}

}  // namespace dbk
