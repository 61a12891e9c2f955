#include "conn/host_security.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#include <utility>

#include "app/messages.h"

namespace dbk {

namespace {
constexpr std::array<std::pair<TlsMode, const char*>, 4> kModeNames = {{
    {TlsMode::Off, "Off"},
    {TlsMode::Preferred, "Preferred"},
    {TlsMode::Required, "Required"},
    {TlsMode::Verified, "Verified"},
}};

constexpr std::array<std::pair<SessionText, const char*>, 3> kTextNames = {{
    {SessionText::Automatic, "Automatic"},
    {SessionText::ShiftJis, "ShiftJis"},
    {SessionText::Utf8, "Utf8"},
}};

QString group(std::string_view hostName) {
    return QStringLiteral("HostSecurity/") + HostSecurity::key(hostName);
}

// The stored name of a value (every value has one), and the value of a stored name, compared
// without regard to case; an unknown name gives the fallback.
template <class Value, size_t N>
QString nameIn(const std::array<std::pair<Value, const char*>, N>& names, Value value) {
    for (const auto& [each, name] : names) {
        if (each == value)
            return QString::fromLatin1(name);
    }
    return {};
}

template <class Value, size_t N>
Value valueIn(const std::array<std::pair<Value, const char*>, N>& names, const QString& name,
              Value fallback) {
    for (const auto& [value, each] : names) {
        if (name.compare(QLatin1String(each), Qt::CaseInsensitive) == 0)
            return value;
    }
    return fallback;
}

}  // namespace

QString tlsModeName(TlsMode mode) {
    return nameIn(kModeNames, mode);
}

TlsMode tlsModeFromName(const QString& name) {
    return valueIn(kModeNames, name, TlsMode::Preferred);
}

QString sessionTextName(SessionText text) {
    return nameIn(kTextNames, text);
}

SessionText sessionTextFromName(const QString& name) {
    return valueIn(kTextNames, name, SessionText::Automatic);
}

void HostSecurity::applyTo(ConnectParams& params) const {
    params.tls = mode;
    params.sessionText = text;
    params.tlsCaFile = mode == TlsMode::Verified ? QFile::encodeName(caFile).toStdString() : std::string();
}

QString HostSecurity::problem() const {
    if (mode != TlsMode::Verified)
        return {};
    if (caFile.trimmed().isEmpty())
        return msg(21300);
    const QFileInfo info(caFile);
    if (!info.isFile() || !info.isReadable())
        return msgf(21301, caFile);
    return {};
}

QString HostSecurity::key(std::string_view hostName) {
    const QByteArray bytes(hostName.data(), static_cast<qsizetype>(hostName.size()));
    // An empty key would be the group itself.
    return bytes.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(bytes.toHex());
}

HostSecurity HostSecurity::read(QSettings& settings, std::string_view hostName) {
    HostSecurity security;
    settings.beginGroup(group(hostName));
    security.mode = tlsModeFromName(settings.value(QStringLiteral("Mode")).toString());
    security.caFile = settings.value(QStringLiteral("CaFile")).toString();
    security.text = sessionTextFromName(settings.value(QStringLiteral("CharacterSet")).toString());
    settings.endGroup();
    return security;
}

void HostSecurity::write(QSettings& settings, std::string_view hostName, const HostSecurity& security) {
    // The default needs no entry: the store keeps only what differs from it.
    if (security == HostSecurity{}) {
        remove(settings, hostName);
        return;
    }
    settings.beginGroup(group(hostName));
    settings.setValue(QStringLiteral("Mode"), tlsModeName(security.mode));
    settings.setValue(QStringLiteral("CaFile"), security.caFile);
    settings.setValue(QStringLiteral("CharacterSet"), sessionTextName(security.text));
    settings.endGroup();
    settings.sync();
}

void HostSecurity::remove(QSettings& settings, std::string_view hostName) {
    settings.remove(group(hostName));
    settings.sync();
}

void HostSecurity::rename(QSettings& settings, std::string_view from, std::string_view to) {
    if (from == to)
        return;
    const HostSecurity security = read(settings, from);
    remove(settings, from);
    write(settings, to, security);
}

}  // namespace dbk
