#include <gtest/gtest.h>

#include "conn/text_format.h"

namespace dbk {
namespace {

TEST(TextFormat, FillsTemplatesLikePrintf) {
    EXPECT_EQ(format("select * from %s.%s LIMIT %d,%d", "shop", "items", 200, 100),
              "select * from shop.items LIMIT 200,100");
    EXPECT_EQ(format("%d:%s", 1045, "Access denied"), "1045:Access denied");
    EXPECT_EQ(format("%ld", 3306L), "3306");
    EXPECT_EQ(format("%lu%%", 42UL), "42%");
    EXPECT_EQ(format("%-5.2f%%", 95.0), "95.00%");
    EXPECT_EQ(format("[%5s|%-5s]", "ab", "cd"), "[   ab|cd   ]");
    EXPECT_EQ(format("%.3s", "abcdef"), "abc");
}

TEST(TextFormat, NeverReadsPastItsArguments) {
    EXPECT_EQ(format("%s and %s", "one"), "one and ");
    EXPECT_EQ(format("100%"), "100");
    EXPECT_EQ(format("%d", "12"), "12");
}

TEST(TextFormat, StringArgumentsKeepEveryByte) {
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(format("[%s]", withNul), std::string("[a\0b]", 5));
    const std::string shiftJis = "\x83\x5c";  // a kana whose second byte is a backslash
    EXPECT_EQ(format("'%s'", shiftJis), "'\x83\x5c'");
}

TEST(TextFormat, InterfaceTextsTakeQStrings) {
    EXPECT_EQ(formatUi(QStringLiteral("ホスト %s"), QStringLiteral("db1")), QStringLiteral("ホスト db1"));
    EXPECT_EQ(formatUi(QStringLiteral("%d:%s"), 2003, QStringLiteral("接続できません")),
              QStringLiteral("2003:接続できません"));
    EXPECT_EQ(formatUi(QStringLiteral("%-5.2f%%"), 12.5), QStringLiteral("12.50%"));
}

}  // namespace
}  // namespace dbk
