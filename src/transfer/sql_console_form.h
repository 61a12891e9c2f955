#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "app/ui_services.h"
#include "transfer/console_history.h"
#include "transfer/sql_console.h"
#include "transfer/sql_result_model.h"

class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabBar;
class QKeyEvent;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace dbk {

class Session;
class SqlCompleter;
class SqlHighlighter;

// The SQL console ("SQL発行"): statements typed or loaded from a file run one by one over
// the shared connection, each result shown as a list. A tree of databases, tables and fields
// beside the text appends names to it on a double-click.
class SqlConsoleForm : public QDialog {
    Q_OBJECT
public:
    // The node's name as the server gave it (bytes).
    static constexpr int kBytesRole = Qt::UserRole;

    explicit SqlConsoleForm(Session& session, QWidget* parent = nullptr);

    // Where the work file for the associated program and the history go (the program's
    // start-up directory); the current folder when empty. The history is read from there.
    void setWorkDirectory(const QString& directory);

    // The buttons' and keys' actions.
    void runStatements();
    void loadScript();
    void saveScript();
    void overwriteScript();
    void chooseFont();
    void exportCsv();
    void copySelection();
    void openWithApplication();
    // Ctrl+Enter: the selected text, or else the statement the cursor is in, cut as a script is.
    void runStatementAtCursor();
    // The history: Ctrl+Up and Ctrl+Down in the statement field, and the list with a search.
    void showOlderStatement();
    void showNewerStatement();
    void chooseFromHistory();
    const ConsoleHistory& history();
    // The result list's context menu (only offered while the list has rows).
    QMenu* buildContextMenu(QWidget* parent);
    // The selected rows as Copy puts them on the clipboard.
    QString selectionText() const;

    QPlainTextEdit* statementEdit() const { return statement_; }
    QLineEdit* scriptFileEdit() const { return scriptFile_; }
    QTreeWidget* tree() const { return tree_; }
    QLineEdit* statusEdit() const { return status_; }
    QTableView* resultView() const { return resultView_; }
    const SqlResultModel& result() const { return model_; }
    QLineEdit* dataTimeEdit() const { return dataTime_; }
    QLineEdit* displayTimeEdit() const { return displayTime_; }
    QPushButton* runButton() const { return runButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* loadButton() const { return loadButton_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* overwriteButton() const { return overwriteButton_; }
    QPushButton* csvButton() const { return csvButton_; }
    QPushButton* fontButton() const { return fontButton_; }
    QPushButton* historyButton() const { return historyButton_; }
    // One tab per result set of the last run, under the result list.
    QTabBar* resultTabs() const { return resultTabs_; }
    // Columns of the last result set shown.
    int columnCount() const { return model_.columnCount(); }
    // The statement field's font; none when the server list failed at opening and none was
    // chosen since.
    const std::optional<LogicalFont>& statementFont() const { return statementFont_; }
    bool treeReady() const { return treeReady_; }
    SqlHighlighter* highlighter() const { return highlighter_; }
    SqlCompleter* completer() const { return completer_; }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void fillTree();
    void treeSelectionChanged(QTreeWidgetItem* current);
    void treeDoubleClicked(QTreeWidgetItem* item);
    void addChildren(QTreeWidgetItem* parent, const std::vector<std::string>& names, const QString& icon);
    // A statement to run, and where each of its characters stands in the statement field.
    struct RunPiece {
        QString text;
        std::vector<int> from;
    };
    void runPieces(const std::vector<RunPiece>& pieces);
    void runOne(const RunPiece& piece);
    void recordHistory(const RunPiece& piece, const sql_console::Outcome& outcome);
    void markError(const RunPiece& piece, const QString& error);
    bool handleStatementKey(const QKeyEvent* key);
    void replaceStatementText(const QString& text);
    void openHistory();
    void keepShownRows();
    void addResultTab(sql_console::Outcome& outcome);
    void showResult(int index);
    void showOutcome(sql_console::Outcome& outcome);
    std::string statementBytes() const;
    void setStatementFont(const LogicalFont& font);
    void writeScriptTo(const QString& path, const QString& doneText);
    void saveFont();
    void showContextMenu(const QPoint& position);

    Session& session_;
    QString workDirectory_;
    std::optional<LogicalFont> statementFont_;
    bool treeReady_ = false;
    SqlResultModel model_;

    QPlainTextEdit* statement_;
    QLineEdit* scriptFile_;
    QTreeWidget* tree_;
    QLineEdit* status_;
    QTableView* resultView_;
    QLineEdit* dataTime_;
    QLineEdit* displayTime_;
    QPushButton* runButton_;
    QPushButton* cancelButton_;
    QPushButton* loadButton_;
    QPushButton* saveButton_;
    QPushButton* overwriteButton_;
    QPushButton* csvButton_;
    QPushButton* fontButton_;
    SqlHighlighter* highlighter_;
    SqlCompleter* completer_;

    // History, error marks and the results of the last run.
    ConsoleHistory history_;
    bool historyOpened_ = false;
    bool historyWriteReported_ = false;
    std::optional<std::string> historyDatabase_;  // the session's default database, as last read
    HistoryWalk walk_;
    bool errorMarked_ = false;  // in this run
    struct KeptResult {
        std::vector<std::string> headings;
        std::vector<Row> rows;  // empty while the list shows them
        ServerEncoding encoding = ServerEncoding::Utf8;
    };
    std::vector<KeptResult> results_;
    std::optional<size_t> shownResult_;  // the kept result the list shows
    QPushButton* historyButton_;
    QTabBar* resultTabs_;
};

}  // namespace dbk
