#include "transfer/copy_engine.h"

#include <errmsg.h>
#include <mysqld_error.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "conn/streamed_reader.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"

namespace dbk {

namespace {

// Statements of about this size keep the target busy while the next rows are read, and keep two
// of them in memory at most.
constexpr size_t kBatchBytes = 1024 * 1024;

}  // namespace

std::string utf8FromClient(std::string_view text, ServerEncoding client) {
    return recodeServer(text, client, ServerEncoding::Utf8);
}

std::string clientFromUtf8(std::string_view utf8, ServerEncoding client) {
    return recodeServer(utf8, ServerEncoding::Utf8, client);
}

std::string quotedUtf8(std::string_view utf8Name) {
    return Connection::ident(utf8Name, NameQuoting::Bytes);
}

std::string qualifiedUtf8(std::string_view utf8Database, std::string_view utf8Table) {
    return Connection::qualifiedName(utf8Database, utf8Table, NameQuoting::Bytes);
}

std::string utf8Ident(std::string_view name, ServerEncoding client) {
    return quotedUtf8(utf8FromClient(name, client));
}

std::string utf8QualifiedName(std::string_view database, std::string_view table, ServerEncoding client) {
    return qualifiedUtf8(utf8FromClient(database, client), utf8FromClient(table, client));
}

// ---- LosslessCharacterSet ----

LosslessCharacterSet::LosslessCharacterSet(Connection& connection) : client_(serverEncoding(connection)) {
    // A session in utf8mb4 already (today's servers, or a database copy's tables) is left as it is.
    const std::string current = connection.characterSetName();
    if (current == "utf8mb4") {
        name_ = current;
        return;
    }
    for (const char* name : {"utf8mb4", "utf8"}) {
        scope_.emplace(connection, name);
        if (scope_->switched()) {
            name_ = name;
            return;
        }
        scope_.reset();
    }
}

std::string LosslessCharacterSet::wire(std::string_view utf8) const {
    return switched() ? std::string(utf8) : clientFromUtf8(utf8, client_);
}

QString LosslessCharacterSet::fromWire(std::string_view text) const {
    return fromServer(switched() ? ServerEncoding::Utf8 : client_, text);
}

// ---- session settings ----

SessionSetting::SessionSetting(Connection& connection, std::string_view variable,
                               const std::function<std::optional<std::string>(std::string_view)>& change)
    : connection_(connection) {
    const std::string name(variable);
    std::string current;
    {
        Result value = connection_.query("SELECT @@SESSION." + name);
        if (!value.ok() || !value.next())
            return;
        current = value.text(0U);
    }
    const std::optional<std::string> wanted = change(current);
    if (wanted && connection_.exec("SET SESSION " + name + " = " + *wanted))
        restore_ = "SET SESSION " + name + " = " + literal(connection_, current);
}

SessionSetting::~SessionSetting() {
    if (!restore_.empty())
        connection_.exec(restore_);
}

std::string SessionSetting::literal(const Connection& connection, std::string_view value) {
    const bool number = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.';
    });
    return number ? std::string(value) : "'" + connection.escape(value) + "'";
}

std::optional<std::string> sqlModeWith(std::string_view mode, std::string_view flag) {
    for (size_t start = 0; start <= mode.size();) {
        const size_t end = std::min(mode.find(',', start), mode.size());
        if (mode.substr(start, end - start) == flag)
            return std::nullopt;
        start = end + 1;
    }
    return mode.empty() ? std::string(flag) : std::string(mode) + ',' + std::string(flag);
}

KeepAutoIncrementZeros::KeepAutoIncrementZeros(Connection& connection)
    : mode_(connection, "sql_mode", [&connection](std::string_view current) -> std::optional<std::string> {
          const std::optional<std::string> mode = sqlModeWith(current, kFlag);
          if (!mode)
              return std::nullopt;
          return "'" + connection.escape(*mode) + "'";
      }) {}

// ---- values ----

