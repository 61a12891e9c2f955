#pragma once

#include <QDialog>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace dbk {

class Session;

// Every database of the server, and every mysql.db row.
class DatabaseListForm : public QDialog {
    Q_OBJECT
public:
    explicit DatabaseListForm(Session& session, QWidget* parent = nullptr);

    void fill();

    QListWidget* databaseList() const { return databaseList_; }
    QListWidget* accessList() const { return accessList_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

private:
    void openDatabase(QListWidgetItem* item);
    void openAccess(QListWidgetItem* item);

    Session& session_;
    QListWidget* databaseList_;
    QListWidget* accessList_;
    QPushButton* refreshButton_;
    QPushButton* cancelButton_;
};

}  // namespace dbk
