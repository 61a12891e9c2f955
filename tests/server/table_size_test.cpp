#include <gtest/gtest.h>

#include "browser/table_size.h"
#include "support/test_server.h"

namespace dbk {
namespace {

TEST(TableSizeStatus, MyIsamAndInnoDbFigures) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_size_status");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE mi (id INT PRIMARY KEY, v CHAR(20)) ENGINE=MyISAM"));
    ASSERT_TRUE(c.exec("INSERT INTO mi SELECT seq, 'x' FROM seq_1_to_1000"));
    ASSERT_TRUE(c.exec("CREATE TABLE inno (id INT PRIMARY KEY, v TEXT) ENGINE=InnoDB"));
    ASSERT_TRUE(c.exec("INSERT INTO inno SELECT seq, REPEAT('y', 100) FROM seq_1_to_1000"));
    ASSERT_TRUE(c.exec("ANALYZE TABLE inno"));

    TableStatus mi;
    ASSERT_EQ(readTableStatus(c, db.name(), "mi", mi), StatusOutcome::Read);
    EXPECT_EQ(mi.type, "MyISAM");
    EXPECT_EQ(mi.rowFormat, "Fixed");
    EXPECT_EQ(mi.rows, 1000U);
    EXPECT_GT(mi.data, 0U);
    EXPECT_GT(mi.index, 0U);
    EXPECT_GT(mi.maximum, 4294967295ULL);  // MyISAM's maximum does not fit 32 bits
    EXPECT_FALSE(mi.createTime.empty());

    TableStatus inno;
    ASSERT_EQ(readTableStatus(c, db.name(), "inno", inno), StatusOutcome::Read);
    EXPECT_EQ(inno.type, "InnoDB");
    EXPECT_GT(inno.data, 0U);
    EXPECT_EQ(inno.maximum, 0U);
    EXPECT_TRUE(inno.checkTime.empty());  // NULL
    EXPECT_EQ(tableSizeTexts(inno).maximum, tableSizeTexts(TableStatus{}).maximum);
}

TEST(TableSizeStatus, TheRowIsTheTablesOwnEvenWithWildcardsInItsName) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_size_like");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE aXb (id INT) ENGINE=MyISAM"));
    ASSERT_TRUE(c.exec("CREATE TABLE a_b (id INT) ENGINE=InnoDB"));
    TableStatus s;
    ASSERT_EQ(readTableStatus(c, db.name(), "a_b", s), StatusOutcome::Read);
    EXPECT_EQ(s.type, "InnoDB");
    EXPECT_EQ(readTableStatus(c, db.name(), "no_such_table", s), StatusOutcome::NoRow);
    // Shift_JIS names whose second byte is "_" (ダ 83 5F) or "\\" (表 95 5C, ソ 83 5C).
    for (const std::string name :
         {"\x83\x5f\x83\x45\x83\x93", "\x95\x5c", "\x83\x5c", "\x83\x5f_\x95\x5c%"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(c.exec("CREATE TABLE " + test::sqlName(name) + " (id INT) ENGINE=Aria")) << c.errorLine();
        ASSERT_EQ(readTableStatus(c, db.name(), name, s), StatusOutcome::Read);
        EXPECT_EQ(s.type, "Aria");
    }
    EXPECT_EQ(readTableStatus(c, "no such database", "t", s), StatusOutcome::QueryFailed);
}

}  // namespace
}  // namespace dbk
