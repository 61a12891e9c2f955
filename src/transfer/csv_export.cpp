#include "transfer/csv_export.h"

#include <mysqld_error.h>

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/messages.h"
#include "conn/connection.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"

namespace dbk {

namespace {

constexpr int kSampleRows = 6;

bool hasEightBit(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    // Eight bytes at a time: most values are ASCII and this is on every value's way.
    for (; end - p >= 8; p += 8) {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if (word & 0x8080808080808080ULL)
            return true;
    }
    for (; p != end; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80)
            return true;
    }
    return false;
}

// The value with every occurrence of the quote doubled. In UTF-8 (and in ASCII) no byte of a
// character can be taken for another character, so the search goes byte by byte.
void appendQuotedBytes(std::string& out, std::string_view value, std::string_view quote) {
    if (quote.empty() || value.find(quote[0]) == std::string_view::npos) {
        out += value;
        return;
    }
    size_t start = 0;
    for (size_t at = value.find(quote); at != std::string_view::npos; at = value.find(quote, start)) {
        out.append(value, start, at + quote.size() - start);
        out += quote;
        start = at + quote.size();
    }
    out.append(value, start);
}

// The same for Shift_JIS, where a second byte may equal an ASCII quote character such as "|":
// only whole characters match.
void appendQuotedShiftJis(std::string& out, std::string_view value, std::string_view quote) {
    if (quote.empty() || value.find(quote[0]) == std::string_view::npos) {
        out += value;
        return;
    }
    if (quote.size() == 1 && !isShiftJisTrail(static_cast<unsigned char>(quote[0]))) {
        // The usual quotes (" and ') never occur inside a Shift_JIS character.
        appendQuotedBytes(out, value, quote);
        return;
    }
    for (size_t i = 0; i < value.size();) {
        if (value[i] == quote[0] && value.compare(i, quote.size(), quote) == 0) {
            out += quote;
            out += quote;
            i += quote.size();
        } else if (isShiftJisLead(static_cast<unsigned char>(value[i])) && i + 1 < value.size() &&
                   isShiftJisTrail(static_cast<unsigned char>(value[i + 1]))) {
            out.append(value, i, 2);
            i += 2;
        } else {
            out += value[i++];
        }
    }
}

void appendQuoted(std::string& out, std::string_view value, std::string_view quote,
                  CsvFormat::Encoding encoding) {
    if (encoding == CsvFormat::Encoding::Utf8)
        appendQuotedBytes(out, value, quote);
    else
        appendQuotedShiftJis(out, value, quote);
}

void dropLastSeparator(std::string& line, std::string_view separator) {
    if (line.size() >= separator.size())
        line.resize(line.size() - separator.size());
}

// Turns rows into lines of the file. Values arrive in UTF-8 (the connection was switched) or,
// from a server that could not switch, in Shift_JIS; text values are written in the file's
// code, those of binary columns as their bytes.
class CsvLineMaker {
public:
    CsvLineMaker(const CsvFormat& format, bool valuesInUtf8)
        : quote_(format.quoteText()),
          separator_(format.separatorText()),
          encoding_(format.encoding),
          valuesInUtf8_(valuesInUtf8) {}

    void setFields(const std::vector<FieldInfo>& fields) {
        binary_.clear();
        for (const FieldInfo& field : fields)
            binary_.push_back(field.isBinary());
    }

    // One row of a result as a line of the file, with its line end.
    void make(std::string& line, const Result& row) {
        line.clear();
        for (unsigned column = 0; column < row.fieldCount(); ++column) {
            line += quote_;
            if (row.isNull(column))
                line += kCsvNullText;
            else
                appendValue(line, row.text(column), column < binary_.size() && binary_[column]);
            line += quote_;
            line += separator_;
        }
        dropLastSeparator(line, separator_);
        line += '\n';
    }

    uint64_t unmappableValues() const { return unmappableValues_; }

private:
    void appendValue(std::string& line, std::string_view value, bool binary) {
        const bool toShiftJis = encoding_ == CsvFormat::Encoding::ShiftJis;
        if (binary || !hasEightBit(value) || valuesInUtf8_ != toShiftJis) {
            // As it comes: bytes, ASCII, or text already in the file's code.
            appendQuoted(line, value, quote_, encoding_);
            return;
        }
        converted_.clear();
        if (toShiftJis) {
            if (encoder_.appendUtf8(value, converted_) > 0)
                ++unmappableValues_;
        } else {
            // Values come in Shift_JIS only from a session that has no UTF-8.
            const QByteArray utf8 = fromServer(ServerEncoding::ShiftJis, value).toUtf8();
            converted_.assign(utf8.constData(), static_cast<size_t>(utf8.size()));
        }
        appendQuoted(line, converted_, quote_, encoding_);
    }

