#include "schema/create_database_form.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "schema/table_options.h"

namespace dbk {

CreateDatabaseForm::CreateDatabaseForm(Session& session, QWidget* parent)
    : QDialog(parent),
      session_(session),
      name_(new QLineEdit),
      create_(new QPushButton(QStringLiteral("作成"))) {
    setWindowTitle(QStringLiteral("データベース作成"));
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    create_->setDefault(true);
    cancel->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(captionLabel(QStringLiteral("データベース名"), name_));
    row->addWidget(name_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(create_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    connect(create_, &QPushButton::clicked, this, &CreateDatabaseForm::createClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::string CreateDatabaseForm::databaseName() const {
    return toServer(session_.connection(), name_->text());
}

void CreateDatabaseForm::createClicked() {
    const std::string name = databaseName();
    if (name.empty()) {
        ui().message(msg(10004));
        return;
    }
    Connection& connection = session_.connection();
    if (!connection.exec(createDatabaseStatement(connection, name))) {
        reportServerError(10005, connection);
        return;
    }
    accept();
}

}  // namespace dbk
