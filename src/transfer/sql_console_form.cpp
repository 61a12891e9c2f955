#include "transfer/sql_console_form.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QTabBar>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/caption_widget.h"
#include "app/commands.h"
#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/qt_ui_services.h"
#include "app/report_list_widget.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "transfer/console_history_dialog.h"
#include "transfer/csv_export.h"
#include "transfer/csv_export_form.h"
#include "transfer/error_place.h"
#include "transfer/script_reader.h"
#include "transfer/sql_completer_widget.h"
#include "transfer/sql_highlighter_widget.h"
#include "transfer/temp_csv.h"

namespace dbk {

namespace {

constexpr int kCannotExecuteQuery = 10110;
constexpr int kDatabaseRootText = 10000;
constexpr int kErrorOpeningFile = 10053;
constexpr int kSaveAsUtf8 = 22400;
constexpr int kHistorySetAside = 22600;
constexpr int kHistoryNotMoved = 22601;
constexpr int kHistoryNotWritten = 22602;
constexpr int kResultTab = 22603;

const QString kDatabaseIcon = QStringLiteral(":/icons/tree_database.svg");
const QString kTableIcon = QStringLiteral(":/icons/tree_table.svg");
const QString kFieldIcon = QStringLiteral(":/icons/tree_field.svg");

QString scriptFilter() {
    return QStringLiteral("SQLスクリプト (*.sql)");
}

std::string bytesOf(const QTreeWidgetItem* item) {
    const QByteArray bytes = item->data(0, SqlConsoleForm::kBytesRole).toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

int depthOf(const QTreeWidgetItem* item) {
    int depth = 0;
    for (const QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        ++depth;
    return depth;
}

// A stored face this desktop lacks (a Windows face such as "MS Gothic") is drawn with an
// installed Japanese face, preferably a Japanese-style (JP) fixed-pitch one; the stored name
// stays first.
QFont statementQFont(const LogicalFont& font) {
    QFont qfont = toQFont(font);
    if (font.faceName.isEmpty() || QFontDatabase::hasFamily(font.faceName))
        return qfont;
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    if (japanese.isEmpty())
        return qfont;
    auto preference = [](const QString& family) {
        const bool fixed = QFontDatabase::isFixedPitch(family) || family.contains(QStringLiteral("Mono"));
        return (family.contains(QStringLiteral("JP")) ? 2 : 0) + (fixed ? 1 : 0);
    };
    const auto best =
        std::max_element(japanese.begin(), japanese.end(),
                         [&](const QString& a, const QString& b) { return preference(a) < preference(b); });
    qfont.setFamilies({font.faceName, *best});
    return qfont;
}

QLineEdit* readOnlyEdit() {
    auto* edit = new QLineEdit;
    edit->setReadOnly(true);
    return edit;
}

}  // namespace

SqlConsoleForm::SqlConsoleForm(Session& session, QWidget* parent)
    : QDialog(parent),
      session_(session),
      model_(this),
      statement_(new QPlainTextEdit),
      scriptFile_(readOnlyEdit()),
      tree_(new QTreeWidget),
      status_(readOnlyEdit()),
      resultView_(new QTableView),
      dataTime_(readOnlyEdit()),
      displayTime_(readOnlyEdit()),
      runButton_(new QPushButton(QStringLiteral("クエリ実行(&E)"))),
      cancelButton_(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"))),
      loadButton_(new QPushButton(QStringLiteral("読み込み"))),
      saveButton_(new QPushButton(QStringLiteral("保存"))),
      overwriteButton_(new QPushButton(QStringLiteral("上書き"))),
      csvButton_(new QPushButton(QStringLiteral("CSV出力"))),
      fontButton_(new QPushButton(QStringLiteral("フォント設定"))),
      historyButton_(namedButton(QStringLiteral("履歴"))),
      resultTabs_(new QTabBar) {
    setWindowTitle(QStringLiteral("SQL発行"));
    buildLayout();
    highlighter_ = new SqlHighlighter(statement_->document());
    completer_ = new SqlCompleter(statement_, session_);

    connect(runButton_, &QPushButton::clicked, this, &SqlConsoleForm::runStatements);
    connect(cancelButton_, &QPushButton::clicked, this, &SqlConsoleForm::reject);
    connect(loadButton_, &QPushButton::clicked, this, &SqlConsoleForm::loadScript);
    connect(saveButton_, &QPushButton::clicked, this, &SqlConsoleForm::saveScript);
    connect(overwriteButton_, &QPushButton::clicked, this, &SqlConsoleForm::overwriteScript);
    connect(csvButton_, &QPushButton::clicked, this, &SqlConsoleForm::exportCsv);
    connect(fontButton_, &QPushButton::clicked, this, &SqlConsoleForm::chooseFont);
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { treeSelectionChanged(current); });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { treeDoubleClicked(item); });
    connect(resultView_, &QWidget::customContextMenuRequested, this, &SqlConsoleForm::showContextMenu);
    connect(historyButton_, &QPushButton::clicked, this, &SqlConsoleForm::chooseFromHistory);
    connect(resultTabs_, &QTabBar::currentChanged, this, &SqlConsoleForm::showResult);
    // After a statement without rows the list shows none of the tabs: the current one too
    // is shown again when clicked.
    connect(resultTabs_, &QTabBar::tabBarClicked, this, &SqlConsoleForm::showResult);
    // Ctrl+E (command 32825) runs the statements from anywhere in the console.
    auto* runKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this);
    runKey->setObjectName(QString::number(cmd::ConsoleExecute));
    connect(runKey, &QShortcut::activated, this, &SqlConsoleForm::runStatements);

