#include <gtest/gtest.h>

#include "app/messages.h"
#include "conn/connection.h"
#include "conn/server_generation.h"
#include "privileges/account_writer.h"
#include "privileges/grant_access.h"
#include "privileges/grant_tables.h"

namespace dbk {
namespace {

using grants::DatabaseRights;
using grants::GlobalRights;
using grants::Privilege;

// Escaping without a session works byte by byte, as it does for ASCII on a session.
const Connection& offline() {
    static const Connection connection{ConnectParams{.characterSet = "cp932"}};
    return connection;
}

GlobalRights only(std::initializer_list<Privilege> privileges) {
    GlobalRights rights{};
    for (Privilege p : privileges)
        rights[size_t(p)] = true;
    return rights;
}

TEST(GrantTables, SetListsNameEveryPrivilegeWithTheirExactBlanks) {
    const Connection& c = offline();
    GlobalRights all;
    all.fill(true);
    EXPECT_EQ(
        grants::globalSetList(grants::userKey(c, "localhost", "bob"), std::nullopt, all),
        "Host = 'localhost',User = 'bob',Select_priv = 'Y',Insert_priv = 'Y',Update_priv = 'Y' ,"
        "Delete_priv = 'Y' ,Create_priv = 'Y' ,Drop_priv = 'Y' ,Reload_priv = 'Y' ,Shutdown_priv = 'Y' ,"
        "Process_priv = 'Y' ,File_priv = 'Y' ,Grant_priv = 'Y' ,References_priv = 'Y' ,Index_priv = 'Y',"
        "Alter_priv = 'Y'");
    EXPECT_EQ(
        grants::globalSetList(grants::userKey(c, "%", ""), grants::passwordPiece(c, "pw"), GlobalRights{}),
        "Host = '%',User = '',Password = PASSWORD('pw'),Select_priv = 'N',Insert_priv = 'N',"
        "Update_priv = 'N' ,Delete_priv = 'N' ,Create_priv = 'N' ,Drop_priv = 'N' ,Reload_priv = 'N' ,"
        "Shutdown_priv = 'N' ,Process_priv = 'N' ,File_priv = 'N' ,Grant_priv = 'N' ,"
        "References_priv = 'N' ,Index_priv = 'N',Alter_priv = 'N'");
    DatabaseRights allDb;
    allDb.fill(true);
    EXPECT_EQ(grants::databaseSetList(grants::hostKey(c, "h"), DatabaseRights{}),
              "Host = 'h',Select_priv = 'N',Insert_priv = 'N',Update_priv = 'N' ,Delete_priv = 'N' ,"
              "Create_priv = 'N' ,Drop_priv = 'N' ,Grant_priv = 'N' ,References_priv = 'N' ,Index_priv = 'N',"
              "Alter_priv = 'N'");
    EXPECT_EQ(
        grants::databaseSetList(grants::databaseUserKey(c, "h", "shop", "u"), allDb),
        "Host = 'h',Db = 'shop',User = 'u',Select_priv = 'Y',Insert_priv = 'Y',Update_priv = 'Y' ,"
        "Delete_priv = 'Y' ,Create_priv = 'Y' ,Drop_priv = 'Y' ,Grant_priv = 'Y' ,References_priv = 'Y' ,"
        "Index_priv = 'Y',Alter_priv = 'Y'");
}

TEST(GrantTables, VocabularyOrderCaptionsAndFlagRule) {
    ASSERT_EQ(grants::vocabulary().size(), 14U);
    EXPECT_STREQ(grants::vocabulary()[6].column, "Reload_priv");
    EXPECT_STREQ(grants::info(Privilege::References).globalCaption, "References");
    EXPECT_STREQ(grants::info(Privilege::References).databaseCaption, "Reference");
    EXPECT_EQ(grants::info(Privilege::Shutdown).databaseCaption, nullptr);
    EXPECT_EQ(grants::databasePanel()[6], Privilege::Grant);
    for (const char* set : {"Y", "y"})
        EXPECT_TRUE(grants::flagSet(set)) << set;
    for (const char* clear : {"N", "", "YES", " Y", "n"})
        EXPECT_FALSE(grants::flagSet(clear)) << clear;
}

TEST(GrantTables, CatalogueTextsWithOrdinaryAndQuotedValues) {
    namespace sql = grants::sql;
    const Connection& c = offline();
    const std::string set = "S";
    struct Case {
        std::string sent;
        std::string expected;
    };
    const Case ordinary[] = {
        {sql::readUser(c, "h", "u"), "select * from mysql.user where Host = 'h' AND User = 'u'"},
        {sql::updateUser(c, set, "h", "u"), "UPDATE user SET S where Host = 'h' AND User = 'u'"},
        {sql::insertUser(set), "INSERT INTO user SET S"},
        {sql::deleteUser(c, "h", "u"), "DELETE FROM mysql.user where  Host = 'h' AND User = 'u'"},
        {sql::userDbRows(c, "u"), "select * from mysql.db where User = 'u'"},
        {sql::databaseDbRows(c, "d"), "select * from mysql.db where Db = 'd'"},
        {sql::readDbRow(c, "d", "h", "u"),
         "select * from mysql.db where db = 'd' AND Host = 'h' AND User = 'u'"},
        {sql::carryUserRename(c, "nh", "nu", "h", "u"),
         "UPDATE mysql.db SET Host = 'nh',User = 'nu' where Host = 'h' AND User = 'u'"},
        {sql::updateDbRow(c, set, "d", "h", "u"),
         "UPDATE db SET S where db = 'd' AND Host = 'h' AND User = 'u'"},
        {sql::updateDbRowKeys(c, set, "d", "h", "u"),
         "UPDATE mysql.db SET S where db = 'd' AND Host = 'h' AND User = 'u'"},
        {sql::insertDbRowAllOff(c, "h", "d", "u"),
         "INSERT INTO mysql.db (Host,Db,User,Select_priv,Insert_priv,Update_priv,Delete_priv,Create_priv,"
         "Drop_priv) VALUES('h','d','u','N','N','N','N','N','N')"},
        {sql::insertDbRow(c, "h", "d", "u"), "INSERT INTO mysql.db SET  Host = 'h',Db = 'd',User = 'u'"},
        {sql::deleteAccountDbRows(c, "h", "u"), "DELETE FROM mysql.db where  Host = 'h' AND User = 'u'"},
        {sql::deleteDbRow(c, "h", "d", "u"),
         "DELETE FROM mysql.db where  Host = 'h' AND Db = 'd' AND User = 'u'"},
        {sql::databaseHostRows(c, "d"), "select * from mysql.host where Db = 'd'"},
        {sql::readHostRow(c, "d", "h"), "select * from mysql.host where db = 'd' AND Host = 'h'"},
        {sql::updateHostRow(c, set, "d", "h"), "UPDATE host SET S where db = 'd' AND Host = 'h'"},
        {sql::insertHostRow(c, "h", "d"), "INSERT INTO mysql.host SET  Host = 'h',Db = 'd'"},
        {sql::deleteHostRow(c, "h", "d"), "DELETE FROM mysql.host where  Host = 'h' AND Db = 'd'"},
        {grants::passwordPiece(c, "it's"), ",Password = PASSWORD('it\\'s')"},
    };
    for (const Case& k : ordinary)
        EXPECT_EQ(k.sent, k.expected);

    // A quote (or backslash) in any value is escaped where it is substituted.
    const std::string q = "o'q\\";
    const std::string e = "o\\'q\\\\";
    const Case quoted[] = {
        {sql::readUser(c, q, q), "select * from mysql.user where Host = '" + e + "' AND User = '" + e + "'"},
        {sql::updateUser(c, set, q, "u"), "UPDATE user SET S where Host = '" + e + "' AND User = 'u'"},
        {sql::deleteUser(c, "h", q), "DELETE FROM mysql.user where  Host = 'h' AND User = '" + e + "'"},
        {sql::userDbRows(c, q), "select * from mysql.db where User = '" + e + "'"},
        {sql::databaseDbRows(c, q), "select * from mysql.db where Db = '" + e + "'"},
        {sql::readDbRow(c, q, "h", "u"),
         "select * from mysql.db where db = '" + e + "' AND Host = 'h' AND User = 'u'"},
        {sql::carryUserRename(c, q, "nu", q, q), "UPDATE mysql.db SET Host = '" + e +
                                                     "',User = 'nu' where Host = '" + e + "' AND User = '" +
                                                     e + "'"},
        {sql::updateDbRow(c, set, "d", q, "u"),
         "UPDATE db SET S where db = 'd' AND Host = '" + e + "' AND User = 'u'"},
        {sql::updateDbRowKeys(c, set, "d", "h", q),
         "UPDATE mysql.db SET S where db = 'd' AND Host = 'h' AND User = '" + e + "'"},
        {sql::insertDbRowAllOff(c, "h", q, "u"),
         "INSERT INTO mysql.db (Host,Db,User,Select_priv,Insert_priv,Update_priv,Delete_priv,Create_priv,"
         "Drop_priv) VALUES('h','" +
             e + "','u','N','N','N','N','N','N')"},
        {sql::insertDbRow(c, "h", q, "u"),
         "INSERT INTO mysql.db SET  Host = 'h',Db = '" + e + "',User = 'u'"},
        {sql::deleteAccountDbRows(c, q, q),
         "DELETE FROM mysql.db where  Host = '" + e + "' AND User = '" + e + "'"},
        {sql::deleteDbRow(c, q, "d", "u"),
         "DELETE FROM mysql.db where  Host = '" + e + "' AND Db = 'd' AND User = 'u'"},
        {sql::databaseHostRows(c, q), "select * from mysql.host where Db = '" + e + "'"},
        {sql::readHostRow(c, "d", q), "select * from mysql.host where db = 'd' AND Host = '" + e + "'"},
        {sql::updateHostRow(c, set, q, "h"), "UPDATE host SET S where db = '" + e + "' AND Host = 'h'"},
        {sql::insertHostRow(c, q, "d"), "INSERT INTO mysql.host SET  Host = '" + e + "',Db = 'd'"},
        {sql::deleteHostRow(c, "h", q), "DELETE FROM mysql.host where  Host = 'h' AND Db = '" + e + "'"},
        {grants::userKey(c, q, q), "Host = '" + e + "',User = '" + e + "'"},
        {grants::databaseUserKey(c, q, q, q), "Host = '" + e + "',Db = '" + e + "',User = '" + e + "'"},
        {grants::hostKey(c, q), "Host = '" + e + "'"},
    };
    for (const Case& k : quoted)
        EXPECT_EQ(k.sent, k.expected);
}

std::vector<std::string> texts(const std::vector<AccountStatement>& plan) {
    std::vector<std::string> out;
    for (const AccountStatement& s : plan)
        out.push_back(s.sql);
    return out;
}

TEST(AccountWriter, AccountStatementsForAddChangeAndDelete) {
    Connection c{ConnectParams{.characterSet = "cp932"}};
    const ServerGeneration mariadb(101119, true);
    const auto writer = AccountWriter::forGeneration(c, mariadb);
    const Account bob{"localhost", "bob"};
    const Account robert{"%", "robert"};

    EXPECT_EQ(texts(writer->planAdd(bob, "pw", only({Privilege::Select, Privilege::Grant}))),
              (std::vector<std::string>{"CREATE USER 'bob'@'localhost' IDENTIFIED BY 'pw'",
                                        "GRANT SELECT ON *.* TO 'bob'@'localhost' WITH GRANT OPTION"}));
    EXPECT_EQ(texts(writer->planAdd(bob, "", GlobalRights{})),
              std::vector<std::string>{"CREATE USER 'bob'@'localhost' IDENTIFIED BY ''"});
    EXPECT_EQ(texts(writer->planAdd(bob, "", only({Privilege::Grant}))),
              (std::vector<std::string>{"CREATE USER 'bob'@'localhost' IDENTIFIED BY ''",
                                        "GRANT USAGE ON *.* TO 'bob'@'localhost' WITH GRANT OPTION"}));

    const auto change =
        writer->planChange(bob, robert, std::string("x'y"), only({Privilege::Select, Privilege::Alter}));
    EXPECT_EQ(
        texts(change),
        (std::vector<std::string>{
            "RENAME USER 'bob'@'localhost' TO 'robert'@'%'",
            "SET PASSWORD FOR 'robert'@'%' = PASSWORD('x\\'y')",
            "GRANT SELECT, ALTER ON *.* TO 'robert'@'%'",
            "REVOKE INSERT, UPDATE, DELETE, CREATE, DROP, RELOAD, SHUTDOWN, PROCESS, FILE, GRANT OPTION, "
            "REFERENCES, INDEX ON *.* FROM 'robert'@'%'",
            "UPDATE mysql.db SET Host = '%',User = 'robert' where Host = 'localhost' AND User = 'bob'",
        }));
    std::vector<AccountStep> steps;
    for (const AccountStatement& s : change)
        steps.push_back(s.step);
    EXPECT_EQ(steps, (std::vector<AccountStep>{AccountStep::RenameAccount, AccountStep::SetPassword,
                                               AccountStep::GrantRights, AccountStep::RevokeRights,
                                               AccountStep::MoveDatabaseRows}));

    // Same name, password untouched, every right: neither RENAME nor a password nor REVOKE, and
    // no database row moves.
    GlobalRights all;
    all.fill(true);
    EXPECT_EQ(texts(writer->planChange(bob, bob, std::nullopt, all)),
              (std::vector<std::string>{
                  "GRANT SELECT, INSERT, UPDATE, DELETE, CREATE, DROP, RELOAD, SHUTDOWN, PROCESS, FILE, "
                  "REFERENCES, "
                  "INDEX, ALTER ON *.* TO 'bob'@'localhost' WITH GRANT OPTION",
              }));

    EXPECT_EQ(texts(writer->planRemove(Account{"%", "o'b"})),
              (std::vector<std::string>{"DROP USER 'o\\'b'@'%'",
                                        "DELETE FROM mysql.db where  Host = '%' AND User = 'o\\'b'"}));

    // MySQL 8 has no PASSWORD().
    const auto mysql8 = AccountWriter::forGeneration(c, ServerGeneration(80036));
    EXPECT_EQ(texts(mysql8->planChange(bob, bob, std::string("x"), all))[0],
              "ALTER USER 'bob'@'localhost' IDENTIFIED BY 'x'");
}

TEST(AccountWriter, LegacyServersWriteTheUserTable) {
    Connection c{ConnectParams{.characterSet = "cp932"}};
    const auto writer = AccountWriter::forGeneration(c, ServerGeneration(100339, true));
    const Account bob{"localhost", "bob"};
    const std::string clearList =
        ",Select_priv = 'N',Insert_priv = 'N',Update_priv = 'N' ,Delete_priv = 'N' ,Create_priv = 'N' ,"
        "Drop_priv = 'N' ,Reload_priv = 'N' ,Shutdown_priv = 'N' ,Process_priv = 'N' ,File_priv = 'N' ,"
        "Grant_priv = 'N' ,References_priv = 'N' ,Index_priv = 'N',Alter_priv = 'N'";
    EXPECT_EQ(
        texts(writer->planAdd(bob, "", GlobalRights{})),
        std::vector<std::string>{
            "INSERT INTO user SET Host = 'localhost',User = 'bob',Password = PASSWORD('')" + clearList});
    EXPECT_EQ(
        texts(writer->planChange(bob, Account{"%", "bob"}, std::nullopt, GlobalRights{})),
        (std::vector<std::string>{"UPDATE user SET Host = '%',User = 'bob'" + clearList +
                                      " where Host = 'localhost' AND User = 'bob'",
                                  "UPDATE mysql.db SET Host = '%',User = 'bob' where Host = 'localhost' "
                                  "AND User = 'bob'"}));
    EXPECT_EQ(texts(writer->planRemove(bob)),
              (std::vector<std::string>{"DELETE FROM mysql.user where  Host = 'localhost' AND User = 'bob'",
                                        "DELETE FROM mysql.db where  Host = 'localhost' AND User = 'bob'"}));
}

TEST(AccountWriter, FailuresNameTheStepWhenEarlierStepsTookEffect) {
    setInterfaceLanguage(Language::English);
    AccountOutcome first{false, AccountStep::RenameAccount, 0, 1396, "Operation RENAME USER failed"};
    EXPECT_EQ(privileges::accountFailureText(first, privileges::kUpdateFailed),
              "Update failed\n1396:Operation RENAME USER failed");
    EXPECT_EQ(privileges::accountFailureText(first, privileges::kNoAccessPrivileges),
              "There are no access privledges\n1396:Operation RENAME USER failed");
    AccountOutcome later{false, AccountStep::RevokeRights, 2, 1044, "denied"};
    EXPECT_EQ(privileges::accountFailureText(later, privileges::kUpdateFailed),
              "Update failed while revoking the rights. The steps before it took effect.\n1044:denied");
}

TEST(GrantLists, IconsAndHostLabels) {
    using privileges::AccountIcon;
    EXPECT_EQ(privileges::accountIconFor("localhost"), AccountIcon::Local);
    EXPECT_EQ(privileges::accountIconFor("%"), AccountIcon::Global);
    EXPECT_EQ(privileges::accountIconFor("%.example.jp"), AccountIcon::Global);
    EXPECT_EQ(privileges::accountIconFor("192.168.%"), AccountIcon::Restricted);
    EXPECT_EQ(privileges::accountIconFor(""), AccountIcon::Restricted);
    EXPECT_EQ(privileges::hostEntryLabel("%", "shop"), "All Hosts\n(shop)");
    EXPECT_EQ(privileges::hostEntryLabel("%.jp", "shop"), "%.jp\n(shop)");
}

}  // namespace
}  // namespace dbk
