#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace dbk {

// Chooses the page of the record list and the rows per page.
class PageDialogForm : public QDialog {
    Q_OBJECT
public:
    // `recordCount` as the list knows it, shown as `countText`.
    PageDialogForm(long long recordCount, const QString& countText, int page, int rowsPerPage,
                   QWidget* parent = nullptr);

    // After OK: the zero-based page index and the rows per page to use.
    int pageIndex() const { return pageIndex_; }
    int rowsPerPage() const { return rowsPerPage_; }

    QLineEdit* pageEdit() const { return pageEdit_; }
    QLineEdit* pageCountEdit() const { return pageCountEdit_; }
    QLineEdit* recordCountEdit() const { return recordCountEdit_; }
    QLineEdit* rangeEdit() const { return rangeEdit_; }
    QLineEdit* rowsEdit() const { return rowsEdit_; }
    QPushButton* upButton() const { return upButton_; }
    QPushButton* downButton() const { return downButton_; }

public slots:
    void accept() override;

private:
    int currentRows() const;
    void recompute();

    long long recordCount_ = 0;
    int pageCount_ = 1;
    int pageIndex_ = 0;
    int rowsPerPage_ = 100;
    QLineEdit* pageEdit_;
    QLineEdit* pageCountEdit_;
    QLineEdit* recordCountEdit_;
    QLineEdit* rangeEdit_;
    QLineEdit* rowsEdit_;
    QPushButton* upButton_;
    QPushButton* downButton_;
};

}  // namespace dbk
