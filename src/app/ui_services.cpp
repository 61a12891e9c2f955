#include "app/ui_services.h"

#include "app/scripted_ui_services.h"
#include "conn/connection.h"
#include "conn/text_codec.h"

#include <utility>

namespace dbk {

namespace {
UiServices*& current() {
    static UiServices* services = nullptr;
    return services;
}
}  // namespace

UiServices& ui() {
    // Until the program installs the Qt services, answer like an unattended session.
    static ScriptedUiServices fallback;
    return current() ? *current() : fallback;
}

UiServices* setUiServices(UiServices* services) {
    return std::exchange(current(), services);
}

QString serverErrorText(int messageId, const Connection& connection) {
    const QString text = msg(messageId);
    const QString error = fromServer(connection, connection.errorText());
    if (text.contains(QStringLiteral("%d:%s"))) {
        return formatUi(text, connection.errorNumber(), error);
    }
    return text + u'\n' + formatUi(QStringLiteral("%d:%s"), connection.errorNumber(), error);
}

void reportServerError(int messageId, const Connection& connection) {
    ui().message(serverErrorText(messageId, connection));
}

}  // namespace dbk
