#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conn/cancel.h"
#include "conn/text_codec.h"

namespace dbk {

class Connection;
class ServerGeneration;
class Session;

// What the first line of a CSV file says about its format, in the notation of the form's fields.
struct CsvFirstLine {
    bool read = false;                     // the file could be opened
    std::optional<std::string> separator;  // "," or "\t" (backslash, t); none when neither occurs
    std::string enclosure;                 // "'" or "\"", or "" when no quote occurs
    bool crlf = false;                     // the line ends in CR LF
};
// Looks at the whole first line (up to the first line feed), however long, a block at a time.
CsvFirstLine analyseCsvFirstLine(const QString& path);

// The options of the converter for CSV files and their preview.
inline constexpr std::string_view kCsvConverterOptions = "-J -s -S -x -B";
inline constexpr int kCsvPreviewLines = 8;
inline constexpr qint64 kCsvPreviewBytes = 655360;

// The first lines of a file for the preview: at most 8 lines (and 640 KiB), each shown with a
// line break of its own whether the file has CR LF or LF. With conversion the text is read
// through the converter into Shift_JIS; without, in the file's own code (UTF-8 when the text is
// valid UTF-8, else Shift_JIS). "" when the file cannot be opened.
QString csvPreviewText(const QString& path, bool convert);

// The code a file that is loaded as it is must be named in: UTF-8 when the whole file is valid
// UTF-8 with at least one character outside ASCII, else Shift_JIS (CP932).
enum class CsvFileCode { ShiftJis, Utf8 };
CsvFileCode csvFileCode(const QString& path);

// The work file a conversion writes beside the source, and whether the file system can hold its
// name (one name at most 255 bytes, the path less than 4,096). A source whose work file name it
// cannot hold is refused, never cut.
QString csvWorkFilePath(const QString& source);
bool csvWorkFileNameFits(const QString& source);

// The choices of the import form. The field texts are the user's SQL notation ("\t", "\r\n") and
// go into the statement as typed; the names are those of the lists.
struct CsvImportOptions {
    QString path;
    bool local = false;
    bool lowPriority = false;
    bool replace = false;
    bool convert = true;
    std::string separator;
    std::string enclosure;
    std::string escape;
    std::string lineEnd;
    std::string skipLines;
    std::string database;
    std::string table;
};

// "LOAD DATA [LOW_PRIORITY ][LOCAL ]INFILE 'file' [REPLACE ]INTO TABLE db.t [charset clause]
// [FIELDS ...][LINES TERMINATED BY '...' ][IGNORE n LINES]". fileName is the file's name as the
// client library opens it, escaped here in the connection's character set; each clause ends in
// a blank except the IGNORE clause.
std::string loadDataStatement(const CsvImportOptions& options, const Connection& connection,
                              std::string_view fileName, std::string_view characterSetClause);

// How an import ended.
struct CsvImportOutcome {
    enum class Status {
        Imported,
        NameTooLong,       // the work file's name would not fit the file system; nothing sent
        SourceUnreadable,  // the file to convert cannot be opened; nothing sent
        WorkFileFailed,    // the work file could not be written; nothing sent
        StatementFailed,   // the server (or the client library) refused the statement
        Cancelled,         // the statement was stopped on request (KILL QUERY)
    };
    Status status = Status::Imported;
    std::string statement;  // what was sent
    unsigned int errorNumber = 0;
    std::string errorText;
    bool localRefused = false;  // the server does not take files from the client
    std::string info;           // the server's summary: "Records: 3  Deleted: 0  Skipped: 0  Warnings: 0"
    uint64_t warningCount = 0;
    std::vector<std::string> warnings;   // the first few: "Warning 1262: Row 2 was truncated; ..."
    uint64_t unconvertedCharacters = 0;  // characters the conversion could only write as "?"
    // What a failed or cancelled statement left in the table (as database.table, client code):
    // whether its engine keeps the rows loaded before the failure (unknown when the table could
    // not be looked at), and how many of them stayed when the rows could be counted.
    std::string table;
    std::optional<bool> keepsLoadedRows;
    std::optional<uint64_t> rowsKept;
    ServerEncoding encoding = ServerEncoding::Utf8;  // of the server's texts and the table's name
    bool imported() const { return status == Status::Imported; }
};

// Loads a CSV file into a table with one LOAD DATA statement. With conversion the file is first
// converted to Shift_JIS into its work file, which the statement names and which is removed
// afterwards, whatever the server said. On today's servers the statement names the character
// set the file is written in.
class CsvImporter {
public:
    explicit CsvImporter(Session& session) : session_(session) {}
    // The LOAD DATA statement waits on the server while window events go through; once the
    // token is cancelled it is stopped with KILL QUERY.
    void setCancelToken(const CancelToken* token) { cancel_ = token; }

    CsvImportOutcome run(const CsvImportOptions& options);

    // The character-set clause for a file of this code (converted files are Shift_JIS).
    static std::string characterSetClause(const ServerGeneration& generation, CsvFileCode code);

    // The message of an ended import: 10041 with the server's summary and first warnings, or
    // the server's error alone (and why, when it does not take files from the client), or why
    // nothing was sent.
    static QString outcomeText(const CsvImportOutcome& outcome, const QString& path);

    static constexpr int kShownWarnings = 5;
    static constexpr int kImportedMessage = 10041;
    // The server does not accept files from the client.
    static constexpr int kLocalRefusedMessage = 20900;
    // "The work file's name would be too long for the file system:\n%s"
    static constexpr int kNameTooLongMessage = 20901;
    // "Cannot read the file:\n%s"
    static constexpr int kSourceUnreadableMessage = 20902;
    // "Cannot write the work file:\n%s"
    static constexpr int kWorkFileFailedMessage = 20903;
    // "The server's first %d warnings:"
    static constexpr int kWarningsMessage = 20904;
    // "%llu characters of the file have no Shift_JIS form ..."
    static constexpr int kUnconvertedMessage = 20905;
    // The import was cancelled; a table without transactions keeps the rows loaded until then.
    static constexpr int kCancelledMessage = 21314;
    // "The table %s has no transactions: %llu rows loaded before the statement ended stay in it."
    static constexpr int kRowsKeptMessage = 22301;
    // The same when the rows could not be counted.
    static constexpr int kSomeRowsKeptMessage = 22302;
    // "The table %s has transactions: none of the file's rows stay in it."
    static constexpr int kNoRowsKeptMessage = 22303;

private:
    Session& session_;
    const CancelToken* cancel_ = nullptr;
};

}  // namespace dbk
