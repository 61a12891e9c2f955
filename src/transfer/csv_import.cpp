#include "transfer/csv_import.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <thread>

#include "app/messages.h"
#include "conn/connection.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"
#include "transfer/kanji_converter.h"
#include "transfer/kanji_file.h"

namespace dbk {

namespace {

constexpr qint64 kBlockSize = 1 << 16;
constexpr const char* kWorkFileSuffix = "_TOLVANE_WORK.SJIS";

// Checks UTF-8 a block at a time: a sequence may run on from one block into the next.
class Utf8Check {
public:
    void add(std::string_view bytes) {
        for (const char ch : bytes) {
            if (!valid_)
                return;
            const auto b = static_cast<unsigned char>(ch);
            if (pending_ > 0) {
                if ((b & 0xC0) != 0x80 || b < low_ || b > high_) {
                    valid_ = false;
                    return;
                }
                low_ = 0x80;
                high_ = 0xBF;
                --pending_;
                continue;
            }
            if (b < 0x80)
                continue;
            nonAscii_ = true;
            // The second byte's range rules out too long forms, surrogates and code points
            // beyond U+10FFFF.
            low_ = 0x80;
            high_ = 0xBF;
            if (b >= 0xC2 && b <= 0xDF) {
                pending_ = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                pending_ = 2;
                low_ = b == 0xE0 ? 0xA0 : 0x80;
                high_ = b == 0xED ? 0x9F : 0xBF;
            } else if (b >= 0xF0 && b <= 0xF4) {
                pending_ = 3;
                low_ = b == 0xF0 ? 0x90 : 0x80;
                high_ = b == 0xF4 ? 0x8F : 0xBF;
            } else {
                valid_ = false;
            }
        }
    }
    // Valid to the end, with at least one character outside ASCII.
    bool isUtf8Text() const { return valid_ && pending_ == 0 && nonAscii_; }

private:
    bool valid_ = true;
    bool nonAscii_ = false;
    int pending_ = 0;
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
};

bool isRefusalOfLocalFiles(unsigned int errorNumber) {
    // 4166: MariaDB's "local infile capability disabled" (10.6 on); 1148: "the used command is not
    // allowed" of older servers; 3948: MySQL 8's "loading local data is disabled"; 2068: the
    // client library's refusal.
    return errorNumber == 4166 || errorNumber == 1148 || errorNumber == 3948 || errorNumber == 2068;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Whether the table's engine has transactions: a statement that fails or is stopped takes back
// its rows there, while an engine without them keeps the rows loaded until then. Empty when the
// table cannot be looked at.
std::optional<bool> tableHasTransactions(Connection& connection, const std::string& database,
                                         const std::string& table) {
    Result engine = connection.query(
        "SELECT e.TRANSACTIONS FROM information_schema.TABLES t JOIN information_schema.ENGINES e "
        "ON e.ENGINE = t.ENGINE WHERE t.TABLE_SCHEMA = '" +
        connection.escape(database) + "' AND t.TABLE_NAME = '" + connection.escape(table) + "'");
    if (!engine.ok() || !engine.next())
        return std::nullopt;
    return engine.text(0U) == "YES";
}

// The statement was cut short while it ran: the connection or the server went away (over an
// encrypted connection the library may say so as a TLS error), the statement was killed or ran
// out of time.
bool wasCutShort(unsigned int errorNumber) {
    switch (errorNumber) {
        case CR_SERVER_LOST:
        case CR_SERVER_GONE_ERROR:
        case CR_SSL_CONNECTION_ERROR:
        case ER_QUERY_INTERRUPTED:
        case ER_CONNECTION_KILLED:
        case ER_SERVER_SHUTDOWN:
        case ER_STATEMENT_TIMEOUT:
            return true;
        default:
            return false;
    }
}

std::optional<uint64_t> tableRows(Connection& connection, const std::string& database,
                                  const std::string& table) {
    Result count = connection.query("SELECT COUNT(*) FROM " + connection.qualifiedName(database, table));
    if (!count.ok() || !count.next())
        return std::nullopt;
    return std::strtoull(std::string(count.text(0U)).c_str(), nullptr, 10);
}

// The rows of a table after a LOAD DATA whose session `threadId` failed or was stopped, counted
// once that session has ended its statement (a killed session may still be at work a moment).
// A connection lost on the way is replaced by a short one of its own.
std::optional<uint64_t> rowsAfterFailure(Connection& connection, unsigned long threadId,
                                         const std::string& database, const std::string& table) {
    Connection fresh;
    Connection* counter = &connection;
    if (!connection.ping()) {
        ConnectParams params = connection.params();
        params.connectTimeoutSeconds = 5;
        if (!fresh.open(params))
            return std::nullopt;
        counter = &fresh;
        const std::string busy =
            "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + std::to_string(threadId) +
            " AND COMMAND <> 'Sleep'";
        for (int i = 0; i < 50; ++i) {
            Result r = fresh.query(busy);
            if (!r.ok() || !r.next() || r.text(0U) == "0")
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    return tableRows(*counter, database, table);
}

}  // namespace

CsvFirstLine analyseCsvFirstLine(const QString& path) {
    CsvFirstLine line;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return line;
    line.read = true;
    bool quoteSeen = false;
    char previous = '\0';
    std::string block(static_cast<size_t>(kBlockSize), '\0');
    for (;;) {
        const qint64 read = file.read(block.data(), kBlockSize);
        if (read <= 0)
            return line;
        for (qint64 i = 0; i < read; ++i) {
            const char c = block[static_cast<size_t>(i)];
            if (c == '\n') {
                line.crlf = previous == '\r';
                return line;
            }
            if (!line.separator && (c == ',' || c == '\t'))
                line.separator = c == ',' ? "," : "\\t";
            if (!quoteSeen && (c == '\'' || c == '"')) {
                quoteSeen = true;
                line.enclosure = std::string(1, c);
            }
            previous = c;
        }
    }
}

QString csvPreviewText(const QString& path, bool convert) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::string text;
    for (int lines = 0; lines < kCsvPreviewLines; ++lines) {
        const qint64 room = kCsvPreviewBytes - static_cast<qint64>(text.size());
        if (room <= 0)
            break;
        const QByteArray line = file.readLine(room + 1);  // reads one byte less than it is given
        if (line.isEmpty())
            break;
        text.append(line.constData(), static_cast<size_t>(line.size()));
        // A line break of CR LF shows as one break, like LF.
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
            text.erase(text.size() - 2, 1);
        if (text.back() != '\n')
            break;  // the end of the file, or the room is used up
    }
    if (convert) {
        KanjiConverter converter;
        converter.setOptions(kCsvConverterOptions);
        return fromShiftJis(converter.convert(text));
    }
    Utf8Check check;
    check.add(text);
    if (check.isUtf8Text())
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return fromShiftJis(text);
}

CsvFileCode csvFileCode(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return CsvFileCode::ShiftJis;
    Utf8Check check;
    std::string block(static_cast<size_t>(kBlockSize) * 16, '\0');
    for (;;) {
        const qint64 read = file.read(block.data(), static_cast<qint64>(block.size()));
        if (read < 0)
            return CsvFileCode::ShiftJis;
        if (read == 0)
            break;
        check.add(std::string_view(block.data(), static_cast<size_t>(read)));
    }
    return check.isUtf8Text() ? CsvFileCode::Utf8 : CsvFileCode::ShiftJis;
}

QString csvWorkFilePath(const QString& source) {
    return source + QString::fromLatin1(kWorkFileSuffix);
}

bool csvWorkFileNameFits(const QString& source) {
    const QString work = csvWorkFilePath(source);
    return QFile::encodeName(QFileInfo(work).fileName()).size() <= NAME_MAX &&
           QFile::encodeName(work).size() < PATH_MAX;
}

std::string loadDataStatement(const CsvImportOptions& options, const Connection& connection,
                              std::string_view fileName, std::string_view characterSetClause) {
    std::string statement = "LOAD DATA ";
    if (options.lowPriority)
        statement += "LOW_PRIORITY ";
    if (options.local)
        statement += "LOCAL ";
    statement += format("INFILE '%s' ", connection.escape(fileName));
    if (options.replace)
        statement += "REPLACE ";
    statement += format("INTO TABLE %s ", connection.qualifiedName(options.database, options.table));
    statement += characterSetClause;
    if (!options.separator.empty() || !options.enclosure.empty() || !options.escape.empty()) {
        statement += "FIELDS ";
        if (!options.separator.empty())
            statement += format("TERMINATED BY '%s' ", options.separator);
        if (!options.enclosure.empty())
            statement += format("ENCLOSED BY '%s' ", options.enclosure);
        if (!options.escape.empty())
            statement += format("ESCAPED BY '%s' ", options.escape);
    }
    if (!options.lineEnd.empty())
        statement += format("LINES TERMINATED BY '%s' ", options.lineEnd);
    if (!options.skipLines.empty())
        statement += format("IGNORE %s LINES", options.skipLines);
    return statement;
}

std::string CsvImporter::characterSetClause(const ServerGeneration& generation, CsvFileCode code) {
    return generation.loadDataCharacterSetClause(code == CsvFileCode::Utf8 ? generation.utf8CharacterSet()
                                                                           : "cp932");
}

CsvImportOutcome CsvImporter::run(const CsvImportOptions& options) {
    CsvImportOutcome outcome;
    QString file = options.path;
    CsvFileCode code = CsvFileCode::ShiftJis;
    if (options.convert) {
        if (!csvWorkFileNameFits(options.path)) {
            outcome.status = CsvImportOutcome::Status::NameTooLong;
            return outcome;
        }
        if (!QFile(options.path).open(QIODevice::ReadOnly)) {
            outcome.status = CsvImportOutcome::Status::SourceUnreadable;
            return outcome;
        }
        file = csvWorkFilePath(options.path);
        if (!convertKanjiFile(options.path, file, kCsvConverterOptions, &outcome.unconvertedCharacters)) {
            QFile::remove(file);
            outcome.status = CsvImportOutcome::Status::WorkFileFailed;
            return outcome;
        }
    } else {
        code = csvFileCode(options.path);
    }

    Connection& connection = session_.connection();
    outcome.encoding = serverEncoding(connection);
    const QByteArray fileName = QFile::encodeName(file);
    outcome.statement = loadDataStatement(
        options, connection, std::string_view(fileName.constData(), static_cast<size_t>(fileName.size())),
        characterSetClause(session_.generation(), code));
    // What a failed statement leaves depends on the table's engine; without transactions the
    // rows before and after tell how many stayed.
    const std::optional<bool> transactional =
        tableHasTransactions(connection, options.database, options.table);
    const std::optional<uint64_t> rowsBefore =
        transactional == false ? tableRows(connection, options.database, options.table) : std::nullopt;
    const unsigned long threadId = connection.threadId();
    const CancelToken never;
    const InterruptibleOutcome load =
        runInterruptible(connection, outcome.statement, cancel_ ? *cancel_ : never);
    if (!load.ok && transactional.has_value()) {
        // Said when the statement was cut short (rows may have come before), and when rows were
        // seen to stay; a statement refused before its first row leaves nothing to tell.
        std::optional<uint64_t> kept;
        if (!*transactional && rowsBefore) {
            const std::optional<uint64_t> after =
                rowsAfterFailure(connection, threadId, options.database, options.table);
            if (after && *after >= *rowsBefore)
                kept = *after - *rowsBefore;
        }
        if (load.cancelled || wasCutShort(load.errorNumber) || kept.value_or(0) > 0) {
            outcome.table = options.database + "." + options.table;
            outcome.keepsLoadedRows = !*transactional;
            outcome.rowsKept = kept;
        }
    }
    if (load.cancelled) {
        outcome.status = CsvImportOutcome::Status::Cancelled;
        outcome.errorNumber = load.errorNumber;
        outcome.errorText = load.errorText;
    } else if (!load.ok) {
        outcome.status = CsvImportOutcome::Status::StatementFailed;
        outcome.errorNumber = connection.errorNumber();
        outcome.errorText = connection.errorText();
        outcome.localRefused = options.local && isRefusalOfLocalFiles(outcome.errorNumber);
    } else {
        outcome.info = connection.info();
        outcome.warningCount = connection.handle() ? mysql_warning_count(connection.handle()) : 0;
        if (outcome.warningCount > 0) {
            Result warnings = connection.query(format("SHOW WARNINGS LIMIT %d", kShownWarnings));
            while (warnings.next()) {
                outcome.warnings.push_back(format("%s %s: %s", warnings.text("Level"), warnings.text("Code"),
                                                  warnings.text("Message")));
            }
        }
    }
    if (options.convert)
        QFile::remove(file);
    return outcome;
}

namespace {
// What a failed or cancelled statement left in the table, as a line of its own ("" when unknown).
QString leftInTable(const CsvImportOutcome& outcome) {
    if (!outcome.keepsLoadedRows)
        return {};
    const QString table = fromServer(outcome.encoding, outcome.table);
    if (!*outcome.keepsLoadedRows)
        return u'\n' + msgf(CsvImporter::kNoRowsKeptMessage, table);
    if (outcome.rowsKept)
        return u'\n' +
               msgf(CsvImporter::kRowsKeptMessage, table, static_cast<unsigned long long>(*outcome.rowsKept));
    return u'\n' + msgf(CsvImporter::kSomeRowsKeptMessage, table);
}
}  // namespace

QString CsvImporter::outcomeText(const CsvImportOutcome& outcome, const QString& path) {
    switch (outcome.status) {
        case CsvImportOutcome::Status::NameTooLong:
            return msgf(kNameTooLongMessage, path);
        case CsvImportOutcome::Status::SourceUnreadable:
            return msgf(kSourceUnreadableMessage, path);
        case CsvImportOutcome::Status::WorkFileFailed:
            return msgf(kWorkFileFailedMessage, csvWorkFilePath(path));
        case CsvImportOutcome::Status::StatementFailed: {
            QString text = fromServer(outcome.encoding, outcome.errorText);
            if (outcome.localRefused)
                text += QStringLiteral("\n") + msg(kLocalRefusedMessage);
            return text + leftInTable(outcome);
        }
        case CsvImportOutcome::Status::Cancelled:
            return msg(kCancelledMessage) + leftInTable(outcome);
        case CsvImportOutcome::Status::Imported:
            break;
    }
    QString text = msg(kImportedMessage);
    if (!outcome.info.empty())
        text += QStringLiteral("\n") + fromServer(outcome.encoding, outcome.info);
    if (outcome.unconvertedCharacters > 0)
        text += QStringLiteral("\n") +
                msgf(kUnconvertedMessage, static_cast<unsigned long long>(outcome.unconvertedCharacters));
    if (!outcome.warnings.empty()) {
        text += QStringLiteral("\n") + msgf(kWarningsMessage, static_cast<int>(outcome.warnings.size()));
        for (const std::string& warning : outcome.warnings)
            text += QStringLiteral("\n") + fromServer(outcome.encoding, warning);
    }
    return text;
}

}  // namespace dbk
