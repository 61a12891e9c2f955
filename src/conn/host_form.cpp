#include "conn/host_form.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/name_rules.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {
// A value the Shift_JIS host file cannot hold.
constexpr int kNotShiftJisMessage = 22401;
}  // namespace

HostForm::HostForm(const QString& directory, const std::string& presetName, QWidget* parent)
    : QDialog(parent),
      file_(QDir(directory).filePath(QString::fromLatin1(HostFile::kFileName))),
      openedName_(presetName),
      nameEdit_(new QLineEdit),
      userEdit_(new QLineEdit),
      passwordEdit_(new QLineEdit),
      hostEdit_(new QLineEdit),
      portEdit_(new QLineEdit),
      securityCombo_(new QComboBox),
      characterSetCombo_(new QComboBox),
      caFileEdit_(new QLineEdit),
      caFileButton_(new QPushButton(QStringLiteral("参照..."))) {
    setWindowTitle(isEditMode() ? msg(10024) : QStringLiteral("新規ホスト"));
    passwordEdit_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {nameEdit_, userEdit_, passwordEdit_, hostEdit_}) {
        edit->setMaxLength(static_cast<int>(HostFile::kTextFieldSize) - 1);
    }
    portEdit_->setMaxLength(static_cast<int>(HostFile::kPortFieldSize) - 1);
    securityCombo_->addItem(QStringLiteral("可能なら暗号化"), static_cast<int>(TlsMode::Preferred));
    securityCombo_->addItem(QStringLiteral("暗号化必須"), static_cast<int>(TlsMode::Required));
    securityCombo_->addItem(QStringLiteral("暗号化と証明書の検証"), static_cast<int>(TlsMode::Verified));
    characterSetCombo_->addItem(QStringLiteral("自動"), static_cast<int>(SessionText::Automatic));
    characterSetCombo_->addItem(QStringLiteral("Shift_JIS"), static_cast<int>(SessionText::ShiftJis));
    characterSetCombo_->addItem(QStringLiteral("UTF-8"), static_cast<int>(SessionText::Utf8));
    caFileButton_->setAccessibleName(caFileButton_->text());
    connect(securityCombo_, &QComboBox::currentIndexChanged, this, [this] { updateCaFileState(); });
    connect(caFileButton_, &QPushButton::clicked, this, &HostForm::chooseCaFile);
    auto* caFileRow = new QHBoxLayout;
    caFileRow->addWidget(caFileEdit_, 1);
    caFileRow->addWidget(caFileButton_);

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
    layout->addRow(QStringLiteral("暗号化"), securityCombo_);
    layout->addRow(QStringLiteral("CA ファイル"), caFileRow);
    if (auto* caption = qobject_cast<QLabel*>(layout->labelForField(caFileRow)))
        caption->setBuddy(caFileEdit_);
    layout->addRow(QStringLiteral("文字コード"), characterSetCombo_);
    layout->addRow(buttons);

    updateCaFileState();
    if (isEditMode()) {
        nameEdit_->setText(fromShiftJis(openedName_));
        fillFromRecord(openedName_);
    }
    // Typing the name of a saved host brings its values.
    connect(nameEdit_, &QLineEdit::editingFinished, this,
            [this] { fillFromRecord(toShiftJis(nameEdit_->text())); });
}

void HostForm::fillFromRecord(const std::string& name) {
    if (const auto record = file_.find(name)) {
        hostEdit_->setText(fromShiftJis(record->host));
        portEdit_->setText(fromShiftJis(record->port));
        passwordEdit_->setText(fromShiftJis(record->password));
        userEdit_->setText(fromShiftJis(record->user));
        QSettings settings;
        setSecurity(HostSecurity::read(settings, name));
    }
}

HostSecurity HostForm::security() const {
    return HostSecurity{static_cast<TlsMode>(securityCombo_->currentData().toInt()), caFileEdit_->text(),
                        static_cast<SessionText>(characterSetCombo_->currentData().toInt())};
}

void HostForm::setSecurity(const HostSecurity& security) {
    const int index = securityCombo_->findData(static_cast<int>(security.mode));
    securityCombo_->setCurrentIndex(index < 0 ? 0 : index);
    caFileEdit_->setText(security.caFile);
    const int text = characterSetCombo_->findData(static_cast<int>(security.text));
    characterSetCombo_->setCurrentIndex(text < 0 ? 0 : text);
}

void HostForm::updateCaFileState() {
    const bool verified = security().mode == TlsMode::Verified;
    caFileEdit_->setEnabled(verified);
    caFileButton_->setEnabled(verified);
}

void HostForm::chooseCaFile() {
    const QString start = caFileEdit_->text().isEmpty() ? QString() : QFileInfo(caFileEdit_->text()).path();
    const QString chosen = ui().chooseOpenFile(
        QStringLiteral("CA ファイル"), QStringLiteral("証明書 (*.pem *.crt *.cer);;すべて (*)"), start);
    if (!chosen.isEmpty())
        caFileEdit_->setText(chosen);
}

HostRecord HostForm::record() const {
    return HostRecord{toShiftJis(nameEdit_->text()), toShiftJis(hostEdit_->text()),
                      toShiftJis(userEdit_->text()), toShiftJis(passwordEdit_->text()),
                      toShiftJis(portEdit_->text().trimmed())};
}

void HostForm::accept() {
    QString problem = folderFileNameProblem(nameEdit_->text());
    // The host file is Shift_JIS: a character it cannot hold would be saved as something else.
    const std::pair<QLineEdit*, QString> fields[] = {{userEdit_, QStringLiteral("ユーザ名")},
                                                     {passwordEdit_, QStringLiteral("パスワード")},
                                                     {hostEdit_, QStringLiteral("ホスト名")}};
    for (const auto& [edit, caption] : fields) {
        if (problem.isEmpty() && !fitsShiftJis(edit->text()))
            problem = msgf(kNotShiftJisMessage, caption);
    }
    if (problem.isEmpty())
        problem = portProblem(portEdit_->text());
    if (problem.isEmpty())
        problem = security().problem();
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
    if (outcome != HostFile::Outcome::Written) {
        ui().message(msgf(20004, QDir::toNativeSeparators(file_.path())));
    } else {
        QSettings settings;
        if (isEditMode() && openedName_ != values.name)
            HostSecurity::remove(settings, openedName_);
        HostSecurity::write(settings, values.name, security());
    }
    QDialog::accept();
}

}  // namespace dbk
