#pragma once

#include <QDialog>
#include <string>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace dbk {

class CsvExporter;

class Session;
struct CsvFormat;

// "CSV形式への出力": writes the rows of one statement to a text file in the chosen separator,
// quote and character code, with a sample of the first rows in that format.
class CsvExportForm : public QDialog {
    Q_OBJECT
public:
    // database and table are the opener's context ("" from the SQL console); statement is the
    // query whose rows are written.
    CsvExportForm(Session& session, const std::string& database, const std::string& table,
                  const std::string& statement, QWidget* parent = nullptr);

    // The statement as it will be exported (a trailing ";" goes once a sample was made).
    const std::string& statement() const { return statement_; }
    bool exporting() const { return exporting_; }
    // The options as the controls show them.
    CsvFormat currentFormat() const;

    QPlainTextEdit* queryEdit() const { return queryEdit_; }
    QLineEdit* fileEdit() const { return fileEdit_; }
    QPushButton* browseButton() const { return browseButton_; }
    QRadioButton* defaultSeparatorRadio() const { return defaultSeparatorRadio_; }
    QComboBox* separatorList() const { return separatorList_; }
    QRadioButton* userSeparatorRadio() const { return userSeparatorRadio_; }
    QLineEdit* userSeparatorEdit() const { return userSeparatorEdit_; }
    QRadioButton* defaultQuoteRadio() const { return defaultQuoteRadio_; }
    QComboBox* quoteList() const { return quoteList_; }
    QRadioButton* userQuoteRadio() const { return userQuoteRadio_; }
    QLineEdit* userQuoteEdit() const { return userQuoteEdit_; }
    // "文字コード": Shift_JIS (the default) or UTF-8.
    QComboBox* encodingList() const { return encodingList_; }
    QPlainTextEdit* sampleEdit() const { return sampleEdit_; }
    QPushButton* outputButton() const { return outputButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

public slots:
    // "出力": writes the file.
    void exportToFile();
    // "参照": chooses the output file.
    void browse();
    void reject() override;

private:
    void buildControls();
    void optionsChanged();
    void setControlsEnabled(bool enabled);

    Session& session_;
    std::string database_;
    std::string table_;
    std::string statement_;
    bool ready_ = false;
    bool exporting_ = false;
    // The export under way, so that Cancel (or closing the form) can stop it.
    CsvExporter* running_ = nullptr;

    QPlainTextEdit* queryEdit_ = nullptr;
    QLineEdit* fileEdit_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QRadioButton* defaultSeparatorRadio_ = nullptr;
    QComboBox* separatorList_ = nullptr;
    QRadioButton* userSeparatorRadio_ = nullptr;
    QLineEdit* userSeparatorEdit_ = nullptr;
    QRadioButton* defaultQuoteRadio_ = nullptr;
    QComboBox* quoteList_ = nullptr;
    QRadioButton* userQuoteRadio_ = nullptr;
    QLineEdit* userQuoteEdit_ = nullptr;
    QComboBox* encodingList_ = nullptr;
    QPlainTextEdit* sampleEdit_ = nullptr;
    QPushButton* outputButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

}  // namespace dbk
