#pragma once

#include <QSettings>
#include <string_view>

#include "conn/connection.h"
#include "conn/host_file.h"

namespace dbk {

// The port of a saved server or the login form: digits only, at most 65535; 0 (the library's
// default) otherwise.
unsigned int portNumber(std::string_view text);

// What a connection to a saved server is opened with: its host, account and port, and how the
// connection is protected (kept in the settings store). Every second connection to a saved
// server goes through here, so that what belongs to a saved server beyond its record (settings
// kept elsewhere) is applied in one place.
ConnectParams connectParamsFor(const HostRecord& record);
ConnectParams connectParamsFor(const HostRecord& record, QSettings& settings);

}  // namespace dbk
