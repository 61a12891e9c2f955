#pragma once

#include <QDialog>

#include "transfer/script_runner.h"

class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace dbk {

class Session;

// "ファイルからSQL文発行": runs an SQL script file against a chosen database with a progress bar,
// and collects the server's error texts over every run while it stays open.
class ScriptFileForm : public QDialog {
    Q_OBJECT
public:
    explicit ScriptFileForm(Session& session, QWidget* parent = nullptr);

    QLineEdit* fileEdit() const { return fileEdit_; }
    QPushButton* fileBrowseButton() const { return fileBrowseButton_; }
    QLineEdit* databaseEdit() const { return databaseEdit_; }
    QPushButton* databaseBrowseButton() const { return databaseBrowseButton_; }
    QPlainTextEdit* contentsView() const { return contentsView_; }
    QPlainTextEdit* errorsView() const { return errorsView_; }
    QProgressBar* progressBar() const { return progressBar_; }
    QPushButton* runButton() const { return runButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    const ScriptRunner& runner() const { return runner_; }
    bool running() const { return running_; }

public slots:
    // The form stays open while a run is in progress.
    void reject() override;

private:
    void browseFile();
    void browseDatabase();
    void showPreview(const QString& path);
    void runScript();
    void setInputsEnabled(bool enabled);
    void appendError(const std::string& errorText);

    Session& session_;
    ScriptRunner runner_;
    bool running_ = false;
    QLineEdit* fileEdit_;
    QPushButton* fileBrowseButton_;
    QLineEdit* databaseEdit_;
    QPushButton* databaseBrowseButton_;
    QPlainTextEdit* contentsView_;
    QPlainTextEdit* errorsView_;
    QProgressBar* progressBar_;
    QPushButton* runButton_;
    QPushButton* cancelButton_;
};

}  // namespace dbk
