#include "conn/dbkeeper_doc.h"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/saved_host.h"
#include "conn/text_codec.h"

namespace dbk {

CDbkeeperDoc::CDbkeeperDoc() = default;

void CDbkeeperDoc::enterStartupDirectory() {
    std::error_code error;
    if (startupDirectory_.empty()) {
        const auto current = std::filesystem::current_path(error);
        if (error) {
            std::cerr << "_getcwd 関数でエラーが起こりました" << error.message() << '\n';
            return;
        }
        startupDirectory_ = current.string();
    } else {
        std::filesystem::current_path(startupDirectory_, error);
    }
}

unsigned int CDbkeeperDoc::portNumber(std::string_view text) {
    return dbk::portNumber(text);
}

int CDbkeeperDoc::connect() {
    adminFlag_ = 0;
    enterStartupDirectory();
    session_.close();

    LoginValues preset;
    preset.port = formatUi(QStringLiteral("%ld"), kDefaultPort);
    const std::optional<LoginValues> values = loginPrompt_ ? loginPrompt_(preset) : std::nullopt;
    if (!values) {
        ui().message(msg(10092));
        return kNotConnected;
    }
    ConnectParams params;
    values->security.applyTo(params);
    // The account's name and password travel in the handshake's character set.
    const ServerEncoding handshake = handshakeEncoding(params.sessionText);
    user_ = toServer(handshake, values->user);
    password_ = toServer(handshake, values->password);
    host_ = toServer(handshake, values->host);
    port_ = toServer(handshake, values->port);
    params.host = host_;
    params.user = user_;
    params.password = password_;
    params.port = portNumber(port_);
    if (!session_.open(params)) {
        ui().message(serverErrorText(10093, connection()));
        session_.close();
        statusPanes_->setPaneText(0, msg(10094));
        return kNotConnected;
    }
    statusPanes_->setPaneWidth(1, 150);
    statusPanes_->setPaneWidth(2, 150);
    statusPanes_->setPaneWidth(3, 300);
    statusPanes_->setPaneText(1, msgf(10095, values->user));
    showEncryption();
    statusPanes_->setPaneText(3, msg(10097));

    if (connection().selectDb("mysql")) {
        statusPanes_->setPaneText(0, msg(10099));
        ui().message(msg(10100));
        adminFlag_ = 1;
        return kAdministrator;
    }
    statusPanes_->setPaneText(0, msg(10098));
    return kNormalUser;
}

void CDbkeeperDoc::showEncryption() {
    const QString host = msgf(10096, fromServer(connection(), host_));
    if (connection().isEncrypted()) {
        statusPanes_->setPaneText(2, msgf(21302, host));
        statusPanes_->setPaneToolTip(2, msgf(21304, QString::fromStdString(connection().tlsCipher()),
                                             QString::fromStdString(connection().tlsVersion())));
    } else {
        statusPanes_->setPaneText(2, msgf(21303, host));
        statusPanes_->setPaneToolTip(2, msg(21305));
    }
}

std::string CDbkeeperDoc::readServerCharacterSet() {
    return dbk::readServerCharacterSet(connection());
}

QString CDbkeeperDoc::garblingWarning(std::string_view serverCharset, std::string_view sessionCharset) {
    return formatUi(
        QStringLiteral(
            "このキャラクタセットでは文字化けを起こす可能性があります。: \n サーバのキャラクタセット -> "
            "%s \n クライアントのキャラクタセット -> %s"),
        QString::fromLatin1(serverCharset.data(), qsizetype(serverCharset.size())),
        QString::fromLatin1(sessionCharset.data(), qsizetype(sessionCharset.size())));
}

CDbkeeperDoc::KeepAlive CDbkeeperDoc::keepAliveTick() {
    if (connection().busy())
        return KeepAlive::Skipped;
    if (connection().ping())
        return KeepAlive::Alive;
    ui().message(msg(10072));
    return KeepAlive::Lost;
}

}  // namespace dbk
