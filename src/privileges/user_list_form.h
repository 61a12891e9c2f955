#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "privileges/account_writer.h"

class QAction;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;

namespace dbk {

class Session;

// Every account of the server, administrators (any right set) apart from ordinary users.
class UserListForm : public QDialog {
    Q_OBJECT
public:
    explicit UserListForm(Session& session, QWidget* parent = nullptr);
    ~UserListForm() override;

    void fill();

    QListWidget* administratorList() const { return administratorList_; }
    QListWidget* ordinaryList() const { return ordinaryList_; }
    QLineEdit* userNameField() const { return userNameField_; }
    QLineEdit* hostField() const { return hostField_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* closeButton() const { return closeButton_; }
    QPushButton* newUserButton() const { return newUserButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    // The lists' context menu: Add, Delete, Details.
    QMenu* contextMenu() const { return contextMenu_; }
    QAction* addMenuAction() const { return addAction_; }
    QAction* deleteMenuAction() const { return deleteAction_; }
    QAction* detailsMenuAction() const { return detailsAction_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The choice of an item in one of the lists; the other list's selection is cleared.
    void choose(QListWidget* list, QListWidgetItem* item);
    void openAccount(QListWidgetItem* item);
    void addAccount();
    void deleteSelected();

    Session& session_;
    std::unique_ptr<AccountWriter> writer_;
    std::optional<Account> chosen_;
    QListWidget* chosenList_ = nullptr;

    QListWidget* administratorList_;
    QListWidget* ordinaryList_;
    QLineEdit* userNameField_;
    QLineEdit* hostField_;
    QPushButton* refreshButton_;
    QPushButton* closeButton_;
    QPushButton* newUserButton_;
    QPushButton* deleteButton_;
    QMenu* contextMenu_;
    QAction* addAction_;
    QAction* deleteAction_;
    QAction* detailsAction_;
};

}  // namespace dbk
