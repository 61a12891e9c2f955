#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest/QTest>
#include <functional>

#include "app/commands.h"
#include "app/database_chooser_form.h"
#include "app/form_registry.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "browser/dbkeeper_view.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "privileges/database_form.h"
#include "privileges/database_list_form.h"
#include "privileges/database_user_form.h"
#include "privileges/grant_tables.h"
#include "privileges/host_access_form.h"
#include "privileges/host_details_form.h"
#include "privileges/host_list_form.h"
#include "privileges/privilege_panel_widget.h"
#include "privileges/user_info_form.h"
#include "privileges/user_list_form.h"
#include "support/test_server.h"
#include "support/ui_support.h"

namespace dbk {
namespace {

using grants::Privilege;

QListWidgetItem* itemLabelled(QListWidget* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text)
            return list->item(i);
    }
    return nullptr;
}

QStringList labels(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void click(QListWidget* list, QListWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    list->setCurrentItem(item);
    emit list->itemClicked(item);
}

void doubleClick(QListWidget* list, QListWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    emit list->itemDoubleClicked(item);
}

// Every input box, list and button is named; buttons and boxes by their captions, input boxes
// by the caption label that is their buddy.
QStringList unnamedControls(QWidget& form) {
    QStringList offenders;
    QMap<QWidget*, QString> buddies;
    for (QLabel* label : form.findChildren<QLabel*>()) {
        if (label->buddy())
            buddies[label->buddy()] = label->text();
    }
    for (QWidget* w : form.findChildren<QWidget*>()) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        const QString name = iface ? iface->text(QAccessible::Name) : QString();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (name != button->text())
                offenders << button->text() + " named " + name;
        } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractItemView*>(w)) {
            if (qobject_cast<QAbstractItemView*>(w->parentWidget()))
                continue;
            const bool captioned = buddies.contains(w) ? buddies[w] == name : !name.isEmpty();
            if (name.isEmpty() || !captioned)
                offenders << QString::fromLatin1(w->metaObject()->className()) + " named \"" + name + "\"";
        }
    }
    return offenders;
}

// An administrator session; accounts and databases named dbk_priv_* are dropped afterwards.
class PrivilegeFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        if (!test::serverConfigured())
            return;
        session = std::make_unique<Session>(test::connectAdmin());
        previousRunner = setModalRunner([this](QDialog& d) {
            opened << d.windowTitle();
            return inner ? inner(d) : int(QDialog::Rejected);
        });
    }
    void TearDown() override {
        setModalRunner(previousRunner);
        if (!session)
            return;
        for (const auto& [host, user] : accounts) {
            c().exec("DROP USER IF EXISTS '" + c().escape(user) + "'@'" + c().escape(host) + "'");
            c().exec("DELETE FROM mysql.db WHERE User = '" + c().escape(user) + "'");
        }
        if (hostTableMade)
            c().exec("DROP TABLE IF EXISTS mysql.host");
        grants::reloadGrants(c());
    }
    Connection& c() { return session->connection(); }
    void account(const std::string& host, const std::string& user, const std::string& grantsClause = {}) {
        accounts.emplace_back(host, user);
        c().exec("DROP USER IF EXISTS '" + user + "'@'" + host + "'");
        ASSERT_TRUE(c().exec("CREATE USER '" + user + "'@'" + host + "' IDENTIFIED BY 'pw'"))
            << c().errorLine();
        if (!grantsClause.empty()) {
            ASSERT_TRUE(c().exec("GRANT " + grantsClause + " ON *.* TO '" + user + "'@'" + host + "'"));
        }
    }
    void forget(const std::string& host, const std::string& user) { accounts.emplace_back(host, user); }
    std::string scalar(const std::string& sql) {
        Result r = c().query(sql);
        return r.ok() && r.next() ? std::string(r.text(0U)) : std::string("<none>");
    }
    bool logsIn(const std::string& user, const std::string& password) {
        ConnectParams p = test::adminParams();
        p.user = user;
        p.password = password;
        Connection login;
        return login.open(p);
    }
    // A grant table mysql.host of the old layout, which this server lacks, for the host forms.
    std::unique_ptr<Session> sessionWithHostTable() {
        std::string columns;
        for (Privilege p : grants::databasePanel())
            columns += std::string(",") + grants::info(p).column + " enum('N','Y') NOT NULL DEFAULT 'N'";
        c().exec("DROP TABLE IF EXISTS mysql.host");
        hostTableMade = true;
        EXPECT_TRUE(
            c().exec("CREATE TABLE mysql.host (Host char(60) NOT NULL DEFAULT '', Db char(64) NOT NULL "
                     "DEFAULT ''" +
                     columns + ", PRIMARY KEY (Host, Db))"))
            << c().errorLine();
        auto s = std::make_unique<Session>(test::connectAdmin());
        EXPECT_TRUE(s->generation().hasHostTable());
        return s;
    }

    ScopedScriptedUi ui;
    std::unique_ptr<Session> session;
    ModalRunner previousRunner;
    std::function<int(QDialog&)> inner;
    QStringList opened;
    std::vector<std::pair<std::string, std::string>> accounts;
    bool hostTableMade = false;
};

