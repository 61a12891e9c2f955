#include "privileges/user_info_form.h"

#include <QFocusEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/choice_list_widget.h"
#include "app/database_chooser_form.h"
#include "app/modal_runner.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "privileges/database_form.h"
#include "privileges/grant_access.h"
#include "privileges/privilege_panel_widget.h"

namespace dbk {

using namespace privileges;
namespace lists = privilege_lists;

UserInfoForm::UserInfoForm(Session& session, Mode mode, std::string keyHost, std::string keyUser,
                           std::string storedPassword, QWidget* parent)
    : QDialog(parent),
      session_(session),
      writer_(AccountWriter::forSession(session)),
      mode_(mode),
      key_{mode == Mode::Add ? std::string() : std::move(keyHost),
           mode == Mode::Add ? std::string() : std::move(keyUser)},
      storedPassword_(mode == Mode::Add ? std::string() : std::move(storedPassword)),
      hostField_(new QLineEdit),
      userField_(new QLineEdit),
      passwordField_(new QLineEdit),
      confirmField_(new QLineEdit),
      globalPanel_(new PrivilegePanelWidget(PrivilegePanelWidget::Kind::Global)),
      adminPresetButton_(new QPushButton(QStringLiteral("アドミン設定"))),
      ordinaryPresetButton_(new QPushButton(QStringLiteral("一般ユーザ"))),
      databaseGroup_(new QGroupBox(QStringLiteral("詳細設定（データベース単位）"))),
      addDatabaseButton_(new QPushButton(QStringLiteral("データベース追加"))),
      databaseList_(lists::makeIconList(QStringLiteral("データベース"))),
      databaseHostField_(new QLineEdit),
      databasePanel_(new PrivilegePanelWidget(PrivilegePanelWidget::Kind::Database)),
      databaseUpdateButton_(new QPushButton(QStringLiteral("更新"))),
      databaseDeleteButton_(new QPushButton(QStringLiteral("削除"))),
      updateButton_(new QPushButton(QStringLiteral("更新"))),
      closeButton_(new QPushButton(QStringLiteral("閉じる"))),
      deleteUserButton_(new QPushButton(QStringLiteral("ユーザ削除"))) {
    setWindowTitle(QStringLiteral("ユーザ情報"));
    buildLayout();
    passwordField_->setEchoMode(QLineEdit::Password);
    confirmField_->setEchoMode(QLineEdit::Password);
    confirmField_->installEventFilter(this);

    connect(passwordField_, &QLineEdit::textEdited, this, [this] { passwordChanged_ = true; });
    connect(confirmField_, &QLineEdit::textEdited, this, [this] { passwordChanged_ = true; });
    connect(adminPresetButton_, &QPushButton::clicked, this, [this] {
        globalPanel_->setAll(true);
        ui().message(msg(kAdminPresetSet));
    });
    connect(ordinaryPresetButton_, &QPushButton::clicked, this, [this] { globalPanel_->setAll(false); });
    connect(addDatabaseButton_, &QPushButton::clicked, this, &UserInfoForm::addDatabase);
    onChoice(databaseList_, this, [this](QListWidgetItem* item) { selectDatabaseEntry(item); });
    connect(databaseList_, &QListWidget::itemDoubleClicked, this, &UserInfoForm::openDatabaseForm);
    connect(databaseUpdateButton_, &QPushButton::clicked, this, &UserInfoForm::updateDatabaseRow);
    connect(databaseDeleteButton_, &QPushButton::clicked, this, &UserInfoForm::deleteDatabaseRow);
    connect(updateButton_, &QPushButton::clicked, this, &UserInfoForm::update);
    connect(closeButton_, &QPushButton::clicked, this, &UserInfoForm::reject);
    connect(deleteUserButton_, &QPushButton::clicked, this, &UserInfoForm::deleteAccount);
    updateButton_->setDefault(true);

    showMode();
    if (mode_ == Mode::Change)
        loadAccount();
}

UserInfoForm::~UserInfoForm() {
    confirmField_->removeEventFilter(this);
}

void UserInfoForm::buildLayout() {
    auto* fields = new QFormLayout;
    fields->addRow(captionLabel(QStringLiteral("ホスト名"), hostField_), hostField_);
    fields->addRow(captionLabel(QStringLiteral("ユーザ名"), userField_), userField_);
    fields->addRow(captionLabel(QStringLiteral("パスワード"), passwordField_), passwordField_);
    fields->addRow(captionLabel(QStringLiteral("確認"), confirmField_), confirmField_);

    auto* globalGroup = new QGroupBox(QStringLiteral("詳細設定"));
    auto* globalLayout = new QVBoxLayout(globalGroup);
    globalLayout->addWidget(globalPanel_);
    auto* presets = new QHBoxLayout;
    presets->addStretch();
    presets->addWidget(adminPresetButton_);
    presets->addWidget(ordinaryPresetButton_);
    globalLayout->addLayout(presets);

    auto* databaseLayout = new QVBoxLayout(databaseGroup_);
    auto* top = new QHBoxLayout;
    top->addWidget(addDatabaseButton_);
    top->addStretch();
    databaseLayout->addLayout(top);
    databaseLayout->addWidget(databaseList_);
    auto* hostRow = new QFormLayout;
    hostRow->addRow(captionLabel(QStringLiteral("ホスト"), databaseHostField_), databaseHostField_);
    databaseLayout->addLayout(hostRow);
    databaseLayout->addWidget(databasePanel_);
    auto* rowButtons = new QHBoxLayout;
    rowButtons->addStretch();
    rowButtons->addWidget(databaseUpdateButton_);
    rowButtons->addWidget(databaseDeleteButton_);
    databaseLayout->addLayout(rowButtons);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(deleteUserButton_);
    buttons->addStretch();
    buttons->addWidget(updateButton_);
    buttons->addWidget(closeButton_);

    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addWidget(globalGroup);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(databaseGroup_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);
}

// An account that is not added yet has no database rows and nothing to delete.
void UserInfoForm::showMode() {
    const bool exists = mode_ == Mode::Change;
    databaseGroup_->setEnabled(exists);
    deleteUserButton_->setEnabled(exists);
}

void UserInfoForm::loadAccount() {
    hostField_->setText(fromServer(session_.connection(), key_.host));
    userField_->setText(fromServer(session_.connection(), key_.user));
    passwordField_->setText(fromServer(session_.connection(), storedPassword_));
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    std::optional<Result> row =
        readGrantRow(connection, grants::sql::readUser(connection, key_.host, key_.user));
    if (!row)
        return;
    globalPanel_->setGlobalRights(grants::globalRightsOf(*row));
    fillDatabaseList();
}

void UserInfoForm::fillDatabaseList() {
    Connection& connection = session_.connection();
    std::optional<Result> rows = readGrantRows(connection, grants::sql::userDbRows(connection, key_.user));
    if (!rows)
        return;
    databaseList_->clear();
    for (const DbRowEntry& row : dbRowsOf(*rows))
        lists::addItem(databaseList_, lists::databaseIcon(), fromServer(session_.connection(), row.database),
                       {row.database, row.host}, true);
}

bool UserInfoForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == confirmField_ && event->type() == QEvent::FocusOut) {
        // Leaving for a message box or another window is no retyping done.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            retypeCheck();
    }
    return QDialog::eventFilter(watched, event);
}

