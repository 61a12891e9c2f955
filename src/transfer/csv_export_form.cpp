#include "transfer/csv_export_form.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/cancel.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "transfer/csv_export.h"

namespace dbk {

namespace {

// A list of the two texts, sorted, with the first message's entry current.
void fillList(QComboBox& list, int firstId, int secondId) {
    QStringList entries{msg(firstId), msg(secondId)};
    entries.sort();
    list.addItems(entries);
    list.setCurrentIndex(list.findText(msg(firstId)));
}

// The file's character codes as the list offers them, the default first.
constexpr CsvFormat::Encoding kEncodings[] = {CsvFormat::Encoding::ShiftJis, CsvFormat::Encoding::Utf8};

// A caption for a control: the label is its buddy, and the control is known by the caption.
QLabel* captionFor(const QString& caption, QWidget* control) {
    auto* label = new QLabel(caption);
    label->setBuddy(control);
    control->setAccessibleName(caption);
    return label;
}

void nameAfterText(std::initializer_list<QAbstractButton*> buttons) {
    for (QAbstractButton* button : buttons)
        button->setAccessibleName(button->text());
}

}  // namespace

CsvExportForm::CsvExportForm(Session& session, const std::string& database, const std::string& table,
                             const std::string& statement, QWidget* parent)
    : QDialog(parent), session_(session), database_(database), table_(table), statement_(statement) {
    setWindowTitle(QStringLiteral("CSV形式への出力"));
    buildControls();

    ready_ = false;
    exporting_ = false;
    defaultSeparatorRadio_->setChecked(true);
    defaultQuoteRadio_->setChecked(true);
    fillList(*quoteList_, 10046, 10047);
    fillList(*separatorList_, 10049, 10050);
    ready_ = true;
    queryEdit_->setPlainText(fromServer(session_.connection(), statement_));

    connect(separatorList_, &QComboBox::currentIndexChanged, this, &CsvExportForm::optionsChanged);
    connect(quoteList_, &QComboBox::currentIndexChanged, this, &CsvExportForm::optionsChanged);
    for (QRadioButton* radio :
         {defaultSeparatorRadio_, userSeparatorRadio_, defaultQuoteRadio_, userQuoteRadio_}) {
        connect(radio, &QRadioButton::clicked, this, &CsvExportForm::optionsChanged);
    }
    connect(userSeparatorEdit_, &QLineEdit::textChanged, this, &CsvExportForm::optionsChanged);
    connect(userQuoteEdit_, &QLineEdit::textChanged, this, &CsvExportForm::optionsChanged);
    connect(encodingList_, &QComboBox::currentIndexChanged, this, &CsvExportForm::optionsChanged);
    connect(browseButton_, &QPushButton::clicked, this, &CsvExportForm::browse);
    connect(outputButton_, &QPushButton::clicked, this, &CsvExportForm::exportToFile);
    connect(cancelButton_, &QPushButton::clicked, this, &CsvExportForm::reject);
}

namespace {
// A group of one option: a default chosen from a list, or a text of the user's own.
QGroupBox* optionGroup(const QString& title, QRadioButton*& defaultRadio, QComboBox*& list,
                       QRadioButton*& userRadio, QLineEdit*& userEdit) {
    auto* group = new QGroupBox(title);
    defaultRadio = new QRadioButton(QStringLiteral("デフォルト"));
    list = new QComboBox;
    userRadio = new QRadioButton(QStringLiteral("ユーザ指定"));
    userEdit = new QLineEdit;
    nameAfterText({defaultRadio, userRadio});
    list->setAccessibleName(title.trimmed());
    userEdit->setAccessibleName(userRadio->text());
    auto* layout = new QGridLayout(group);
    layout->addWidget(defaultRadio, 0, 0);
    layout->addWidget(list, 0, 1);
    layout->addWidget(userRadio, 1, 0);
    layout->addWidget(userEdit, 1, 1);
    return group;
}
}  // namespace

void CsvExportForm::buildControls() {
    queryEdit_ = new QPlainTextEdit;
    queryEdit_->setReadOnly(true);
    queryEdit_->setMaximumHeight(70);
    fileEdit_ = new QLineEdit;
    browseButton_ = new QPushButton(QStringLiteral("参照"));

    QGroupBox* separatorGroup =
        optionGroup(QStringLiteral("フィールド区切り記号 (FIELDS TERMINATES BY '') "), defaultSeparatorRadio_,
                    separatorList_, userSeparatorRadio_, userSeparatorEdit_);
    QGroupBox* quoteGroup = optionGroup(QStringLiteral("クォート記号 (FIELDS ENCLOSED BY '') "),
                                        defaultQuoteRadio_, quoteList_, userQuoteRadio_, userQuoteEdit_);

    encodingList_ = new QComboBox;
    encodingList_->addItems({QStringLiteral("Shift_JIS"), QStringLiteral("UTF-8")});

    sampleEdit_ = new QPlainTextEdit;
    sampleEdit_->setReadOnly(true);
    sampleEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    outputButton_ = new QPushButton(QStringLiteral("出力"));
    outputButton_->setDefault(true);
    outputButton_->setAutoDefault(true);
    cancelButton_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    cancelButton_->setAutoDefault(false);
    browseButton_->setAutoDefault(false);
    nameAfterText({browseButton_, outputButton_, cancelButton_});

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(captionFor(QStringLiteral("ファイル名"), fileEdit_));
    fileRow->addWidget(fileEdit_, 1);
    fileRow->addWidget(browseButton_);
    fileRow->addWidget(captionFor(QStringLiteral("文字コード"), encodingList_));
    fileRow->addWidget(encodingList_);
    auto* groups = new QHBoxLayout;
    groups->addWidget(separatorGroup);
    groups->addWidget(quoteGroup);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(outputButton_);
    buttons->addWidget(cancelButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(captionFor(QStringLiteral("クエリー内容"), queryEdit_));
    layout->addWidget(queryEdit_);
    layout->addLayout(fileRow);
    layout->addLayout(groups);
    layout->addWidget(captionFor(QStringLiteral("見本"), sampleEdit_));
    layout->addWidget(sampleEdit_, 1);
    layout->addLayout(buttons);
    resize(640, 460);
}

CsvFormat CsvExportForm::currentFormat() const {
    CsvFormat format;
    format.encoding = kEncodings[std::clamp(encodingList_->currentIndex(), 0, 1)];
    if (userSeparatorRadio_->isChecked()) {
        format.separator = CsvFormat::Separator::User;
        format.userSeparator = csvFileText(userSeparatorEdit_->text(), format.encoding);
    } else {
        format.separator = separatorList_->currentText() == msg(10050) ? CsvFormat::Separator::Tab
                                                                       : CsvFormat::Separator::Comma;
    }
    if (userQuoteRadio_->isChecked()) {
        format.quote = CsvFormat::Quote::User;
        format.userQuote = csvFileText(userQuoteEdit_->text(), format.encoding);
    } else {
        format.quote =
            quoteList_->currentText() == msg(10047) ? CsvFormat::Quote::Single : CsvFormat::Quote::Double;
    }
    return format;
}

void CsvExportForm::optionsChanged() {
    if (!ready_ || exporting_)
        return;
    removeTrailingSemicolon(statement_);
    sampleEdit_->setPlainText(csvSampleText(session_.connection(), statement_, currentFormat()));
}

void CsvExportForm::setControlsEnabled(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             separatorList_, quoteList_, defaultSeparatorRadio_, defaultQuoteRadio_, fileEdit_,
             userSeparatorEdit_, userQuoteEdit_, encodingList_, browseButton_, outputButton_}) {
        control->setEnabled(enabled);
    }
}

