#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "conn/cancel.h"
#include "transfer/kanji_converter.h"

namespace dbk {

class Connection;
class ScriptReader;

// How a press of the run button ended.
enum class ScriptRunEnd {
    Declined,           // the user answered No
    DatabaseRefused,    // "USE" failed (10059)
    FileUnreadable,     // the file could not be opened or read (10060)
    Completed,          // the end of the file was reached (10061; 10060 when a statement failed)
    ErrorLimitReached,  // more than 20 statements failed (10062, then 10060)
    Cancelled           // stopped on request between two statements
};

// Runs SQL script files statement by statement on a borrowed connection. One runner lives as
// long as one opening of the script form: its error count and error texts accumulate over every
// run, and once more than 20 statements have failed every later run stops at once.
class ScriptRunner {
public:
    static constexpr int kErrorLimit = 20;

    // Progress of a run in percent of the file's bytes, 0 to 100; called when it changes.
    using ProgressHandler = std::function<void(int percent)>;
    // The server's error text of each failed statement, in order.
    using ErrorHandler = std::function<void(const std::string& errorText)>;

    explicit ScriptRunner(Connection& connection);

    void setProgressHandler(ProgressHandler handler) { onProgress_ = std::move(handler); }
    void setErrorHandler(ErrorHandler handler) { onError_ = std::move(handler); }

    // The run button: asks 10058, sends "USE" with the database, runs the file and shows how it
    // ended: 10061 only when none of this run's statements failed, else 10060. The connection is marked busy
    // throughout, and its character set is what it was before when the run ends, whatever the script set.
    ScriptRunEnd run(const QString& path, const std::string& database);
    // Asks a run to stop before its next statement; it then says after which statement it
    // stopped instead of a completion message. The next run starts afresh.
    void cancel() { cancel_.cancel(); }
    // The statements sent by the last run.
    int statementsRun() const { return statementsRun_; }

    int errorCount() const { return errorCount_; }
    // Each failed statement's error text followed by a line feed.
    const std::string& errorLog() const { return errorLog_; }

    // Percent of `size` that `offset` is, truncated; an empty file counts as done.
    static int percentOf(uint64_t offset, uint64_t size);
    // Statements of nothing but blanks and line ends (trailing blank lines of a file) are not
    // sent: the server would refuse them as empty.
    static bool isBlank(const std::string& statement);

private:
    ScriptRunEnd runFile(const QString& path);
    // A statement of a file written in `code` as the session takes it.
    std::string inSessionCode(const std::string& statement, KanjiCode code) const;
    void execute(const std::string& statement);
    void reportProgress(int percent);

    Connection& connection_;
    CancelToken cancel_;
    int statementsRun_ = 0;
    int errorCount_ = 0;
    std::string errorLog_;
    int lastPercent_ = -1;
    ProgressHandler onProgress_;
    ErrorHandler onError_;
};

}  // namespace dbk
