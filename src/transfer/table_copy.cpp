#include "transfer/table_copy.h"

#include <QFile>

#include "app/messages.h"
#include "conn/connection.h"
#include "conn/sql_scanner.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"

namespace dbk {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimRight(std::string_view text) {
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view trimLeft(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

bool isName(const std::optional<SqlToken>& token) {
    return token && (token->is(SqlToken::Kind::QuotedName) || token->is(SqlToken::Kind::Word));
}

// Where the table's name ends in "CREATE [OR REPLACE] [TEMPORARY] TABLE [IF NOT EXISTS] [db.]name":
// after the name, quoted or bare, and after "TABLE [IF NOT EXISTS]" when the name is missing;
// nullopt when the text does not start so.
std::optional<size_t> endOfTableName(std::string_view statement) {
    SqlScanner scanner(statement);
    std::optional<SqlToken> token = scanner.nextSignificant();
    if (!token || !token->isWord("CREATE"))
        return std::nullopt;
    for (token = scanner.nextSignificant(); token && !token->isWord("TABLE");
         token = scanner.nextSignificant()) {
        if (!token->isWord("OR") && !token->isWord("REPLACE") && !token->isWord("TEMPORARY"))
            return std::nullopt;
    }
    if (!token)
        return std::nullopt;
    size_t end = scanner.position();
    if (scanner.peekSignificant() && scanner.peekSignificant()->isWord("IF")) {
        for (const std::string_view word : {"IF", "NOT", "EXISTS"}) {
            token = scanner.nextSignificant();
            if (!token || !token->isWord(word))
                return std::nullopt;
        }
        end = scanner.position();
    }
    if (!isName(scanner.peekSignificant()))
        return end;
    scanner.nextSignificant();
    end = scanner.position();
    if (const auto dot = scanner.peekSignificant(); dot && dot->isSymbol('.')) {
        scanner.nextSignificant();
        if (!isName(scanner.peekSignificant()))
            return std::nullopt;
        scanner.nextSignificant();
        end = scanner.position();
    }
    return end;
}

}  // namespace

std::string retargetedStatement(std::string_view statement, std::string_view database,
                                std::string_view table) {
    const std::optional<size_t> nameEnd = endOfTableName(statement);
    const std::string_view rest = nameEnd ? trimLeft(statement.substr(*nameEnd)) : statement;
    const std::string target = database.empty()
                                   ? Connection::ident(table, NameQuoting::Bytes)
                                   : Connection::qualifiedName(database, table, NameQuoting::Bytes);
    return format("CREATE TABLE %s %s", target, rest);
}

namespace {

// Where the table type clause is: its keyword, and the value after "=" (blanks around "=" allowed).
struct TypeClause {
    size_t keyword = std::string_view::npos;
    size_t keywordLength = 0;
    size_t valueEnd = 0;
};

// Finds ENGINE= or TYPE= among the table options: outside parentheses (the column definitions,
// partitions) and outside quoted strings, names and comments.
TypeClause findTypeClause(std::string_view text) {
    int depth = 0;
    SqlScanner scanner(text);
    while (const std::optional<SqlToken> token = scanner.nextSignificant()) {
        if (token->isSymbol('(')) {
            ++depth;
        } else if (token->isSymbol(')')) {
            --depth;
        } else if (depth == 0 && (token->isWord("ENGINE") || token->isWord("TYPE"))) {
            const std::optional<SqlToken> equals = scanner.peekSignificant();
            if (!equals || !equals->isSymbol('='))
                continue;
            scanner.nextSignificant();
            size_t end = scanner.position();
            while (end < text.size() && isBlank(text[end]))
                ++end;
            while (end < text.size() && !isBlank(text[end]))
                ++end;
            return TypeClause{token->begin, token->text.size(), end};
        }
    }
    return {};
}

}  // namespace

std::string retypedStatement(std::string_view statement, std::string_view type,
                             std::string_view appendedClause) {
    const TypeClause clause = findTypeClause(statement);
    if (clause.keyword == std::string_view::npos)
        return format("%s %s", trimRight(statement), appendedClause);
    // What stands before the keyword stays as it is, its line break too (it may end a comment).
    const std::string_view before = statement.substr(0, clause.keyword);
    const std::string_view keyword = statement.substr(clause.keyword, clause.keywordLength);
    const std::string_view after = trimLeft(statement.substr(clause.valueEnd));
    if (after.empty())
        return format("%s%s=%s", before, keyword, type);
    return format("%s%s=%s %s", before, keyword, type, after);
}

// ---- log ----

namespace {

std::string shiftJis(const char* utf8) {
    return toShiftJis(QString::fromUtf8(utf8));
}

}  // namespace

std::string copyLogStartLine() {
    return shiftJis("データ移行開始\n");
}

std::string copyLogPageStart(uint64_t from, uint64_t to) {
    return format(shiftJis("データ取得開始 %d - %d     "), from, to);
}

std::string copyLogErrorLine(std::string_view statement) {
    return format("\nError: Query=%s\n", statement);
}

std::string copyLogPageDone(uint64_t from, uint64_t to) {
    return format(shiftJis("データ取得成功 %d - %d\n"), from, to);
}

std::string copyLogEndLine() {
    return shiftJis("データ移行終了\n");
}

std::string copyLogFailedLine() {
    return shiftJis("データ取得失敗\n");
}

bool TableCopyLog::open(const QString& path) {
    file_.reset(std::fopen(QFile::encodeName(path).constData(), "wb"));
    writeFailed_ = false;
    return file_ != nullptr;
}

bool TableCopyLog::close() {
    if (file_ && std::fclose(file_.release()) != 0)
        writeFailed_ = true;
    return !writeFailed_;
}

void TableCopyLog::write(const std::string& text) {
    if (file_ && std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size())
        writeFailed_ = true;
}

void TableCopyLog::started() {
    write(copyLogStartLine());
}

void TableCopyLog::pageStarted(uint64_t from, uint64_t to) {
    write(copyLogPageStart(from, to));
}

void TableCopyLog::rowRefused(std::string_view statement, unsigned int, const QString&) {
    // The log is a Shift_JIS file; the statement is UTF-8.
    write(copyLogErrorLine(toShiftJis(QString::fromUtf8(statement.data(), qsizetype(statement.size())))));
}

void TableCopyLog::pageDone(uint64_t from, uint64_t to) {
    write(copyLogPageDone(from, to));
}

void TableCopyLog::finished() {
    write(copyLogEndLine());
}

void TableCopyLog::readFailed() {
    write(copyLogFailedLine());
}

// ---- the copy ----

std::optional<uint64_t> sourceRowCount(Connection& connection, std::string_view database,
                                       std::string_view table) {
    Result count =
        connection.query(format("select count(*) from %s", connection.qualifiedName(database, table)));
    if (!count.ok() || !count.next())
        return std::nullopt;
    return std::strtoull(std::string(count.text(0U)).c_str(), nullptr, 10);
}

std::optional<std::string> createTableText(Connection& connection, std::string_view database,
                                           std::string_view table) {
    const LosslessCharacterSet set(connection);
    Result create = connection.query(
        set.wire(format("Show create table %s;", utf8QualifiedName(database, table, set.client()))));
    if (!create.ok() || !create.next() || create.fieldCount() < 2)
        return std::nullopt;
    const std::string text(create.text(1U));
    return set.switched() ? text : set.utf8(text);
}

TableCopyOutcome TableCopy::run(const TableCopyRequest& request) {
    using Status = TableCopyOutcome::Status;
    TableCopyOutcome outcome;
    TableCopyLog log;
    if (request.copyData && !log.open(request.logPath)) {
        outcome.status = Status::LogNotCreated;
        return outcome;
    }
    {
        const LosslessCharacterSet set(target_);
        if (!target_.exec(set.wire(request.createStatement))) {
            outcome.status = Status::CreateRefused;
            outcome.errorNumber = target_.errorNumber();
            outcome.errorText = set.fromWire(target_.errorText());
            return outcome;
        }
    }
    if (!request.copyData)
        return outcome;

    outcome.status = Status::Copied;
    if (!batchRows_ || *batchRows_ == 0) {
        log.started();
        outcome.noBatchSize = true;
        outcome.logIncomplete = !log.close();
        return outcome;
    }
    unsigned int errorNumber = 0;
    QString errorText;
    const std::optional<CopyJob> job =
        CopyJob::wholeTable(source_, utf8FromClient(request.sourceDatabase, serverEncoding(source_)),
                            utf8FromClient(request.sourceTable, serverEncoding(source_)),
                            request.targetDatabase, request.targetTable, &errorNumber, &errorText);
    if (!job) {
        // The source went away after the new table was made.
        outcome.copy.status = CopyOutcome::Status::SourceFailed;
        outcome.copy.errorNumber = errorNumber;
        outcome.copy.errorText = errorText;
        log.started();
        const CopyEngine::PageRange first = CopyEngine::pageRange(0, *batchRows_);
        log.pageStarted(first.from, first.to);
        log.readFailed();
    } else {
        CopyEngine engine(source_, target_);
        engine.setLogSink(&log);
        engine.setProgress(onProgress_);
        engine.setBatchRows(*batchRows_);
        engine.setCancelToken(cancel_);
        outcome.copy = engine.run(*job);
    }
    // The rows the copy read are the source's count at the time of the copy; a count of its own
    // beforehand would read the whole table once more.
    outcome.sourceRows = outcome.copy.read;
    if (onSourceCount_)
        onSourceCount_(outcome.sourceRows);
    outcome.logIncomplete = !log.close();
    return outcome;
}

QString TableCopy::completionText(const TableCopyOutcome& outcome, const QString& logPath) {
    QString text = QStringLiteral("正常に作成されました");
    if (outcome.status != TableCopyOutcome::Status::Copied)
        return text;
    if (outcome.noBatchSize)
        return text + u'\n' + msg(kNoBatchSizeMessage);
    const CopyOutcome& copy = outcome.copy;
    // A cancelled copy says how far it got, never that it was made.
    if (copy.status == CopyOutcome::Status::Cancelled) {
        text =
            copy.streamed ? msgf(kCancelledAfterRowsMessage, copy.copied) : msg(kStatementCancelledMessage);
        if (outcome.logIncomplete)
            text += u'\n' + msgf(kLogIncompleteMessage, logPath);
        return text;
    }
    const QString error = formatUi(QStringLiteral("%d:%s"), copy.errorNumber, copy.errorText);
    // Neither is a copy that another session or a time limit stopped.
    if (copy.status == CopyOutcome::Status::Interrupted) {
        text = msgf(kInterruptedMessage, copy.copied) + u'\n' + error;
        if (outcome.logIncomplete)
            text += u'\n' + msgf(kLogIncompleteMessage, logPath);
        return text;
    }
    switch (copy.status) {
        case CopyOutcome::Status::Complete:
            if (copy.refused > 0)
                text += u'\n' + msgf(kRowsRefusedMessage, copy.refused, copy.read, logPath) + u'\n' + error;
            break;
        case CopyOutcome::Status::SourceFailed:
            text += u'\n' + msgf(kSourceFailedMessage, copy.copied) + u'\n' + error;
            break;
        case CopyOutcome::Status::TargetFailed:
            text += u'\n' + msgf(kTargetFailedMessage, copy.copied) + u'\n' + error;
            break;
        case CopyOutcome::Status::ConnectFailed:
            text += u'\n' + msg(kConnectFailedMessage) + u'\n' + error;
            break;
        case CopyOutcome::Status::Cancelled:
        case CopyOutcome::Status::Interrupted:
            break;
    }
    if (outcome.logIncomplete)
        text += u'\n' + msgf(kLogIncompleteMessage, logPath);
    return text;
}

}  // namespace dbk
