#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "conn/cancel.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace dbk {

class Session;

// "テーブルの複製": creates a copy of a table on the same server under a new name, in any
// database, optionally with another table type and with the rows. The CREATE statement is shown,
// may be edited, and is rewritten as the target changes.
class TableCopyForm : public QDialog {
    Q_OBJECT
public:
    // database and table name the source (the session's bytes). The copy's log goes into the current
    // directory.
    TableCopyForm(Session& session, const std::string& database, const std::string& table,
                  QWidget* parent = nullptr);

    // "rep_table.log" in the current directory.
    static QString logPath();

    QLineEdit* sourceDatabaseEdit() const { return sourceDatabase_; }
    QLineEdit* sourceTableEdit() const { return sourceTable_; }
    QPlainTextEdit* statementEdit() const { return statement_; }
    QComboBox* databaseList() const { return targetDatabase_; }
    QLineEdit* nameEdit() const { return targetName_; }
    QComboBox* typeList() const { return type_; }
    QCheckBox* copyDataBox() const { return copyData_; }
    QLineEdit* sourceCountEdit() const { return sourceCount_; }
    QLineEdit* copiedCountEdit() const { return copiedCount_; }
    QPushButton* logButton() const { return logButton_; }
    QPlainTextEdit* logView() const { return logView_; }
    QPushButton* createButton() const { return create_; }
    QPushButton* cancelButton() const { return cancel_; }

    // "作成".
    void create();
    // "ログ取得".
    void showLog();
    void reject() override;

private:
    void buildControls();
    void targetChanged();
    void typeChanged();
    void setControlsEnabled(bool enabled);

    Session& session_;
    std::string database_;
    std::string table_;
    bool copying_ = false;
    // Set by Cancel (or closing the form) while the rows are copied.
    CancelToken cancelRequest_;

    QLineEdit* sourceDatabase_ = nullptr;
    QLineEdit* sourceTable_ = nullptr;
    QPlainTextEdit* statement_ = nullptr;
    QComboBox* targetDatabase_ = nullptr;
    QLineEdit* targetName_ = nullptr;
    QComboBox* type_ = nullptr;
    QCheckBox* copyData_ = nullptr;
    QLineEdit* sourceCount_ = nullptr;
    QLineEdit* copiedCount_ = nullptr;
    QPushButton* logButton_ = nullptr;
    QPlainTextEdit* logView_ = nullptr;
    QPushButton* create_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace dbk
