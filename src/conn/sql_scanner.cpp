#include "conn/sql_scanner.h"

#include "transfer/kanji_converter.h"

namespace dbk {

namespace {

bool isBlankByte(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isWordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || u >= 0x80;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool SqlToken::isWord(std::string_view upperWord) const {
    if (kind != Kind::Word || text.size() != upperWord.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (upper(text[i]) != upperWord[i])
            return false;
    }
    return true;
}

std::string SqlToken::name() const {
    if (kind != Kind::QuotedName)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    // A name left open at the end of the text has no closing quote.
    const bool closed = text.size() >= 2 && text.back() == '`';
    const std::string_view inner = text.substr(1, text.size() - (closed ? 2 : 1));
    for (size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == '`' && i + 1 < inner.size() && inner[i + 1] == '`')
            ++i;
    }
    return out;
}

bool SqlScanner::pairAt(size_t i) const {
    return shiftJis_ && i + 1 < text_.size() && isShiftJisLead(static_cast<unsigned char>(text_[i])) &&
           isShiftJisTrail(static_cast<unsigned char>(text_[i + 1]));
}

void SqlScanner::skipQuoted(char quote) {
    ++pos_;
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (pairAt(pos_)) {
            pos_ += 2;
        } else if (c == '\\' && quote != '`') {
            pos_ += 2;
        } else if (c == quote) {
            ++pos_;
            if (pos_ < text_.size() && text_[pos_] == quote)
                ++pos_;
            else
                return;
        } else {
            ++pos_;
        }
    }
    pos_ = text_.size();
}

std::optional<SqlToken> SqlScanner::next() {
    using Kind = SqlToken::Kind;
    if (pos_ >= text_.size())
        return std::nullopt;
    const size_t begin = pos_;
    const char c = text_[pos_];
    const std::string_view rest = text_.substr(pos_);
    Kind kind = Kind::Symbol;
    const auto toLineEnd = [&] {
        const size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end;
    };
    if (isBlankByte(c)) {
        kind = Kind::Blank;
        while (pos_ < text_.size() && isBlankByte(text_[pos_]))
            ++pos_;
    } else if (c == '#') {
        kind = Kind::Comment;
        toLineEnd();
    } else if (rest.starts_with("--") &&
               (rest.size() == 2 || isBlankByte(rest[2]) || static_cast<unsigned char>(rest[2]) < 0x20)) {
        kind = Kind::Comment;
        toLineEnd();
    } else if (rest.starts_with("/*")) {
        kind = Kind::Comment;
        const size_t end = text_.find("*/", pos_ + 2);
        pos_ = end == std::string_view::npos ? text_.size() : end + 2;
    } else if (c == '`') {
        kind = Kind::QuotedName;
        skipQuoted(c);
    } else if (c == '\'' || c == '"') {
        kind = Kind::String;
        skipQuoted(c);
    } else if (isWordByte(c)) {
        kind = Kind::Word;
        while (pos_ < text_.size()) {
            if (pairAt(pos_))
                pos_ += 2;
            else if (isWordByte(text_[pos_]))
                ++pos_;
            else
                break;
        }
    } else {
        ++pos_;
    }
    return SqlToken{kind, begin, pos_, text_.substr(begin, pos_ - begin)};
}

std::optional<SqlToken> SqlScanner::nextSignificant() {
    for (;;) {
        std::optional<SqlToken> token = next();
        if (!token || (!token->is(SqlToken::Kind::Blank) && !token->is(SqlToken::Kind::Comment)))
            return token;
    }
}

std::string backquotedName(std::string_view name) {
    std::string out = "`";
    out.reserve(name.size() + 2);
    for (const char c : name) {
        out += c;
        if (c == '`')
            out += '`';
    }
    return out + '`';
}

}  // namespace dbk
