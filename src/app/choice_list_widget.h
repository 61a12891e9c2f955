#pragma once

#include <functional>

class QListWidget;
class QListWidgetItem;
class QObject;

namespace dbk {

// The item the user chose in a list is the selected one. When a list first gets the keyboard
// focus, Qt makes its first item current without selecting it: that is no choice. A click,
// keyboard movement once the list has the focus, or Space on the current item selects, and so
// chooses; mouse and keyboard alike.
QListWidgetItem* chosenItem(const QListWidget* list);

// Calls `chosen` with the item chosen in `list` each time the choice changes, and with nullptr
// when there is none any more (the list was refilled, or the selection cleared). The call ends
// with `context`.
void onChoice(QListWidget* list, QObject* context, std::function<void(QListWidgetItem*)> chosen);

}  // namespace dbk
