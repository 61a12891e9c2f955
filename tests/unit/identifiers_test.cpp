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
        EXPECT_EQ(Connection::ident(c.name, NameQuoting::ShiftJis), c.expected) << c.name;
        EXPECT_EQ(Connection::isPlainName(c.name), c.name == c.expected) << c.name;
    }
}

// Which bytes are backquotes depends on the character set of the statement: in Shift_JIS the
// second byte of a character may be 0x60; in UTF-8 a byte 0x60 is always a backquote, also right
// after a character whose last byte Shift_JIS would take for a first one.
TEST(Identifiers, BackquotesAreDoubledByTheRulesOfTheStatementsCharacterSet) {
    struct Case {
        std::string name;
        std::string shiftJis;
        std::string bytes;
    };
    const Case cases[] = {
        {"\x81\x60", "`\x81\x60`", "`\x81\x60``"},  // 〜 in Shift_JIS: its second byte is 0x60
        {"a\x81\x60z", "`a\x81\x60z`", "`a\x81``z`"},
        {"\x81\x60`", "`\x81\x60```", "`\x81`````"},
        {"\x83\x60\x83\x60", "`\x83\x60\x83\x60`", "`\x83``\x83```"},  // ムム
        {"\xb1`", "`\xb1```", "`\xb1```"},                             // half-width kana
        {"あ`", "`\xe3\x81\x82``", "`あ```"},  // UTF-8 あ ends in 0x82, a Shift_JIS lead byte
        {"ā`,x", "`\xc4\x81`,x`", "`ā``,x`"},
        {"😀`", "`😀```", "`😀```"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Connection::ident(c.name, NameQuoting::ShiftJis), c.shiftJis) << c.name;
        EXPECT_EQ(Connection::ident(c.name, NameQuoting::Bytes), c.bytes) << c.name;
    }
    for (const char* set : {"cp932", "sjis"})
        EXPECT_EQ(Connection::nameQuotingOf(set), NameQuoting::ShiftJis) << set;
    for (const char* set : {"utf8mb4", "utf8", "utf8mb3", "binary", "latin1", "ujis", "eucjpms"})
        EXPECT_EQ(Connection::nameQuotingOf(set), NameQuoting::Bytes) << set;
    // A connection not yet open quotes for the set it will be opened in.
    const Connection offline{ConnectParams{.characterSet = "cp932"}};
    EXPECT_EQ(offline.ident("\x81\x60"), "`\x81\x60`");
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
    Connection never{ConnectParams{.characterSet = "cp932"}};
    Connection closed{ConnectParams{.characterSet = "cp932"}};
    closed.close();
    for (const Quoted& c : cases) {
        EXPECT_EQ(never.escape(c.name), c.expected) << c.name;
        EXPECT_EQ(closed.escape(c.name), c.expected) << c.name;
    }
}

// A lead byte followed by a byte that cannot end a Shift_JIS pair is a lone byte; the
// quote after it must still be escaped, as the server reads it as the end of the string.
TEST(Identifiers, EscapeWithoutASessionTreatsALeadByteBeforeAQuoteAsAlone) {
    Connection never{ConnectParams{.characterSet = "cp932"}};
    EXPECT_EQ(never.escape("\x83'"), "\x83\\'");
    EXPECT_EQ(never.escape(std::string("\x83\0", 2)), "\x83\\0");
    EXPECT_EQ(never.escape("\x83\n"), "\x83\\n");
}

// Bare, 0x1F and 0b101 are read as hexadecimal and binary numbers.
TEST(Identifiers, LikePatternsProtectWildcardsButNotShiftJisSecondBytes) {
    const Connection none{ConnectParams{.characterSet = "cp932"}};
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
    EXPECT_EQ(none.qualifiedName("shop", "order"), "shop.`order`");
    EXPECT_EQ(none.qualifiedName("my shop", "\x95\x5c"), "`my shop`.`\x95\x5c`");
}

TEST(Identifiers, NumberLiteralsAreBackquoted) {
    EXPECT_EQ(Connection::ident("0x1F", NameQuoting::Bytes), "`0x1F`");
    EXPECT_EQ(Connection::ident("0b101", NameQuoting::Bytes), "`0b101`");
}

}  // namespace
}  // namespace dbk
