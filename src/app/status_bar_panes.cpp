#include "app/status_bar_panes.h"

#include <QLabel>
#include <QStatusBar>

namespace dbk {

StatusBarPanes::StatusBarPanes(QStatusBar* bar) : QObject(bar) {
    const char* indicators[] = {"", "Login Name", "Host", "Kana", "CAP", "NUM", "SCRL"};
    for (int i = 0; i < kPaneCount; ++i) {
        auto* label = new QLabel(QString::fromLatin1(indicators[i]));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(3, 0, 3, 0);
        if (i == 0) {
            bar->addWidget(label, 1);
        } else {
            bar->addPermanentWidget(label);
        }
        panes_.push_back(label);
    }
}

void StatusBarPanes::setPaneText(int pane, const QString& text) {
    if (pane >= 0 && pane < kPaneCount) panes_[static_cast<size_t>(pane)]->setText(text);
}

void StatusBarPanes::setPaneWidth(int pane, int pixels) {
    if (pane <= 0 || pane >= kPaneCount) return;
    QLabel* label = panes_[static_cast<size_t>(pane)];
    label->setMinimumWidth(pixels);
    label->setFrameStyle(QFrame::Panel | QFrame::Raised);
}

QString StatusBarPanes::paneText(int pane) const {
    return pane >= 0 && pane < kPaneCount ? panes_[static_cast<size_t>(pane)]->text() : QString();
}

}  // namespace dbk
