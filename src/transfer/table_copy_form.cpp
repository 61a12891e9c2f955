#include "transfer/table_copy_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/cancel.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "transfer/table_copy.h"

namespace dbk {

TableCopyForm::TableCopyForm(Session& session, const std::string& database, const std::string& table,
                             QWidget* parent)
    : QDialog(parent), session_(session), database_(database), table_(table) {
    setWindowTitle(QStringLiteral("テーブルの複製"));
    buildControls();
    Connection& connection = session_.connection();
    sourceDatabase_->setText(fromServer(session_.connection(), database));
    sourceTable_->setText(fromServer(session_.connection(), table));
    targetName_->setText(fromServer(session_.connection(), table));
    if (const auto count = sourceRowCount(connection, database, table))
        sourceCount_->setText(QString::number(*count));
    if (const auto text = createTableText(connection, database, table))
        statement_->setPlainText(QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size())));
    QStringList databases;
    Result list = connection.query("SHOW DATABASES");
    while (list.next())
        databases << fromServer(session_.connection(), list.text(0U));
    databases.sort();
    targetDatabase_->addItems(databases);
    targetDatabase_->setCurrentIndex(-1);
    QStringList types{QStringLiteral("MyISAM"), QStringLiteral("ISAM"), QStringLiteral("HEAP"),
                      QStringLiteral("INNOBASE")};
    types.sort();
    type_->addItems(types);
    type_->setCurrentIndex(-1);

    connect(targetDatabase_, &QComboBox::currentIndexChanged, this, &TableCopyForm::targetChanged);
    connect(targetName_, &QLineEdit::textChanged, this, &TableCopyForm::targetChanged);
    connect(type_, &QComboBox::currentIndexChanged, this, &TableCopyForm::typeChanged);
    connect(logButton_, &QPushButton::clicked, this, &TableCopyForm::showLog);
    connect(create_, &QPushButton::clicked, this, &TableCopyForm::create);
    connect(cancel_, &QPushButton::clicked, this, &TableCopyForm::reject);
}

