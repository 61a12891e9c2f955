#include "privileges/user_list_form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/choice_list_widget.h"
#include "app/modal_runner.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "privileges/grant_access.h"
#include "privileges/privilege_panel_widget.h"
#include "privileges/user_info_form.h"

namespace dbk {

using namespace privileges;
namespace lists = privilege_lists;

namespace {
enum Value { kUser = 0, kHost = 1, kPassword = 2 };
}  // namespace

UserListForm::UserListForm(Session& session, QWidget* parent)
    : QDialog(parent),
      session_(session),
      writer_(AccountWriter::forSession(session)),
      administratorList_(lists::makeIconList(QStringLiteral("アドミニストレータ"))),
      ordinaryList_(lists::makeIconList(QStringLiteral("一般ユーザ"))),
      userNameField_(new QLineEdit),
      hostField_(new QLineEdit),
      refreshButton_(new QPushButton(QStringLiteral("更新"))),
      closeButton_(new QPushButton(QStringLiteral("閉じる"))),
      newUserButton_(new QPushButton(QStringLiteral("新規ユーザ"))),
      deleteButton_(new QPushButton(QStringLiteral("削除"))),
      contextMenu_(new QMenu(this)),
      addAction_(contextMenu_->addAction(msg(kMenuAdd))),
      deleteAction_(contextMenu_->addAction(msg(kMenuDelete))),
      detailsAction_(contextMenu_->addAction(msg(kMenuDetails))) {
    setWindowTitle(QStringLiteral("ユーザ一覧"));
    userNameField_->setReadOnly(true);
    hostField_->setReadOnly(true);

    auto* layout = new QVBoxLayout(this);
    for (QListWidget* list : {administratorList_, ordinaryList_}) {
        layout->addWidget(captionLabel(list->accessibleName(), list));
        layout->addWidget(list);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        list->installEventFilter(this);
        onChoice(list, this, [this, list](QListWidgetItem* item) { choose(list, item); });
        connect(list, &QListWidget::itemDoubleClicked, this, &UserListForm::openAccount);
        connect(list, &QListWidget::customContextMenuRequested, this,
                [this, list](const QPoint& at) { contextMenu_->popup(list->viewport()->mapToGlobal(at)); });
    }
    layout->addWidget(lists::legend({
        {lists::accountIcon(AccountIcon::Local), QStringLiteral("ローカルユーザ")},
        {lists::accountIcon(AccountIcon::Global), QStringLiteral("グローバルユーザ")},
        {lists::accountIcon(AccountIcon::Restricted), QStringLiteral("制限つきユーザ")},
    }));
    auto* fields = new QFormLayout;
    fields->addRow(captionLabel(QStringLiteral("ユーザ名"), userNameField_), userNameField_);
    fields->addRow(captionLabel(QStringLiteral("アクセス出来るホスト"), hostField_), hostField_);
    layout->addLayout(fields);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(newUserButton_);
    buttons->addWidget(deleteButton_);
    buttons->addStretch();
    buttons->addWidget(refreshButton_);
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);
    refreshButton_->setDefault(true);
    resize(520, 520);

    connect(refreshButton_, &QPushButton::clicked, this, &UserListForm::fill);
    connect(closeButton_, &QPushButton::clicked, this, &UserListForm::reject);
    connect(newUserButton_, &QPushButton::clicked, this, &UserListForm::addAccount);
    connect(deleteButton_, &QPushButton::clicked, this, &UserListForm::deleteSelected);
    connect(addAction_, &QAction::triggered, this, &UserListForm::addAccount);
    connect(deleteAction_, &QAction::triggered, this, &UserListForm::deleteSelected);
    fill();
}

UserListForm::~UserListForm() {
    administratorList_->removeEventFilter(this);
    ordinaryList_->removeEventFilter(this);
}

void UserListForm::fill() {
    std::optional<std::vector<UserListEntry>> entries = readUserList(session_.connection());
    if (!entries)
        return;
    administratorList_->clear();
    ordinaryList_->clear();
    for (const UserListEntry& e : *entries) {
        const std::string label = e.user.empty() ? toServer(session_.connection(), msg(kNoUsers)) : e.user;
        lists::addItem(e.administrator ? administratorList_ : ordinaryList_,
                       lists::accountIcon(accountIconFor(e.host)), fromServer(session_.connection(), label),
                       {e.user, e.host, e.password});
    }
}

void UserListForm::choose(QListWidget* list, QListWidgetItem* item) {
    if (!item) {
        if (chosenList_ != list)
            return;
        chosenList_ = nullptr;
        chosen_.reset();
        userNameField_->clear();
        hostField_->clear();
        return;
    }
    chosenList_ = list;
    (list == administratorList_ ? ordinaryList_ : administratorList_)->clearSelection();
    chosen_ = Account{lists::value(item, kHost), lists::value(item, kUser)};
    userNameField_->setText(fromServer(session_.connection(), chosen_->user));
    hostField_->setText(fromServer(session_.connection(), chosen_->host));
}

void UserListForm::openAccount(QListWidgetItem* item) {
    if (!item)
        return;
    {
        UserInfoForm form(session_, UserInfoForm::Mode::Change, lists::value(item, kHost),
                          lists::value(item, kUser), lists::value(item, kPassword), this);
        runModal(form);
    }
    grants::reloadGrants(session_.connection());
    fill();
}

void UserListForm::addAccount() {
    {
        UserInfoForm form(session_, UserInfoForm::Mode::Add, {}, {}, {}, this);
        runModal(form);
    }
    grants::reloadGrants(session_.connection());
    fill();
}

void UserListForm::deleteSelected() {
    if (!chosen_) {
        ui().message(msg(kSelectUser));
        return;
    }
    const Account account = *chosen_;
    if (!confirm(kConfirmDeleteAccount, fromServer(session_.connection(), account.user),
                 fromServer(session_.connection(), account.host)))
        return;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    const AccountOutcome outcome = writer_->run(writer_->planRemove(account));
    if (!outcome.ok)
        ui().message(accountFailureText(outcome, kNoAccessPrivileges));
    if (outcome.stepsDone > 0)
        fill();
}

bool UserListForm::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == administratorList_ || watched == ordinaryList_) && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        deleteSelected();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace dbk