    fillTree();
}

void SqlConsoleForm::buildLayout() {
    statement_->setTabChangesFocus(false);
    statement_->setLineWrapMode(QPlainTextEdit::NoWrap);
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);

    resultView_->setModel(&model_);
    setUpReportList(resultView_, true);
    resultView_->setContextMenuPolicy(Qt::CustomContextMenu);
    resultView_->horizontalHeader()->setDefaultSectionSize(sql_console::kColumnWidth);
    resultView_->installEventFilter(this);
    statement_->installEventFilter(this);

    runButton_->setDefault(true);
    // Controls without a caption of their own.
    scriptFile_->setAccessibleName(QStringLiteral("スクリプトファイル"));
    resultView_->setAccessibleName(QStringLiteral("結果一覧"));

    auto* statementSide = new QVBoxLayout;
    statementSide->addWidget(captionLabel(QStringLiteral("SQL文"), statement_));
    statementSide->addWidget(statement_, 1);
    statementSide->addWidget(scriptFile_);
    auto* treeSide = new QVBoxLayout;
    treeSide->addWidget(captionLabel(QStringLiteral("データベース"), tree_));
    treeSide->addWidget(tree_, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(statementSide, 5);
    top->addLayout(treeSide, 2);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button :
         {runButton_, loadButton_, saveButton_, overwriteButton_, csvButton_, fontButton_})
        buttons->addWidget(button);
    buttons->addWidget(historyButton_);
    buttons->addStretch();
    buttons->addWidget(cancelButton_);

    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(captionLabel(QStringLiteral("実行結果"), status_));
    statusRow->addWidget(status_, 1);

    auto* times = new QGridLayout;
    times->addWidget(
        captionLabel(QStringLiteral("クエリ発行からクライアントにデータが届くまでの時間"), dataTime_), 0, 0);
    times->addWidget(dataTime_, 0, 1);
    times->addWidget(
        captionLabel(QStringLiteral("クエリ発行からすべてデータを表示するまでの時間"), displayTime_), 1, 0);
    times->addWidget(displayTime_, 1, 1);
    times->setColumnStretch(2, 1);
    dataTime_->setMaximumWidth(100);
    displayTime_->setMaximumWidth(100);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(new QLabel(
        QStringLiteral("注意　：　複数クエリを実行したい場合はクエリの最後に”；”を付けてください！！")));
    layout->addLayout(buttons);
    layout->addLayout(statusRow);
    layout->addWidget(resultView_, 1);
    resultTabs_->setShape(QTabBar::RoundedSouth);
    resultTabs_->setExpanding(false);
    resultTabs_->setAccessibleName(QStringLiteral("結果"));
    resultTabs_->hide();
    layout->addWidget(resultTabs_);
    layout->addLayout(times);
    resize(820, 640);
}