void UserInfoForm::retypeCheck() {
    if (passwordField_->text() == confirmField_->text())
        return;
    ui().message(msg(kRetypePassword));
    passwordChanged_ = false;
    passwordField_->clear();
    confirmField_->clear();
}

void UserInfoForm::update() {
    if (!confirm(kConfirmChangeUser))
        return;
    if (mode_ == Mode::Change) {
        changeAccount();
    } else {
        addAccount();
    }
}

void UserInfoForm::changeAccount() {
    const Account account{toServer(session_.connection(), hostField_->text()),
                          toServer(session_.connection(), userField_->text())};
    std::optional<std::string> password;
    if (passwordChanged_ && confirmField_->text() == passwordField_->text()) {
        password = toServer(session_.connection(), passwordField_->text());
        ui().message(msg(kPasswordWillChange));
    }
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    const AccountOutcome outcome =
        writer_->run(writer_->planChange(key_, account, password, globalPanel_->globalRights()));
    if (!outcome.ok) {
        ui().message(accountFailureText(outcome, kUpdateFailed));
        if (outcome.stepsDone > 0) {
            key_ = account;  // the first step gave the account its new name
            fillDatabaseList();
        }
        return;
    }
    // Further changes in this form address the account by the name it has now (its database
    // rows too), and send the password again only when it is edited again.
    key_ = account;
    fillDatabaseList();
    passwordChanged_ = false;
    grants::reloadGrants(connection);
    ui().message(msg(kAlteredAndUpdated));
}

