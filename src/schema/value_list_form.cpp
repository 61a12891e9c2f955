#include "schema/value_list_form.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/ui_services.h"

namespace dbk {

ValueListForm::ValueListForm(const QString& valueList, QWidget* parent)
    : QDialog(parent),
      values_(valueList),
      value_(new QLineEdit),
      list_(new QListWidget),
      add_(new QPushButton(QStringLiteral("追加"))),
      edit_(new QPushButton(QStringLiteral("編集"))),
      delete_(new QPushButton(QStringLiteral("削除"))),
      ok_(new QPushButton(QStringLiteral("OK"))) {
    setWindowTitle(QStringLiteral("挙列データの編集"));
    list_->setAccessibleName(windowTitle());
    list_->installEventFilter(this);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    // Enter in the value box adds the value rather than closing the editor.
    ok_->setAutoDefault(false);
    cancel->setAutoDefault(false);
    add_->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addWidget(captionLabel(QStringLiteral("値"), value_));
    top->addWidget(value_, 1);
    auto* itemButtons = new QHBoxLayout;
    for (QPushButton* b : {add_, edit_, delete_})
        itemButtons->addWidget(b);
    auto* closeButtons = new QHBoxLayout;
    closeButtons->addStretch();
    closeButtons->addWidget(ok_);
    closeButtons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(itemButtons);
    layout->addWidget(list_, 1);
    layout->addLayout(closeButtons);

    connect(add_, &QPushButton::clicked, this, &ValueListForm::addClicked);
    connect(edit_, &QPushButton::clicked, this, &ValueListForm::editClicked);
    connect(delete_, &QPushButton::clicked, this, &ValueListForm::deleteClicked);
    connect(list_, &QListWidget::itemSelectionChanged, this, &ValueListForm::itemSelected);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    fillList();
    enableItemButtons(false);
}

void ValueListForm::fillList() {
    const QSignalBlocker blocker(list_);
    list_->clear();
    list_->addItems(values_.items());
}

void ValueListForm::enableItemButtons(bool enabled) {
    edit_->setEnabled(enabled);
    delete_->setEnabled(enabled);
}

void ValueListForm::itemSelected() {
    const int row = list_->currentRow();
    if (row < 0)
        return;
    values_.select(row);
    value_->setText(values_.items()[row]);
    enableItemButtons(true);
}

void ValueListForm::addClicked() {
    switch (values_.add(value_->text())) {
        case ValueList::AddOutcome::Ignored:
            return;
        case ValueList::AddOutcome::Refused:
            ui().message(QStringLiteral("Error!!"));
            return;
        case ValueList::AddOutcome::Added:
            fillList();
            value_->clear();
            value_->setFocus();
            return;
    }
}

void ValueListForm::editClicked() {
    afterChange(values_.edit(value_->text()));
}

void ValueListForm::deleteClicked() {
    afterChange(values_.remove(value_->text()));
}

void ValueListForm::afterChange(ValueList::ChangeOutcome outcome) {
    switch (outcome) {
        case ValueList::ChangeOutcome::Ignored:
            return;
        case ValueList::ChangeOutcome::Lost:
            enableItemButtons(false);
            return;
        case ValueList::ChangeOutcome::Done:
            fillList();
            value_->clear();
            enableItemButtons(false);
            value_->setFocus();
            return;
    }
}

bool ValueListForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::FocusIn && list_->count() > 0)
        enableItemButtons(true);
    return QDialog::eventFilter(watched, event);
}

}  // namespace dbk
