#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "schema/structure_editor.h"

class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;

namespace dbk {

class Session;

// "テーブル構造": the columns and keys of one table as the server reports them, and the hub for
// changing them. Every change is one statement, after which both lists are read again.
class StructureEditorForm : public QDialog {
    Q_OBJECT
public:
    // Names are bytes in the session's character set.
    StructureEditorForm(Session& session, const std::string& database, const std::string& table,
                        QWidget* parent = nullptr);

    // The table's name now, when it was renamed in the form.
    const std::optional<std::string>& renamedTable() const { return renamed_; }

    QTableWidget* fieldList() const { return fields_; }
    QTableWidget* keyList() const { return keys_; }
    QLineEdit* selectedFieldEdit() const { return selectedField_; }
    QCheckBox* primaryKeyBox() const { return primaryKey_; }
    QCheckBox* nullBox() const { return null_; }
    // A button by its caption ("更新", "インデックス追加" ...).
    QPushButton* button(const QString& caption) const;
    QMenu* fieldMenu() const { return fieldMenu_; }
    QMenu* keyMenu() const { return keyMenu_; }
    const std::vector<FieldRow>& fieldRows() const { return fieldRows_; }
    const KeyListing& keyListing() const { return keyListing_; }

    void loadLists();
    void selectFieldRow(int row);
    void selectKeyRow(int row);
    // "更新": the selected field under the name of the box, with the NULL and PRIMARY KEY boxes.
    void update();
    void deleteField();
    void deleteKey();
    void addKey(KeyKind kind);
    // The add-field form; when it added the column, Update runs as the button would.
    void addField();
    // The change-field form for the row's column (a double click).
    void changeField(int row);
    void renameTable();
    void openTableOptions();
    void openMaintenance();
    void openTableCopy();
    void openDataInformation();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void setTitle();
    void forgetSelection();

    Session& session_;
    std::string database_;
    std::string table_;
    std::optional<std::string> renamed_;
    std::string selectedFieldName_;
    std::string selectedType_;
    // The selected column is (part of) the primary key already: Update does not name it again.
    bool selectedIsPrimary_ = false;
    std::string selectedKey_;
    std::vector<FieldRow> fieldRows_;
    KeyListing keyListing_;

    QTableWidget* fields_ = nullptr;
    QTableWidget* keys_ = nullptr;
    QLineEdit* selectedField_ = nullptr;
    QCheckBox* primaryKey_ = nullptr;
    QCheckBox* null_ = nullptr;
    std::vector<QPushButton*> buttons_;
    QMenu* fieldMenu_ = nullptr;
    QMenu* keyMenu_ = nullptr;
};

}  // namespace dbk
