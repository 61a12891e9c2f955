#include "privileges/grant_tables.h"

#include <mysql.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "conn/connection.h"
#include "conn/text_format.h"

namespace dbk::grants {

namespace {

// clang-format off
constexpr std::array<PrivilegeInfo, kPrivilegeCount> kVocabulary{{
    {Privilege::Select,     "Select_priv",     "参照",         "参照",      false, "SELECT"},
    {Privilege::Insert,     "Insert_priv",     "挿入",         "挿入",      false, "INSERT"},
    {Privilege::Update,     "Update_priv",     "更新",         "更新",      true,  "UPDATE"},
    {Privilege::Delete,     "Delete_priv",     "削除",         "削除",      true,  "DELETE"},
    {Privilege::Create,     "Create_priv",     "作成",         "作成",      true,  "CREATE"},
    {Privilege::Drop,       "Drop_priv",       "消去",         "消去",      true,  "DROP"},
    {Privilege::Reload,     "Reload_priv",     "設定読み込み", nullptr,     true,  "RELOAD"},
    {Privilege::Shutdown,   "Shutdown_priv",   "サーバ停止",   nullptr,     true,  "SHUTDOWN"},
    {Privilege::Process,    "Process_priv",    "プロセス",     nullptr,     true,  "PROCESS"},
    {Privilege::File,       "File_priv",       "ファイル操作", nullptr,     true,  "FILE"},
    {Privilege::Grant,      "Grant_priv",      "Grant",        "Grant",     true,  "GRANT OPTION"},
    {Privilege::References, "References_priv", "References",   "Reference", true,  "REFERENCES"},
    {Privilege::Index,      "Index_priv",      "Index",        "Index",     false, "INDEX"},
    {Privilege::Alter,      "Alter_priv",      "Alter",        "Alter",     false, "ALTER"},
}};
// clang-format on

constexpr std::array<Privilege, kDatabasePrivilegeCount> kDatabasePanel{
    Privilege::Select, Privilege::Insert, Privilege::Update,     Privilege::Delete, Privilege::Create,
    Privilege::Drop,   Privilege::Grant,  Privilege::References, Privilege::Index,  Privilege::Alter,
};

// First positions of the panels' columns in the legacy layout.
constexpr unsigned kUserFirstPrivilege = 3;
constexpr unsigned kDbFirstPrivilege = 3;
constexpr unsigned kHostFirstPrivilege = 2;

bool beginsWithY(std::string_view value) {
    return !value.empty() && (value[0] == 'Y' || value[0] == 'y');
}

bool endsWithPriv(std::string_view name) {
    constexpr std::string_view suffix = "_priv";
    if (name.size() < suffix.size())
        return false;
    const std::string_view tail = name.substr(name.size() - suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

DatabaseRights panelOf(const Result& row, unsigned firstPosition) {
    DatabaseRights rights{};
    for (size_t i = 0; i < kDatabasePrivilegeCount; ++i) {
        rights[i] = flagSet(cell(row, info(kDatabasePanel[i]).column, firstPosition + unsigned(i)));
    }
    return rights;
}

// "DELETE FROM t where " followed by "%s <condition>": two blanks after "where".
std::string twoPartStatement(std::string_view prefixTemplate, std::string_view conditionTemplate,
                             std::initializer_list<std::string> values) {
    const std::string prefix = format(prefixTemplate);
    std::vector<FormatArg> args{FormatArg(prefix)};
    for (const std::string& v : values)
        args.emplace_back(v);
    return formatArgs(conditionTemplate, args);
}

}  // namespace

const std::array<PrivilegeInfo, kPrivilegeCount>& vocabulary() {
    return kVocabulary;
}

const PrivilegeInfo& info(Privilege privilege) {
    return kVocabulary[static_cast<size_t>(privilege)];
}

const std::array<Privilege, kDatabasePrivilegeCount>& databasePanel() {
    return kDatabasePanel;
}

bool flagSet(std::string_view value) {
    return value == "Y" || value == "y";
}

std::string setPiece(Privilege privilege, bool ticked) {
    const PrivilegeInfo& p = info(privilege);
    return format(p.trailingBlank ? ",%s = '%s' " : ",%s = '%s'", p.column, ticked ? "Y" : "N");
}

std::string passwordPiece(const Connection& c, std::string_view password) {
    return format(",Password = PASSWORD('%s')", c.escape(password));
}

std::string userKey(const Connection& c, std::string_view host, std::string_view user) {
    const std::string hostPiece = format("Host = '%s'", c.escape(host));
    return format("%s,User = '%s'", hostPiece, c.escape(user));
}

std::string databaseUserKey(const Connection& c, std::string_view host, std::string_view database,
                            std::string_view user) {
    return format("Host = '%s',Db = '%s',User = '%s'", c.escape(host), c.escape(database), c.escape(user));
}

std::string hostKey(const Connection& c, std::string_view host) {
    return format("Host = '%s'", c.escape(host));
}

std::string globalSetList(std::string_view keyPiece, const std::optional<std::string>& password,
                          const GlobalRights& rights) {
    std::string list(keyPiece);
    if (password)
        list += *password;
    for (size_t i = 0; i < kPrivilegeCount; ++i)
        list += setPiece(kVocabulary[i].privilege, rights[i]);
    return list;
}

std::string databaseSetList(std::string_view keyPiece, const DatabaseRights& rights) {
    std::string list(keyPiece);
    for (size_t i = 0; i < kDatabasePrivilegeCount; ++i)
        list += setPiece(kDatabasePanel[i], rights[i]);
    return list;
}

std::string cell(const Result& row, std::string_view column, unsigned position) {
    const int byName = row.columnIndex(column);
    if (byName >= 0)
        return std::string(row.text(static_cast<unsigned>(byName)));
    if (position < row.fieldCount())
        return std::string(row.text(position));
    return {};
}

GlobalRights globalRightsOf(const Result& userRow) {
    GlobalRights rights{};
    for (size_t i = 0; i < kPrivilegeCount; ++i)
        rights[i] = flagSet(cell(userRow, kVocabulary[i].column, kUserFirstPrivilege + unsigned(i)));
    return rights;
}

DatabaseRights databaseRightsOf(const Result& dbRow) {
    return panelOf(dbRow, kDbFirstPrivilege);
}

DatabaseRights hostRightsOf(const Result& hostRow) {
    return panelOf(hostRow, kHostFirstPrivilege);
}

bool grantsAnything(const Result& row, unsigned firstPosition) {
    bool named = false;
    for (unsigned i = 0; i < row.fieldCount(); ++i) {
        if (!endsWithPriv(row.fieldName(i)))
            continue;
        named = true;
        if (beginsWithY(row.text(i)))
            return true;
    }
    if (named)
        return false;
    for (unsigned i = firstPosition; i < row.fieldCount(); ++i) {
        if (beginsWithY(row.text(i)))
            return true;
    }
    return false;
}

bool reloadGrants(Connection& c) {
    return c.refresh(REFRESH_GRANT);
}

namespace sql {

std::string readUser(const Connection& c, std::string_view host, std::string_view user) {
    return format("select * from mysql.user where Host = '%s' AND User = '%s'", c.escape(host),
                  c.escape(user));
}

std::string updateUser(const Connection& c, std::string_view setList, std::string_view host,
                       std::string_view user) {
    return format("UPDATE user SET %s where Host = '%s' AND User = '%s'", setList, c.escape(host),
                  c.escape(user));
}

std::string insertUser(std::string_view setList) {
    return format("INSERT INTO user SET %s", setList);
}

std::string deleteUser(const Connection& c, std::string_view host, std::string_view user) {
    return twoPartStatement("DELETE FROM mysql.user where ", "%s Host = '%s' AND User = '%s'",
                            {c.escape(host), c.escape(user)});
}

std::string userDbRows(const Connection& c, std::string_view user) {
    return format("select * from mysql.db where User = '%s'", c.escape(user));
}

std::string databaseDbRows(const Connection& c, std::string_view database) {
    return format("select * from mysql.db where Db = '%s'", c.escape(database));
}

std::string readDbRow(const Connection& c, std::string_view database, std::string_view host,
                      std::string_view user) {
    return format("select * from mysql.db where db = '%s' AND Host = '%s' AND User = '%s'",
                  c.escape(database), c.escape(host), c.escape(user));
}

std::string carryUserRename(const Connection& c, std::string_view newHost, std::string_view newUser,
                            std::string_view oldHost, std::string_view oldUser) {
    return format("UPDATE mysql.db SET %s where Host = '%s' AND User = '%s'", userKey(c, newHost, newUser),
                  c.escape(oldHost), c.escape(oldUser));
}

std::string updateDbRow(const Connection& c, std::string_view setList, std::string_view database,
                        std::string_view host, std::string_view user) {
    return format("UPDATE db SET %s where db = '%s' AND Host = '%s' AND User = '%s'", setList,
                  c.escape(database), c.escape(host), c.escape(user));
}

std::string updateDbRowKeys(const Connection& c, std::string_view setList, std::string_view database,
                            std::string_view host, std::string_view user) {
    return format("UPDATE mysql.db SET %s where db = '%s' AND Host = '%s' AND User = '%s'", setList,
                  c.escape(database), c.escape(host), c.escape(user));
}

std::string insertDbRowAllOff(const Connection& c, std::string_view host, std::string_view database,
                              std::string_view user) {
    const std::string head = format(
        "INSERT INTO mysql.db (Host,Db,User,Select_priv,Insert_priv,Update_priv,Delete_priv,Create_priv,"
        "Drop_priv) VALUES");
    return format("%s('%s','%s','%s','N','N','N','N','N','N')", head, c.escape(host), c.escape(database),
                  c.escape(user));
}

std::string insertDbRow(const Connection& c, std::string_view host, std::string_view database,
                        std::string_view user) {
    return twoPartStatement("INSERT INTO mysql.db SET ", "%s Host = '%s',Db = '%s',User = '%s'",
                            {c.escape(host), c.escape(database), c.escape(user)});
}

std::string deleteAccountDbRows(const Connection& c, std::string_view host, std::string_view user) {
    return twoPartStatement("DELETE FROM mysql.db where ", "%s Host = '%s' AND User = '%s'",
                            {c.escape(host), c.escape(user)});
}

std::string deleteDbRow(const Connection& c, std::string_view host, std::string_view database,
                        std::string_view user) {
    return twoPartStatement("DELETE FROM mysql.db where ", "%s Host = '%s' AND Db = '%s' AND User = '%s'",
                            {c.escape(host), c.escape(database), c.escape(user)});
}

std::string databaseHostRows(const Connection& c, std::string_view database) {
    return format("select * from mysql.host where Db = '%s'", c.escape(database));
}

std::string readHostRow(const Connection& c, std::string_view database, std::string_view host) {
    return format("select * from mysql.host where db = '%s' AND Host = '%s'", c.escape(database),
                  c.escape(host));
}

std::string updateHostRow(const Connection& c, std::string_view setList, std::string_view database,
                          std::string_view host) {
    return format("UPDATE host SET %s where db = '%s' AND Host = '%s'", setList, c.escape(database),
                  c.escape(host));
}

std::string insertHostRow(const Connection& c, std::string_view host, std::string_view database) {
    return twoPartStatement("INSERT INTO mysql.host SET ", "%s Host = '%s',Db = '%s'",
                            {c.escape(host), c.escape(database)});
}

std::string deleteHostRow(const Connection& c, std::string_view host, std::string_view database) {
    return twoPartStatement("DELETE FROM mysql.host where ", "%s Host = '%s' AND Db = '%s'",
                            {c.escape(host), c.escape(database)});
}

}  // namespace sql
}  // namespace dbk::grants
