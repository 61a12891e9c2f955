#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace dbk {

class Session;

// Renames a table within its database. OK closes the form whether or not the server took the
// new name; tableName() is the new name only after it did.
class RenameTableForm : public QDialog {
    Q_OBJECT
public:
    RenameTableForm(Session& session, const std::string& database, const std::string& table,
                    QWidget* parent = nullptr);

    const std::string& tableName() const { return table_; }

    QLineEdit* currentNameEdit() const { return current_; }
    QLineEdit* newNameEdit() const { return newName_; }
    QPushButton* okButton() const { return ok_; }

    void okClicked();

private:
    Session& session_;
    std::string database_;
    std::string table_;
    QLineEdit* current_;
    QLineEdit* newName_;
    QPushButton* ok_;
};

}  // namespace dbk
