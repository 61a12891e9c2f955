#include "transfer/kanji_converter.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <utility>

namespace dbk {

namespace {

constexpr char kEscape = '\x1b';

bool hasEightBit(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// ESC "$" (two-byte sets) or ESC "(" (one-byte sets) of ISO-2022-JP.
bool hasDesignation(std::string_view text) {
    for (size_t i = text.find(kEscape); i != std::string_view::npos; i = text.find(kEscape, i + 1)) {
        if (i + 1 < text.size() && (text[i + 1] == '$' || text[i + 1] == '('))
            return true;
    }
    return false;
}

struct Decoded {
    QString text;
    long long errors = 0;
};

Decoded decode(std::string_view input, KanjiCode code) {
    QByteArray bytes(input.data(), static_cast<qsizetype>(input.size()));
    const char* name = "CP932";
    switch (code) {
        case KanjiCode::Iso2022Jp:
            // JIS-Roman differs from ASCII only in the yen sign and overline at the places of "\" and
            // "~"; Shift_JIS puts them at the same bytes, so it is read as ASCII.
            bytes.replace("\x1b(J", "\x1b(B");
            name = "ISO-2022-JP";
            break;
        case KanjiCode::EucJp:
            name = "EUC-JP";
            break;
        case KanjiCode::Utf8:
            name = "UTF-8";
            break;
        case KanjiCode::Ascii:
        case KanjiCode::ShiftJis:
            break;
    }
    QStringDecoder decoder(name, QStringConverter::Flag::Stateless);
    Decoded out{decoder.decode(bytes), 0};
    // Undecodable bytes come out as U+FFFD (or U+001A, the substitute control character).
    const long long substitutesIn = std::count(input.begin(), input.end(), '\x1a');
    long long substitutesOut = 0;
    for (const QChar c : std::as_const(out.text)) {
        if (c == QChar(0xFFFD))
            ++out.errors;
        if (c == QChar(0x1A))
            ++substitutesOut;
    }
    out.errors += std::max(0LL, substitutesOut - substitutesIn);
    if (decoder.hasError() && out.errors == 0)
        out.errors = 1;
    return out;
}

// Characters that Unicode has twice, once as the JIS standard reads them and once as Windows
// reads the same Shift_JIS bytes: EUC-JP, ISO-2022-JP and UTF-8 text gives the first, CP932
// has only the second.
void toWindowsVariants(QString& text) {
    static constexpr std::pair<char16_t, char16_t> kVariants[] = {
        {0x301C, 0xFF5E},  // wave dash
        {0x2016, 0x2225},  // double vertical line
        {0x2212, 0xFF0D},  // minus sign
        {0x00A2, 0xFFE0},  // cent sign
        {0x00A3, 0xFFE1},  // pound sign
        {0x00AC, 0xFFE2},  // not sign
        {0x2014, 0x2015},  // em dash
        {0x00A5, 0xFFE5},  // yen sign
        {0x203E, 0xFFE3},  // overline
        {0x00A6, 0xFFE4},  // broken bar
    };
    for (QChar& c : text) {
        for (const auto& [jis, windows] : kVariants) {
            if (c.unicode() == jis) {
                c = QChar(windows);
                break;
            }
        }
    }
}

bool isHalfWidthKana(QChar c) {
    return c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F;
}

// Half-width katakana become full-width ones; a voiced or semi-voiced mark joins the kana
// before it. Compatibility normalisation does exactly this for a run of half-width kana.
void widenHalfWidthKana(QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (!isHalfWidthKana(text[i])) {
            out += text[i++];
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && isHalfWidthKana(text[end]))
            ++end;
        const QString wide = text.mid(i, end - i).normalized(QString::NormalizationForm_KC);
        for (const QChar c : wide) {
            switch (c.unicode()) {
                case 0x3099:  // a mark with no kana to join: the spacing mark
                    out += QChar(0x309B);
                    break;
                case 0x309A:
                    out += QChar(0x309C);
                    break;
                case 0x30F7:  // voiced wa, wi, we, wo: Shift_JIS has them only as kana and mark
                case 0x30F8:
                case 0x30F9:
                case 0x30FA:
                    out += QChar(c.unicode() - 0x30F7 + 0x30EF);
                    out += QChar(0x309B);
                    break;
                default:
                    out += c;
            }
        }
        i = end;
    }
    text = std::move(out);
}

struct Encoded {
    std::string bytes;
    long long missing = 0;  // characters Shift_JIS does not have
};

Encoded encodeShiftJis(const QString& text) {
    QStringEncoder encoder("CP932", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    Encoded out;
    if (!encoder.hasError()) {
        out.bytes.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
        return out;
    }
    // The encoder writes 0xFCFC, a code no character has, for each missing character.
    out.bytes.reserve(static_cast<size_t>(bytes.size()));
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (isShiftJisLead(b) && i + 1 < bytes.size()) {
            if (b == 0xFC && static_cast<unsigned char>(bytes[i + 1]) == 0xFC) {
                out.bytes += '?';
                ++out.missing;
            } else {
                out.bytes += bytes[i];
                out.bytes += bytes[i + 1];
            }
            ++i;
        } else {
            out.bytes += bytes[i];
        }
    }
    return out;
}

long long countHalfWidthKana(const QString& text) {
    return std::count_if(text.begin(), text.end(), isHalfWidthKana);
}

constexpr KanjiCode kCandidates[] = {KanjiCode::EucJp, KanjiCode::ShiftJis, KanjiCode::Utf8};

}  // namespace

const char* kanjiCodeName(KanjiCode code) {
    switch (code) {
        case KanjiCode::Ascii:
            return "ASCII";
        case KanjiCode::Iso2022Jp:
            return "ISO-2022-JP";
        case KanjiCode::EucJp:
            return "EUC-JP";
        case KanjiCode::ShiftJis:
            return "Shift_JIS";
        case KanjiCode::Utf8:
            return "UTF-8";
    }
    return "";
}

// ---- KanjiCodeGuess ----

void KanjiCodeGuess::add(std::string_view text) {
    if (hasDesignation(text))
        sawEscape_ = true;
    if (!hasEightBit(text))
        return;
    sawEightBit_ = true;
    for (size_t i = 0; i < std::size(kCandidates); ++i) {
        Decoded decoded = decode(text, kCandidates[i]);
        toWindowsVariants(decoded.text);
        const long long missing = encodeShiftJis(decoded.text).missing;
        penalties_[i] += decoded.errors * 1000 + missing * 4 + countHalfWidthKana(decoded.text);
    }
}

KanjiCode KanjiCodeGuess::code() const {
    if (!sawEightBit_)
        return sawEscape_ ? KanjiCode::Iso2022Jp : KanjiCode::Ascii;
    // The lowest penalty wins; on a tie the assumed code, then Shift_JIS (what the client
    // itself works in), EUC-JP and UTF-8.
    KanjiCode order[] = {assumed_, KanjiCode::ShiftJis, KanjiCode::EucJp, KanjiCode::Utf8};
    KanjiCode best = KanjiCode::ShiftJis;
    long long bestPenalty = -1;
    for (const KanjiCode code : order) {
        const auto at = std::find(std::begin(kCandidates), std::end(kCandidates), code);
        if (at == std::end(kCandidates))
            continue;
        const long long penalty = penalties_[static_cast<size_t>(at - std::begin(kCandidates))];
        if (bestPenalty < 0 || penalty < bestPenalty) {
            best = code;
            bestPenalty = penalty;
        }
    }
    return best;
}

// ---- ShiftJisEncoder ----

std::size_t ShiftJisEncoder::appendUtf8(std::string_view utf8, std::string& out) {
    if (!hasEightBit(utf8)) {
        out += utf8;
        return 0;
    }
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    toWindowsVariants(text);
    Encoded encoded = encodeShiftJis(text);
    out += encoded.bytes;
    return static_cast<std::size_t>(encoded.missing);
}

// ---- KanjiConverter ----

void KanjiConverter::setOptions(std::string_view options) {
    keepHalfWidthKana_ = false;
    assumedCode_ = KanjiCode::ShiftJis;
    size_t pos = 0;
    while (pos < options.size()) {
        const size_t start = options.find_first_not_of(' ', pos);
        if (start == std::string_view::npos)
            break;
        const size_t end = std::min(options.find(' ', start), options.size());
        const std::string_view option = options.substr(start, end - start);
        pos = end;
        if (option.size() < 2 || option[0] != '-' || option[1] == '-')
            continue;
        // Single-letter options may be written together ("-sx").
        for (const char letter : option.substr(1)) {
            switch (letter) {
                case 'x':
                    keepHalfWidthKana_ = true;
                    break;
                case 'X':
                    keepHalfWidthKana_ = false;
                    break;
                case 'J':
                    assumedCode_ = KanjiCode::Iso2022Jp;
                    break;
                case 'E':
                    assumedCode_ = KanjiCode::EucJp;
                    break;
                case 'S':
                    assumedCode_ = KanjiCode::ShiftJis;
                    break;
                case 'W':
                    assumedCode_ = KanjiCode::Utf8;
                    break;
                default:
                    break;
            }
        }
    }
}

KanjiCode KanjiConverter::recognise(std::string_view input) const {
    KanjiCodeGuess guess(assumedCode_);
    guess.add(input);
    return guess.code();
}

std::string KanjiConverter::convert(std::string_view input) const {
    return convert(input, recognise(input));
}

std::string KanjiConverter::convert(std::string_view input, KanjiCode code) const {
    if (!hasEightBit(input) && !hasDesignation(input))
        return std::string(input);
    Decoded decoded = decode(input, code);
    toWindowsVariants(decoded.text);
    if (!keepHalfWidthKana_)
        widenHalfWidthKana(decoded.text);
    return encodeShiftJis(decoded.text).bytes;
}

}  // namespace dbk
