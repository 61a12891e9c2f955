#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace dbk {

class PrivilegePanelWidget;
class Session;

// The mysql.host rows of one database: hosts added, their rights changed, rows deleted.
class HostAccessForm : public QDialog {
    Q_OBJECT
public:
    HostAccessForm(Session& session, std::string database, QWidget* parent = nullptr);

    void fill();

    QLineEdit* databaseField() const { return databaseField_; }
    QLineEdit* newHostField() const { return newHostField_; }
    QPushButton* addButton() const { return addButton_; }
    QListWidget* hostList() const { return hostList_; }
    QLineEdit* hostField() const { return hostField_; }
    PrivilegePanelWidget* panel() const { return panel_; }
    QPushButton* updateButton() const { return updateButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* closeButton() const { return closeButton_; }

private:
    void addHost();
    void selectHost(QListWidgetItem* item);
    void clearRow();
    void updateRow();
    void deleteRow();

    Session& session_;
    std::string database_;
    bool hostSelected_ = false;
    std::string selectedHost_;

    QLineEdit* databaseField_;
    QLineEdit* newHostField_;
    QPushButton* addButton_;
    QListWidget* hostList_;
    QLineEdit* hostField_;
    PrivilegePanelWidget* panel_;
    QPushButton* updateButton_;
    QPushButton* deleteButton_;
    QPushButton* closeButton_;
};

}  // namespace dbk
