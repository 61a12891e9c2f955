#include "conn/saved_host.h"

#include <charconv>

#include "conn/host_security.h"
#include "conn/text_codec.h"

namespace dbk {

unsigned int portNumber(std::string_view text) {
    unsigned int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port > 65535)
        return 0;
    return port;
}

ConnectParams connectParamsFor(const HostRecord& record) {
    QSettings settings;
    return connectParamsFor(record, settings);
}

ConnectParams connectParamsFor(const HostRecord& record, QSettings& settings) {
    ConnectParams params;
    HostSecurity::read(settings, record.name).applyTo(params);
    // The host file keeps Shift_JIS; the account travels in the handshake's character set.
    const ServerEncoding handshake = handshakeEncoding(params.sessionText);
    params.host = recodeServer(record.host, ServerEncoding::ShiftJis, handshake);
    params.user = recodeServer(record.user, ServerEncoding::ShiftJis, handshake);
    params.password = recodeServer(record.password, ServerEncoding::ShiftJis, handshake);
    params.port = portNumber(record.port);
    return params;
}

}  // namespace dbk