TEST_F(PrivilegeFormsTest, UserInformationAddsAnAccountThenChangesItAndItsDatabaseRows) {
    DBK_REQUIRE_SERVER();
    forget("%", "dbk_priv_form");
    UserInfoForm form(*session, UserInfoForm::Mode::Add, {}, {}, {});
    EXPECT_TRUE(unnamedControls(form).isEmpty()) << unnamedControls(form).join(u'\n').toStdString();
    EXPECT_FALSE(form.databaseGroup()->isEnabled());
    EXPECT_FALSE(form.deleteUserButton()->isEnabled());
    form.hostField()->setText("%");
    form.userField()->setText("dbk_priv_form");
    QTest::keyClicks(form.passwordField(), "pw");
    QTest::keyClicks(form.confirmField(), "px");
    form.updateButton()->click();
    EXPECT_EQ(ui->questions, QStringList{"Proceed to change the user?"});
    EXPECT_EQ(ui->messages, QStringList{"Please check password."});
    EXPECT_TRUE(form.passwordField()->text().isEmpty());
    EXPECT_TRUE(form.confirmField()->text().isEmpty());

    ui->messages.clear();
    form.adminPresetButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Set Administration Preferences"});
    form.ordinaryPresetButton()->click();
    form.globalPanel()->box(Privilege::Select)->setChecked(true);
    form.globalPanel()->box(Privilege::Grant)->setChecked(true);
    QTest::keyClicks(form.passwordField(), "pw");
    QTest::keyClicks(form.confirmField(), "pw");
    ui->messages.clear();
    form.updateButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Database is added and data updated."});
    EXPECT_EQ(form.mode(), UserInfoForm::Mode::Change);
    EXPECT_TRUE(form.databaseGroup()->isEnabled());
    EXPECT_TRUE(logsIn("dbk_priv_form", "pw"));

    // A change that leaves the password fields alone sends no password.
    form.hostField()->setText("127.0.0.1");
    form.userField()->setText("dbk_priv_form2");
    forget("127.0.0.1", "dbk_priv_form2");
    ui->messages.clear();
    form.globalPanel()->box(Privilege::Grant)->setChecked(false);
    form.updateButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Database is altered and data updated."});
    EXPECT_EQ(form.key(), (Account{"127.0.0.1", "dbk_priv_form2"}));
    EXPECT_EQ(scalar("SELECT CONCAT(Select_priv, Grant_priv) FROM mysql.user WHERE User = 'dbk_priv_form2'"),
              "YN");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.user WHERE User = 'dbk_priv_form'"), "0");

    // Retyping: leaving the confirmation with a different text empties both.
    QTest::keyClicks(form.passwordField(), "a");
    form.confirmField()->setText("b");
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(form.confirmField(), &leave);
    EXPECT_EQ(ui->messages.last(), "Please re-type password.");
    EXPECT_FALSE(form.passwordChanged());
    EXPECT_TRUE(form.passwordField()->text().isEmpty());
    QTest::keyClicks(form.passwordField(), "n'w");
    QTest::keyClicks(form.confirmField(), "n'w");
    ui->messages.clear();
    form.updateButton()->click();
    EXPECT_EQ(ui->messages,
              (QStringList{"Password will be changed!", "Database is altered and data updated."}));
    EXPECT_TRUE(logsIn("dbk_priv_form2", "n'w"));

    // Database rows: the chooser gives the database.
    test::ScratchDatabase rowDb("dbk_priv_rowdb");
    QString choice = "mysql";
    inner = [&](QDialog& d) {
        if (auto* chooser = dynamic_cast<DatabaseChooserForm*>(&d))
            emit chooser->list()->itemDoubleClicked(itemLabelled(chooser->list(), choice));
        return d.result();
    };
    ui->messages.clear();
    form.addDatabaseButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Cannot add to MySQL database."});
    choice = "dbk_priv_rowdb";
    form.addDatabaseButton()->click();
    EXPECT_EQ(labels(form.databaseList()), QStringList{"dbk_priv_rowdb"});
    // The row is the account's own, at its host.
    EXPECT_EQ(scalar("SELECT Host FROM mysql.db WHERE User = 'dbk_priv_form2'"), "127.0.0.1");

    ui->messages.clear();
    form.databaseUpdateButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Please select database"});
    click(form.databaseList(), form.databaseList()->item(0));
    EXPECT_EQ(form.databaseHostField()->text(), "127.0.0.1");
    EXPECT_FALSE(form.databasePanel()->box(Privilege::Select)->isChecked());
    form.databasePanel()->box(Privilege::Select)->setChecked(true);
    form.databaseHostField()->setText("%");
    ui->messages.clear();
    form.databaseUpdateButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Database updated"});
    EXPECT_EQ(scalar("SELECT CONCAT(Host, Select_priv) FROM mysql.db WHERE User = 'dbk_priv_form2'"), "%Y");

    click(form.databaseList(), form.databaseList()->item(0));
    ui->messages.clear();
    form.databaseDeleteButton()->click();
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(form.databaseList()->count(), 0);

    // A double-click opens the database form of the row's database.
    form.addDatabaseButton()->click();
    inner = nullptr;
    opened.clear();
    doubleClick(form.databaseList(), form.databaseList()->item(0));
    EXPECT_EQ(opened, QStringList{"データベース"});
    ui->questions.clear();
    form.deleteUserButton()->click();
    EXPECT_EQ(ui->questions, QStringList{"Proceed to delete it?"});
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.user WHERE User LIKE 'dbk\\_priv\\_form%'"), "0");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.db WHERE User LIKE 'dbk\\_priv\\_form%'"), "0");
}

