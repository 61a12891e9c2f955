#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dbk {

// The codes Japanese text arrives in. Ascii: nothing but 7-bit bytes and no escape sequence.
enum class KanjiCode { Ascii, Iso2022Jp, EucJp, ShiftJis, Utf8 };

const char* kanjiCodeName(KanjiCode code);

// The bytes that start a two-byte Shift_JIS (CP932) character, and those that may follow them.
inline bool isShiftJisLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
inline bool isShiftJisTrail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Turns Japanese text of any common code into Shift_JIS (CP932). The input code is
// recognised among ISO-2022-JP, EUC-JP, Shift_JIS/CP932 and UTF-8; line breaks and control
// codes are kept. A character Shift_JIS does not have, and an undecodable byte, become "?".
class KanjiConverter {
public:
    // Where a text in ISO-2022-JP left off: the set its last escape sequence chose, and whether
    // SO shifted to half-width kana. A text that comes in pieces carries it from one to the next.
    struct JisShift {
        enum class Set : unsigned char { Ascii, Kanji, Supplementary, Kana, Unknown };
        Set set = Set::Ascii;
        bool shiftedOut = false;
        bool isInitial() const { return set == Set::Ascii && !shiftedOut; }
    };

    // Options as the converter takes them; they replace the ones set before. In order, the
    // last one of a kind counting:
    // "-x" keeps half-width kana, "-X" widens them (the default); "-J", "-E", "-S", "-W" name
    // the code to assume when a text reads equally well in more than one; "-s" (Shift_JIS
    // output) is the only output there is. Other options are accepted and have no effect.
    void setOptions(std::string_view options);
    // Converts one text, recognising its code.
    std::string convert(std::string_view input) const;
    // Converts one text of a known code.
    std::string convert(std::string_view input, KanjiCode code) const;
    // Converts one piece of a text of a known code, starting in the shift state `shift` and
    // leaving it where the piece ends.
    std::string convert(std::string_view input, KanjiCode code, JisShift& shift) const;
    // The same, appended to `out`; returns how many characters became "?" (undecodable, or not
    // in Shift_JIS).
    std::size_t appendConverted(std::string_view input, KanjiCode code, JisShift& shift,
                                std::string& out) const;
    // The code the text reads best in.
    KanjiCode recognise(std::string_view input) const;

    bool keepsHalfWidthKana() const { return keepHalfWidthKana_; }
    KanjiCode assumedCode() const { return assumedCode_; }

private:
    bool keepHalfWidthKana_ = false;
    KanjiCode assumedCode_ = KanjiCode::ShiftJis;
};

// Text of a known code as Unicode: the reading convert() starts with, for a text that is to be
// shown, or sent in a code of its own.
QString decodeKanji(std::string_view bytes, KanjiCode code);

// Writes UTF-8 text as Shift_JIS (CP932) the way the converter does: the JIS forms of the
// characters Unicode has twice become their Windows forms, half-width kana stay as they are,
// and a character Shift_JIS lacks becomes "?". One encoder serves a whole run of values: it
// asks the codec once per distinct character and remembers the answer, so that millions of
// short values cost a table look-up per character.
class ShiftJisEncoder {
public:
    ShiftJisEncoder();
    // Appends the Shift_JIS bytes of `utf8` to `out`; returns how many characters became "?".
    std::size_t appendUtf8(std::string_view utf8, std::string& out);

private:
    // The codec's answer for one character (asked the first time only): 0 not asked yet, else
    // flags, the length and the bytes.
    uint32_t lookUp(char32_t code, std::string_view utf8);
    // The codec's answer for a whole value.
    static std::size_t encodeWhole(std::string_view utf8, std::string& out);

    std::vector<uint32_t> bmp_;  // per code point below 0x10000
};

// Gathers evidence for the code of a text that comes in pieces (the lines of a file), so that
// every piece is converted from the same code.
class KanjiCodeGuess {
public:
    explicit KanjiCodeGuess(KanjiCode assumed = KanjiCode::ShiftJis) : assumed_(assumed) {}
    void add(std::string_view text);
    // The same, except that a piece a code cannot decode counts for that code only as "1000 or
    // more" until settle() has seen it again. A file is read quickly this way; its few pieces
    // that are needed to decide are looked at closely only when settled() says so.
    void addQuickly(std::string_view text);
    // Whether code() is what add() would have given for every piece.
    bool settled() const;
    // Takes the pieces given to addQuickly() once more, in the same order, and counts exactly
    // what they only bounded.
    void settle(std::string_view text);
    KanjiCode code() const;

private:
    void addLine(std::string_view text, bool exactly);
    std::array<KanjiCode, 4> order() const;

    // Penalties of EUC-JP, Shift_JIS and UTF-8: undecodable bytes weigh most, then characters
    // Shift_JIS lacks, then half-width kana and the vendor and user-defined codes of Shift_JIS
    // (rare in real text, common in misreadings). Text that is valid UTF-8 with characters of
    // three and four bytes weighs against the other two.
    std::array<long long, 3> penalties_{};
    // Pieces of each code that count only from below so far.
    std::array<long long, 3> bounded_{};
    bool sawEightBit_ = false;
    bool sawEscape_ = false;
    KanjiCode assumed_;
};

}  // namespace dbk
