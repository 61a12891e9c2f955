#include "conn/login_form.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/ui_services.h"
#include "conn/folder_form.h"
#include "conn/host_file.h"
#include "conn/host_form.h"
#include "conn/name_rules.h"
#include "conn/text_codec.h"

namespace dbk {

LoginForm::LoginForm(const QString& directory, const LoginValues& preset, QWidget* parent)
    : QDialog(parent),
      directory_(directory),
      tree_(new QTreeWidget),
      userEdit_(new QLineEdit),
      passwordEdit_(new QLineEdit),
      hostEdit_(new QLineEdit),
      portEdit_(new QLineEdit) {
    setWindowTitle(QStringLiteral("ログイン"));
    passwordEdit_->setEchoMode(QLineEdit::Password);
    portEdit_->setMaxLength(static_cast<int>(HostFile::kPortFieldSize) - 1);

    images_[0] = QIcon(QStringLiteral(":/icons/folder.svg"));
    images_[1] = QIcon(QStringLiteral(":/icons/folder_open.svg"));
    images_[2] = QIcon(QStringLiteral(":/icons/host.svg"));
    images_[3] = QIcon(QStringLiteral(":/icons/host_selected.svg"));
    tree_->setHeaderHidden(true);
    tree_->setAccessibleName(msg(10002));
    tree_->setIconSize(QSize(16, 16));
    tree_->setMinimumWidth(220);

    const char* captions[] = {"接続",         "ｷｬﾝｾﾙ",      "フォルダ作成", "フォルダ編集",
                              "フォルダ削除", "新規ホスト", "ホスト編集",   "ホスト削除"};
    for (int i = 0; i < 8; ++i)
        buttons_[i] = new QPushButton(QString::fromUtf8(captions[i]));
    buttons_[Connect]->setDefault(true);

    auto* fields = new QGridLayout;
    const std::pair<const char*, QLineEdit*> rows[] = {{"ユーザ名", userEdit_},
                                                       {"パスワード", passwordEdit_},
                                                       {"ホスト名", hostEdit_},
                                                       {"ポート", portEdit_}};
    int row = 0;
    for (const auto& [caption, edit] : rows) {
        fields->addWidget(captionLabel(QString::fromUtf8(caption), edit), row, 0);
        fields->addWidget(edit, row++, 1);
    }
    auto* side = new QVBoxLayout;
    side->addLayout(fields);
    auto* treeButtons = new QGridLayout;
    treeButtons->addWidget(buttons_[CreateFolder], 0, 0);
    treeButtons->addWidget(buttons_[EditFolder], 0, 1);
    treeButtons->addWidget(buttons_[DeleteFolder], 0, 2);
    treeButtons->addWidget(buttons_[NewHost], 1, 0);
    treeButtons->addWidget(buttons_[EditHost], 1, 1);
    treeButtons->addWidget(buttons_[DeleteHost], 1, 2);
    side->addLayout(treeButtons);
    side->addStretch();
    auto* endButtons = new QHBoxLayout;
    endButtons->addStretch();
    endButtons->addWidget(buttons_[Connect]);
    endButtons->addWidget(buttons_[Cancel]);
    side->addLayout(endButtons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(tree_, 1);
    layout->addLayout(side, 1);

    connect(buttons_[Connect], &QPushButton::clicked, this, &LoginForm::connectClicked);
    connect(buttons_[Cancel], &QPushButton::clicked, this, &LoginForm::reject);
    connect(buttons_[CreateFolder], &QPushButton::clicked, this, &LoginForm::createFolder);
    connect(buttons_[EditFolder], &QPushButton::clicked, this, &LoginForm::editFolder);
    connect(buttons_[DeleteFolder], &QPushButton::clicked, this, &LoginForm::deleteFolder);
    connect(buttons_[NewHost], &QPushButton::clicked, this, &LoginForm::newHost);
    connect(buttons_[EditHost], &QPushButton::clicked, this, &LoginForm::editHost);
    connect(buttons_[DeleteHost], &QPushButton::clicked, this, &LoginForm::deleteHost);
    connect(tree_, &QTreeWidget::currentItemChanged, this, &LoginForm::selectionChanged);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { itemDoubleClicked(item); });

    setValues(preset);
    root_ = new QTreeWidgetItem(tree_);
    root_->setText(0, msg(10002));
    root_->setData(0, kImageRole, FolderNode::kFolderImage);
    updateIcon(root_, false);
    tree_->setCurrentItem(root_);
    loadTree();
    root_->setExpanded(true);
}

QString LoginForm::filePath(const char* name) const {
    return QDir(directory_).filePath(QString::fromLatin1(name));
}

void LoginForm::setValues(const LoginValues& values) {
    userEdit_->setText(values.user);
    passwordEdit_->setText(values.password);
    hostEdit_->setText(values.host);
    portEdit_->setText(values.port);
    security_ = values.security;
}

LoginValues LoginForm::values() const {
    return LoginValues{userEdit_->text(), passwordEdit_->text(), hostEdit_->text(),
                       portEdit_->text().trimmed(), security_};
}

std::optional<LoginValues> LoginForm::prompt(const LoginValues& preset) {
    LoginForm form(QDir::currentPath(), preset);
    if (runModal(form) != QDialog::Accepted)
        return std::nullopt;
    return form.values();
}

std::string LoginForm::nodeBytes(const QTreeWidgetItem* item) {
    const QByteArray bytes = item->data(0, kBytesRole).toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

int LoginForm::nodeImage(const QTreeWidgetItem* item) {
    return item->data(0, kImageRole).toInt();
}

void LoginForm::updateIcon(QTreeWidgetItem* item, bool selected) {
    item->setIcon(0, images_[nodeImage(item) + (selected ? 1 : 0)]);
}

void LoginForm::setNodeText(QTreeWidgetItem* item, const std::string& bytes) {
    item->setData(0, kBytesRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    item->setText(0, fromShiftJis(bytes));
}

QTreeWidgetItem* LoginForm::insertNode(QTreeWidgetItem* parent, const std::string& text, int image) {
    std::vector<std::string> siblings;
    siblings.reserve(static_cast<size_t>(parent->childCount()));
    for (int i = 0; i < parent->childCount(); ++i)
        siblings.push_back(nodeBytes(parent->child(i)));
    auto* item = new QTreeWidgetItem;
    item->setData(0, kImageRole, image);
    setNodeText(item, text);
    updateIcon(item, false);
    parent->insertChild(static_cast<int>(sortedInsertPosition(siblings, text)), item);
    parent->setExpanded(true);
    tree_->setCurrentItem(item);
    return item;
}

void LoginForm::loadTree() {
    const FolderNode loaded = folder_file::load(filePath(folder_file::kFileName));
    std::function<void(QTreeWidgetItem*, const FolderNode&)> addChildren = [&](QTreeWidgetItem* parent,
                                                                               const FolderNode& node) {
        for (const FolderNode& child : node.children) {
            QTreeWidgetItem* item = insertNode(parent, child.text, child.isFolder() ? 0 : 2);
            addChildren(item, child);
        }
    };
    addChildren(root_, loaded);
}

FolderNode LoginForm::folderTree() const {
    std::function<void(const QTreeWidgetItem*, FolderNode&)> collect = [&](const QTreeWidgetItem* item,
                                                                           FolderNode& node) {
        for (int i = 0; i < item->childCount(); ++i) {
            const QTreeWidgetItem* child = item->child(i);
            FolderNode childNode{nodeBytes(child), nodeImage(child), -1, {}};
            collect(child, childNode);
            node.children.push_back(std::move(childNode));
        }
    };
    FolderNode root;
    collect(root_, root);
    return root;
}

void LoginForm::saveTree() {
    const QString path = filePath(folder_file::kFileName);
    if (!folder_file::save(path, folderTree()))
        ui().message(msgf(20005, QDir::toNativeSeparators(path)));
}

bool LoginForm::fillFromHost(const std::string& name) {
    const auto record = HostFile(filePath(HostFile::kFileName)).find(name);
    if (!record)
        return false;
    hostEdit_->setText(fromShiftJis(record->host));
    portEdit_->setText(fromShiftJis(record->port));
    passwordEdit_->setText(fromShiftJis(record->password));
    userEdit_->setText(fromShiftJis(record->user));
    QSettings settings;
    security_ = HostSecurity::read(settings, name);
    return true;
}

void LoginForm::selectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (previous)
        updateIcon(previous, false);
    if (!current)
        return;
    updateIcon(current, true);
    const bool folder = nodeImage(current) < 2;
    const bool isRoot = current == root_;
    buttons_[CreateFolder]->setEnabled(folder);
    buttons_[NewHost]->setEnabled(folder);
    // The root holds the whole book and is not written to the folder file: it stays.
    buttons_[EditFolder]->setEnabled(folder && !isRoot);
    buttons_[DeleteFolder]->setEnabled(folder && !isRoot);
    buttons_[EditHost]->setEnabled(!folder);
    buttons_[DeleteHost]->setEnabled(!folder);
    if (!folder)
        fillFromHost(nodeBytes(current));
}

bool LoginForm::portAcceptable() {
    if (const QString problem = portProblem(portEdit_->text()); !problem.isEmpty()) {
        ui().message(problem);
        portEdit_->setFocus();
        return false;
    }
    return true;
}

void LoginForm::connectClicked() {
    if (!portAcceptable())
        return;
    saveTree();
    accept();
}

void LoginForm::itemDoubleClicked(QTreeWidgetItem* item) {
    if (!item || nodeImage(item) < 2)
        return;  // folders only open or close
    fillFromHost(nodeBytes(item));
    if (portAcceptable())
        accept();
}

void LoginForm::createFolder() {
    QTreeWidgetItem* parent = tree_->currentItem();
    if (!parent || nodeImage(parent) >= 2)
        return;
    FolderForm form(QString(), this);
    if (runModal(form) != QDialog::Accepted || form.name().isEmpty())
        return;
    insertNode(parent, toShiftJis(form.name()), FolderNode::kFolderImage);
}

void LoginForm::editFolder() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (!item || item == root_ || nodeImage(item) >= 2)
        return;
    FolderForm form(item->text(0), this);
    if (runModal(form) != QDialog::Accepted)
        return;
    setNodeText(item, toShiftJis(form.name()));
    saveTree();
}

void LoginForm::deleteFolder() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (!item || item == root_ || nodeImage(item) >= 2)
        return;
    if (!confirm(10034))
        return;
    delete item;
}

