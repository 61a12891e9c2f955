#include "transfer/maintenance_form.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "browser/table_size.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "transfer/maintenance.h"
#include "transfer/script_reader.h"
#include "transfer/table_dump.h"

namespace dbk {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A fixed text of the form followed by the server's "%d:%s".
QString withServerError(const QString& text, const Connection& connection) {
    return text + u'\n' +
           formatUi(QStringLiteral("%d:%s"), connection.errorNumber(),
                    fromServer(connection, connection.errorText()));
}

QLineEdit* resultField() {
    auto* edit = new QLineEdit;
    edit->setReadOnly(true);
    return edit;
}

QPushButton* button(const char* caption) {
    auto* b = new QPushButton(text(caption));
    b->setAutoDefault(false);
    b->setAccessibleName(b->text());
    return b;
}

QCheckBox* checkBox(const char* caption) {
    auto* box = new QCheckBox(text(caption));
    box->setAccessibleName(box->text());
    return box;
}

// A row of a grid: the caption and its field.
void addRow(QGridLayout* grid, int row, const char* caption, QWidget* field) {
    grid->addWidget(captionLabel(text(caption), field), row, 0);
    grid->addWidget(field, row, 1);
}

}  // namespace

MaintenanceForm::MaintenanceForm(Session& session, const std::string& database, const std::string& table,
                                 const std::string& user, const std::string& host,
                                 const QString& startupDirectory, QWidget* parent)
    : QDialog(parent),
      session_(session),
      databaseName_(database),
      tableName_(table),
      user_(user),
      host_(host),
      startupDirectory_(startupDirectory) {
    setWindowTitle(QStringLiteral("メンテナンス・修復"));
    buildControls();
    database_->setText(fromServer(session_.connection(), database));
    table_->setText(fromServer(session_.connection(), table));
    if (!session_.generation().hasBackupTable()) {
        for (QPushButton* b : {backup_, restore_}) {
            b->setEnabled(false);
            b->setToolTip(msg(kNoBackupMessage));
        }
    }
    showStatus();
}

MaintenanceForm::MaintenanceForm(Session& session, const std::string& database, const std::string& table,
                                 QWidget* parent)
    : MaintenanceForm(session, database, table, {}, {}, QString(), parent) {}

