#include "schema/add_key_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "browser/table_size.h"
#include "conn/session.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {

QPushButton* button(const QString& caption) {
    auto* b = new QPushButton(caption);
    b->setAutoDefault(false);
    b->setAccessibleName(caption);
    return b;
}

// The Japanese line of an action and the server's error in its "%d:%s".
QString failureText(const char* text, const Connection& connection) {
    return formatUi(QString::fromUtf8(text), connection.errorNumber(),
                    fromServer(connection, connection.errorText()));
}

bool hasPrimaryKey(Connection& connection, const std::string& database, const std::string& table) {
    const KeyListing keys = readKeyListing(connection, database, table);
    for (size_t i = 0; i < keys.rows.size(); ++i) {
        if (keys.keyName(i) == "PRIMARY")
            return true;
    }
    return false;
}

}  // namespace

AddKeyForm::AddKeyForm(Session& session, const std::string& database, const std::string& table, KeyKind kind,
                       const std::string& keyName, QWidget* parent)
    : QDialog(parent),
      session_(session),
      database_(database),
      table_(table),
      kind_(kind),
      keyName_(new QLineEdit),
      tableType_(readOnlyField()),
      candidates_(new QListWidget),
      keyColumns_(new QListWidget),
      add_(button(QStringLiteral(">"))),
      addAll_(button(QStringLiteral(">>"))),
      remove_(button(QStringLiteral("<"))),
      removeAll_(button(QStringLiteral("<<"))),
      create_(button(QStringLiteral("作成"))) {
    setWindowTitle(QStringLiteral("プライマリキー・インデックス追加"));
    auto* databaseEdit = readOnlyField();
    auto* tableEdit = readOnlyField();
    auto* cancel = button(QStringLiteral("ｷｬﾝｾﾙ"));
    create_->setDefault(true);

    auto* top = new QGridLayout;
    top->addWidget(captionLabel(QStringLiteral("データベース"), databaseEdit), 0, 0);
    top->addWidget(databaseEdit, 0, 1);
    top->addWidget(captionLabel(QStringLiteral("テーブル"), tableEdit), 0, 2);
    top->addWidget(tableEdit, 0, 3);
    top->addWidget(captionLabel(QStringLiteral("インデックス名"), keyName_), 1, 0);
    top->addWidget(keyName_, 1, 1);
    top->addWidget(captionLabel(QStringLiteral("テーブルタイプ"), tableType_), 1, 2);
    top->addWidget(tableType_, 1, 3);
    auto* moves = new QVBoxLayout;
    moves->addStretch(1);
    for (QPushButton* b : {add_, addAll_, remove_, removeAll_})
        moves->addWidget(b);
    moves->addStretch(1);
    auto* lists = new QGridLayout;
    lists->addWidget(captionLabel(QStringLiteral("フィールド"), candidates_), 0, 0);
    lists->addWidget(captionLabel(QStringLiteral("キーのフィールド"), keyColumns_), 0, 2);
    lists->addWidget(candidates_, 1, 0);
    lists->addLayout(moves, 1, 1);
    lists->addWidget(keyColumns_, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(create_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(lists);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, [this] { moveSelected(candidates_, keyColumns_); });
    connect(remove_, &QPushButton::clicked, this, [this] { moveSelected(keyColumns_, candidates_); });
    connect(addAll_, &QPushButton::clicked, this, [this] { moveAll(candidates_, keyColumns_); });
    connect(removeAll_, &QPushButton::clicked, this, [this] { moveAll(keyColumns_, candidates_); });
    connect(candidates_, &QListWidget::itemDoubleClicked, this,
            [this] { moveSelected(candidates_, keyColumns_); });
    connect(keyColumns_, &QListWidget::itemDoubleClicked, this,
            [this] { moveSelected(keyColumns_, candidates_); });
    connect(create_, &QPushButton::clicked, this, &AddKeyForm::create);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    databaseEdit->setText(fromServer(session_.connection(), database));
    tableEdit->setText(fromServer(session_.connection(), table));
    keyName_->setText(fromServer(session_.connection(), keyName));
    keyName_->setEnabled(kind != KeyKind::Primary);
    Connection& connection = session_.connection();
    TableStatus status;
    switch (readTableStatus(connection, database, table, status)) {
        case StatusOutcome::QueryFailed:
            break;
        case StatusOutcome::NoResult:
            ui().message(msg(10055));
            break;
        case StatusOutcome::NoRow:
            ui().message(msg(10056));
            break;
        case StatusOutcome::Read:
            tableType_->setText(fromServer(session_.connection(), status.type));
            break;
    }
    for (const std::string& column :
         keyCandidates(readFieldRows(connection, database, table), kind, status.type))
        candidates_->addItem(fromServer(session_.connection(), column));
}

void AddKeyForm::moveSelected(QListWidget* from, QListWidget* to) {
    QListWidgetItem* item = from->currentItem();
    if (!item || !item->isSelected())
        return;
    to->addItem(from->takeItem(from->row(item)));
}

void AddKeyForm::moveAll(QListWidget* from, QListWidget* to) {
    while (from->count() > 0)
        to->addItem(from->takeItem(0));
}

void AddKeyForm::create() {
    WaitCursor wait;
    std::vector<std::string> columns;
    for (int i = 0; i < keyColumns_->count(); ++i)
        columns.push_back(toServer(session_.connection(), keyColumns_->item(i)->text()));
    // Without columns nothing is sent: a primary key is not dropped for a key that never comes.
    if (columns.empty())
        return;
    Connection& connection = session_.connection();
    std::string statement = addKeyStatement(session_.connection(), kind_, database_, table_,
                                            toServer(session_.connection(), keyName_->text()), columns);
    // The old primary key goes in the same statement as the new one comes, so that a key the
    // server refuses leaves the old one in place.
    if (kind_ == KeyKind::Primary && hasPrimaryKey(connection, database_, table_))
        statement = replacePrimaryKeyStatement(session_.connection(), database_, table_, columns);
    if (!connection.exec(statement)) {
        ui().message(failureText("更新が出来ませんでした\n%d:%s", connection));
        return;
    }
    accept();
}

}  // namespace dbk