void TableCopyForm::buildControls() {
    sourceDatabase_ = readOnlyField();
    sourceTable_ = readOnlyField();
    statement_ = new QPlainTextEdit;
    statement_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The statement follows the target fields; an edit of its own would not decide where the rows go.
    statement_->setReadOnly(true);
    targetDatabase_ = new QComboBox;
    targetName_ = new QLineEdit;
    type_ = new QComboBox;
    copyData_ = new QCheckBox(QStringLiteral("データコピー"));
    copyData_->setAccessibleName(copyData_->text());
    sourceCount_ = readOnlyField();
    copiedCount_ = readOnlyField();
    logButton_ = namedButton(QStringLiteral("ログ取得"));
    logButton_->setAutoDefault(false);
    logView_ = new QPlainTextEdit;
    logView_->setReadOnly(true);
    logView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    create_ = namedButton(QStringLiteral("作成"));
    create_->setDefault(true);
    cancel_ = namedButton(QStringLiteral("ｷｬﾝｾﾙ"));
    cancel_->setAutoDefault(false);

    auto* source = new QGridLayout;
    source->addWidget(captionLabel(QStringLiteral("データベース"), sourceDatabase_), 0, 0);
    source->addWidget(sourceDatabase_, 0, 1);
    source->addWidget(captionLabel(QStringLiteral("テーブル名"), sourceTable_), 0, 2);
    source->addWidget(sourceTable_, 0, 3);
    auto* target = new QGridLayout;
    target->addWidget(captionLabel(QStringLiteral("作成するデータベース先"), targetDatabase_), 0, 0);
    target->addWidget(targetDatabase_, 0, 1);
    target->addWidget(captionLabel(QStringLiteral("テーブル"), targetName_), 0, 2);
    target->addWidget(targetName_, 0, 3);
    target->addWidget(captionLabel(QStringLiteral("作成するテーブルタイプ"), type_), 1, 0);
    target->addWidget(type_, 1, 1);
    target->addWidget(copyData_, 1, 2);
    auto* counts = new QHBoxLayout;
    counts->addWidget(captionLabel(QStringLiteral("元のレコード数"), sourceCount_));
    counts->addWidget(sourceCount_);
    counts->addWidget(captionLabel(QStringLiteral("コピーされたレコード数"), copiedCount_));
    counts->addWidget(copiedCount_);
    counts->addWidget(logButton_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(create_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(source);
    layout->addWidget(captionLabel(QStringLiteral("作成されるテーブルのSQL文"), statement_));
    layout->addWidget(statement_, 2);
    layout->addLayout(target);
    layout->addLayout(counts);
    layout->addWidget(captionLabel(QStringLiteral("ログ"), logView_));
    layout->addWidget(logView_, 1);
    layout->addLayout(buttons);
    resize(640, 560);
}

QString TableCopyForm::logPath() {
    return QDir::current().filePath(QStringLiteral("rep_table.log"));
}

void TableCopyForm::targetChanged() {
    const std::string database = targetDatabase_->currentIndex() < 0
                                     ? std::string()
                                     : targetDatabase_->currentText().toUtf8().toStdString();
    const std::string text = retargetedStatement(statement_->toPlainText().toUtf8().toStdString(), database,
                                                 targetName_->text().toUtf8().toStdString());
    statement_->setPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TableCopyForm::typeChanged() {
    if (type_->currentIndex() < 0)
        return;
    const std::string type = type_->currentText().toUtf8().toStdString();
    const std::string text = retypedStatement(statement_->toPlainText().toUtf8().toStdString(), type,
                                              session_.generation().tableTypeClause(type));
    statement_->setPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TableCopyForm::setControlsEnabled(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{statement_, targetDatabase_, targetName_, type_,
                                                            copyData_, logButton_, create_, cancel_})
        control->setEnabled(enabled);
}

void TableCopyForm::create() {
    if (copying_)
        return;
    if (targetDatabase_->currentIndex() < 0) {
        ui().message(msg(10010));
        return;
    }
    if (targetName_->text().isEmpty()) {
        ui().message(QStringLiteral("テーブルを入力してください"));
        return;
    }
    if (!ui().askYesNo(QStringLiteral("複製を行ってもよろしいですか？")))
        return;

    TableCopyRequest request;
    request.createStatement = statement_->toPlainText().toUtf8().toStdString();
    request.sourceDatabase = database_;
    request.sourceTable = table_;
    request.targetDatabase = targetDatabase_->currentText().toUtf8().toStdString();
    request.targetTable = targetName_->text().toUtf8().toStdString();
    request.copyData = copyData_->isChecked();
    request.logPath = logPath();

    TableCopy copy(session_.connection());
    cancelRequest_.reset();
    copy.setCancelToken(&cancelRequest_);
    copy.setSourceCount([this](uint64_t rows) { sourceCount_->setText(QString::number(rows)); });
    copy.setProgress([this](uint64_t rows) { copiedCount_->setText(QString::number(rows)); });
    if (request.copyData)
        copiedCount_->setText(QStringLiteral("0"));
    TableCopyOutcome outcome;
    {
        copying_ = true;
        setControlsEnabled(false);
        // Cancel stays live and stops the rows' copy.
        cancel_->setEnabled(true);
        const CancellableRun cancellable;
        WaitCursor wait;
        outcome = copy.run(request);
        setControlsEnabled(true);
        copying_ = false;
    }
    switch (outcome.status) {
        case TableCopyOutcome::Status::LogNotCreated:
            ui().message(msgf(TableCopy::kLogNotCreatedMessage, request.logPath));
            return;
        case TableCopyOutcome::Status::CreateRefused:
            ui().message(outcome.errorText);
            return;
        case TableCopyOutcome::Status::Copied:
            copiedCount_->setText(QString::number(outcome.copy.copied));
            break;
        case TableCopyOutcome::Status::Created:
            break;
    }
    ui().message(TableCopy::completionText(outcome, request.logPath));
}

void TableCopyForm::showLog() {
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    logView_->setPlainText(
        fromShiftJis(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
}

void TableCopyForm::reject() {
    // Closing while the rows are copied stops the copy instead.
    if (copying_)
        cancelRequest_.cancel();
    else
        QDialog::reject();
}

}  // namespace dbk
