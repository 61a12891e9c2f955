#include "privileges/account_writer.h"

#include "conn/connection.h"
#include "conn/server_generation.h"
#include "conn/session.h"
#include "conn/text_format.h"

namespace dbk {

using grants::GlobalRights;
using grants::Privilege;

std::unique_ptr<AccountWriter> AccountWriter::forSession(Session& session) {
    return forGeneration(session.connection(), session.generation());
}

std::unique_ptr<AccountWriter> AccountWriter::forGeneration(Connection& connection,
                                                            const ServerGeneration& generation) {
    if (generation.userTableWritable())
        return std::make_unique<UserTableWriter>(connection);
    return std::make_unique<AccountStatementWriter>(connection, generation.hasPasswordFunction());
}

void AccountWriter::appendMoveDatabaseRows(std::vector<AccountStatement>& plan, const Account& from,
                                           const Account& to) const {
    // Rows are matched by host and name: another host's account of the same name keeps its rows.
    if (from == to)
        return;
    plan.push_back({AccountStep::MoveDatabaseRows,
                    grants::sql::carryUserRename(connection_, to.host, to.user, from.host, from.user)});
}

AccountOutcome AccountWriter::run(const std::vector<AccountStatement>& statements) {
    AccountOutcome outcome;
    for (const AccountStatement& s : statements) {
        if (!connection_.exec(s.sql)) {
            outcome.ok = false;
            outcome.failedStep = s.step;
            outcome.errorNumber = connection_.errorNumber();
            outcome.errorText = connection_.errorText();
            outcome.encoding = serverEncoding(connection_);
            return outcome;
        }
        ++outcome.stepsDone;
    }
    return outcome;
}

std::vector<AccountStatement> UserTableWriter::planAdd(const Account& account, std::string_view password,
                                                       const GlobalRights& rights) const {
    const std::string setList =
        grants::globalSetList(grants::userKey(connection_, account.host, account.user),
                              grants::passwordPiece(connection_, password), rights);
    return {{AccountStep::WriteUserRow, grants::sql::insertUser(setList)}};
}

std::vector<AccountStatement> UserTableWriter::planChange(const Account& from, const Account& to,
                                                          const std::optional<std::string>& password,
                                                          const GlobalRights& rights) const {
    std::optional<std::string> piece;
    if (password)
        piece = grants::passwordPiece(connection_, *password);
    const std::string setList =
        grants::globalSetList(grants::userKey(connection_, to.host, to.user), piece, rights);
    std::vector<AccountStatement> plan{
        {AccountStep::WriteUserRow, grants::sql::updateUser(connection_, setList, from.host, from.user)},
    };
    appendMoveDatabaseRows(plan, from, to);
    return plan;
}

std::vector<AccountStatement> UserTableWriter::planRemove(const Account& account) const {
    return {
        {AccountStep::DeleteAccount, grants::sql::deleteUser(connection_, account.host, account.user)},
        {AccountStep::DeleteDatabaseRows,
         grants::sql::deleteAccountDbRows(connection_, account.host, account.user)},
    };
}

std::string AccountStatementWriter::accountName(const Account& account) const {
    return format("'%s'@'%s'", connection_.escape(account.user), connection_.escape(account.host));
}

void AccountStatementWriter::appendRights(std::vector<AccountStatement>& plan, const Account& account,
                                          const GlobalRights& rights) const {
    std::string granted;
    std::string revoked;
    bool grantOption = false;
    for (size_t i = 0; i < grants::kPrivilegeCount; ++i) {
        const grants::PrivilegeInfo& p = grants::vocabulary()[i];
        if (rights[i] && p.privilege == Privilege::Grant) {
            grantOption = true;
            continue;
        }
        std::string& list = rights[i] ? granted : revoked;
        if (!list.empty())
            list += ", ";
        list += p.accountPrivilege;
    }
    const std::string name = accountName(account);
    if (!granted.empty() || grantOption) {
        plan.push_back(
            {AccountStep::GrantRights, format("GRANT %s ON *.* TO %s%s", granted.empty() ? "USAGE" : granted,
                                              name, grantOption ? " WITH GRANT OPTION" : "")});
    }
    if (!revoked.empty())
        plan.push_back({AccountStep::RevokeRights, format("REVOKE %s ON *.* FROM %s", revoked, name)});
}

std::vector<AccountStatement> AccountStatementWriter::planAdd(const Account& account,
                                                              std::string_view password,
                                                              const GlobalRights& rights) const {
    std::vector<AccountStatement> plan{
        {AccountStep::CreateAccount,
         format("CREATE USER %s IDENTIFIED BY '%s'", accountName(account), connection_.escape(password))},
    };
    // A new account holds no right yet: only what is ticked needs granting.
    std::vector<AccountStatement> rightsPlan;
    appendRights(rightsPlan, account, rights);
    for (AccountStatement& s : rightsPlan) {
        if (s.step == AccountStep::GrantRights)
            plan.push_back(std::move(s));
    }
    return plan;
}

std::vector<AccountStatement> AccountStatementWriter::planChange(const Account& from, const Account& to,
                                                                 const std::optional<std::string>& password,
                                                                 const GlobalRights& rights) const {
    std::vector<AccountStatement> plan;
    if (!(from == to)) {
        plan.push_back(
            {AccountStep::RenameAccount, format("RENAME USER %s TO %s", accountName(from), accountName(to))});
    }
    if (password) {
        const std::string sql = passwordFunction_ ? format("SET PASSWORD FOR %s = PASSWORD('%s')",
                                                           accountName(to), connection_.escape(*password))
                                                  : format("ALTER USER %s IDENTIFIED BY '%s'",
                                                           accountName(to), connection_.escape(*password));
        plan.push_back({AccountStep::SetPassword, sql});
    }
    appendRights(plan, to, rights);
    appendMoveDatabaseRows(plan, from, to);
    return plan;
}

std::vector<AccountStatement> AccountStatementWriter::planRemove(const Account& account) const {
    return {
        {AccountStep::DeleteAccount, format("DROP USER %s", accountName(account))},
        {AccountStep::DeleteDatabaseRows,
         grants::sql::deleteAccountDbRows(connection_, account.host, account.user)},
    };
}

}  // namespace dbk
