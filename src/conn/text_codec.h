#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace dbk {

class Connection;
enum class SessionText;

// Text comes in two kinds, each with its own crossing to the widgets' QStrings.
//
// Server text (statements, results, names, values) is in the character set of the session it
// belongs to: UTF-8 on the servers that have it, Shift_JIS on the old ones or where a saved
// server asks for it. Its conversions follow the session as it is at the moment of the call.
enum class ServerEncoding { Utf8, ShiftJis };
// "cp932" and "sjis" are Shift_JIS; every other set a session is given (utf8mb4, utf8,
// binary) reads as UTF-8.
ServerEncoding serverEncodingOf(std::string_view characterSet);
ServerEncoding serverEncoding(const Connection& connection);
QString fromServer(ServerEncoding encoding, std::string_view bytes);
std::string toServer(ServerEncoding encoding, const QString& text);
QString fromServer(const Connection& connection, std::string_view bytes);
std::string toServer(const Connection& connection, const QString& text);
// The encoding of the account's name and password in the handshake of a session asked to be so.
ServerEncoding handshakeEncoding(SessionText text);
// The same text in another session's encoding (a name read in one session and sent in another).
std::string recodeServer(std::string_view bytes, ServerEncoding from, ServerEncoding to);

// File text is Shift_JIS (CP932) whatever the session: the saved server files, TEMP.CSV, the
// logs, a CSV file written in Shift_JIS. The JIS forms of the characters Unicode has twice
// (〜 U+301C, − U+2212, ...) are written as their Shift_JIS codes; a character Shift_JIS lacks
// becomes "?" and is counted in `missing`, never a byte pair that stands for nothing.
QString fromShiftJis(std::string_view bytes);
std::string toShiftJis(const QString& text, long long* missing = nullptr);
// Whether every character of the text has a Shift_JIS code.
bool fitsShiftJis(const QString& text);

}  // namespace dbk
