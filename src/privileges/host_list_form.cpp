#include "privileges/host_list_form.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/choice_list_widget.h"
#include "app/modal_runner.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "privileges/grant_access.h"
#include "privileges/host_access_form.h"
#include "privileges/host_details_form.h"
#include "privileges/privilege_panel_widget.h"

namespace dbk {

using namespace privileges;
namespace lists = privilege_lists;

HostListForm::HostListForm(Session& session, QWidget* parent)
    : QDialog(parent),
      session_(session),
      databaseList_(lists::makeIconList(QStringLiteral("作成されているデータベース"))),
      deniedList_(lists::makeIconList(QStringLiteral("アクセス拒否しているホスト"))),
      restrictedList_(lists::makeIconList(QStringLiteral("アクセス制限しているホスト"))),
      refreshButton_(new QPushButton(QStringLiteral("更新"))),
      cancelButton_(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"))) {
    setWindowTitle(QStringLiteral("ホスト一覧"));
    auto* layout = new QVBoxLayout(this);
    for (QListWidget* list : {databaseList_, deniedList_, restrictedList_}) {
        layout->addWidget(captionLabel(list->accessibleName(), list));
        layout->addWidget(list);
    }
    for (QListWidget* list : {deniedList_, restrictedList_}) {
        list->installEventFilter(this);
        onChoice(list, this, [this, list](QListWidgetItem* item) { choose(list, item); });
        connect(list, &QListWidget::itemDoubleClicked, this, &HostListForm::openHost);
    }
    connect(databaseList_, &QListWidget::itemDoubleClicked, this, &HostListForm::openDatabase);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(refreshButton_);
    buttons->addWidget(cancelButton_);
    layout->addLayout(buttons);
    refreshButton_->setDefault(true);
    resize(520, 560);
    connect(refreshButton_, &QPushButton::clicked, this, &HostListForm::fill);
    connect(cancelButton_, &QPushButton::clicked, this, &HostListForm::reject);

    if (!session_.generation().hasHostTable()) {
        ui().message(msg(kNoHostTable));
        for (QWidget* w : {static_cast<QWidget*>(databaseList_), static_cast<QWidget*>(deniedList_),
                           static_cast<QWidget*>(restrictedList_), static_cast<QWidget*>(refreshButton_)})
            w->setEnabled(false);
        return;
    }
    fill();
}

HostListForm::~HostListForm() {
    deniedList_->removeEventFilter(this);
    restrictedList_->removeEventFilter(this);
}

void HostListForm::fill() {
    Connection& connection = session_.connection();
    if (!connection.selectDb("mysql"))
        return;
    databaseList_->clear();
    const std::optional<std::vector<std::string>> names = listDatabaseNames(connection);
    if (!names)
        return;
    for (const std::string& name : *names)
        lists::addItem(databaseList_, lists::databaseIcon(), fromServer(session_.connection(), name), {name},
                       true);
    fillHosts(deniedList_, false);
    fillHosts(restrictedList_, true);
}

void HostListForm::fillHosts(QListWidget* list, bool granting) {
    Connection& connection = session_.connection();
    if (!connection.selectDb("mysql"))
        return;
    Result rows = connection.query(grants::sql::kSelectHostRows);
    if (!rows)
        return;
    list->clear();
    if (!rows.hasRows()) {
        ui().message(msg(kNoData));
        return;
    }
    for (const HostRowEntry& row : hostRowsOf(rows)) {
        if (row.granting == granting) {
            lists::addItem(list, lists::hostIcon(granting),
                           fromServer(session_.connection(), hostEntryLabel(row.host, row.database)),
                           {row.host, row.database});
        }
    }
}

void HostListForm::choose(QListWidget* list, QListWidgetItem* item) {
    if (!item) {
        if (chosenList_ == list) {
            chosenList_ = nullptr;
            chosen_.reset();
        }
        return;
    }
    chosenList_ = list;
    (list == deniedList_ ? restrictedList_ : deniedList_)->clearSelection();
    chosen_ = std::pair(lists::value(item, 0), lists::value(item, 1));
}

void HostListForm::openDatabase(QListWidgetItem* item) {
    const std::string name = lists::value(item, 0);
    if (name.empty())
        return;
    {
        HostAccessForm form(session_, name, this);
        runModal(form);
    }
    fill();
}

void HostListForm::openHost(QListWidgetItem* item) {
    const std::string host = lists::value(item, 0);
    const std::string database = lists::value(item, 1);
    if (database.empty())
        return;
    {
        HostDetailsForm form(session_, host, database, this);
        runModal(form);
    }
    fill();
}

void HostListForm::deleteSelected() {
    if (!chosen_) {
        ui().message(msg(kSelectHost));
        return;
    }
    const auto [host, database] = *chosen_;
    if (!confirm(kConfirmDeleteNamed, fromServer(session_.connection(), host)))
        return;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(connection, grants::sql::deleteHostRow(connection, host, database),
                        kNoAccessPrivileges))
        return;
    fill();
}

bool HostListForm::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == deniedList_ || watched == restrictedList_) && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        deleteSelected();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace dbk
