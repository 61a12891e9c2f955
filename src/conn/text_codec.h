#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace dbk {

// Server data, statements and files are Shift_JIS (CP932) bytes; the widgets show QStrings.
// These two are the only crossing between them.
QString toUi(std::string_view bytes);
std::string fromUi(const QString& text);

}  // namespace dbk
