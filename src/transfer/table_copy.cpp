#include "transfer/table_copy.h"

#include <QFile>
#include <cctype>

#include "app/messages.h"
#include "conn/connection.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"

namespace dbk {

std::string retargetedStatement(std::string_view statement, std::string_view database,
                                std::string_view table) {
    const size_t open = statement.find('(');
    const std::string_view rest = open == std::string_view::npos ? statement : statement.substr(open);
    const std::string target =
        database.empty() ? Connection::ident(table) : Connection::qualifiedName(database, table);
    return format("CREATE TABLE %s %s", target, rest);
}

namespace {

bool isWordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool startsWithWord(std::string_view text, size_t at, std::string_view word) {
    if (text.size() - at < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != word[i])
            return false;
    }
    return true;
}

// Where the table type clause is: its keyword, and the value after "=" (blanks around "=" allowed).
struct TypeClause {
    size_t keyword = std::string_view::npos;
    size_t keywordLength = 0;
    size_t valueEnd = 0;
};

// Finds ENGINE= or TYPE= among the table options: outside parentheses (the column definitions,
// partitions) and outside quoted strings and names (comments, defaults).
TypeClause findTypeClause(std::string_view text) {
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'' || c == '"' || c == '`') {
            // Skip to the closing quote; a doubled quote or (in strings) a backslash escapes one.
            for (++i; i < text.size(); ++i) {
                if (c != '`' && text[i] == '\\') {
                    ++i;
                } else if (text[i] == c) {
                    if (i + 1 < text.size() && text[i + 1] == c) {
                        ++i;
                    } else {
                        break;
                    }
                }
            }
            continue;
        }
        if (c == '(') {
            ++depth;
            continue;
        }
        if (c == ')') {
            --depth;
            continue;
        }
        if (depth != 0 || (i > 0 && isWordByte(text[i - 1])))
            continue;
        for (std::string_view word : {std::string_view("ENGINE"), std::string_view("TYPE")}) {
            if (!startsWithWord(text, i, word))
                continue;
            size_t j = i + word.size();
            while (j < text.size() && isBlank(text[j]))
                ++j;
            if (j >= text.size() || text[j] != '=')
                continue;
            ++j;
            while (j < text.size() && isBlank(text[j]))
                ++j;
            size_t end = j;
            while (end < text.size() && !isBlank(text[end]))
                ++end;
            return TypeClause{i, word.size(), end};
        }
    }
    return {};
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

}  // namespace

std::string retypedStatement(std::string_view statement, std::string_view type,
                             std::string_view appendedClause) {
    const TypeClause clause = findTypeClause(statement);
    if (clause.keyword == std::string_view::npos)
        return format("%s %s", trimRight(statement), appendedClause);
    const std::string_view before = trimRight(statement.substr(0, clause.keyword));
    const std::string_view keyword = statement.substr(clause.keyword, clause.keywordLength);
    const std::string_view after = trimLeft(statement.substr(clause.valueEnd));
    if (after.empty())
        return format("%s %s=%s", before, keyword, type);
    return format("%s %s=%s %s", before, keyword, type, after);
}

// ---- log ----

namespace {

std::string shiftJis(const char* utf8) {
    return fromUi(QString::fromUtf8(utf8));
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
    write(copyLogErrorLine(clientFromUtf8(statement)));
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
        connection.query(format("select count(*) from %s", Connection::qualifiedName(database, table)));
    if (!count.ok() || !count.next())
        return std::nullopt;
    return std::strtoull(std::string(count.text(0U)).c_str(), nullptr, 10);
}

std::optional<std::string> createTableText(Connection& connection, std::string_view database,
                                           std::string_view table) {
    const LosslessCharacterSet set(connection);
    Result create =
        connection.query(set.wire(format("Show create table %s;", utf8QualifiedName(database, table))));
    if (!create.ok() || !create.next() || create.fieldCount() < 2)
        return std::nullopt;
    const std::string text(create.text(1U));
    return set.switched() ? text : utf8FromClient(text);
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
    const std::optional<CopyJob> job = CopyJob::wholeTable(
        source_, utf8FromClient(request.sourceDatabase), utf8FromClient(request.sourceTable),
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