void SqlConsoleForm::fillTree() {
    treeReady_ = false;
    auto* root = new QTreeWidgetItem(tree_, QStringList(msg(kDatabaseRootText)));
    const std::optional<std::vector<std::string>> databases =
        sql_console::databaseNames(session_.connection());
    if (!databases) {
        std::string error = session_.connection().errorText();
        if (error.empty())
            error = "Not connected to a server.";
        ui().message(fromServer(session_.connection(), error));
        return;
    }
    addChildren(root, *databases, kDatabaseIcon);
    root->setExpanded(true);
    // The names completed are read again with the tree; the server's keywords join ours.
    sql_tokens::WordList words;
    words.addKeywords(readServerKeywords(session_.connection()));
    highlighter_->setWords(words);
    completer_->setWords(words.words());
    completer_->refresh();

    QSettings settings;
    LogicalFont system = toLogicalFont(QApplication::font());
    setStatementFont(sql_console::readFont(settings, system));
    treeReady_ = true;
}

void SqlConsoleForm::addChildren(QTreeWidgetItem* parent, const std::vector<std::string>& names,
                                 const QString& icon) {
    const QIcon image(icon);
    for (const std::string& name : names) {
        auto* item = new QTreeWidgetItem(parent, QStringList(fromServer(session_.connection(), name)));
        item->setIcon(0, image);
        item->setData(0, kBytesRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    }
}

void SqlConsoleForm::treeSelectionChanged(QTreeWidgetItem* current) {
    if (!treeReady_ || !current)
        return;
    treeReady_ = false;
    WaitCursor wait;
    const int depth = depthOf(current);
    if (depth == static_cast<int>(sql_console::NodeDepth::Database)) {
        const std::optional<std::vector<std::string>> tables =
            sql_console::useDatabase(session_.connection(), bytesOf(current));
        if (tables && current->childCount() == 0)
            addChildren(current, *tables, kTableIcon);
    } else if (depth == static_cast<int>(sql_console::NodeDepth::Table) && current->childCount() == 0) {
        addChildren(
            current,
            sql_console::fieldNames(session_.connection(), bytesOf(current->parent()), bytesOf(current)),
            kFieldIcon);
    }
    treeReady_ = true;
}

void SqlConsoleForm::treeDoubleClicked(QTreeWidgetItem* item) {
    if (!item)
        return;
    const auto depth = static_cast<sql_console::NodeDepth>(depthOf(item));
    std::string database;
    std::string table;
    std::string field;
    switch (depth) {
        case sql_console::NodeDepth::Database:
            database = bytesOf(item);
            break;
        case sql_console::NodeDepth::Table:
            database = bytesOf(item->parent());
            table = bytesOf(item);
            break;
        case sql_console::NodeDepth::Field:
            field = bytesOf(item);
            break;
        case sql_console::NodeDepth::Root:
            return;
    }
    const std::string appended =
        sql_console::appendedName(session_.connection(), depth, database, table, field);
    statement_->setPlainText(statement_->toPlainText() + fromServer(session_.connection(), appended));
    statement_->moveCursor(QTextCursor::End);
    statement_->setFocus();
}

std::string SqlConsoleForm::statementBytes() const {
    return toServer(session_.connection(), statement_->toPlainText());
}

void SqlConsoleForm::runStatements() {
    // Cut as the bytes are, kept as typed: the bytes may have lost what the session's set lacks.
    const QString text = statement_->toPlainText();
    std::vector<RunPiece> pieces;
    for (const auto& [start, length] : sql_console::statementSpans(QStringView(text))) {
        RunPiece piece;
        piece.text = text.mid(static_cast<qsizetype>(start), static_cast<qsizetype>(length));
        for (size_t i = 0; i < length; ++i)
            piece.from.push_back(static_cast<int>(start + i));
        pieces.push_back(std::move(piece));
    }
    runPieces(pieces);
}

void SqlConsoleForm::runStatementAtCursor() {
    const QString text = statement_->toPlainText();
    const QTextCursor cursor = statement_->textCursor();
    std::vector<RunPiece> pieces;
    if (cursor.hasSelection()) {
        const int start = cursor.selectionStart();
        for (ScriptPiece& piece : splitScriptText(text.mid(start, cursor.selectionEnd() - start))) {
            for (int& at : piece.from)
                at += start;
            pieces.push_back({std::move(piece.statement), std::move(piece.from)});
        }
    } else {
        std::vector<ScriptPiece> all = splitScriptText(text);
        if (const ScriptPiece* piece = pieceAt(all, cursor.position()))
            pieces.push_back({piece->statement, piece->from});
    }
    // Nothing but blanks: the message for an empty statement.
    if (pieces.empty())
        pieces.push_back({});
    runPieces(pieces);
}

void SqlConsoleForm::runPieces(const std::vector<RunPiece>& pieces) {
    statement_->setExtraSelections({});
    errorMarked_ = false;
    walk_.reset();
    results_.clear();
    shownResult_.reset();
    {
        const QSignalBlocker blocker(resultTabs_);
        while (resultTabs_->count() > 0)
            resultTabs_->removeTab(0);
    }
    for (const RunPiece& piece : pieces)
        runOne(piece);
    resultTabs_->setVisible(results_.size() > 1);
}

void SqlConsoleForm::runOne(const RunPiece& piece) {
    const std::string statement = toServer(session_.connection(), piece.text);
    sql_console::Outcome outcome;
    {
        WaitCursor wait;
        status_->setText(QString::fromUtf8(sql_console::kProcessedText));
        outcome = sql_console::runStatement(session_.connection(), statement);
    }
    using Kind = sql_console::Outcome::Kind;
    if (outcome.kind != Kind::Empty)
        recordHistory(piece, outcome);
    switch (outcome.kind) {
        case Kind::Empty:
            ui().message(QStringLiteral("クエリを入力してください！！"));
            return;
        case Kind::Failed:
            status_->setText(outcome.status);
            markError(piece, outcome.status);
            ui().message(msg(kCannotExecuteQuery));
            return;
        case Kind::NoResultSet:
            keepShownRows();
            model_.apply(outcome);
            status_->setText(outcome.status);
            return;
        case Kind::ResultSet:
            showOutcome(outcome);
            return;
    }
}

void SqlConsoleForm::showOutcome(sql_console::Outcome& outcome) {
    {
        WaitCursor wait;
        addResultTab(outcome);
    }
    const std::time_t displayTime = std::time(nullptr);
    dataTime_->setText(sql_console::secondsText(outcome.startTime, outcome.dataTime));
    displayTime_->setText(sql_console::secondsText(outcome.startTime, displayTime));
}

// The rows the list shows go back to the result they belong to.
void SqlConsoleForm::keepShownRows() {
    if (shownResult_)
        results_[*shownResult_].rows = model_.takeRows();
    shownResult_.reset();
}

void SqlConsoleForm::addResultTab(sql_console::Outcome& outcome) {
    keepShownRows();
    results_.push_back({outcome.headings, {}, outcome.encoding});
    model_.apply(outcome);
    shownResult_ = results_.size() - 1;
    const QSignalBlocker blocker(resultTabs_);
    resultTabs_->setCurrentIndex(resultTabs_->addTab(msgf(kResultTab, static_cast<int>(results_.size()))));
}

void SqlConsoleForm::showResult(int index) {
    if (index < 0 || static_cast<size_t>(index) >= results_.size() ||
        shownResult_ == static_cast<size_t>(index))
        return;
    keepShownRows();
    KeptResult& result = results_[static_cast<size_t>(index)];
    model_.setResult(result.headings, std::move(result.rows), result.encoding);
    result.rows.clear();
    shownResult_ = static_cast<size_t>(index);
}

void SqlConsoleForm::markError(const RunPiece& piece, const QString& error) {
    const std::optional<ErrorPlace> place = errorPlace(piece.text, error);
    if (!place || piece.from.empty())
        return;
    const auto at = [&piece](int i) {
        return piece.from[static_cast<size_t>(std::clamp(i, 0, static_cast<int>(piece.from.size()) - 1))];
    };
    const int start = at(place->start);
    const int end = at(place->start + place->length - 1) + 1;
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(statement_->document());
    mark.cursor.setPosition(start);
    mark.cursor.setPosition(end, QTextCursor::KeepAnchor);
    mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    mark.format.setUnderlineColor(Qt::red);
    QList<QTextEdit::ExtraSelection> marks = statement_->extraSelections();
    marks.append(mark);
    statement_->setExtraSelections(marks);
    // The cursor goes to the first failure of the run.
    if (errorMarked_)
        return;
    errorMarked_ = true;
    QTextCursor cursor = statement_->textCursor();
    cursor.setPosition(start);
    statement_->setTextCursor(cursor);
    statement_->ensureCursorVisible();
}

void SqlConsoleForm::setWorkDirectory(const QString& directory) {
    workDirectory_ = directory;
    openHistory();
}

void SqlConsoleForm::openHistory() {
    historyOpened_ = true;
    const ConsoleHistory::Opened opened = history_.open(workDirectory_);
    if (!opened.unreadable)
        return;
    if (!opened.setAsidePath.isEmpty())
        ui().message(msgf(kHistorySetAside, history_.path(), opened.setAsidePath));
    else
        ui().message(msgf(kHistoryNotMoved, history_.path()));
}

const ConsoleHistory& SqlConsoleForm::history() {
    if (!historyOpened_)
        openHistory();
    return history_;
}

void SqlConsoleForm::recordHistory(const RunPiece& piece, const sql_console::Outcome& outcome) {
    const QString statement = piece.text.trimmed();
    if (statement.isEmpty())
        return;
    history();
    HistoryEntry entry;
    entry.statement = statement;
    entry.time = QDateTime::currentDateTimeUtc();
    using Kind = sql_console::Outcome::Kind;
    if (outcome.kind == Kind::Failed)
        entry.error = outcome.status;
    else
        entry.rows = outcome.kind == Kind::ResultSet ? outcome.rows.size() : outcome.affectedRows;
    // The default database is asked for once, and again only after a statement that may change it.
    if (!historyDatabase_ || sql_console::mayChangeDatabase(statement.toStdString()))
        historyDatabase_ = sql_console::currentDatabase(session_.connection());
    entry.database = fromServer(session_.connection(), *historyDatabase_);
    if (!history_.append(std::move(entry)) && !historyWriteReported_) {
        historyWriteReported_ = true;
        ui().message(msgf(kHistoryNotWritten, history_.path()));
    }
}

// Through the document, so that Undo brings the text before back.
void SqlConsoleForm::replaceStatementText(const QString& text) {
    QTextCursor cursor(statement_->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    statement_->setTextCursor(cursor);
}

void SqlConsoleForm::showOlderStatement() {
    if (const std::optional<QString> text = walk_.older(history(), statement_->toPlainText()))
        replaceStatementText(*text);
}

void SqlConsoleForm::showNewerStatement() {
    if (const std::optional<QString> text = walk_.newer(history()))
        replaceStatementText(*text);
}

void SqlConsoleForm::chooseFromHistory() {
    ConsoleHistoryDialog dialog(history(), this);
    if (runModal(dialog) != QDialog::Accepted)
        return;
    const QString chosen = dialog.chosenStatement();
    if (chosen.isEmpty())
        return;
    walk_.reset();
    replaceStatementText(chosen);
    statement_->setFocus();
}

bool SqlConsoleForm::handleStatementKey(const QKeyEvent* key) {
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return false;
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            runStatementAtCursor();
            return true;
        case Qt::Key_Up:
            showOlderStatement();
            return true;
        case Qt::Key_Down:
            showNewerStatement();
            return true;
        default:
            return false;
    }
}

void SqlConsoleForm::loadScript() {
    const QString path = ui().chooseOpenFile(QStringLiteral("読み込み"), scriptFilter(), QString());
    if (path.isEmpty())
        return;
    const std::optional<QString> text = sql_console::readScript(path);
    if (!text)
        return;
    statement_->setPlainText(*text);
    scriptFile_->setText(path);
}

void SqlConsoleForm::writeScriptTo(const QString& path, const QString& doneText) {
    // Shift_JIS as always, unless the text holds a character it lacks and the user takes UTF-8.
    const QString text = statement_->toPlainText();
    const bool utf8 = !fitsShiftJis(text);
    if (utf8 && !ui().askYesNo(msg(kSaveAsUtf8)))
        return;
    if (!sql_console::writeScript(path, text, utf8))
        return;
    scriptFile_->setText(path);
    ui().message(doneText);
}

void SqlConsoleForm::saveScript() {
    const QString chosen = ui().chooseSaveFile(QStringLiteral("保存"), scriptFilter(), scriptFile_->text());
    const QString path = sql_console::withDefaultSuffix(chosen);
    if (path.isEmpty())
        return;
    // The chooser asked about the name it returned, not about the one the suffix leads to.
    if (path != chosen && QFileInfo::exists(path) && !ui().askYesNo(sql_console::replaceQuestion(path)))
        return;
    writeScriptTo(path, QStringLiteral("書き込みました！！"));
}

void SqlConsoleForm::overwriteScript() {
    if (scriptFile_->text().isEmpty()) {
        saveScript();
        return;
    }
    writeScriptTo(scriptFile_->text(), QStringLiteral("上書きしました！！"));
}

void SqlConsoleForm::setStatementFont(const LogicalFont& font) {
    statementFont_ = font;
    statement_->setFont(statementQFont(font));
}

void SqlConsoleForm::chooseFont() {
    const LogicalFont current = statementFont_ ? *statementFont_ : toLogicalFont(statement_->font());
    if (const std::optional<LogicalFont> chosen = ui().chooseFont(current))
        setStatementFont(*chosen);
}

void SqlConsoleForm::exportCsv() {
    const std::string statement = statementBytes();
    if (statement.empty())
        return;
    CsvExportForm form(session_, std::string(), std::string(), statement, this);
    runModal(form);
}

QString SqlConsoleForm::selectionText() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : resultView_->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    return fromServer(model_.encoding(), model_.rowsText(std::move(rows)));
}

