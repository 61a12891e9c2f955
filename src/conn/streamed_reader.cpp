#include "conn/streamed_reader.h"

#include "app/ui_services.h"

namespace dbk {

namespace {

void takeError(StreamOutcome& outcome, const Connection& connection) {
    outcome.errorNumber = connection.errorNumber();
    outcome.errorText = connection.errorText();
}

}  // namespace

StreamOutcome StreamedReader::run(std::string_view statement, const RowHandler& onRow,
                                  const FieldsHandler& onFields) {
    using Status = StreamOutcome::Status;
    StreamOutcome outcome;
    if (cancelRequested_) {
        outcome.status = Status::Cancelled;
        return outcome;
    }
    // Until every result has been read the connection can take no other statement.
    BusyGuard busy(connection_);
    {
        Result result = connection_.stream(statement);
        if (!result.ok()) {
            outcome.status = Status::StatementFailed;
            takeError(outcome, connection_);
            return outcome;
        }
        if (!result.hasRows()) {
            outcome.status = Status::NoResultSet;
        } else if (onFields && onFields(result.fields()) == Step::Stop) {
            outcome.status = Status::Stopped;
        } else {
            for (;;) {
                if (cancelRequested_) {
                    outcome.status = Status::Cancelled;
                    break;
                }
                if (!result.next())
                    break;
                ++outcome.rows;
                if (onRow(result) == Step::Stop) {
                    outcome.status = Status::Stopped;
                    break;
                }
                if (outcome.rows % kEventStep == 1) {
                    if (progress_)
                        progress_(outcome.rows);
                    if (letsEventsThrough_)
                        ui().letEventsThrough();
                }
            }
        }
        if (outcome.status == Status::Stopped || outcome.status == Status::Cancelled) {
            if (!discardRest(result)) {
                takeError(outcome, connection_);
                return outcome;
            }
        } else if (!result.ok()) {
            outcome.status = Status::ReadFailed;
            takeError(outcome, connection_);
            return outcome;
        }
    }
    // A CALL sends a result of its own after the procedure's results; a procedure that fails
    // after its rows reports the failure there.
    connection_.discardPendingResults();
    if (connection_.errorNumber() != 0 && outcome.errorNumber == 0) {
        takeError(outcome, connection_);
        if (outcome.status == Status::Complete || outcome.status == Status::NoResultSet)
            outcome.status = Status::ReadFailed;
    }
    return outcome;
}

bool StreamedReader::discardRest(Result& result) {
    uint64_t skipped = 0;
    while (result.next()) {
        if (++skipped % kEventStep == 0 && letsEventsThrough_)
            ui().letEventsThrough();
    }
    return result.ok();
}

}  // namespace dbk
