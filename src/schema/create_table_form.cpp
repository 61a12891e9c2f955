#include "schema/create_table_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/report_list_widget.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "schema/field_panel_widget.h"

namespace dbk {

namespace {

constexpr int kStatementLines = 6;

// A box that the form shows but never opens (keys it does not offer).
template <class Widget>
Widget* shownDisabled(Widget* widget) {
    widget->setEnabled(false);
    return widget;
}

QLineEdit* namedBox(const QString& name) {
    auto* box = new QLineEdit;
    box->setAccessibleName(name);
    return shownDisabled(box);
}

}  // namespace

CreateTableForm::CreateTableForm(Session& session, const std::string& database, QWidget* parent)
    : QDialog(parent),
      session_(session),
      database_(database),
      tableName_("table1"),
      panel_(new FieldPanelWidget(PanelForm::CreateTable, serverEncoding(session.connection()))),
      primaryKey_(new QCheckBox(QStringLiteral("プライマリーキー"))),
      index_(new QCheckBox(QStringLiteral("インデックス"))),
      unique_(shownDisabled(new QCheckBox(QStringLiteral("一意制約")))),
      indexName_(namedBox(QStringLiteral("インデックス名"))),
      grid_(new QTableWidget(0, CreateTableModel::kColumnCount)),
      databaseEdit_(new QLineEdit(fromServer(session_.connection(), database))),
      tableNameEdit_(new QLineEdit(fromServer(session_.connection(), tableName_))),
      tableType_(new QComboBox),
      statement_(new QPlainTextEdit) {
    setWindowTitle(QStringLiteral("テーブル新規作成"));

    QStringList headings;
    for (int c = 0; c < CreateTableModel::kColumnCount; ++c)
        headings << msg(CreateTableModel::headingId(c));
    grid_->setHorizontalHeaderLabels(headings);
    for (int c = 0; c < CreateTableModel::kColumnCount; ++c)
        grid_->setColumnWidth(c, CreateTableModel::columnWidth(c));
    setUpReportList(grid_, false);
    grid_->setAccessibleName(windowTitle());
    grid_->installEventFilter(this);

    for (const std::string& type : CreateTableModel::tableTypes(session.generation()))
        tableType_->addItem(fromServer(session_.connection(), type));
    tableType_->setCurrentIndex(-1);
    databaseEdit_->installEventFilter(this);
    tableNameEdit_->installEventFilter(this);

    auto* top = new QHBoxLayout;
    top->addWidget(captionLabel(QStringLiteral("データベース"), databaseEdit_));
    top->addWidget(databaseEdit_);
    top->addWidget(captionLabel(QStringLiteral("テーブル名"), tableNameEdit_));
    top->addWidget(tableNameEdit_);
    top->addWidget(captionLabel(QStringLiteral("テーブルタイプ"), tableType_));
    top->addWidget(tableType_);

    QGridLayout* keys = panel_->extraArea();
    keys->addWidget(primaryKey_, 0, 0);
    keys->addWidget(index_, 0, 1);
    keys->addWidget(indexName_, 0, 2);
    keys->addWidget(unique_, 0, 3);
    keys->addWidget(namedBox(QStringLiteral("一意制約名")), 0, 4);
    keys->addWidget(shownDisabled(new QCheckBox(QStringLiteral("外部キー"))), 1, 0);
    keys->addWidget(namedBox(QStringLiteral("外部キー名")), 1, 1);
    keys->addWidget(shownDisabled(new QCheckBox(QStringLiteral("チェック"))), 1, 3);
    keys->addWidget(namedBox(QStringLiteral("チェック名")), 1, 4);
    keys->addWidget(shownDisabled(new QPushButton(QStringLiteral("..."))), 1, 5);

    auto* rowButtons = new QHBoxLayout;
    const std::pair<const char*, void (CreateTableForm::*)()> actions[] = {
        {"クリア", &CreateTableForm::clearClicked},
        {"挿入", nullptr},
        {"追加", nullptr},
        {"更新", &CreateTableForm::buildStatement},
        {"削除", &CreateTableForm::deleteClicked},
    };
    for (const auto& [caption, action] : actions) {
        auto* b = new QPushButton(QString::fromUtf8(caption));
        b->setAutoDefault(false);
        rowButtons->addWidget(b);
        buttons_.push_back(b);
        if (action)
            connect(b, &QPushButton::clicked, this, action);
    }
    connect(button(QStringLiteral("挿入")), &QPushButton::clicked, this, [this] { placeRow(true); });
    connect(button(QStringLiteral("追加")), &QPushButton::clicked, this, [this] { placeRow(false); });
    rowButtons->addStretch();

    auto* create = new QPushButton(QStringLiteral("作成"));
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    create->setDefault(true);
    cancel->setAutoDefault(false);
    buttons_.push_back(create);
    buttons_.push_back(cancel);
    connect(create, &QPushButton::clicked, this, &CreateTableForm::createClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* closeButtons = new QHBoxLayout;
    closeButtons->addStretch();
    closeButtons->addWidget(create);
    closeButtons->addWidget(cancel);

    // The statement takes a few lines and the grid of the columns the rest of the form's height
    // (at its own height the box left the grid about two rows).
    statement_->setMaximumHeight(
        statement_->fontMetrics().lineSpacing() * kStatementLines +
        2 * (statement_->frameWidth() + static_cast<int>(statement_->document()->documentMargin())));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(panel_);
    layout->addLayout(rowButtons);
    layout->addWidget(grid_, 1);
    layout->addWidget(captionLabel(QStringLiteral("クエリ－文"), statement_));
    layout->addWidget(statement_);
    layout->addLayout(closeButtons);
    resize(760, 640);

    connect(grid_, &QTableWidget::itemSelectionChanged, this, &CreateTableForm::rowSelected);
    connect(tableType_, &QComboBox::currentIndexChanged, this, &CreateTableForm::buildStatement);
}

std::string CreateTableForm::databaseName() const {
    return toServer(session_.connection(), databaseEdit_->text());
}

QPushButton* CreateTableForm::button(const QString& caption) const {
    for (QPushButton* b : buttons_) {
        if (b->text() == caption)
            return b;
    }
    return nullptr;
}

void CreateTableForm::selectRow(int row) {
    grid_->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CreateTableForm::rowSelected() {
    const int row = grid_->currentRow();
    if (row < 0 || row >= static_cast<int>(model_.rows().size()))
        return;
    selectedRow_ = row;
    const ColumnDefinition& c = model_.rows()[size_t(row)];
    panel_->load(c, false);
    primaryKey_->setChecked(c.primaryKey);
    index_->setChecked(c.index);
    panel_->applyTypeRule(false);
}

void CreateTableForm::fillGrid() {
    const QSignalBlocker blocker(grid_);
    const auto& rows = model_.rows();
    grid_->clearSelection();
    grid_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        for (int c = 0; c < CreateTableModel::kColumnCount; ++c) {
            grid_->setItem(r, c,
                           new QTableWidgetItem(fromServer(session_.connection(),
                                                           CreateTableModel::cellText(rows[size_t(r)], c))));
        }
    }
}

void CreateTableForm::clearClicked() {
    panel_->clear();
    indexName_->clear();
    for (QCheckBox* box : {primaryKey_, index_, unique_})
        box->setChecked(false);
    panel_->nameEdit()->setFocus();
}

void CreateTableForm::placeRow(bool insert) {
    ColumnDefinition row = panel_->definition();
    row.primaryKey = primaryKey_->isChecked();
    row.index = index_->isChecked();
    if (row.name.empty()) {
        ui().message(msg(10036));
        return;
    }
    if (const int existing = model_.findByName(row.name, serverEncoding(session_.connection()));
        existing >= 0) {
        if (!confirm(10037))
            return;
        model_.remove(existing);
    }
    // Before any row was selected, Insert adds at the end.
    model_.insert(insert ? selectedRow_ : -1, std::move(row));
    fillGrid();
    clearClicked();
    buildStatement();
    panel_->nameEdit()->setFocus();
}

void CreateTableForm::deleteClicked() {
    if (selectedRow_ < 0 || selectedRow_ >= static_cast<int>(model_.rows().size()))
        return;
    if (!confirm(10034))
        return;
    model_.remove(selectedRow_);
    selectedRow_ = -1;
    fillGrid();
}

void CreateTableForm::buildStatement() {
    tableName_ = toServer(session_.connection(), tableNameEdit_->text());
    const std::string type =
        tableType_->currentIndex() >= 0 ? toServer(session_.connection(), tableType_->currentText()) : "";
    statement_->setPlainText(fromServer(
        session_.connection(),
        model_.statement(session_.connection(), databaseName(), tableName_, type, session_.generation())));
}

void CreateTableForm::createClicked() {
    if (!confirm(10035, fromServer(session_.connection(), database_), tableNameEdit_->text()))
        return;
    Connection& connection = session_.connection();
    // The statement goes as the box holds it: the user may have written it by hand.
    if (!connection.exec(toServer(session_.connection(), statement_->toPlainText()))) {
        reportServerError(10005, connection);
        return;
    }
    tableName_ = toServer(session_.connection(), tableNameEdit_->text());
    accept();
}

bool CreateTableForm::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == databaseEdit_ || watched == tableNameEdit_) && event->type() == QEvent::FocusOut) {
        buildStatement();
    } else if (watched == grid_ && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        deleteClicked();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace dbk
