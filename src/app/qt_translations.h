#pragma once

#include "app/messages.h"

namespace dbk {

// Qt's own texts (the buttons of message boxes and questions, the file and font choosers) in
// the interface language: Japanese loads Qt's "qtbase_ja" catalogue from Qt's translations
// folder, English needs none. A catalogue loaded before is removed first, so the language can
// change. False when the language's catalogue is missing (Qt then speaks English).
bool useQtTranslations(Language language);

}  // namespace dbk
