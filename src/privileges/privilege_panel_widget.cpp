#include "privileges/privilege_panel_widget.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>

#include "conn/text_codec.h"

namespace dbk {

namespace {
constexpr int kColumns = 4;
constexpr int kIconSize = 32;
}  // namespace

PrivilegePanelWidget::PrivilegePanelWidget(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    if (kind == Kind::Global) {
        for (const grants::PrivilegeInfo& p : grants::vocabulary())
            privileges_.push_back(p.privilege);
    } else {
        privileges_.assign(grants::databasePanel().begin(), grants::databasePanel().end());
    }
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (size_t i = 0; i < privileges_.size(); ++i) {
        const grants::PrivilegeInfo& p = grants::info(privileges_[i]);
        auto* box =
            new QCheckBox(QString::fromUtf8(kind == Kind::Global ? p.globalCaption : p.databaseCaption));
        boxes_.push_back(box);
        layout->addWidget(box, int(i) / kColumns, int(i) % kColumns);
    }
}

QCheckBox* PrivilegePanelWidget::box(grants::Privilege privilege) const {
    for (size_t i = 0; i < privileges_.size(); ++i) {
        if (privileges_[i] == privilege)
            return boxes_[i];
    }
    return nullptr;
}

grants::GlobalRights PrivilegePanelWidget::globalRights() const {
    grants::GlobalRights rights{};
    for (size_t i = 0; i < rights.size() && i < boxes_.size(); ++i)
        rights[i] = boxes_[i]->isChecked();
    return rights;
}

void PrivilegePanelWidget::setGlobalRights(const grants::GlobalRights& rights) {
    for (size_t i = 0; i < rights.size() && i < boxes_.size(); ++i)
        boxes_[i]->setChecked(rights[i]);
}

grants::DatabaseRights PrivilegePanelWidget::databaseRights() const {
    grants::DatabaseRights rights{};
    for (size_t i = 0; i < rights.size(); ++i) {
        const QCheckBox* b = box(grants::databasePanel()[i]);
        rights[i] = b && b->isChecked();
    }
    return rights;
}

void PrivilegePanelWidget::setDatabaseRights(const grants::DatabaseRights& rights) {
    for (size_t i = 0; i < rights.size(); ++i) {
        if (QCheckBox* b = box(grants::databasePanel()[i]))
            b->setChecked(rights[i]);
    }
}

void PrivilegePanelWidget::setAll(bool ticked) {
    for (QCheckBox* b : boxes_)
        b->setChecked(ticked);
}

namespace privilege_lists {

QListWidget* makeIconList(const QString& accessibleName) {
    auto* list = new QListWidget;
    list->setAccessibleName(accessibleName);
    list->setViewMode(QListView::IconMode);
    list->setIconSize(QSize(kIconSize, kIconSize));
    list->setGridSize(QSize(kIconSize * 3, kIconSize * 2 + 16));
    list->setMovement(QListView::Static);
    list->setResizeMode(QListView::Adjust);
    list->setWordWrap(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QIcon accountIcon(privileges::AccountIcon icon) {
    switch (icon) {
        case privileges::AccountIcon::Local:
            return QIcon(QStringLiteral(":/icons/user_local.svg"));
        case privileges::AccountIcon::Global:
            return QIcon(QStringLiteral(":/icons/user_global.svg"));
        case privileges::AccountIcon::Restricted:
            break;
    }
    return QIcon(QStringLiteral(":/icons/user_restricted.svg"));
}

QIcon databaseIcon() {
    return QIcon(QStringLiteral(":/icons/tree_database.svg"));
}

QIcon hostIcon(bool granting) {
    return QIcon(granting ? QStringLiteral(":/icons/host_restricted.svg")
                          : QStringLiteral(":/icons/host_denied.svg"));
}

QListWidgetItem* addItem(QListWidget* list, const QIcon& icon, const QString& label,
                         const std::vector<std::string>& values, bool atTop) {
    auto* item = new QListWidgetItem(icon, label);
    for (size_t i = 0; i < values.size(); ++i) {
        item->setData(kFirstValueRole + int(i), QByteArray(values[i].data(), qsizetype(values[i].size())));
    }
    if (atTop) {
        list->insertItem(0, item);
    } else {
        list->addItem(item);
    }
    return item;
}

std::string value(const QListWidgetItem* item, int index) {
    if (!item)
        return {};
    const QByteArray bytes = item->data(kFirstValueRole + index).toByteArray();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

QWidget* legend(const std::vector<std::pair<QIcon, QString>>& entries) {
    auto* widget = new QWidget;
    auto* layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    for (const auto& [icon, caption] : entries) {
        auto* picture = new QLabel;
        picture->setPixmap(icon.pixmap(16, 16));
        layout->addWidget(picture);
        layout->addWidget(new QLabel(caption));
    }
    layout->addStretch();
    return widget;
}

}  // namespace privilege_lists
}  // namespace dbk
