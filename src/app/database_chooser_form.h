#pragma once

#include <QDialog>
#include <optional>
#include <string>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace dbk {

class Connection;
class Session;

// Lets the user pick one of the server's databases from a list of large icons. A double-click
// on a name chooses it; the only button cancels.
class DatabaseChooserForm : public QDialog {
    Q_OBJECT
public:
    // The database name as the server gave it (bytes) on every item.
    static constexpr int kBytesRole = Qt::UserRole;

    // Fills the list from the connection; a failing list call is shown and leaves it empty.
    explicit DatabaseChooserForm(Session& session, QWidget* parent = nullptr);

    // The chosen database; nothing unless the form ended with a double-click on a name.
    std::optional<std::string> chosen() const { return chosen_; }

    QListWidget* list() const { return list_; }
    QPushButton* cancelButton() const { return cancelButton_; }

private:
    void fill(Connection& connection);
    void choose(QListWidgetItem* item);

    QListWidget* list_;
    QPushButton* cancelButton_;
    std::optional<std::string> chosen_;
};

}  // namespace dbk
