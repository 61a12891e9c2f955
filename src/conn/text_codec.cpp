#include "conn/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include "conn/connection.h"

namespace dbk {

namespace {

QStringDecoder& shiftJisDecoder() {
    thread_local QStringDecoder decoder("CP932", QStringConverter::Flag::Stateless);
    return decoder;
}

QString decodeShiftJis(std::string_view bytes) {
    return shiftJisDecoder()(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string utf8Bytes(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

ServerEncoding serverEncodingOf(std::string_view characterSet) {
    return characterSet == "cp932" || characterSet == "sjis" ? ServerEncoding::ShiftJis
                                                             : ServerEncoding::Utf8;
}

ServerEncoding serverEncoding(const Connection& connection) {
    return connection.nameQuoting() == NameQuoting::ShiftJis ? ServerEncoding::ShiftJis
                                                             : ServerEncoding::Utf8;
}

QString fromServer(ServerEncoding encoding, std::string_view bytes) {
    if (encoding == ServerEncoding::ShiftJis)
        return decodeShiftJis(bytes);
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toServer(ServerEncoding encoding, const QString& text) {
    // A Shift_JIS session gets what it can carry; what it cannot is "?", as in a Shift_JIS file.
    return encoding == ServerEncoding::ShiftJis ? toShiftJis(text) : utf8Bytes(text);
}

QString fromServer(const Connection& connection, std::string_view bytes) {
    return fromServer(serverEncoding(connection), bytes);
}

std::string toServer(const Connection& connection, const QString& text) {
    return toServer(serverEncoding(connection), text);
}

ServerEncoding handshakeEncoding(SessionText text) {
    return text == SessionText::ShiftJis ? ServerEncoding::ShiftJis : ServerEncoding::Utf8;
}

std::string recodeServer(std::string_view bytes, ServerEncoding from, ServerEncoding to) {
    if (from == to)
        return std::string(bytes);
    return toServer(to, fromServer(from, bytes));
}

QString fromShiftJis(std::string_view bytes) {
    return decodeShiftJis(bytes);
}

// toShiftJis() and fitsShiftJis() live with the converter's Shift_JIS encoder, whose rules
// they share.

}  // namespace dbk
