#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "conn/connection.h"

namespace dbk {

// How a streamed read ended.
struct StreamOutcome {
    enum class Status {
        Complete,         // every row was handed over
        StatementFailed,  // the server refused the statement; nothing was read
        NoResultSet,      // the statement ran but returned no rows at all (not even an empty result)
        ReadFailed,       // the result broke off (the server went away) or a later result failed
        Stopped,          // the consumer asked to stop; the rest of the result was discarded
        Cancelled,        // cancel() was called; the rest of the result was discarded
    };
    Status status = Status::Complete;
    uint64_t rows = 0;  // rows handed to the consumer
    // The server's error of StatementFailed and ReadFailed (and of a server lost while the rest
    // of a stopped or cancelled result was discarded).
    unsigned int errorNumber = 0;
    std::string errorText;
    bool complete() const { return status == Status::Complete; }
};

// Reads the rows of one statement as they come from the server (mysql_use_result), one row in
// memory at a time, and hands each to a consumer. While it runs the connection is marked busy;
// every 1,000 rows (rows 1, 1001, 2001, ...) the progress is reported and one round of window
// events is let through. Results that follow the first one (those of a CALL) are read and
// dropped, so the connection takes the next statement afterwards.
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

    // Asks a run to stop before its next row (or not to start). It stays asked.
    void cancel() { cancelRequested_ = true; }
    bool cancelRequested() const { return cancelRequested_; }

    StreamOutcome run(std::string_view statement, const RowHandler& onRow,
                      const FieldsHandler& onFields = {});

    static constexpr uint64_t kEventStep = 1000;

private:
    // Reads what is left of a result without handing it on; false when the server went away.
    bool discardRest(Result& result);

    Connection& connection_;
    Progress progress_;
    bool cancelRequested_ = false;
    bool letsEventsThrough_ = true;
};

}  // namespace dbk
