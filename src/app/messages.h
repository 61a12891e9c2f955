#pragma once

#include <QString>

#include "conn/text_format.h"

namespace dbk {

enum class Language { English, Japanese };

// The interface language: DBKEEPER_LANG=ja|en when set, else Japanese for a Japanese locale.
Language interfaceLanguage();
void setInterfaceLanguage(Language language);

// Numbered message of the interface language; the English text when the Japanese one is
// missing; "" when neither table has the number.
QString msg(int id);
QString msgIn(Language language, int id);
bool hasMsg(int id);

template <class... Args>
QString msgf(int id, const Args&... args) {
    return formatUi(msg(id), args...);
}

}  // namespace dbk
