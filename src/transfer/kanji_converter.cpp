#include "transfer/kanji_converter.h"

#include "conn/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
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

// Bytes that ISO-2022-JP text does not pass through as they are: ESC (which may start a
// designation), SO and SI (consumed as shifts, stray or not).
bool hasIso2022JpControl(std::string_view text) {
    return text.find_first_of("\x1b\x0e\x0f") != std::string_view::npos;
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
    bool hadError = false;  // the codec reported an undecodable sequence
};

// Opening a converter costs more than converting a line with it, so each thread keeps one per
// code. A converter that met an error is replaced: its error flag cannot be cleared.
QStringDecoder& readyDecoder(const char* name) {
    struct Slot {
        const char* name;
        std::unique_ptr<QStringDecoder> decoder;
    };
    thread_local Slot opened[] = {{"EUC-JP", nullptr}, {"CP932", nullptr}, {"UTF-8", nullptr}};
    for (Slot& slot : opened) {
        if (std::strcmp(slot.name, name) != 0)
            continue;
        if (!slot.decoder || slot.decoder->hasError())
            slot.decoder = std::make_unique<QStringDecoder>(name, QStringConverter::Flag::Stateless);
        else
            slot.decoder->resetState();
        return *slot.decoder;
    }
    thread_local std::unique_ptr<QStringDecoder> other;
    other = std::make_unique<QStringDecoder>(name, QStringConverter::Flag::Stateless);
    return *other;
}

QStringEncoder& readyShiftJisEncoder() {
    thread_local std::unique_ptr<QStringEncoder> encoder;
    if (!encoder || encoder->hasError())
        encoder = std::make_unique<QStringEncoder>("CP932", QStringConverter::Flag::Stateless);
    else
        encoder->resetState();
    return *encoder;
}

// Appends the text of `bytes` in the ICU code `name`. Undecodable bytes become U+FFFD and are
// counted (ICU writes some as U+001A, which cannot come from the bytes it is given here).
void appendDecoded(Decoded& out, std::string_view bytes, const char* name) {
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t control = findExchangedControl(bytes, start);
        const size_t end = control == std::string_view::npos ? bytes.size() : control;
        if (end > start) {
            QStringDecoder& decoder = readyDecoder(name);
            QString part =
                decoder.decode(QByteArrayView(bytes.data() + start, static_cast<qsizetype>(end - start)));
            long long errors = 0;
            for (QChar& c : part) {
                if (c.unicode() == 0x1A)
                    c = QChar(0xFFFD);
                if (c.unicode() == 0xFFFD)
                    ++errors;
            }
            if (decoder.hasError()) {
                out.hadError = true;
                if (errors == 0)
                    errors = 1;
            }
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
    QStringEncoder& encoder = readyShiftJisEncoder();
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

}  // namespace

std::string toShiftJis(const QString& text, long long* missing) {
    QString windows = text;
    toWindowsVariants(windows);
    Encoded encoded = encodeShiftJis(windows);
    if (missing)
        *missing = encoded.missing;
    return std::move(encoded.bytes);
}

bool fitsShiftJis(const QString& text) {
    long long missing = 0;
    toShiftJis(text, &missing);
    return missing == 0;
}

namespace {

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

// ---- Characters looked up instead of converted ----
//
// Converting a line through the codecs costs far more than the line's bytes: most of a large file
// is the same few thousand characters again and again. So each character's bytes (a "unit") are
// converted once, by the code above, and what they come to is kept in a table. A line whose units
// all decoded cleanly on their own converts to the concatenation of their results, since every
// code here reads one character after another without carrying anything over; any other line
// goes through the codecs as a whole.

enum class UnitKind : uint32_t { Unknown = 0, Clean = 1, Undecodable = 2, Irregular = 3 };

// One unit, packed: the Shift_JIS bytes (at most two), their count, whether the character is
// U+FFFD (an undecodable byte), one that Shift_JIS lacks or a half-width kana, and its weight
// as evidence of UTF-8.
class Unit {
public:
    Unit() = default;
    explicit Unit(uint32_t bits) : bits_(bits) {}
    static Unit of(UnitKind kind) { return Unit(static_cast<uint32_t>(kind) << 28); }
    static Unit clean(std::string_view bytes, bool replacement, bool missing, bool halfWidthKana,
                      unsigned weight) {
        uint32_t bits = static_cast<uint32_t>(UnitKind::Clean) << 28;
        bits |= static_cast<unsigned char>(bytes[0]);
        if (bytes.size() > 1)
            bits |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[1])) << 8;
        bits |= static_cast<uint32_t>(bytes.size()) << 16;
        bits |= (replacement ? 1U : 0U) << 18 | (missing ? 1U : 0U) << 19 | (halfWidthKana ? 1U : 0U) << 20;
        bits |= weight << 21;
        return Unit(bits);
    }

    UnitKind kind() const { return static_cast<UnitKind>(bits_ >> 28); }
    uint32_t bits() const { return bits_; }
    void appendBytes(std::string& out) const {
        out += static_cast<char>(bits_ & 0xFF);
        if (((bits_ >> 16) & 3) == 2)
            out += static_cast<char>((bits_ >> 8) & 0xFF);
    }
    unsigned replacement() const { return (bits_ >> 18) & 1; }
    unsigned missing() const { return (bits_ >> 19) & 1; }
    unsigned halfWidthKana() const { return (bits_ >> 20) & 1; }
    unsigned weight() const { return (bits_ >> 21) & 0xF; }

private:
    uint32_t bits_ = 0;
};

