#include <gtest/gtest.h>

#include <QString>
#include <map>

#include "app/scripted_ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "privileges/account_writer.h"
#include "privileges/grant_access.h"
#include "privileges/grant_tables.h"
#include "support/test_server.h"

namespace dbk {
namespace {

using grants::GlobalRights;
using grants::Privilege;

GlobalRights only(std::initializer_list<Privilege> privileges) {
    GlobalRights rights{};
    for (Privilege p : privileges)
        rights[size_t(p)] = true;
    return rights;
}

// An administrator session on the database mysql that drops the accounts (and their database
// rows) it was told about, before and after the test.
class AccountsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::serverConfigured())
            return;
        session = std::make_unique<Session>(test::connectAdmin());
        ASSERT_TRUE(c().selectDb("mysql"));
        writer = AccountWriter::forSession(*session);
    }
    void TearDown() override {
        if (!session)
            return;
        for (const Account& a : made)
            dropAccount(a);
        grants::reloadGrants(c());
    }
    Connection& c() { return session->connection(); }

    // Remembers the account for dropping and makes sure it does not exist yet.
    Account account(std::string host, std::string user) {
        Account a{std::move(host), std::move(user)};
        made.push_back(a);
        dropAccount(a);
        return a;
    }
    void dropAccount(const Account& a) {
        c().exec("DROP USER IF EXISTS '" + c().escape(a.user) + "'@'" + c().escape(a.host) + "'");
        c().exec("DELETE FROM mysql.db WHERE User = '" + c().escape(a.user) + "'");
    }
    void add(const Account& a, const std::string& password, const GlobalRights& rights) {
        const AccountOutcome outcome = writer->run(writer->planAdd(a, password, rights));
        ASSERT_TRUE(outcome.ok) << outcome.errorNumber << ":" << outcome.errorText;
        grants::reloadGrants(c());
    }
    std::string scalar(const std::string& sql) {
        Result r = c().query(sql);
        EXPECT_TRUE(r.ok()) << sql << " " << c().errorLine();
        return r.ok() && r.next() ? std::string(r.text(0U)) : std::string("<none>");
    }
    std::string grantsOf(const Account& a) {
        Result r = c().query("SHOW GRANTS FOR '" + c().escape(a.user) + "'@'" + c().escape(a.host) + "'");
        EXPECT_TRUE(r.ok()) << c().errorLine();
        std::string all;
        while (r.next())
            all += std::string(r.text(0U)) + "\n";
        return all;
    }
    bool exists(const Account& a) {
        return scalar("SELECT COUNT(*) FROM mysql.user WHERE Host = '" + c().escape(a.host) +
                      "' AND User = '" + c().escape(a.user) + "'") == "1";
    }
    std::string dbRows(const std::string& user) {
        Result r = c().query("SELECT Host, Db FROM mysql.db WHERE User = '" + c().escape(user) +
                             "' ORDER BY Db, Host");
        std::string out;
        while (r.next())
            out += std::string(r.text(0U)) + "/" + std::string(r.text(1U)) + " ";
        return out;
    }
    bool logsIn(const std::string& user, const std::string& password) {
        ConnectParams p = test::adminParams();
        p.user = user;
        p.password = password;
        Connection login;
        return login.open(p);
    }

    ScopedScriptedUi ui;
    std::unique_ptr<Session> session;
    std::unique_ptr<AccountWriter> writer;
    std::vector<Account> made;
};

TEST_F(AccountsTest, AnAddedAccountLogsInWithItsPasswordAndHoldsItsRights) {
    DBK_REQUIRE_SERVER();
    const Account a = account("%", "dbk_priv_new");
    const std::string password = "p'w\\x \"y";
    add(a, password, only({Privilege::Select, Privilege::Process, Privilege::Grant}));
    EXPECT_TRUE(logsIn(a.user, password));
    EXPECT_FALSE(logsIn(a.user, "wrong"));
    const std::string hash = scalar("SELECT PASSWORD('" + c().escape(password) + "')");
    EXPECT_EQ(grantsOf(a), "GRANT SELECT, PROCESS ON *.* TO `dbk_priv_new`@`%` IDENTIFIED BY PASSWORD '" +
                               hash + "' WITH GRANT OPTION\n");
    // The forms read back what they wrote.
    Result row = c().query(grants::sql::readUser(c(), a.host, a.user));
    ASSERT_TRUE(row.next());
    EXPECT_EQ(grants::globalRightsOf(row), only({Privilege::Select, Privilege::Process, Privilege::Grant}));
}

