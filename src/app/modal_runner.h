#pragma once

#include <functional>

class QDialog;

namespace dbk {

// Every form that opens another form modally does it through here, so that tests can fill
// in and close the inner form instead of entering its event loop.
int runModal(QDialog& dialog);

using ModalRunner = std::function<int(QDialog&)>;
// Installs a runner (an empty one restores exec()); returns the one installed before.
ModalRunner setModalRunner(ModalRunner runner);

}  // namespace dbk
