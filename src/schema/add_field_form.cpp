#include "schema/add_field_form.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "schema/field_panel_widget.h"

namespace dbk {

namespace {

QLineEdit* nameBox(const QString& name) {
    auto* box = new QLineEdit;
    box->setAccessibleName(name);
    return box;
}

}  // namespace

AddFieldForm::AddFieldForm(Session& session, const std::string& database, const std::string& table,
                           QWidget* parent)
    : QDialog(parent),
      session_(session),
      database_(database),
      table_(table),
      panel_(new FieldPanelWidget(PanelForm::AddField, serverEncoding(session.connection()))),
      unique_(new QCheckBox(QStringLiteral("一意制約"))),
      uniqueName_(nameBox(QStringLiteral("一意制約名"))),
      primaryKey_(new QCheckBox(QStringLiteral("プライマリーキー"))),
      index_(new QCheckBox(QStringLiteral("インデックス"))),
      indexName_(nameBox(QStringLiteral("インデックス名"))),
      top_(new QRadioButton(QStringLiteral("先頭に挿入"))),
      end_(new QRadioButton(QStringLiteral("最後に挿入"))),
      clear_(new QPushButton(QStringLiteral("クリア"))),
      add_(new QPushButton(QStringLiteral("追加"))) {
    setWindowTitle(QStringLiteral("フィールドの追加"));
    end_->setChecked(true);

    QGridLayout* keys = panel_->extraArea();
    keys->addWidget(unique_, 0, 0);
    keys->addWidget(uniqueName_, 0, 1);
    keys->addWidget(primaryKey_, 0, 2);
    keys->addWidget(index_, 1, 0);
    keys->addWidget(indexName_, 1, 1);
    auto* foreign = new QCheckBox(QStringLiteral("外部キー"));
    auto* foreignName = nameBox(QStringLiteral("外部キー名"));
    auto* check = new QCheckBox(QStringLiteral("チェック"));
    auto* checkName = nameBox(QStringLiteral("チェック名"));
    auto* more = new QPushButton(QStringLiteral("..."));
    for (QWidget* w : std::initializer_list<QWidget*>{foreign, foreignName, check, checkName, more})
        w->setEnabled(false);
    keys->addWidget(foreign, 2, 0);
    keys->addWidget(foreignName, 2, 1);
    keys->addWidget(check, 3, 0);
    keys->addWidget(checkName, 3, 1);
    keys->addWidget(more, 3, 2);

    auto* position = new QHBoxLayout;
    position->addWidget(top_);
    position->addWidget(end_);
    position->addStretch();
    position->addWidget(clear_);

    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    add_->setDefault(true);
    clear_->setAutoDefault(false);
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel_);
    layout->addLayout(position);
    layout->addLayout(buttons);

    connect(clear_, &QPushButton::clicked, this, &AddFieldForm::clearClicked);
    connect(add_, &QPushButton::clicked, this, &AddFieldForm::addClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

ColumnDefinition AddFieldForm::column() const {
    return panel_->definition();
}

AddFieldChoices AddFieldForm::choices() const {
    return AddFieldChoices{.atTop = top_->isChecked(),
                           .primaryKey = primaryKey_->isChecked(),
                           .index = index_->isChecked(),
                           .indexName = toServer(session_.connection(), indexName_->text()),
                           .unique = unique_->isChecked(),
                           .uniqueName = toServer(session_.connection(), uniqueName_->text())};
}

void AddFieldForm::clearClicked() {
    // The unique key's name stays: only the index name box is emptied.
    panel_->clear();
    indexName_->clear();
    for (QCheckBox* box : {primaryKey_, index_, unique_})
        box->setChecked(false);
    panel_->nameEdit()->setFocus();
}

void AddFieldForm::addClicked() {
    const ColumnDefinition c = column();
    Connection& connection = session_.connection();
    QString failure;
    {
        WaitCursor wait;
        for (const AddFieldStep& step :
             addFieldSteps(session_.connection(), database_, table_, c, choices())) {
            if (connection.exec(step.statement))
                continue;
            if (!step.columnAdded) {
                failure = serverErrorText(10005, connection);
            } else {
                // The column stays in the table although its key could not be made.
                failure = formatUi(QString::fromUtf8(step.failureText), connection.errorNumber(),
                                   fromServer(session_.connection(), connection.errorText())) +
                          u'\n' + msgf(20600, fromServer(session_.connection(), c.name));
            }
            break;
        }
    }
    if (!failure.isEmpty()) {
        ui().message(failure);
        return;
    }
    accept();
}

}  // namespace dbk
