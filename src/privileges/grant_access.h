#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conn/connection.h"
#include "privileges/account_writer.h"

namespace dbk {

class Session;

// What the privilege forms share: their messages, reading the grant tables with the forms'
// refusals, and the entries of their lists.
namespace privileges {

enum Message : int {
    kNoAccessPrivileges = 10006,  // "...\n%d:%s" with the server's answer
    kUpdateFailed = 10012,
    kConfirmDeleteNamed = 10015,
    kConfirmDeleteIt = 10034,
    kNoAuthorization = 10101,
    kUserHeading = 10016,
    kHostHeading = 10002,
    kCannotOpenDatabase = 20700,
    kUserInfoNotFound = 20701,
    kNoData = 20702,
    kSelectUser = 20703,
    kConfirmDeleteAccount = 20704,
    kConfirmChangeUser = 20705,
    kPasswordWillChange = 20706,
    kAlteredAndUpdated = 20707,
    kCheckPassword = 20708,
    kAddedAndUpdated = 20709,
    kRetypePassword = 20710,
    kAdminPresetSet = 20711,
    kSelectDatabase = 20712,
    kCannotAddToMysql = 20713,
    kDatabaseUpdated = 20714,
    kConfirmUpdate = 20715,
    kConfirmAddUser = 20716,
    kDatabaseWillChange = 20717,
    kSelectHost = 20718,
    kEnterControllingHost = 20719,
    kNoUsers = 20720,
    kNoHostTable = 20722,
    kStepFailed = 20723,     // the step, then the server's answer
    kFirstStepText = 20724,  // 20724.. the steps, in AccountStep order
    kMenuAdd = 20740,
    kMenuDelete = 20741,
    kMenuDetails = 20742,
};

// Selects the database mysql; "Cannot open database." when it cannot.
bool openGrantDatabase(Connection& connection);

// A statement that reads grant rows. Refused: the server's answer; no result set: "User
// information cannot be found."; nullopt in both cases.
std::optional<Result> readGrantRows(Connection& connection, const std::string& sql);
// The same, positioned on the first row; "There is no data." when there is none.
std::optional<Result> readGrantRow(Connection& connection, const std::string& sql);
// A statement that writes grant rows; on refusal the message (with the server's answer).
bool writeGrantRows(Connection& connection, const std::string& sql, int refusedMessage);

// The message of a failed account change: the form's message when nothing took effect, else
// the step that failed after the others had.
QString accountFailureText(const AccountOutcome& outcome, int firstStepMessage);
QString accountStepText(AccountStep step);

// The picture of an account by its host: "localhost", a host beginning with "%", others.
enum class AccountIcon { Local, Global, Restricted };
AccountIcon accountIconFor(std::string_view host);

struct UserListEntry {
    std::string user;
    std::string host;
    std::string password;
    bool administrator = false;
};
// Every account of mysql.user; nullopt when the table could not be read (silently), or when
// the server gave no result ("There is no data.").
std::optional<std::vector<UserListEntry>> readUserList(Connection& connection);

struct DbRowEntry {
    std::string host;
    std::string database;
    std::string user;
};
// The rows of a mysql.db read, in result order.
std::vector<DbRowEntry> dbRowsOf(Result& rows);

struct HostRowEntry {
    std::string host;
    std::string database;
    bool granting = false;  // any right of the row is set
};
std::vector<HostRowEntry> hostRowsOf(Result& rows);
// "All Hosts\n(db)" for the host "%", else "host\n(db)".
std::string hostEntryLabel(std::string_view host, std::string_view database);

// The server's databases in the server's order; nullopt (after showing the server's error
// text) when they cannot be listed.
std::optional<std::vector<std::string>> listDatabaseNames(Connection& connection);

// Servers without mysql.host offer no host forms; false (and says so) on such a server.
bool hostTableOffered(const Session& session);

}  // namespace privileges
}  // namespace dbk