ValueKind valueKind(const FieldInfo& field) {
    if (field.type == MYSQL_TYPE_BIT)
        return ValueKind::Bytes;
    if (field.isNumeric())
        return ValueKind::Number;
    if (field.charsetNumber != 63)
        return ValueKind::Text;
    switch (field.type) {
        case MYSQL_TYPE_STRING:
        case MYSQL_TYPE_VAR_STRING:
        case MYSQL_TYPE_VARCHAR:
        case MYSQL_TYPE_TINY_BLOB:
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB:
        case MYSQL_TYPE_GEOMETRY:
            return ValueKind::Bytes;
        default:
            // Dates and times come with the binary set too; their text is plain ASCII.
            return ValueKind::Text;
    }
}

namespace {

bool isShiftJisLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The escape of a byte inside a quoted string, or nullptr when it stands for itself.
const char* escapeOf(unsigned char c) {
    switch (c) {
        case 0:
            return "\\0";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\\':
            return "\\\\";
        case '\'':
            return "''";
        case 0x1A:
            return "\\Z";
        default:
            return nullptr;
    }
}

void appendQuoted(std::string& out, std::string_view text, bool shiftJis) {
    out.reserve(out.size() + text.size() + 2);
    out += '\'';
    size_t runStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (shiftJis && isShiftJisLead(c) && i + 1 < text.size()) {
            ++i;  // the second byte belongs to the character, whatever it is
            continue;
        }
        const char* escape = escapeOf(c);
        // "\/" reads as "/": no "//" for a script reader to take for a comment.
        if (!escape && c == '/' && i > 0 && text[i - 1] == '/')
            escape = "\\/";
        if (escape) {
            out.append(text.data() + runStart, i - runStart);
            out += escape;
            runStart = i + 1;
        }
    }
    out.append(text.data() + runStart, text.size() - runStart);
    out += '\'';
}

void appendHex(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const size_t start = out.size();
    out.resize(start + 2 + bytes.size() * 2);
    char* p = out.data() + start;
    *p++ = '0';
    *p++ = 'x';
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        *p++ = kDigits[c >> 4];
        *p++ = kDigits[c & 0x0F];
    }
}

}  // namespace

void appendSqlValue(std::string& out, std::optional<std::string_view> value, ValueKind kind, bool shiftJis) {
    if (!value) {
        out += "NULL";
        return;
    }
    switch (kind) {
        case ValueKind::Number:
            if (!value->empty()) {
                out += *value;
                return;
            }
            break;
        case ValueKind::Bytes:
            if (!value->empty()) {
                appendHex(out, *value);
                return;
            }
            break;
        case ValueKind::Text:
            break;
    }
    appendQuoted(out, *value, shiftJis);
}

// ---- CopyJob ----

namespace {

// "float", "float(7,4) unsigned", as SHOW COLUMNS gives the type.
bool isFloatType(std::string_view type) {
    constexpr std::string_view kFloat = "float";
    if (type.size() < kFloat.size())
        return false;
    for (size_t i = 0; i < kFloat.size(); ++i) {
        if (static_cast<char>(std::tolower(static_cast<unsigned char>(type[i]))) != kFloat[i])
            return false;
    }
    return type.size() == kFloat.size() || type[kFloat.size()] == '(' || type[kFloat.size()] == ' ';
}

}  // namespace

std::optional<CopyJob> CopyJob::wholeTable(Connection& source, std::string_view sourceDatabase,
                                           std::string_view sourceTable, std::string_view targetDatabase,
                                           std::string_view targetTable, unsigned int* errorNumber,
                                           QString* errorText) {
    CopyJob job;
    std::vector<bool> floats;
    {
        const LosslessCharacterSet set(source);
        Result columns =
            source.query(set.wire("SHOW COLUMNS FROM " + qualifiedUtf8(sourceDatabase, sourceTable)));
        if (!columns.ok() || !columns.hasRows()) {
            // Taken now: putting the character set back clears the connection's error.
            if (errorNumber)
                *errorNumber = source.errorNumber();
            if (errorText)
                *errorText = set.fromWire(source.errorText());
            return std::nullopt;
        }
        const int extraColumn = columns.columnIndex("Extra");
        while (columns.next()) {
            // A generated column takes no value of its own; the target computes it.
            if (extraColumn >= 0 && QString::fromUtf8(columns.text(static_cast<unsigned>(extraColumn)))
                                        .contains(QStringLiteral("GENERATED"), Qt::CaseInsensitive))
                continue;
            std::string name = columns.text("Field");
            job.columns.push_back(set.switched() ? std::move(name) : set.utf8(name));
            floats.push_back(isFloatType(columns.text("Type")));
        }
    }
    std::string list;
    for (size_t i = 0; i < job.columns.size(); ++i) {
        if (i > 0)
            list += ',';
        list += quotedUtf8(job.columns[i]);
        // The server writes a FLOAT with six digits; as a double it is written whole, and its text
        // reads back as the same float.
        if (floats[i])
            list += " * 1E0";
    }
    job.sourceStatement = "SELECT " + list + " FROM " + qualifiedUtf8(sourceDatabase, sourceTable);
    job.targetDatabase = targetDatabase;
    job.targetTable = targetTable;
    return job;
}

