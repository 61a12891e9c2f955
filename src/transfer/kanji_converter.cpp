#include "transfer/kanji_converter.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <utility>
#include <vector>

namespace dbk {

namespace {

constexpr char kEscape = '\x1b';
constexpr char kShiftOut = '\x0e';
constexpr char kShiftIn = '\x0f';

using JisShift = KanjiConverter::JisShift;

unsigned char byteAt(std::string_view text, size_t i) {
    return static_cast<unsigned char>(text[i]);
}

bool hasEightBit(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// ESC "$" (two-byte sets), ESC "(" (one-byte sets) or SO (half-width kana) of ISO-2022-JP.
bool hasShiftSequence(std::string_view text) {
    if (text.find(kShiftOut) != std::string_view::npos)
        return true;
    for (size_t i = text.find(kEscape); i != std::string_view::npos; i = text.find(kEscape, i + 1)) {
        if (i + 1 < text.size() && (text[i + 1] == '$' || text[i + 1] == '('))
            return true;
    }
    return false;
}

// ICU's CP932 tables exchange the control codes 0x1A, 0x1C and 0x7F (IBM's convention). Control
// codes are to pass through unchanged, so these three never reach ICU.
constexpr bool isExchangedControl(char16_t c) {
    return c == 0x1A || c == 0x1C || c == 0x7F;
}

size_t findExchangedControl(std::string_view bytes, size_t from) {
    const auto at = std::find_if(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                                 [](char c) { return isExchangedControl(static_cast<unsigned char>(c)); });
    return at == bytes.end() ? std::string_view::npos : static_cast<size_t>(at - bytes.begin());
}

struct Decoded {
    QString text;
    long long errors = 0;
};

// Appends the text of `bytes` in the ICU code `name`. Undecodable bytes become U+FFFD and are
// counted (ICU writes some as U+001A, which cannot come from the bytes it is given here).
void appendDecoded(Decoded& out, std::string_view bytes, const char* name) {
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t control = findExchangedControl(bytes, start);
        const size_t end = control == std::string_view::npos ? bytes.size() : control;
        if (end > start) {
            QStringDecoder decoder(name, QStringConverter::Flag::Stateless);
            QString part =
                decoder.decode(QByteArrayView(bytes.data() + start, static_cast<qsizetype>(end - start)));
            long long errors = 0;
            for (QChar& c : part) {
                if (c.unicode() == 0x1A)
                    c = QChar(0xFFFD);
                if (c.unicode() == 0xFFFD)
                    ++errors;
            }
            if (decoder.hasError() && errors == 0)
                errors = 1;
            out.text += part;
            out.errors += errors;
        }
        if (control == std::string_view::npos)
            break;
        out.text += QChar(static_cast<char16_t>(bytes[control]));
        start = control + 1;
    }
}

// The characters of Shift_JIS (CP932) text that lie in NEC's and IBM's extensions or the
// user-defined area: those whose first byte is 0xED to 0xFC.
long long countShiftJisExtensions(std::string_view text) {
    long long count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char b = byteAt(text, i);
        if (isShiftJisLead(b)) {
            if (b >= 0xED)
                ++count;
            ++i;
        }
    }
    return count;
}

// Reads the escape sequence at the start of `text` (ESC, intermediate bytes, a final byte) and
// applies it to `shift`: a set for G0 ends a shift to half-width kana. Returns its length, or 0
// when it is no designation. Sequences ISO-2022-JP does not use are read all the same, so that
// none of their bytes is left as text.
size_t readDesignation(std::string_view text, JisShift& shift) {
    using Set = JisShift::Set;
    size_t end = 1;
    while (end < text.size() && byteAt(text, end) >= 0x20 && byteAt(text, end) <= 0x2F)
        ++end;
    if (end == 1 || end >= text.size() || byteAt(text, end) < 0x30 || byteAt(text, end) > 0x7E)
        return 0;
    const std::string_view intermediates = text.substr(1, end - 1);
    const char final = text[end];
    if (intermediates == "(" || intermediates == "$" || intermediates == "$(")
        shift.shiftedOut = false;
    if (intermediates == "(") {
        shift.set = final == 'I' ? Set::Kana : Set::Ascii;  // JIS-Roman is read as ASCII
    } else if (intermediates == "$" || intermediates == "$(") {
        if (final == '@' || final == 'B')
            shift.set = Set::Kanji;
        else if (final == 'D' && intermediates == "$(")
            shift.set = Set::Supplementary;
        else
            shift.set = Set::Unknown;
    }
    return end + 1;
}

void appendKana(std::string& euc, unsigned char kana) {
    if (kana >= 0xA1 && kana <= 0xDF) {
        euc += '\x8e';
        euc += static_cast<char>(kana);
    } else {
        euc += '\xff';
    }
}

// Rewrites ISO-2022-JP as EUC-JP, where every set shows in the bytes themselves: JIS X 0208 as
// two bytes with the high bit set, JIS X 0212 after SS3 (0x8F), half-width kana after SS2 (0x8E).
// Characters of other sets, stray first bytes and eight-bit bytes other than half-width kana
// become 0xFF, which EUC-JP cannot decode.
std::string iso2022JpToEucJp(std::string_view input, JisShift& shift) {
    using Set = JisShift::Set;
    std::string out;
    out.reserve(input.size());
    for (size_t i = 0; i < input.size(); ++i) {
        const unsigned char b = byteAt(input, i);
        if (b == kEscape) {
            const size_t length = readDesignation(input.substr(i), shift);
            if (length > 0) {
                i += length - 1;
                continue;
            }
        } else if (b == kShiftOut || b == kShiftIn) {
            shift.shiftedOut = b == kShiftOut;
            continue;
        }
        const Set set = shift.shiftedOut ? Set::Kana : shift.set;
        if (b >= 0x80) {
            appendKana(out, b);  // eight-bit half-width kana, as some old files have them
        } else if (b < 0x21 || b > 0x7E || set == Set::Ascii) {
            out += static_cast<char>(b);
        } else if (set == Set::Kana) {
            appendKana(out, b | 0x80);
        } else if (i + 1 < input.size() && byteAt(input, i + 1) >= 0x21 && byteAt(input, i + 1) <= 0x7E) {
            if (set == Set::Unknown) {
                out += '\xff';
            } else {
                if (set == Set::Supplementary)
                    out += '\x8f';
                out += static_cast<char>(b | 0x80);
                out += static_cast<char>(byteAt(input, i + 1) | 0x80);
            }
            ++i;
        } else {
            out += '\xff';
        }
    }
    return out;
}

// Characters that Unicode has twice, once as the JIS standard reads them and once as Windows
// reads the same Shift_JIS bytes: EUC-JP, ISO-2022-JP and UTF-8 text gives the first, CP932
// has only the second.
constexpr std::pair<char16_t, char16_t> kVariants[] = {
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

void toWindowsVariants(QString& text) {
    for (QChar& c : text) {
        if (c.unicode() < 0xA2)  // ASCII and most of Latin-1, at a glance
            continue;
        for (const auto& [jis, windows] : kVariants) {
            if (c.unicode() == jis) {
                c = QChar(windows);
                break;
            }
        }
    }
}

QChar toJisVariant(QChar c) {
    for (const auto& [jis, windows] : kVariants) {
        if (c.unicode() == windows)
            return QChar(jis);
    }
    return c;
}

// eucJP-ms writes the IBM extension characters that neither JIS X 0208 nor JIS X 0212 has (and
// those of NEC's row 13) in JIS X 0212 from 0x7373 on, in their CP932 order. ICU's EUC-JP does
// not read them, so the list is made once from ICU's CP932 and EUC-JP tables.
const std::vector<char16_t>& ibmExtensionsOfJisX0212() {
    static const std::vector<char16_t> chars = [] {
        // Which characters JIS X 0212 itself has.
        QByteArray supplementary;
        for (int row = 0xA1; row <= 0xF2; ++row) {
            for (int cell = 0xA1; cell <= 0xFE; ++cell) {
                supplementary += '\x8f';
                supplementary += static_cast<char>(row);
                supplementary += static_cast<char>(cell);
            }
        }
        const QString jisX0212 = QStringDecoder("EUC-JP", QStringConverter::Flag::Stateless)(supplementary);

        std::vector<char16_t> list;
        for (int code = 0xFA40; code <= 0xFC4B; ++code) {
            if (!isShiftJisTrail(static_cast<unsigned char>(code & 0xFF)))
                continue;
            const char sjis[] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
            const QString c =
                QStringDecoder("CP932", QStringConverter::Flag::Stateless)(QByteArrayView(sjis, 2));
            if (c.size() != 1 || c[0].unicode() == 0xFFFD || c[0].unicode() == 0x1A)
                continue;
            QStringEncoder toEuc("EUC-JP", QStringConverter::Flag::Stateless);
            const QByteArray euc = toEuc.encode(c);
            const auto lead = euc.isEmpty() ? 0 : static_cast<unsigned char>(euc[0]);
            const bool inRow13 = !toEuc.hasError() && euc.size() == 2 && lead == 0xAD;
            const bool inJisX0208 = !toEuc.hasError() && euc.size() == 2 && lead >= 0xA1 && lead <= 0xF4;
            const bool inJisX0212 = jisX0212.contains(c[0]) || jisX0212.contains(toJisVariant(c[0]));
            if (inRow13 || (!inJisX0208 && !inJisX0212))
                list.push_back(c[0].unicode());
        }
        return list;
    }();
    return chars;
}

// EUC-JP as ICU reads it, and the IBM extensions of eucJP-ms in JIS X 0212.
void appendEucJp(Decoded& out, std::string_view bytes) {
    size_t runStart = 0;
    // 0x8F (SS3) never follows a first byte, so it starts a character wherever it stands.
    for (size_t i = bytes.find('\x8f'); i != std::string_view::npos && i + 2 < bytes.size();
         i = bytes.find('\x8f', i + 1)) {
        const unsigned char row = byteAt(bytes, i + 1);
        const unsigned char cell = byteAt(bytes, i + 2);
        if (row < 0xF3 || row > 0xFE || cell < 0xA1 || cell > 0xFE)
            continue;
        appendDecoded(out, bytes.substr(runStart, i - runStart), "EUC-JP");
        const std::vector<char16_t>& ibm = ibmExtensionsOfJisX0212();
        const long long index = (row - 0xF3) * 94 + (cell - 0xA1) - (0xF3 - 0xA1);
        if (index >= 0 && index < static_cast<long long>(ibm.size())) {
            out.text += QChar(ibm[static_cast<size_t>(index)]);
        } else {
            out.text += QChar(0xFFFD);
            ++out.errors;
        }
        i += 2;
        runStart = i + 1;
    }
    appendDecoded(out, bytes.substr(runStart), "EUC-JP");
}

Decoded decode(std::string_view input, KanjiCode code, JisShift& shift) {
    Decoded out;
    switch (code) {
        case KanjiCode::Iso2022Jp:
            appendEucJp(out, iso2022JpToEucJp(input, shift));
            break;
        case KanjiCode::EucJp:
            appendEucJp(out, input);
            break;
        case KanjiCode::Utf8:
            appendDecoded(out, input, "UTF-8");
            break;
        case KanjiCode::Ascii:
        case KanjiCode::ShiftJis:
            appendDecoded(out, input, "CP932");
            break;
    }
    return out;
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

void appendShiftJis(Encoded& out, QStringView text) {
    if (text.isEmpty())
        return;
    QStringEncoder encoder("CP932", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError()) {
        out.bytes.append(bytes.constData(), static_cast<size_t>(bytes.size()));
        return;
    }
    // The encoder writes 0xFCFC, a code no character has, for each missing character.
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
}

Encoded encodeShiftJis(const QString& text) {
    Encoded out;
    out.bytes.reserve(static_cast<size_t>(text.size()) * 2);
    const QStringView view(text);
    qsizetype start = 0;
    for (qsizetype i = 0; i < view.size(); ++i) {
        if (isExchangedControl(view[i].unicode())) {
            appendShiftJis(out, view.sliced(start, i - start));
            out.bytes += static_cast<char>(view[i].unicode());
            start = i + 1;
        }
    }
    appendShiftJis(out, view.sliced(start));
    return out;
}

long long countHalfWidthKana(const QString& text) {
    return std::count_if(text.begin(), text.end(), isHalfWidthKana);
}

// How strongly a text that decodes as UTF-8 without an error speaks for UTF-8: other codes
// rarely line up into its sequences of three bytes, and hardly ever into those of four.
long long utf8Weight(const QString& text) {
    long long weight = 0;
    for (const QChar c : text) {
        if (c.isHighSurrogate())
            weight += 8;
        else if (c.unicode() >= 0x800 && !c.isSurrogate())
            weight += 2;
    }
    return weight;
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
    if (hasShiftSequence(text))
        sawEscape_ = true;
    if (!hasEightBit(text))
        return;
    sawEightBit_ = true;
    std::array<long long, std::size(kCandidates)> penalties{};
    long long utf8Evidence = 0;
    for (size_t i = 0; i < std::size(kCandidates); ++i) {
        JisShift shift;
        Decoded decoded = decode(text, kCandidates[i], shift);
        toWindowsVariants(decoded.text);
        const long long missing = encodeShiftJis(decoded.text).missing;
        penalties[i] = decoded.errors * 1000 + missing * 4 + countHalfWidthKana(decoded.text);
        if (kCandidates[i] == KanjiCode::ShiftJis)
            penalties[i] += countShiftJisExtensions(text);
        if (kCandidates[i] == KanjiCode::Utf8 && decoded.errors == 0)
            utf8Evidence = utf8Weight(decoded.text);
    }
    for (size_t i = 0; i < std::size(kCandidates); ++i)
        penalties_[i] += penalties[i] + (kCandidates[i] == KanjiCode::Utf8 ? 0 : utf8Evidence);
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

std::size_t ShiftJisEncoder::encodeWhole(std::string_view utf8, std::string& out) {
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    toWindowsVariants(text);
    Encoded encoded = encodeShiftJis(text);
    out += encoded.bytes;
    return static_cast<std::size_t>(encoded.missing);
}

namespace {
constexpr uint32_t kKnown = 0x80000000U;
constexpr uint32_t kMissing = 0x40000000U;
// A character whose bytes do not fit an entry: the value goes to the encoder whole.
constexpr uint32_t kUncachable = 0x20000000U;

// The code point of the UTF-8 character at `i` and its length; length 0 for a byte that starts
// no well-formed character.
std::pair<char32_t, size_t> decodeUtf8(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const auto continuation = [&](size_t k) { return k < s.size() && (byte(k) & 0xC0) == 0x80; };
    const unsigned char b = byte(i);
    if (b >= 0xC2 && b <= 0xDF && continuation(i + 1))
        return {char32_t((b & 0x1F) << 6 | (byte(i + 1) & 0x3F)), 2};
    if (b >= 0xE0 && b <= 0xEF && continuation(i + 1) && continuation(i + 2)) {
        const char32_t c = (b & 0x0F) << 12 | (byte(i + 1) & 0x3F) << 6 | (byte(i + 2) & 0x3F);
        if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF))
            return {c, 3};
    }
    if (b >= 0xF0 && b <= 0xF4 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
        const char32_t c =
            (b & 0x07) << 18 | (byte(i + 1) & 0x3F) << 12 | (byte(i + 2) & 0x3F) << 6 | (byte(i + 3) & 0x3F);
        if (c >= 0x10000 && c <= 0x10FFFF)
            return {c, 4};
    }
    return {0, 0};
}
}  // namespace

ShiftJisEncoder::ShiftJisEncoder() : bmp_(0x10000, 0) {}

uint32_t ShiftJisEncoder::lookUp(char32_t code, std::string_view utf8) {
    uint32_t* slot = nullptr;
    if (code < 0x10000) {
        slot = &bmp_[code];
    } else {
        for (auto& [known, entry] : others_) {
            if (known == code)
                return entry;
        }
        slot = &others_.emplace_back(code, 0).second;
    }
    if (*slot != 0)
        return *slot;
    std::string bytes;
    const std::size_t missing = encodeWhole(utf8, bytes);
    uint32_t entry = kKnown;
    if (bytes.empty() || bytes.size() > 2) {
        entry |= kUncachable;
    } else {
        entry |= static_cast<uint32_t>(bytes.size()) << 16;
        for (const char b : bytes)
            entry = (entry & 0xFFFF0000U) | ((entry & 0xFFU) << 8) | static_cast<unsigned char>(b);
        if (missing > 0)
            entry |= kMissing;
    }
    *slot = entry;
    return entry;
}

std::size_t ShiftJisEncoder::appendUtf8(std::string_view utf8, std::string& out) {
    const size_t start = out.size();
    std::size_t missing = 0;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        const auto [code, length] = decodeUtf8(utf8, i);
        const uint32_t entry = length == 0 ? kUncachable : lookUp(code, utf8.substr(i, length));
        if (entry & kUncachable) {
            // Not well-formed, or more than one Shift_JIS character: the encoder takes it all.
            out.resize(start);
            return encodeWhole(utf8, out);
        }
        if ((entry >> 16 & 0x3) == 2)
            out += static_cast<char>(entry >> 8 & 0xFF);
        out += static_cast<char>(entry & 0xFF);
        if (entry & kMissing)
            ++missing;
        i += length;
    }
    return missing;
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
    JisShift shift;
    return convert(input, code, shift);
}

std::string KanjiConverter::convert(std::string_view input, KanjiCode code, JisShift& shift) const {
    if (!hasEightBit(input) &&
        (code != KanjiCode::Iso2022Jp || (shift.isInitial() && !hasShiftSequence(input))))
        return std::string(input);
    Decoded decoded = decode(input, code, shift);
    toWindowsVariants(decoded.text);
    if (!keepHalfWidthKana_)
        widenHalfWidthKana(decoded.text);
    return encodeShiftJis(decoded.text).bytes;
}

}  // namespace dbk
