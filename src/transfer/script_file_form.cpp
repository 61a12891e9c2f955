#include "transfer/script_file_form.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/database_chooser_form.h"
#include "app/modal_runner.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "transfer/kanji_converter.h"
#include "transfer/script_reader.h"

namespace dbk {

namespace {

QPlainTextEdit* readOnlyText() {
    auto* edit = new QPlainTextEdit;
    edit->setReadOnly(true);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    return edit;
}

}  // namespace

ScriptFileForm::ScriptFileForm(Session& session, QWidget* parent)
    : QDialog(parent),
      session_(session),
      runner_(session.connection()),
      fileEdit_(new QLineEdit),
      fileBrowseButton_(new QPushButton(QStringLiteral("参照"))),
      databaseEdit_(new QLineEdit),
      databaseBrowseButton_(new QPushButton(QStringLiteral("参照"))),
      contentsView_(readOnlyText()),
      errorsView_(readOnlyText()),
      progressBar_(new QProgressBar),
      runButton_(new QPushButton(QStringLiteral("実行"))),
      cancelButton_(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"))) {
    setWindowTitle(QStringLiteral("ファイルからSQL文発行"));
    errorsView_->setLineWrapMode(QPlainTextEdit::WidgetWidth);  // server errors are long lines
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    runButton_->setDefault(true);
    runButton_->setAutoDefault(true);
    fileBrowseButton_->setAutoDefault(false);
    databaseBrowseButton_->setAutoDefault(false);
    cancelButton_->setAutoDefault(false);

    // The two browse buttons share their caption; their names say what they choose.
    fileBrowseButton_->setAccessibleName(QStringLiteral("ファイル名の参照"));
    databaseBrowseButton_->setAccessibleName(QStringLiteral("データベース名の参照"));
    auto* fields = new QGridLayout;
    fields->addWidget(captionLabel(QStringLiteral("ファイル名"), fileEdit_), 0, 0);
    fields->addWidget(fileEdit_, 0, 1);
    fields->addWidget(fileBrowseButton_, 0, 2);
    fields->addWidget(captionLabel(QStringLiteral("データベース名"), databaseEdit_), 1, 0);
    fields->addWidget(databaseEdit_, 1, 1);
    fields->addWidget(databaseBrowseButton_, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(runButton_);
    buttons->addWidget(cancelButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(captionLabel(QStringLiteral("ファイル内容"), contentsView_));
    layout->addWidget(contentsView_, 3);
    layout->addWidget(captionLabel(QStringLiteral("エラーメッセージ"), errorsView_));
    layout->addWidget(errorsView_, 2);
    layout->addWidget(progressBar_);
    layout->addLayout(buttons);
    resize(560, 480);

    connect(fileBrowseButton_, &QPushButton::clicked, this, &ScriptFileForm::browseFile);
    connect(databaseBrowseButton_, &QPushButton::clicked, this, &ScriptFileForm::browseDatabase);
    connect(runButton_, &QPushButton::clicked, this, &ScriptFileForm::runScript);
    connect(cancelButton_, &QPushButton::clicked, this, &ScriptFileForm::reject);

    runner_.setProgressHandler([this](int percent) { progressBar_->setValue(percent); });
    runner_.setErrorHandler([this](const std::string& error) { appendError(error); });
}

void ScriptFileForm::reject() {
    // Closing while the script runs stops it before its next statement instead.
    if (running_) {
        runner_.cancel();
        return;
    }
    QDialog::reject();
}

void ScriptFileForm::browseFile() {
    const QString current = fileEdit_->text();
    const QString directory = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
    const QString chosen = ui().chooseSaveFile(QString(), QStringLiteral("SQL文 (*.sql)"), directory, false);
    if (chosen.isEmpty())
        return;
    const QString path = withScriptExtension(chosen);
    fileEdit_->setText(path);
    showPreview(path);
}

void ScriptFileForm::showPreview(const QString& path) {
    const std::optional<std::string> start = ScriptReader::preview(path);
    // Shown in the code its start reads best in (the run looks at the whole file).
    contentsView_->setPlainText(start ? decodeKanji(*start, KanjiConverter().recognise(*start)) : QString());
}

void ScriptFileForm::browseDatabase() {
    DatabaseChooserForm chooser(session_, this);
    if (runModal(chooser) != QDialog::Accepted || !chooser.chosen())
        return;
    databaseEdit_->setText(fromServer(session_.connection(), *chooser.chosen()));
}

void ScriptFileForm::runScript() {
    if (running_)
        return;
    running_ = true;
    setInputsEnabled(false);
    const CancellableRun cancellable;
    runner_.run(fileEdit_->text(), toServer(session_.connection(), databaseEdit_->text()));
    running_ = false;
    setInputsEnabled(true);
}

void ScriptFileForm::setInputsEnabled(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(fileEdit_), static_cast<QWidget*>(fileBrowseButton_),
                       static_cast<QWidget*>(databaseEdit_), static_cast<QWidget*>(databaseBrowseButton_),
                       static_cast<QWidget*>(runButton_)}) {
        w->setEnabled(enabled);
    }
}

void ScriptFileForm::appendError(const std::string& errorText) {
    QTextCursor end(errorsView_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(fromServer(session_.connection(), errorText) + u'\n');
}

}  // namespace dbk
