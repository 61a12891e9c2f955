#include "conn/streamed_reader.h"

#include <mysqld_error.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/ui_services.h"
#include "conn/cancel.h"

namespace dbk {

namespace {

using Clock = std::chrono::steady_clock;

// Rows copied out of the client library's buffer: the length of every cell (kNullCell for NULL)
// and the bytes of the cells one after the other.
struct RowBatch {
    std::vector<unsigned long> lengths;
    std::string bytes;
    size_t rows = 0;
    void clear() {
        lengths.clear();
        bytes.clear();
        rows = 0;
    }
};
constexpr unsigned long kNullCell = ~0UL;

// How far the worker may read ahead of the consumer.
constexpr size_t kAheadRows = 4096;
constexpr size_t kAheadBytes = 512 * 1024;
// A waiting consumer is woken when this much has come; fewer rows it finds when it looks again
// after kRowPoll. Rows that come fast thus cross over in batches, one wake-up each, and a row
// that comes alone waits a few milliseconds at most.
constexpr size_t kWakeRows = 256;
constexpr size_t kWakeBytes = 64 * 1024;
constexpr auto kRowPoll = std::chrono::milliseconds(2);

// How long the consumer waits for the end of a stopped read before it looks at the window and
// the time again.
constexpr auto kStopPoll = std::chrono::milliseconds(20);

// How the worker's read ended.
struct ReadEnd {
    enum class Kind { StatementFailed, NoResultSet, RowsEnded, RowsBroke };
    Kind kind = Kind::RowsEnded;
    bool laterFailed = false;  // a result after the first one failed (that of a CALL)
    unsigned int errorNumber = 0;
    std::string errorText;
};

// What the worker and the consumer share; every member but `stop` under `mutex`.
struct Channel {
    std::mutex mutex;
    std::condition_variable rowsReady;  // the consumer waits for the fields, rows or the end
    std::condition_variable roomReady;  // the worker waits for the consumer to take rows
    RowBatch pending;
    std::vector<FieldInfo> fields;
    bool hasFields = false;
    bool ended = false;
    bool consumerWaiting = false;
    bool workerWaiting = false;
    // The consumer wants no more rows: the worker reads to the end without keeping them.
    std::atomic<bool> stop{false};
    ReadEnd end;
};

// The worker: runs the statement, copies its rows into the channel and reads the results that
// follow. It alone touches the connection until it ended.
void readRows(Connection& connection, const std::string& statement, Channel& channel) {
    mysql_thread_init();
    using Kind = ReadEnd::Kind;
    ReadEnd end;
    const auto takeError = [&end, &connection] {
        end.errorNumber = connection.errorNumber();
        end.errorText = connection.errorText();
    };
    {
        Result result = connection.stream(statement);
        if (!result.ok()) {
            end.kind = Kind::StatementFailed;
            takeError();
        } else if (!result.hasRows()) {
            end.kind = Kind::NoResultSet;
        } else {
            const unsigned columns = result.fieldCount();
            {
                const std::lock_guard lock(channel.mutex);
                channel.fields = result.fields();
                channel.hasFields = true;
                if (channel.consumerWaiting)
                    channel.rowsReady.notify_one();
            }
            while (result.next()) {
                if (channel.stop.load(std::memory_order_relaxed))
                    continue;
                std::unique_lock lock(channel.mutex);
                RowBatch& batch = channel.pending;
                while (!channel.stop && (batch.rows >= kAheadRows || batch.bytes.size() >= kAheadBytes)) {
                    channel.workerWaiting = true;
                    channel.roomReady.wait(lock);
                    channel.workerWaiting = false;
                }
                if (channel.stop)
                    continue;
                for (unsigned i = 0; i < columns; ++i) {
                    if (result.isNull(i)) {
                        batch.lengths.push_back(kNullCell);
                    } else {
                        const std::string_view text = result.text(i);
                        batch.lengths.push_back(static_cast<unsigned long>(text.size()));
                        batch.bytes.append(text);
                    }
                }
                ++batch.rows;
                if (channel.consumerWaiting && (batch.rows >= kWakeRows || batch.bytes.size() >= kWakeBytes))
                    channel.rowsReady.notify_one();
            }
            if (result.ok()) {
                end.kind = Kind::RowsEnded;
            } else {
                end.kind = Kind::RowsBroke;
                takeError();
            }
        }
    }
    // A CALL sends a result of its own after the procedure's results; a procedure that fails
    // after its rows reports the failure there.
    if (end.kind == Kind::NoResultSet || end.kind == Kind::RowsEnded) {
        connection.discardPendingResults();
        if (connection.errorNumber() != 0) {
            end.laterFailed = true;
            takeError();
        }
    }
    mysql_thread_end();
    const std::lock_guard lock(channel.mutex);
    channel.end = std::move(end);
    channel.ended = true;
    channel.rowsReady.notify_one();
}

}  // namespace

bool StreamedReader::cancelRequested() const {
    return cancelRequested_ || (token_ && token_->cancelled());
}

StreamOutcome StreamedReader::run(std::string_view statement, const RowHandler& onRow,
                                  const FieldsHandler& onFields) {
    using Status = StreamOutcome::Status;
    StreamOutcome outcome;
    if (cancelRequested()) {
        outcome.status = Status::Cancelled;
        return outcome;
    }
    // Until every result has been read the connection can take no other statement.
    BusyGuard busy(connection_);
    // Read before the worker starts: this thread must not touch the handle while it runs.
    const ConnectParams params = connection_.params();
    const unsigned long threadId = connection_.threadId();
    Channel channel;
    std::thread worker(readRows, std::ref(connection_), std::string(statement), std::ref(channel));

    auto lastEvents = Clock::now();
    auto lastProgress = lastEvents;
    const auto letEventsThrough = [&] {
        if (letsEventsThrough_)
            ui().letEventsThrough();
        lastEvents = Clock::now();
    };
    // Ends the statement once the consumer wants no more: a result that does not end by itself
    // at once is stopped on the server.
    const auto endRead = [&] {
        {
            const std::lock_guard lock(channel.mutex);
            channel.stop = true;
            channel.pending.clear();
            channel.roomReady.notify_one();
        }
        const auto stopped = Clock::now();
        auto lastKill = Clock::time_point();
        for (;;) {
            {
                std::unique_lock lock(channel.mutex);
                if (!channel.ended) {
                    channel.consumerWaiting = true;
                    channel.rowsReady.wait_for(lock, kStopPoll);
                    channel.consumerWaiting = false;
                }
                if (channel.ended)
                    break;
            }
            const auto now = Clock::now();
            if (now - stopped >= kStopGrace && now - lastKill >= kKillRepeat) {
                killRunningStatement(params, threadId);
                outcome.killed = true;
                lastKill = Clock::now();
            }
            if (Clock::now() - lastEvents >= kEventInterval)
                letEventsThrough();
        }
    };

    // The rows as the consumer sees them: cells that point into the batch taken from the worker.
    Result view;
    view.ok_ = true;
    std::vector<char*> cells;
    std::vector<unsigned long> lengths;
    RowBatch batch;
    bool fieldsSeen = false;
    bool stopping = false;
    const auto stopWith = [&](Status status) {
        outcome.status = status;
        stopping = true;
    };
    try {
        while (!stopping) {
            if (cancelRequested()) {
                stopWith(Status::Cancelled);
                break;
            }
            bool ended = false;
            bool fieldsCame = false;
            {
                std::unique_lock lock(channel.mutex);
                if (channel.pending.rows == 0 && !channel.ended && (fieldsSeen || !channel.hasFields)) {
                    channel.consumerWaiting = true;
                    channel.rowsReady.wait_for(lock, kRowPoll);
                    channel.consumerWaiting = false;
                }
                if (!fieldsSeen && channel.hasFields) {
                    view.fields_ = channel.fields;
                    fieldsCame = true;
                }
                std::swap(batch, channel.pending);
                if (channel.workerWaiting)
                    channel.roomReady.notify_one();
                ended = channel.ended;
            }
            if (fieldsCame) {
                fieldsSeen = true;
                cells.assign(view.fields_.size(), nullptr);
                lengths.assign(view.fields_.size(), 0);
                if (onFields && onFields(view.fields_) == Step::Stop) {
                    stopWith(Status::Stopped);
                    break;
                }
            }
            if (batch.rows == 0) {
                if (ended)
                    break;
                if (Clock::now() - lastEvents >= kEventInterval)
                    letEventsThrough();
                continue;
            }
            size_t cell = 0;
            size_t offset = 0;
            for (size_t r = 0; r < batch.rows; ++r) {
                for (size_t i = 0; i < cells.size(); ++i) {
                    const unsigned long length = batch.lengths[cell++];
                    if (length == kNullCell) {
                        cells[i] = nullptr;
                        lengths[i] = 0;
                    } else {
                        cells[i] = batch.bytes.data() + offset;
                        lengths[i] = length;
                        offset += length;
                    }
                }
                view.row_ = cells.data();
                view.lengths_ = lengths.data();
                ++outcome.rows;
                if (onRow(view) == Step::Stop) {
                    stopWith(Status::Stopped);
                    break;
                }
                const auto now = Clock::now();
                if (outcome.rows == 1 || now - lastProgress >= kProgressInterval) {
                    if (progress_)
                        progress_(outcome.rows);
                    lastProgress = now;
                }
                if (outcome.rows == 1 || now - lastEvents >= kEventInterval)
                    letEventsThrough();
                if (cancelRequested()) {
                    stopWith(Status::Cancelled);
                    break;
                }
            }
            view.row_ = nullptr;
            view.lengths_ = nullptr;
            batch.clear();
        }
        if (stopping)
            endRead();
    } catch (...) {
        endRead();
        worker.join();
        throw;
    }
    worker.join();

    const ReadEnd& end = channel.end;
    using Kind = ReadEnd::Kind;
    const auto takeError = [&outcome, &end] {
        outcome.errorNumber = end.errorNumber;
        outcome.errorText = end.errorText;
    };
    if (stopping) {
        // The interruption the kill asked for is no failure; a server lost meanwhile is told.
        if (end.errorNumber != 0 && !(outcome.killed && end.errorNumber == ER_QUERY_INTERRUPTED))
            takeError();
        return outcome;
    }
    switch (end.kind) {
        case Kind::StatementFailed:
            outcome.status = Status::StatementFailed;
            takeError();
            break;
        case Kind::NoResultSet:
        case Kind::RowsEnded:
            outcome.status = end.kind == Kind::NoResultSet ? Status::NoResultSet : Status::Complete;
            if (end.laterFailed) {
                outcome.status = Status::ReadFailed;
                takeError();
            }
            break;
        case Kind::RowsBroke:
            outcome.status = Status::ReadFailed;
            takeError();
            break;
    }
    return outcome;
}

}  // namespace dbk