void MaintenanceForm::buildControls() {
    database_ = resultField();
    table_ = resultField();
    type_ = resultField();
    auto* top = new QGridLayout;
    addRow(top, 0, "データベース", database_);
    addRow(top, 1, "テーブル", table_);
    addRow(top, 2, "テーブルの種類", type_);
    auto* conversions = new QHBoxLayout;
    const char* conversionCaptions[] = {"MyISAMへの移行", "ISAMへの移行", "HEAPへの移行", "INNOBASEへの移行"};
    for (int i = 0; i < 4; ++i) {
        convert_[i] = button(conversionCaptions[i]);
        conversions->addWidget(convert_[i]);
        connect(convert_[i], &QPushButton::clicked, this, [this, i] { convert(i); });
    }

    auto* repairGroup = new QGroupBox(QStringLiteral("テーブルの修復"));
    repairQuick_ = checkBox("QUICK");
    repairExtended_ = checkBox("EXTENDED");
    repairResult_ = resultField();
    repair_ = button("修復");
    auto* repairGrid = new QGridLayout(repairGroup);
    repairGrid->addWidget(repairQuick_, 0, 0);
    repairGrid->addWidget(repairExtended_, 0, 1);
    repairGrid->addWidget(captionLabel(QStringLiteral("修復の結果"), repairResult_), 1, 0);
    repairGrid->addWidget(repairResult_, 1, 1, 1, 2);
    repairGrid->addWidget(repair_, 0, 2);

    auto* performanceGroup = new QGroupBox(QStringLiteral("テーブルのパフォーマンス改善・調整"));
    performanceResult_ = resultField();
    analyze_ = button("改善");
    optimize_ = button("最適化");
    auto* performanceGrid = new QGridLayout(performanceGroup);
    performanceGrid->addWidget(
        captionLabel(QStringLiteral("パフォーマンス改善・調整の結果"), performanceResult_), 0, 0);
    performanceGrid->addWidget(performanceResult_, 0, 1);
    performanceGrid->addWidget(analyze_, 0, 2);
    performanceGrid->addWidget(optimize_, 0, 3);

    auto* checkGroup = new QGroupBox(QStringLiteral("テーブルのチェック"));
    checkQuick_ = checkBox("QUICK");
    checkFast_ = checkBox("FAST");
    checkChanged_ = checkBox("CHANGED");
    checkMedium_ = checkBox("MEDIUM");
    checkExtended_ = checkBox("EXTENDED");
    checkDate_ = resultField();
    checkResult_ = resultField();
    check_ = button("チェック");
    auto* checkGrid = new QGridLayout(checkGroup);
    auto* boxes = new QHBoxLayout;
    for (QCheckBox* box : {checkQuick_, checkFast_, checkChanged_, checkMedium_, checkExtended_})
        boxes->addWidget(box);
    checkGrid->addLayout(boxes, 0, 0, 1, 2);
    checkGrid->addWidget(check_, 0, 2);
    addRow(checkGrid, 1, "チェックされた日付", checkDate_);
    addRow(checkGrid, 2, "チェックの結果", checkResult_);

    auto* backupGroup = new QGroupBox(QStringLiteral("テーブルのバックアップ"));
    backupDirectory_ = new QLineEdit;
    backupResult_ = resultField();
    backup_ = button("バックアップ");
    auto* backupGrid = new QGridLayout(backupGroup);
    addRow(backupGrid, 0, "サーバのディレクトリ", backupDirectory_);
    addRow(backupGrid, 1, "バックアップの結果", backupResult_);
    backupGrid->addWidget(backup_, 0, 2);

    auto* restoreGroup = new QGroupBox(QStringLiteral("テーブルのリストア"));
    restoreDirectory_ = new QLineEdit;
    restoreResult_ = resultField();
    restore_ = button("リストア");
    auto* restoreGrid = new QGridLayout(restoreGroup);
    addRow(restoreGrid, 0, "サーバのディレクトリ", restoreDirectory_);
    addRow(restoreGrid, 1, "リストアの結果", restoreResult_);
    restoreGrid->addWidget(restore_, 0, 2);

    auto* dumpGroup = new QGroupBox(QStringLiteral("テーブルのダンプ"));
    dumpFile_ = new QLineEdit;
    browse_ = button("参照");
    dump_ = button("ダンプ");
    auto* dumpRow = new QHBoxLayout(dumpGroup);
    dumpRow->addWidget(captionLabel(QStringLiteral("ファイル名"), dumpFile_));
    dumpRow->addWidget(dumpFile_, 1);
    dumpRow->addWidget(browse_);
    dumpRow->addWidget(dump_);

    close_ = button("閉じる");
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(conversions);
    for (QGroupBox* group : {repairGroup, performanceGroup, checkGroup, backupGroup, restoreGroup, dumpGroup})
        layout->addWidget(group);
    layout->addLayout(bottom);

    connect(repair_, &QPushButton::clicked, this, &MaintenanceForm::repair);
    connect(analyze_, &QPushButton::clicked, this, &MaintenanceForm::analyze);
    connect(optimize_, &QPushButton::clicked, this, &MaintenanceForm::optimize);
    connect(check_, &QPushButton::clicked, this, &MaintenanceForm::check);
    connect(backup_, &QPushButton::clicked, this, &MaintenanceForm::backup);
    connect(restore_, &QPushButton::clicked, this, &MaintenanceForm::restore);
    connect(browse_, &QPushButton::clicked, this, &MaintenanceForm::browse);
    connect(dump_, &QPushButton::clicked, this, &MaintenanceForm::dump);
    connect(close_, &QPushButton::clicked, this, [this] {
        if (busy_)
            cancelRequest_.cancel();
        else
            accept();
    });
}

void MaintenanceForm::showStatus() {
    TableStatus status;
    switch (readTableStatus(session_.connection(), databaseName_, tableName_, status)) {
        case StatusOutcome::QueryFailed:
        case StatusOutcome::NoRow:
            return;
        case StatusOutcome::NoResult:
            ui().message(msg(10055));
            return;
        case StatusOutcome::Read:
            type_->setText(fromServer(session_.connection(), status.type));
            checkDate_->setText(fromServer(session_.connection(), status.checkTime));
            return;
    }
}

bool MaintenanceForm::runAdmin(const std::string& statement, const QString& failureText,
                               QLineEdit* resultField, AdminResult& result) {
    Connection& connection = session_.connection();
    if (cancelledOnServer([&] { result = runAdminStatement(connection, statement); }))
        return false;
    switch (result.status) {
        case AdminResult::Status::Failed:
            ui().message(withServerError(failureText, connection));
            return false;
        case AdminResult::Status::NoResult:
            ui().message(msg(10055));
            return false;
        case AdminResult::Status::NoRow:
            ui().message(msg(10056));
            return true;
        case AdminResult::Status::Row:
            resultField->setText(fromServer(session_.connection(), result.text()));
            return true;
    }
    return false;
}