    const std::string quote_;
    const std::string separator_;
    const CsvFormat::Encoding encoding_;
    const bool valuesInUtf8_;
    std::vector<bool> binary_;
    ShiftJisEncoder encoder_;
    std::string converted_;
    uint64_t unmappableValues_ = 0;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// ---- statement kinds ----

bool equalsWord(std::string_view word, std::string_view upper) {
    return word.size() == upper.size() &&
           std::equal(word.begin(), word.end(), upper.begin(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
           });
}

bool isWordByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c >= 0x80;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Reads a statement token by token, the way the server splits it: blanks and comments between
// tokens, quoted strings and names as single tokens. The text of a "/*!" or "/*M!" comment is
// read as statement text, since the server runs it. In Shift_JIS a lead byte and the byte after
// it are one character.
class StatementScanner {
public:
    StatementScanner(std::string_view text, bool shiftJis) : text_(text), shiftJis_(shiftJis) {}

    bool atEnd() {
        skipBlanks();
        return pos_ >= text_.size();
    }
    char peek() {
        skipBlanks();
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    // Takes one character token ("(", ",", "=", ...) when it comes next.
    bool take(char c) {
        if (peek() != c)
            return false;
        ++pos_;
        return true;
    }
    void skipOpeningParentheses() {
        while (take('(')) {
        }
    }
    // The next token when it is a word (letters, digits, "_", "$", non-ASCII), else "". A word
    // taken is consumed.
    std::string_view word() {
        skipBlanks();
        const size_t start = pos_;
        while (pos_ < text_.size() && isWordByte(static_cast<unsigned char>(text_[pos_])))
            pos_ += isShiftJisPairAt(pos_) ? 2 : 1;
        return text_.substr(start, pos_ - start);
    }
    bool takeWord(std::string_view upper) {
        const size_t before = pos_;
        if (equalsWord(word(), upper))
            return true;
        pos_ = before;
        return false;
    }
    // A name: a word or a quoted name.
    bool takeName() {
        const char c = peek();
        if (c == '`' || c == '"') {
            skipQuoted();
            return true;
        }
        return !word().empty();
    }
    // Skips "( ... )" with everything nested in it; false when it does not close.
    bool skipParenthesised() {
        if (!take('('))
            return false;
        int depth = 1;
        while (depth > 0 && !atEnd())
            depth += skipToken();
        return depth == 0;
    }
    // Whether a bare word (not quoted, not a variable, not after a ".") equal to `upper` comes in
    // the rest of the statement.
    bool restHasWord(std::string_view upper) {
        while (!atEnd()) {
            const char c = text_[pos_];
            if (c == '@' || c == '.') {
                // "@into", "@@x", "t.into": names, not keywords
                ++pos_;
                while (pos_ < text_.size() && (text_[pos_] == '@' || text_[pos_] == '.'))
                    ++pos_;
                if (pos_ < text_.size() && (text_[pos_] == '`' || text_[pos_] == '"' || text_[pos_] == '\''))
                    skipQuoted();
                else
                    word();
                continue;
            }
            if (isWordByte(static_cast<unsigned char>(c))) {
                if (equalsWord(word(), upper))
                    return true;
                continue;
            }
            skipToken();
        }
        return false;
    }

private:
    bool isShiftJisPairAt(size_t i) const {
        return shiftJis_ && i + 1 < text_.size() && isShiftJisLead(static_cast<unsigned char>(text_[i])) &&
               isShiftJisTrail(static_cast<unsigned char>(text_[i + 1]));
    }

    void skipBlanks() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            const std::string_view rest = text_.substr(pos_);
            if (isBlank(c)) {
                ++pos_;
            } else if (c == '#' || (rest.size() >= 2 && rest[0] == '-' && rest[1] == '-' &&
                                    (rest.size() == 2 || isBlank(rest[2]) ||
                                     static_cast<unsigned char>(rest[2]) < 0x20))) {
                const size_t end = text_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else if (rest.starts_with("/*!") || rest.starts_with("/*M!")) {
                // The comment's text counts; its version number does not.
                pos_ += rest[2] == '!' ? 3 : 4;
                while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')
                    ++pos_;
                ++openRunComments_;
            } else if (rest.starts_with("/*")) {
                const size_t end = text_.find("*/", pos_ + 2);
                pos_ = end == std::string_view::npos ? text_.size() : end + 2;
            } else if (openRunComments_ > 0 && rest.starts_with("*/")) {
                pos_ += 2;
                --openRunComments_;
            } else {
                return;
            }
        }
    }