// ---- CopyEngine ----

CopyEngine::CopyEngine(Connection& source, Connection& target) : source_(source), target_(target) {}

std::string CopyEngine::insertHead(const CopyJob& job, const std::vector<std::string>& fieldNames) {
    const std::vector<std::string>& columns = job.columns.empty() ? fieldNames : job.columns;
    std::string head = "INSERT INTO " + qualifiedUtf8(job.targetDatabase, job.targetTable) + ' ';
    if (columns.empty())
        return head;
    head += "( ";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            head += ',';
        head += quotedUtf8(columns[i]);
    }
    head += " ) ";
    return head;
}

bool CopyEngine::stopsEveryRow(unsigned int errorNumber) {
    switch (errorNumber) {
        case CR_SERVER_GONE_ERROR:
        case CR_SERVER_LOST:
        case CR_COMMANDS_OUT_OF_SYNC:
        case ER_NO_SUCH_TABLE:
        case ER_BAD_FIELD_ERROR:
        case ER_WRONG_VALUE_COUNT_ON_ROW:
        case ER_FIELD_SPECIFIED_TWICE:
        case ER_TABLEACCESS_DENIED_ERROR:
        case ER_COLUMNACCESS_DENIED_ERROR:
        case ER_DBACCESS_DENIED_ERROR:
        case ER_OPEN_AS_READONLY:
        case ER_TABLE_NOT_LOCKED_FOR_WRITE:
        case ER_TABLE_NOT_LOCKED:
        case ER_NET_PACKET_TOO_LARGE:
        case ER_OPTION_PREVENTS_STATEMENT:
        case ER_READ_ONLY_MODE:
        case ER_RECORD_FILE_FULL:
        case ER_LOCK_WAIT_TIMEOUT:
        case ER_LOCK_DEADLOCK:
            return true;
        default:
            return false;
    }
}

bool CopyEngine::interrupts(unsigned int errorNumber) {
    constexpr unsigned int kQueryTimeout = 3024;  // a SELECT over max_execution_time (MySQL)
    return errorNumber == ER_QUERY_INTERRUPTED || errorNumber == ER_STATEMENT_TIMEOUT ||
           errorNumber == kQueryTimeout;
}

void CopyEngine::logStarted() {
    if (sink_ && !logStarted_)
        sink_->started();
    logStarted_ = true;
}

CopyEngine::PageRange CopyEngine::pageRange(uint64_t page, uint64_t batchRows) {
    return PageRange{page * batchRows, page * batchRows + batchRows};
}

CopyEngine::StatementLimits CopyEngine::statementLimits(unsigned long long maxAllowedPacket) {
    // The client library refuses to send more than its own limit (16 MB) as well.
    const unsigned long long packet = std::min<unsigned long long>(maxAllowedPacket, 16ULL * 1024 * 1024);
    StatementLimits limits;
    limits.statement = static_cast<size_t>(packet > 4096 ? packet - 1024 : packet);
    limits.batch = std::min<size_t>(limits.statement, kBatchBytes);
    return limits;
}

void CopyEngine::logCountedPages(uint64_t rows) {
    const uint64_t pages = (rows + batchRows_ - 1) / batchRows_;
    if (sink_) {
        for (uint64_t page = 0; page < pages; ++page) {
            const PageRange range = pageRange(page, batchRows_);
            sink_->pageStarted(range.from, range.to);
            sink_->pageDone(range.from, range.to);
        }
        const PageRange last = pageRange(pages, batchRows_);
        sink_->pageStarted(last.from, last.to);
        sink_->finished();
    }
}