TEST_F(PrivilegeFormsTest, UserInformationShowsRefusalsWithTheServersAnswer) {
    DBK_REQUIRE_SERVER();
    account("%", "dbk_priv_a");
    account("%", "dbk_priv_b");
    UserInfoForm form(*session, UserInfoForm::Mode::Change, "%", "dbk_priv_a", "*********");
    EXPECT_EQ(form.userField()->text(), "dbk_priv_a");
    form.userField()->setText("dbk_priv_b");  // an account that exists
    form.updateButton()->click();
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("Update failed\n1396:")) << ui->messages[0].toStdString();
    EXPECT_EQ(form.key(), (Account{"%", "dbk_priv_a"}));

    ui->messages.clear();
    UserInfoForm missing(*session, UserInfoForm::Mode::Change, "%", "dbk_priv_nobody", "");
    EXPECT_EQ(ui->messages, QStringList{"There is no data."});
}

TEST_F(PrivilegeFormsTest, UserListSplitsAdministratorsAndDeletesTheSelectedAccount) {
    DBK_REQUIRE_SERVER();
    account("%", "dbk_priv_alter", "ALTER");
    account("localhost", "dbk_priv_plain");
    account("dbk-priv.invalid", "");
    UserListForm form(*session);
    EXPECT_TRUE(unnamedControls(form).isEmpty()) << unnamedControls(form).join(u'\n').toStdString();
    EXPECT_NE(itemLabelled(form.administratorList(), "dbk_priv_alter"), nullptr);
    EXPECT_NE(itemLabelled(form.ordinaryList(), "dbk_priv_plain"), nullptr);
    EXPECT_NE(itemLabelled(form.ordinaryList(), "No Users"), nullptr);
    EXPECT_EQ(form.contextMenu()->actions().size(), 3);

    form.deleteButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Please select user"});

    // A double-click opens the account's information; afterwards the list is read again.
    QListWidgetItem* anonymous = itemLabelled(form.ordinaryList(), "No Users");
    QString openedUser = "unset";
    inner = [&](QDialog& d) {
        if (auto* info = dynamic_cast<UserInfoForm*>(&d))
            openedUser = info->userField()->text() + "@" + info->hostField()->text();
        return int(QDialog::Rejected);
    };
    doubleClick(form.ordinaryList(), anonymous);
    EXPECT_EQ(openedUser, "@dbk-priv.invalid");
    form.addMenuAction()->trigger();
    EXPECT_EQ(opened, (QStringList{"ユーザ情報", "ユーザ情報"}));

    click(form.ordinaryList(), itemLabelled(form.ordinaryList(), "dbk_priv_plain"));
    EXPECT_EQ(form.userNameField()->text(), "dbk_priv_plain");
    EXPECT_EQ(form.hostField()->text(), "localhost");
    ui->answers = {false};
    form.deleteButton()->click();
    EXPECT_EQ(ui->questions.last(), "Proceed to delete?\n\nUser: dbk_priv_plain\nHost: localhost");
    EXPECT_NE(itemLabelled(form.ordinaryList(), "dbk_priv_plain"), nullptr);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(form.ordinaryList(), &del);
    EXPECT_EQ(itemLabelled(form.ordinaryList(), "dbk_priv_plain"), nullptr);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.user WHERE User = 'dbk_priv_plain'"), "0");
}

