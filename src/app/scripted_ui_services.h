#pragma once

#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

#include "app/ui_services.h"

namespace dbk {

// UI services that show nothing: every message and question is recorded, questions are
// answered from a queue (Yes when it is empty), choosers from their own queues ("" when empty).
class ScriptedUiServices : public UiServices {
public:
    void message(const QString& text) override { messages.append(text); }
    void errorMessage(const QString& text, const QString& caption) override {
        messages.append(text);
        errorCaptions.append(caption);
    }
    bool askYesNo(const QString& text) override;
    QString chooseOpenFile(const QString& title, const QString& filter, const QString& directory) override;
    QString chooseSaveFile(const QString& title, const QString& filter, const QString& directory,
                           bool confirmOverwrite = true) override;
    std::optional<LogicalFont> chooseFont(const LogicalFont& initial) override;
    bool openWithAssociatedProgram(const QString& path) override;
    void beginWaitCursor() override {
        ++waitDepth;
        ++waitCount;
    }
    void endWaitCursor() override { --waitDepth; }
    void letEventsThrough() override {
        ++eventsLetThrough;
        // What the user does while a long operation lets events through (clicks Cancel).
        if (onEventsLetThrough)
            onEventsLetThrough();
    }

    QStringList messages;
    QStringList errorCaptions;  // the captions of the error messages, in order
    QStringList questions;
    std::deque<bool> answers;
    std::deque<QString> openFileAnswers;
    std::deque<QString> saveFileAnswers;
    std::deque<std::optional<LogicalFont>> fontAnswers;
    QStringList openedFiles;
    bool openSucceeds = true;
    int waitDepth = 0;
    int waitCount = 0;
    int eventsLetThrough = 0;
    std::function<void()> onEventsLetThrough;
};

// Installs scripted services for its lifetime and puts the previous ones back afterwards.
class ScopedScriptedUi {
public:
    ScopedScriptedUi();
    ~ScopedScriptedUi();
    ScriptedUiServices* operator->() { return &services_; }
    ScriptedUiServices& services() { return services_; }

private:
    ScriptedUiServices services_;
    UiServices* previous_;
};

}  // namespace dbk
