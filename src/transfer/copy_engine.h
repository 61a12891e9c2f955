#pragma once

#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conn/cancel.h"
#include "conn/character_set_scope.h"
#include "conn/connection.h"
#include "conn/text_codec.h"

namespace dbk {

// Text of a session in the `client` encoding as UTF-8, and back (characters Shift_JIS lacks
// become "?").
std::string utf8FromClient(std::string_view text, ServerEncoding client);
std::string clientFromUtf8(std::string_view utf8, ServerEncoding client);
// A UTF-8 name written for a statement in UTF-8 (every backquote doubled), and "database.table"
// the same way. Statements written in UTF-8 and sent in Shift_JIS to a server that knows no
// UTF-8 keep their quoting: a backquote stays one character in both codes.
std::string quotedUtf8(std::string_view utf8Name);
std::string qualifiedUtf8(std::string_view utf8Database, std::string_view utf8Table);
// The same for a name of a session in the `client` encoding: ident() of its UTF-8 text.
std::string utf8Ident(std::string_view name, ServerEncoding client);
// "database.table" the same way.
std::string utf8QualifiedName(std::string_view database, std::string_view table, ServerEncoding client);

// Switches a connection to a character set that holds every character (utf8mb4; utf8 on servers
// before 5.5.3) for its lifetime and puts the connection's own back afterwards. Statements are
// written in UTF-8; on a server that knows neither set the connection stays as it is and the
// statements are sent in Shift_JIS. A connection in one of them already is left as it is.
class LosslessCharacterSet {
public:
    explicit LosslessCharacterSet(Connection& connection);
    bool switched() const { return !name_.empty(); }
    // The encoding the connection had before: that of the names and texts its caller holds.
    ServerEncoding client() const { return client_; }
    // A text of the caller's (a name) as UTF-8.
    std::string utf8(std::string_view clientText) const { return utf8FromClient(clientText, client_); }
    // "utf8mb4" or "utf8"; "" when the connection could not be switched.
    const std::string& name() const { return name_; }
    // A UTF-8 statement as the connection takes it.
    std::string wire(std::string_view utf8) const;
    // A text the server sent (an error) as the interface shows it.
    QString fromWire(std::string_view text) const;

private:
    std::optional<CharacterSetScope> scope_;
    std::string name_;
    ServerEncoding client_;
};

// Gives a session variable of a connection another value for its lifetime and puts back the value
// it had, however the scope is left. `change` takes the variable's current value and gives the
// new one as it goes into SET (a literal), or nullopt when the current value will do; nothing is
// changed on a server that does not know the variable.
class SessionSetting {
public:
    SessionSetting(Connection& connection, std::string_view variable,
                   const std::function<std::optional<std::string>(std::string_view current)>& change);
    ~SessionSetting();
    SessionSetting(const SessionSetting&) = delete;
    SessionSetting& operator=(const SessionSetting&) = delete;
    bool changed() const { return !restore_.empty(); }