TEST_F(PrivilegeFormsTest, DatabaseFormAddsUpdatesAndDeletesTheRowsOfItsDatabase) {
    DBK_REQUIRE_SERVER();
    account("%", "dbk_priv_dbf");
    DatabaseForm form(*session, "dbk_priv_dbfdb");
    EXPECT_TRUE(unnamedControls(form).isEmpty()) << unnamedControls(form).join(u'\n').toStdString();
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(form.userList()->count(), 0);
    EXPECT_EQ(form.databaseField()->text(), "dbk_priv_dbfdb");
    int row = -1;
    for (int i = 0; i < form.accountList()->rowCount(); ++i) {
        if (form.accountList()->item(i, 1)->text() == "dbk_priv_dbf")
            row = i;
    }
    ASSERT_GE(row, 0);
    emit form.accountList()->cellDoubleClicked(row, 0);
    EXPECT_EQ(ui->questions, QStringList{"Proceed to add the user?(dbk_priv_dbf)"});
    EXPECT_EQ(ui->messages, QStringList{"Database updated"});
    EXPECT_EQ(labels(form.userList()), QStringList{"dbk_priv_dbf"});
    ui->messages.clear();
    emit form.accountList()->cellDoubleClicked(row, 0);  // the row is there already
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("There are no access privledges\n1062:"));

    ui->messages.clear();
    form.updateButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Please select user"});
    click(form.userList(), form.userList()->item(0));
    EXPECT_EQ(form.hostField()->text(), "%");
    form.hostField()->setText("localhost");
    form.panel()->box(Privilege::Index)->setChecked(true);
    ui->messages.clear();
    form.updateButton()->click();
    EXPECT_EQ(ui->questions.last(), "Proceed to update?(dbk_priv_dbf)");
    EXPECT_EQ(ui->messages, QStringList{"Database updated"});
    EXPECT_TRUE(form.hostField()->text().isEmpty());
    EXPECT_FALSE(form.panel()->box(Privilege::Index)->isChecked());
    EXPECT_EQ(scalar("SELECT CONCAT(Host, User, Db, Index_priv) FROM mysql.db WHERE User = 'dbk_priv_dbf'"),
              "localhostdbk_priv_dbfdbk_priv_dbfdbY");

    click(form.userList(), form.userList()->item(0));
    form.deleteButton()->click();
    EXPECT_EQ(ui->questions.last(), "Proceed to delete?(dbk_priv_dbf)");
    EXPECT_EQ(form.userList()->count(), 0);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.db WHERE User = 'dbk_priv_dbf'"), "0");
}

