#include "app/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/main_frame.h"
#include "app/ui_services.h"
#include "browser/dbkeeper_view.h"

namespace dbk {

FindDialog::FindDialog(CMainFrame& frame)
    : QDialog(&frame),
      frame_(frame),
      textEdit_(new QLineEdit),
      wholeWordBox_(new QCheckBox(QStringLiteral("単語単位で探す"))),
      matchCaseBox_(new QCheckBox(QStringLiteral("大文字と小文字を区別する"))),
      upButton_(new QRadioButton(QStringLiteral("上へ"))),
      downButton_(new QRadioButton(QStringLiteral("下へ"))),
      findNextButton_(new QPushButton(QStringLiteral("次を検索"))),
      cancelButton_(new QPushButton(QStringLiteral("キャンセル"))) {
    setWindowTitle(QStringLiteral("検索"));
    setModal(false);
    setObjectName(QStringLiteral("findDialog"));

    auto* label = new QLabel(QStringLiteral("検索する文字列"));
    label->setBuddy(textEdit_);
    downButton_->setChecked(true);
    auto* directionBox = new QGroupBox(QStringLiteral("方向"));
    auto* directionLayout = new QHBoxLayout(directionBox);
    directionLayout->addWidget(upButton_);
    directionLayout->addWidget(downButton_);

    findNextButton_->setDefault(true);
    // Like the desktop's find dialog: nothing to find while the text is empty.
    findNextButton_->setEnabled(false);
    connect(textEdit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { findNextButton_->setEnabled(!text.isEmpty()); });
    connect(findNextButton_, &QPushButton::clicked, this, &FindDialog::findNext);
    connect(cancelButton_, &QPushButton::clicked, this, &FindDialog::reject);

    auto* options = new QVBoxLayout;
    options->addWidget(wholeWordBox_);
    options->addWidget(matchCaseBox_);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findNextButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch();

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(textEdit_, 0, 1, 1, 2);
    layout->addLayout(options, 1, 0, 1, 2, Qt::AlignBottom);
    layout->addWidget(directionBox, 1, 2);
    layout->addLayout(buttons, 0, 3, 2, 1);
}

FindDialog* FindDialog::showFor(CMainFrame& frame) {
    auto* dialog = frame.findChild<FindDialog*>(QString(), Qt::FindDirectChildrenOnly);
    if (!dialog)
        dialog = new FindDialog(frame);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    dialog->textEdit_->setFocus();
    dialog->textEdit_->selectAll();
    return dialog;
}

RowSearchRequest FindDialog::request() const {
    RowSearchRequest r;
    r.text = textEdit_->text();
    r.direction = upButton_->isChecked() ? SearchDirection::Up : SearchDirection::Down;
    r.matchCase = matchCaseBox_->isChecked();
    r.wholeWord = wholeWordBox_->isChecked();
    return r;
}

void FindDialog::findNext() {
    CDbkeeperView* list = frame_.recordList();
    if (!list)
        return;
    const auto cellText = [list](int row, int column) {
        const QTableWidgetItem* cell = list->item(row, column);
        return cell ? cell->text() : QString();
    };
    const RowSearchOutcome outcome =
        searchRows(cellText, list->rowCount(), list->columnCount(), list->hotRow(), request());
    switch (outcome.kind) {
        case RowSearchOutcome::Found:
            list->setHotRow(outcome.row);
            list->scrollTo(list->model()->index(outcome.row, 0));
            break;
        case RowSearchOutcome::NoFurther:
            ui().message(QString::fromUtf8(kNoFurtherText));
            break;
        case RowSearchOutcome::NotFound:
            ui().message(QString::fromUtf8(kNotFoundText));
            break;
    }
}

}  // namespace dbk
