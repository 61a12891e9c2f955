#pragma once

#include <QDialog>
#include <string>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace dbk {

class Session;

// Every database, and the mysql.host rows split into hosts denied access (no right set) and
// hosts whose access is restricted.
class HostListForm : public QDialog {
    Q_OBJECT
public:
    explicit HostListForm(Session& session, QWidget* parent = nullptr);
    ~HostListForm() override;

    void fill();

    QListWidget* databaseList() const { return databaseList_; }
    QListWidget* deniedList() const { return deniedList_; }
    QListWidget* restrictedList() const { return restrictedList_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillHosts(QListWidget* list, bool granting);
    void select(QListWidgetItem* item);
    void openDatabase(QListWidgetItem* item);
    void openHost(QListWidgetItem* item);
    void deleteSelected();

    Session& session_;
    std::string selectedHost_;
    std::string selectedDatabase_;
    QListWidget* databaseList_;
    QListWidget* deniedList_;
    QListWidget* restrictedList_;
    QPushButton* refreshButton_;
    QPushButton* cancelButton_;
};

}  // namespace dbk
