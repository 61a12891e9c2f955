#include "transfer/script_runner.h"

#include <algorithm>

#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/connection.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"
#include "transfer/kanji_file.h"
#include "transfer/script_reader.h"

namespace dbk {

namespace {

constexpr int kAskProceed = 10058;
constexpr int kDatabaseError = 10059;
constexpr int kErrors = 10060;
constexpr int kDone = 10061;
constexpr int kTooManyErrors = 10062;
constexpr int kCancelled = 21313;

// Puts the connection's character set back when a run ends: a script may say SET NAMES.
class CharacterSetKeeper {
public:
    explicit CharacterSetKeeper(Connection& connection)
        : connection_(connection), name_(connection.characterSetName()) {}
    ~CharacterSetKeeper() {
        if (!name_.empty() && connection_.isOpen())
            connection_.setCharacterSet(name_);
    }
    CharacterSetKeeper(const CharacterSetKeeper&) = delete;
    CharacterSetKeeper& operator=(const CharacterSetKeeper&) = delete;

private:
    Connection& connection_;
    std::string name_;
};

}  // namespace

ScriptRunner::ScriptRunner(Connection& connection) : connection_(connection) {}

int ScriptRunner::percentOf(uint64_t offset, uint64_t size) {
    if (size == 0)
        return 100;
    const double percent = static_cast<double>(offset) / static_cast<double>(size) * 100.0;
    return std::clamp(static_cast<int>(percent), 0, 100);
}

bool ScriptRunner::isBlank(const std::string& statement) {
    return statement.find_first_not_of(" \t\r\n\f\v") == std::string::npos;
}

ScriptRunEnd ScriptRunner::run(const QString& path, const std::string& database) {
    cancel_.reset();
    statementsRun_ = 0;
    if (!confirm(kAskProceed))
        return ScriptRunEnd::Declined;

    const BusyGuard busy(connection_);
    const CharacterSetKeeper characterSet(connection_);
    if (!connection_.exec(format("USE %s", connection_.ident(database)))) {
        ui().message(msg(kDatabaseError));
        return ScriptRunEnd::DatabaseRefused;
    }
    const int errorsBefore = errorCount_;
    const ScriptRunEnd end = runFile(path);
    if (end == ScriptRunEnd::Cancelled) {
        ui().message(msgf(kCancelled, statementsRun_));
        return end;
    }
    // A run in which a statement failed (or that the error limit stopped) did not complete
    // normally: the errors are listed, and the message says to look at them.
    const bool failed = end != ScriptRunEnd::Completed || errorCount_ > errorsBefore;
    ui().message(msg(failed ? kErrors : kDone));
    return end;
}

ScriptRunEnd ScriptRunner::runFile(const QString& path) {
    ScriptReader reader;
    // The file is read in the code it is written in (Shift_JIS, EUC-JP or UTF-8) and each
    // statement sent in the session's character set as it is then (a script may SET NAMES).
    const std::optional<KanjiCode> code = recogniseKanjiFile(path);
    if (!code || !reader.open(path))
        return ScriptRunEnd::FileUnreadable;
    const uint64_t size = reader.size();
    lastPercent_ = -1;

    std::string statement;
    uint64_t offset = 0;
    for (;;) {
        if (errorCount_ > kErrorLimit) {
            ui().message(msg(kTooManyErrors));
            return ScriptRunEnd::ErrorLimitReached;
        }
        const uint64_t next = reader.read(offset, statement);
        // A statement cut short by a failed read is not sent.
        if (reader.failed())
            return ScriptRunEnd::FileUnreadable;

        const int percent = percentOf(offset, size);
        reportProgress(percent);
        // A run that can be cancelled hears Cancel before every statement.
        if (percent % 2 == 0 || CancellableRun::active())
            ui().letEventsThrough();
        if (cancel_.cancelled())
            return ScriptRunEnd::Cancelled;

        execute(inSessionCode(statement, *code));
        if (next == offset)
            break;
        offset = next;
    }
    return ScriptRunEnd::Completed;
}

std::string ScriptRunner::inSessionCode(const std::string& statement, KanjiCode code) const {
    const ServerEncoding session = serverEncoding(connection_);
    const bool same = code == KanjiCode::Ascii ||
                      (code == KanjiCode::Utf8 && session == ServerEncoding::Utf8) ||
                      (code == KanjiCode::ShiftJis && session == ServerEncoding::ShiftJis);
    return same ? statement : toServer(session, decodeKanji(statement, code));
}

void ScriptRunner::reportProgress(int percent) {
    if (percent == lastPercent_)
        return;
    lastPercent_ = percent;
    if (onProgress_)
        onProgress_(percent);
}

void ScriptRunner::execute(const std::string& statement) {
    if (statement.empty() || isBlank(statement))
        return;
    ++statementsRun_;
    // Rows a statement returns are read and dropped, else the next statement would be refused
    // as out of sync. They are streamed so a large SELECT does not fill the memory.
    bool ok;
    {
        Result result = connection_.stream(statement);
        while (result.next()) {
        }
        ok = result.ok();
    }
    if (ok) {
        // A CALL answers with more than one result; a later one may carry the failure.
        connection_.discardPendingResults();
        ok = connection_.errorNumber() == 0;
    }
    if (ok)
        return;

    ++errorCount_;
    const std::string error = connection_.errorText();
    errorLog_ += error;
    errorLog_ += '\n';
    if (onError_)
        onError_(error);
}

}  // namespace dbk