namespace {

CopyOutcome failure(CopyOutcome::Status status, unsigned int number, QString text) {
    CopyOutcome outcome;
    outcome.status = status;
    outcome.errorNumber = number;
    outcome.errorText = std::move(text);
    return outcome;
}

}  // namespace

CopyOutcome CopyEngine::run(const CopyJob& job) {
    logStarted_ = false;
    BusyGuard busyTarget(target_);
    const LosslessCharacterSet targetSet(target_);
    const KeepAutoIncrementZeros zeros(target_);
    if (&source_ != &target_)
        return runStreamed(job, source_, targetSet);

    if (!streamedOnly_) {
        if (std::optional<CopyOutcome> outcome = runWithinServer(job, targetSet))
            return *outcome;
    }
    // The rows are read on a connection of their own while this one takes the INSERTs.
    Connection reader;
    if (!reader.open(source_.params()))
        return failure(CopyOutcome::Status::ConnectFailed, reader.errorNumber(),
                       fromServer(reader, reader.errorText()));
    CopyOutcome outcome = runStreamed(job, reader, targetSet);
    return outcome;
}

std::optional<CopyOutcome> CopyEngine::runWithinServer(const CopyJob& job, const LosslessCharacterSet& set) {
    const std::string target = qualifiedUtf8(job.targetDatabase, job.targetTable);
    {
        // A target that holds rows already could not be put back after a refused statement.
        Result probe = target_.query(set.wire("SELECT 1 FROM " + target + " LIMIT 1"));
        if (!probe.ok())
            return failure(CopyOutcome::Status::TargetFailed, target_.errorNumber(),
                           set.fromWire(target_.errorText()));
        if (probe.next())
            return std::nullopt;
    }
    logStarted();
    const CancelToken never;
    const InterruptibleOutcome insert = runInterruptible(
        target_, set.wire(insertHead(job, {}) + job.sourceStatement), cancel_ ? *cancel_ : never);
    if (insert.cancelled) {
        // What a target without transactions kept stays: the message says so.
        return failure(CopyOutcome::Status::Cancelled, insert.errorNumber, set.fromWire(insert.errorText));
    }
    if (insert.ok) {
        CopyOutcome outcome;
        outcome.read = outcome.copied = insert.affectedRows;
        logCountedPages(outcome.copied);
        if (progress_)
            progress_(outcome.copied);
        return outcome;
    }
    const unsigned int error = insert.errorNumber;
    if (error == CR_SERVER_GONE_ERROR || error == CR_SERVER_LOST)
        return failure(CopyOutcome::Status::TargetFailed, error, set.fromWire(insert.errorText));
    if (interrupts(error)) {
        // The target was empty: what it holds now is what a table without transactions kept.
        CopyOutcome outcome =
            failure(CopyOutcome::Status::Interrupted, error, set.fromWire(insert.errorText));
        Result count = target_.query(set.wire("SELECT COUNT(*) FROM " + target));
        if (count.ok() && count.next())
            outcome.copied = std::strtoull(std::string(count.text(0U)).c_str(), nullptr, 10);
        return outcome;
    }
    // A target without transactions keeps the rows inserted before the refusal; they go, so that
    // no row is offered twice.
    if (!target_.exec(set.wire("DELETE FROM " + target)))
        return failure(CopyOutcome::Status::TargetFailed, target_.errorNumber(),
                       set.fromWire(target_.errorText()));
    return std::nullopt;
}

// The streamed way: rows are gathered into multi-row INSERTs of at most one batch; each statement
// is sent without waiting for its answer, which is read before the next one goes, so that the
// target works while the next rows are read.
class StreamedCopy {
public:
    StreamedCopy(CopyEngine& engine, const CopyJob& job, Connection& reader,
                 const LosslessCharacterSet& targetSet)
        : engine_(engine),
          job_(job),
          reader_(reader),
          target_(engine.target_),
          targetSet_(targetSet),
          batchRows_(engine.batchRows_) {}

