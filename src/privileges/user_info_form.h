#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "privileges/account_writer.h"

class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace dbk {

class PrivilegePanelWidget;
class Session;

// One account: its host, name, password and global rights, and its rows of mysql.db. Opened
// to add an account or to change an existing one.
class UserInfoForm : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Change = 0, Add = 1 };

    // In change mode the account's host, name and stored password as the opener has them.
    UserInfoForm(Session& session, Mode mode, std::string keyHost, std::string keyUser,
                 std::string storedPassword, QWidget* parent = nullptr);
    ~UserInfoForm() override;

    Mode mode() const { return mode_; }
    const Account& key() const { return key_; }
    bool passwordChanged() const { return passwordChanged_; }

    QLineEdit* hostField() const { return hostField_; }
    QLineEdit* userField() const { return userField_; }
    QLineEdit* passwordField() const { return passwordField_; }
    QLineEdit* confirmField() const { return confirmField_; }
    PrivilegePanelWidget* globalPanel() const { return globalPanel_; }
    QPushButton* adminPresetButton() const { return adminPresetButton_; }
    QPushButton* ordinaryPresetButton() const { return ordinaryPresetButton_; }
    QGroupBox* databaseGroup() const { return databaseGroup_; }
    QPushButton* addDatabaseButton() const { return addDatabaseButton_; }
    QListWidget* databaseList() const { return databaseList_; }
    QLineEdit* databaseHostField() const { return databaseHostField_; }
    PrivilegePanelWidget* databasePanel() const { return databasePanel_; }
    QPushButton* databaseUpdateButton() const { return databaseUpdateButton_; }
    QPushButton* databaseDeleteButton() const { return databaseDeleteButton_; }
    QPushButton* updateButton() const { return updateButton_; }
    QPushButton* closeButton() const { return closeButton_; }
    QPushButton* deleteUserButton() const { return deleteUserButton_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void loadAccount();
    void fillDatabaseList();
    void retypeCheck();
    void update();
    void changeAccount();
    void addAccount();
    void selectDatabaseEntry(QListWidgetItem* item);
    void updateDatabaseRow();
    void deleteDatabaseRow();
    void addDatabase();
    void openDatabaseForm(QListWidgetItem* item);
    void deleteAccount();
    void showMode();

    Session& session_;
    std::unique_ptr<AccountWriter> writer_;
    Mode mode_;
    Account key_;
    std::string storedPassword_;
    bool passwordChanged_ = false;
    // The database row selected last: its host, database, and the account name it was read for.
    std::string selectedHost_;
    std::string selectedDatabase_;
    std::string selectedUser_;
    bool databaseSelected_ = false;

    QLineEdit* hostField_;
    QLineEdit* userField_;
    QLineEdit* passwordField_;
    QLineEdit* confirmField_;
    PrivilegePanelWidget* globalPanel_;
    QPushButton* adminPresetButton_;
    QPushButton* ordinaryPresetButton_;
    QGroupBox* databaseGroup_;
    QPushButton* addDatabaseButton_;
    QListWidget* databaseList_;
    QLineEdit* databaseHostField_;
    PrivilegePanelWidget* databasePanel_;
    QPushButton* databaseUpdateButton_;
    QPushButton* databaseDeleteButton_;
    QPushButton* updateButton_;
    QPushButton* closeButton_;
    QPushButton* deleteUserButton_;
};

}  // namespace dbk
