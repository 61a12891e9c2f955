#pragma once

#include <QDialog>
#include <string>

#include "schema/add_field.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace dbk {

class FieldPanelWidget;
class Session;

// Adds one column to a table, at its top or end, and puts it into a primary key, an index and
// a unique key as chosen. Returns OK when the column and every chosen key were added.
class AddFieldForm : public QDialog {
    Q_OBJECT
public:
    AddFieldForm(Session& session, const std::string& database, const std::string& table,
                 QWidget* parent = nullptr);

    // What the boxes say: the column and the keys.
    ColumnDefinition column() const;
    AddFieldChoices choices() const;

    FieldPanelWidget* panel() const { return panel_; }
    QCheckBox* uniqueBox() const { return unique_; }
    QLineEdit* uniqueNameEdit() const { return uniqueName_; }
    QCheckBox* primaryKeyBox() const { return primaryKey_; }
    QCheckBox* indexBox() const { return index_; }
    QLineEdit* indexNameEdit() const { return indexName_; }
    QRadioButton* topChoice() const { return top_; }
    QRadioButton* endChoice() const { return end_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* clearButton() const { return clear_; }

    void clearClicked();
    void addClicked();

private:
    Session& session_;
    std::string database_;
    std::string table_;
    FieldPanelWidget* panel_;
    QCheckBox* unique_;
    QLineEdit* uniqueName_;
    QCheckBox* primaryKey_;
    QCheckBox* index_;
    QLineEdit* indexName_;
    QRadioButton* top_;
    QRadioButton* end_;
    QPushButton* clear_;
    QPushButton* add_;
};

}  // namespace dbk