    CopyOutcome run() {
        const LosslessCharacterSet readerSet(reader_);
        readerInUtf8_ = readerSet.switched();
        readerEncoding_ = readerSet.client();
        readStatementLimit();
        readRollback();
        engine_.logStarted();

        StreamedReader reader(reader_);
        // Cancel is heard while a row is awaited too, and ends the read on the server.
        reader.setCancelToken(engine_.cancel_);
        const StreamOutcome read = reader.run(
            readerSet.wire(job_.sourceStatement), [this](const Result& row) { return takeRow(row); },
            [this](const std::vector<FieldInfo>& fields) {
                takeFields(fields);
                return StreamedReader::Step::Continue;
            });
        outcome_.streamed = true;
        if (stopped_)
            return outcome_;
        if (read.status == StreamOutcome::Status::Cancelled)
            cancelled_ = true;

        const bool rowsComplete = read.status == StreamOutcome::Status::Complete && !cancelled_;
        // The rows read so far are whole rows: they go to the target whatever came after them.
        if (batch_.rows() > 0)
            sendBatch(rowsComplete);
        finishPending();
        commit();
        if (stopped_)
            return outcome_;
        if (cancelled_) {
            outcome_.status = CopyOutcome::Status::Cancelled;
            return outcome_;
        }
        CopyLogSink* sink = engine_.sink_;
        if (rowsComplete) {
            const uint64_t pages = (outcome_.read + batchRows_ - 1) / batchRows_;
            logPageStart(pages);
            if (sink)
                sink->finished();
            return outcome_;
        }
        logPageStart(outcome_.read / batchRows_);
        if (sink)
            sink->readFailed();
        outcome_.status = CopyEngine::interrupts(read.errorNumber) ? CopyOutcome::Status::Interrupted
                                                                   : CopyOutcome::Status::SourceFailed;
        outcome_.errorNumber = read.errorNumber;
        outcome_.errorText = readerSet.fromWire(read.errorText);
        return outcome_;
    }

private:
    struct Batch {
        std::string sql;
        std::vector<size_t> rowStarts;  // where each row's "( ... )" begins
        uint64_t page = 0;
        bool endsPage = false;
        size_t rows() const { return rowStarts.size(); }
        std::string_view row(size_t i) const {
            const size_t end = i + 1 < rowStarts.size() ? rowStarts[i + 1] - 1 : sql.size();
            return std::string_view(sql).substr(rowStarts[i], end - rowStarts[i]);
        }
    };

    void readStatementLimit() {
        Result r = target_.query("SHOW VARIABLES LIKE 'max_allowed_packet'");
        unsigned long long packet = 1024 * 1024;
        if (r.ok() && r.next())
            packet = std::strtoull(std::string(r.text("Value")).c_str(), nullptr, 10);
        const CopyEngine::StatementLimits limits = CopyEngine::statementLimits(packet);
        statementLimit_ = limits.statement;
        batchLimit_ = limits.batch;
    }

    // A target without transactions keeps the rows of a refused statement that came before the
    // refused one; they are counted so that they are not sent again.
    void readRollback() {
        const std::string target = qualifiedUtf8(job_.targetDatabase, job_.targetTable);
        Result engine = target_.query(targetSet_.wire(
            "SELECT e.TRANSACTIONS FROM information_schema.TABLES t JOIN information_schema.ENGINES e "
            "ON e.ENGINE = t.ENGINE WHERE t.TABLE_SCHEMA = '" +
            target_.escape(job_.targetDatabase) + "' AND t.TABLE_NAME = '" +
            target_.escape(job_.targetTable) + "'"));
        rollsBack_ = engine.ok() && engine.next() && engine.text(0U) == "YES";
        if (!rollsBack_)
            rowsBefore_ = targetRows().value_or(0);
    }

    std::optional<uint64_t> targetRows() {
        Result count = target_.query(
            targetSet_.wire("SELECT COUNT(*) FROM " + qualifiedUtf8(job_.targetDatabase, job_.targetTable)));
        if (!count.ok() || !count.next())
            return std::nullopt;
        return std::strtoull(std::string(count.text(0U)).c_str(), nullptr, 10);
    }

