#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace dbk {

class PrivilegePanelWidget;
class Session;

// One mysql.host row given by host and database: its rights, and a new host name for it.
class HostDetailsForm : public QDialog {
    Q_OBJECT
public:
    HostDetailsForm(Session& session, std::string host, std::string database, QWidget* parent = nullptr);

    QLineEdit* hostField() const { return hostField_; }
    QLineEdit* databaseField() const { return databaseField_; }
    PrivilegePanelWidget* panel() const { return panel_; }
    QPushButton* updateButton() const { return updateButton_; }
    QPushButton* closeButton() const { return closeButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }

private:
    void update();
    void deleteRow();

    Session& session_;
    std::string keyHost_;
    std::string keyDatabase_;

    QLineEdit* hostField_;
    QLineEdit* databaseField_;
    PrivilegePanelWidget* panel_;
    QPushButton* updateButton_;
    QPushButton* closeButton_;
    QPushButton* deleteButton_;
};

}  // namespace dbk
