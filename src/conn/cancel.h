#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "conn/connection.h"

namespace dbk {

// A request to stop a long operation: the form's Cancel button sets it, the operation looks at it
// between rows and statements. It stays set until reset().
class CancelToken {
public:
    void cancel() { requested_ = true; }
    bool cancelled() const { return requested_; }
    void reset() { requested_ = false; }

private:
    std::atomic<bool> requested_{false};
};

// While one lives, the window events a long operation lets through include the user's input, so
// that a click on Cancel reaches its form. The form is modal and disables every control that
// could start something else, so Cancel is the one input that can act.
class CancellableRun {
public:
    CancellableRun() { ++active_; }
    ~CancellableRun() { --active_; }
    CancellableRun(const CancellableRun&) = delete;
    CancellableRun& operator=(const CancellableRun&) = delete;
    static bool active() { return active_ > 0; }

private:
    static inline int active_ = 0;
};

// Stops the statement that the session `threadId` runs: KILL QUERY sent over a short second
// connection opened with `params` (those of the busy connection). False, with the reason in
// `error`, when that connection or the statement fails.
bool killRunningStatement(const ConnectParams& params, unsigned long threadId, std::string* error = nullptr);

// Runs `work`, which uses the connection and nothing else, in a worker thread while window
// events are let through, so that a Cancel click is seen; this thread touches the connection
// only after the work returned. Once the token is cancelled the statement the connection runs is
// stopped with KILL QUERY, sent again while the work goes on (the statement may not have reached
// the server when the first one arrived). The connection is marked busy meanwhile. True when a
// kill was sent.
bool waitInterruptibly(Connection& connection, const std::function<void()>& work, const CancelToken& token);

// The outcome of a statement run by runInterruptible.
struct InterruptibleOutcome {
    bool ok = false;
    bool cancelled = false;  // stopped on request: the server says the statement was interrupted
    unsigned int errorNumber = 0;
    std::string errorText;
    uint64_t affectedRows = 0;
};

// Runs one statement whose rows, if any, are read and dropped, through waitInterruptibly. The
// connection takes the next statement afterwards. A statement that ended before the kill took
// effect reports its own outcome.
InterruptibleOutcome runInterruptible(Connection& connection, std::string_view sql, const CancelToken& token);

}  // namespace dbk
