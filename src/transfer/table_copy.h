#pragma once

#include <QString>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "transfer/copy_engine.h"

namespace dbk {

class Connection;

// The CREATE TABLE text of the copy, rewritten as the user picks the target. Texts are UTF-8.
//
// "CREATE TABLE db.name" followed by what comes after the table's name in the text: the name is
// read as a name, quoted or bare and with its database or without, so that a "(" or a backquote
// inside it is part of it. A text that does not start with CREATE ... TABLE follows whole. The
// database is left out when none is chosen.
std::string retargetedStatement(std::string_view statement, std::string_view database,
                                std::string_view table);
// The table type clause (ENGINE= or TYPE=, whichever the text has, outside parentheses and
// quotes) with the chosen type in place of its value; table options after it stay. A text
// without one gets `appendedClause` (the server's clause for the type) at its end.
std::string retypedStatement(std::string_view statement, std::string_view type,
                             std::string_view appendedClause);

// The log of a data copy ("rep_table.log"), in Shift_JIS. The line texts:
std::string copyLogStartLine();                            // "データ移行開始\n"
std::string copyLogPageStart(uint64_t from, uint64_t to);  // "データ取得開始 %d - %d     "
std::string copyLogErrorLine(std::string_view statement);  // "\nError: Query=%s\n"
std::string copyLogPageDone(uint64_t from, uint64_t to);   // "データ取得成功 %d - %d\n"
std::string copyLogEndLine();                              // "データ移行終了\n"
std::string copyLogFailedLine();                           // "データ取得失敗\n"

// Writes the copy engine's report into the log file, the statements of refused rows turned from
// UTF-8 into the file's Shift_JIS.
class TableCopyLog : public CopyLogSink {
public:
    // Creates (or empties) the file; false when it cannot.
    bool open(const QString& path);
    // Closes the file; false when some line could not be written.
    bool close();

    void started() override;
    void pageStarted(uint64_t from, uint64_t to) override;
    void rowRefused(std::string_view statement, unsigned int errorNumber, const QString& errorText) override;
    void pageDone(uint64_t from, uint64_t to) override;
    void finished() override;
    void readFailed() override;

private:
    void write(const std::string& text);
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    bool writeFailed_ = false;
};

// What the form asks for: the CREATE statement as shown (UTF-8), the source (in the source
// session's encoding, as the opener names it), the target (UTF-8, as typed) and whether the rows
// go too.
struct TableCopyRequest {
    std::string createStatement;
    std::string sourceDatabase;
    std::string sourceTable;
    std::string targetDatabase;
    std::string targetTable;
    bool copyData = false;
    QString logPath;
};

struct TableCopyOutcome {
    enum class Status {
        Created,        // the table was created; no rows asked for
        Copied,         // created, and the rows were copied (see copy for refused rows or a failure)
        LogNotCreated,  // the log file could not be created: nothing was sent
        CreateRefused,  // the server refused the CREATE statement: no rows were copied
    };
    Status status = Status::Created;
    unsigned int errorNumber = 0;  // of CreateRefused
    QString errorText;
    uint64_t sourceRows = 0;
    CopyOutcome copy;
    bool logIncomplete = false;
    // The batch size was not a number above 0: the log was started and no row was read.
    bool noBatchSize = false;
};

// "select count(*) from %s.%s" of the source (names in its session's set); nullopt when it fails.
std::optional<uint64_t> sourceRowCount(Connection& connection, std::string_view database,
                                       std::string_view table);
// The table's CREATE TABLE text, read in utf8mb4 (UTF-8); nullopt when it cannot be read.
std::optional<std::string> createTableText(Connection& connection, std::string_view database,
                                           std::string_view table);

// The create button: the log first, then the CREATE statement, then the rows through the copy
// engine: within the server, or from a source connection to another (or the same) server.
class TableCopy {
public:
    explicit TableCopy(Connection& connection) : source_(connection), target_(connection) {}
    // The CREATE statement goes to the target; the rows are read on the source.
    TableCopy(Connection& source, Connection& target) : source_(source), target_(target) {}
    // The rows copied after each page, and the source count (the rows read) at the end.
    void setSourceCount(std::function<void(uint64_t)> handler) { onSourceCount_ = std::move(handler); }
    void setProgress(std::function<void(uint64_t)> handler) { onProgress_ = std::move(handler); }
    // Rows per INSERT and per page of the log; nullopt: no usable batch size, so that the log gets
    // its first line and no row is copied.
    void setBatchRows(std::optional<uint64_t> rows) { batchRows_ = rows; }
    // Stops the rows' copy when cancelled (see CopyEngine::setCancelToken).
    void setCancelToken(const CancelToken* token) { cancel_ = token; }

    TableCopyOutcome run(const TableCopyRequest& request);

    // The completion notice: "正常に作成されました", and what went wrong with the rows.
    static QString completionText(const TableCopyOutcome& outcome, const QString& logPath);

    static constexpr int kRowsRefusedMessage = 21005;
    static constexpr int kLogNotCreatedMessage = 21006;
    static constexpr int kSourceFailedMessage = 21007;
    static constexpr int kTargetFailedMessage = 21008;
    static constexpr int kConnectFailedMessage = 21009;
    static constexpr int kLogIncompleteMessage = 21010;
    static constexpr int kNoBatchSizeMessage = 21200;
    static constexpr int kCancelledAfterRowsMessage = 21311;
    static constexpr int kStatementCancelledMessage = 21312;
    static constexpr int kInterruptedMessage = 22100;

private:
    Connection& source_;
    Connection& target_;
    std::optional<uint64_t> batchRows_ = CopyEngine::kPageRows;
    std::function<void(uint64_t)> onSourceCount_;
    std::function<void(uint64_t)> onProgress_;
    const CancelToken* cancel_ = nullptr;
};

}  // namespace dbk