    void takeFields(const std::vector<FieldInfo>& fields) {
        kinds_.clear();
        std::vector<std::string> names;
        for (const FieldInfo& field : fields) {
            kinds_.push_back(valueKind(field));
            names.push_back(readerInUtf8_ ? field.name : utf8FromClient(field.name, readerEncoding_));
        }
        head_ = CopyEngine::insertHead(job_, names) + "VALUES ";
        startBatch();
    }

    void startBatch() {
        batch_ = Batch{};
        batch_.sql = head_;
    }

    StreamedReader::Step takeRow(const Result& row) {
        if (engine_.cancel_ && engine_.cancel_->cancelled()) {
            cancelled_ = true;
            return StreamedReader::Step::Stop;
        }
        row_.assign("( ");
        for (unsigned i = 0; i < kinds_.size(); ++i) {
            if (i > 0)
                row_ += ',';
            if (row.isNull(i)) {
                appendSqlValue(row_, std::nullopt, kinds_[i]);
            } else if (!readerInUtf8_ && kinds_[i] == ValueKind::Text) {
                appendSqlValue(row_, utf8FromClient(row.text(i), readerEncoding_), kinds_[i]);
            } else {
                appendSqlValue(row_, row.text(i), kinds_[i]);
            }
        }
        row_ += " )";
        const uint64_t page = outcome_.read++ / batchRows_;
        const bool pageFull = outcome_.read % batchRows_ == 0;

        if (head_.size() + row_.size() > statementLimit_) {
            // A row the target could not even receive: it is refused here, alone.
            if (batch_.rows() > 0)
                sendBatch(false);
            finishPending();
            if (stopped_)
                return StreamedReader::Step::Stop;
            logPageStart(page);
            refuse(head_ + row_, ER_NET_PACKET_TOO_LARGE,
                   QStringLiteral("The row is larger than the server's max_allowed_packet."));
            if (pageFull)
                endPage(page);
            return StreamedReader::Step::Continue;
        }
        if (batch_.rows() > 0 && batch_.sql.size() + 1 + row_.size() > statementLimit_)
            sendBatch(false);
        if (batch_.rows() == 0) {
            batch_.page = page;
        } else {
            batch_.sql += ',';
        }
        batch_.rowStarts.push_back(batch_.sql.size());
        batch_.sql += row_;
        if (pageFull || batch_.sql.size() >= batchLimit_)
            sendBatch(pageFull);
        return stopped_ ? StreamedReader::Step::Stop : StreamedReader::Step::Continue;
    }

    // Sends the batch and starts the next; the answer of the one sent before is read first.
    void sendBatch(bool endsPage) {
        finishPending();
        if (stopped_)
            return;
        // A transaction spans several statements: one commit (and its flush to disk) per few
        // megabytes instead of one per statement.
        if (rollsBack_ && !inTransaction_) {
            if (!target_.exec("START TRANSACTION")) {
                stop(target_.errorNumber(), targetSet_.fromWire(target_.errorText()));
                return;
            }
            inTransaction_ = true;
        }
        batch_.endsPage = endsPage;
        pending_ = std::move(batch_);
        startBatch();
        const std::string wire = targetSet_.switched() ? std::string() : targetSet_.wire(pending_->sql);
        const std::string& sql = targetSet_.switched() ? pending_->sql : wire;
        sentOk_ = mysql_send_query(target_.handle(), sql.data(), static_cast<unsigned long>(sql.size())) == 0;
    }

    void finishPending() {
        if (!pending_)
            return;
        Batch batch = std::move(*pending_);
        pending_.reset();
        MYSQL* handle = target_.handle();
        const bool ok = sentOk_ && mysql_read_query_result(handle) == 0;
        logPageStart(batch.page);
        if (ok) {
            outcome_.copied += batch.rows();
        } else {
            const unsigned int error = mysql_errno(handle);
            if (CopyEngine::stopsEveryRow(error) || CopyEngine::interrupts(error)) {
                stop(error, targetSet_.fromWire(mysql_error(handle)));
                return;
            }
            size_t arrived = 0;
            if (!rollsBack_) {
                const uint64_t now = targetRows().value_or(rowsBefore_ + outcome_.copied);
                arrived = static_cast<size_t>(
                    std::min<uint64_t>(now - std::min(now, rowsBefore_ + outcome_.copied), batch.rows()));
                outcome_.copied += arrived;
            }
            retryRowByRow(batch, arrived);
            if (stopped_)
                return;
        }
        if (batch.endsPage)
            endPage(batch.page);
        uncommittedBytes_ += batch.sql.size();
        if (uncommittedBytes_ >= kCommitBytes)
            commit();
    }

