#pragma once

#include <QString>
#include <map>

namespace dbk {

// The status bar's panes as the connection and the record list write them: 0 the message
// pane, 1 login name, 2 host, 3 timings (then the keyboard states).
class StatusPanes {
public:
    virtual ~StatusPanes() = default;
    virtual void setPaneText(int pane, const QString& text) = 0;
    // Widens a pane to the given width and gives it the raised border.
    virtual void setPaneWidth(int pane, int pixels) = 0;
    // The text shown when the pointer rests on a pane.
    virtual void setPaneToolTip(int pane, const QString& text) = 0;
};

// Keeps what was written; stands in where no status bar is shown.
class RecordingStatusPanes : public StatusPanes {
public:
    void setPaneText(int pane, const QString& text) override { texts[pane] = text; }
    void setPaneWidth(int pane, int pixels) override { widths[pane] = pixels; }
    void setPaneToolTip(int pane, const QString& text) override { toolTips[pane] = text; }
    QString text(int pane) const {
        auto it = texts.find(pane);
        return it == texts.end() ? QString() : it->second;
    }
    std::map<int, QString> texts;
    std::map<int, int> widths;
    std::map<int, QString> toolTips;
};

}  // namespace dbk
