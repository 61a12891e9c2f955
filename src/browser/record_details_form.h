#pragma once

#include <QDialog>
#include <QIcon>
#include <array>
#include <string>

#include "browser/record_details.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace dbk {

class Session;

// One record field by field: change one field's value or delete the record, when the table has
// a primary key. Afterwards the list takes deleted() or, if updated(), values().
class RecordDetailsForm : public QDialog {
    Q_OBJECT
public:
    RecordDetailsForm(Session& session, const std::string& database, const std::string& table,
                      const Row& values, QWidget* parent = nullptr);

    bool updated() const { return details_.updated(); }
    bool deleted() const { return details_.deleted(); }
    const Row& values() const { return details_.values(); }
    const RecordDetails& details() const { return details_; }

    QTableWidget* fieldList() const { return list_; }
    QLineEdit* fieldNameEdit() const { return nameEdit_; }
    QLineEdit* typeEdit() const { return typeEdit_; }
    QLineEdit* keyEdit() const { return keyEdit_; }
    QPlainTextEdit* contentsEdit() const { return contentsEdit_; }
    QLineEdit* remarkEdit() const { return remarkEdit_; }
    QPushButton* closeButton() const { return closeButton_; }
    QPushButton* dataInfoButton() const { return dataInfoButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* updateButton() const { return updateButton_; }
    void selectField(int row);

private:
    void fill();
    void showSelectedRow(int row);
    void updateClicked();
    void deleteClicked();
    void closeClicked();

    Session& session_;
    RecordDetails details_;
    int selectedRow_ = -1;
    std::array<QIcon, 3> images_;
    QTableWidget* list_;
    QLineEdit* nameEdit_;
    QLineEdit* typeEdit_;
    QLineEdit* keyEdit_;
    QPlainTextEdit* contentsEdit_;
    QLineEdit* remarkEdit_;
    QPushButton* closeButton_;
    QPushButton* dataInfoButton_;
    QPushButton* deleteButton_;
    QPushButton* updateButton_;
};

}  // namespace dbk
