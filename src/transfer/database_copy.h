#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dbk {

class CancelToken;
class Connection;

// How a database copy ended.
struct DatabaseCopyOutcome {
    enum class Status {
        Copied,          // the new database exists; every table was tried (see failures)
        CreateRefused,   // the new database could not be created and is not there: nothing written
        ListingRefused,  // the source's tables could not be listed: only the database was created
    };
    Status status = Status::Copied;
    uint64_t tablesCreated = 0;
    uint64_t viewsCreated = 0;
    uint64_t rowsCopied = 0;
    // Statements that failed: table and view creations, row copies (a refused row counts once).
    uint64_t failures = 0;
    // The first failure (or the table whose copy was interrupted): the table or view (UTF-8) and
    // the server's error; the error of CreateRefused and ListingRefused too.
    std::string failedName;
    unsigned int errorNumber = 0;
    QString errorText;
    // Views that could not be made in the new database (UTF-8).
    std::vector<std::string> viewsNotCopied;
    // Stopped on request: the tables and rows counted so far arrived, nothing after them was made.
    bool cancelled = false;
    // Stopped because the server interrupted the copy of the table `failedName` (KILL QUERY from
    // another session, a time limit): as cancelled, with the server's error.
    bool interrupted = false;
};

// Whether a database of this name (Shift_JIS) exists on the server.
bool databaseExists(Connection& connection, std::string_view database);

// What the server keeps of a view (information_schema.VIEWS): its query, with every table named
// with its database, and its options ("" where the server does not name one).
struct ViewDefinition {
    std::string query;
    std::string algorithm;
    std::string security;
    std::string checkOption;
};
// The view's query with every reference to the source database (a quoted name that starts a
// dotted chain such as `src`.`t`.`a`) turned into one to the new one; strings, comments and
// other names stay as they are. One pass.
std::string viewQueryInDatabase(std::string_view query, std::string_view sourceDatabase,
                                std::string_view newDatabase);
// The CREATE VIEW statement (UTF-8) that makes the view in another database: every reference to
// the source database turned into one to the new one, the options kept, the definer left out (the
// copying account becomes it, as it may not name another).
std::string viewInDatabase(const ViewDefinition& definition, std::string_view view,
                           std::string_view sourceDatabase, std::string_view newDatabase);

// Copies a database within the server under a new name: the database, each table from its own
// CREATE TABLE text with its rows (one INSERT ... SELECT per table, through the copy engine), and
// then the views. Failures of single tables, rows or views are counted and the copy goes on;
// foreign keys are not checked while the tables are filled, so the order of the tables does not
// matter.
class DatabaseCopy {
public:
    explicit DatabaseCopy(Connection& connection) : connection_(connection) {}

    // Looked at before each table and view and handed to the copy of each table's rows (whose
    // single statement is stopped with KILL QUERY).
    void setCancelToken(const CancelToken* token) { cancel_ = token; }

    // Names are Shift_JIS, as the tree gives them and the form takes them.
    DatabaseCopyOutcome run(const std::string& sourceDatabase, const std::string& newDatabase);

    // The completion notice: "正常に作成されました" and the counts, or what went wrong.
    static QString completionText(const DatabaseCopyOutcome& outcome);

    static constexpr int kExistsQuestion = 21220;
    static constexpr int kCountsMessage = 21221;
    static constexpr int kFailuresMessage = 21222;
    static constexpr int kViewsNotCopiedMessage = 21223;
    static constexpr int kCancelledMessage = 21227;
    static constexpr int kCreateRefusedMessage = 21224;
    static constexpr int kListingRefusedMessage = 21225;
    static constexpr int kIncompleteMessage = 21226;
    static constexpr int kInterruptedMessage = 22101;
    static constexpr int kNoViewDefinitionMessage = 22102;

private:
    Connection& connection_;
    const CancelToken* cancel_ = nullptr;
};

}  // namespace dbk
