#include "schema/structure_editor_form.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/report_list_widget.h"
#include "app/ui_services.h"
#include "browser/table_size_form.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "schema/add_field_form.h"
#include "schema/add_key_form.h"
#include "schema/change_field_form.h"
#include "schema/rename_table_form.h"
#include "schema/table_options_form.h"
#include "transfer/copy_engine.h"
#include "transfer/maintenance_form.h"
#include "transfer/table_copy.h"
#include "transfer/table_copy_form.h"

namespace dbk {

namespace {

const char* const kFieldImages[] = {":/icons/field_primary.svg", ":/icons/field_index.svg",
                                    ":/icons/field_unique.svg", ":/icons/field_other.svg"};

// The error convention: the Japanese line of the action with the server's "%d:%s".
QString failureText(const char* text, const Connection& connection) {
    return formatUi(QString::fromUtf8(text), connection.errorNumber(),
                    fromServer(connection, connection.errorText()));
}

QTableWidgetItem* item(ServerEncoding encoding, const std::string& text) {
    return new QTableWidgetItem(fromServer(encoding, text));
}

}  // namespace

StructureEditorForm::StructureEditorForm(Session& session, const std::string& database,
                                         const std::string& table, QWidget* parent)
    : QDialog(parent), session_(session), database_(database), table_(table) {
    buildControls();
    setTitle();
    loadLists();
}

void StructureEditorForm::buildControls() {
    fields_ = new QTableWidget;
    setUpReportList(fields_, false);
    fields_->setColumnCount(6);
    const int widths[] = {130, 130, 50, 50, 90, 100};
    QStringList headings;
    for (int id = 10143; id <= 10148; ++id)
        headings << msg(id);
    fields_->setHorizontalHeaderLabels(headings);
    for (int i = 0; i < 6; ++i)
        fields_->setColumnWidth(i, widths[i]);
    keys_ = new QTableWidget;
    setUpReportList(keys_, false);
    selectedField_ = new QLineEdit;
    primaryKey_ = new QCheckBox(QStringLiteral("プライマリキー"));
    null_ = new QCheckBox(QStringLiteral("NULL"));
    for (QCheckBox* box : {primaryKey_, null_})
        box->setAccessibleName(box->text());

    const auto makeButton = [this](const char* caption, auto slot) {
        auto* b = new QPushButton(QString::fromUtf8(caption));
        b->setAutoDefault(false);
        b->setAccessibleName(b->text());
        connect(b, &QPushButton::clicked, this, slot);
        buttons_.push_back(b);
        return b;
    };
    QPushButton* close = makeButton("閉じる", &QDialog::accept);
    QPushButton* addField = makeButton("フィールド追加", &StructureEditorForm::addField);
    QPushButton* rename = makeButton("テーブル名変更", &StructureEditorForm::renameTable);
    QPushButton* updateButton = makeButton("更新", &StructureEditorForm::update);
    QPushButton* options = makeButton("テーブルオプション", &StructureEditorForm::openTableOptions);
    QPushButton* maintenance = makeButton("メンテナンス・修復", &StructureEditorForm::openMaintenance);
    QPushButton* copy = makeButton("テーブルの複製", &StructureEditorForm::openTableCopy);
    QPushButton* size = makeButton("データ量の情報", &StructureEditorForm::openDataInformation);
    QPushButton* addPrimary = makeButton("プライマリキー追加", [this] { addKey(KeyKind::Primary); });
    QPushButton* addIndex = makeButton("インデックス追加", [this] { addKey(KeyKind::Index); });
    QPushButton* addUnique = makeButton("一意制約追加", [this] { addKey(KeyKind::Unique); });

    fieldMenu_ = new QMenu(this);
    connect(fieldMenu_->addAction(msg(32782)), &QAction::triggered, this, &StructureEditorForm::addField);
    connect(fieldMenu_->addAction(msg(32783)), &QAction::triggered, this, &StructureEditorForm::deleteField);
    fieldMenu_->addAction(msg(32784));  // details: nothing to show beyond the row
    keyMenu_ = new QMenu(this);
    connect(keyMenu_->addAction(msg(32791)), &QAction::triggered, this, [this] { addKey(KeyKind::Primary); });
    connect(keyMenu_->addAction(msg(32793)), &QAction::triggered, this, [this] { addKey(KeyKind::Unique); });
    connect(keyMenu_->addAction(msg(32790)), &QAction::triggered, this, [this] { addKey(KeyKind::Index); });
    keyMenu_->addSeparator();
    connect(keyMenu_->addAction(msg(32794)), &QAction::triggered, this, &StructureEditorForm::deleteKey);

    for (QTableWidget* list : {fields_, keys_}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        list->installEventFilter(this);
    }
    connect(fields_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { fieldMenu_->popup(fields_->viewport()->mapToGlobal(at)); });
    connect(keys_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { keyMenu_->popup(keys_->viewport()->mapToGlobal(at)); });
    connect(fields_, &QTableWidget::cellClicked, this, [this](int row, int) { selectFieldRow(row); });
    connect(fields_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { changeField(row); });
    connect(keys_, &QTableWidget::cellClicked, this, [this](int row, int) { selectKeyRow(row); });

    auto* selection = new QHBoxLayout;
    selection->addWidget(captionLabel(QStringLiteral("選択されているフィールド名"), selectedField_));
    selection->addWidget(selectedField_, 1);
    selection->addWidget(primaryKey_);
    selection->addWidget(null_);
    selection->addWidget(updateButton);
    auto* side = new QVBoxLayout;
    for (QPushButton* b : {addField, rename, options, maintenance, copy, size})
        side->addWidget(b);
    side->addStretch(1);
    side->addWidget(close);
    auto* keyButtons = new QHBoxLayout;
    keyButtons->addWidget(addPrimary);
    keyButtons->addWidget(addIndex);
    keyButtons->addWidget(addUnique);
    keyButtons->addStretch(1);
    auto* lists = new QVBoxLayout;
    lists->addWidget(captionLabel(QStringLiteral("フィールド"), fields_));
    lists->addWidget(fields_, 3);
    lists->addLayout(selection);
    lists->addWidget(captionLabel(QStringLiteral("キー"), keys_));
    lists->addWidget(keys_, 2);
    lists->addLayout(keyButtons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(side);
    resize(760, 520);
}

QPushButton* StructureEditorForm::button(const QString& caption) const {
    for (QPushButton* b : buttons_) {
        if (b->text() == caption)
            return b;
    }
    return nullptr;
}

void StructureEditorForm::setTitle() {
    setWindowTitle(formatUi(QStringLiteral("テーブルリスト  データベース:%s テーブル:%s"),
                            fromServer(session_.connection(), database_),
                            fromServer(session_.connection(), table_)));
}

void StructureEditorForm::loadLists() {
    Connection& connection = session_.connection();
    const ServerEncoding encoding = serverEncoding(connection);
    fieldRows_ = readFieldRows(connection, database_, table_);
    fields_->setRowCount(0);
    fields_->setRowCount(static_cast<int>(fieldRows_.size()));
    for (size_t r = 0; r < fieldRows_.size(); ++r) {
        const FieldRow& row = fieldRows_[r];
        for (size_t c = 0; c < row.cells.size(); ++c)
            fields_->setItem(int(r), int(c), item(encoding, row.cells[c]));
        fields_->item(int(r), 0)->setIcon(QIcon(QString::fromLatin1(kFieldImages[int(keyImageOf(row.key))])));
    }

    keyListing_ = readKeyListing(connection, database_, table_);
    keys_->clear();
    keys_->setColumnCount(static_cast<int>(keyListing_.columns.size()));
    QStringList headings;
    for (const std::string& column : keyListing_.columns)
        headings << fromServer(encoding, column);
    keys_->setHorizontalHeaderLabels(headings);
    for (int i = 0; i < keys_->columnCount(); ++i)
        keys_->setColumnWidth(i, 100);
    keys_->setRowCount(static_cast<int>(keyListing_.rows.size()));
    for (size_t r = 0; r < keyListing_.rows.size(); ++r) {
        for (size_t c = 0; c < keyListing_.rows[r].size(); ++c)
            keys_->setItem(int(r), int(c), item(encoding, keyListing_.rows[r][c]));
    }
}

void StructureEditorForm::selectFieldRow(int row) {
    if (row < 0 || row >= static_cast<int>(fieldRows_.size()))
        return;
    const FieldRow& field = fieldRows_[size_t(row)];
    selectedFieldName_ = field.field;
    selectedType_ = field.type;
    selectedIsPrimary_ = field.key == "PRI";
    selectedField_->setText(fromServer(session_.connection(), field.field));
    primaryKey_->setChecked(field.key == "PRI");
    null_->setChecked(field.null == "YES");
}

void StructureEditorForm::selectKeyRow(int row) {
    if (row < 0 || row >= static_cast<int>(keyListing_.rows.size()))
        return;
    selectedKey_ = keyListing_.keyName(size_t(row));
    const std::string column = keyListing_.columnName(size_t(row));
    // The key's column with its own type, NULL and key state, so that Update never gives it those
    // of the column selected before.
    for (size_t i = 0; i < fieldRows_.size(); ++i) {
        if (fieldRows_[i].field == column) {
            selectFieldRow(static_cast<int>(i));
            return;
        }
    }
    selectedFieldName_ = column;
    selectedField_->setText(fromServer(session_.connection(), column));
}

void StructureEditorForm::forgetSelection() {
    selectedFieldName_.clear();
    selectedIsPrimary_ = false;
    selectedField_->clear();
    primaryKey_->setChecked(false);
    null_->setChecked(false);
}

void StructureEditorForm::update() {
    WaitCursor wait;
    if (!selectedField_->text().isEmpty()) {
        Connection& connection = session_.connection();
        const ServerEncoding client = serverEncoding(connection);
        const QByteArray newName = selectedField_->text().toUtf8();
        // The column keeps what the editor does not show: its definition is read as the server
        // writes it, and only the name, NULL and the primary key mark change.
        const std::optional<std::string> create = createTableText(connection, database_, table_);
        const std::string definition = updateDefinition(
            create ? columnDefinitionOf(*create, utf8FromClient(selectedFieldName_, client)) : std::nullopt,
            std::string_view(newName.constData(), size_t(newName.size())),
            utf8FromClient(selectedType_, client), null_->isChecked(),
            primaryKey_->isChecked() && !selectedIsPrimary_);
        const LosslessCharacterSet set(connection);
        if (connection.exec(set.wire(
                changeStatement(connection, utf8FromClient(database_, client), utf8FromClient(table_, client),
                                utf8FromClient(selectedFieldName_, client), definition)))) {
            selectedFieldName_ = toServer(client, selectedField_->text());
        } else {
            ui().message(formatUi(QStringLiteral("更新が出来ませんでした\n%d:%s"), connection.errorNumber(),
                                  set.fromWire(connection.errorText())));
        }
    }
    loadLists();
}

void StructureEditorForm::deleteField() {
    if (selectedFieldName_.empty())
        return;
    if (!ui().askYesNo(formatUi(QStringLiteral("このフィールド(%s)を削除してもよろしいですか？"),
                                fromServer(session_.connection(), selectedFieldName_))))
        return;
    Connection& connection = session_.connection();
    if (!connection.exec(dropFieldStatement(connection, database_, table_, selectedFieldName_)))
        ui().message(failureText("削除できませんでした\n%d:%s", connection));
    forgetSelection();
    loadLists();
}

void StructureEditorForm::deleteKey() {
    if (selectedKey_.empty())
        return;
    if (!ui().askYesNo(formatUi(QStringLiteral("このキー名(%s)を削除してもよろしいですか？"),
                                fromServer(session_.connection(), selectedKey_))))
        return;
    Connection& connection = session_.connection();
    if (!connection.exec(dropKeyStatement(connection, database_, table_, selectedKey_)))
        ui().message(failureText("削除できませんでした\n%d:%s", connection));
    loadLists();
}

void StructureEditorForm::addKey(KeyKind kind) {
    AddKeyForm form(session_, database_, table_, kind, kind == KeyKind::Primary ? "PRIMARY" : "", this);
    if (runModal(form) == QDialog::Accepted)
        loadLists();
}

void StructureEditorForm::addField() {
    AddFieldForm form(session_, database_, table_, this);
    if (runModal(form) == QDialog::Accepted)
        update();
}

void StructureEditorForm::changeField(int row) {
    if (row < 0 || row >= static_cast<int>(fieldRows_.size()))
        return;
    ChangeFieldForm form(session_, database_, table_, fieldRows_[size_t(row)].field, this);
    runModal(form);
    loadLists();
}

void StructureEditorForm::renameTable() {
    RenameTableForm form(session_, database_, table_, this);
    if (runModal(form) != QDialog::Accepted || form.tableName() == table_)
        return;
    table_ = form.tableName();
    renamed_ = table_;
    setTitle();
}

void StructureEditorForm::openTableOptions() {
    TableOptionsForm form(session_, database_, table_, this);
    runModal(form);
}

void StructureEditorForm::openMaintenance() {
    MaintenanceForm form(session_, database_, table_, this);
    runModal(form);
    loadLists();
}

void StructureEditorForm::openTableCopy() {
    TableCopyForm form(session_, database_, table_, this);
    runModal(form);
}

void StructureEditorForm::openDataInformation() {
    TableSizeForm form(session_, database_, table_, this);
    runModal(form);
}

bool StructureEditorForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == fields_ && key == Qt::Key_Delete) {
            deleteField();
            return true;
        }
        if (watched == fields_ && key == Qt::Key_Insert) {
            addField();
            return true;
        }
        if (watched == keys_ && key == Qt::Key_Delete) {
            deleteKey();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace dbk
