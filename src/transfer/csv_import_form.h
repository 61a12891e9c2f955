#pragma once

#include <QDialog>
#include <string>

#include "transfer/csv_import.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;

#include "conn/cancel.h"

namespace dbk {

class Session;

// "CSVからのインポート": loads a CSV file into a table chosen from the lists with one LOAD DATA
// statement, optionally after converting the file from EUC-JP to Shift_JIS. Stays open after an
// import.
class CsvImportForm : public QDialog {
    Q_OBJECT
public:
    explicit CsvImportForm(Session& session, QWidget* parent = nullptr);

    // The choices as the controls show them.
    CsvImportOptions currentOptions() const;
    const std::string& serverCharacterSet() const { return serverCharacterSet_; }

    QLineEdit* fileEdit() const { return fileEdit_; }
    QPushButton* browseButton() const { return browseButton_; }
    QCheckBox* localCheck() const { return localCheck_; }
    QCheckBox* lowPriorityCheck() const { return lowPriorityCheck_; }
    QCheckBox* replaceCheck() const { return replaceCheck_; }
    QLineEdit* separatorEdit() const { return separatorEdit_; }
    QLineEdit* enclosureEdit() const { return enclosureEdit_; }
    QLineEdit* escapeEdit() const { return escapeEdit_; }
    QLineEdit* lineEndEdit() const { return lineEndEdit_; }
    QLineEdit* skipLinesEdit() const { return skipLinesEdit_; }
    QListWidget* databaseList() const { return databaseList_; }
    QListWidget* tableList() const { return tableList_; }
    QLineEdit* targetEdit() const { return targetEdit_; }
    QCheckBox* convertCheck() const { return convertCheck_; }
    QLineEdit* characterSetEdit() const { return characterSetEdit_; }
    QPlainTextEdit* previewEdit() const { return previewEdit_; }
    QPushButton* runButton() const { return runButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    // The question asked first when the server's character set cannot hold Japanese.
    static QString garblingQuestion();

public slots:
    // "実行": asks, builds the statement, sends it and says how it went.
    void runImport();
    // "参照": chooses the file, shows its first lines and takes its format.
    void browse();
    // Closing (or Cancel) while the statement runs stops it instead.
    void reject() override;

public:
    bool importing() const { return importing_; }

private:
    void buildControls();
    void fillDatabases();
    void chooseDatabase(QListWidgetItem* item);
    void chooseTable(QListWidgetItem* item);
    // Takes the format of the file's first line into the fields and shows its first lines.
    void showPreview();

    Session& session_;
    std::string serverCharacterSet_;
    std::string database_;
    std::string table_;

    QLineEdit* fileEdit_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QCheckBox* localCheck_ = nullptr;
    QCheckBox* lowPriorityCheck_ = nullptr;
    QCheckBox* replaceCheck_ = nullptr;
    QLineEdit* separatorEdit_ = nullptr;
    QLineEdit* enclosureEdit_ = nullptr;
    QLineEdit* escapeEdit_ = nullptr;
    QLineEdit* lineEndEdit_ = nullptr;
    QLineEdit* skipLinesEdit_ = nullptr;
    QListWidget* databaseList_ = nullptr;
    QListWidget* tableList_ = nullptr;
    QLineEdit* targetEdit_ = nullptr;
    QCheckBox* convertCheck_ = nullptr;
    QLineEdit* characterSetEdit_ = nullptr;
    QPlainTextEdit* previewEdit_ = nullptr;
    QPushButton* runButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    bool importing_ = false;
    CancelToken cancelRequest_;
};

}  // namespace dbk
