#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conn/streamed_reader.h"
#include "conn/text_codec.h"
#include "transfer/copy_engine.h"
#include "transfer/kanji_converter.h"

namespace dbk {

class Connection;

// The separator, quote and character code of the exported cells. The user's texts are bytes
// in the file's code.
struct CsvFormat {
    enum class Separator { Comma, Tab, User };
    enum class Quote { Double, Single, User };
    // Shift_JIS (CP932), or UTF-8 as the server sends text.
    enum class Encoding { ShiftJis, Utf8 };

    Separator separator = Separator::Comma;
    Quote quote = Quote::Double;
    std::string userSeparator;  // used with Separator::User
    std::string userQuote;      // used with Quote::User
    Encoding encoding = Encoding::ShiftJis;

    // The text that follows every cell, and the one around every value.
    std::string separatorText() const;
    std::string quoteText() const;
};

// The text of one NULL value.
inline constexpr std::string_view kCsvNullText = "(null)";

// One cell: the value between the quotes, followed by the separator. A quote inside the value
// is doubled, so that a reader of the file gets the value back as it was. The value is in the
// format's code: in Shift_JIS only whole characters match the quote.
std::string csvCell(const CsvFormat& format, const std::optional<std::string>& value);
// One line without its line end: the cells in field order, without the separator after the last.
std::string csvLine(const CsvFormat& format, const std::vector<std::optional<std::string>>& values);

// Replaces a ";" that ends the statement (blanks may follow it) by one blank; true when it did.
// The first character is never looked at.
bool removeTrailingSemicolon(std::string& statement);

// What the export makes of a statement. Only statements that return rows are sent; the kind is
// told from the first word after blanks, comments and opening parentheses (the text of a
// "/*! ... */" comment counts, since the server runs it).
enum class CsvStatementKind {
    Refused,  // returns no rows or writes (DELETE, UPDATE, SELECT ... INTO, ...): never sent
    Query,    // SELECT, WITH ... SELECT, VALUES, TABLE
    Listing,  // SHOW, DESCRIBE, DESC, EXPLAIN (EXPLAIN ANALYZE only of a query)
    Call,     // CALL of a procedure: its first result is exported
};
CsvStatementKind csvStatementKind(std::string_view statement,
                                  ServerEncoding encoding = ServerEncoding::ShiftJis);

// The statement of the sample: at most 6 rows of the query.
std::string csvSampleStatement(std::string_view statement);

// The statement that exports a whole table: "Select * from db.table".
std::string tableExportStatement(const Connection& connection, const std::string& database,
                                 const std::string& table);
// The sample: the lines of the first 6 rows, each ending in "\n", in the bytes the file would
// get. A query is sent with csvSampleStatement(); when the server cannot take the page clause
// there (the query has a LIMIT of its own, ends in FOR UPDATE, ...), and for the other kinds,
// the statement is sent as it is and only its first 6 rows are read. A CALL is not run for a
// sample (the procedure may change data), a refused statement is not sent; both give "", as
// does a statement that fails.
std::string csvSample(Connection& connection, std::string_view statement, const CsvFormat& format);
// The sample as the form shows it: the bytes decoded from the file's code, or why there is none
// (a refused statement, a CALL).
QString csvSampleText(Connection& connection, std::string_view statement, const CsvFormat& format);

// Text in the file's code, and back.
std::string csvFileText(const QString& text, CsvFormat::Encoding encoding);
QString csvDisplayText(std::string_view bytes, CsvFormat::Encoding encoding);

// "Exporting to file. . .%ld record" for the row that is written; "File Export Complete".
QString csvProgressText(long long row);
QString csvCompletionText();

// How an export ended.
struct CsvExportOutcome {
    enum class Status {
        Complete,
        FileNotOpened,    // the output file could not be created
        StatementFailed,  // the server refused the statement
        ReadFailed,       // the server went away or failed while the rows arrived
        WriteFailed,      // the file could not be written completely (disk full)
        Refused,          // not a statement that returns rows: nothing was sent, no file made
        NoResultSet,      // the statement ran and returned no rows at all
        Cancelled,        // stopped on request; the file holds the rows written until then
    };
    Status status = Status::Complete;
    uint64_t rows = 0;  // rows written
    // The server's error of StatementFailed and ReadFailed, in `encoding`.
    unsigned int errorNumber = 0;
    std::string errorText;
    // Values with characters the Shift_JIS file cannot hold (written as "?").
    uint64_t unmappableValues = 0;
    ServerEncoding encoding = ServerEncoding::Utf8;  // of errorText
    bool complete() const { return status == Status::Complete; }
};

// Writes the rows of one statement to a file, one line per row ending in "\n". Only a statement
// that returns rows is sent (csvStatementKind). The rows are read with the streamed reader (one
// statement, the connection busy until every result was read); the progress text is handed on
// at the first row and then a few times a second, and the window's events are let through
// meanwhile. The rows come with the connection in utf8mb4, its own character set put back
// afterwards: text values are written in the file's code (Shift_JIS through the kanji
// converter's encoder, or UTF-8 as they come), values of binary columns as their bytes.
class CsvExporter {
public:
    using Progress = std::function<void(long long row, const QString& text)>;

    CsvExporter(Connection& connection, std::string statement, CsvFormat format);
    void setProgress(Progress progress) { progress_ = std::move(progress); }
    // Stops a running export before its next row (the rest of the result is discarded).
    void cancel() { reader_.cancel(); }

    CsvExportOutcome run(const QString& path);

    // What an ended export has to say: the completion text (with the count of values that lost
    // characters), or why it failed ("Error opening file.", the server's error, that the file
    // could not be written completely, that the statement returns no rows).
    static QString outcomeText(const CsvExportOutcome& outcome, const QString& path);

    // "The file could not be written completely:\n%s" with the path.
    static constexpr int kWriteFailedMessage = 20400;
    // Only statements that return rows can be exported; nothing was sent.
    static constexpr int kRefusedMessage = 20401;
    // The statement returned no rows to export.
    static constexpr int kNoResultSetMessage = 20402;
    // The sample of a CALL is not made.
    static constexpr int kNoCallSampleMessage = 20403;
    // "%lld values held characters Shift_JIS cannot hold ..."
    static constexpr int kUnmappableMessage = 20404;
    // "The export was cancelled after %llu rows ..." with the rows and the path of the partial file.
    static constexpr int kCancelledMessage = 21310;
    // "The file is partial: it holds only the %llu rows read before the failure.\n%s"
    static constexpr int kPartialFileMessage = 22300;

private:
    Connection& connection_;
    std::string statement_;
    CsvFormat format_;
    Progress progress_;
    StreamedReader reader_;
};

}  // namespace dbk