TEST_F(AccountsTest, ANewHostAndNameCarryTheDatabaseRowsAndLeaveThePassword) {
    DBK_REQUIRE_SERVER();
    const Account from = account("localhost", "dbk_priv_ren");
    const Account to = account("%", "dbk_priv_ren2");
    add(from, "pw1", GlobalRights{});
    ASSERT_TRUE(c().exec(grants::sql::insertDbRowAllOff(c(), from.host, "dbk_priv_d1", from.user)));
    ASSERT_TRUE(c().exec(grants::sql::insertDbRow(c(), "10.0.0.%", "dbk_priv_d2", from.user)));

    const std::vector<AccountStatement> plan =
        writer->planChange(from, to, std::nullopt, only({Privilege::Index}));
    for (const AccountStatement& s : plan)
        EXPECT_NE(s.step, AccountStep::SetPassword);
    const AccountOutcome outcome = writer->run(plan);
    ASSERT_TRUE(outcome.ok) << outcome.errorText;
    grants::reloadGrants(c());
    EXPECT_FALSE(exists(from));
    EXPECT_TRUE(exists(to));
    // The row of the same name at another host is another account's: it stays.
    EXPECT_EQ(dbRows(from.user), "10.0.0.%/dbk_priv_d2 ");
    EXPECT_EQ(dbRows(to.user), "%/dbk_priv_d1 ");
    EXPECT_TRUE(logsIn(to.user, "pw1"));
}

TEST_F(AccountsTest, AnAccountsChangesLeaveTheRowsOfItsNameAtOtherHosts) {
    DBK_REQUIRE_SERVER();
    const Account local = account("localhost", "dbk_priv_app");
    const Account global = account("%", "dbk_priv_app");
    const Account moved = account("127.0.0.1", "dbk_priv_app");
    for (const Account& a : {local, global}) {
        add(a, "x", GlobalRights{});
        ASSERT_TRUE(c().exec(grants::sql::insertDbRow(c(), a.host, "dbk_priv_appdb", a.user)));
    }
    // Unchanged key: nothing moves, nothing collides with the other host's row.
    const AccountOutcome same = writer->run(writer->planChange(local, local, std::nullopt, GlobalRights{}));
    EXPECT_TRUE(same.ok) << same.errorNumber << ":" << same.errorText;
    EXPECT_EQ(dbRows(local.user), "%/dbk_priv_appdb localhost/dbk_priv_appdb ");
    // A new host for one account carries its row alone.
    const AccountOutcome renamed =
        writer->run(writer->planChange(local, moved, std::nullopt, GlobalRights{}));
    EXPECT_TRUE(renamed.ok) << renamed.errorNumber << ":" << renamed.errorText;
    EXPECT_EQ(dbRows(local.user), "%/dbk_priv_appdb 127.0.0.1/dbk_priv_appdb ");
}

TEST_F(AccountsTest, ChangedRightsAreExactlyTheFourteenTicked) {
    DBK_REQUIRE_SERVER();
    const Account a = account("%", "dbk_priv_rights");
    add(a, "", only({Privilege::Select, Privilege::Insert, Privilege::Shutdown}));
    // Rights the forms do not show stay as they are.
    ASSERT_TRUE(c().exec("GRANT SHOW VIEW, EVENT, CREATE USER ON *.* TO 'dbk_priv_rights'@'%'"));
    const GlobalRights ticked =
        only({Privilege::Update, Privilege::File, Privilege::Grant, Privilege::References, Privilege::Alter});
    const AccountOutcome outcome = writer->run(writer->planChange(a, a, std::nullopt, ticked));
    ASSERT_TRUE(outcome.ok) << outcome.errorText;
    grants::reloadGrants(c());
    EXPECT_EQ(grantsOf(a),
              "GRANT UPDATE, FILE, REFERENCES, ALTER, SHOW VIEW, CREATE USER, EVENT ON *.* TO "
              "`dbk_priv_rights`@`%` "
              "WITH GRANT OPTION\n");

    const AccountOutcome cleared = writer->run(writer->planChange(a, a, std::nullopt, GlobalRights{}));
    ASSERT_TRUE(cleared.ok) << cleared.errorText;
    EXPECT_EQ(grantsOf(a), "GRANT SHOW VIEW, CREATE USER, EVENT ON *.* TO `dbk_priv_rights`@`%`\n");
}

