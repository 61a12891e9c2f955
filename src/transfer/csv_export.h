#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dbk {

class Connection;

// The separator and quote of the exported cells. Texts are bytes (Shift_JIS).
struct CsvFormat {
    enum class Separator { Comma, Tab, User };
    enum class Quote { Double, Single, User };

    Separator separator = Separator::Comma;
    Quote quote = Quote::Double;
    std::string userSeparator;  // used with Separator::User
    std::string userQuote;      // used with Quote::User

    // The text that follows every cell, and the one around every value.
    std::string separatorText() const;
    std::string quoteText() const;
};

// The text of one NULL value.
inline constexpr std::string_view kCsvNullText = "(null)";

// One cell: the value between the quotes, followed by the separator. A quote inside the value
// is doubled, so that a reader of the file gets the value back as it was.
std::string csvCell(const CsvFormat& format, const std::optional<std::string>& value);
// One line without its line end: the cells in field order, without the separator after the last.
std::string csvLine(const CsvFormat& format, const std::vector<std::optional<std::string>>& values);

// Replaces a ";" that ends the statement (blanks may follow it) by one blank; true when it did.
// The first character is never looked at.
bool removeTrailingSemicolon(std::string& statement);

// The statement of the sample: at most 6 rows of the query.
std::string csvSampleStatement(std::string_view statement);
// The sample text: the lines of the sample statement's rows, each ending in "\n"; "" when the
// statement fails.
std::string csvSample(Connection& connection, std::string_view statement, const CsvFormat& format);

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
    };
    Status status = Status::Complete;
    uint64_t rows = 0;  // rows written
    // The server's error of StatementFailed and ReadFailed.
    unsigned int errorNumber = 0;
    std::string errorText;
    bool complete() const { return status == Status::Complete; }
};

// Writes the rows of one statement to a file, one line per row ending in "\n". The rows are
// read from the server as they come (one statement, one row in memory at a time); the
// connection is marked busy until the result has been read to its end. Every 1,000 rows
// (rows 1, 1001, 2001, ...) the progress text is handed on and one round of window events
// is let through.
class CsvExporter {
public:
    using Progress = std::function<void(long long row, const QString& text)>;

    CsvExporter(Connection& connection, std::string statement, CsvFormat format);
    void setProgress(Progress progress) { progress_ = std::move(progress); }

    CsvExportOutcome run(const QString& path);

    // What an ended export has to say: the completion text, or why it failed ("Error opening
    // file.", the server's error, or that the file could not be written completely).
    static QString outcomeText(const CsvExportOutcome& outcome, const QString& path);

    static constexpr int kProgressStep = 1000;
    // "The file could not be written completely:\n%s" with the path.
    static constexpr int kWriteFailedMessage = 20400;

private:
    Connection& connection_;
    std::string statement_;
    CsvFormat format_;
    Progress progress_;
};

}  // namespace dbk
