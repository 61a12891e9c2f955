#include "browser/dbkeeper_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QSettings>

#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/report_list_widget.h"
#include "app/status_panes.h"
#include "app/ui_services.h"
#include "app/view_host.h"
#include "app/window_placement.h"
#include "browser/page_dialog_form.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {
// While a big table is counted, the key of every this many rows is kept (a thousand keys for ten
// million rows), so that a jump steps over at most this many rows on the server.
constexpr long long kAnchorEvery = 10000;

// One direction for every column and every list of the run: the first sort is descending.
bool& sortAscending() {
    static bool ascending = false;
    return ascending;
}

}  // namespace

CDbkeeperView::CDbkeeperView(ViewHost& host, QWidget* parent)
    : QTableWidget(parent), host_(host), backgroundCount_(new BackgroundCount(this)) {
    setAccessibleName(QStringLiteral("レコード一覧"));
    setUpReportList(this, true);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setDefaultSectionSize(100);
    horizontalHeader()->setSectionsClickable(true);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CDbkeeperView::sortByColumn);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row) { lastChangedRow_ = row; });
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int row) { openRow(row); });
    connect(backgroundCount_, &BackgroundCount::counted, this, &CDbkeeperView::countArrived);
}

void CDbkeeperView::initialUpdate() {
    QSettings settings;
    host_.document().context().rowsPerPage = readPageLength(settings);
    // Tables estimated above this many rows are counted in the background.
    pager_.setExactCountLimit(
        settings.value(QStringLiteral("SQLDLG/ExactCountLimit"), RecordPager::kExactCountLimit).toLongLong());
}

void CDbkeeperView::updateView() {
    fill();
}

void CDbkeeperView::fill() {
    pager_.reset();
    readPage();
}

void CDbkeeperView::readPage() {
    setRowCount(0);
    setColumnCount(0);
    fieldNames_.clear();
    rows_.clear();
    CDbkeeperDoc& doc = host_.document();
    DocumentContext& context = doc.context();
    if (context.nodeImage != 2) {
        backgroundCount_->cancel();
        return;
    }

    RecordPage page = pager_.read(doc.connection(), context, filter_);
    if (page.stage != RecordPage::Stage::Rows)
        backgroundCount_->cancel();
    if (page.stage == RecordPage::Stage::Nothing)
        return;
    fieldNames_ = std::move(page.fieldNames);
    const ServerEncoding encoding = serverEncoding(doc.connection());
    QStringList headings;
    for (const std::string& name : fieldNames_)
        headings << fromServer(encoding, name);
    setColumnCount(static_cast<int>(fieldNames_.size()));
    setHorizontalHeaderLabels(headings);
    if (page.stage != RecordPage::Stage::Rows)
        return;

    rows_ = std::move(page.rows);
    showRows();
    countStatement_ = page.statements.count;
    selectStatement_ = page.statements.select;
    keyStatement_ = page.keyStatement;
    context.recordCount = page.recordCount;
    // A big table's exact count is read on a second connection; the window goes on meanwhile.
    if (countOutstanding()) {
        if (!backgroundCount_->running() || backgroundCount_->statement() != countStatement_)
            backgroundCount_->start(doc.connection().params(), countStatement_,
                                    pager_.keyScanStatement(doc.connection()), kAnchorEvery);
    } else {
        backgroundCount_->cancel();
    }
    shownDatabase_ = context.currentDatabase;
    shownTable_ = context.currentTable;
    shownPage_ = context.pageIndex;
    showStatus();
    host_.statusPanes().setPaneText(3, msgf(10103, page.resultSeconds, page.doneSeconds));
}

QString CDbkeeperView::countDisplay() {
    if (pager_.countEstimated())
        return msgf(23000, QLocale(QLocale::English).toString(pager_.recordCount()));
    if (pager_.countOutstanding())
        return msg(23001);
    return fromServer(host_.document().connection(), pager_.countText());
}

void CDbkeeperView::showStatus() {
    CDbkeeperDoc& doc = host_.document();
    const ServerEncoding encoding = serverEncoding(doc.connection());
    QString status = msgf(10102, countDisplay(), fromServer(encoding, shownDatabase_),
                          fromServer(encoding, shownTable_), shownPage_ + 1);
    if (doc.context().filterFlag != 0)
        status.prepend(QStringLiteral("検索結果 "));
    host_.statusPanes().setPaneText(0, status);
}

void CDbkeeperView::countArrived(long long rows) {
    pager_.setExactCount(backgroundCount_->statement(), rows, backgroundCount_->takeAnchors(), kAnchorEvery);
    if (!pager_.countKnown() || backgroundCount_->statement() != countStatement_)
        return;
    host_.document().context().recordCount = rows;
    showStatus();
}

void CDbkeeperView::showRows() {
    setUpdatesEnabled(false);
    const ServerEncoding encoding = serverEncoding(host_.document().connection());
    setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const Row& row = rows_[static_cast<size_t>(r)];
        for (int c = 0; c < static_cast<int>(row.size()); ++c) {
            const Cell& cell = row[static_cast<size_t>(c)];
            setItem(r, c, new QTableWidgetItem(cell ? fromServer(encoding, *cell) : QString()));
        }
    }
    setUpdatesEnabled(true);
}

