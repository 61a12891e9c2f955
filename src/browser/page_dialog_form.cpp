#include "browser/page_dialog_form.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>

#include "browser/record_page.h"

namespace dbk {

PageDialogForm::PageDialogForm(long long recordCount, const QString& countText, int page, int rowsPerPage,
                               QWidget* parent)
    : QDialog(parent),
      recordCount_(recordCount),
      rowsPerPage_(rowsPerPage),
      pageEdit_(new QLineEdit(QString::number(page))),
      pageCountEdit_(new QLineEdit),
      recordCountEdit_(new QLineEdit(countText)),
      rangeEdit_(new QLineEdit),
      rowsEdit_(new QLineEdit(QString::number(rowsPerPage))),
      upButton_(new QPushButton(QStringLiteral("▲"))),
      downButton_(new QPushButton(QStringLiteral("▼"))) {
    setWindowTitle(QStringLiteral("ページ"));
    for (QLineEdit* readOnly : {pageCountEdit_, recordCountEdit_, rangeEdit_})
        readOnly->setReadOnly(true);
    pageEdit_->setValidator(new QIntValidator(0, 1 << 30, this));
    rowsEdit_->setValidator(new QIntValidator(0, 1 << 30, this));

    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(pageEdit_);
    pageRow->addWidget(upButton_);
    pageRow->addWidget(downButton_);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &PageDialogForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PageDialogForm::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("ページ"), pageRow);
    layout->addRow(QStringLiteral("ページ数"), pageCountEdit_);
    layout->addRow(QStringLiteral("レコード数"), recordCountEdit_);
    layout->addRow(QStringLiteral("表示範囲"), rangeEdit_);
    layout->addRow(QStringLiteral("1ページの行数"), rowsEdit_);
    layout->addRow(buttons);

    connect(pageEdit_, &QLineEdit::textChanged, this, &PageDialogForm::recompute);
    connect(rowsEdit_, &QLineEdit::textChanged, this, [this] {
        if (currentRows() != 0)
            recompute();
    });
    connect(upButton_, &QPushButton::clicked, this, [this] {
        const int page = pageEdit_->text().toInt();
        if (page != pageCount_)
            pageEdit_->setText(QString::number(page + 1));
    });
    connect(downButton_, &QPushButton::clicked, this, [this] {
        const int page = pageEdit_->text().toInt();
        if (page != 1)
            pageEdit_->setText(QString::number(page - 1));
    });
    recompute();
}

int PageDialogForm::currentRows() const {
    return rowsEdit_->text().toInt();
}

void PageDialogForm::recompute() {
    const int rows = currentRows() > 0 ? currentRows() : rowsPerPage_;
    pageCount_ = pageCount(recordCount_, rows);
    pageCountEdit_->setText(QString::number(pageCount_));
    rangeEdit_->setText(pageRangeText(pageEdit_->text().toInt(), rows, recordCount_));
}

void PageDialogForm::accept() {
    rowsPerPage_ = currentRows() == 0 ? 100 : currentRows();
    pageCount_ = pageCount(recordCount_, rowsPerPage_);
    pageIndex_ = std::clamp(pageEdit_->text().toInt() - 1, 0, pageCount_ - 1);
    QDialog::accept();
}

}  // namespace dbk
