#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dbk {

// One piece of SQL text: where it stands and what it is.
struct SqlToken {
    enum class Kind {
        Blank,       // spaces, tabs, line breaks
        Comment,     // "# ...", "-- ..." to the line end, "/* ... */" (also "/*! ... */")
        Word,        // a bare word: letters, digits, "_", "$" and bytes from 0x80 on
        QuotedName,  // a name in backquotes; a doubled backquote inside is one
        String,      // a text in single or double quotes; a backslash escapes the next character
        Symbol,      // any other single character: ( ) , . = ...
    };
    Kind kind = Kind::Symbol;
    size_t begin = 0;
    size_t end = 0;
    std::string_view text;

    bool is(Kind k) const { return kind == k; }
    bool isSymbol(char c) const { return kind == Kind::Symbol && text.size() == 1 && text[0] == c; }
    // A bare word equal to `upperWord` without regard to (ASCII) case.
    bool isWord(std::string_view upperWord) const;
    // The name a word or quoted name stands for: the quotes taken off, doubled backquotes single.
    std::string name() const;
};

// Reads SQL text (CREATE TABLE texts, view definitions, column definitions as the server writes
// them) token by token in one pass, so that quotes, escapes and comments are never taken for
// the code around them. The text is UTF-8 or another character set whose characters of several
// bytes hold no ASCII byte; with `shiftJis` a Shift_JIS lead byte and the byte after it are one
// character, whatever that second byte is (it may be a backslash or a backquote). A quote or
// comment left open runs to the end of the text.
class SqlScanner {
public:
    explicit SqlScanner(std::string_view text, bool shiftJis = false) : text_(text), shiftJis_(shiftJis) {}

    // The next token, nullopt at the end.
    std::optional<SqlToken> next();
    // The next token that is neither blank nor a comment.
    std::optional<SqlToken> nextSignificant();
    // What the next call would return, without moving on.
    std::optional<SqlToken> peekSignificant() const {
        SqlScanner copy = *this;
        return copy.nextSignificant();
    }
    size_t position() const { return pos_; }

private:
    bool pairAt(size_t i) const;
    void skipQuoted(char quote);

    std::string_view text_;
    bool shiftJis_ = false;
    size_t pos_ = 0;
};

// `name` in backquotes with every backquote inside doubled: how the server writes a name in the
// texts it shows (CREATE TABLE texts, view definitions).
std::string backquotedName(std::string_view name);

}  // namespace dbk
