#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "conn/connection.h"

namespace dbk {

class CancelToken;

// How a streamed read ended.
struct StreamOutcome {
    enum class Status {
        Complete,         // every row was handed over
        StatementFailed,  // the server refused the statement; nothing was read
        NoResultSet,      // the statement ran but returned no rows at all (not even an empty result)
        ReadFailed,       // the result broke off (the server went away) or a later result failed
        Stopped,          // the consumer asked to stop; the statement was ended on the server
        Cancelled,        // cancel() was called; the statement was ended on the server
    };
    Status status = Status::Complete;
    uint64_t rows = 0;  // rows handed to the consumer
    // The server's error of StatementFailed and ReadFailed (and of a server lost while a stopped
    // or cancelled statement was being ended).
    unsigned int errorNumber = 0;
    std::string errorText;
    // The statement had to be stopped on the server (KILL QUERY) after a stop or a cancel.
    bool killed = false;
    bool complete() const { return status == Status::Complete; }
};

// Reads the rows of one statement as they come from the server (mysql_use_result) and hands each
// to a consumer. The rows are read by a worker thread a little ahead of the consumer (a few
// hundred kilobytes at most); the consumer runs on the calling thread. While a row is awaited,
// and every kEventInterval while rows come, one round of window events is let through, so the
// window answers and a Cancel click is heard even while the server computes the next row; the
// progress is reported at the first row and then every kProgressInterval.
//
// A stop (the consumer's, a failed write) or a cancel ends the statement on the server: when the
// result does not end by itself within kStopGrace, KILL QUERY is sent over a short second
// connection, again every kKillRepeat until the read ended, instead of reading the rest of the
// result. Results that follow the first one (those of a CALL) are read and dropped, so the
// connection takes the next statement afterwards. The connection is marked busy meanwhile.
class StreamedReader {
public:
    enum class Step { Continue, Stop };
    // Sees the result's fields before the first row (which columns are binary, their names).
    using FieldsHandler = std::function<Step(const std::vector<FieldInfo>&)>;
    // Sees one row; the values are valid until it returns.
    using RowHandler = std::function<Step(const Result&)>;
    using Progress = std::function<void(uint64_t row)>;

    explicit StreamedReader(Connection& connection) : connection_(connection) {}
    StreamedReader(const StreamedReader&) = delete;
    StreamedReader& operator=(const StreamedReader&) = delete;

    void setProgress(Progress progress) { progress_ = std::move(progress); }
    // Whether window events are let through while the rows come (on by default). A short read
    // made inside an event handler turns it off, so that no second event starts another read.
    void setLetsEventsThrough(bool letsEventsThrough) { letsEventsThrough_ = letsEventsThrough; }
    // A token whose cancel stops the read as cancel() does, looked at while rows are awaited.
    void setCancelToken(const CancelToken* token) { token_ = token; }

    // Asks a run to stop before its next row (or not to start). It stays asked.
    void cancel() { cancelRequested_ = true; }
    bool cancelRequested() const;

    StreamOutcome run(std::string_view statement, const RowHandler& onRow,
                      const FieldsHandler& onFields = {});

    static constexpr std::chrono::milliseconds kEventInterval{50};
    static constexpr std::chrono::milliseconds kProgressInterval{250};
    static constexpr std::chrono::milliseconds kStopGrace{50};
    static constexpr std::chrono::milliseconds kKillRepeat{500};

private:
    Connection& connection_;
    Progress progress_;
    const CancelToken* token_ = nullptr;
    bool cancelRequested_ = false;
    bool letsEventsThrough_ = true;
};

}  // namespace dbk
