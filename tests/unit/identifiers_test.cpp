#include <gtest/gtest.h>

#include "conn/connection.h"

namespace dbk {
namespace {

struct Quoted {
    std::string name;
    std::string expected;
};

TEST(Identifiers, PlainNamesStayBareOthersAreBackquoted) {
    const Quoted cases[] = {
        {"shop", "shop"},
        {"order_items", "order_items"},
        {"t1", "t1"},
        {"$x", "$x"},
        {"e5", "e5"},
        {"12abc", "12abc"},
        {"select", "`select`"},
        {"ORDER", "`ORDER`"},
        {"key", "`key`"},
        {"Key", "`Key`"},
        {"my table", "`my table`"},
        {"my-table", "`my-table`"},
        {"a.b", "`a.b`"},
        {"123", "`123`"},
        {"0", "`0`"},
        {"1e5", "`1e5`"},
        {"2E10", "`2E10`"},
        {"", "``"},
        {"a`b", "`a``b`"},
        {"`", "````"},
        {"\x83\x65\x83\x58\x83\x67", "`\x83\x65\x83\x58\x83\x67`"},  // テスト
        {"\xb1\xb2", "`\xb1\xb2`"},                                  // half-width kana
    };
    for (const Quoted& c : cases) {
        EXPECT_EQ(Connection::ident(c.name), c.expected) << c.name;
        EXPECT_EQ(Connection::isPlainName(c.name), c.name == c.expected) << c.name;
    }
}

TEST(Identifiers, BackquoteDoublingSparesShiftJisSecondBytes) {
    const Quoted cases[] = {
        {"\x81\x60", "`\x81\x60`"},  // 〜: second byte is a backquote
        {"a\x81\x60z", "`a\x81\x60z`"},
        {"\x81\x60`", "`\x81\x60```"},               // the backquote after the pair is doubled
        {"\x83\x60\x83\x60", "`\x83\x60\x83\x60`"},  // ムム
        {"\xb1`", "`\xb1```"},                       // a half-width kana is one byte
    };
    for (const Quoted& c : cases) {
        EXPECT_EQ(Connection::ident(c.name), c.expected) << c.name;
    }
}

TEST(Identifiers, EscapeWithoutASession) {
    const Quoted cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"it's", "it\\'s"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"C:\\dir", "C:\\\\dir"},
        {std::string("a\0b", 3), "a\\0b"},
        {"line1\nline2\r", "line1\\nline2\\r"},
        {"\x1a", "\\Z"},
        {"\x83\x5c", "\x83\x5c"},                  // ソ: second byte is a backslash
        {"\x95\x5c\x8e\xa6", "\x95\x5c\x8e\xa6"},  // 表示
        {"\x83\x5c\\'", "\x83\x5c\\\\\\'"},
        {"\xb1\\", "\xb1\\\\"},  // a half-width kana is one byte
    };
    Connection never;
    Connection closed;
    closed.close();
    for (const Quoted& c : cases) {
        EXPECT_EQ(never.escape(c.name), c.expected) << c.name;
        EXPECT_EQ(closed.escape(c.name), c.expected) << c.name;
    }
}

// A lead byte followed by a byte that cannot end a Shift_JIS pair is a lone byte; the
// quote after it must still be escaped, as the server reads it as the end of the string.
TEST(Identifiers, EscapeWithoutASessionTreatsALeadByteBeforeAQuoteAsAlone) {
    Connection never;
    EXPECT_EQ(never.escape("\x83'"), "\x83\\'");
    EXPECT_EQ(never.escape(std::string("\x83\0", 2)), "\x83\\0");
    EXPECT_EQ(never.escape("\x83\n"), "\x83\\n");
}

// Bare, 0x1F and 0b101 are read as hexadecimal and binary numbers.
TEST(Identifiers, LikePatternsProtectWildcardsButNotShiftJisSecondBytes) {
    const Connection none;
    struct Case {
        std::string value, pattern;
    } cases[] = {
        {"a_b%c", "a\\_b\\%c"},
        {"\x83\x5f\x83\x45\x83\x93", "\x83\x5f\x83\x45\x83\x93"},  // ダウン: 5F is a second byte
        {"\x83\x5f_", "\x83\x5f\\_"},
        {"\x95\x5c", "\x95\x5c"},  // 表
        {"it's\\_", "it\\'s\\\\\\_"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(none.escapeLike(c.value), c.pattern) << c.value;
    EXPECT_EQ(Connection::qualifiedName("shop", "order"), "shop.`order`");
    EXPECT_EQ(Connection::qualifiedName("my shop", "\x95\x5c"), "`my shop`.`\x95\x5c`");
}

TEST(Identifiers, NumberLiteralsAreBackquoted) {
    EXPECT_EQ(Connection::ident("0x1F"), "`0x1F`");
    EXPECT_EQ(Connection::ident("0b101"), "`0b101`");
}

}  // namespace
}  // namespace dbk
