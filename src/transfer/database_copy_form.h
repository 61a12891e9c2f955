#pragma once

#include <QDialog>
#include <string>

#include "conn/cancel.h"

class QLineEdit;
class QPushButton;

namespace dbk {

class Session;

// Copies the chosen database under a new name on the same server: its tables with their rows,
// and its views. Ends with OK once the new database exists, so that the opener shows it.
class DatabaseCopyForm : public QDialog {
    Q_OBJECT
public:
    // database: the source (the session's bytes).
    DatabaseCopyForm(Session& session, const std::string& database, QWidget* parent = nullptr);

    // The new database's name (the session's bytes) as it was copied.
    const std::string& newDatabase() const { return newDatabase_; }

    QLineEdit* sourceEdit() const { return source_; }
    QLineEdit* nameEdit() const { return name_; }
    QPushButton* createButton() const { return create_; }
    QPushButton* cancelButton() const { return cancel_; }

    // "作成".
    void create();
    void reject() override;

private:
    Session& session_;
    std::string database_;
    std::string newDatabase_;
    bool copying_ = false;
    // Set by Cancel (or closing the form) while the copy runs.
    CancelToken cancelRequest_;

    QLineEdit* source_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPushButton* create_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace dbk
