#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conn/text_codec.h"
#include "privileges/grant_tables.h"

namespace dbk {

class Connection;
class ServerGeneration;
class Session;

// An account as the grant tables key it.
struct Account {
    std::string host;
    std::string user;
    bool operator==(const Account&) const = default;
};

// The steps an account change is made of; a failure names the step it stopped at.
enum class AccountStep {
    WriteUserRow,      // INSERT or UPDATE of mysql.user
    CreateAccount,     // CREATE USER
    RenameAccount,     // RENAME USER
    SetPassword,       // SET PASSWORD / ALTER USER
    GrantRights,       // GRANT ... ON *.*
    RevokeRights,      // REVOKE ... ON *.*
    MoveDatabaseRows,  // the account's mysql.db rows take its new host and name
    DeleteAccount,     // DELETE FROM mysql.user / DROP USER
    DeleteDatabaseRows,
};

struct AccountStatement {
    AccountStep step;
    std::string sql;
    bool operator==(const AccountStatement&) const = default;
};

struct AccountOutcome {
    bool ok = true;
    AccountStep failedStep = AccountStep::WriteUserRow;
    // How many statements took effect before the one that failed.
    size_t stepsDone = 0;
    unsigned errorNumber = 0;
    std::string errorText;  // in the session's encoding
    ServerEncoding encoding = ServerEncoding::Utf8;
};

// Writes accounts: the user's choices of the user information form (host, name, password,
// the fourteen global rights) become statements. Servers where mysql.user is a writable table
// get INSERT/UPDATE/DELETE on it; the others get the account statements, which touch the
// fourteen rights only. The database rows of an account are mysql.db rows on every server.
class AccountWriter {
public:
    explicit AccountWriter(Connection& connection) : connection_(connection) {}
    virtual ~AccountWriter() = default;

    // The writer the server of this session takes.
    static std::unique_ptr<AccountWriter> forSession(Session& session);
    static std::unique_ptr<AccountWriter> forGeneration(Connection& connection,
                                                        const ServerGeneration& generation);

    // A new account with its password and rights.
    virtual std::vector<AccountStatement> planAdd(const Account& account, std::string_view password,
                                                  const grants::GlobalRights& rights) const = 0;
    // The account `from` becomes `to` with these rights; the password changes only when given.
    // The database rows of the old name follow.
    virtual std::vector<AccountStatement> planChange(const Account& from, const Account& to,
                                                     const std::optional<std::string>& password,
                                                     const grants::GlobalRights& rights) const = 0;
    // The account and every database row of it (host and name).
    virtual std::vector<AccountStatement> planRemove(const Account& account) const = 0;

    // Sends the statements in order and stops at the first one refused.
    AccountOutcome run(const std::vector<AccountStatement>& statements);

protected:
    // The step that gives the database rows of `from` its new host and name (none when the
    // key stays).
    void appendMoveDatabaseRows(std::vector<AccountStatement>& plan, const Account& from,
                                const Account& to) const;

    Connection& connection_;
};

// INSERT, UPDATE and DELETE on mysql.user (needs the database mysql selected).
class UserTableWriter : public AccountWriter {
public:
    using AccountWriter::AccountWriter;
    std::vector<AccountStatement> planAdd(const Account& account, std::string_view password,
                                          const grants::GlobalRights& rights) const override;
    std::vector<AccountStatement> planChange(const Account& from, const Account& to,
                                             const std::optional<std::string>& password,
                                             const grants::GlobalRights& rights) const override;
    std::vector<AccountStatement> planRemove(const Account& account) const override;
};

// CREATE USER, RENAME USER, SET PASSWORD, GRANT/REVOKE of the fourteen rights, DROP USER.
class AccountStatementWriter : public AccountWriter {
public:
    AccountStatementWriter(Connection& connection, bool passwordFunction)
        : AccountWriter(connection), passwordFunction_(passwordFunction) {}
    std::vector<AccountStatement> planAdd(const Account& account, std::string_view password,
                                          const grants::GlobalRights& rights) const override;
    std::vector<AccountStatement> planChange(const Account& from, const Account& to,
                                             const std::optional<std::string>& password,
                                             const grants::GlobalRights& rights) const override;
    std::vector<AccountStatement> planRemove(const Account& account) const override;

    // 'user'@'host', both escaped.
    std::string accountName(const Account& account) const;

private:
    void appendRights(std::vector<AccountStatement>& plan, const Account& account,
                      const grants::GlobalRights& rights) const;
    bool passwordFunction_;
};

}  // namespace dbk