// Works a unit out through the codecs. Undecodable: the codec reported an error, which it does
// wherever these bytes stand, since every unit starts where a character may start and runs to
// where that character must end (or to the end of the text). Irregular: decoded, but to
// something a table entry does not hold, or to nothing (a UTF-8 byte order mark is dropped at
// the start of a text only).
Unit makeUnit(std::string_view bytes, KanjiCode code) {
    JisShift shift;
    Decoded decoded = decode(bytes, code, shift);
    if (decoded.hadError)
        return Unit::of(UnitKind::Undecodable);
    if (decoded.text.isEmpty() || decoded.text.size() > 2)
        return Unit::of(UnitKind::Irregular);
    toWindowsVariants(decoded.text);
    const Encoded encoded = encodeShiftJis(decoded.text);
    const long long halfWidth = countHalfWidthKana(decoded.text);
    const long long weight = utf8Weight(decoded.text);
    if (decoded.errors > 1 || encoded.missing > 1 || encoded.bytes.empty() || encoded.bytes.size() > 2 ||
        halfWidth > 1 || weight > 15)
        return Unit::of(UnitKind::Irregular);
    return Unit::clean(encoded.bytes, decoded.errors == 1, encoded.missing == 1, halfWidth == 1,
                       static_cast<unsigned>(weight));
}

bool isUtf8Continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The units of one code, filled as they are met.
class UnitTable {
public:
    explicit UnitTable(KanjiCode code)
        : code_(code),
          single_(256, 0),
          pair_(0x10000, 0),
          triple_(code == KanjiCode::EucJp ? 0x10000 : 0, 0),
          bmp_(code == KanjiCode::Utf8 ? 0x10000 : 0, 0) {
        for (unsigned b = 0; b < 0x80; ++b) {
            const char c = static_cast<char>(b);
            const Unit unit = cached(single_, b, std::string_view(&c, 1));
            std::string bytes;
            unit.appendBytes(bytes);
            plainAscii_[b] = unit.kind() == UnitKind::Clean && bytes == std::string_view(&c, 1) &&
                             unit.replacement() == 0 && unit.missing() == 0 && unit.halfWidthKana() == 0 &&
                             unit.weight() == 0;
        }
    }

    // An ASCII byte that stays as it is and counts for nothing.
    bool isPlainAscii(unsigned char b) const { return b < 0x80 && plainAscii_[b]; }

    // The unit that starts at `at`, and its length.
    Unit lookUp(std::string_view text, size_t at, size_t& length) {
        const auto b = byteAt(text, at);
        if (b < 0x80) {
            length = 1;
            return cached(single_, b, text.substr(at, 1));
        }
        switch (code_) {
            case KanjiCode::EucJp:
                return lookUpEucJp(text, at, length);
            case KanjiCode::Utf8:
                return lookUpUtf8(text, at, length);
            default:
                return lookUpShiftJis(text, at, length);
        }
    }

private:
    Unit cached(std::vector<uint32_t>& table, size_t key, std::string_view bytes) {
        const uint32_t bits = table[key];
        return bits != 0 ? Unit(bits) : fill(table, key, bytes);
    }
    [[gnu::noinline]] Unit fill(std::vector<uint32_t>& table, size_t key, std::string_view bytes) {
        const Unit unit = makeUnit(bytes, code_);
        table[key] = unit.bits();
        return unit;
    }