    void commit() {
        if (!inTransaction_)
            return;
        inTransaction_ = false;
        uncommittedBytes_ = 0;
        if (!target_.exec("COMMIT")) {
            outcome_.copied = committedRows_;
            stop(target_.errorNumber(), targetSet_.fromWire(target_.errorText()));
            return;
        }
        committedRows_ = outcome_.copied;
    }

    // Sends the rows of a refused statement one by one, from the first that did not arrive.
    void retryRowByRow(const Batch& batch, size_t first) {
        for (size_t i = first; i < batch.rows(); ++i) {
            const std::string single = head_ + std::string(batch.row(i));
            if (target_.exec(targetSet_.wire(single))) {
                ++outcome_.copied;
                continue;
            }
            const unsigned int error = target_.errorNumber();
            const QString text = targetSet_.fromWire(target_.errorText());
            if (CopyEngine::stopsEveryRow(error) || CopyEngine::interrupts(error)) {
                stop(error, text);
                return;
            }
            refuse(single, error, text);
        }
    }

    void refuse(const std::string& statement, unsigned int error, const QString& text) {
        if (outcome_.refused++ == 0) {
            outcome_.errorNumber = error;
            outcome_.errorText = text;
        }
        if (engine_.sink_)
            engine_.sink_->rowRefused(statement, error, text);
    }

    void logPageStart(uint64_t page) {
        if (loggedPage_ && *loggedPage_ >= page)
            return;
        loggedPage_ = page;
        if (engine_.sink_) {
            const CopyEngine::PageRange range = CopyEngine::pageRange(page, batchRows_);
            engine_.sink_->pageStarted(range.from, range.to);
        }
    }

    void endPage(uint64_t page) {
        if (engine_.sink_) {
            const CopyEngine::PageRange range = CopyEngine::pageRange(page, batchRows_);
            engine_.sink_->pageDone(range.from, range.to);
        }
        if (engine_.progress_)
            engine_.progress_(outcome_.copied);
    }

    // Ends the copy; the rows of an open transaction go back, and are no longer counted.
    void stop(unsigned int error, const QString& text) {
        if (inTransaction_) {
            inTransaction_ = false;
            target_.exec("ROLLBACK");
            outcome_.copied = committedRows_;
        }
        stopped_ = true;
        outcome_.status = CopyEngine::interrupts(error) ? CopyOutcome::Status::Interrupted
                                                        : CopyOutcome::Status::TargetFailed;
        outcome_.errorNumber = error;
        outcome_.errorText = text;
    }

    static constexpr size_t kCommitBytes = 8 * 1024 * 1024;

    CopyEngine& engine_;
    const CopyJob& job_;
    Connection& reader_;
    Connection& target_;
    const LosslessCharacterSet& targetSet_;
    const uint64_t batchRows_;
    bool readerInUtf8_ = true;
    ServerEncoding readerEncoding_ = ServerEncoding::Utf8;  // of a reader that stayed in its own set
    std::vector<ValueKind> kinds_;
    std::string head_;
    std::string row_;  // the row being added
    Batch batch_;
    std::optional<Batch> pending_;
    bool sentOk_ = false;
    std::optional<uint64_t> loggedPage_;
    size_t statementLimit_ = 1024 * 1024;
    size_t batchLimit_ = kBatchBytes;
    bool stopped_ = false;
    bool cancelled_ = false;
    bool rollsBack_ = false;
    uint64_t rowsBefore_ = 0;
    bool inTransaction_ = false;
    size_t uncommittedBytes_ = 0;
    uint64_t committedRows_ = 0;
    CopyOutcome outcome_;
};

CopyOutcome CopyEngine::runStreamed(const CopyJob& job, Connection& reader,
                                    const LosslessCharacterSet& targetSet) {
    return StreamedCopy(*this, job, reader, targetSet).run();
}

}  // namespace dbk
