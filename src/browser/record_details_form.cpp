#include "browser/record_details_form.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/report_list_widget.h"
#include "app/ui_services.h"
#include "browser/table_size_form.h"
#include "conn/session.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {
constexpr int kUpdateFailed = 10012;
constexpr int kConfirmDelete = 10034;
constexpr int kRecordNotFound = 20233;
constexpr int kBadHex = 20240;
constexpr int kNotShiftJis = 20241;
// The list shows the start of a long value; the contents box shows all of it.
constexpr qsizetype kListPreviewLength = 1000;

QString listPreview(const QString& text) {
    return text.size() <= kListPreviewLength ? text : text.left(kListPreviewLength) + QChar(0x2026);
}
}  // namespace

RecordDetailsForm::RecordDetailsForm(Session& session, const std::string& database, const std::string& table,
                                     const Row& values, QWidget* parent)
    : QDialog(parent),
      session_(session),
      details_(session.connection(), database, table, values),
      images_{QIcon(QStringLiteral(":/icons/field_primary.svg")),
              QIcon(QStringLiteral(":/icons/field_index.svg")),
              QIcon(QStringLiteral(":/icons/field_other.svg"))},
      list_(new QTableWidget(this)),
      nameEdit_(new QLineEdit(this)),
      typeEdit_(new QLineEdit(this)),
      keyEdit_(new QLineEdit(this)),
      contentsEdit_(new QPlainTextEdit(this)),
      remarkEdit_(new QLineEdit(this)),
      closeButton_(new QPushButton(QStringLiteral("閉じる"), this)),
      dataInfoButton_(new QPushButton(QStringLiteral("データ量の情報"), this)),
      deleteButton_(new QPushButton(QStringLiteral("削除"), this)),
      updateButton_(new QPushButton(QStringLiteral("更新"), this)) {
    setWindowTitle(QStringLiteral("レコード明細"));
    for (QLineEdit* readOnly : {nameEdit_, typeEdit_, keyEdit_, remarkEdit_})
        readOnly->setReadOnly(true);

    list_->setColumnCount(4);
    list_->setHorizontalHeaderLabels({msg(10128), msg(10129), msg(10130), msg(10131)});
    const int widths[] = {150, 100, 70, 250};
    for (int c = 0; c < 4; ++c)
        list_->setColumnWidth(c, widths[c]);
    setUpReportList(list_, false);
    list_->setIconSize(QSize(16, 16));
    list_->setAccessibleName(windowTitle());
    // Long values are shown whole; the box wraps them instead of cutting them.
    contentsEdit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    contentsEdit_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    contentsEdit_->setTabChangesFocus(true);

    auto* boxes = new QFormLayout;
    auto addBox = [this, boxes](const QString& caption, QWidget* box) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(box);
        box->setAccessibleName(caption);
        boxes->addRow(label, box);
    };
    addBox(msg(10128), nameEdit_);
    addBox(msg(10129), typeEdit_);
    addBox(msg(10130), keyEdit_);
    addBox(msg(10131), contentsEdit_);
    addBox(QStringLiteral("備考"), remarkEdit_);
    for (QPushButton* button : {closeButton_, dataInfoButton_, deleteButton_, updateButton_})
        button->setAccessibleName(button->text());
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(dataInfoButton_);
    buttons->addStretch(1);
    buttons->addWidget(deleteButton_);
    buttons->addWidget(updateButton_);
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(boxes, 1);
    layout->addLayout(buttons);
    resize(620, 560);

    connect(list_, &QTableWidget::currentCellChanged, this, [this](int row) { showSelectedRow(row); });
    connect(updateButton_, &QPushButton::clicked, this, &RecordDetailsForm::updateClicked);
    connect(deleteButton_, &QPushButton::clicked, this, &RecordDetailsForm::deleteClicked);
    connect(closeButton_, &QPushButton::clicked, this, &RecordDetailsForm::closeClicked);
    connect(dataInfoButton_, &QPushButton::clicked, this, [this] {
        TableSizeForm sizes(session_, details_.database(), details_.table(), this);
        runModal(sizes);
    });
    fill();
}

