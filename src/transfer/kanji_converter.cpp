#include "transfer/kanji_converter.h"

namespace dbk {

void KanjiConverter::setOptions(std::string_view options) {
    if (options.find("-x") != std::string_view::npos) keepHalfWidthKana_ = true;
    if (options.find("-X") != std::string_view::npos) keepHalfWidthKana_ = false;
}

// Until the code recognition is in, Shift_JIS input passes through unchanged.
std::string KanjiConverter::convert(std::string_view input) const { return std::string(input); }

}  // namespace dbk
