#include <gtest/gtest.h>

#include "conn/server_generation.h"
#include "conn/text_codec.h"

namespace dbk {
namespace {

TEST(ServerGeneration, StatementTextsFollowTheVersion) {
    struct Case {
        unsigned long version;
        const char* typeClause;
        bool backupTable;
        bool informationSchema;
    };
    const Case cases[] = {
        {32358, "TYPE=MyISAM", true, false},   {40017, "TYPE=MyISAM", true, false},
        {40018, "ENGINE=MyISAM", true, false}, {50001, "ENGINE=MyISAM", true, false},
        {50002, "ENGINE=MyISAM", true, true},  {50499, "ENGINE=MyISAM", true, true},
        {50500, "ENGINE=MyISAM", false, true}, {101119, "ENGINE=MyISAM", false, true},
    };
    for (const Case& c : cases) {
        for (bool mariadb : {false, true}) {
            const ServerGeneration g(c.version, mariadb);
            EXPECT_EQ(g.tableTypeClause("MyISAM"), c.typeClause) << c.version;
            EXPECT_EQ(g.hasBackupTable(), c.backupTable) << c.version;
            EXPECT_EQ(g.hasInformationSchema(), c.informationSchema) << c.version;
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

TEST(ServerGeneration, ReplicationStatementsFollowProductAndVersion) {
    struct Case {
        unsigned long version;
        bool mariadb;
        const char* start;
        const char* stop;
        const char* masterStatus;
        const char* slaveStatus;
        const char* source;
        const char* replica;
        SlaveThreadMark threads;
    };
    using enum SlaveThreadMark;
    // clang-format off
    const Case cases[] = {
        {32358,  false, "SLAVE START",   "SLAVE STOP",   "SHOW MASTER STATUS",     "SHOW SLAVE STATUS",   "Master", "Slave",   StateSlave},
        {40004,  false, "SLAVE START",   "SLAVE STOP",   "SHOW MASTER STATUS",     "SHOW SLAVE STATUS",   "Master", "Slave",   StateSlave},
        {40005,  false, "START SLAVE",   "STOP SLAVE",   "SHOW MASTER STATUS",     "SHOW SLAVE STATUS",   "Master", "Slave",   CommandBinlogDump},
        {80021,  false, "START SLAVE",   "STOP SLAVE",   "SHOW MASTER STATUS",     "SHOW SLAVE STATUS",   "Master", "Slave",   CommandBinlogDump},
        {80022,  false, "START REPLICA", "STOP REPLICA", "SHOW MASTER STATUS",     "SHOW REPLICA STATUS", "Source", "Replica", CommandBinlogDump},
        {80199,  false, "START REPLICA", "STOP REPLICA", "SHOW MASTER STATUS",     "SHOW REPLICA STATUS", "Source", "Replica", CommandBinlogDump},
        {80200,  false, "START REPLICA", "STOP REPLICA", "SHOW BINARY LOG STATUS", "SHOW REPLICA STATUS", "Source", "Replica", CommandBinlogDump},
        {80400,  false, "START REPLICA", "STOP REPLICA", "SHOW BINARY LOG STATUS", "SHOW REPLICA STATUS", "Source", "Replica", CommandBinlogDump},
        {90100,  false, "START REPLICA", "STOP REPLICA", "SHOW BINARY LOG STATUS", "SHOW REPLICA STATUS", "Source", "Replica", CommandBinlogDump},
        {50568,  true,  "START SLAVE",   "STOP SLAVE",   "SHOW MASTER STATUS",     "SHOW SLAVE STATUS",   "Master", "Slave",   CommandBinlogDump},
        {100500, true,  "START SLAVE",   "STOP SLAVE",   "SHOW MASTER STATUS",     "SHOW SLAVE STATUS",   "Master", "Slave",   CommandBinlogDump},
        {100501, true,  "START REPLICA", "STOP REPLICA", "SHOW MASTER STATUS",     "SHOW REPLICA STATUS", "Master", "Slave",   CommandBinlogDump},
        {101119, true,  "START REPLICA", "STOP REPLICA", "SHOW MASTER STATUS",     "SHOW REPLICA STATUS", "Master", "Slave",   CommandBinlogDump},
        {110402, true,  "START REPLICA", "STOP REPLICA", "SHOW MASTER STATUS",     "SHOW REPLICA STATUS", "Master", "Slave",   CommandBinlogDump},
    };
    // clang-format on
    for (const Case& c : cases) {
        const ReplicationStatements& r = ServerGeneration(c.version, c.mariadb).replication();
        const std::string label = std::to_string(c.version) + (c.mariadb ? " MariaDB" : " MySQL");
        EXPECT_STREQ(r.start, c.start) << label;
        EXPECT_STREQ(r.stop, c.stop) << label;
        EXPECT_STREQ(r.masterStatus, c.masterStatus) << label;
        EXPECT_STREQ(r.slaveStatus, c.slaveStatus) << label;
        EXPECT_STREQ(r.sourceWord, c.source) << label;
        EXPECT_STREQ(r.replicaWord, c.replica) << label;
        EXPECT_EQ(r.slaveThreads, c.threads) << label;
    }
}

TEST(ServerGeneration, ShiftJisCharsetNames) {
    for (const char* name : {"sjis", "cp932", "SJIS", "CP932"})
        EXPECT_TRUE(isShiftJisCharset(name)) << name;
    for (const char* name : {"ujis", "utf8mb4", "eucjpms", "latin1", "binary", "", "sjis2"}) {
        EXPECT_FALSE(isShiftJisCharset(name)) << name;
    }
}

TEST(ServerGeneration, SessionCharacterSetByGenerationAndChoice) {
    using T = SessionText;
    struct Case {
        unsigned long version;
        T choice;
        const char* set;
    };
    const Case cases[] = {
        // 3.23-4.0 keep their own Shift_JIS whatever is asked: they have no SET NAMES.
        {32358, T::Automatic, "sjis"},
        {40027, T::Utf8, "sjis"},
        {40027, T::ShiftJis, "sjis"},
        // 4.1-5.5.2: utf8; Shift_JIS by its old name before 5.0.3.
        {40122, T::Automatic, "utf8"},
        {40122, T::ShiftJis, "sjis"},
        {50002, T::ShiftJis, "sjis"},
        {50003, T::ShiftJis, "cp932"},
        {50502, T::Utf8, "utf8"},
        // From 5.5.3 (MariaDB 5.5, MySQL 8, MariaDB 10.11): utf8mb4.
        {50503, T::Automatic, "utf8mb4"},
        {80036, T::Automatic, "utf8mb4"},
        {101106, T::Utf8, "utf8mb4"},
        {101106, T::ShiftJis, "cp932"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ServerGeneration::sessionCharacterSet(c.version, c.choice), c.set)
            << c.version << " " << static_cast<int>(c.choice);
    }
}

TEST(TextCodec, ServerTextFollowsTheSessionAndFileTextIsShiftJis) {
    const QString text = QStringLiteral("表〜−😀髙①ｶﾀｶﾅ'\\");
    for (const char* set : {"utf8mb4", "utf8", "binary"}) {
        EXPECT_EQ(serverEncodingOf(set), ServerEncoding::Utf8) << set;
        EXPECT_EQ(fromServer(serverEncodingOf(set), toServer(serverEncodingOf(set), text)), text) << set;
    }
    EXPECT_EQ(serverEncodingOf("cp932"), ServerEncoding::ShiftJis);
    EXPECT_EQ(serverEncodingOf("sjis"), ServerEncoding::ShiftJis);
    // File text: 〜 and − as Shift_JIS writes them, the emoji as a counted "?", never 0xFCFC.
    long long missing = -1;
    const std::string file = toShiftJis(text, &missing);
    EXPECT_EQ(file, "\x95\x5c\x81\x60\x81\x7c?\xfb\xfc\x87\x40\xb6\xc0\xb6\xc5'\\");
    EXPECT_EQ(missing, 1);
    EXPECT_EQ(fromShiftJis(file), QStringLiteral("表～－?髙①ｶﾀｶﾅ'\\"));
    EXPECT_TRUE(fitsShiftJis(QStringLiteral("表〜−")));
    EXPECT_FALSE(fitsShiftJis(QStringLiteral("🍣")));
    EXPECT_EQ(recodeServer(file.substr(0, 2), ServerEncoding::ShiftJis, ServerEncoding::Utf8), "表");
}

}  // namespace
}  // namespace dbk
