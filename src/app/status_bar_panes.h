#pragma once

#include <QObject>
#include <vector>

#include "app/status_panes.h"

class QLabel;
class QStatusBar;

namespace dbk {

// The seven panes of the main window's status bar: the message pane (stretching), then
// "Login Name", "Host", "Kana", "CAP", "NUM", "SCRL".
class StatusBarPanes : public QObject, public StatusPanes {
    Q_OBJECT
public:
    static constexpr int kPaneCount = 7;

    explicit StatusBarPanes(QStatusBar* bar);
    void setPaneText(int pane, const QString& text) override;
    void setPaneWidth(int pane, int pixels) override;
    void setPaneToolTip(int pane, const QString& text) override;
    QString paneText(int pane) const;
    QLabel* pane(int index) const { return panes_.at(static_cast<size_t>(index)); }

private:
    std::vector<QLabel*> panes_;
};

}  // namespace dbk
