#pragma once

#include <QDialog>
#include <string>

#include "schema/create_table.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace dbk {

class FieldPanelWidget;
class Session;

// A new table defined column by column in a grid, its CREATE TABLE composed in a statement box
// the user may edit, and sent by Create. After OK the table is databaseName().tableName().
class CreateTableForm : public QDialog {
    Q_OBJECT
public:
    CreateTableForm(Session& session, const std::string& database, QWidget* parent = nullptr);

    // The table name box and the database box, as they were when the form closed.
    std::string tableName() const { return tableName_; }
    std::string databaseName() const;
    const CreateTableModel& model() const { return model_; }

    FieldPanelWidget* panel() const { return panel_; }
    QCheckBox* primaryKeyBox() const { return primaryKey_; }
    QCheckBox* indexBox() const { return index_; }
    QTableWidget* grid() const { return grid_; }
    QLineEdit* databaseEdit() const { return databaseEdit_; }
    QLineEdit* tableNameEdit() const { return tableNameEdit_; }
    QComboBox* tableTypeList() const { return tableType_; }
    QPlainTextEdit* statementEdit() const { return statement_; }
    QPushButton* button(const QString& caption) const;

    void selectRow(int row);
    void clearClicked();
    void placeRow(bool insert);
    void deleteClicked();
    void buildStatement();
    void createClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rowSelected();
    void fillGrid();

    Session& session_;
    std::string database_;
    std::string tableName_;
    CreateTableModel model_;
    int selectedRow_ = -1;
    FieldPanelWidget* panel_;
    QCheckBox* primaryKey_;
    QCheckBox* index_;
    QCheckBox* unique_;
    QLineEdit* indexName_;
    QTableWidget* grid_;
    QLineEdit* databaseEdit_;
    QLineEdit* tableNameEdit_;
    QComboBox* tableType_;
    QPlainTextEdit* statement_;
    std::vector<QPushButton*> buttons_;
};

}  // namespace dbk