    // Skips a quoted string or name at the current position, escapes and doubled quotes
    // included.
    void skipQuoted() {
        const char quote = text_[pos_++];
        while (pos_ < text_.size()) {
            if (isShiftJisPairAt(pos_)) {
                pos_ += 2;
            } else if (text_[pos_] == '\\' && quote != '`') {
                pos_ += 2;
            } else if (text_[pos_] == quote) {
                ++pos_;
                if (pos_ < text_.size() && text_[pos_] == quote)
                    ++pos_;
                else
                    return;
            } else {
                ++pos_;
            }
        }
        pos_ = std::min(pos_, text_.size());
    }

    // Skips one token; +1 for "(", -1 for ")", 0 for the others.
    int skipToken() {
        const char c = text_[pos_];
        if (c == '\'' || c == '"' || c == '`') {
            skipQuoted();
            return 0;
        }
        if (isWordByte(static_cast<unsigned char>(c))) {
            word();
            return 0;
        }
        ++pos_;
        return c == '(' ? 1 : c == ')' ? -1 : 0;
    }

    std::string_view text_;
    bool shiftJis_;
    size_t pos_ = 0;
    int openRunComments_ = 0;
};

bool isQueryWord(std::string_view word) {
    return equalsWord(word, "SELECT") || equalsWord(word, "VALUES") || equalsWord(word, "TABLE");
}

// After "WITH": the common table expressions, then the query they serve.
bool isQueryAfterWith(StatementScanner& scanner) {
    scanner.takeWord("RECURSIVE");
    do {
        if (!scanner.takeName())
            return false;
        if (scanner.peek() == '(' && !scanner.skipParenthesised())
            return false;
        if (!scanner.takeWord("AS") || !scanner.skipParenthesised())
            return false;
        if (scanner.takeWord("CYCLE")) {
            while (!scanner.atEnd() && !scanner.takeWord("RESTRICT")) {
                if (!scanner.take(',') && !scanner.takeName())
                    return false;
            }
        }
    } while (scanner.take(','));
    scanner.skipOpeningParentheses();
    return isQueryWord(scanner.word());
}

// "FORMAT=JSON", "EXTENDED", "PARTITIONS" after EXPLAIN.
void skipExplainOptions(StatementScanner& scanner) {
    for (;;) {
        if (scanner.takeWord("FORMAT")) {
            scanner.take('=');
            scanner.word();
        } else if (!scanner.takeWord("EXTENDED") && !scanner.takeWord("PARTITIONS")) {
            return;
        }
    }
}

CsvStatementKind queryKind(StatementScanner& scanner) {
    // SELECT ... INTO writes to a file or variables and returns no rows.
    return scanner.restHasWord("INTO") ? CsvStatementKind::Refused : CsvStatementKind::Query;
}

CsvStatementKind statementKind(StatementScanner& scanner) {
    scanner.skipOpeningParentheses();
    const std::string_view first = scanner.word();
    if (isQueryWord(first))
        return queryKind(scanner);
    if (equalsWord(first, "WITH"))
        return isQueryAfterWith(scanner) ? queryKind(scanner) : CsvStatementKind::Refused;
    if (equalsWord(first, "SHOW"))
        return CsvStatementKind::Listing;
    if (equalsWord(first, "EXPLAIN") || equalsWord(first, "DESCRIBE") || equalsWord(first, "DESC")) {
        skipExplainOptions(scanner);
        // EXPLAIN ANALYZE runs the statement it explains.
        if (!scanner.takeWord("ANALYZE"))
            return CsvStatementKind::Listing;
        skipExplainOptions(scanner);
        return statementKind(scanner) == CsvStatementKind::Query ? CsvStatementKind::Listing
                                                                 : CsvStatementKind::Refused;
    }
    if (equalsWord(first, "CALL"))
        return CsvStatementKind::Call;
    return CsvStatementKind::Refused;
}

// The statement as the connection takes it once it was switched to UTF-8 (or not).
std::string statementToSend(std::string_view statement, const LosslessCharacterSet& set) {
    return set.switched() ? set.utf8(statement) : std::string(statement);
}

}  // namespace

std::string CsvFormat::separatorText() const {
    switch (separator) {
        case Separator::Comma:
            return ",";
        case Separator::Tab:
            return "\t";
        case Separator::User:
            return userSeparator;
    }
    return ",";
}

std::string CsvFormat::quoteText() const {
    switch (quote) {
        case Quote::Double:
            return "\"";
        case Quote::Single:
            return "'";
        case Quote::User:
            return userQuote;
    }
    return "\"";
}

std::string csvCell(const CsvFormat& format, const std::optional<std::string>& value) {
    const std::string quote = format.quoteText();
    std::string out = quote;
    appendQuoted(out, value ? std::string_view(*value) : kCsvNullText, quote, format.encoding);
    out += quote;
    out += format.separatorText();
    return out;
}

std::string csvLine(const CsvFormat& format, const std::vector<std::optional<std::string>>& values) {
    std::string line;
    for (const auto& value : values)
        line += csvCell(format, value);
    dropLastSeparator(line, format.separatorText());
    return line;
}

bool removeTrailingSemicolon(std::string& statement) {
    for (size_t i = statement.size(); i-- > 1;) {
        if (statement[i] == ' ')
            continue;
        if (statement[i] != ';')
            return false;
        statement[i] = ' ';
        return true;
    }
    return false;
}

CsvStatementKind csvStatementKind(std::string_view statement, ServerEncoding encoding) {
    StatementScanner scanner(statement, encoding == ServerEncoding::ShiftJis);
    return statementKind(scanner);
}

std::string csvSampleStatement(std::string_view statement) {
    return format("%s Limit 6", statement);
}

std::string csvSample(Connection& connection, std::string_view statement, const CsvFormat& format) {
    const CsvStatementKind kind = csvStatementKind(statement, serverEncoding(connection));
    if (kind == CsvStatementKind::Refused || kind == CsvStatementKind::Call)
        return {};
    const LosslessCharacterSet readSet(connection);
    const std::string sent = statementToSend(statement, readSet);
    CsvLineMaker lines(format, readSet.switched());
    std::string text;
    std::string line;
    const auto read = [&](const std::string& sampleStatement) {
        StreamedReader reader(connection);
        // Six rows: nothing to wait for, and no window event may start a second sample meanwhile.
        reader.setLetsEventsThrough(false);
        text.clear();
        int rows = 0;
        return reader.run(
            sampleStatement,
            [&](const Result& row) {
                lines.make(line, row);
                text += line;
                return ++rows < kSampleRows ? StreamedReader::Step::Continue : StreamedReader::Step::Stop;
            },
            [&](const std::vector<FieldInfo>& fields) {
                lines.setFields(fields);
                return StreamedReader::Step::Continue;
            });
    };
    StreamOutcome outcome;
    if (kind == CsvStatementKind::Query) {
        outcome = read(csvSampleStatement(sent));
        if (outcome.status == StreamOutcome::Status::StatementFailed && outcome.errorNumber == ER_PARSE_ERROR)
            outcome = read(sent);
    } else {
        outcome = read(sent);
    }
    const bool read6 =
        outcome.status == StreamOutcome::Status::Complete || outcome.status == StreamOutcome::Status::Stopped;
    return read6 ? text : std::string();
}

QString csvSampleText(Connection& connection, std::string_view statement, const CsvFormat& format) {
    switch (csvStatementKind(statement, serverEncoding(connection))) {
        case CsvStatementKind::Refused:
            return msg(CsvExporter::kRefusedMessage);
        case CsvStatementKind::Call:
            return msg(CsvExporter::kNoCallSampleMessage);
        case CsvStatementKind::Query:
        case CsvStatementKind::Listing:
            break;
    }
    return csvDisplayText(csvSample(connection, statement, format), format.encoding);
}

std::string csvFileText(const QString& text, CsvFormat::Encoding encoding) {
    if (encoding == CsvFormat::Encoding::ShiftJis)
        return toShiftJis(text);
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

QString csvDisplayText(std::string_view bytes, CsvFormat::Encoding encoding) {
    if (encoding == CsvFormat::Encoding::ShiftJis)
        return fromShiftJis(bytes);
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString csvProgressText(long long row) {
    return msgf(10051, row);
}

QString csvCompletionText() {
    return msg(10052);
}

// ---- CsvExporter ----

CsvExporter::CsvExporter(Connection& connection, std::string statement, CsvFormat format)
    : connection_(connection),
      statement_(std::move(statement)),
      format_(std::move(format)),
      reader_(connection) {}

CsvExportOutcome CsvExporter::run(const QString& path) {
    using Status = CsvExportOutcome::Status;
    CsvExportOutcome outcome;
    if (csvStatementKind(statement_, serverEncoding(connection_)) == CsvStatementKind::Refused) {
        outcome.status = Status::Refused;
        return outcome;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(QFile::encodeName(path).constData(), "wb"));
    if (!file) {
        outcome.status = Status::FileNotOpened;
        return outcome;
    }
    StreamOutcome read;
    {
        const LosslessCharacterSet readSet(connection_);
        const bool inUtf8 = readSet.switched();
        CsvLineMaker lines(format_, inUtf8);
        std::string line;
        reader_.setProgress([this](uint64_t row) {
            if (progress_)
                progress_(static_cast<long long>(row), csvProgressText(static_cast<long long>(row)));
        });
        read = reader_.run(
            statementToSend(statement_, readSet),
            [&](const Result& row) {
                lines.make(line, row);
                if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) {
                    outcome.status = Status::WriteFailed;
                    return StreamedReader::Step::Stop;
                }
                ++outcome.rows;
                return StreamedReader::Step::Continue;
            },
            [&](const std::vector<FieldInfo>& fields) {
                lines.setFields(fields);
                return StreamedReader::Step::Continue;
            });
        outcome.encoding = inUtf8 ? ServerEncoding::Utf8 : readSet.client();
        outcome.unmappableValues = lines.unmappableValues();
    }
    switch (read.status) {
        case StreamOutcome::Status::Complete:
        case StreamOutcome::Status::Stopped:  // only a failed write stops
            break;
        case StreamOutcome::Status::StatementFailed:
            outcome.status = Status::StatementFailed;
            break;
        case StreamOutcome::Status::NoResultSet:
            outcome.status = Status::NoResultSet;
            break;
        case StreamOutcome::Status::ReadFailed:
            outcome.status = Status::ReadFailed;
            break;
        case StreamOutcome::Status::Cancelled:
            outcome.status = Status::Cancelled;
            break;
    }
    if (outcome.status == Status::StatementFailed || outcome.status == Status::ReadFailed) {
        outcome.errorNumber = read.errorNumber;
        outcome.errorText = read.errorText;
    }
    if (std::fclose(file.release()) != 0 && outcome.complete())
        outcome.status = Status::WriteFailed;
    return outcome;
}

QString CsvExporter::outcomeText(const CsvExportOutcome& outcome, const QString& path) {
    const auto serverError = [&outcome](int messageId) {
        return msg(messageId) + u'\n' +
               formatUi(QStringLiteral("%d:%s"), outcome.errorNumber,
                        fromServer(outcome.encoding, outcome.errorText));
    };
    switch (outcome.status) {
        case CsvExportOutcome::Status::Complete:
            if (outcome.unmappableValues > 0)
                return csvCompletionText() + u'\n' + msgf(kUnmappableMessage, outcome.unmappableValues);
            return csvCompletionText();
        case CsvExportOutcome::Status::FileNotOpened:
            return msg(10053);
        case CsvExportOutcome::Status::StatementFailed:
            return serverError(10054);
        case CsvExportOutcome::Status::ReadFailed:
            // The rows read before the failure stay in the file.
            return serverError(10055) + u'\n' +
                   msgf(kPartialFileMessage, static_cast<unsigned long long>(outcome.rows), path);
        case CsvExportOutcome::Status::WriteFailed:
            return msgf(kWriteFailedMessage, path);
        case CsvExportOutcome::Status::Refused:
            return msg(kRefusedMessage);
        case CsvExportOutcome::Status::NoResultSet:
            return msg(kNoResultSetMessage);
        case CsvExportOutcome::Status::Cancelled:
            return msgf(kCancelledMessage, static_cast<unsigned long long>(outcome.rows), path);
    }
    return {};
}

std::string tableExportStatement(const Connection& connection, const std::string& database,
                                 const std::string& table) {
    return format("Select * from %s", connection.qualifiedName(database, table));
}

}  // namespace dbk