void MaintenanceForm::repair() {
    if (!ui().askYesNo(QStringLiteral("修復を行ってもよろしいですか？")))
        return;
    WaitCursor wait;
    AdminResult result;
    if (!runAdmin(repairStatement(session_.connection(), databaseName_, tableName_, repairQuick_->isChecked(),
                                  repairExtended_->isChecked()),
                  QStringLiteral("修復に失敗しました"), repairResult_, result))
        return;
    ui().message(QStringLiteral("修復が完了しました"));
}

void MaintenanceForm::check() {
    WaitCursor wait;
    CheckOptions options;
    options.quick = checkQuick_->isChecked();
    options.fast = checkFast_->isChecked();
    options.changed = checkChanged_->isChecked();
    options.medium = checkMedium_->isChecked();
    options.extended = checkExtended_->isChecked();
    AdminResult result;
    if (!runAdmin(checkStatement(session_.connection(), databaseName_, tableName_, options),
                  QStringLiteral("チェックに失敗しました"), checkResult_, result))
        return;
    TableStatus status;
    switch (readTableStatus(session_.connection(), databaseName_, tableName_, status)) {
        case StatusOutcome::QueryFailed:
        case StatusOutcome::NoResult:
            ui().message(msg(10055));
            return;
        case StatusOutcome::NoRow:
            break;
        case StatusOutcome::Read:
            checkDate_->setText(fromServer(session_.connection(), status.checkTime));
            break;
    }
    ui().message(QStringLiteral("チェックが完了しました"));
}

void MaintenanceForm::analyze() {
    if (!ui().askYesNo(QStringLiteral("改善を行ってもよろしいですか？")))
        return;
    WaitCursor wait;
    AdminResult result;
    if (!runAdmin(analyzeStatement(session_.connection(), databaseName_, tableName_),
                  QStringLiteral("分布の分析に失敗しました"), performanceResult_, result))
        return;
    ui().message(QStringLiteral("改善・調整が完了しました"));
}

void MaintenanceForm::optimize() {
    if (!ui().askYesNo(QStringLiteral("最適化を行ってもよろしいですか？")))
        return;
    WaitCursor wait;
    Connection& connection = session_.connection();
    bool optimized = false;
    if (cancelledOnServer(
            [&] { optimized = connection.exec(optimizeStatement(connection, databaseName_, tableName_)); }))
        return;
    if (!optimized) {
        ui().message(withServerError(QStringLiteral("最適化に失敗しました"), connection));
        return;
    }
    performanceResult_->setText(QStringLiteral("最適化(OPTIMIZE)が完了しました"));
}

void MaintenanceForm::appendLog(const QString& name, const QString& directoryText) {
    // A log that cannot be written does not stop the action: the statement has run.
    // The line is put together in the session's text and written in the log's Shift_JIS.
    const Connection& connection = session_.connection();
    const std::string line =
        maintenanceLogLine(static_cast<uint64_t>(QDateTime::currentSecsSinceEpoch()), databaseName_,
                           tableName_, toServer(connection, directoryText), user_, host_);
    appendMaintenanceLog(startupDirectory_, name, toShiftJis(fromServer(connection, line)));
}

void MaintenanceForm::backup() {
    if (!ui().askYesNo(QStringLiteral("バックアップを行ってもよろしいですか？")))
        return;
    WaitCursor wait;
    const QString directory = backupDirectory_->text();
    if (directory.isEmpty()) {
        ui().message(QStringLiteral("サーバのディレクトリを入力してください"));
        return;
    }
    AdminResult result;
    if (!runAdmin(backupStatement(session_.connection(), databaseName_, tableName_,
                                  toServer(session_.connection(), directory)),
                  QStringLiteral("バックアップに失敗しました"), backupResult_, result))
        return;
    appendLog(QStringLiteral("Backup.log"), directory);
    ui().message(QStringLiteral("バックアップが終了しました"));
}

void MaintenanceForm::restore() {
    if (!ui().askYesNo(QStringLiteral("リストアを行ってもよろしいですか？")))
        return;
    WaitCursor wait;
    const QString directory = restoreDirectory_->text();
    if (directory.isEmpty()) {
        ui().message(QStringLiteral("サーバのディレクトリを入力してください"));
        return;
    }
    AdminResult result;
    if (!runAdmin(restoreStatement(session_.connection(), databaseName_, tableName_,
                                   toServer(session_.connection(), directory)),
                  QStringLiteral("移行に失敗しました"), restoreResult_, result))
        return;
    appendLog(QStringLiteral("restore.log"), directory);
    if (result.status == AdminResult::Status::Row && result.messageType == "error") {
        ui().message(QStringLiteral("リストアが異常終了しました。結果を確認してください"));
    } else {
        ui().message(QStringLiteral("リストアが終了しました"));
    }
}

