#include "app/scripted_ui_services.h"

namespace dbk {

bool ScriptedUiServices::askYesNo(const QString& text) {
    questions.append(text);
    if (answers.empty())
        return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedUiServices::chooseOpenFile(const QString&, const QString&, const QString&) {
    if (openFileAnswers.empty())
        return {};
    QString answer = openFileAnswers.front();
    openFileAnswers.pop_front();
    return answer;
}

QString ScriptedUiServices::chooseSaveFile(const QString&, const QString&, const QString&, bool) {
    if (saveFileAnswers.empty())
        return {};
    QString answer = saveFileAnswers.front();
    saveFileAnswers.pop_front();
    return answer;
}

std::optional<LogicalFont> ScriptedUiServices::chooseFont(const LogicalFont&) {
    std::optional<LogicalFont> answer;
    if (!fontAnswers.empty()) {
        answer.swap(fontAnswers.front());
        fontAnswers.pop_front();
    }
    return answer;
}

bool ScriptedUiServices::openWithAssociatedProgram(const QString& path) {
    openedFiles.append(path);
    return openSucceeds;
}

ScopedScriptedUi::ScopedScriptedUi() : previous_(setUiServices(&services_)) {}

ScopedScriptedUi::~ScopedScriptedUi() {
    setUiServices(previous_);
}

}  // namespace dbk
