#include "transfer/database_copy.h"

#include <mysqld_error.h>
#include <QStringList>
#include <optional>

#include "app/messages.h"
#include "conn/cancel.h"
#include "conn/connection.h"
#include "conn/sql_scanner.h"
#include "conn/text_format.h"
#include "transfer/copy_engine.h"
#include "transfer/table_copy.h"

namespace dbk {

bool databaseExists(Connection& connection, std::string_view database) {
    Result list = connection.query(format("SHOW DATABASES LIKE '%s'", connection.escapeLike(database)));
    while (list.next()) {
        if (list.text(0U) == database)
            return true;
    }
    return false;
}

std::string viewQueryInDatabase(std::string_view query, std::string_view sourceDatabase,
                                std::string_view newDatabase) {
    const std::string newName = backquotedName(newDatabase);
    std::string out;
    out.reserve(query.size() + query.size() / 8);
    SqlScanner scanner(query);
    bool afterDot = false;
    while (const std::optional<SqlToken> token = scanner.next()) {
        // The first of a dotted chain of quoted names ("`src`.`t`", "`src`.`t`.`a`") names a
        // database when it is the source's; names, strings and comments elsewhere stay as they are.
        if (!afterDot && token->is(SqlToken::Kind::QuotedName) && token->name() == sourceDatabase) {
            const std::optional<SqlToken> after = scanner.peekSignificant();
            if (after && after->isSymbol('.')) {
                out += newName;
                continue;
            }
        }
        if (!token->is(SqlToken::Kind::Blank) && !token->is(SqlToken::Kind::Comment))
            afterDot = token->isSymbol('.');
        out += token->text;
    }
    return out;
}

std::string viewInDatabase(const ViewDefinition& definition, std::string_view view,
                           std::string_view sourceDatabase, std::string_view newDatabase) {
    const std::string query = viewQueryInDatabase(definition.query, sourceDatabase, newDatabase);
    std::string statement = "CREATE ";
    if (!definition.algorithm.empty())
        statement += "ALGORITHM=" + definition.algorithm + " ";
    if (!definition.security.empty())
        statement += "SQL SECURITY " + definition.security + " ";
    statement += format("VIEW %s AS %s", qualifiedUtf8(newDatabase, view), query);
    if (!definition.checkOption.empty() && definition.checkOption != "NONE")
        statement += " WITH " + definition.checkOption + " CHECK OPTION";
    return statement;
}

namespace {

struct TableName {
    std::string name;  // UTF-8
    bool isView = false;
};

// A session check turned off for the scope and back on afterwards: foreign keys, so that the tables
// are filled in any order.
class SessionCheckOff {
public:
    SessionCheckOff(Connection& connection, std::string_view variable)
        : setting_(connection, variable, [](std::string_view current) -> std::optional<std::string> {
              if (current == "0")
                  return std::nullopt;
              return "0";
          }) {}

private:
    SessionSetting setting_;
};

class Run {
public:
    Run(Connection& connection, const LosslessCharacterSet& set, DatabaseCopyOutcome& outcome,
        const CancelToken* cancel)
        : c_(connection), set_(set), outcome_(outcome), cancel_(cancel) {}

    // Checked before each table and view; also true once a table's copy was cancelled or
    // interrupted.
    bool stopped() {
        if (cancel_ && cancel_->cancelled())
            outcome_.cancelled = true;
        return outcome_.cancelled || outcome_.interrupted;
    }

    void fail(std::string_view name, uint64_t count = 1) {
        fail(name, c_.errorNumber(), set_.fromWire(c_.errorText()), count);
    }
    void fail(std::string_view name, unsigned int number, const QString& text, uint64_t count = 1) {
        if (outcome_.failures == 0) {
            outcome_.failedName = std::string(name);
            outcome_.errorNumber = number;
            outcome_.errorText = text;
        }
        outcome_.failures += count;
    }

