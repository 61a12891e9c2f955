#include "privileges/database_user_form.h"

#include <QFormLayout>
#include <QGroupBox>
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

DatabaseUserForm::DatabaseUserForm(Session& session, std::string host, std::string database, std::string user,
                                   QWidget* parent)
    : QDialog(parent),
      session_(session),
      keyHost_(std::move(host)),
      keyDatabase_(std::move(database)),
      keyUser_(std::move(user)),
      hostField_(new QLineEdit),
      databaseField_(new QLineEdit),
      userField_(new QLineEdit),
      panel_(new PrivilegePanelWidget(PrivilegePanelWidget::Kind::Database)),
      updateButton_(new QPushButton(QStringLiteral("更新"))),
      cancelButton_(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"))),
      deleteButton_(new QPushButton(QStringLiteral("削除"))) {
    setWindowTitle(QStringLiteral("DB"));
    auto* fields = new QFormLayout;
    fields->addRow(captionLabel(QStringLiteral("ホスト"), hostField_), hostField_);
    fields->addRow(captionLabel(QStringLiteral("データベース名"), databaseField_), databaseField_);
    fields->addRow(captionLabel(QStringLiteral("ユーザ名"), userField_), userField_);
    auto* group = new QGroupBox(QStringLiteral("詳細設定"));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(panel_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(deleteButton_);
    buttons->addStretch();
    buttons->addWidget(updateButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(group);
    layout->addLayout(buttons);
    updateButton_->setDefault(true);

    connect(updateButton_, &QPushButton::clicked, this, &DatabaseUserForm::update);
    connect(cancelButton_, &QPushButton::clicked, this, &DatabaseUserForm::reject);
    connect(deleteButton_, &QPushButton::clicked, this, &DatabaseUserForm::deleteRow);

    hostField_->setText(fromServer(session_.connection(), keyHost_));
    databaseField_->setText(fromServer(session_.connection(), keyDatabase_));
    userField_->setText(fromServer(session_.connection(), keyUser_));
    if (openGrantDatabase(session_.connection()))
        loadRights();
}

bool DatabaseUserForm::loadRights() {
    Connection& connection = session_.connection();
    std::optional<Result> row =
        readGrantRow(connection, grants::sql::readDbRow(connection, keyDatabase_, keyHost_, keyUser_));
    if (!row)
        return false;
    panel_->setDatabaseRights(grants::databaseRightsOf(*row));
    return true;
}

void DatabaseUserForm::update() {
    if (!confirm(kConfirmChangeUser)) {
        reject();
        return;
    }
    const std::string host = toServer(session_.connection(), hostField_->text());
    const std::string database = toServer(session_.connection(), databaseField_->text());
    const std::string user = toServer(session_.connection(), userField_->text());
    if (database != keyDatabase_ && !confirm(kDatabaseWillChange)) {
        reject();
        return;
    }
    Connection& connection = session_.connection();
    const std::string setList = grants::databaseSetList(
        grants::databaseUserKey(connection, host, database, user), panel_->databaseRights());
    if (!writeGrantRows(connection,
                        grants::sql::updateDbRowKeys(connection, setList, keyDatabase_, keyHost_, keyUser_),
                        kUpdateFailed)) {
        reject();
        return;
    }
    keyHost_ = host;
    keyDatabase_ = database;
    keyUser_ = user;
    loadRights();
    grants::reloadGrants(connection);
    ui().message(msg(kAlteredAndUpdated));
    accept();
}

void DatabaseUserForm::deleteRow() {
    if (keyUser_.empty()) {
        ui().message(msg(kSelectUser));
        return;
    }
    if (!confirm(kConfirmDeleteNamed, fromServer(session_.connection(), keyUser_)))
        return;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(connection, grants::sql::deleteDbRow(connection, keyHost_, keyDatabase_, keyUser_),
                        kNoAccessPrivileges))
        return;
    accept();
}

}  // namespace dbk
