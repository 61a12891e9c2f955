#include "conn/host_form.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/name_rules.h"
#include "conn/text_codec.h"

namespace dbk {

HostForm::HostForm(const QString& directory, const std::string& presetName, QWidget* parent)
    : QDialog(parent),
      file_(QDir(directory).filePath(QString::fromLatin1(HostFile::kFileName))),
      openedName_(presetName),
      nameEdit_(new QLineEdit),
      userEdit_(new QLineEdit),
      passwordEdit_(new QLineEdit),
      hostEdit_(new QLineEdit),
      portEdit_(new QLineEdit) {
    setWindowTitle(isEditMode() ? msg(10024) : QStringLiteral("新規ホスト"));
    passwordEdit_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {nameEdit_, userEdit_, passwordEdit_, hostEdit_}) {
        edit->setMaxLength(static_cast<int>(HostFile::kTextFieldSize) - 1);
    }
    portEdit_->setMaxLength(static_cast<int>(HostFile::kPortFieldSize) - 1);

    auto* buttons = new QDialogButtonBox;
    createButton_ = buttons->addButton(QStringLiteral("作成"), QDialogButtonBox::AcceptRole);
    createButton_->setDefault(true);
    buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &HostForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &HostForm::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("表示名"), nameEdit_);
    layout->addRow(QStringLiteral("ユーザ名"), userEdit_);
    layout->addRow(QStringLiteral("パスワード"), passwordEdit_);
    layout->addRow(QStringLiteral("ホスト名"), hostEdit_);
    layout->addRow(QStringLiteral("ポート"), portEdit_);
    layout->addRow(buttons);

    if (isEditMode()) {
        nameEdit_->setText(toUi(openedName_));
        fillFromRecord(openedName_);
    }
    // Typing the name of a saved host brings its values.
    connect(nameEdit_, &QLineEdit::editingFinished, this,
            [this] { fillFromRecord(fromUi(nameEdit_->text())); });
}

void HostForm::fillFromRecord(const std::string& name) {
    if (const auto record = file_.find(name)) {
        hostEdit_->setText(toUi(record->host));
        portEdit_->setText(toUi(record->port));
        passwordEdit_->setText(toUi(record->password));
        userEdit_->setText(toUi(record->user));
    }
}

HostRecord HostForm::record() const {
    return HostRecord{fromUi(nameEdit_->text()), fromUi(hostEdit_->text()), fromUi(userEdit_->text()),
                      fromUi(passwordEdit_->text()), fromUi(portEdit_->text().trimmed())};
}

void HostForm::accept() {
    QString problem = folderFileNameProblem(nameEdit_->text());
    if (problem.isEmpty())
        problem = portProblem(portEdit_->text());
    if (!problem.isEmpty()) {
        ui().message(problem);
        return;
    }
    if (!confirm(10023))
        return;
    const HostRecord values = record();
    HostFile::Outcome outcome = HostFile::Outcome::NotFound;
    if (isEditMode())
        outcome = file_.replace(openedName_, values);
    // A host whose record is gone is saved anew rather than losing what was typed.
    if (outcome == HostFile::Outcome::NotFound)
        outcome = file_.append(values);
    if (outcome != HostFile::Outcome::Written)
        ui().message(msgf(20004, QDir::toNativeSeparators(file_.path())));
    QDialog::accept();
}

}  // namespace dbk
