#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace dbk {

class Session;

// Creates a database; after OK databaseName() is its name.
class CreateDatabaseForm : public QDialog {
    Q_OBJECT
public:
    explicit CreateDatabaseForm(Session& session, QWidget* parent = nullptr);

    std::string databaseName() const;

    QLineEdit* nameEdit() const { return name_; }
    QPushButton* createButton() const { return create_; }

    void createClicked();

private:
    Session& session_;
    QLineEdit* name_;
    QPushButton* create_;
};

}  // namespace dbk
