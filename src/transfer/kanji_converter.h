#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace dbk {

// Turns Japanese text of any common code into Shift_JIS (CP932). The input code is
// recognised among ISO-2022-JP, EUC-JP, Shift_JIS/CP932 and UTF-8; line breaks are kept.
class KanjiConverter {
public:
    // Options as the converter takes them: "-s" (output Shift_JIS), "-x" (keep half-width
    // kana), "-X" (widen half-width kana, the default).
    void setOptions(std::string_view options);
    std::string convert(std::string_view input) const;

    bool keepsHalfWidthKana() const { return keepHalfWidthKana_; }

private:
    bool keepHalfWidthKana_ = false;
};

}  // namespace dbk