void UserInfoForm::addAccount() {
    const Account account{toServer(session_.connection(), hostField_->text()),
                          toServer(session_.connection(), userField_->text())};
    if (confirmField_->text() != passwordField_->text()) {
        ui().message(msg(kCheckPassword));
        passwordField_->clear();
        confirmField_->clear();
        return;
    }
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    const AccountOutcome outcome = writer_->run(writer_->planAdd(
        account, toServer(session_.connection(), passwordField_->text()), globalPanel_->globalRights()));
    if (outcome.stepsDone > 0) {
        // The account exists from the first step on: the form now changes it.
        key_ = account;
        mode_ = Mode::Change;
        showMode();
    }
    if (!outcome.ok) {
        ui().message(accountFailureText(outcome, kUpdateFailed));
        return;
    }
    passwordChanged_ = false;
    grants::reloadGrants(connection);
    ui().message(msg(kAddedAndUpdated));
}

void UserInfoForm::selectDatabaseEntry(QListWidgetItem* item) {
    databaseSelected_ = false;
    if (!item) {
        selectedHost_.clear();
        databaseHostField_->clear();
        databasePanel_->setAll(false);
        return;
    }
    const std::string database = lists::value(item, 0);
    selectedHost_ = lists::value(item, 1);
    databaseHostField_->setText(fromServer(session_.connection(), selectedHost_));
    const std::string user = key_.user;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    std::optional<Result> row =
        readGrantRow(connection, grants::sql::readDbRow(connection, database, selectedHost_, user));
    if (!row)
        return;
    databasePanel_->setDatabaseRights(grants::databaseRightsOf(*row));
    selectedDatabase_ = database;
    selectedUser_ = user;
    databaseSelected_ = true;
}

void UserInfoForm::updateDatabaseRow() {
    if (!databaseSelected_) {
        ui().message(msg(kSelectDatabase));
        return;
    }
    if (!confirm(kConfirmChangeUser))
        return;
    Connection& connection = session_.connection();
    const std::string setList = grants::databaseSetList(
        grants::userKey(connection, toServer(session_.connection(), databaseHostField_->text()),
                        toServer(session_.connection(), userField_->text())),
        databasePanel_->databaseRights());
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(
            connection,
            grants::sql::updateDbRow(connection, setList, selectedDatabase_, selectedHost_, selectedUser_),
            kUpdateFailed))
        return;
    fillDatabaseList();
    ui().message(msg(kDatabaseUpdated));
}

void UserInfoForm::deleteDatabaseRow() {
    if (!databaseSelected_) {
        ui().message(msg(kSelectDatabase));
        return;
    }
    if (!confirm(kConfirmDeleteIt))
        return;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(
            connection,
            grants::sql::deleteDbRow(connection, toServer(session_.connection(), databaseHostField_->text()),
                                     selectedDatabase_, toServer(session_.connection(), userField_->text())),
            kNoAccessPrivileges))
        return;
    fillDatabaseList();
}

void UserInfoForm::addDatabase() {
    DatabaseChooserForm chooser(session_, this);
    runModal(chooser);
    const std::optional<std::string> chosen = chooser.chosen();
    if (!chosen || chosen->empty())
        return;
    if (*chosen == "mysql") {
        ui().message(msg(kCannotAddToMysql));
        return;
    }
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    if (!writeGrantRows(connection, grants::sql::insertDbRowAllOff(connection, key_.host, *chosen, key_.user),
                        kNoAccessPrivileges))
        return;
    fillDatabaseList();
}

void UserInfoForm::openDatabaseForm(QListWidgetItem* item) {
    if (!item)
        return;
    DatabaseForm form(session_, lists::value(item, 0), this);
    runModal(form);
}

void UserInfoForm::deleteAccount() {
    if (!confirm(kConfirmDeleteIt))
        return;
    Connection& connection = session_.connection();
    if (!openGrantDatabase(connection))
        return;
    const AccountOutcome outcome = writer_->run(writer_->planRemove(key_));
    if (!outcome.ok) {
        ui().message(accountFailureText(outcome, kNoAccessPrivileges));
        return;
    }
    accept();
}

}  // namespace dbk
