#include "app/modal_runner.h"

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <algorithm>
#include <utility>

namespace dbk {

namespace {
ModalRunner& installed() {
    static ModalRunner runner;
    return runner;
}
}  // namespace

void centreOverWindow(QWidget& form, const QWidget* over) {
    if (!over)
        return;
    over = over->window();
    // A form that chose its size keeps it; the others take the size their contents ask for.
    if (!form.testAttribute(Qt::WA_Resized))
        form.adjustSize();
    QRect frame = form.frameGeometry();
    frame.moveCenter(over->frameGeometry().center());
    // As much of the form as fits stays on the screen the window is on.
    if (const QScreen* screen = over->screen()) {
        const QRect available = screen->availableGeometry();
        frame.moveLeft(
            std::max(available.left(), std::min(frame.left(), available.right() - frame.width() + 1)));
        frame.moveTop(
            std::max(available.top(), std::min(frame.top(), available.bottom() - frame.height() + 1)));
    }
    form.move(frame.topLeft());
}

int runModal(QDialog& dialog) {
    centreOverWindow(dialog, dialog.parentWidget() ? dialog.parentWidget() : QApplication::activeWindow());
    return installed() ? installed()(dialog) : dialog.exec();
}

ModalRunner setModalRunner(ModalRunner runner) {
    return std::exchange(installed(), std::move(runner));
}

}  // namespace dbk
