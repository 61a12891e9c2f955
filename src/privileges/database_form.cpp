#include "privileges/database_form.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/choice_list_widget.h"
#include "app/report_list_widget.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "privileges/grant_access.h"
#include "privileges/privilege_panel_widget.h"

namespace dbk {

using namespace privileges;
namespace lists = privilege_lists;

namespace {
constexpr int kHeadingWidth = 100;
constexpr int kBytesRole = Qt::UserRole;

std::string cellBytes(const QTableWidget* list, int row, int column) {
    const QTableWidgetItem* item = list->item(row, column);
    if (!item)
        return {};
    const QByteArray bytes = item->data(kBytesRole).toByteArray();
    return std::string(bytes.constData(), size_t(bytes.size()));
}
}  // namespace

DatabaseForm::DatabaseForm(Session& session, std::string database, QWidget* parent)
    : QDialog(parent),
      session_(session),
      database_(std::move(database)),
      databaseField_(new QLineEdit),
      accountList_(new QTableWidget(0, 2)),
      userList_(lists::makeIconList(QStringLiteral("使用できる一般ユーザ名"))),
      hostField_(new QLineEdit),
      panel_(new PrivilegePanelWidget(PrivilegePanelWidget::Kind::Database)),
      updateButton_(new QPushButton(QStringLiteral("更新"))),
      deleteButton_(new QPushButton(QStringLiteral("削除"))),
      okButton_(new QPushButton(QStringLiteral("OK"))),
      closeButton_(new QPushButton(QStringLiteral("閉じる"))) {
    setWindowTitle(QStringLiteral("データベース"));
    databaseField_->setReadOnly(true);
    accountList_->setAccessibleName(QStringLiteral("ユーザリスト"));
    setUpReportList(accountList_, false);
    accountList_->setHorizontalHeaderLabels({msg(kHostHeading), msg(kUserHeading)});
    accountList_->setColumnWidth(0, kHeadingWidth);
    accountList_->setColumnWidth(1, kHeadingWidth);
    accountList_->setMouseTracking(true);  // hot-tracking

    auto* top = new QFormLayout;
    top->addRow(captionLabel(QStringLiteral("データベース名"), databaseField_), databaseField_);

    auto* accounts = new QVBoxLayout;
    accounts->addWidget(captionLabel(QStringLiteral("ユーザリスト"), accountList_));
    accounts->addWidget(accountList_);

    auto* group = new QGroupBox(QStringLiteral("ユーザ設定"));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(captionLabel(QStringLiteral("使用できる一般ユーザ名"), userList_));
    groupLayout->addWidget(userList_);
    auto* hostRow = new QFormLayout;
    hostRow->addRow(captionLabel(QStringLiteral("ホスト"), hostField_), hostField_);
    groupLayout->addLayout(hostRow);
    groupLayout->addWidget(panel_);
    auto* rowButtons = new QHBoxLayout;
    rowButtons->addStretch();
    rowButtons->addWidget(updateButton_);
    rowButtons->addWidget(deleteButton_);
    groupLayout->addLayout(rowButtons);

    auto* columns = new QHBoxLayout;
    columns->addLayout(accounts);
    columns->addWidget(group);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(columns);
    layout->addLayout(buttons);
    okButton_->setDefault(true);

    onChoice(userList_, this, [this](QListWidgetItem* item) { selectUser(item); });
    connect(updateButton_, &QPushButton::clicked, this, &DatabaseForm::updateRow);
    connect(deleteButton_, &QPushButton::clicked, this, &DatabaseForm::deleteRow);
    connect(accountList_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { addAccount(row); });
    connect(okButton_, &QPushButton::clicked, this, &DatabaseForm::accept);
    connect(closeButton_, &QPushButton::clicked, this, &DatabaseForm::reject);

    databaseField_->setText(fromServer(session_.connection(), database_));
    fillUsers();
    fillAccounts();
}

void DatabaseForm::fillUsers() {
    Connection& connection = session_.connection();
    std::optional<Result> rows =
        readGrantRows(connection, grants::sql::databaseDbRows(connection, database_));
    if (!rows)
        return;
    userList_->clear();
    for (const DbRowEntry& row : dbRowsOf(*rows))
        lists::addItem(userList_, lists::accountIcon(accountIconFor(row.host)),
                       fromServer(session_.connection(), row.user), {row.user, row.host}, true);
}

void DatabaseForm::fillAccounts() {
    Connection& connection = session_.connection();
    std::optional<Result> rows = readGrantRows(connection, grants::sql::kSelectAccounts);
    if (!rows)
        return;
    accountList_->setRowCount(0);
    while (rows->next()) {
        const int row = accountList_->rowCount();
        accountList_->insertRow(row);
        const std::string values[] = {grants::cell(*rows, "Host", 0), grants::cell(*rows, "User", 1)};
        for (int column = 0; column < 2; ++column) {
            const std::string& v = values[column];
            auto* item = new QTableWidgetItem(fromServer(session_.connection(), v));
            item->setData(kBytesRole, QByteArray(v.data(), qsizetype(v.size())));
            accountList_->setItem(row, column, item);
        }
    }
}

void DatabaseForm::selectUser(QListWidgetItem* item) {
    if (!item) {
        clearSelection();
        return;
    }
    selectedUser_ = lists::value(item, 0);
    selectedHost_ = lists::value(item, 1);
    userSelected_ = true;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    std::optional<Result> row =
        readGrantRow(connection, grants::sql::readDbRow(connection, database_, selectedHost_, selectedUser_));
    if (!row)
        return;
    hostField_->setText(fromServer(session_.connection(), grants::cell(*row, "Host", 0)));
    panel_->setDatabaseRights(grants::databaseRightsOf(*row));
}

void DatabaseForm::clearSelection() {
    userList_->clearSelection();
    userSelected_ = false;
    selectedUser_.clear();
    selectedHost_.clear();
    hostField_->clear();
    panel_->setAll(false);
}

void DatabaseForm::updateRow() {
    if (!userSelected_) {
        ui().message(msg(kSelectUser));
        return;
    }
    if (!confirm(kConfirmUpdate, fromServer(session_.connection(), selectedUser_)))
        return;
    Connection& connection = session_.connection();
    const std::string setList = grants::databaseSetList(
        grants::hostKey(connection, toServer(session_.connection(), hostField_->text())),
        panel_->databaseRights());
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(
            connection,
            grants::sql::updateDbRow(connection, setList, database_, selectedHost_, selectedUser_),
            kUpdateFailed))
        return;
    fillUsers();
    clearSelection();
    ui().message(msg(kDatabaseUpdated));
}

void DatabaseForm::deleteRow() {
    if (!userSelected_) {
        ui().message(msg(kSelectUser));
        return;
    }
    if (!confirm(kConfirmDeleteNamed, fromServer(session_.connection(), selectedUser_)))
        return;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(connection,
                        grants::sql::deleteDbRow(connection, selectedHost_, database_, selectedUser_),
                        kNoAccessPrivileges))
        return;
    fillUsers();
    clearSelection();
}

void DatabaseForm::addAccount(int row) {
    if (row < 0)
        return;
    const std::string host = cellBytes(accountList_, row, 0);
    const std::string user = cellBytes(accountList_, row, 1);
    if (!confirm(kConfirmAddUser, fromServer(session_.connection(), user)))
        return;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(connection, grants::sql::insertDbRow(connection, host, database_, user),
                        kNoAccessPrivileges))
        return;
    fillUsers();
    ui().message(msg(kDatabaseUpdated));
}

}  // namespace dbk
