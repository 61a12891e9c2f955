#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <utility>

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
    // The choice of a host in one of the lists; the other list's selection is cleared.
    void choose(QListWidget* list, QListWidgetItem* item);
    void openDatabase(QListWidgetItem* item);
    void openHost(QListWidgetItem* item);
    void deleteSelected();

    Session& session_;
    // Host and database of the chosen row.
    std::optional<std::pair<std::string, std::string>> chosen_;
    QListWidget* chosenList_ = nullptr;
    QListWidget* databaseList_;
    QListWidget* deniedList_;
    QListWidget* restrictedList_;
    QPushButton* refreshButton_;
    QPushButton* cancelButton_;
};

}  // namespace dbk
