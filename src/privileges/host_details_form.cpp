#include "privileges/host_details_form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "privileges/grant_access.h"
#include "privileges/privilege_panel_widget.h"

namespace dbk {

using namespace privileges;

HostDetailsForm::HostDetailsForm(Session& session, std::string host, std::string database, QWidget* parent)
    : QDialog(parent),
      session_(session),
      keyHost_(std::move(host)),
      keyDatabase_(std::move(database)),
      hostField_(new QLineEdit),
      databaseField_(new QLineEdit),
      panel_(new PrivilegePanelWidget(PrivilegePanelWidget::Kind::Database)),
      updateButton_(new QPushButton(QStringLiteral("更新"))),
      closeButton_(new QPushButton(QStringLiteral("閉じる"))),
      deleteButton_(new QPushButton(QStringLiteral("削除"))) {
    setWindowTitle(QStringLiteral("ホストの詳細"));
    databaseField_->setReadOnly(true);
    auto* fields = new QFormLayout;
    fields->addRow(captionLabel(QStringLiteral("ホスト"), hostField_), hostField_);
    fields->addRow(captionLabel(QStringLiteral("データベース"), databaseField_), databaseField_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(deleteButton_);
    buttons->addStretch();
    buttons->addWidget(updateButton_);
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(panel_);
    layout->addLayout(buttons);
    updateButton_->setDefault(true);

    connect(updateButton_, &QPushButton::clicked, this, &HostDetailsForm::update);
    connect(closeButton_, &QPushButton::clicked, this, &HostDetailsForm::reject);
    connect(deleteButton_, &QPushButton::clicked, this, &HostDetailsForm::deleteRow);

    hostField_->setText(fromServer(session_.connection(), keyHost_));
    databaseField_->setText(fromServer(session_.connection(), keyDatabase_));
    if (!session_.generation().hasHostTable()) {
        ui().message(msg(kNoHostTable));
        for (QWidget* w : std::initializer_list<QWidget*>{hostField_, panel_, updateButton_, deleteButton_})
            w->setEnabled(false);
        return;
    }
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    if (std::optional<Result> row =
            readGrantRow(connection, grants::sql::readHostRow(connection, keyDatabase_, keyHost_))) {
        panel_->setDatabaseRights(grants::hostRightsOf(*row));
    }
}

void HostDetailsForm::update() {
    if (keyHost_.empty()) {
        ui().message(msg(kSelectHost));
        return;
    }
    if (!confirm(kConfirmUpdate, fromServer(session_.connection(), keyHost_)))
        return;
    Connection& connection = session_.connection();
    const std::string setList = grants::databaseSetList(
        grants::hostKey(connection, toServer(session_.connection(), hostField_->text())),
        panel_->databaseRights());
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(connection, grants::sql::updateHostRow(connection, setList, keyDatabase_, keyHost_),
                        kUpdateFailed))
        return;
    ui().message(msg(kDatabaseUpdated));
    accept();
}

void HostDetailsForm::deleteRow() {
    if (keyHost_.empty()) {
        ui().message(msg(kSelectHost));
        return;
    }
    if (!confirm(kConfirmDeleteNamed, fromServer(session_.connection(), keyHost_)))
        return;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(connection, grants::sql::deleteHostRow(connection, keyHost_, keyDatabase_),
                        kNoAccessPrivileges))
        return;
    accept();
}

}  // namespace dbk