void CDbkeeperView::setRowValues(int row, const Row& values) {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return;
    rows_[static_cast<size_t>(row)] = values;
    for (int c = 0; c < static_cast<int>(values.size()) && c < columnCount(); ++c) {
        const Cell& cell = values[static_cast<size_t>(c)];
        setItem(row, c,
                new QTableWidgetItem(cell ? fromServer(host_.document().connection(), *cell) : QString()));
    }
}

void CDbkeeperView::removeListRow(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return;
    rows_.erase(rows_.begin() + row);
    removeRow(row);
    // The row is gone from the table too: one fewer to count, and the pages after this one start
    // a row earlier.
    pager_.rowsDeleted(1);
    if (pager_.countKnown()) {
        host_.document().context().recordCount = pager_.recordCount();
        showStatus();
    }
}

void CDbkeeperView::nextPage() {
    DocumentContext& context = host_.document().context();
    // While the exact count is read, a full page may have more after it than the estimate says.
    const bool fullPage = static_cast<int>(rows_.size()) == context.rowsPerPage;
    if (context.recordCount == 0 && !(countOutstanding() && fullPage))
        return;
    if (context.pageIndex < lastPageIndex(context.recordCount, context.rowsPerPage) ||
        (countOutstanding() && fullPage))
        ++context.pageIndex;
    readPage();
}

void CDbkeeperView::previousPage() {
    DocumentContext& context = host_.document().context();
    if (context.pageIndex == 0)
        return;
    --context.pageIndex;
    readPage();
}

void CDbkeeperView::openPageDialog() {
    DocumentContext& context = host_.document().context();
    if (context.recordCount == 0 || context.currentDatabase.empty() || context.currentTable.empty())
        return;
    PageDialogForm form(context.recordCount, countDisplay(), context.pageIndex + 1, context.rowsPerPage,
                        this);
    if (runModal(form) != QDialog::Accepted)
        return;
    context.pageIndex = form.pageIndex();
    context.rowsPerPage = form.rowsPerPage();
    QSettings settings;
    writePageLength(settings, context.rowsPerPage);
    readPage();
}

QString CDbkeeperView::selectionText() const {
    std::vector<const Row*> selected;
    for (int r = 0; r < rowCount(); ++r) {
        if (selectionModel()->isRowSelected(r, QModelIndex()))
            selected.push_back(&rows_[static_cast<size_t>(r)]);
    }
    return fromServer(host_.document().connection(), rowsAsText(selected));
}

void CDbkeeperView::copySelection() {
    if (rowCount() == 0)
        return;
    const QString text = selectionText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void CDbkeeperView::sortByColumn(int column) {
    if (column < 0 || column >= columnCount())
        return;
    WaitCursor wait;
    sortRows(rows_, static_cast<size_t>(column), sortAscending(),
             serverEncoding(host_.document().connection()));
    sortAscending() = !sortAscending();
    showRows();
}

int CDbkeeperView::hotRow() const {
    return currentIndex().isValid() ? currentRow() : -1;
}

void CDbkeeperView::setHotRow(int row) {
    setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (QTableWidgetItem* cell = item(row, 0))
        scrollToItem(cell);
}

void CDbkeeperView::openRow(int row) {
    if (rowCount() == 0 || row < 0)
        return;
    lastChangedRow_ = row;
    const DocumentContext& context = host_.document().context();
    // Rows of the grant tables belong to the privilege forms; no generic editor writes them.
    if (object_tree::isGrantTable(context.currentDatabase, context.currentTable)) {
        if (const FormEntry* entry = FormRegistry::instance().forGrantTable(context.currentTable))
            host_.runEntry(*entry, EntryTarget{context.currentDatabase, context.currentTable, row});
        return;
    }
    host_.runCommand(cmd::RecordDetails, Pane::List);
}

void CDbkeeperView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            openRow(lastChangedRow_);
            return;
        case Qt::Key_Left:
            previousPage();
            return;
        case Qt::Key_Right:
            nextPage();
            return;
        case Qt::Key_F5:
            fill();
            return;
        case Qt::Key_P:
        case Qt::Key_F1:
            if (event->modifiers() == Qt::NoModifier) {
                openPageDialog();
                return;
            }
            break;
        default:
            break;
    }
    QTableWidget::keyPressEvent(event);
}

void CDbkeeperView::contextMenuEvent(QContextMenuEvent* event) {
    if (rowCount() == 0)
        return;
    QMenu menu(this);
    const std::pair<int, QString> items[] = {{cmd::Copy, QStringLiteral("コピー")},
                                             {cmd::OpenWithApplication, msg(cmd::OpenWithApplication)},
                                             {cmd::RecordDetails, msg(cmd::RecordDetails)}};
    for (const auto& [id, text] : items) {
        QAction* action = menu.addAction(text);
        action->setEnabled(host_.isCommandEnabled(id, Pane::List));
        connect(action, &QAction::triggered, this, [this, id = id] { host_.runCommand(id, Pane::List); });
    }
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("再表示(F5)")), &QAction::triggered, this, &CDbkeeperView::fill);
    menu.exec(event->globalPos());
}

}  // namespace dbk
