#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTableWidget;

namespace dbk {

class PrivilegePanelWidget;
class Session;

// The users of one database: its mysql.db rows, each row's host and rights, and every account
// of the server, any of which a double-click adds to the database.
class DatabaseForm : public QDialog {
    Q_OBJECT
public:
    DatabaseForm(Session& session, std::string database, QWidget* parent = nullptr);

    QLineEdit* databaseField() const { return databaseField_; }
    QTableWidget* accountList() const { return accountList_; }
    QListWidget* userList() const { return userList_; }
    QLineEdit* hostField() const { return hostField_; }
    PrivilegePanelWidget* panel() const { return panel_; }
    QPushButton* updateButton() const { return updateButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* closeButton() const { return closeButton_; }

private:
    void fillUsers();
    void fillAccounts();
    void selectUser(QListWidgetItem* item);
    void clearSelection();
    void updateRow();
    void deleteRow();
    void addAccount(int row);

    Session& session_;
    std::string database_;
    bool userSelected_ = false;
    std::string selectedUser_;
    std::string selectedHost_;

    QLineEdit* databaseField_;
    QTableWidget* accountList_;
    QListWidget* userList_;
    QLineEdit* hostField_;
    PrivilegePanelWidget* panel_;
    QPushButton* updateButton_;
    QPushButton* deleteButton_;
    QPushButton* okButton_;
    QPushButton* closeButton_;
};

}  // namespace dbk
