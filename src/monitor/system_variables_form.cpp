#include "monitor/system_variables_form.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/report_list_widget.h"
#include "conn/session.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {
constexpr int kVariableHeading = 20803;
constexpr int kContentsHeading = 20804;
}  // namespace

SystemVariablesForm::SystemVariablesForm(Session& session, QWidget* parent)
    : QDialog(parent),
      variables_(readServerVariables(session.connection())),
      list_(new QTableWidget),
      explanation_(new QLineEdit),
      okButton_(new QPushButton(QStringLiteral("OK"))) {
    setWindowTitle(QStringLiteral("システム変数リスト"));
    list_->setColumnCount(2);
    list_->setHorizontalHeaderLabels({msg(kVariableHeading), msg(kContentsHeading)});
    list_->setColumnWidth(0, 150);
    list_->setColumnWidth(1, 500);
    setUpReportList(list_, false);
    list_->setSortingEnabled(false);
    list_->horizontalHeader()->setSectionsClickable(false);
    list_->setAccessibleName(windowTitle());
    explanation_->setReadOnly(true);
    explanation_->setAccessibleName(QStringLiteral("説明"));
    okButton_->setAccessibleName(okButton_->text());
    okButton_->setDefault(true);

    auto* explanationRow = new QHBoxLayout;
    explanationRow->addWidget(captionLabel(QStringLiteral("説明:"), explanation_));
    explanationRow->addWidget(explanation_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(explanationRow);
    layout->addLayout(buttons);
    resize(700, 480);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(list_, &QTableWidget::currentCellChanged, this, [this](int row) { showExplanation(row); });

    encoding_ = serverEncoding(session.connection());
    // The variables come sorted by name, as the list keeps them.
    list_->setRowCount(static_cast<int>(variables_.size()));
    for (size_t r = 0; r < variables_.size(); ++r) {
        list_->setItem(int(r), 0, new QTableWidgetItem(fromServer(encoding_, variables_[r].name)));
        list_->setItem(int(r), 1, new QTableWidgetItem(fromServer(encoding_, variables_[r].value)));
    }
}

bool SystemVariablesForm::selectVariable(const QString& name) {
    for (int r = 0; r < list_->rowCount(); ++r) {
        if (list_->item(r, 0)->text() == name) {
            list_->setCurrentCell(r, 0);
            return true;
        }
    }
    return false;
}

void SystemVariablesForm::showExplanation(int row) {
    if (row < 0 || row >= static_cast<int>(variables_.size())) {
        explanation_->clear();
        return;
    }
    explanation_->setText(variableExplanation(variables_[size_t(row)].name, interfaceLanguage()));
}

}  // namespace dbk
