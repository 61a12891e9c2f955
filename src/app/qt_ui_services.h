#pragma once

#include <QFont>

#include "app/ui_services.h"

class QWidget;

namespace dbk {

inline constexpr const char* kApplicationTitle = "Tolvane Dbkeeper";

// The desktop's message boxes, choosers and cursor. Dialogs are parented to the active window.
class QtUiServices : public UiServices {
public:
    void message(const QString& text) override;
    void errorMessage(const QString& text, const QString& caption) override;
    bool askYesNo(const QString& text) override;
    QString chooseOpenFile(const QString& title, const QString& filter, const QString& directory) override;
    QString chooseSaveFile(const QString& title, const QString& filter, const QString& directory,
                           bool confirmOverwrite = true) override;
    std::optional<LogicalFont> chooseFont(const LogicalFont& initial) override;
    bool openWithAssociatedProgram(const QString& path) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void letEventsThrough() override;
};

QFont toQFont(const LogicalFont& font);
LogicalFont toLogicalFont(const QFont& font);

}  // namespace dbk
