#include "app/status_bar_panes.h"

#include <QLabel>
#include <QStatusBar>
#include <algorithm>

namespace dbk {

namespace {
// A pane that asks for its given width but gives way when the window is narrower, rather
// than being drawn over its neighbours.
class PaneLabel : public QLabel {
public:
    using QLabel::QLabel;
    void setPreferredWidth(int pixels) {
        preferredWidth_ = pixels;
        updateGeometry();
    }
    QSize sizeHint() const override {
        const QSize hint = QLabel::sizeHint();
        return {std::max(hint.width(), preferredWidth_), hint.height()};
    }
    QSize minimumSizeHint() const override { return {std::min(QLabel::sizeHint().width(), 40), 0}; }

private:
    int preferredWidth_ = 0;
};
}  // namespace

StatusBarPanes::StatusBarPanes(QStatusBar* bar) : QObject(bar) {
    const char* indicators[] = {"", "Login Name", "Host", "Kana", "CAP", "NUM", "SCRL"};
    for (int i = 0; i < kPaneCount; ++i) {
        auto* label = new PaneLabel(QString::fromLatin1(indicators[i]));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(3, 0, 3, 0);
        if (i == 0) {
            // the message pane keeps room for its text when the window is narrow
            label->setMinimumWidth(180);
            bar->addWidget(label, 1);
        } else {
            bar->addPermanentWidget(label);
        }
        panes_.push_back(label);
    }
}

void StatusBarPanes::setPaneText(int pane, const QString& text) {
    if (pane >= 0 && pane < kPaneCount)
        panes_[static_cast<size_t>(pane)]->setText(text);
}

void StatusBarPanes::setPaneWidth(int pane, int pixels) {
    if (pane <= 0 || pane >= kPaneCount)
        return;
    auto* label = static_cast<PaneLabel*>(panes_[static_cast<size_t>(pane)]);
    label->setPreferredWidth(pixels);
    label->setFrameStyle(QFrame::Panel | QFrame::Raised);
}

void StatusBarPanes::setPaneToolTip(int pane, const QString& text) {
    if (pane >= 0 && pane < kPaneCount)
        panes_[static_cast<size_t>(pane)]->setToolTip(text);
}

QString StatusBarPanes::paneText(int pane) const {
    return pane >= 0 && pane < kPaneCount ? panes_[static_cast<size_t>(pane)]->text() : QString();
}

}  // namespace dbk
