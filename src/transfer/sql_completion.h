#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "conn/server_generation.h"

namespace dbk {

class Connection;

// The names the console completes, read from the server as they are first needed and kept
// until clear(). Names are bytes in the session's character set.
class NameCache {
public:
    NameCache(Connection& connection, const ServerGeneration& generation)
        : connection_(connection), generation_(generation) {}

    void clear();
    const std::vector<std::string>& databases();
    // With information_schema: the tables and columns of a database in one statement, the first
    // time either is asked for. Before it: SHOW TABLES once per database and SHOW COLUMNS once
    // per table. A name not found is matched again without regard to (ASCII) case.
    const std::vector<std::string>& tables(const std::string& database);
    const std::vector<std::string>& columns(const std::string& database, const std::string& table);
    // The session's default database ("" when none), asked each time.
    std::string currentDatabase();
    // Statements sent since the cache was made.
    int statementsSent() const { return statementsSent_; }

private:
    struct Database {
        std::string name;
        bool tablesRead = false;
        std::vector<std::string> tables;
        std::map<std::string, std::vector<std::string>> columns;  // read tables only
    };
    Database& loaded(const std::string& database);
    std::vector<std::string> firstColumn(const std::string& sql);

    Connection& connection_;
    ServerGeneration generation_;
    std::optional<std::vector<std::string>> databases_;
    std::map<std::string, Database> byName_;
    int statementsSent_ = 0;
};

// The server's own keyword list (mysql.help_keyword); empty when it cannot be read.
std::vector<std::string> readServerKeywords(Connection& connection);

// Where the cursor stands in the statement field, for completion.
struct CompletionContext {
    // The name typed so far before the cursor (without an opening backquote) and where the
    // text a completion replaces starts (at the backquote, when there is one).
    QString prefix;
    int replaceFrom = 0;
    // The cursor is inside a string or a comment, where nothing is completed.
    bool inText = false;
    // The names before the cursor's ".": "t." gives {"", "t"}, "d.t." gives {"d", "t"}.
    bool qualified = false;
    QString qualifierDatabase;
    QString qualifier;
    // The tables the statement around the cursor names after FROM, JOIN, UPDATE and INTO.
    struct Table {
        QString database;  // "" for the default database
        QString table;
        QString alias;
        bool operator==(const Table&) const = default;
    };
    std::vector<Table> tables;
};
// `cursor` is a position in `text`. Quotes and comments are read as the server reads them.
CompletionContext completionContext(const QString& text, int cursor);

struct Completion {
    QString shown;     // the name as the list shows and matches it
    QString inserted;  // what replaces the typed name: quoted by ident() where it must be
};
// What to offer: after "x." the tables of database x or the columns of table (or alias) x;
// otherwise the columns of the statement's tables, the tables of the default database, the
// databases and `words`, in that order, each name once.
std::vector<Completion> completions(const CompletionContext& context, NameCache& names,
                                    const Connection& connection, const QStringList& words);

}  // namespace dbk