    // A variable's value as SET takes it back: a number as it is, anything else quoted.
    static std::string literal(const Connection& connection, std::string_view value);

private:
    Connection& connection_;
    std::string restore_;  // the statement that puts the old value back
};

// The sql_mode `mode` with `flag` added; nullopt when it holds it already.
std::optional<std::string> sqlModeWith(std::string_view mode, std::string_view flag);
// Rows arrive with the numbers of their AUTO_INCREMENT columns as they were, 0 included: the
// session's sql_mode with NO_AUTO_VALUE_ON_ZERO for the lifetime of the scope.
class KeepAutoIncrementZeros {
public:
    explicit KeepAutoIncrementZeros(Connection& connection);
    static constexpr std::string_view kFlag = "NO_AUTO_VALUE_ON_ZERO";

private:
    SessionSetting mode_;
};

// How a value is written into a statement.
enum class ValueKind {
    Number,  // as the server wrote it (integers, decimals, floating point, YEAR)
    Text,    // between single quotes, escaped
    Bytes,   // a hex literal: binary strings, blobs, BIT, geometry
};
ValueKind valueKind(const FieldInfo& field);

// Appends the SQL literal of one value: NULL for NULL; a number as it is; text between single
// quotes with a quote doubled and backslash, NUL, LF, CR and Ctrl-Z escaped with a backslash, and a
// slash that follows a slash written as "\/" (so that one row stays on one line, and a script
// reader that only counts quotes and takes "//" for a comment reads the value whole); bytes
// as 0x followed by their hex digits ('' when empty). shiftJis: the text is Shift_JIS, whose
// second bytes may be a backslash and are copied as they are; otherwise the text must be UTF-8 or
// another set whose multibyte characters hold no ASCII bytes.
void appendSqlValue(std::string& out, std::optional<std::string_view> value, ValueKind kind,
                    bool shiftJis = false);

// Where a copy reports its progress in words: the lines of its log. A page is one batch of rows of
// the source (1,000 unless the copy says otherwise), [from, to).
class CopyLogSink {
public:
    virtual ~CopyLogSink() = default;
    // Before any row.
    virtual void started() = 0;
    virtual void pageStarted(uint64_t from, uint64_t to) = 0;
    // A row the target refused: the single-row statement as sent (UTF-8) and the server's error.
    virtual void rowRefused(std::string_view statement, unsigned int errorNumber,
                            const QString& errorText) = 0;
    virtual void pageDone(uint64_t from, uint64_t to) = 0;
    // After the start of the empty page that follows the last row.
    virtual void finished() = 0;
    // The source could not be read (further); follows the start of the page being read.
    virtual void readFailed() = 0;
};

// What to copy: the rows of a statement into a table. Names and the statement are UTF-8, since a
// copy speaks utf8mb4 on its connections.
struct CopyJob {
    std::string sourceStatement;  // a SELECT; its fields in the order of `columns`
    std::string targetDatabase;
    std::string targetTable;
    // The target's columns for the statement's fields, in order; empty: the fields' own names.
    std::vector<std::string> columns;

    // Every column of a table but the generated ones: "SELECT a,b FROM db.t" and the columns a, b,
    // read from the source (SHOW COLUMNS); nullopt when that fails (the table is not there), with
    // the server's error in `errorNumber` and `errorText` when given.
    static std::optional<CopyJob> wholeTable(Connection& source, std::string_view sourceDatabase,
                                             std::string_view sourceTable, std::string_view targetDatabase,
                                             std::string_view targetTable,
                                             unsigned int* errorNumber = nullptr,
                                             QString* errorText = nullptr);
};

// How a copy ended.
struct CopyOutcome {
    enum class Status {
        Complete,       // every row read was offered to the target (some may have been refused)
        SourceFailed,   // the source statement was refused or its rows broke off
        TargetFailed,   // the target cannot take rows at all (no table, no right, server gone)
        ConnectFailed,  // the second connection of a streamed copy within one server failed
        Cancelled,      // stopped on request: between two rows of a streamed copy (the rows read
                        // until then arrived), or the single statement within one server killed
        Interrupted,    // a statement of the copy was stopped by the server or another session
                        // (KILL QUERY, a time limit): the copy stopped; `copied` rows stayed
    };
    Status status = Status::Complete;
    uint64_t read = 0;      // rows read from the source
    uint64_t copied = 0;    // rows that arrived
    uint64_t refused = 0;   // rows the target refused, each logged
    bool streamed = false;  // the rows went through the client
    // The failure's error; for a complete copy with refused rows, the first refusal's.
    unsigned int errorNumber = 0;
    QString errorText;
    bool complete() const { return status == Status::Complete; }
};

// Copies rows from a source to a target table without losing any: NULL stays NULL, text moves in
// utf8mb4, binary values as hex literals.
//
// Within one server (the same connection for source and target) it sends one
// INSERT INTO target (columns) SELECT ... ; when the server refuses that statement (a key the
// rows break, a value a column refuses) it undoes what the statement left in the target and takes
// the streamed way; a statement that was interrupted instead (KILL QUERY from anyone, a time
// limit) ends the copy. Between servers, or when asked to, it streams the source (on a second
// connection within one server) and sends multi-row INSERTs of up to one batch of rows (1,000
// unless set otherwise) and never more than the target's max_allowed_packet to the target,
// each sent while the next is read (on a target with transactions, several statements to one
// commit). A statement the target refuses is sent again row by row, from the first row it did not
// keep, so that exactly the refused rows are logged and the others arrive. Both connections are
// marked busy and switched to utf8mb4 for the copy and put back afterwards; the target's sql_mode
// keeps AUTO_INCREMENT values of 0 (NO_AUTO_VALUE_ON_ZERO) for the copy.
class CopyEngine {
public:
    // source and target may be the same connection: a copy within one server.
    CopyEngine(Connection& source, Connection& target);

