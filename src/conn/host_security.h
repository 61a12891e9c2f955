#pragma once

#include <QSettings>
#include <QString>
#include <string_view>

#include "conn/connection.h"

namespace dbk {

// How the connections to one saved server are made: their protection and the character set of
// their sessions. It is kept in the settings store beside the host file (whose records have no
// room for it), keyed by the saved server's name.
struct HostSecurity {
    TlsMode mode = TlsMode::Preferred;
    QString caFile;  // the certificate authority of Verified
    SessionText text = SessionText::Automatic;
    bool operator==(const HostSecurity&) const = default;

    // Puts the protection and the character set into the parameters of a connection.
    void applyTo(ConnectParams& params) const;
    // What is wrong with the setting as typed ("" when nothing): Verified needs a CA file that
    // can be read.
    QString problem() const;

    // The setting of the saved server of this name (bytes as in the host file); Preferred for a
    // server that has none.
    static HostSecurity read(QSettings& settings, std::string_view hostName);
    // Writes the setting; the default one (Preferred, no CA file) is kept as no entry at all.
    static void write(QSettings& settings, std::string_view hostName, const HostSecurity& security);
    static void remove(QSettings& settings, std::string_view hostName);
    // The setting follows a saved server to its new name.
    static void rename(QSettings& settings, std::string_view from, std::string_view to);
    // The key of a saved server's setting: its name's bytes in hex, since a name may hold
    // any byte, "/" and "\\" among them, which the store reads as separators.
    static QString key(std::string_view hostName);
};

// The names the store keeps for the modes; unknown text reads as Preferred.
QString tlsModeName(TlsMode mode);
TlsMode tlsModeFromName(const QString& name);
// The same for the session's character set; unknown text reads as Automatic.
QString sessionTextName(SessionText text);
SessionText sessionTextFromName(const QString& name);

}  // namespace dbk