void LoginForm::newHost() {
    QTreeWidgetItem* parent = tree_->currentItem();
    if (!parent || nodeImage(parent) >= 2)
        return;
    HostForm form(directory_, std::string(), this);
    if (runModal(form) != QDialog::Accepted)
        return;
    const HostRecord record = form.record();
    insertNode(parent, record.name, FolderNode::kHostImage);
    setValues(LoginValues{fromShiftJis(record.user), fromShiftJis(record.password), fromShiftJis(record.host),
                          fromShiftJis(record.port), form.security()});
    saveTree();
}

void LoginForm::editHost() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (!item || nodeImage(item) < 2)
        return;
    HostForm form(directory_, nodeBytes(item), this);
    if (runModal(form) != QDialog::Accepted)
        return;
    const HostRecord record = form.record();
    setValues(LoginValues{fromShiftJis(record.user), fromShiftJis(record.password), fromShiftJis(record.host),
                          fromShiftJis(record.port), form.security()});
    setNodeText(item, record.name);
    saveTree();
}

void LoginForm::deleteHost() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (!item || nodeImage(item) < 2)
        return;
    if (!confirm(10034))
        return;
    const HostFile file(filePath(HostFile::kFileName));
    if (file.markDeleted(nodeBytes(item)) == HostFile::Outcome::CannotOpen) {
        ui().message(msgf(20004, QDir::toNativeSeparators(file.path())));
    } else {
        QSettings settings;
        HostSecurity::remove(settings, nodeBytes(item));
    }
    delete item;
    saveTree();
}

}  // namespace dbk
