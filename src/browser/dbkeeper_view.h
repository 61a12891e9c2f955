#pragma once

#include <QTableWidget>

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

    // The row the list highlights (the current row); -1 when none.
    int hotRow() const;
    void setHotRow(int row);

protected:
    ViewHost& host_;
};

}  // namespace dbk
