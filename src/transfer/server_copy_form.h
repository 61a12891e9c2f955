#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "conn/cancel.h"
#include "conn/host_file.h"
#include "conn/session.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace dbk {

// "他のサーバから複製": copies a table from a saved server (another one, or this one under
// another saved name) into the session's server: its CREATE TABLE text, rewritten for the chosen
// database, name and type, and its rows in batches of the chosen size. A second connection is
// open to the chosen server while it is chosen.
class ServerCopyForm : public QDialog {
    Q_OBJECT
public:
    // The address book and the log are in the start-up directory.
    ServerCopyForm(Session& session, const QString& startupDirectory, QWidget* parent = nullptr);
    ~ServerCopyForm() override;

    // "rep_other_server.log" in the start-up directory.
    QString logPath() const;
    // The connection to the chosen server (closed while none is chosen or it could not be reached).
    Session& sourceSession() { return source_; }

    QTreeWidget* serverList() const { return servers_; }
    QListWidget* databaseList() const { return databases_; }
    QListWidget* tableList() const { return tables_; }
    QTreeWidget* fieldList() const { return fields_; }
    QLabel* statusLabel() const { return status_; }
    QPlainTextEdit* statementEdit() const { return statement_; }
    QComboBox* targetDatabaseList() const { return targetDatabase_; }
    QLineEdit* nameEdit() const { return name_; }
    QComboBox* typeList() const { return type_; }
    QLineEdit* batchSizeEdit() const { return batchSize_; }
    QLineEdit* batchCountEdit() const { return batchCount_; }
    QCheckBox* copyDataBox() const { return copyData_; }
    QLineEdit* sourceCountEdit() const { return sourceCount_; }
    QLineEdit* copiedCountEdit() const { return copiedCount_; }
    QPushButton* duplicateButton() const { return duplicate_; }
    QPushButton* cancelButton() const { return cancel_; }

    // "複製".
    void duplicate();
    static constexpr int kNoServerMessage = 22200;
    static constexpr int kNoTableMessage = 22201;
    void reject() override;

private:
    void buildControls();
    void fillServers();
    void serverChosen();
    void databaseChosen();
    void tableChosen();
    void targetChanged();
    void typeChanged();
    void showBatchCount();
    void setControlsEnabled(bool enabled);
    void setStatement(const std::string& utf8);

    Session& session_;
    QString directory_;
    Session source_;
    std::vector<HostRecord> records_;
    std::string sourceDatabase_;  // bytes, as the source connection names them
    std::string sourceTable_;
    bool copying_ = false;
    // Set by Cancel (or closing the form) while the rows are copied.
    CancelToken cancelRequest_;

    QTreeWidget* servers_ = nullptr;
    QLabel* status_ = nullptr;
    QListWidget* databases_ = nullptr;
    QListWidget* tables_ = nullptr;
    QTreeWidget* fields_ = nullptr;
    QPlainTextEdit* statement_ = nullptr;
    QComboBox* targetDatabase_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* type_ = nullptr;
    QLineEdit* batchSize_ = nullptr;
    QLineEdit* batchCount_ = nullptr;
    QCheckBox* copyData_ = nullptr;
    QLineEdit* sourceCount_ = nullptr;
    QLineEdit* copiedCount_ = nullptr;
    QPushButton* duplicate_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace dbk
