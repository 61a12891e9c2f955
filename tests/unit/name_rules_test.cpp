#include <gtest/gtest.h>

#include "app/messages.h"
#include "conn/name_rules.h"

namespace dbk {
namespace {

TEST(NameRules, FolderFileNamesAreOneWordOfAtMostNineteenBytes) {
    struct Case {
        const char* name;  // UTF-8; counted in Shift_JIS bytes
        int problem;       // message number, 0 for a good name
    };
    const Case cases[] = {
        {"", 20002},
        {"a b", 20002},
        {"a\tb", 20002},
        {"ab　cd", 20002},  // ideographic space
        {" lead", 20002},
        {"db1", 0},
        {"abcdefghijklmnopqrs", 0},       // 19 bytes
        {"abcdefghijklmnopqrst", 20003},  // 20 bytes
        {"あいうえおかきくけこ", 20003},  // 10 characters, 20 bytes
        {"あいうえおかきくけa", 0},       // 19 bytes
        {"ｱｲｳｴｵｶｷｸｹｺｱｲｳｴｵｶｷｸｹ", 0},       // half-width kana: 19 characters, 19 bytes
        {"ｱｲｳｴｵｶｷｸｹｺｱｲｳｴｵｶｷｸｹｺ", 20003},
    };
    for (const Case& c : cases) {
        const QString problem = folderFileNameProblem(QString::fromUtf8(c.name));
        EXPECT_EQ(problem, c.problem ? msg(c.problem) : QString()) << c.name;
        if (c.problem) {
            EXPECT_FALSE(problem.isEmpty()) << c.name;
        }
    }
}

TEST(NameRules, PortIsANumberFromZeroTo65535) {
    for (const char* good : {"3306", "0", "65535", "1", " 3307 "}) {
        EXPECT_EQ(portProblem(QString::fromLatin1(good)), QString()) << good;
    }
    for (const char* bad :
         {"", " ", "abc", "33o6", "65536", "-1", "+1", "99999", "100000", "3306x", "33 06"}) {
        EXPECT_EQ(portProblem(QString::fromLatin1(bad)), msg(20001)) << bad;
    }
    EXPECT_EQ(portProblem(QString::fromUtf8("３３０６")), msg(20001));
}

}  // namespace
}  // namespace dbk
