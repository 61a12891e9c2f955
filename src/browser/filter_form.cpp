#include "browser/filter_form.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/messages.h"
#include "app/report_list_widget.h"
#include "conn/session.h"
#include "conn/text_codec.h"

namespace dbk {

FilterForm::FilterForm(Session& session, const std::string& database, const std::string& table,
                       const FilterConditions& conditions, QWidget* parent)
    : QDialog(parent), list_(new QTableWidget(this)), nameEdit_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("フィルタ"));
    for (QLineEdit*& edit : conditionEdits_)
        edit = new QLineEdit(this);
    nameEdit_->setReadOnly(true);

    list_->setAccessibleName(windowTitle());
    list_->setColumnCount(4);
    list_->setHorizontalHeaderLabels({msg(10124), msg(10125), msg(10126), msg(10127)});
    for (int c = 0; c < 4; ++c)
        list_->setColumnWidth(c, 200);
    setUpReportList(list_, false);

    // A failed listing leaves the list empty; OK then changes no condition.
    encoding_ = serverEncoding(session.connection());
    model_.load(session.connection(), database, table, conditions);
    const auto& rows = model_.rows();
    list_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const FilterModel::FieldRow& row = rows[size_t(r)];
        list_->setItem(r, 0, new QTableWidgetItem(fromServer(encoding_, row.field)));
        for (int which = 0; which < 3; ++which) {
            list_->setItem(r, which + 1,
                           new QTableWidgetItem(fromServer(encoding_, row.conditions[size_t(which)])));
        }
    }

    connect(list_, &QTableWidget::currentCellChanged, this, [this](int row) { showSelectedRow(row); });
    for (int which = 0; which < 3; ++which) {
        connect(conditionEdits_[size_t(which)], &QLineEdit::textChanged, this,
                [this, which](const QString& text) { conditionEdited(which, text); });
    }

    auto* boxes = new QFormLayout;
    boxes->addRow(msg(10124), nameEdit_);
    for (int which = 0; which < 3; ++which)
        boxes->addRow(msg(10125 + which), conditionEdits_[size_t(which)]);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &FilterForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FilterForm::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(boxes);
    layout->addWidget(buttons);
    resize(840, 420);
    showSelectedRow(-1);
}

void FilterForm::selectField(int row) {
    list_->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void FilterForm::showSelectedRow(int row) {
    selectedRow_ = row >= 0 && row < list_->rowCount() ? row : -1;
    const bool selected = selectedRow_ >= 0;
    for (QLineEdit* edit : conditionEdits_)
        edit->setEnabled(selected);
    if (!selected) {
        nameEdit_->clear();
        for (QLineEdit* edit : conditionEdits_)
            edit->clear();
        return;
    }
    const FilterModel::FieldRow& fieldRow = model_.rows()[size_t(selectedRow_)];
    nameEdit_->setText(fromServer(encoding_, fieldRow.field));
    for (int which = 0; which < 3; ++which) {
        conditionEdits_[size_t(which)]->setText(fromServer(encoding_, fieldRow.conditions[size_t(which)]));
    }
    conditionEdits_[0]->setFocus();
}

void FilterForm::conditionEdited(int which, const QString& text) {
    if (selectedRow_ < 0)
        return;
    model_.setCondition(size_t(selectedRow_), which, toServer(encoding_, text));
    list_->item(selectedRow_, which + 1)->setText(text);
}

}  // namespace dbk
