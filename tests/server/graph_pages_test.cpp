#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <map>

#include "app/messages.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "monitor/graph_pages.h"
#include "support/test_server.h"

namespace dbk {
namespace {

using namespace graph;

// The sums of SHOW TABLE STATUS of every database, added up here row by row.
std::map<std::string, SpaceFigures> statusSums(Connection& c) {
    std::map<std::string, SpaceFigures> sums;
    std::vector<std::string> names;
    Result dbs = c.query("SHOW DATABASES");
    while (dbs.next())
        names.emplace_back(dbs.text(0u));
    for (const std::string& name : names) {
        Result r = c.query("SHOW TABLE STATUS FROM " + test::sqlName(name));
        if (!r.ok())
            continue;
        SpaceFigures& f = sums[name];
        f.name = name;
        while (r.next()) {
            const auto n = [&](const char* column) {
                const auto v = r.value(std::string_view(column));
                return v ? std::stoull(*v) : 0ULL;
            };
            f.rows += n("Rows");
            f.data += n("Data_length");
            f.index += n("Index_length");
            f.free += n("Data_free");
        }
    }
    return sums;
}

void expectSameFigures(const SpaceListing& listing, const std::map<std::string, SpaceFigures>& sums) {
    ASSERT_TRUE(listing.listed);
    ASSERT_EQ(listing.entries.size(), sums.size());
    for (const SpaceFigures& f : listing.entries) {
        SCOPED_TRACE(f.name);
        ASSERT_TRUE(sums.count(f.name));
        const SpaceFigures& s = sums.at(f.name);
        EXPECT_EQ(f.rows, s.rows);
        EXPECT_EQ(f.data, s.data);
        EXPECT_EQ(f.index, s.index);
        EXPECT_EQ(f.free, s.free);
    }
}

TEST(GraphPagesServer, ServerPageListsEveryDatabaseWithItsTableStatusSums) {
    DBK_REQUIRE_SERVER();
    setInterfaceLanguage(Language::English);
    test::ScratchDatabase db("dbk_graph_space");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE mi (id INT PRIMARY KEY, v CHAR(20)) ENGINE=MyISAM"));
    ASSERT_TRUE(c.exec("INSERT INTO mi SELECT seq, 'x' FROM seq_1_to_500"));
    ASSERT_TRUE(c.exec("CREATE TABLE ar (id INT) ENGINE=Aria"));
    ASSERT_TRUE(c.exec("INSERT INTO ar SELECT seq FROM seq_1_to_30"));
    ASSERT_TRUE(c.exec("CREATE VIEW v AS SELECT id FROM mi"));
    test::ScratchDatabase empty("dbk_graph_space_empty");

    const auto sums = statusSums(c);
    ASSERT_TRUE(sums.count(db.name()));
    EXPECT_EQ(sums.at(db.name()).rows, 530u);
    ASSERT_TRUE(db.session().generation().hasInformationSchema());
    // the one grouped statement and the statement per database give the same figures
    const SpaceListing grouped = readServerSpaceGrouped(c);
    expectSameFigures(grouped, sums);
    expectSameFigures(readServerSpaceByDatabase(c), sums);

    DocumentContext context;
    context.treeReady = 1;
    context.displayMode = kServerMode;
    const Page page = drawPage(db.session(), context, "testhost");
    std::vector<std::string> listed;
    Result names = c.query("SHOW DATABASES");
    while (names.next())
        listed.emplace_back(names.text(0u));
    EXPECT_EQ(page.names, listed);
    EXPECT_TRUE(page.drawing.findText(QStringLiteral("dbk_graph_space (530 Records)")));
    EXPECT_TRUE(page.drawing.findText(QStringLiteral("dbk_graph_space_empty (0 Records)")));
    EXPECT_EQ(page.height, 60 + 152 + 50 * (int(listed.size()) + 1));

    // a database that cannot be selected lists no tables, not those of the database selected before
    ASSERT_TRUE(readDatabaseSpace(c, db.name()).listed);
    EXPECT_FALSE(readDatabaseSpace(c, "dbk_graph_no_such_database").listed);

    // nothing is drawn before the tree is ready
    context.treeReady = 0;
    EXPECT_TRUE(drawPage(db.session(), context, "testhost").drawing.items.empty());
}

TEST(GraphPagesServer, RightsPagesReadTheGrantTables) {
    DBK_REQUIRE_SERVER();
    setInterfaceLanguage(Language::English);
    test::ScratchDatabase db("dbk_graph_rights");
    Connection& c = db.admin();
    c.exec("DROP USER IF EXISTS 'dbk_graph_u'@'localhost'");
    ASSERT_TRUE(c.exec("CREATE USER 'dbk_graph_u'@'localhost'"));
    ASSERT_TRUE(c.exec("GRANT SELECT, INSERT, ALTER ON dbk_graph_rights.* TO 'dbk_graph_u'@'localhost'"));

    DocumentContext context;
    context.treeReady = 1;
    context.currentDatabase = db.name();
    context.displayMode = kUserRightsMode;
    Page page = drawPage(db.session(), context, "h");
    EXPECT_TRUE(page.drawing.findText(QStringLiteral("Limit User： Database dbk_graph_rights")));
    ASSERT_TRUE(page.drawing.findText(QStringLiteral("dbk_graph_u  (localhost)")));
    QStringList words;
    for (const DrawText& t : page.drawing.all<DrawText>()) {
        if (t.font == FontRole::PageWord)
            words << t.text;
    }
    EXPECT_EQ(words, (QStringList{"Select", "Insert", "Alter"}));

    // the accounts page lists the test accounts
    context.displayMode = kAccountsMode;
    page = drawPage(db.session(), context, "h");
    for (const ConnectParams& account : {test::adminParams(), test::normalUserParams()}) {
        if (account.user.empty())
            continue;
        const bool found = std::ranges::any_of(page.drawing.all<DrawText>(), [&](const DrawText& t) {
            return t.text.startsWith(fromShiftJis(account.user) + "  (");
        });
        EXPECT_TRUE(found) << account.user;
    }
    EXPECT_TRUE(page.drawing.findText(QStringLiteral("dbk_graph_u  (localhost)")));

    // this server has no host table: the host pages say so
    ASSERT_FALSE(db.session().generation().hasHostTable());
    for (int mode : {kHostRightsMode, kAllHostsMode}) {
        context.displayMode = mode;
        EXPECT_TRUE(drawPage(db.session(), context, "h").drawing.findText(msg(20722))) << mode;
    }
    EXPECT_TRUE(c.exec("DROP USER 'dbk_graph_u'@'localhost'"));
}

TEST(GraphPagesServer, MemoryPageReadsTheServersVariables) {
    DBK_REQUIRE_SERVER();
    Connection c = test::connectAdmin();
    const MemoryFigures f = readMemoryFigures(c);
    Result r = c.query("SHOW VARIABLES LIKE 'thread_stack'");
    ASSERT_TRUE(r.next());
    EXPECT_EQ(f.threadStack, fromShiftJis(r.text("Value")));
    for (const QString& value : {f.netBufferLength, f.maxAllowedPacket, f.keyReads, f.keyReadRequests})
        EXPECT_EQ(QString::number(numberOf(value.toStdString())), value);  // all numbers

    EXPECT_EQ(readSetting(c, "SHOW VARIABLES LIKE 'dbk_no_such_variable'"), "Error!");
    EXPECT_EQ(readSetting(c, "SHOW NO SUCH THING"), "Error!!");
    EXPECT_EQ(readSetting(c, "DO 1"), "Error!!!");
    const Page page = memoryPage(f);
    EXPECT_TRUE(page.drawing.findText(f.threadStack + " Byte"));
}

}  // namespace
}  // namespace dbk