    std::optional<std::vector<TableName>> tables(const std::string& database) {
        const std::string from = quotedUtf8(database);
        Result list = c_.query(set_.wire("SHOW FULL TABLES FROM " + from));
        if (!list.ok())
            list = c_.query(set_.wire("SHOW TABLES FROM " + from));  // servers before 5.0.2
        if (!list.ok())
            return std::nullopt;
        std::vector<TableName> names;
        const bool hasType = list.fieldCount() > 1;
        while (list.next()) {
            std::string name(list.text(0U));
            names.push_back(
                {set_.switched() ? std::move(name) : set_.utf8(name), hasType && list.text(1U) == "VIEW"});
        }
        return names;
    }

    void copyTable(const std::string& source, const std::string& target, const std::string& table) {
        Result create = c_.query(set_.wire(format("Show create table %s;", qualifiedUtf8(source, table))));
        if (!create.ok() || !create.next() || create.fieldCount() < 2) {
            fail(table);
            return;
        }
        std::string text(create.text(1U));
        if (!set_.switched())
            text = set_.utf8(text);
        if (!c_.exec(set_.wire(retargetedStatement(text, target, table)))) {
            fail(table);
            return;
        }
        ++outcome_.tablesCreated;
        unsigned int errorNumber = 0;
        QString errorText;
        const std::optional<CopyJob> job =
            CopyJob::wholeTable(c_, source, table, target, table, &errorNumber, &errorText);
        if (!job) {
            fail(table, errorNumber, errorText);
            return;
        }
        CopyEngine engine(c_, c_);
        engine.setCancelToken(cancel_);
        const CopyOutcome copied = engine.run(*job);
        outcome_.rowsCopied += copied.copied;
        if (copied.status == CopyOutcome::Status::Cancelled) {
            outcome_.cancelled = true;
        } else if (copied.status == CopyOutcome::Status::Interrupted) {
            fail(table, copied.errorNumber, copied.errorText);
            // The notice names the table that was stopped, whatever failed before it.
            outcome_.interrupted = true;
            outcome_.failedName = table;
            outcome_.errorNumber = copied.errorNumber;
            outcome_.errorText = copied.errorText;
        } else if (!copied.complete()) {
            fail(table, copied.errorNumber, copied.errorText);
        } else if (copied.refused > 0) {
            fail(table, copied.errorNumber, copied.errorText, copied.refused);
        }
    }

    // The view's statement for the new database; "" when the server does not show the view, with
    // the connection's error saying why.
    std::string viewStatement(const std::string& source, const std::string& target, const std::string& view) {
        // Read from information_schema, whose query names every table with its database; SHOW
        // CREATE VIEW leaves out the connection's current database, which may be the source.
        Result row = c_.query(set_.wire("SELECT * FROM information_schema.VIEWS WHERE TABLE_SCHEMA = '" +
                                        c_.escape(source) + "' AND TABLE_NAME = '" + c_.escape(view) + "'"));
        if (!row.ok())
            return {};
        if (!row.next()) {
            // No row is no error: the server says why (the view is gone, or hidden from this
            // account) when asked for the view itself.
            row = Result();
            c_.query(set_.wire("SHOW CREATE VIEW " + qualifiedUtf8(source, view)));
            return {};
        }
        const auto text = [&](const char* column) {
            std::string value = row.text(column);
            return set_.switched() ? value : set_.utf8(value);
        };
        return viewInDatabase(
            {text("VIEW_DEFINITION"), text("ALGORITHM"), text("SECURITY_TYPE"), text("CHECK_OPTION")}, view,
            source, target);
    }