void CsvExportForm::exportToFile() {
    if (exporting_)
        return;
    const QString path = fileEdit_->text();
    if (path.isEmpty()) {
        ui().message(msg(10038));
        return;
    }
    setControlsEnabled(false);
    exporting_ = true;

    CsvExporter exporter(session_.connection(), statement_, currentFormat());
    exporter.setProgress([this](long long, const QString& text) { sampleEdit_->setPlainText(text); });
    CsvExportOutcome outcome;
    {
        // Cancel stays live: it stops the export at the next row.
        const CancellableRun cancellable;
        running_ = &exporter;
        outcome = exporter.run(path);
        running_ = nullptr;
    }
    const QString text = CsvExporter::outcomeText(outcome, path);
    exporting_ = false;
    // The sample field keeps its text when no file was written.
    if (outcome.status != CsvExportOutcome::Status::FileNotOpened &&
        outcome.status != CsvExportOutcome::Status::Refused)
        sampleEdit_->setPlainText(text);
    ui().message(text);
    setControlsEnabled(true);
}

void CsvExportForm::browse() {
    const QString directory =
        fileEdit_->text().isEmpty() ? QString() : QFileInfo(fileEdit_->text()).absolutePath();
    QString path = ui().chooseSaveFile(QStringLiteral("CSVファイルへ出力"),
                                       QStringLiteral("CSV FILE (*.csv)"), directory);
    if (path.isEmpty())
        return;
    // The chooser asked about the name it was given; a name that gains the default extension
    // may be another existing file.
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".csv");
        if (QFileInfo::exists(path) && !confirm(10037))
            return;
    }
    fileEdit_->setText(path);
}

void CsvExportForm::reject() {
    // Closing while the rows are written stops the export instead; the form stays to say how far
    // it got.
    if (exporting_) {
        if (running_)
            running_->cancel();
        return;
    }
    QDialog::reject();
}

}  // namespace dbk
