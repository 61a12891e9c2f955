#include "transfer/server_copy_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/saved_host.h"
#include "conn/text_codec.h"
#include "transfer/server_copy.h"
#include "transfer/table_copy.h"

namespace dbk {

namespace {

QTreeWidget* listWithColumns(std::initializer_list<std::pair<int, int>> columns) {
    auto* list = new QTreeWidget;
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    QStringList headings;
    for (const auto& [message, width] : columns)
        headings << msg(message);
    list->setHeaderLabels(headings);
    int column = 0;
    for (const auto& [message, width] : columns)
        list->setColumnWidth(column++, width);
    return list;
}

// Names keep the bytes the source connection gave them; the text shown is for the eye.
QListWidgetItem* nameItem(const Connection& source, const std::string& bytes) {
    auto* item = new QListWidgetItem(fromServer(source, bytes));
    item->setData(Qt::UserRole, QByteArray::fromStdString(bytes));
    return item;
}

std::string itemBytes(const QListWidgetItem* item) {
    return item ? item->data(Qt::UserRole).toByteArray().toStdString() : std::string();
}

// A freshly filled list has no current row until the user picks one (a click, or a key after
// the list has the focus): without this the view makes its first row current when it gets the
// focus, and that would open a server or a table nobody chose.
void leaveUnchosen(QAbstractItemView* list) {
    list->setCurrentIndex(QModelIndex());
}

}  // namespace

ServerCopyForm::ServerCopyForm(Session& session, const QString& startupDirectory, QWidget* parent)
    : QDialog(parent), session_(session), directory_(startupDirectory) {
    setWindowTitle(QStringLiteral("他のサーバから複製"));
    buildControls();
    batchSize_->setText(QStringLiteral("1000"));
    fillServers();

    type_->addItems({QStringLiteral("MyISAM"), QStringLiteral("ISAM"), QStringLiteral("HEAP")});
    if (session_.generation().hasInnoDb())
        type_->addItem(QStringLiteral("INNOBASE"));
    type_->setCurrentIndex(-1);
    Result list = session_.connection().query("SHOW DATABASES");
    while (list.next())
        targetDatabase_->addItem(fromServer(session_.connection(), list.text(0U)));
    targetDatabase_->setCurrentIndex(-1);
    copyData_->setChecked(true);

    connect(servers_, &QTreeWidget::currentItemChanged, this, &ServerCopyForm::serverChosen);
    connect(databases_, &QListWidget::currentItemChanged, this, &ServerCopyForm::databaseChosen);
    connect(tables_, &QListWidget::currentItemChanged, this, &ServerCopyForm::tableChosen);
    connect(targetDatabase_, &QComboBox::currentIndexChanged, this, &ServerCopyForm::targetChanged);
    connect(name_, &QLineEdit::textChanged, this, &ServerCopyForm::targetChanged);
    connect(type_, &QComboBox::currentIndexChanged, this, &ServerCopyForm::typeChanged);
    connect(batchSize_, &QLineEdit::textChanged, this, &ServerCopyForm::showBatchCount);
    connect(duplicate_, &QPushButton::clicked, this, &ServerCopyForm::duplicate);
    connect(cancel_, &QPushButton::clicked, this, &ServerCopyForm::reject);
}

ServerCopyForm::~ServerCopyForm() = default;

void ServerCopyForm::buildControls() {
    servers_ = listWithColumns({{10132, 150}, {10133, 150}, {10134, 150}, {10135, 150}, {10136, 150}});
    // Five columns of 150 pixels are wider than the half of the form the list has: the names share
    // its width, the port and the password take what their texts need, and no column hides
    // behind a scroll bar.
    QHeaderView* serverHeader = servers_->header();
    serverHeader->setStretchLastSection(false);
    serverHeader->setSectionResizeMode(QHeaderView::Stretch);
    serverHeader->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    serverHeader->setSectionResizeMode(4, QHeaderView::ResizeToContents);
    status_ = new QLabel;
    status_->setWordWrap(true);
    databases_ = new QListWidget;
    tables_ = new QListWidget;
    fields_ =
        listWithColumns({{10137, 130}, {10138, 130}, {10139, 50}, {10140, 50}, {10141, 90}, {10142, 100}});
    statement_ = new QPlainTextEdit;
    statement_->setLineWrapMode(QPlainTextEdit::NoWrap);
    targetDatabase_ = new QComboBox;
    name_ = new QLineEdit;
    type_ = new QComboBox;
    batchSize_ = new QLineEdit;
    batchCount_ = readOnlyField();
    copyData_ = new QCheckBox(QStringLiteral("データコピーを行う"));
    copyData_->setAccessibleName(copyData_->text());
    sourceCount_ = readOnlyField();
    copiedCount_ = readOnlyField();
    duplicate_ = namedButton(QStringLiteral("複製"));
    duplicate_->setDefault(true);
    cancel_ = namedButton(QStringLiteral("ｷｬﾝｾﾙ"));
    cancel_->setAutoDefault(false);

    auto* lists = new QGridLayout;
    lists->addWidget(captionLabel(QStringLiteral("サーバ"), servers_), 0, 0, 1, 2);
    lists->addWidget(servers_, 1, 0, 1, 2);
    lists->addWidget(status_, 2, 0, 1, 2);
    lists->addWidget(captionLabel(QStringLiteral("データベース"), databases_), 3, 0);
    lists->addWidget(captionLabel(QStringLiteral("テーブル"), tables_), 3, 1);
    lists->addWidget(databases_, 4, 0);
    lists->addWidget(tables_, 4, 1);
    lists->addWidget(captionLabel(QStringLiteral("フィールド"), fields_), 5, 0, 1, 2);
    lists->addWidget(fields_, 6, 0, 1, 2);

    auto* target = new QGridLayout;
    target->addWidget(captionLabel(QStringLiteral("複製するデータベース先"), targetDatabase_), 0, 0);
    target->addWidget(targetDatabase_, 0, 1);
    target->addWidget(captionLabel(QStringLiteral("新しいテーブル名"), name_), 0, 2);
    target->addWidget(name_, 0, 3);
    target->addWidget(captionLabel(QStringLiteral("テーブル　タイプ"), type_), 1, 0);
    target->addWidget(type_, 1, 1);
    target->addWidget(copyData_, 1, 2, 1, 2);
    target->addWidget(captionLabel(QStringLiteral("1回に行うレコード数"), batchSize_), 2, 0);
    target->addWidget(batchSize_, 2, 1);
    target->addWidget(batchCount_, 2, 2, 1, 2);
    batchCount_->setAccessibleName(QStringLiteral("分割回数"));
    target->addWidget(captionLabel(QStringLiteral("コピー元のレコード数"), sourceCount_), 3, 0);
    target->addWidget(sourceCount_, 3, 1);
    target->addWidget(captionLabel(QStringLiteral("コピーされたレコード数"), copiedCount_), 3, 2);
    target->addWidget(copiedCount_, 3, 3);
    // The fields share the width; the captions keep theirs.
    target->setColumnStretch(1, 1);
    target->setColumnStretch(3, 1);
    target->setColumnMinimumWidth(3, 140);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(duplicate_);
    buttons->addWidget(cancel_);

    auto* right = new QVBoxLayout;
    right->addWidget(captionLabel(QStringLiteral("作成されるテーブルのSQL文"), statement_));
    right->addWidget(statement_, 1);
    right->addLayout(target);
    right->addLayout(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(right, 1);
    resize(1220, 660);
}

void ServerCopyForm::fillServers() {
    records_ = savedServers(QDir(directory_).filePath(QString::fromLatin1(HostFile::kFileName)));
    for (size_t i = 0; i < records_.size(); ++i) {
        const HostRecord& record = records_[i];
        auto* item = new QTreeWidgetItem(
            QStringList{fromShiftJis(record.name), fromShiftJis(record.host), fromShiftJis(record.port),
                        fromShiftJis(record.user),
                        // The address book keeps passwords; the list does not show them to whoever looks on.
                        record.password.empty() ? QString() : QString(8, u'*')});
        item->setData(0, Qt::UserRole, static_cast<int>(i));
        servers_->addTopLevelItem(item);
    }
    leaveUnchosen(servers_);
}

QString ServerCopyForm::logPath() const {
    return QDir(directory_).filePath(QStringLiteral("rep_other_server.log"));
}

void ServerCopyForm::setStatement(const std::string& utf8Text) {
    statement_->setPlainText(QString::fromStdString(utf8Text));
}

void ServerCopyForm::serverChosen() {
    WaitCursor wait;
    databases_->clear();
    tables_->clear();
    fields_->clear();
    sourceDatabase_.clear();
    sourceTable_.clear();
    statement_->clear();
    status_->clear();
    source_.close();
    const QTreeWidgetItem* item = servers_->currentItem();
    if (!item)
        return;
    const HostRecord& record = records_.at(static_cast<size_t>(item->data(0, Qt::UserRole).toInt()));
    if (!source_.open(connectParamsFor(record))) {
        // Said in the form: an empty list would not tell a refused login from an empty server.
        status_->setText(msgf(21201, fromShiftJis(record.name),
                              fromServer(source_.connection(), source_.connection().errorLine())));
        source_.close();
        return;
    }
    const auto databases = sourceDatabases(source_.connection());
    if (!databases) {
        status_->setText(msgf(21201, fromShiftJis(record.name),
                              fromServer(source_.connection(), source_.connection().errorLine())));
        return;
    }
    for (const std::string& name : *databases)
        databases_->addItem(nameItem(source_.connection(), name));
    leaveUnchosen(databases_);
}

void ServerCopyForm::databaseChosen() {
    tables_->clear();
    fields_->clear();
    sourceTable_.clear();
    statement_->clear();
    sourceDatabase_ = itemBytes(databases_->currentItem());
    if (sourceDatabase_.empty() || !source_.isOpen())
        return;
    const auto tables = sourceTables(source_.connection(), sourceDatabase_);
    if (!tables)
        return;
    for (const std::string& name : *tables)
        tables_->addItem(nameItem(source_.connection(), name));
    leaveUnchosen(tables_);
}

void ServerCopyForm::tableChosen() {
    fields_->clear();
    sourceTable_ = itemBytes(tables_->currentItem());
    if (sourceTable_.empty() || !source_.isOpen())
        return;
    Connection& source = source_.connection();
    const auto fields = sourceFields(source, sourceDatabase_, sourceTable_);
    if (!fields)
        return;
    for (const std::vector<std::string>& cells : *fields) {
        QStringList texts;
        for (const std::string& cell : cells)
            texts << fromServer(source, cell);
        fields_->addTopLevelItem(new QTreeWidgetItem(texts));
    }
    const auto text = createTableText(source, sourceDatabase_, sourceTable_);
    if (!text)
        return;
    setStatement(*text);
    const auto count = sourceRowCount(source, sourceDatabase_, sourceTable_);
    if (!count)
        return;
    sourceCount_->setText(QString::number(*count));
    showBatchCount();
    typeChanged();
    targetChanged();
}

void ServerCopyForm::targetChanged() {
    const std::string database = targetDatabase_->currentIndex() < 0
                                     ? std::string()
                                     : targetDatabase_->currentText().toUtf8().toStdString();
    setStatement(retargetedIfChosen(statement_->toPlainText().toUtf8().toStdString(), database,
                                    name_->text().toUtf8().toStdString()));
}

void ServerCopyForm::typeChanged() {
    const std::string type =
        type_->currentIndex() < 0 ? std::string() : type_->currentText().toUtf8().toStdString();
    setStatement(retypedIfChosen(statement_->toPlainText().toUtf8().toStdString(), type,
                                 session_.generation().tableTypeClause(type)));
}

void ServerCopyForm::showBatchCount() {
    batchCount_->setText(batchCountText(
        batchCount(sourceCount_->text().toUtf8().toStdString(), batchSize_->text().toUtf8().toStdString())));
}

void ServerCopyForm::setControlsEnabled(bool enabled) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{servers_, databases_, tables_, fields_, statement_, targetDatabase_,
                                         name_, type_, batchSize_, copyData_, duplicate_, cancel_})
        control->setEnabled(enabled);
}

