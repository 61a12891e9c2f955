#include "privileges/database_list_form.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/modal_runner.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "privileges/database_form.h"
#include "privileges/database_user_form.h"
#include "privileges/grant_access.h"
#include "privileges/privilege_panel_widget.h"

namespace dbk {

using namespace privileges;
namespace lists = privilege_lists;

DatabaseListForm::DatabaseListForm(Session& session, QWidget* parent)
    : QDialog(parent),
      session_(session),
      databaseList_(lists::makeIconList(QStringLiteral("作成されているデータベースの一覧"))),
      accessList_(lists::makeIconList(QStringLiteral("アクセス可能なデータベース一覧"))),
      refreshButton_(new QPushButton(QStringLiteral("更新"))),
      cancelButton_(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"))) {
    setWindowTitle(QStringLiteral("データベース一覧"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(refreshButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(captionLabel(databaseList_->accessibleName(), databaseList_));
    layout->addWidget(databaseList_);
    layout->addWidget(captionLabel(accessList_->accessibleName(), accessList_));
    layout->addWidget(accessList_);
    layout->addWidget(lists::legend({
        {lists::accountIcon(AccountIcon::Local), QStringLiteral("ローカルユーザ")},
        {lists::accountIcon(AccountIcon::Global), QStringLiteral("グローバルユーザ")},
        {lists::accountIcon(AccountIcon::Restricted), QStringLiteral("制限つきユーザ")},
    }));
    layout->addLayout(buttons);
    refreshButton_->setDefault(true);
    resize(520, 460);

    connect(refreshButton_, &QPushButton::clicked, this, &DatabaseListForm::fill);
    connect(cancelButton_, &QPushButton::clicked, this, &DatabaseListForm::reject);
    connect(databaseList_, &QListWidget::itemDoubleClicked, this, &DatabaseListForm::openDatabase);
    connect(accessList_, &QListWidget::itemDoubleClicked, this, &DatabaseListForm::openAccess);
    fill();
}

void DatabaseListForm::fill() {
    Connection& connection = session_.connection();
    if (!connection.selectDb("mysql"))
        return;
    databaseList_->clear();
    accessList_->clear();
    const std::optional<std::vector<std::string>> names = listDatabaseNames(connection);
    if (!names)
        return;
    for (const std::string& name : *names)
        lists::addItem(databaseList_, lists::databaseIcon(), fromServer(session_.connection(), name), {name},
                       true);
    Result rows = connection.query(grants::sql::kSelectDbRows);
    if (!rows)
        return;
    if (!rows.hasRows()) {
        ui().message(msg(kNoData));
        return;
    }
    for (const DbRowEntry& row : dbRowsOf(rows)) {
        lists::addItem(accessList_, lists::accountIcon(accountIconFor(row.host)),
                       fromServer(session_.connection(), row.database), {row.host, row.database, row.user});
    }
}

void DatabaseListForm::openDatabase(QListWidgetItem* item) {
    const std::string name = lists::value(item, 0);
    if (name.empty())
        return;
    {
        DatabaseForm form(session_, name, this);
        runModal(form);
    }
    fill();
}

void DatabaseListForm::openAccess(QListWidgetItem* item) {
    if (!item)
        return;
    {
        DatabaseUserForm form(session_, lists::value(item, 0), lists::value(item, 1), lists::value(item, 2),
                              this);
        runModal(form);
    }
    fill();
}

}  // namespace dbk
