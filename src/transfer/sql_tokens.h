#pragma once

#include <QStringList>
#include <QStringView>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace dbk::sql_tokens {

// What a piece of a statement line is, as the statement field colours it. Text of no kind
// (names, operators, blanks) keeps the field's own format.
enum class Kind {
    Keyword,
    Function,            // a built-in function's name before "("
    String,              // '...' or "...", quotes included
    Escape,              // a backslash sequence or doubled quote inside a string
    QuotedName,          // `...`
    Number,              // 12, 1.5e3, .5, 0x1F, 0b101
    Comment,             // -- ..., # ..., /* ... */
    ConditionalComment,  // the "/*!50100" and "*/" around text the server reads as code
    Delimiter,           // a whole "DELIMITER $$" line
};
inline constexpr int kKindCount = 9;

struct Span {
    int start = 0;
    int length = 0;
    Kind kind = Kind::Keyword;
    bool operator==(const Span&) const = default;
};

// What a line leaves open for the next one: a string, a quoted name or a comment, and whether
// the text is inside a conditional comment. 0 is the start of a text.
namespace state {
inline constexpr int kNormal = 0;
inline constexpr int kSingleQuoted = 1;
inline constexpr int kDoubleQuoted = 2;
inline constexpr int kBackquoted = 3;
inline constexpr int kComment = 4;
inline constexpr int kInnerMask = 0xF;
inline constexpr int kInConditional = 0x10;
}  // namespace state

// The words coloured as keywords and functions, looked up without regard to (ASCII) case.
class WordList {
public:
    // Our own lists of MariaDB and MySQL keywords and built-in functions.
    WordList();
    // Adds the server's keywords to ours: its help index (mysql.help_keyword) knows the words of
    // its own version, but lacks everyday ones such as AS, DESC and WHERE. Entries of other
    // shapes ("FLOATING-POINT", "SQL STATEMENTS") and single letters ("X", "A") are left out.
    void addKeywords(const std::vector<std::string>& words);

    bool isKeyword(QStringView word) const { return contains(keywords_, word); }
    bool isFunction(QStringView word) const { return contains(functions_, word); }
    // Keywords and functions in upper case, sorted, each once.
    QStringList words() const;

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    using Set = std::unordered_set<std::string, Hash, std::equal_to<>>;
    static bool contains(const Set& set, QStringView word);

    Set keywords_;
    Set functions_;
};

// Splits one line of a statement text (without its line feed) into coloured spans, in order
// of their start; an Escape span lies inside the String span before it. `startState` is what
// the line before left open; the return value is what this line leaves open.
int scanLine(QStringView line, int startState, const WordList& words, std::vector<Span>& spans);

// A bare word character: ASCII letters, digits, "_", "$" and anything beyond ASCII.
inline bool isWordChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '$' || (u >= 0x80 && !c.isSpace());
}

}  // namespace dbk::sql_tokens