TEST_F(PrivilegeFormsTest, DatabaseUserFormMovesItsRowOnlyWhenTheMoveIsConfirmed) {
    DBK_REQUIRE_SERVER();
    account("%", "dbk_priv_du");
    ASSERT_TRUE(c().exec(grants::sql::insertDbRow(c(), "%", "dbk_priv_du1", "dbk_priv_du")));
    {
        DatabaseUserForm form(*session, "%", "dbk_priv_du1", "dbk_priv_du");
        EXPECT_TRUE(unnamedControls(form).isEmpty()) << unnamedControls(form).join(u'\n').toStdString();
        EXPECT_TRUE(ui->messages.isEmpty());
        form.databaseField()->setText("dbk_priv_du2");
        ui->answers = {true, false};
        form.updateButton()->click();
        EXPECT_EQ(ui->questions,
                  (QStringList{"Proceed to change the user?", "Database will be changed.\nProceed?"}));
        EXPECT_EQ(form.result(), QDialog::Rejected);
        EXPECT_EQ(scalar("SELECT Db FROM mysql.db WHERE User = 'dbk_priv_du'"), "dbk_priv_du1");
    }
    {
        DatabaseUserForm form(*session, "%", "dbk_priv_du1", "dbk_priv_du");
        form.databaseField()->setText("dbk_priv_du2");
        form.panel()->box(Privilege::Alter)->setChecked(true);
        form.updateButton()->click();
        EXPECT_EQ(ui->messages, QStringList{"Database is altered and data updated."});
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_EQ(scalar("SELECT CONCAT(Db, Alter_priv) FROM mysql.db WHERE User = 'dbk_priv_du'"),
                  "dbk_priv_du2Y");
    }
    ui->messages.clear();
    DatabaseUserForm gone(*session, "%", "dbk_priv_du1", "dbk_priv_du");
    EXPECT_EQ(ui->messages, QStringList{"There is no data."});
    DatabaseUserForm moved(*session, "%", "dbk_priv_du2", "dbk_priv_du");
    EXPECT_TRUE(moved.panel()->box(Privilege::Alter)->isChecked());
    moved.deleteButton()->click();
    EXPECT_EQ(moved.result(), QDialog::Accepted);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM mysql.db WHERE User = 'dbk_priv_du'"), "0");
}

TEST_F(PrivilegeFormsTest, DatabaseListOpensTheFormsOfItsEntriesAndRefills) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_priv_listed");
    account("localhost", "dbk_priv_dl");
    ASSERT_TRUE(c().exec(grants::sql::insertDbRow(c(), "localhost", "dbk_priv_listed", "dbk_priv_dl")));
    DatabaseListForm form(*session);
    EXPECT_TRUE(unnamedControls(form).isEmpty()) << unnamedControls(form).join(u'\n').toStdString();
    EXPECT_NE(itemLabelled(form.databaseList(), "dbk_priv_listed"), nullptr);
    QListWidgetItem* access = itemLabelled(form.accessList(), "dbk_priv_listed");
    ASSERT_NE(access, nullptr);
    QString keys;
    inner = [&](QDialog& d) {
        if (auto* f = dynamic_cast<DatabaseUserForm*>(&d)) {
            keys = f->hostField()->text() + "|" + f->databaseField()->text() + "|" + f->userField()->text();
            f->deleteButton()->click();
        }
        return d.result();
    };
    doubleClick(form.accessList(), access);
    EXPECT_EQ(keys, "localhost|dbk_priv_listed|dbk_priv_dl");
    EXPECT_EQ(itemLabelled(form.accessList(), "dbk_priv_listed"), nullptr);
    doubleClick(form.databaseList(), itemLabelled(form.databaseList(), "dbk_priv_listed"));
    EXPECT_EQ(opened, (QStringList{"DB", "データベース"}));
}