TEST_F(AccountsTest, DeletingRemovesTheAccountAndEveryDatabaseRowOfIt) {
    DBK_REQUIRE_SERVER();
    const Account a = account("localhost", "dbk_priv_gone");
    const Account other = account("%", "dbk_priv_gone");
    add(a, "x", GlobalRights{});
    add(other, "x", GlobalRights{});
    for (const Account& row : {a, other}) {
        ASSERT_TRUE(c().exec(grants::sql::insertDbRow(c(), row.host, "dbk_priv_d", row.user)));
        ASSERT_TRUE(c().exec(grants::sql::insertDbRow(c(), row.host, "dbk_priv_e", row.user)));
    }
    const AccountOutcome outcome = writer->run(writer->planRemove(a));
    ASSERT_TRUE(outcome.ok) << outcome.errorText;
    EXPECT_FALSE(exists(a));
    // The same name at another host is another account, with its rights.
    EXPECT_TRUE(exists(other));
    EXPECT_EQ(dbRows(a.user), "%/dbk_priv_d %/dbk_priv_e ");
    // Deleting it again is refused at the first step, so nothing else is sent.
    const AccountOutcome again = writer->run(writer->planRemove(a));
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.failedStep, AccountStep::DeleteAccount);
    EXPECT_EQ(again.stepsDone, 0U);
    EXPECT_NE(again.errorNumber, 0U);
}

TEST_F(AccountsTest, DeletingTheAccountOfTheSessionItself) {
    DBK_REQUIRE_SERVER();
    const Account self = account("%", "dbk_priv_self");
    add(self, "pw", only({Privilege::Select, Privilege::Delete}));
    ConnectParams p = test::adminParams();
    p.user = self.user;
    p.password = "pw";
    Session own;
    ASSERT_TRUE(own.open(p));
    ASSERT_TRUE(own.connection().selectDb("mysql"));
    const auto ownWriter = AccountWriter::forSession(own);
    const AccountOutcome outcome = ownWriter->run(ownWriter->planRemove(self));
    // The server lets an account drop itself; the session goes on until it ends.
    EXPECT_TRUE(outcome.ok) << outcome.errorText;
    EXPECT_FALSE(exists(self));
    EXPECT_TRUE(own.connection().ping());
    EXPECT_FALSE(logsIn(self.user, "pw"));
}

TEST_F(AccountsTest, AwkwardNamesAreWrittenAsTheyAreAndRenamingOntoAnAccountIsRefused) {
    DBK_REQUIRE_SERVER();
    const std::string japanese = toShiftJis(QStringLiteral("dbk_priv_ユーザ"));
    const Account names[] = {
        account("dbk-priv.invalid", "dbk_priv_o'q\\b x"), account("%", japanese),
        account("10.%.%", "dbk_priv_%_"),
        account("dbk-priv.invalid", ""),  // the anonymous account of a host nobody comes from
    };
    for (const Account& a : names) {
        add(a, "it's", only({Privilege::Select}));
        EXPECT_TRUE(exists(a)) << a.user;
    }
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.user WHERE User LIKE 'dbk\\_priv\\_%\\_'"), "1");
    const std::vector<privileges::UserListEntry> list = [&] {
        auto entries = privileges::readUserList(c());
        return entries ? *entries : std::vector<privileges::UserListEntry>{};
    }();
    bool japaneseListed = false;
    for (const auto& e : list)
        japaneseListed = japaneseListed || (e.user == japanese && e.host == "%");
    EXPECT_TRUE(japaneseListed);

    // Renaming onto an existing account: refused before anything took effect.
    const AccountOutcome onto =
        writer->run(writer->planChange(names[0], names[2], std::nullopt, GlobalRights{}));
    EXPECT_FALSE(onto.ok);
    EXPECT_EQ(onto.failedStep, AccountStep::RenameAccount);
    EXPECT_EQ(onto.stepsDone, 0U);
    EXPECT_TRUE(exists(names[0]));

    for (const Account& a : names) {
        const AccountOutcome removed = writer->run(writer->planRemove(a));
        EXPECT_TRUE(removed.ok) << a.user << " " << removed.errorText;
        EXPECT_FALSE(exists(a));
    }
}