void MaintenanceForm::convert(int index) {
    const std::string target = kTypes[index];
    const bool innobase = target == "Innobase";
    const QString already = QStringLiteral("既に%1です").arg(QString::fromLatin1(target.c_str()));
    const auto isAlready = [&] {
        return isTableType(toServer(session_.connection(), type_->text()), target);
    };
    if (innobase && !session_.generation().hasInnoDb()) {
        ui().message(QStringLiteral("このサーバはINNOBASEテーブルがサポートされていません"));
        return;
    }
    if (!innobase && isAlready()) {
        ui().message(already);
        return;
    }
    if (!ui().askYesNo(QStringLiteral("移行を行ってもよろしいですか？")))
        return;
    if (innobase && isAlready()) {
        ui().message(already);
        return;
    }
    WaitCursor wait;
    Connection& connection = session_.connection();
    const std::string statement =
        conversionStatement(session_.connection(), session_.generation(), databaseName_, tableName_, target);
    bool converted = false;
    if (cancelledOnServer([&] { converted = connection.exec(statement); }))
        return;
    if (!converted) {
        ui().message(withServerError(QStringLiteral("移行に失敗しました"), connection));
        return;
    }
    TableStatus status;
    switch (readTableStatus(connection, databaseName_, tableName_, status)) {
        case StatusOutcome::QueryFailed:
            if (innobase)
                ui().message(msg(10054));
            return;
        case StatusOutcome::NoResult:
            ui().message(msg(10055));
            return;
        case StatusOutcome::NoRow:
            ui().message(msg(10056));
            return;
        case StatusOutcome::Read:
            break;
    }
    if (isTableType(status.type, target)) {
        type_->setText(fromServer(session_.connection(), status.type));
        ui().message(QStringLiteral("移行に成功しました"));
    }
}

void MaintenanceForm::setBusy(bool busy) {
    busy_ = busy;
    for (QWidget* control : findChildren<QPushButton*>())
        control->setEnabled(!busy);
    if (!busy && !session_.generation().hasBackupTable()) {
        backup_->setEnabled(false);
        restore_->setEnabled(false);
    }
}

void MaintenanceForm::dump() {
    if (busy_ || !ui().askYesNo(QStringLiteral("ダンプを行ってもよろしいですか？")))
        return;
    WaitCursor wait;
    const QString path = dumpFile_->text();
    if (path.isEmpty()) {
        ui().message(msg(10038));
        return;
    }
    TableDump dump(session_.connection(), databaseName_, tableName_);
    dump.setCancelToken(&cancelRequest_);
    DumpOutcome outcome;
    runCancellable([&] { outcome = dump.run(path); });
    const QString error = formatUi(QStringLiteral("%d:%s"), outcome.errorNumber, outcome.errorText);
    switch (outcome.status) {
        case DumpOutcome::Status::Complete:
            ui().message(QStringLiteral("ダンプが終了しました"));
            return;
        case DumpOutcome::Status::FileNotOpened:
            ui().message(msgf(kDumpFileNotCreated, path));
            return;
        case DumpOutcome::Status::WriteFailed:
            ui().message(msgf(kDumpNotWritten, path));
            return;
        case DumpOutcome::Status::CreateFailed:
            ui().message(msg(kDumpNoDefinition) + u'\n' + error);
            return;
        case DumpOutcome::Status::ReadFailed:
            ui().message(msgf(kDumpRowsNotRead, path) + u'\n' + error);
            return;
        case DumpOutcome::Status::Cancelled:
            ui().message(msgf(kDumpCancelled, static_cast<unsigned long long>(outcome.rows), path));
            return;
    }
}

void MaintenanceForm::runCancellable(const std::function<void()>& run) {
    setBusy(true);
    cancelRequest_.reset();
    const QString closeCaption = close_->text();
    close_->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    close_->setAccessibleName(close_->text());
    close_->setEnabled(true);
    {
        const CancellableRun cancellable;
        run();
    }
    close_->setText(closeCaption);
    close_->setAccessibleName(closeCaption);
    setBusy(false);
}

bool MaintenanceForm::cancelledOnServer(const std::function<void()>& statement) {
    bool killed = false;
    runCancellable([&] { killed = waitInterruptibly(session_.connection(), statement, cancelRequest_); });
    if (killed)
        ui().message(msg(kStatementCancelled));
    return killed;
}

void MaintenanceForm::reject() {
    if (busy_) {
        cancelRequest_.cancel();
        return;
    }
    QDialog::reject();
}

void MaintenanceForm::browse() {
    const QString chosen = ui().chooseSaveFile(QStringLiteral("ダンプ"), QStringLiteral("ＳＱＬ文 (*.sql)"),
                                               dumpFile_->text(), true);
    if (!chosen.isEmpty())
        dumpFile_->setText(withScriptExtension(chosen));
}

}  // namespace dbk