void ServerCopyForm::duplicate() {
    if (copying_)
        return;
    WaitCursor wait;
    if (!ui().askYesNo(QStringLiteral("複製を行ってもよろしいですか？")))
        return;
    copying_ = true;
    setControlsEnabled(false);
    const auto finish = [this] {
        setControlsEnabled(true);
        copying_ = false;
    };
    // Without a source the statement is empty: say what is missing instead of sending it.
    if (!source_.isOpen()) {
        ui().message(msg(kNoServerMessage));
        finish();
        return;
    }
    if (sourceTable_.empty() || statement_->toPlainText().trimmed().isEmpty()) {
        ui().message(msg(kNoTableMessage));
        finish();
        return;
    }
    if (targetDatabase_->currentIndex() < 0) {
        ui().message(msg(10010));
        finish();
        return;
    }
    if (name_->text().isEmpty()) {
        ui().message(QStringLiteral("新しいテーブルを入力してください"));
        finish();
        return;
    }

    TableCopyRequest request;
    request.createStatement = statement_->toPlainText().toUtf8().toStdString();
    request.sourceDatabase = sourceDatabase_;
    request.sourceTable = sourceTable_;
    request.targetDatabase = targetDatabase_->currentText().toUtf8().toStdString();
    request.targetTable = name_->text().toUtf8().toStdString();
    request.copyData = copyData_->isChecked();
    request.logPath = logPath();

    TableCopy copy(source_.connection(), session_.connection());
    copy.setBatchRows(batchRowsFromText(batchSize_->text().toUtf8().toStdString()));
    cancelRequest_.reset();
    copy.setCancelToken(&cancelRequest_);
    copy.setSourceCount([this](uint64_t rows) { sourceCount_->setText(QString::number(rows)); });
    copy.setProgress([this](uint64_t rows) { copiedCount_->setText(QString::number(rows)); });
    if (request.copyData)
        copiedCount_->setText(QStringLiteral("0"));
    TableCopyOutcome outcome;
    {
        // Cancel stays live and stops the copy before its next row.
        cancel_->setEnabled(true);
        const CancellableRun cancellable;
        outcome = copy.run(request);
    }
    finish();
    switch (outcome.status) {
        case TableCopyOutcome::Status::LogNotCreated:
            ui().message(msgf(TableCopy::kLogNotCreatedMessage, request.logPath));
            return;
        case TableCopyOutcome::Status::CreateRefused:
            ui().message(formatUi(QStringLiteral("%d:%s"), outcome.errorNumber, outcome.errorText));
            return;
        case TableCopyOutcome::Status::Copied:
            copiedCount_->setText(QString::number(outcome.copy.copied));
            break;
        case TableCopyOutcome::Status::Created:
            break;
    }
    ui().message(TableCopy::completionText(outcome, request.logPath));
}

void ServerCopyForm::reject() {
    // Closing while the rows are copied stops the copy instead.
    if (copying_)
        cancelRequest_.cancel();
    else
        QDialog::reject();
}

}  // namespace dbk
