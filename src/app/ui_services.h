#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "app/messages.h"

namespace dbk {

class Connection;

// A font as the settings store keeps it (logical font values).
struct LogicalFont {
    QString faceName;
    int height = 0;  // minus the pixel size
    int width = 0;
    int weight = 400;  // 400 normal, 700 bold
    bool italic = false;
    bool operator==(const LogicalFont&) const = default;
};

// Everything a form asks of the desktop: message boxes, questions, choosers, the wait cursor,
// opening a file with its program and letting window events through. Forms and engines call
// only this; tests install a scripted implementation.
class UiServices {
public:
    virtual ~UiServices() = default;

    // A message box with an OK button and the application title as caption.
    virtual void message(const QString& text) = 0;
    // A message box with a caption of its own and the error icon.
    virtual void errorMessage(const QString& text, const QString& caption) { message(text); }
    // A Yes/No question; true unless the answer is No.
    virtual bool askYesNo(const QString& text) = 0;
    // File choosers; "" when cancelled. filter like "CSV (*.csv);;All files (*)".
    virtual QString chooseOpenFile(const QString& title, const QString& filter, const QString& directory) = 0;
    // A save-mode chooser; with confirmOverwrite it asks before an existing file is chosen.
    virtual QString chooseSaveFile(const QString& title, const QString& filter, const QString& directory,
                                   bool confirmOverwrite = true) = 0;
    virtual std::optional<LogicalFont> chooseFont(const LogicalFont& initial) = 0;
    // Opens a file with the program the desktop associates with it.
    virtual bool openWithAssociatedProgram(const QString& path) = 0;
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
    // Lets one round of pending window events through (repaints), not user input.
    virtual void letEventsThrough() = 0;
};

// The services in use: the Qt ones in the program, a scripted one in tests.
UiServices& ui();
// Installs services (nullptr: none) and returns the ones installed before.
UiServices* setUiServices(UiServices* services);

class WaitCursor {
public:
    WaitCursor() { ui().beginWaitCursor(); }
    ~WaitCursor() { ui().endWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// A failed statement: the message's own line, a line break and "%d:%s" of the server error.
// A message whose text carries its own "%d:%s" gets the number and text filled in.
QString serverErrorText(int messageId, const Connection& connection);
void reportServerError(int messageId, const Connection& connection);

// Asks a numbered Yes/No question; true unless the answer is No.
template <class... Args>
bool confirm(int messageId, const Args&... args) {
    return ui().askYesNo(msgf(messageId, args...));
}

}  // namespace dbk
