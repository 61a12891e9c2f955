#include "privileges/grant_access.h"

#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"

namespace dbk::privileges {

namespace {
constexpr unsigned kHostPosition = 0;
constexpr unsigned kUserPosition = 1;      // mysql.user
constexpr unsigned kPasswordPosition = 2;  // mysql.user
constexpr unsigned kDbPosition = 1;        // mysql.db and mysql.host
constexpr unsigned kDbUserPosition = 2;    // mysql.db
constexpr unsigned kUserFirstPrivilege = 3;
constexpr unsigned kHostFirstPrivilege = 2;
}  // namespace

bool openGrantDatabase(Connection& connection) {
    if (connection.selectDb("mysql"))
        return true;
    ui().message(msg(kCannotOpenDatabase));
    return false;
}

std::optional<Result> readGrantRows(Connection& connection, const std::string& sql) {
    Result rows = connection.query(sql);
    if (!rows) {
        reportServerError(kNoAccessPrivileges, connection);
        return std::nullopt;
    }
    if (!rows.hasRows()) {
        ui().message(msg(kUserInfoNotFound));
        return std::nullopt;
    }
    return rows;
}

std::optional<Result> readGrantRow(Connection& connection, const std::string& sql) {
    std::optional<Result> rows = readGrantRows(connection, sql);
    if (!rows)
        return std::nullopt;
    if (!rows->next()) {
        ui().message(msg(kNoData));
        return std::nullopt;
    }
    return rows;
}

bool writeGrantRows(Connection& connection, const std::string& sql, int refusedMessage) {
    if (connection.exec(sql))
        return true;
    reportServerError(refusedMessage, connection);
    return false;
}

QString accountStepText(AccountStep step) {
    return msg(kFirstStepText + static_cast<int>(step));
}

QString accountFailureText(const AccountOutcome& outcome, int firstStepMessage) {
    const QString server = formatUi(QStringLiteral("%d:%s"), outcome.errorNumber,
                                    fromServer(outcome.encoding, outcome.errorText));
    if (outcome.stepsDone == 0) {
        QString text = msg(firstStepMessage);
        if (text.contains(QStringLiteral("%d:%s")))
            return formatUi(text, outcome.errorNumber, fromServer(outcome.encoding, outcome.errorText));
        return text + u'\n' + server;
    }
    return msgf(kStepFailed, accountStepText(outcome.failedStep)) + u'\n' + server;
}

AccountIcon accountIconFor(std::string_view host) {
    if (host == "localhost")
        return AccountIcon::Local;
    if (!host.empty() && host.front() == '%')
        return AccountIcon::Global;
    return AccountIcon::Restricted;
}

std::optional<std::vector<UserListEntry>> readUserList(Connection& connection) {
    if (!connection.selectDb("mysql"))
        return std::nullopt;
    if (!connection.listFields("user"))
        return std::nullopt;
    Result rows = connection.query(grants::sql::kSelectUsers);
    if (!rows)
        return std::nullopt;
    std::vector<UserListEntry> entries;
    if (!rows.hasRows()) {
        ui().message(msg(kNoData));
        return entries;
    }
    while (rows.next()) {
        entries.push_back({grants::cell(rows, "User", kUserPosition),
                           grants::cell(rows, "Host", kHostPosition),
                           grants::cell(rows, "Password", kPasswordPosition),
                           grants::grantsAnything(rows, kUserFirstPrivilege)});
    }
    return entries;
}

std::vector<DbRowEntry> dbRowsOf(Result& rows) {
    std::vector<DbRowEntry> entries;
    while (rows.next()) {
        entries.push_back({grants::cell(rows, "Host", kHostPosition), grants::cell(rows, "Db", kDbPosition),
                           grants::cell(rows, "User", kDbUserPosition)});
    }
    return entries;
}

std::vector<HostRowEntry> hostRowsOf(Result& rows) {
    std::vector<HostRowEntry> entries;
    while (rows.next()) {
        entries.push_back({grants::cell(rows, "Host", kHostPosition), grants::cell(rows, "Db", kDbPosition),
                           grants::grantsAnything(rows, kHostFirstPrivilege)});
    }
    return entries;
}

std::string hostEntryLabel(std::string_view host, std::string_view database) {
    if (host == "%")
        return format("All Hosts\n(%s)", database);
    return format("%s\n(%s)", host, database);
}

std::optional<std::vector<std::string>> listDatabaseNames(Connection& connection) {
    Result databases = connection.listDbs();
    if (!databases) {
        ui().message(fromServer(connection, connection.errorText()));
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (databases.next())
        names.emplace_back(databases.text(0U));
    return names;
}

bool hostTableOffered(const Session& session) {
    if (session.generation().hasHostTable())
        return true;
    ui().message(msg(kNoHostTable));
    return false;
}

}  // namespace dbk::privileges