    void setLogSink(CopyLogSink* sink) { sink_ = sink; }
    // Rows arrived so far, after each page.
    void setProgress(std::function<void(uint64_t copied)> progress) { progress_ = std::move(progress); }
    // Skips the single statement within one server and streams the rows.
    void setStreamedOnly(bool streamedOnly) { streamedOnly_ = streamedOnly; }
    // Rows per batch (at least 1): the most rows of one INSERT, and the page of the log.
    void setBatchRows(uint64_t rows) { batchRows_ = std::max<uint64_t>(rows, 1); }
    uint64_t batchRows() const { return batchRows_; }
    // A request to stop, looked at before every row; the single statement within one server is
    // stopped with KILL QUERY (it runs while window events go through).
    void setCancelToken(const CancelToken* token) { cancel_ = token; }

    CopyOutcome run(const CopyJob& job);

    static constexpr uint64_t kPageRows = 1000;

    // The rows [from, to) of page `page` of `batchRows` rows, as the log names them.
    struct PageRange {
        uint64_t from = 0;
        uint64_t to = 0;
        bool operator==(const PageRange&) const = default;
    };
    static PageRange pageRange(uint64_t page, uint64_t batchRows);
    // How large a statement may get on a target with this max_allowed_packet: `statement`, the
    // most any single INSERT may have (room left for the packet's own header), and `batch`, the
    // size at which a batch is sent even before it has its rows (a smaller statement keeps the
    // target busy while the next rows are read, and less in memory).
    struct StatementLimits {
        size_t statement = 0;
        size_t batch = 0;
        bool operator==(const StatementLimits&) const = default;
    };
    static StatementLimits statementLimits(unsigned long long maxAllowedPacket);

    // The statements, for the tests: "INSERT INTO db.t ( a,b ) " and the select after it.
    static std::string insertHead(const CopyJob& job, const std::vector<std::string>& fieldNames);
    // Errors after which no further row can arrive (no table, no right, the server gone), as
    // opposed to a row the target refuses.
    static bool stopsEveryRow(unsigned int errorNumber);
    // Errors of a statement that was stopped rather than refused: killed (KILL QUERY) or over its
    // time limit. They end the copy; they say nothing about the rows.
    static bool interrupts(unsigned int errorNumber);

private:
    friend class StreamedCopy;
    // nullopt: the statement was refused and undone; the rows go the streamed way.
    std::optional<CopyOutcome> runWithinServer(const CopyJob& job, const LosslessCharacterSet& set);
    CopyOutcome runStreamed(const CopyJob& job, Connection& reader, const LosslessCharacterSet& targetSet);
    void logStarted();
    // The log of rows that arrived by one statement: a page start and end per 1,000 rows.
    void logCountedPages(uint64_t rows);

    Connection& source_;
    Connection& target_;
    CopyLogSink* sink_ = nullptr;
    std::function<void(uint64_t)> progress_;
    bool streamedOnly_ = false;
    bool logStarted_ = false;
    uint64_t batchRows_ = kPageRows;
    const CancelToken* cancel_ = nullptr;
};

}  // namespace dbk