void RecordDetailsForm::fill() {
    const int keep = selectedRow_;
    list_->setRowCount(0);
    details_.load();
    const auto& fields = details_.fields();
    list_->setRowCount(static_cast<int>(fields.size()));
    for (int r = 0; r < static_cast<int>(fields.size()); ++r) {
        const FieldDescription& field = fields[size_t(r)];
        auto* name = new QTableWidgetItem(fromServer(details_.connection(), field.name));
        name->setIcon(images_[static_cast<size_t>(fieldImage(field.key))]);
        list_->setItem(r, 0, name);
        list_->setItem(r, 1, new QTableWidgetItem(fromServer(details_.connection(), field.type)));
        list_->setItem(r, 2, new QTableWidgetItem(fromServer(details_.connection(), field.key)));
        list_->setItem(r, 3, new QTableWidgetItem(listPreview(details_.shownValue(size_t(r)).text)));
    }
    // Without a key no statement could be sure to hit this one record.
    deleteButton_->setVisible(details_.hasKey());
    updateButton_->setVisible(details_.hasKey());
    if (keep >= 0 && keep < list_->rowCount()) {
        selectField(keep);
    } else {
        showSelectedRow(-1);
    }
}

void RecordDetailsForm::selectField(int row) {
    list_->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    showSelectedRow(row);
}

void RecordDetailsForm::showSelectedRow(int row) {
    const auto& fields = details_.fields();
    selectedRow_ = row >= 0 && row < static_cast<int>(fields.size()) ? row : -1;
    if (selectedRow_ < 0) {
        for (QLineEdit* edit : {nameEdit_, typeEdit_, keyEdit_, remarkEdit_})
            edit->clear();
        contentsEdit_->clear();
        contentsEdit_->setPlaceholderText(QString());
        return;
    }
    const FieldDescription& field = fields[size_t(selectedRow_)];
    nameEdit_->setText(fromServer(details_.connection(), field.name));
    typeEdit_->setText(fromServer(details_.connection(), field.type));
    keyEdit_->setText(fromServer(details_.connection(), field.key));
    const ShownValue shown = details_.shownValue(size_t(selectedRow_));
    const bool hex = shown.form == ShownValue::Form::Hex;
    contentsEdit_->setFont(hex ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont());
    contentsEdit_->setPlaceholderText(shown.null ? QStringLiteral("NULL") : QString());
    contentsEdit_->setPlainText(shown.text);
    remarkEdit_->setText(fromServer(details_.connection(), field.extra));
}

void RecordDetailsForm::updateClicked() {
    if (selectedRow_ < 0)
        return;
    // Only a value the user changed is sent; the box may show it as hex.
    switch (details_.change(size_t(selectedRow_), contentsEdit_->toPlainText())) {
        case RecordDetails::Outcome::Done:
            fill();
            break;
        case RecordDetails::Outcome::Failed:
            reportServerError(kUpdateFailed, details_.connection());
            break;
        case RecordDetails::Outcome::NotFound:
            ui().message(msg(kUpdateFailed) + u'\n' + msg(kRecordNotFound));
            break;
        case RecordDetails::Outcome::BadHex:
            ui().message(msg(kBadHex));
            break;
        case RecordDetails::Outcome::NotShiftJis:
            ui().message(msg(kNotShiftJis));
            break;
        case RecordDetails::Outcome::NoKey:
        case RecordDetails::Outcome::Unchanged:
            break;
    }
}

void RecordDetailsForm::deleteClicked() {
    if (!confirm(kConfirmDelete))
        return;
    const QString failed = QStringLiteral("削除に失敗しました");
    switch (details_.remove()) {
        case RecordDetails::Outcome::Done:
            accept();
            break;
        case RecordDetails::Outcome::Failed:
            ui().message(failed + u'\n' +
                         formatUi(QStringLiteral("%d:%s"), details_.connection().errorNumber(),
                                  fromServer(details_.connection(), details_.connection().errorText())));
            break;
        case RecordDetails::Outcome::NotFound:
            ui().message(failed + u'\n' + msg(kRecordNotFound));
            break;
        case RecordDetails::Outcome::NoKey:
        case RecordDetails::Outcome::Unchanged:
        case RecordDetails::Outcome::BadHex:
        case RecordDetails::Outcome::NotShiftJis:
            break;
    }
}

void RecordDetailsForm::closeClicked() {
    if (details_.updated()) {
        accept();
    } else {
        reject();
    }
}

}  // namespace dbk