    // Views may use each other: each round makes those whose views are there, until a round makes
    // none.
    void copyViews(const std::string& source, const std::string& target, std::vector<std::string> views) {
        struct Failure {
            unsigned int number = 0;
            QString text;
        };
        std::vector<Failure> failures(views.size());
        for (bool progress = true; progress && !views.empty();) {
            progress = false;
            std::vector<std::string> left;
            std::vector<Failure> leftFailures;
            for (const std::string& view : views) {
                if (stopped())
                    return;
                const std::string statement = viewStatement(source, target, view);
                if (!statement.empty() && c_.exec(set_.wire(statement))) {
                    ++outcome_.viewsCreated;
                    progress = true;
                    continue;
                }
                left.push_back(view);
                if (c_.errorNumber() != 0) {
                    leftFailures.push_back({c_.errorNumber(), set_.fromWire(c_.errorText())});
                } else {
                    // The server shows the view but not its definition.
                    leftFailures.push_back({ER_NO_SUCH_TABLE, msg(DatabaseCopy::kNoViewDefinitionMessage)});
                }
            }
            views = std::move(left);
            failures = std::move(leftFailures);
        }
        for (size_t i = 0; i < views.size(); ++i) {
            fail(views[i], failures[i].number, failures[i].text);
            outcome_.viewsNotCopied.push_back(views[i]);
        }
    }

private:
    Connection& c_;
    const LosslessCharacterSet& set_;
    DatabaseCopyOutcome& outcome_;
    const CancelToken* cancel_;
};

}  // namespace

DatabaseCopyOutcome DatabaseCopy::run(const std::string& sourceDatabase, const std::string& newDatabase) {
    using Status = DatabaseCopyOutcome::Status;
    DatabaseCopyOutcome outcome;
    BusyGuard busy(connection_);
    const bool existed = databaseExists(connection_, newDatabase);
    const LosslessCharacterSet set(connection_);
    const std::string source = set.utf8(sourceDatabase);
    const std::string target = set.utf8(newDatabase);
    if (!connection_.exec(set.wire(format("Create Database %s", quotedUtf8(target)))) && !existed) {
        outcome.status = Status::CreateRefused;
        outcome.errorNumber = connection_.errorNumber();
        outcome.errorText = set.fromWire(connection_.errorText());
        return outcome;
    }
    Run run(connection_, set, outcome, cancel_);
    const std::optional<std::vector<TableName>> tables = run.tables(source);
    if (!tables) {
        outcome.status = Status::ListingRefused;
        outcome.errorNumber = connection_.errorNumber();
        outcome.errorText = set.fromWire(connection_.errorText());
        return outcome;
    }
    // unique_checks stays on: with it off, MariaDB 10.11 filled tables by INSERT ... SELECT more
    // slowly, not faster (bench/data_copy_bench.cpp measures both).
    const SessionCheckOff foreignKeys(connection_, "foreign_key_checks");
    // Once for every table (each table's copy finds it so and sends nothing more).
    const KeepAutoIncrementZeros zeros(connection_);
    std::vector<std::string> views;
    for (const TableName& table : *tables) {
        if (run.stopped())
            return outcome;
        if (table.isView) {
            views.push_back(table.name);
        } else {
            run.copyTable(source, target, table.name);
        }
    }
    if (!run.stopped())
        run.copyViews(source, target, std::move(views));
    return outcome;
}

QString DatabaseCopy::completionText(const DatabaseCopyOutcome& outcome) {
    const QString error = formatUi(QStringLiteral("%d:%s"), outcome.errorNumber, outcome.errorText);
    switch (outcome.status) {
        case DatabaseCopyOutcome::Status::CreateRefused:
            return msg(kCreateRefusedMessage) + u'\n' + error;
        case DatabaseCopyOutcome::Status::ListingRefused:
            return msg(kListingRefusedMessage) + u'\n' + error;
        case DatabaseCopyOutcome::Status::Copied:
            break;
    }
    const QString counts =
        msgf(kCountsMessage, outcome.tablesCreated, outcome.viewsCreated, outcome.rowsCopied);
    // A cancelled copy says how far it got, never that it was made.
    if (outcome.cancelled)
        return msg(kCancelledMessage) + u'\n' + counts;
    if (outcome.interrupted)
        return msgf(kInterruptedMessage, QString::fromStdString(outcome.failedName)) + u'\n' + counts +
               u'\n' + error;
    if (outcome.failures == 0)
        return QStringLiteral("正常に作成されました") + u'\n' + counts;
    QString text = msg(kIncompleteMessage) + u'\n' + counts + u'\n' +
                   msgf(kFailuresMessage, outcome.failures, QString::fromStdString(outcome.failedName)) +
                   u'\n' + error;
    if (!outcome.viewsNotCopied.empty()) {
        QStringList names;
        for (const std::string& view : outcome.viewsNotCopied)
            names << QString::fromStdString(view);
        text += u'\n' + msgf(kViewsNotCopiedMessage, names.join(QStringLiteral(", ")));
    }
    return text;
}

}  // namespace dbk
