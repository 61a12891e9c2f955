#include "app/choice_list_widget.h"

#include <QListWidget>

namespace dbk {

QListWidgetItem* chosenItem(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void onChoice(QListWidget* list, QObject* context, std::function<void(QListWidgetItem*)> chosen) {
    QObject::connect(list, &QListWidget::itemSelectionChanged, context,
                     [list, chosen = std::move(chosen)] { chosen(chosenItem(list)); });
}

}  // namespace dbk
