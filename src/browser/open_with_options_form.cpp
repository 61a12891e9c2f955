#include "browser/open_with_options_form.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace dbk {

namespace {
QGroupBox* choiceGroup(const QString& title, QRadioButton* first, QRadioButton* second) {
    auto* group = new QGroupBox(title);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(first);
    layout->addWidget(second);
    first->setChecked(true);
    return group;
}
}  // namespace

OpenWithOptionsForm::OpenWithOptionsForm(QWidget* parent)
    : QDialog(parent),
      fromList_(new QRadioButton(QStringLiteral("リストから"))),
      fromTable_(new QRadioButton(QStringLiteral("テーブルから"))),
      fieldsAndData_(new QRadioButton(QStringLiteral("フィールド＋データ"))),
      dataOnly_(new QRadioButton(QStringLiteral("データ"))) {
    setWindowTitle(QStringLiteral("関連付けされたアプリケーションのオプション"));
    auto* groups = new QHBoxLayout;
    groups->addWidget(choiceGroup(QStringLiteral("出力するデータ"), fromList_, fromTable_));
    groups->addWidget(choiceGroup(QStringLiteral("出力する項目"), fieldsAndData_, dataOnly_));
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &OpenWithOptionsForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OpenWithOptionsForm::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(buttons);
}

OpenWithOptions OpenWithOptionsForm::options() const {
    OpenWithOptions options;
    options.fromTable = fromTable_->isChecked();
    options.withFieldNames = fieldsAndData_->isChecked();
    return options;
}

}  // namespace dbk
