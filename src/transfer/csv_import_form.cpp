#include "transfer/csv_import_form.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <initializer_list>
#include <vector>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"

namespace dbk {

namespace {

constexpr int kBytesRole = Qt::UserRole;
constexpr int kIconSize = 32;

QListWidget* iconList() {
    auto* list = new QListWidget;
    list->setViewMode(QListView::IconMode);
    list->setIconSize(QSize(kIconSize, kIconSize));
    list->setGridSize(QSize(kIconSize * 3, kIconSize * 2 + 8));
    list->setMovement(QListView::Static);
    list->setResizeMode(QListView::Adjust);
    list->setWordWrap(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

void addEntry(QListWidget& list, const QIcon& icon, std::string_view name, ServerEncoding encoding) {
    auto* item = new QListWidgetItem(icon, fromServer(encoding, name), &list);
    item->setData(kBytesRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

QListWidgetItem* selectedEntry(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

std::string entryName(const QListWidgetItem* item) {
    const QByteArray bytes = item ? item->data(kBytesRole).toByteArray() : QByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

CsvImportForm::CsvImportForm(Session& session, QWidget* parent) : QDialog(parent), session_(session) {
    setWindowTitle(QStringLiteral("CSVからのインポート"));
    buildControls();

    convertCheck_->setChecked(true);
    fillDatabases();
    serverCharacterSet_ = readServerCharacterSet(session_.connection());
    characterSetEdit_->setText(QString::fromLatin1(serverCharacterSet_));

    // A choice is a selection: the focus alone makes an entry current without choosing it.
    connect(databaseList_, &QListWidget::itemSelectionChanged, this,
            [this] { chooseDatabase(selectedEntry(*databaseList_)); });
    connect(tableList_, &QListWidget::itemSelectionChanged, this,
            [this] { chooseTable(selectedEntry(*tableList_)); });
    connect(browseButton_, &QPushButton::clicked, this, &CsvImportForm::browse);
    connect(convertCheck_, &QCheckBox::clicked, this, &CsvImportForm::showPreview);
    connect(runButton_, &QPushButton::clicked, this, &CsvImportForm::runImport);
    connect(cancelButton_, &QPushButton::clicked, this, &CsvImportForm::reject);
}

QString CsvImportForm::garblingQuestion() {
    return QStringLiteral("キャラクタセットがSJIS、EUC以外のサーバへインポートしようとしています。\n") +
           QStringLiteral("文字化けが発生する可能性がありますが、よろしいですか？");
}

void CsvImportForm::buildControls() {
    fileEdit_ = new QLineEdit;
    browseButton_ = new QPushButton(QStringLiteral("参照"));
    browseButton_->setAutoDefault(false);
    localCheck_ = new QCheckBox(QStringLiteral("クライアントのファイルをインポート"));
    lowPriorityCheck_ = new QCheckBox(QStringLiteral("他のスレッドの読み込みが終了するまで待つ"));
    replaceCheck_ = new QCheckBox(QStringLiteral("もし同じレコードが存在する場合上書きを行う"));

    separatorEdit_ = new QLineEdit;
    enclosureEdit_ = new QLineEdit;
    escapeEdit_ = new QLineEdit;
    lineEndEdit_ = new QLineEdit;
    skipLinesEdit_ = new QLineEdit;
    auto* fieldGroup = new QGroupBox(QStringLiteral("フィールドの設定"));
    auto* fieldGrid = new QGridLayout(fieldGroup);
    const struct {
        const char16_t* caption;
        QLineEdit* edit;
        const char16_t* hint;
    } fields[] = {
        {u"フィールドの区切り文字", separatorEdit_, u"ﾃﾞﾌｫﾙﾄ \\t"},
        {u"フィールドの囲み文字", enclosureEdit_, u"ﾃﾞﾌｫﾙﾄ 無し"},
        {u"エスケープ文字", escapeEdit_, u"ﾃﾞﾌｫﾙﾄ \\\\"},
    };
    int row = 0;
    for (const auto& field : fields) {
        fieldGrid->addWidget(captionLabel(QString::fromUtf16(field.caption), field.edit), row, 0);
        fieldGrid->addWidget(field.edit, row, 1);
        fieldGrid->addWidget(new QLabel(QString::fromUtf16(field.hint)), row, 2);
        ++row;
    }
    auto* lineGrid = new QGridLayout;
    lineGrid->addWidget(captionLabel(QStringLiteral("行の区切り文字"), lineEndEdit_), 0, 0);
    lineGrid->addWidget(lineEndEdit_, 0, 1);
    lineGrid->addWidget(new QLabel(QStringLiteral("ﾃﾞﾌｫﾙﾄ \\n")), 0, 2);
    lineGrid->addWidget(captionLabel(QStringLiteral("ファイルの先頭から無視する位置"), skipLinesEdit_), 1, 0);
    lineGrid->addWidget(skipLinesEdit_, 1, 1);

    databaseList_ = iconList();
    tableList_ = iconList();
    targetEdit_ = new QLineEdit;
    targetEdit_->setReadOnly(true);
    convertCheck_ = new QCheckBox(QStringLiteral("NKFでEUCからSJISへ変換しインポート"));
    characterSetEdit_ = new QLineEdit;
    characterSetEdit_->setReadOnly(true);
    previewEdit_ = new QPlainTextEdit;
    previewEdit_->setReadOnly(true);
    previewEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    runButton_ = new QPushButton(QStringLiteral("実行"));
    runButton_->setDefault(true);
    runButton_->setAutoDefault(true);
    cancelButton_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    cancelButton_->setAutoDefault(false);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(captionLabel(QStringLiteral("ファイル名"), fileEdit_));
    fileRow->addWidget(fileEdit_, 1);
    fileRow->addWidget(browseButton_);

    auto* left = new QVBoxLayout;
    left->addLayout(fileRow);
    left->addWidget(localCheck_);
    left->addWidget(lowPriorityCheck_);
    left->addWidget(replaceCheck_);
    left->addWidget(fieldGroup);
    left->addLayout(lineGrid);
    left->addWidget(new QLabel(QStringLiteral("＊何も入力がない場合、ﾃﾞﾌｫﾙﾄが有効になります")));
    left->addStretch(1);

    auto* lists = new QGridLayout;
    lists->addWidget(captionLabel(QStringLiteral("データベース"), databaseList_), 0, 0);
    lists->addWidget(captionLabel(QStringLiteral("テーブル"), tableList_), 0, 1);
    lists->addWidget(databaseList_, 1, 0);
    lists->addWidget(tableList_, 1, 1);
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(captionLabel(QStringLiteral("インポート先"), targetEdit_));
    targetRow->addWidget(targetEdit_, 1);
    auto* characterSetRow = new QHBoxLayout;
    characterSetRow->addWidget(convertCheck_);
    characterSetRow->addStretch(1);
    characterSetRow->addWidget(captionLabel(QStringLiteral("サーバのキャラクタセット"), characterSetEdit_));
    characterSetRow->addWidget(characterSetEdit_);
    auto* right = new QVBoxLayout;
    right->addLayout(lists, 1);
    right->addLayout(targetRow);
    right->addLayout(characterSetRow);

    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(runButton_);
    buttons->addWidget(cancelButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(captionLabel(QStringLiteral("プレビュー"), previewEdit_));
    layout->addWidget(previewEdit_, 1);
    layout->addLayout(buttons);
    resize(900, 640);
}

void CsvImportForm::fillDatabases() {
    Result databases = session_.connection().query("SHOW DATABASES");
    const QIcon icon(QStringLiteral(":/icons/tree_database.svg"));
    while (databases.next())
        addEntry(*databaseList_, icon, databases.text(0U), serverEncoding(session_.connection()));
}

void CsvImportForm::chooseDatabase(QListWidgetItem* item) {
    database_ = entryName(item);
    table_.clear();
    // The target goes with the table: a database that cannot be used leaves none.
    targetEdit_->clear();
    tableList_->clear();
    if (database_.empty())
        return;
    Connection& connection = session_.connection();
    if (!connection.exec(format("USE %s", connection.ident(database_))))
        return;
    Result tables = connection.query("SHOW TABLES");
    const QIcon icon(QStringLiteral(":/icons/tree_table.svg"));
    while (tables.next())
        addEntry(*tableList_, icon, tables.text(0U), serverEncoding(session_.connection()));
}

void CsvImportForm::chooseTable(QListWidgetItem* item) {
    table_ = entryName(item);
    targetEdit_->setText(
        table_.empty() ? QString() : fromServer(session_.connection(), format("%s.%s", database_, table_)));
}

CsvImportOptions CsvImportForm::currentOptions() const {
    CsvImportOptions options;
    options.path = fileEdit_->text();
    options.local = localCheck_->isChecked();
    options.lowPriority = lowPriorityCheck_->isChecked();
    options.replace = replaceCheck_->isChecked();
    options.convert = convertCheck_->isChecked();
    options.separator = toServer(session_.connection(), separatorEdit_->text());
    options.enclosure = toServer(session_.connection(), enclosureEdit_->text());
    options.escape = toServer(session_.connection(), escapeEdit_->text());
    options.lineEnd = toServer(session_.connection(), lineEndEdit_->text());
    options.skipLines = toServer(session_.connection(), skipLinesEdit_->text());
    options.database = database_;
    options.table = table_;
    return options;
}

void CsvImportForm::browse() {
    const QString directory =
        fileEdit_->text().isEmpty() ? QString() : QFileInfo(fileEdit_->text()).absolutePath();
    const QString path = ui().chooseOpenFile(QStringLiteral("CSVファイルからインポート"),
                                             QStringLiteral("CSV FILE (*.csv)"), directory);
    if (path.isEmpty())
        return;
    fileEdit_->setText(path);
    showPreview();
    localCheck_->setChecked(true);
}

void CsvImportForm::showPreview() {
    previewEdit_->clear();
    const QString path = fileEdit_->text();
    const CsvFirstLine first = analyseCsvFirstLine(path);
    if (first.read) {
        if (first.crlf)
            lineEndEdit_->setText(QStringLiteral("\\r\\n"));
        if (first.separator)
            separatorEdit_->setText(fromServer(session_.connection(), *first.separator));
        enclosureEdit_->setText(fromServer(session_.connection(), first.enclosure));
    }
    previewEdit_->setPlainText(csvPreviewText(path, convertCheck_->isChecked()));
}

void CsvImportForm::runImport() {
    const WaitCursor wait;
    if (!holdsJapanese(serverCharacterSet_) && !ui().askYesNo(garblingQuestion()))
        return;
    const QString path = fileEdit_->text();
    if (path.isEmpty()) {
        ui().message(msg(10038));
        return;
    }
    if (targetEdit_->text().isEmpty() || table_.empty()) {
        ui().message(msg(10039));
        return;
    }
    if (!confirm(10040))
        return;
    CsvImporter importer(session_);
    cancelRequest_.reset();
    importer.setCancelToken(&cancelRequest_);
    CsvImportOutcome outcome;
    {
        // Only Cancel stays live while the statement runs.
        std::vector<QWidget*> disabled;
        for (QWidget* control : std::initializer_list<QWidget*>{
                 fileEdit_, browseButton_, localCheck_, lowPriorityCheck_, replaceCheck_, separatorEdit_,
                 enclosureEdit_, escapeEdit_, lineEndEdit_, skipLinesEdit_, databaseList_, tableList_,
                 targetEdit_, convertCheck_, characterSetEdit_, runButton_}) {
            if (control->isEnabled()) {
                control->setEnabled(false);
                disabled.push_back(control);
            }
        }
        importing_ = true;
        const CancellableRun cancellable;
        outcome = importer.run(currentOptions());
        importing_ = false;
        for (QWidget* control : disabled)
            control->setEnabled(true);
    }
    ui().message(CsvImporter::outcomeText(outcome, path));
}

void CsvImportForm::reject() {
    if (importing_) {
        cancelRequest_.cancel();
        return;
    }
    QDialog::reject();
}

}  // namespace dbk
