#pragma once

#include <QDialog>

#include "schema/value_list.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace dbk {

// Edits the values of an ENUM or SET column; result() is the value list after OK.
class ValueListForm : public QDialog {
    Q_OBJECT
public:
    explicit ValueListForm(const QString& valueList, QWidget* parent = nullptr);

    QString result() const { return values_.text(); }

    QLineEdit* valueEdit() const { return value_; }
    QListWidget* list() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* editButton() const { return edit_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* okButton() const { return ok_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillList();
    void itemSelected();
    void addClicked();
    void editClicked();
    void deleteClicked();
    void afterChange(ValueList::ChangeOutcome outcome);
    void enableItemButtons(bool enabled);

    ValueList values_;
    QLineEdit* value_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* edit_;
    QPushButton* delete_;
    QPushButton* ok_;
};

}  // namespace dbk