    // Pairs, the three bytes of JIS X 0212 (after SS3), and single bytes.
    Unit lookUpEucJp(std::string_view text, size_t at, size_t& length) {
        const auto b = byteAt(text, at);
        const size_t rest = text.size() - at;
        if (b == 0x8F && rest >= 3) {
            length = 3;
            return cached(triple_, byteAt(text, at + 1) << 8 | byteAt(text, at + 2), text.substr(at, 3));
        }
        if ((b == 0x8E || b == 0x8F || (b >= 0xA1 && b <= 0xFE)) && rest >= 2) {
            length = 2;
            return cached(pair_, b << 8 | byteAt(text, at + 1), text.substr(at, 2));
        }
        length = 1;  // a single byte, or a first byte at the end of the text
        return cached(single_, b, text.substr(at, 1));
    }

    Unit lookUpShiftJis(std::string_view text, size_t at, size_t& length) {
        const auto b = byteAt(text, at);
        if (isShiftJisLead(b) && text.size() - at >= 2) {
            length = 2;
            return cached(pair_, b << 8 | byteAt(text, at + 1), text.substr(at, 2));
        }
        length = 1;
        return cached(single_, b, text.substr(at, 1));
    }

    // A first byte and the continuation bytes that follow it, up to the length it announces. A
    // sequence cut short by another byte ends there: that is an error wherever it stands.
    Unit lookUpUtf8(std::string_view text, size_t at, size_t& length) {
        const auto b = byteAt(text, at);
        const size_t wanted = b >= 0xC2 && b <= 0xDF   ? 2
                              : b >= 0xE0 && b <= 0xEF ? 3
                              : b >= 0xF0 && b <= 0xF4 ? 4
                                                       : 1;
        length = 1;
        while (length < wanted && at + length < text.size() && isUtf8Continuation(byteAt(text, at + length)))
            ++length;
        const std::string_view bytes = text.substr(at, length);
        if (length == 1)
            return cached(single_, b, bytes);
        if (length == 2)
            return cached(pair_, b << 8 | byteAt(text, at + 1), bytes);
        if (length < wanted)
            return makeUnit(bytes, code_);
        char32_t point = b & (wanted == 3 ? 0x0F : 0x07);
        for (size_t i = 1; i < length; ++i)
            point = point << 6 | (byteAt(text, at + i) & 0x3F);
        if (length == 3 && point >= 0x800)
            return cached(bmp_, point, bytes);
        if (length == 4 && point >= 0x10000 && point <= 0x10FFFF) {
            auto [entry, inserted] = supplementary_.try_emplace(point, 0);
            if (inserted)
                entry->second = makeUnit(bytes, code_).bits();
            return Unit(entry->second);
        }
        return makeUnit(bytes, code_);  // too long a form, or beyond Unicode
    }

    KanjiCode code_;
    std::vector<uint32_t> single_, pair_, triple_, bmp_;
    std::unordered_map<char32_t, uint32_t> supplementary_;
    bool plainAscii_[0x80] = {};
};

UnitTable& unitTable(KanjiCode code) {
    thread_local UnitTable eucJp(KanjiCode::EucJp), shiftJis(KanjiCode::ShiftJis), utf8(KanjiCode::Utf8);
    switch (code) {
        case KanjiCode::EucJp:
            return eucJp;
        case KanjiCode::Utf8:
            return utf8;
        default:
            return shiftJis;
    }
}

// What the units of a text add up to, when every one of them is clean.
struct UnitSums {
    UnitKind kind = UnitKind::Clean;  // else the first unit that is not
    long long replacements = 0;
    long long missing = 0;
    long long halfWidthKana = 0;
    long long weight = 0;
};