TEST_F(AccountsTest, DatabaseRowsAreAddedUpdatedMovedAndDeleted) {
    DBK_REQUIRE_SERVER();
    const Account a = account("localhost", "dbk_priv_rows");
    add(a, "", GlobalRights{});
    const std::string user = a.user;
    ASSERT_TRUE(c().exec(grants::sql::insertDbRow(c(), "%", "dbk_priv_d1", user))) << c().errorLine();
    EXPECT_EQ(dbRows(user), "%/dbk_priv_d1 ");
    // The table's defaults: no right.
    Result fresh = c().query(grants::sql::readDbRow(c(), "dbk_priv_d1", "%", user));
    ASSERT_TRUE(fresh.next());
    EXPECT_EQ(grants::databaseRightsOf(fresh), grants::DatabaseRights{});
    EXPECT_FALSE(c().exec(grants::sql::insertDbRow(c(), "%", "dbk_priv_d1", user)));  // the row is there

    grants::DatabaseRights rights{};
    rights[0] = rights[6] = rights[9] = true;  // Select, Grant, Alter
    ASSERT_TRUE(c().exec(grants::sql::updateDbRow(
        c(), grants::databaseSetList(grants::hostKey(c(), "localhost"), rights), "dbk_priv_d1", "%", user)));
    Result updated = c().query(grants::sql::readDbRow(c(), "dbk_priv_d1", "localhost", user));
    ASSERT_TRUE(updated.next());
    EXPECT_EQ(grants::databaseRightsOf(updated), rights);

    ASSERT_TRUE(c().exec(grants::sql::updateDbRowKeys(
        c(), grants::databaseSetList(grants::databaseUserKey(c(), "localhost", "dbk_priv_d2", user), rights),
        "dbk_priv_d1", "localhost", user)));
    EXPECT_EQ(dbRows(user), "localhost/dbk_priv_d2 ");

    ASSERT_TRUE(c().exec(grants::sql::insertDbRowAllOff(c(), "localhost", "dbk_priv_d3", user)));
    ASSERT_TRUE(c().exec(grants::sql::deleteDbRow(c(), "localhost", "dbk_priv_d2", user)));
    EXPECT_EQ(dbRows(user), "localhost/dbk_priv_d3 ");
    EXPECT_EQ(
        scalar("SELECT CONCAT(Select_priv, Drop_priv, Grant_priv, Alter_priv) FROM mysql.db WHERE User = '" +
               user + "'"),
        "NNNN");
}

TEST_F(AccountsTest, AnyRightMakesAnAdministratorInTheUserList) {
    DBK_REQUIRE_SERVER();
    const Account alter = account("%", "dbk_priv_alter");
    const Account none = account("%", "dbk_priv_none");
    const Account view = account("%", "dbk_priv_view");
    add(alter, "", only({Privilege::Alter}));
    add(none, "", GlobalRights{});
    // Flags that are no rights do not count: an expired password is no administrator.
    ASSERT_TRUE(c().exec("ALTER USER 'dbk_priv_none'@'%' PASSWORD EXPIRE"));
    add(view, "", GlobalRights{});
    ASSERT_TRUE(c().exec("GRANT SHOW VIEW ON *.* TO 'dbk_priv_view'@'%'"));
    const auto entries = privileges::readUserList(c());
    ASSERT_TRUE(entries);
    std::map<std::string, bool> administrator;
    for (const auto& e : *entries)
        administrator[e.user] = e.administrator;
    EXPECT_TRUE(administrator.at("dbk_priv_alter"));
    EXPECT_FALSE(administrator.at("dbk_priv_none"));
    EXPECT_TRUE(administrator.at("dbk_priv_view"));
    EXPECT_TRUE(administrator.at("dbk_admin"));
}

}  // namespace
}  // namespace dbk
