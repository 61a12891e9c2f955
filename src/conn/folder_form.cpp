#include "conn/folder_form.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "app/ui_services.h"
#include "conn/name_rules.h"

namespace dbk {

FolderForm::FolderForm(const QString& presetName, QWidget* parent)
    : QDialog(parent), nameEdit_(new QLineEdit) {
    setWindowTitle(QStringLiteral("フォルダ"));
    nameEdit_->setText(presetName);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &FolderForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FolderForm::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("フォルダ名"), nameEdit_);
    layout->addRow(buttons);
}

QString FolderForm::name() const {
    return nameEdit_->text();
}

void FolderForm::accept() {
    if (const QString problem = folderFileNameProblem(name()); !problem.isEmpty()) {
        ui().message(problem);
        return;
    }
    QDialog::accept();
}

}  // namespace dbk
