#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dbk {

class Connection;
class Result;

// The grant tables mysql.user, mysql.db and mysql.host as the privilege forms read and write
// them: the fourteen privileges in their fixed order, the Y/N flags, the pieces a SET list is
// made of, and the statements of the forms. Values are escaped; ordinary values give the
// statement texts unchanged.
namespace grants {

enum class Privilege {
    Select,
    Insert,
    Update,
    Delete,
    Create,
    Drop,
    Reload,
    Shutdown,
    Process,
    File,
    Grant,
    References,
    Index,
    Alter,
};
inline constexpr std::size_t kPrivilegeCount = 14;
inline constexpr std::size_t kDatabasePrivilegeCount = 10;

struct PrivilegeInfo {
    Privilege privilege;
    const char* column;            // "Select_priv"
    const char* globalCaption;     // caption on the global panel (UTF-8)
    const char* databaseCaption;   // caption on the database panel; nullptr when not there
    bool trailingBlank;            // the SET piece ends in a blank
    const char* accountPrivilege;  // the name GRANT and REVOKE use
};

// The fourteen privileges in their order.
const std::array<PrivilegeInfo, kPrivilegeCount>& vocabulary();
const PrivilegeInfo& info(Privilege privilege);
// The ten privileges of the database panel, in the same relative order.
const std::array<Privilege, kDatabasePrivilegeCount>& databasePanel();

// Ticked boxes in vocabulary order (global panel) and database-panel order.
using GlobalRights = std::array<bool, kPrivilegeCount>;
using DatabaseRights = std::array<bool, kDatabasePrivilegeCount>;

// A flag column counts as set when it is exactly "Y" or "y".
bool flagSet(std::string_view value);

// ",Select_priv = 'Y'", ",Update_priv = 'N' " ...
std::string setPiece(Privilege privilege, bool ticked);
// ",Password = PASSWORD('...')"
std::string passwordPiece(const Connection& c, std::string_view password);

// Key pieces that begin a SET list.
std::string userKey(const Connection& c, std::string_view host, std::string_view user);
std::string databaseUserKey(const Connection& c, std::string_view host, std::string_view database,
                            std::string_view user);
std::string hostKey(const Connection& c, std::string_view host);

// Key piece, optional password piece, then every privilege of the panel.
std::string globalSetList(std::string_view keyPiece, const std::optional<std::string>& password,
                          const GlobalRights& rights);
std::string databaseSetList(std::string_view keyPiece, const DatabaseRights& rights);

// A column's value in the current row, found by name, else at its position in the legacy
// layout; "" when neither exists.
std::string cell(const Result& row, std::string_view column, unsigned position);

// The panels from the current row of mysql.user, mysql.db or mysql.host.
GlobalRights globalRightsOf(const Result& userRow);
DatabaseRights databaseRightsOf(const Result& dbRow);
DatabaseRights hostRightsOf(const Result& hostRow);

// True when any privilege column of the current row begins with "Y" or "y". The privilege
// columns are those named "..._priv"; a result without such names is scanned from
// `firstPosition` to its last column.
bool grantsAnything(const Result& row, unsigned firstPosition);

// Makes the server read the grant tables again.
bool reloadGrants(Connection& c);

// The statements of the forms. Tables named bare need the database mysql selected first.
namespace sql {

inline constexpr const char* kSelectUsers = "select * from user";
inline constexpr const char* kSelectAccounts = "select Host,User from mysql.user";
inline constexpr const char* kSelectDbRows = "select * from db";
inline constexpr const char* kSelectHostRows = "select * from host";

std::string readUser(const Connection& c, std::string_view host, std::string_view user);
std::string updateUser(const Connection& c, std::string_view setList, std::string_view host,
                       std::string_view user);
std::string insertUser(std::string_view setList);
std::string deleteUser(const Connection& c, std::string_view host, std::string_view user);

std::string userDbRows(const Connection& c, std::string_view user);
std::string databaseDbRows(const Connection& c, std::string_view database);
std::string readDbRow(const Connection& c, std::string_view database, std::string_view host,
                      std::string_view user);
// Every database row of the account `oldUser`@`oldHost` takes the account's new host and name;
// the rows of the same name at other hosts stay.
std::string carryUserRename(const Connection& c, std::string_view newHost, std::string_view newUser,
                            std::string_view oldHost, std::string_view oldUser);
std::string updateDbRow(const Connection& c, std::string_view setList, std::string_view database,
                        std::string_view host, std::string_view user);
// The same with the table qualified, for a SET list that moves the row's keys.
std::string updateDbRowKeys(const Connection& c, std::string_view setList, std::string_view database,
                            std::string_view host, std::string_view user);
// A row of the account `user`@`host` for the database, the six rights of its columns off.
std::string insertDbRowAllOff(const Connection& c, std::string_view host, std::string_view database,
                              std::string_view user);
std::string insertDbRow(const Connection& c, std::string_view host, std::string_view database,
                        std::string_view user);
// Every database row of the account `user`@`host`.
std::string deleteAccountDbRows(const Connection& c, std::string_view host, std::string_view user);
std::string deleteDbRow(const Connection& c, std::string_view host, std::string_view database,
                        std::string_view user);

std::string databaseHostRows(const Connection& c, std::string_view database);
std::string readHostRow(const Connection& c, std::string_view database, std::string_view host);
std::string updateHostRow(const Connection& c, std::string_view setList, std::string_view database,
                          std::string_view host);
std::string insertHostRow(const Connection& c, std::string_view host, std::string_view database);
std::string deleteHostRow(const Connection& c, std::string_view host, std::string_view database);

}  // namespace sql
}  // namespace grants
}  // namespace dbk
