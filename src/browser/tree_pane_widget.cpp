#include "browser/tree_pane_widget.h"

#include <QAccessibleWidget>
#include <QMenu>
#include <QVBoxLayout>

#include "browser/left_view.h"

namespace dbk {

namespace {

// The pane's children as any widget's, and after them the tree's open context menu.
class TreePaneAccessible : public QAccessibleWidget {
public:
    explicit TreePaneAccessible(TreePaneWidget* pane) : QAccessibleWidget(pane, QAccessible::Pane) {}

    int childCount() const override { return QAccessibleWidget::childCount() + (menu() ? 1 : 0); }
    QAccessibleInterface* child(int index) const override {
        if (QMenu* open = menu(); open && index == QAccessibleWidget::childCount())
            return QAccessible::queryAccessibleInterface(open);
        return QAccessibleWidget::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (QMenu* open = menu(); open && child && child->object() == open)
            return QAccessibleWidget::childCount();
        return QAccessibleWidget::indexOfChild(child);
    }

private:
    QMenu* menu() const { return static_cast<TreePaneWidget*>(widget())->tree()->openContextMenu(); }
};

QAccessibleInterface* paneInterface(const QString& className, QObject* object) {
    if (className == QLatin1String(TreePaneWidget::staticMetaObject.className()))
        return new TreePaneAccessible(static_cast<TreePaneWidget*>(object));
    return nullptr;
}

}  // namespace

TreePaneWidget::TreePaneWidget(CLeftView* tree, QWidget* parent) : QWidget(parent), tree_(tree) {
    static const bool installed = [] {
        QAccessible::installFactory(paneInterface);
        return true;
    }();
    Q_UNUSED(installed);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
    tree_->setContextMenuParent(this);
}

}  // namespace dbk
