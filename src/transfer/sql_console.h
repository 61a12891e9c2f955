#pragma once

#include <QString>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/ui_services.h"
#include "browser/record_page.h"
#include "conn/text_codec.h"

class QSettings;

namespace dbk {

class Connection;

// The SQL console's work apart from its form: cutting the typed text into statements,
// running one statement, the browsing tree's listings, the work file and the stored font.
// Texts are bytes in the session's character set.
namespace sql_console {

// The status line after a statement that went through.
inline constexpr const char* kProcessedText = "正しく処理されました";
// A field name is converted into a buffer of this size, its terminator included.
inline constexpr size_t kHeadingBufferSize = 256;
inline constexpr int kColumnWidth = 100;

// Cuts the text at every ";", quotes and comments notwithstanding. Each piece before a ";"
// is a statement, even an empty one; the rest after the last ";" is one more when it is not
// empty. A text without ";" is one statement as it stands, "" included.
std::vector<std::string> splitStatements(std::string_view text);
// Where those cuts fall, as (start, length) of each statement, in bytes or in characters
// alike: a ";" is one of either.
template <class View>
std::vector<std::pair<size_t, size_t>> statementSpans(View text) {
    std::vector<std::pair<size_t, size_t>> spans;
    size_t start = 0;
    for (size_t i = 0; i < static_cast<size_t>(text.size()); ++i) {
        if (text[i] == ';') {
            spans.emplace_back(start, i - start);
            start = i + 1;
        }
    }
    if (start < static_cast<size_t>(text.size()) || spans.empty())
        spans.emplace_back(start, static_cast<size_t>(text.size()) - start);
    return spans;
}

// What one statement did.
struct Outcome {
    enum class Kind {
        Empty,        // nothing was typed; nothing was sent
        Failed,       // the server refused it; status holds its error text
        NoResultSet,  // done without rows (INSERT, UPDATE, CREATE ...)
        ResultSet,    // rows arrived: headings and rows are set
    };
    Kind kind = Kind::Empty;
    QString status;
    std::vector<std::string> headings;
    std::vector<Row> rows;
    ServerEncoding encoding = ServerEncoding::Utf8;  // of the headings and rows
    std::time_t startTime = 0;                       // before sending
    std::time_t dataTime = 0;                        // after the result was stored
    uint64_t affectedRows = 0;                       // of a statement without a result set
};

// Sends one statement as it stands and reads its whole result. Further result sets (a
// procedure's) are read and dropped, so the connection is ready for the next statement.
Outcome runStatement(Connection& connection, std::string_view statement);

// The connection's default database now ("" when none or when it cannot be read).
std::string currentDatabase(Connection& connection);
// Whether the statement may change the session's default database: USE, or DROP (of the
// database in use), or a conditional comment that may hold either. No other statement does.
bool mayChangeDatabase(std::string_view statement);

// A field name as the list shows it: in a Shift_JIS session through the kanji converter
// ("-s -x -X"), cut to what its buffer holds without splitting a character; in UTF-8 as it is.
std::string headingOf(std::string_view fieldName, ServerEncoding encoding);

// Whole seconds between two times as the timing fields show them ("%lu秒").
QString secondsText(std::time_t from, std::time_t to);

// The browsing tree. Names come back in byte order.
// The server's databases (the first column of the database list); nullopt when the list
// cannot be read.
std::optional<std::vector<std::string>> databaseNames(Connection& connection);
// Makes the database the default one and lists its tables; nullopt when it cannot be
// selected. A table list that cannot be read is empty.
std::optional<std::vector<std::string>> useDatabase(Connection& connection, const std::string& database);
// The fields of a table, as the field listing reads them; empty when the statement fails.
std::vector<std::string> fieldNames(Connection& connection, const std::string& database,
                                    const std::string& table);

// What a double-click on a tree node appends to the statement text: " db", " db.table",
// " field", each name as Connection::ident writes it; nothing for the root.
enum class NodeDepth { Root = 0, Database = 1, Table = 2, Field = 3 };
std::string appendedName(const Connection& connection, NodeDepth depth, const std::string& database,
                         const std::string& table, const std::string& field);

// The names SHOW DATABASES lists now (all of them); nullopt when it fails.
std::optional<std::vector<std::string>> shownDatabases(Connection& connection);
// The names of `after` that `before` lacks, in the order of `after`.
std::vector<std::string> addedNames(const std::vector<std::string>& before,
                                    const std::vector<std::string>& after);

// Writes the work file the desktop opens the result with: a line of the headings, then
// every row in order. False when it cannot be created or written.
// The file is Shift_JIS; `unmappable` counts the values of a UTF-8 session that held a character
// it lacks.
bool writeResultFile(const QString& path, const std::vector<std::string>& headings,
                     const std::vector<Row>& rows, ServerEncoding values, unsigned long long* unmappable);

// Script files are read in the code they are written in (Shift_JIS, EUC-JP or UTF-8, as the
// converter recognises them) and written in Shift_JIS, or in UTF-8 when asked to (for a text
// with characters Shift_JIS lacks). Line ends stay as they are.
std::optional<QString> readScript(const QString& path);
bool writeScript(const QString& path, const QString& text, bool utf8);
// A chosen save name without a suffix gets ".sql".
QString withDefaultSuffix(const QString& path);
// The question the file chooser asks before it returns an existing file, in Qt's words (and
// Qt's translation of them), for a file it did not see: the one the suffix leads to.
QString replaceQuestion(const QString& path);

// The statement field's font in the settings store, section "SQLDLG". Values that are absent
// take the defaults: height 18, width 0, the face and weight of `systemFont`.
LogicalFont readFont(QSettings& settings, const LogicalFont& systemFont);
void writeFont(QSettings& settings, const LogicalFont& font);

}  // namespace sql_console
}  // namespace dbk
