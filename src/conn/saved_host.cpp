#include "conn/saved_host.h"

#include <charconv>

#include "conn/host_security.h"

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
    params.host = record.host;
    params.user = record.user;
    params.password = record.password;
    params.port = portNumber(record.port);
    HostSecurity::read(settings, record.name).applyTo(params);
    return params;
}

}  // namespace dbk
