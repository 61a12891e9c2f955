#pragma once

#include <QTableWidget>
#include <vector>

#include "browser/record_count.h"
#include "browser/record_page.h"

namespace dbk {

class ViewHost;

// The record list: the selected table's records a page at a time, one column per field.
class CDbkeeperView : public QTableWidget {
    Q_OBJECT
public:
    explicit CDbkeeperView(ViewHost& host, QWidget* parent = nullptr);

    // First show: list set-up and the page length from the settings.
    virtual void initialUpdate();
    // The document's context changed: fill the list again.
    virtual void updateView();
    // Reads the table afresh (its count and key too) and shows the page of the context.
    void fill();

    // Paging, as the toolbar and the arrow keys do it.
    void nextPage();
    void previousPage();
    void openPageDialog();
    // Puts the selected rows on the clipboard.
    void copySelection();
    // The selected rows as the clipboard gets them.
    QString selectionText() const;
    // Sorts the rows by a column; the direction alternates with every sort of the run.
    void sortByColumn(int column);

    // The row the list highlights (the current row); -1 when none.
    int hotRow() const;
    void setHotRow(int row);
    // The row that changed state last (Enter opens it).
    int lastChangedRow() const { return lastChangedRow_; }

    const std::vector<std::string>& fieldNames() const { return fieldNames_; }
    const std::vector<Row>& rows() const { return rows_; }
    // Replaces the cells of one row (after the details form changed it) or drops it.
    void setRowValues(int row, const Row& values);
    void removeListRow(int row);
    FilterConditions& filter() { return filter_; }
    const std::string& lastCountStatement() const { return countStatement_; }
    // The statement that read the rows shown (empty when the page needed none).
    const std::string& lastSelectStatement() const { return selectStatement_; }
    // The statement that found the key of a page reached by a jump, before the rows were read.
    const std::string& lastKeyStatement() const { return keyStatement_; }
    // The count shown is the statistics' estimate or still being read in the background.
    bool countOutstanding() const { return pager_.countOutstanding(); }
    BackgroundCount& backgroundCount() { return *backgroundCount_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void openRow(int row);
    void showRows();
    // Shows the page of the context, keeping what is known of the table.
    void readPage();
    void showStatus();
    // The record count as the status and the page dialog show it: exact, estimated or coming.
    QString countDisplay();
    void countArrived(long long rows);

    ViewHost& host_;
    std::vector<std::string> fieldNames_;
    std::vector<Row> rows_;
    FilterConditions filter_;
    std::string countStatement_;
    std::string selectStatement_;
    std::string keyStatement_;
    RecordPager pager_;
    BackgroundCount* backgroundCount_;
    std::string shownDatabase_, shownTable_;
    int shownPage_ = 0;
    int lastChangedRow_ = -1;
};

}  // namespace dbk