void SqlConsoleForm::copySelection() {
    if (model_.rowCount() == 0)
        return;
    const QString text = selectionText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void SqlConsoleForm::openWithApplication() {
    if (model_.rowCount() == 0)
        return;
    const QDir folder(workDirectory_.isEmpty() ? QDir::currentPath() : workDirectory_);
    const QString name = QString::fromLatin1(TempCsvWriter::kFileName);
    const QString path = folder.filePath(name);
    unsigned long long unmappable = 0;
    if (!sql_console::writeResultFile(path, model_.headings(), model_.rows(), model_.encoding(),
                                      &unmappable)) {
        ui().message(msg(kErrorOpeningFile) + QStringLiteral("\n\nFile = ") + path);
        return;
    }
    if (unmappable > 0)
        ui().message(msgf(CsvExporter::kUnmappableMessage, unmappable));
    if (!ui().openWithAssociatedProgram(path))
        ui().message(QStringLiteral("プログラムの実行に失敗しました。\n\nFile = ") + name);
}

QMenu* SqlConsoleForm::buildContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    connect(menu->addAction(QStringLiteral("コピー")), &QAction::triggered, this,
            &SqlConsoleForm::copySelection);
    connect(menu->addAction(QStringLiteral("関連付けしたアプリケーションで開く")), &QAction::triggered, this,
            &SqlConsoleForm::openWithApplication);
    menu->addSeparator();
    menu->addAction(QStringLiteral("レコードの明細"))->setEnabled(false);
    return menu;
}

void SqlConsoleForm::showContextMenu(const QPoint& position) {
    if (model_.rowCount() == 0)
        return;
    QMenu* menu = buildContextMenu(this);
    menu->exec(resultView_->viewport()->mapToGlobal(position));
    delete menu;
}

bool SqlConsoleForm::eventFilter(QObject* watched, QEvent* event) {
    // On X11 desktops the text field claims Ctrl+E (end of line); here it runs the statements.
    if (watched == statement_ && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_E)) {
        event->ignore();
        return true;
    }
    if (watched == statement_ && event->type() == QEvent::KeyPress &&
        handleStatementKey(static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == resultView_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_C && !key->isAutoRepeat()) {
            copySelection();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SqlConsoleForm::saveFont() {
    // Without a restored or chosen font there is nothing of the user's to keep; writing the
    // widget's default would replace the stored choice.
    if (!statementFont_)
        return;
    QSettings settings;
    sql_console::writeFont(settings, *statementFont_);
}

void SqlConsoleForm::reject() {
    saveFont();
    QDialog::reject();
}

void SqlConsoleForm::closeEvent(QCloseEvent* event) {
    saveFont();
    QDialog::closeEvent(event);
}

}  // namespace dbk
