#include "transfer/console_history_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "transfer/console_history.h"

namespace dbk {

namespace {

// One line of the list: when, where, what came of it, and the statement's first line.
QString entryLine(const HistoryEntry& entry) {
    const QString when = entry.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString outcome = entry.rows ? QStringLiteral("%1行").arg(*entry.rows) : QStringLiteral("エラー");
    QString text = entry.statement.section(u'\n', 0, 0);
    if (text.size() < entry.statement.size())
        text += QStringLiteral(" …");
    return QStringLiteral("%1  [%2]  %3  %4").arg(when, entry.database, outcome, text);
}

}  // namespace

ConsoleHistoryDialog::ConsoleHistoryDialog(const ConsoleHistory& history, QWidget* parent)
    : QDialog(parent),
      history_(history),
      search_(new QLineEdit),
      list_(new QListWidget),
      okButton_(namedButton(QStringLiteral("OK"))),
      cancelButton_(namedButton(QStringLiteral("ｷｬﾝｾﾙ"))) {
    setWindowTitle(QStringLiteral("履歴"));
    okButton_->setDefault(true);

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(captionLabel(QStringLiteral("検索"), search_));
    searchRow->addWidget(search_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(captionLabel(QStringLiteral("履歴"), list_));
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(720, 420);

    connect(search_, &QLineEdit::textChanged, this, &ConsoleHistoryDialog::fill);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    fill();
}

void ConsoleHistoryDialog::fill() {
    list_->clear();
    shown_ = history_.search(search_->text());
    for (size_t index : shown_) {
        const HistoryEntry& entry = history_.entries()[index];
        auto* item = new QListWidgetItem(entryLine(entry), list_);
        item->setToolTip(entry.rows ? entry.statement
                                    : entry.statement + QStringLiteral("\n\n") + entry.error);
    }
    if (list_->count() > 0)
        list_->setCurrentRow(0);
}

QString ConsoleHistoryDialog::chosenStatement() const {
    const int row = list_->currentRow();
    if (row < 0 || static_cast<size_t>(row) >= shown_.size())
        return {};
    return history_.entries()[shown_[static_cast<size_t>(row)]].statement;
}

}  // namespace dbk