UnitSums sumUnits(std::string_view text, KanjiCode code) {
    UnitTable& table = unitTable(code);
    UnitSums sums;
    for (size_t i = 0; i < text.size();) {
        if (table.isPlainAscii(byteAt(text, i))) {
            ++i;
            continue;
        }
        size_t length = 1;
        const Unit unit = table.lookUp(text, i, length);
        if (unit.kind() != UnitKind::Clean) {
            sums.kind = unit.kind();
            return sums;
        }
        sums.replacements += unit.replacement();
        sums.missing += unit.missing();
        sums.halfWidthKana += unit.halfWidthKana();
        sums.weight += unit.weight();
        i += length;
    }
    return sums;
}

// Appends the Shift_JIS of a text made of clean units and counts the characters that became "?";
// false (with `out` as it was) when a unit is not clean, or when half-width kana are to be
// widened (that joins a kana with its mark).
bool appendFromUnits(std::string_view text, KanjiCode code, bool keepHalfWidthKana, std::string& out,
                     std::size_t& missing) {
    UnitTable& table = unitTable(code);
    const size_t start = out.size();
    std::size_t count = 0;
    for (size_t i = 0; i < text.size();) {
        size_t plain = i;
        while (plain < text.size() && table.isPlainAscii(byteAt(text, plain)))
            ++plain;
        if (plain > i) {
            out.append(text.data() + i, plain - i);
            i = plain;
            continue;
        }
        size_t length = 1;
        const Unit unit = table.lookUp(text, i, length);
        if (unit.kind() != UnitKind::Clean || (!keepHalfWidthKana && unit.halfWidthKana())) {
            out.resize(start);
            return false;
        }
        unit.appendBytes(out);
        count += unit.missing();
        i += length;
    }
    missing = count;
    return true;
}

// The penalty of one candidate code for a text, through the codecs (without the UTF-8 evidence).
long long penaltyThroughCodecs(std::string_view text, KanjiCode code) {
    JisShift shift;
    Decoded decoded = decode(text, code, shift);
    toWindowsVariants(decoded.text);
    const long long missing = encodeShiftJis(decoded.text).missing;
    long long penalty = decoded.errors * 1000 + missing * 4 + countHalfWidthKana(decoded.text);
    if (code == KanjiCode::ShiftJis)
        penalty += countShiftJisExtensions(text);
    return penalty;
}

// How much a text speaks for UTF-8 (0 unless it decodes as UTF-8 without an error).
long long utf8EvidenceThroughCodecs(std::string_view text) {
    JisShift shift;
    const Decoded decoded = decode(text, KanjiCode::Utf8, shift);
    return decoded.errors == 0 ? utf8Weight(decoded.text) : 0;
}

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
    addLine(text, true);
}

void KanjiCodeGuess::addQuickly(std::string_view text) {
    addLine(text, false);
}

void KanjiCodeGuess::addLine(std::string_view text, bool exactly) {
    if (hasShiftSequence(text))
        sawEscape_ = true;
    if (!hasEightBit(text))
        return;
    sawEightBit_ = true;
    std::array<UnitSums, std::size(kCandidates)> sums;
    for (size_t i = 0; i < std::size(kCandidates); ++i)
        sums[i] = sumUnits(text, kCandidates[i]);

    // Text that does not decode as UTF-8 is no evidence for it.
    const UnitSums& utf8 = sums[2];
    long long utf8Evidence = 0;
    if (utf8.kind == UnitKind::Clean)
        utf8Evidence = utf8.replacements == 0 ? utf8.weight : 0;
    else if (utf8.kind == UnitKind::Irregular)
        utf8Evidence = utf8EvidenceThroughCodecs(text);

    for (size_t i = 0; i < std::size(kCandidates); ++i) {
        const KanjiCode code = kCandidates[i];
        if (code != KanjiCode::Utf8)
            penalties_[i] += utf8Evidence;
        if (sums[i].kind == UnitKind::Clean) {
            penalties_[i] += sums[i].replacements * 1000 + sums[i].missing * 4 + sums[i].halfWidthKana;
            if (code == KanjiCode::ShiftJis)
                penalties_[i] += countShiftJisExtensions(text);
        } else if (sums[i].kind == UnitKind::Undecodable && !exactly) {
            // At least one undecodable sequence: a penalty of 1000 or more, worked out only if
            // that can still decide (settle()).
            ++bounded_[i];
        } else {
            penalties_[i] += penaltyThroughCodecs(text, code);
        }
    }
}