TEST_F(PrivilegeFormsTest, HostFormsAreNotOfferedWithoutAHostTable) {
    DBK_REQUIRE_SERVER();
    ASSERT_FALSE(session->generation().hasHostTable());
    HostListForm list(*session);
    HostAccessForm access(*session, "mysql");
    HostDetailsForm details(*session, "%", "mysql");
    EXPECT_EQ(ui->messages, QStringList(3, "This server has no host table."));
    EXPECT_FALSE(access.addButton()->isEnabled());
    EXPECT_EQ(list.deniedList()->count(), 0);
}

TEST_F(PrivilegeFormsTest, HostFormsKeepTheHostTable) {
    DBK_REQUIRE_SERVER();
    std::unique_ptr<Session> hosts = sessionWithHostTable();
    HostAccessForm access(*hosts, "dbk_priv_hdb");
    EXPECT_TRUE(unnamedControls(access).isEmpty()) << unnamedControls(access).join(u'\n').toStdString();
    access.addButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Please enter controlling host."});
    access.newHostField()->setText("%");
    ui->messages.clear();
    access.addButton()->click();
    EXPECT_EQ(ui->questions.last(), "Proceed to add the user?(%)");
    EXPECT_EQ(ui->messages, QStringList{"Database updated"});
    EXPECT_EQ(labels(access.hostList()), QStringList{"%"});
    ui->messages.clear();
    access.updateButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Please select a host"});
    click(access.hostList(), access.hostList()->item(0));
    EXPECT_EQ(access.hostField()->text(), "%");
    access.panel()->box(Privilege::Alter)->setChecked(true);
    ui->messages.clear();
    access.updateButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Database updated"});
    EXPECT_TRUE(access.hostField()->text().isEmpty());
    EXPECT_FALSE(access.panel()->box(Privilege::Alter)->isChecked());

    // Only Alter set: the host is restricted, not denied; "%" reads "All Hosts".
    ASSERT_TRUE(c().exec(grants::sql::insertHostRow(c(), "10.1.%", "dbk_priv_hdb")));
    HostListForm list(*hosts);
    EXPECT_TRUE(unnamedControls(list).isEmpty()) << unnamedControls(list).join(u'\n').toStdString();
    EXPECT_EQ(labels(list.restrictedList()), QStringList{"All Hosts\n(dbk_priv_hdb)"});
    EXPECT_EQ(labels(list.deniedList()), QStringList{"10.1.%\n(dbk_priv_hdb)"});
    QString detailsKey;
    inner = [&](QDialog& d) {
        if (auto* f = dynamic_cast<HostDetailsForm*>(&d)) {
            detailsKey = f->hostField()->text() + "|" + f->databaseField()->text();
            f->hostField()->setText("10.2.%");
            f->updateButton()->click();
        }
        return d.result();
    };
    doubleClick(list.deniedList(), list.deniedList()->item(0));
    EXPECT_EQ(detailsKey, "10.1.%|dbk_priv_hdb");
    EXPECT_EQ(labels(list.deniedList()), QStringList{"10.2.%\n(dbk_priv_hdb)"});

    click(list.deniedList(), list.deniedList()->item(0));
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(list.deniedList(), &del);
    EXPECT_EQ(ui->questions.last(), "Proceed to delete?(10.2.%)");
    EXPECT_EQ(list.deniedList()->count(), 0);

    HostDetailsForm details(*hosts, "%", "dbk_priv_hdb");
    EXPECT_TRUE(unnamedControls(details).isEmpty()) << unnamedControls(details).join(u'\n').toStdString();
    EXPECT_TRUE(details.panel()->box(Privilege::Alter)->isChecked());
    details.deleteButton()->click();
    EXPECT_EQ(details.result(), QDialog::Accepted);
    access.fill();
    EXPECT_EQ(access.hostList()->count(), 0);
}

