#include "schema/field_panel_widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/modal_runner.h"
#include "conn/text_codec.h"
#include "schema/value_list_form.h"

namespace dbk {

namespace {

void change(QWidget* box, BoxChange how) {
    if (!box)
        return;
    switch (how) {
        case BoxChange::Enable:
            box->setEnabled(true);
            break;
        case BoxChange::Clear:
            if (auto* check = qobject_cast<QCheckBox*>(box))
                check->setChecked(false);
            if (auto* edit = qobject_cast<QLineEdit*>(box))
                edit->clear();
            box->setEnabled(false);
            break;
        case BoxChange::Disable:
            box->setEnabled(false);
            break;
        case BoxChange::Keep:
            break;
    }
}

}  // namespace

FieldPanelWidget::FieldPanelWidget(PanelForm form, ServerEncoding encoding, QWidget* parent)
    : QGroupBox(parent),
      encoding_(encoding),
      form_(form),
      name_(new QLineEdit),
      type_(new QComboBox),
      lengthLabel_(nullptr),
      length_(new QLineEdit),
      list_(new QPushButton(QStringLiteral("List"))),
      default_(new QLineEdit),
      unsigned_(new QCheckBox(QStringLiteral("UNSIGNED"))),
      zerofill_(new QCheckBox(QStringLiteral("ZEROFILL"))),
      binary_(new QCheckBox(QStringLiteral("BINARY"))),
      null_(new QCheckBox(QStringLiteral("NULL"))),
      extra_(new QGridLayout) {
    const bool change = form == PanelForm::ChangeField;
    setTitle(change ? QStringLiteral("変更したいフィールド情報") : QStringLiteral("フィールド設定"));
    if (!change)
        autoIncrement_ = new QCheckBox(QStringLiteral("AUTO_INC"));
    name_->setReadOnly(change);
    for (const std::string& type : typeCatalogue())
        type_->addItem(QString::fromLatin1(type.c_str()));
    type_->setCurrentIndex(-1);
    type_->installEventFilter(this);
    lengthLabel_ = captionLabel(QString::fromUtf8(lengthCaption("")), length_);
    list_->hide();

    auto* grid = new QGridLayout;
    grid->addWidget(captionLabel(QStringLiteral("フィールド名"), name_), 0, 0);
    grid->addWidget(name_, 0, 1, 1, 2);
    grid->addWidget(captionLabel(change ? QStringLiteral("タイプ") : QStringLiteral("データ型"), type_), 1,
                    0);
    grid->addWidget(type_, 1, 1, 1, 2);
    grid->addWidget(lengthLabel_, 2, 0);
    grid->addWidget(length_, 2, 1);
    grid->addWidget(list_, 2, 2);
    grid->addWidget(
        captionLabel(change ? QStringLiteral("デフォルト") : QStringLiteral("デフォルト値"), default_), 3, 0);
    grid->addWidget(default_, 3, 1, 1, 2);
    auto* boxes = new QHBoxLayout;
    for (QCheckBox* box : {unsigned_, zerofill_, binary_, autoIncrement_, null_}) {
        if (box)
            boxes->addWidget(box);
    }
    boxes->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(boxes);
    layout->addLayout(extra_);

    connect(type_, &QComboBox::currentIndexChanged, this, [this] { typeChosen(); });
    connect(list_, &QPushButton::clicked, this, &FieldPanelWidget::editValueList);
}

QString FieldPanelWidget::typeText() const {
    return type_->currentIndex() >= 0 ? type_->currentText() : QString();
}

ColumnDefinition FieldPanelWidget::definition() const {
    ColumnDefinition c;
    c.name = toServer(encoding_, name_->text());
    c.type = toServer(encoding_, typeText());
    c.length = toServer(encoding_, length_->text());
    c.defaultValue = toServer(encoding_, default_->text());
    c.isUnsigned = unsigned_->isChecked();
    c.zerofill = zerofill_->isChecked();
    c.binary = binary_->isChecked();
    c.autoIncrement = autoIncrement_ && autoIncrement_->isChecked();
    c.null = null_->isChecked();
    return c;
}

void FieldPanelWidget::load(const ColumnDefinition& c, bool withBinaryAndAutoIncrement) {
    name_->setText(fromServer(encoding_, c.name));
    type_->setCurrentIndex(
        type_->findText(fromServer(encoding_, c.type), Qt::MatchExactly | Qt::MatchCaseSensitive));
    length_->setText(fromServer(encoding_, c.length));
    default_->setText(fromServer(encoding_, c.defaultValue));
    unsigned_->setChecked(c.isUnsigned);
    zerofill_->setChecked(c.zerofill);
    null_->setChecked(c.null);
    if (withBinaryAndAutoIncrement) {
        binary_->setChecked(c.binary);
        if (autoIncrement_)
            autoIncrement_->setChecked(c.autoIncrement);
    }
}

void FieldPanelWidget::clear() {
    name_->clear();
    type_->setCurrentIndex(-1);
    length_->clear();
    default_->clear();
    for (QCheckBox* box : {unsigned_, zerofill_, binary_, autoIncrement_, null_}) {
        if (box)
            box->setChecked(false);
    }
}

void FieldPanelWidget::applyTypeRule(bool moveFocus) {
    const std::optional<PanelRule> rule = panelRule(form_, toServer(encoding_, typeText()));
    if (!rule)
        return;
    change(unsigned_, rule->unsignedAndZerofill);
    change(zerofill_, rule->unsignedAndZerofill);
    change(binary_, rule->binary);
    change(length_, rule->length);
    change(default_, rule->defaultValue);
    change(autoIncrement_, rule->autoIncrement);
    if (!moveFocus)
        return;
    switch (rule->focus) {
        case PanelFocus::Length:
            length_->setFocus();
            break;
        case PanelFocus::Default:
            default_->setFocus();
            break;
        case PanelFocus::Null:
            null_->setFocus();
            break;
        case PanelFocus::Stay:
            break;
    }
}

void FieldPanelWidget::typeChosen() {
    const std::string type = toServer(encoding_, typeText());
    list_->setVisible(takesValueList(type));
    const QString caption = QString::fromUtf8(lengthCaption(type));
    lengthLabel_->setText(caption);
    length_->setAccessibleName(caption);
}

void FieldPanelWidget::editValueList() {
    ValueListForm editor(length_->text(), this);
    if (runModal(editor) == QDialog::Accepted)
        length_->setText(editor.result());
}

bool FieldPanelWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == type_) {
        if (event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            applyTypeRule(true);
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            type_->showPopup();
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

}  // namespace dbk
