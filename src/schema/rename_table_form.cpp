#include "schema/rename_table_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "schema/table_options.h"

namespace dbk {

RenameTableForm::RenameTableForm(Session& session, const std::string& database, const std::string& table,
                                 QWidget* parent)
    : QDialog(parent),
      session_(session),
      database_(database),
      table_(table),
      current_(new QLineEdit(fromServer(session_.connection(), database + "." + table))),
      newName_(new QLineEdit(fromServer(session_.connection(), table))),
      ok_(new QPushButton(QStringLiteral("OK"))) {
    setWindowTitle(QStringLiteral("テーブル名変更"));
    current_->setReadOnly(true);
    const QString newCaption = QStringLiteral("新しいテーブル名");
    auto* databasePart = new QLineEdit(fromServer(session_.connection(), database + "."));
    databasePart->setReadOnly(true);
    databasePart->setAccessibleName(newCaption);

    auto* grid = new QGridLayout;
    grid->addWidget(captionLabel(QStringLiteral("変更するテーブル名"), current_), 0, 0);
    grid->addWidget(current_, 0, 1, 1, 2);
    grid->addWidget(captionLabel(newCaption, newName_), 1, 0);
    grid->addWidget(databasePart, 1, 1);
    grid->addWidget(newName_, 1, 2);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    ok_->setDefault(true);
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, &RenameTableForm::okClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    newName_->setFocus();
}

void RenameTableForm::okClicked() {
    const std::string newName = toServer(session_.connection(), newName_->text());
    if (session_.connection().exec(renameTableStatement(session_.connection(), database_, table_, newName))) {
        table_ = newName;
    } else {
        ui().errorMessage(QStringLiteral("変更できませんでした！！"), QStringLiteral("Tolvane情報"));
    }
    accept();
}

}  // namespace dbk
