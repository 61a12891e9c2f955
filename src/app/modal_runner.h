#pragma once

#include <functional>

class QDialog;
class QWidget;

namespace dbk {

// Every form that opens another form modally does it through here, so that tests can fill
// in and close the inner form instead of entering its event loop. The form opens centred
// over the window of its parent (the active window when it has none).
int runModal(QDialog& dialog);

// Moves a form so that its centre is the centre of the window `over` belongs to, as far as
// the screen allows.
void centreOverWindow(QWidget& form, const QWidget* over);

using ModalRunner = std::function<int(QDialog&)>;
// Installs a runner (an empty one restores exec()); returns the one installed before.
ModalRunner setModalRunner(ModalRunner runner);

}  // namespace dbk