// Every list of the privilege forms: the first item Qt makes current when the list gets the
// focus is no choice; a movement of the keyboard chooses, as a click does.
TEST_F(PrivilegeFormsTest, ListsActOnlyOnTheEntryTheUserChose) {
    DBK_REQUIRE_SERVER();
    account("localhost", "dbk_priv_pick");
    account("%", "dbk_priv_pick2");
    for (const char* row :
         {"'localhost','dbk_priv_pickdb','dbk_priv_pick'", "'%','dbk_priv_pickdb','dbk_priv_pick2'",
          "'10.9.%','dbk_priv_pickdb2','dbk_priv_pick'"})
        ASSERT_TRUE(c().exec(std::string("INSERT INTO mysql.db (Host,Db,User) VALUES(") + row + ")"));
    std::unique_ptr<Session> hosts = sessionWithHostTable();
    ASSERT_TRUE(c().exec(
        "INSERT INTO mysql.host (Host,Db) VALUES('10.1.%','dbk_priv_pickdb'),('10.2.%','dbk_priv_pickdb')"));
    UserListForm users(*session);
    HostListForm hostList(*hosts);
    HostAccessForm access(*hosts, "dbk_priv_pickdb");
    DatabaseForm database(*session, "dbk_priv_pickdb");
    UserInfoForm info(*session, UserInfoForm::Mode::Change, "localhost", "dbk_priv_pick", "");
    struct Case {
        QDialog* form;
        QListWidget* list;
        std::function<void()> act;  // asks before it works on the choice
        QString pleaseSelect;
        QLineEdit* field;  // shows the choice (or the question names it)
        int carried;       // the item's value the form shows; -1: its label
    };
    const Case cases[] = {
        {&users, users.ordinaryList(), [&] { users.deleteButton()->click(); }, "Please select user",
         users.userNameField(), -1},
        {&hostList, hostList.deniedList(), [&] { QTest::keyClick(hostList.deniedList(), Qt::Key_Delete); },
         "Please select a host", nullptr, -1},
        {&access, access.hostList(), [&] { access.updateButton()->click(); }, "Please select a host",
         access.hostField(), -1},
        {&database, database.userList(), [&] { database.updateButton()->click(); }, "Please select user",
         database.hostField(), 1},
        {&info, info.databaseList(), [&] { info.databaseUpdateButton()->click(); }, "Please select database",
         info.databaseHostField(), 1},
    };
    for (const Case& k : cases) {
        const QString what = k.form->windowTitle();
        k.form->show();
        QCoreApplication::processEvents();  // the icons are laid out
        QFocusEvent tabbedIn(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(k.list, &tabbedIn);
        ASSERT_NE(k.list->currentItem(), nullptr) << what.toStdString();
        ui->messages.clear();
        ui->questions.clear();
        ui->answers = {false};
        k.act();
        EXPECT_EQ(ui->messages, QStringList{k.pleaseSelect}) << what.toStdString();
        QTest::keyClick(k.list, Qt::Key_End);
        const QString shown = k.field ? k.field->text() : QString();
        k.act();
        QListWidgetItem* last = k.list->item(k.list->count() - 1);
        const QString identity = k.carried < 0 ? last->text().section(u'\n', 0, 0)
                                               : fromShiftJis(privilege_lists::value(last, k.carried));
        ASSERT_EQ(ui->questions.size(), 1) << what.toStdString();
        EXPECT_TRUE((k.field ? shown : ui->questions[0]).contains(identity)) << what.toStdString();
    }

    // After a delete nothing is chosen any more.
    click(users.ordinaryList(), itemLabelled(users.ordinaryList(), "dbk_priv_pick2"));
    users.deleteButton()->click();
    EXPECT_TRUE(users.userNameField()->text().isEmpty() && users.hostField()->text().isEmpty());
    ui->messages.clear();
    users.deleteButton()->click();
    EXPECT_EQ(ui->messages, QStringList{"Please select user"});
}

TEST_F(PrivilegeFormsTest, AfterANewHostTheDatabaseListCarriesIt) {
    DBK_REQUIRE_SERVER();
    account("localhost", "dbk_priv_moved");
    forget("%", "dbk_priv_moved");
    ASSERT_TRUE(c().exec(grants::sql::insertDbRow(c(), "localhost", "dbk_priv_movedb", "dbk_priv_moved")));
    UserInfoForm form(*session, UserInfoForm::Mode::Change, "localhost", "dbk_priv_moved", "");
    form.hostField()->setText("%");
    form.updateButton()->click();
    ASSERT_EQ(ui->messages, QStringList{"Database is altered and data updated."});
    ui->messages.clear();
    ASSERT_EQ(form.databaseList()->count(), 1);
    click(form.databaseList(), form.databaseList()->item(0));
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join(u'\n').toStdString();
    EXPECT_EQ(form.databaseHostField()->text(), "%");
}

class PrivilegeEntriesTest : public test::MainFrameFixture {};

TEST_F(PrivilegeEntriesTest, TreeNodesRegistrationAndGrantRowsOpenTheForms) {
    DBK_REQUIRE_SERVER();
    setInterfaceLanguage(Language::English);
    QStringList opened;
    QString userRow;
    setModalRunner([&](QDialog& d) {
        opened << d.windowTitle();
        if (auto* info = dynamic_cast<UserInfoForm*>(&d))
            userRow = info->hostField()->text() + "@" + info->userField()->text();
        return int(QDialog::Rejected);
    });
    FormRegistry& registry = FormRegistry::instance();
    using object_tree::NodeKind;

    doc.setLoginPrompt(test::loginPromptFor(test::normalUserParams()));
    doc.connect();
    ui->messages.clear();
    const FormEntry* registration = registry.forCommand(cmd::UserRegistration);
    ASSERT_NE(registration, nullptr);
    frame->runEntry(*registration, {});
    EXPECT_EQ(ui->messages, QStringList{"No authorization"});
    EXPECT_TRUE(opened.isEmpty());

    connectAsAdministrator();
    frame->runEntry(*registration, {});
    for (NodeKind kind : {NodeKind::UserEntry, NodeKind::DatabaseEntry, NodeKind::LimitUser})
        frame->runEntry(*registry.forNode(kind), EntryTarget{"mysql", ""});
    EXPECT_EQ(opened, (QStringList{"ユーザ情報", "ユーザ一覧", "データベース一覧", "データベース"}));
    for (NodeKind kind : {NodeKind::HostEntry, NodeKind::LimitAccess})
        frame->runEntry(*registry.forNode(kind), EntryTarget{"mysql", ""});
    EXPECT_EQ(ui->messages, QStringList(2, "This server has no host table."));
    EXPECT_EQ(opened.size(), 4);

    CDbkeeperView& list = show("mysql", "user");
    int row = -1;
    for (size_t i = 0; i < list.rows().size(); ++i) {
        if (list.rows()[i][1] == "dbk_admin" && list.rows()[i][0] == "localhost")
            row = int(i);
    }
    ASSERT_GE(row, 0);
    frame->runEntry(*registry.forGrantTable("user"), EntryTarget{"mysql", "user", row});
    EXPECT_EQ(userRow, "localhost@dbk_admin");
    EXPECT_EQ(opened.last(), "ユーザ情報");
}

}  // namespace
}  // namespace dbk
