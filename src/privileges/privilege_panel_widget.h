#pragma once

#include <QIcon>
#include <QWidget>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "privileges/grant_access.h"
#include "privileges/grant_tables.h"

class QCheckBox;
class QListWidget;
class QListWidgetItem;

namespace dbk {

// The check boxes of the privileges: the fourteen of the global panel or the ten of the
// database panel, each named by its caption.
class PrivilegePanelWidget : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Global, Database };
    explicit PrivilegePanelWidget(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    // The box of a privilege; nullptr when the panel does not have it.
    QCheckBox* box(grants::Privilege privilege) const;
    const std::vector<QCheckBox*>& boxes() const { return boxes_; }

    grants::GlobalRights globalRights() const;
    void setGlobalRights(const grants::GlobalRights& rights);
    grants::DatabaseRights databaseRights() const;
    void setDatabaseRights(const grants::DatabaseRights& rights);
    void setAll(bool ticked);

private:
    Kind kind_;
    std::vector<grants::Privilege> privileges_;
    std::vector<QCheckBox*> boxes_;
};

// The icon lists of the privilege forms: large icons with their labels, one selected at a time.
// Items carry byte strings in numbered roles.
namespace privilege_lists {

inline constexpr int kFirstValueRole = Qt::UserRole;

QListWidget* makeIconList(const QString& accessibleName);
QIcon accountIcon(privileges::AccountIcon icon);
QIcon databaseIcon();
QIcon hostIcon(bool granting);
// Appends (or, with atTop, inserts first) an item carrying the values in roles 0, 1, 2 ...
QListWidgetItem* addItem(QListWidget* list, const QIcon& icon, const QString& label,
                         const std::vector<std::string>& values, bool atTop = false);
std::string value(const QListWidgetItem* item, int index);
// A label with an icon and a caption, as the legends under the lists show them.
QWidget* legend(const std::vector<std::pair<QIcon, QString>>& entries);

}  // namespace privilege_lists
}  // namespace dbk