std::array<KanjiCode, 4> KanjiCodeGuess::order() const {
    // On a tie the assumed code, then Shift_JIS (what the client itself works in), EUC-JP and
    // UTF-8.
    return {assumed_, KanjiCode::ShiftJis, KanjiCode::EucJp, KanjiCode::Utf8};
}

namespace {
size_t candidateIndex(KanjiCode code) {
    const auto at = std::find(std::begin(kCandidates), std::end(kCandidates), code);
    return at == std::end(kCandidates) ? std::size(kCandidates)
                                       : static_cast<size_t>(at - std::begin(kCandidates));
}
}  // namespace

bool KanjiCodeGuess::settled() const {
    // The best code whose penalty is known, and whether a code known only from below could
    // still beat it.
    long long best = -1;
    size_t bestRank = 0;
    const auto order = this->order();
    for (size_t rank = 0; rank < order.size(); ++rank) {
        const size_t i = candidateIndex(order[rank]);
        if (i < std::size(kCandidates) && bounded_[i] == 0 && (best < 0 || penalties_[i] < best)) {
            best = penalties_[i];
            bestRank = rank;
        }
    }
    for (size_t rank = 0; rank < order.size(); ++rank) {
        const size_t i = candidateIndex(order[rank]);
        if (i >= std::size(kCandidates) || bounded_[i] == 0)
            continue;
        const long long atLeast = penalties_[i] + 1000 * bounded_[i];
        if (best < 0 || atLeast < best || (atLeast == best && rank < bestRank))
            return false;
    }
    return true;
}

void KanjiCodeGuess::settle(std::string_view text) {
    if (!hasEightBit(text))
        return;
    for (size_t i = 0; i < std::size(kCandidates); ++i) {
        if (bounded_[i] == 0 || sumUnits(text, kCandidates[i]).kind != UnitKind::Undecodable)
            continue;
        penalties_[i] += penaltyThroughCodecs(text, kCandidates[i]);
        --bounded_[i];
    }
}

KanjiCode KanjiCodeGuess::code() const {
    if (!sawEightBit_)
        return sawEscape_ ? KanjiCode::Iso2022Jp : KanjiCode::Ascii;
    // The lowest penalty wins; on a tie the code that comes first in order().
    KanjiCode best = KanjiCode::ShiftJis;
    long long bestPenalty = -1;
    for (const KanjiCode code : order()) {
        const size_t i = candidateIndex(code);
        if (i >= std::size(kCandidates))
            continue;
        const long long penalty = penalties_[i] + 1000 * bounded_[i];
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
    // Shift_JIS has no character beyond the basic plane: every one of them becomes "?".
    if (code >= 0x10000)
        return kKnown | kMissing | 1U << 16 | static_cast<unsigned char>('?');
    uint32_t* slot = &bmp_[code];
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
    std::string out;
    appendConverted(input, code, shift, out);
    return out;
}

std::size_t KanjiConverter::appendConverted(std::string_view input, KanjiCode code, JisShift& shift,
                                            std::string& out) const {
    // Text that the conversion would give back unchanged; for ISO-2022-JP also no byte it would
    // read as a shift or a designation, so that a piece converts exactly as it does within the
    // whole text.
    if (!hasEightBit(input) &&
        (code != KanjiCode::Iso2022Jp || (shift.isInitial() && !hasIso2022JpControl(input)))) {
        out += input;
        return 0;
    }
    std::size_t missing = 0;
    if (code != KanjiCode::Iso2022Jp && appendFromUnits(input, code, keepHalfWidthKana_, out, missing))
        return missing;
    Decoded decoded = decode(input, code, shift);
    toWindowsVariants(decoded.text);
    if (!keepHalfWidthKana_)
        widenHalfWidthKana(decoded.text);
    const Encoded encoded = encodeShiftJis(decoded.text);
    out += encoded.bytes;
    return static_cast<std::size_t>(encoded.missing);
}
QString decodeKanji(std::string_view bytes, KanjiCode code) {
    KanjiConverter::JisShift shift;
    return decode(bytes, code, shift).text;
}

}  // namespace dbk
