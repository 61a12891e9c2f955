#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace dbk {

class PrivilegePanelWidget;
class Session;

// One mysql.db row given by host, database and user: its rights, and a move of the row to
// another host, database or user.
class DatabaseUserForm : public QDialog {
    Q_OBJECT
public:
    DatabaseUserForm(Session& session, std::string host, std::string database, std::string user,
                     QWidget* parent = nullptr);

    QLineEdit* hostField() const { return hostField_; }
    QLineEdit* databaseField() const { return databaseField_; }
    QLineEdit* userField() const { return userField_; }
    PrivilegePanelWidget* panel() const { return panel_; }
    QPushButton* updateButton() const { return updateButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }

private:
    bool loadRights();
    void update();
    void deleteRow();

    Session& session_;
    std::string keyHost_;
    std::string keyDatabase_;
    std::string keyUser_;

    QLineEdit* hostField_;
    QLineEdit* databaseField_;
    QLineEdit* userField_;
    PrivilegePanelWidget* panel_;
    QPushButton* updateButton_;
    QPushButton* cancelButton_;
    QPushButton* deleteButton_;
};

}  // namespace dbk
