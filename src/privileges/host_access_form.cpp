#include "privileges/host_access_form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/choice_list_widget.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "privileges/grant_access.h"
#include "privileges/privilege_panel_widget.h"

namespace dbk {

using namespace privileges;
namespace lists = privilege_lists;

HostAccessForm::HostAccessForm(Session& session, std::string database, QWidget* parent)
    : QDialog(parent),
      session_(session),
      database_(std::move(database)),
      databaseField_(new QLineEdit),
      newHostField_(new QLineEdit),
      addButton_(new QPushButton(QStringLiteral("追加"))),
      hostList_(lists::makeIconList(QStringLiteral("アクセス制限しているホスト"))),
      hostField_(new QLineEdit),
      panel_(new PrivilegePanelWidget(PrivilegePanelWidget::Kind::Database)),
      updateButton_(new QPushButton(QStringLiteral("更新"))),
      deleteButton_(new QPushButton(QStringLiteral("削除"))),
      closeButton_(new QPushButton(QStringLiteral("閉じる"))) {
    setWindowTitle(QStringLiteral("アクセス制限"));
    databaseField_->setReadOnly(true);
    auto* top = new QFormLayout;
    top->addRow(captionLabel(QStringLiteral("データベース"), databaseField_), databaseField_);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(captionLabel(QStringLiteral("制限するホスト"), newHostField_));
    addRow->addWidget(newHostField_);
    addRow->addWidget(addButton_);
    auto* hostRow = new QFormLayout;
    hostRow->addRow(captionLabel(QStringLiteral("ホスト"), hostField_), hostField_);
    auto* rowButtons = new QHBoxLayout;
    rowButtons->addStretch();
    rowButtons->addWidget(updateButton_);
    rowButtons->addWidget(deleteButton_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(addRow);
    layout->addWidget(captionLabel(hostList_->accessibleName(), hostList_));
    layout->addWidget(hostList_);
    layout->addLayout(hostRow);
    layout->addWidget(panel_);
    layout->addLayout(rowButtons);
    layout->addLayout(buttons);
    closeButton_->setDefault(true);

    connect(addButton_, &QPushButton::clicked, this, &HostAccessForm::addHost);
    onChoice(hostList_, this, [this](QListWidgetItem* item) { selectHost(item); });
    connect(updateButton_, &QPushButton::clicked, this, &HostAccessForm::updateRow);
    connect(deleteButton_, &QPushButton::clicked, this, &HostAccessForm::deleteRow);
    connect(closeButton_, &QPushButton::clicked, this, &HostAccessForm::reject);

    databaseField_->setText(fromServer(session_.connection(), database_));
    if (!session_.generation().hasHostTable()) {
        ui().message(msg(kNoHostTable));
        for (QWidget* w : std::initializer_list<QWidget*>{newHostField_, addButton_, hostList_, hostField_,
                                                          panel_, updateButton_, deleteButton_})
            w->setEnabled(false);
        return;
    }
    fill();
}

void HostAccessForm::fill() {
    Connection& connection = session_.connection();
    std::optional<Result> rows =
        readGrantRows(connection, grants::sql::databaseHostRows(connection, database_));
    if (!rows)
        return;
    hostList_->clear();
    for (const HostRowEntry& row : hostRowsOf(*rows))
        lists::addItem(hostList_, lists::hostIcon(row.granting), fromServer(session_.connection(), row.host),
                       {row.host});
}

void HostAccessForm::addHost() {
    const std::string host = toServer(session_.connection(), newHostField_->text());
    if (host.empty()) {
        ui().message(msg(kEnterControllingHost));
        return;
    }
    if (!confirm(kConfirmAddUser, fromServer(session_.connection(), host)))
        return;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(connection, grants::sql::insertHostRow(connection, host, database_),
                        kNoAccessPrivileges))
        return;
    fill();
    ui().message(msg(kDatabaseUpdated));
}

void HostAccessForm::selectHost(QListWidgetItem* item) {
    if (!item) {
        hostSelected_ = false;
        selectedHost_.clear();
        hostField_->clear();
        panel_->setAll(false);
        return;
    }
    selectedHost_ = lists::value(item, 0);
    hostSelected_ = true;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    std::optional<Result> row =
        readGrantRow(connection, grants::sql::readHostRow(connection, database_, selectedHost_));
    if (!row)
        return;
    hostField_->setText(fromServer(session_.connection(), grants::cell(*row, "Host", 0)));
    panel_->setDatabaseRights(grants::hostRightsOf(*row));
}

// Nothing is chosen any more: the fields are empty and no row is highlighted.
void HostAccessForm::clearRow() {
    hostList_->clearSelection();
    selectHost(nullptr);
}

void HostAccessForm::updateRow() {
    if (!hostSelected_) {
        ui().message(msg(kSelectHost));
        return;
    }
    if (confirm(kConfirmUpdate, fromServer(session_.connection(), selectedHost_))) {
        Connection& connection = session_.connection();
        const std::string setList = grants::databaseSetList(
            grants::hostKey(connection, toServer(session_.connection(), hostField_->text())),
            panel_->databaseRights());
        if (openGrantDatabase(connection) &&
            writeGrantRows(connection,
                           grants::sql::updateHostRow(connection, setList, database_, selectedHost_),
                           kUpdateFailed)) {
            fill();
            ui().message(msg(kDatabaseUpdated));
        }
    }
    clearRow();
}

void HostAccessForm::deleteRow() {
    if (!hostSelected_) {
        ui().message(msg(kSelectHost));
        return;
    }
    if (!confirm(kConfirmDeleteNamed, fromServer(session_.connection(), selectedHost_)))
        return;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(connection, grants::sql::deleteHostRow(connection, selectedHost_, database_),
                        kNoAccessPrivileges))
        return;
    fill();
    clearRow();
}

}  // namespace dbk
