#include "schema/change_field_form.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "schema/field_panel_widget.h"

namespace dbk {

ChangeFieldForm::ChangeFieldForm(Session& session, const std::string& database, const std::string& table,
                                 const std::string& field, QWidget* parent)
    : QDialog(parent),
      session_(session),
      database_(database),
      table_(table),
      field_(field),
      originalName_(new QLineEdit(fromServer(session_.connection(), field))),
      originalType_(new QLineEdit),
      originalDefault_(new QLineEdit),
      panel_(new FieldPanelWidget(PanelForm::ChangeField, serverEncoding(session.connection()))),
      update_(new QPushButton(QStringLiteral("更新"))) {
    setWindowTitle(QStringLiteral("フィールドの変更"));
    auto* original = new QGroupBox(QStringLiteral("元のフィールド情報"));
    auto* originalBoxes = new QFormLayout(original);
    for (QLineEdit* box : {originalName_, originalType_, originalDefault_})
        box->setReadOnly(true);
    originalBoxes->addRow(QStringLiteral("フィールド名"), originalName_);
    originalBoxes->addRow(QStringLiteral("タイプ"), originalType_);
    originalBoxes->addRow(QStringLiteral("デフォルト"), originalDefault_);

    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    update_->setDefault(true);
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(update_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(original);
    layout->addWidget(panel_);
    layout->addLayout(buttons);
    connect(update_, &QPushButton::clicked, this, &ChangeFieldForm::updateClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    ColumnDefinition wanted;
    wanted.name = field;
    // A column that cannot be read leaves the boxes empty, without a message.
    if (auto column = readPresentColumn(session.connection(), session.generation(), database, table, field)) {
        present_ = *column;
        originalType_->setText(fromServer(session_.connection(), present_.type));
        originalDefault_->setText(fromServer(session_.connection(), present_.defaultValue.value_or("")));
        wanted = wantedFrom(present_);
        wanted.name = field;
    }
    panel_->load(wanted, true);
    panel_->applyTypeRule(false);
}

std::string ChangeFieldForm::statement() const {
    return modifyStatement(session_.connection(), database_, table_, field_, present_, panel_->definition());
}

void ChangeFieldForm::updateClicked() {
    Connection& connection = session_.connection();
    bool done = false;
    {
        WaitCursor wait;
        done = connection.exec(statement());
    }
    if (!done) {
        ui().message(msgf(10091, fromServer(session_.connection(), connection.errorText())));
        return;
    }
    accept();
}

}  // namespace dbk
