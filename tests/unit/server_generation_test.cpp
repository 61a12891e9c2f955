#include <gtest/gtest.h>

#include "conn/server_generation.h"

namespace dbk {
namespace {

TEST(ServerGeneration, StatementTextsFollowTheVersion) {
    struct Case {
        unsigned long version;
        const char* typeClause;
        const char* slaveStart;
        const char* slaveStop;
        bool backupTable;
    };
    const Case cases[] = {
        {32358, "TYPE=MyISAM", "SLAVE START", "SLAVE STOP", true},
        {40004, "TYPE=MyISAM", "SLAVE START", "SLAVE STOP", true},
        {40005, "TYPE=MyISAM", "START SLAVE", "STOP SLAVE", true},
        {40017, "TYPE=MyISAM", "START SLAVE", "STOP SLAVE", true},
        {40018, "ENGINE=MyISAM", "START SLAVE", "STOP SLAVE", true},
        {50499, "ENGINE=MyISAM", "START SLAVE", "STOP SLAVE", true},
        {50500, "ENGINE=MyISAM", "START SLAVE", "STOP SLAVE", false},
        {101119, "ENGINE=MyISAM", "START SLAVE", "STOP SLAVE", false},
    };
    for (const Case& c : cases) {
        for (bool mariadb : {false, true}) {
            const ServerGeneration g(c.version, mariadb);
            EXPECT_EQ(g.tableTypeClause("MyISAM"), c.typeClause) << c.version;
            EXPECT_EQ(g.slaveStartStatement(), c.slaveStart) << c.version;
            EXPECT_EQ(g.slaveStopStatement(), c.slaveStop) << c.version;
            EXPECT_EQ(g.hasBackupTable(), c.backupTable) << c.version;
        }
    }
    EXPECT_EQ(ServerGeneration(40017).tableTypeClause("HEAP"), "TYPE=HEAP");
    EXPECT_EQ(ServerGeneration(80036).tableTypeClause("INNOBASE"), "ENGINE=INNOBASE");
}

TEST(ServerGeneration, GrantTableDefaultsFollowProductAndVersion) {
    struct Case {
        unsigned long version;
        bool mariadb;
        bool userTableWritable;
        bool hostTable;
    };
    const Case cases[] = {
        {32358, false, true, true},   {40027, false, true, true},   {50606, false, true, true},
        {50607, false, true, false},  {50705, false, true, false},  {50706, false, false, false},
        {80036, false, false, false}, {50568, true, true, true},    {100339, true, true, true},
        {100400, true, false, false}, {101119, true, false, false}, {110402, true, false, false},
    };
    for (const Case& c : cases) {
        const ServerGeneration g(c.version, c.mariadb);
        EXPECT_EQ(g.isMariaDb(), c.mariadb);
        EXPECT_EQ(g.userTableWritable(), c.userTableWritable)
            << c.version << (c.mariadb ? " MariaDB" : " MySQL");
        EXPECT_EQ(g.hasHostTable(), c.hostTable) << c.version << (c.mariadb ? " MariaDB" : " MySQL");
    }
    // Only MySQL 8.0.11 on lacks PASSWORD().
    EXPECT_TRUE(ServerGeneration(50744).hasPasswordFunction());
    EXPECT_TRUE(ServerGeneration(80010).hasPasswordFunction());
    EXPECT_FALSE(ServerGeneration(80011).hasPasswordFunction());
    EXPECT_TRUE(ServerGeneration(110402, true).hasPasswordFunction());
}

TEST(ServerGeneration, ShiftJisCharsetNames) {
    for (const char* name : {"sjis", "cp932", "SJIS", "CP932"})
        EXPECT_TRUE(isShiftJisCharset(name)) << name;
    for (const char* name : {"ujis", "utf8mb4", "eucjpms", "latin1", "binary", "", "sjis2"}) {
        EXPECT_FALSE(isShiftJisCharset(name)) << name;
    }
}

}  // namespace
}  // namespace dbk
