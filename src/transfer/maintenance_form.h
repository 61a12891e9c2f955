#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

#include "conn/cancel.h"

namespace dbk {

class Session;
struct AdminResult;

// "メンテナンス・修復": repair, check, analyze, optimize, backup and restore of one table, its
// conversion to another table type, and a dump of it into a local SQL file.
class MaintenanceForm : public QDialog {
    Q_OBJECT
public:
    // user and host go into the backup and restore log lines; the logs are written in
    // startupDirectory (the current directory when it is empty). Names are the session's bytes.
    MaintenanceForm(Session& session, const std::string& database, const std::string& table,
                    const std::string& user, const std::string& host, const QString& startupDirectory,
                    QWidget* parent = nullptr);
    // Opened for a table alone: empty user and host, the logs in the current directory.
    MaintenanceForm(Session& session, const std::string& database, const std::string& table,
                    QWidget* parent = nullptr);

    // The four conversion targets, in the order of their buttons.
    static constexpr const char* kTypes[] = {"MyISAM", "ISAM", "HEAP", "Innobase"};

    QLineEdit* databaseEdit() const { return database_; }
    QLineEdit* tableEdit() const { return table_; }
    QLineEdit* typeEdit() const { return type_; }
    QPushButton* conversionButton(int index) const { return convert_[index]; }
    QCheckBox* repairQuickBox() const { return repairQuick_; }
    QCheckBox* repairExtendedBox() const { return repairExtended_; }
    QLineEdit* repairResultEdit() const { return repairResult_; }
    QLineEdit* performanceResultEdit() const { return performanceResult_; }
    QCheckBox* checkQuickBox() const { return checkQuick_; }
    QCheckBox* checkFastBox() const { return checkFast_; }
    QCheckBox* checkChangedBox() const { return checkChanged_; }
    QCheckBox* checkMediumBox() const { return checkMedium_; }
    QCheckBox* checkExtendedBox() const { return checkExtended_; }
    QLineEdit* checkDateEdit() const { return checkDate_; }
    QLineEdit* checkResultEdit() const { return checkResult_; }
    QLineEdit* backupDirectoryEdit() const { return backupDirectory_; }
    QLineEdit* backupResultEdit() const { return backupResult_; }
    QLineEdit* restoreDirectoryEdit() const { return restoreDirectory_; }
    QLineEdit* restoreResultEdit() const { return restoreResult_; }
    QLineEdit* dumpFileEdit() const { return dumpFile_; }
    QPushButton* repairButton() const { return repair_; }
    QPushButton* analyzeButton() const { return analyze_; }
    QPushButton* optimizeButton() const { return optimize_; }
    QPushButton* checkButton() const { return check_; }
    QPushButton* backupButton() const { return backup_; }
    QPushButton* restoreButton() const { return restore_; }
    QPushButton* browseButton() const { return browse_; }
    QPushButton* dumpButton() const { return dump_; }
    QPushButton* closeButton() const { return close_; }

    void repair();
    void check();
    void analyze();
    void optimize();
    void backup();
    void restore();
    // Converts the table to kTypes[index].
    void convert(int index);
    void dump();
    // Closing while a dump or a statement runs stops it instead.
    void reject() override;
    void browse();

    // The tooltip of the backup and restore buttons on servers that no longer have them.
    static constexpr int kNoBackupMessage = 21000;
    static constexpr int kDumpFileNotCreated = 21001;
    static constexpr int kDumpNotWritten = 21002;
    static constexpr int kDumpNoDefinition = 21003;
    static constexpr int kDumpRowsNotRead = 21004;
    static constexpr int kDumpCancelled = 21315;
    static constexpr int kStatementCancelled = 21316;

private:
    void buildControls();
    // Reads the table status: type and last check; false when the statement failed.
    void showStatus();
    // Steps 2-5 of the administrative statements; false when the action stops.
    bool runAdmin(const std::string& statement, const QString& failureText, QLineEdit* resultField,
                  AdminResult& result);
    void appendLog(const QString& name, const QString& directoryText);
    void setBusy(bool busy);

    Session& session_;
    std::string databaseName_;
    std::string tableName_;
    std::string user_;
    std::string host_;
    QString startupDirectory_;
    bool busy_ = false;
    // Runs `run` with the other buttons at rest and the close button turned into Cancel.
    void runCancellable(const std::function<void()>& run);
    // Runs a statement that way; true when Cancel stopped it on the server (and says so).
    bool cancelledOnServer(const std::function<void()>& statement);
    // Set by the close button, which reads Cancel while a dump runs.
    CancelToken cancelRequest_;

    QLineEdit* database_ = nullptr;
    QLineEdit* table_ = nullptr;
    QLineEdit* type_ = nullptr;
    QPushButton* convert_[4] = {};
    QCheckBox* repairQuick_ = nullptr;
    QCheckBox* repairExtended_ = nullptr;
    QLineEdit* repairResult_ = nullptr;
    QLineEdit* performanceResult_ = nullptr;
    QCheckBox* checkQuick_ = nullptr;
    QCheckBox* checkFast_ = nullptr;
    QCheckBox* checkChanged_ = nullptr;
    QCheckBox* checkMedium_ = nullptr;
    QCheckBox* checkExtended_ = nullptr;
    QLineEdit* checkDate_ = nullptr;
    QLineEdit* checkResult_ = nullptr;
    QLineEdit* backupDirectory_ = nullptr;
    QLineEdit* backupResult_ = nullptr;
    QLineEdit* restoreDirectory_ = nullptr;
    QLineEdit* restoreResult_ = nullptr;
    QLineEdit* dumpFile_ = nullptr;
    QPushButton* repair_ = nullptr;
    QPushButton* analyze_ = nullptr;
    QPushButton* optimize_ = nullptr;
    QPushButton* check_ = nullptr;
    QPushButton* backup_ = nullptr;
    QPushButton* restore_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* dump_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace dbk
