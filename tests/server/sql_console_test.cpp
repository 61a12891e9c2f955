#include <gtest/gtest.h>

#include "conn/text_codec.h"
#include "support/test_server.h"
#include "transfer/sql_console.h"
#include "transfer/sql_result_model.h"

namespace dbk {
namespace {

using Kind = sql_console::Outcome::Kind;

QStringList headings(const SqlResultModel& model) {
    QStringList texts;
    for (int c = 0; c < model.columnCount(); ++c)
        texts << model.headerData(c, Qt::Horizontal).toString();
    return texts;
}

QString cell(const SqlResultModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

// Runs a text as the console does: every piece, each outcome applied to the list.
std::vector<sql_console::Outcome> runText(Connection& connection, SqlResultModel& model,
                                          const std::string& text) {
    std::vector<sql_console::Outcome> outcomes;
    for (const std::string& statement : sql_console::splitStatements(text)) {
        outcomes.push_back(sql_console::runStatement(connection, statement));
        model.apply(outcomes.back());
    }
    return outcomes;
}

TEST(SqlConsoleServer, UpdateAfterSelectKeepsTheHeadingsAndShowsTheInfoText) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_console_update");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY, name TEXT)"));
    ASSERT_TRUE(c.exec("INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c')"));
    SqlResultModel model;
    const auto outcomes = runText(c, model, "select id, name from t; update t set name = 'z' where id < 3");
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].kind, Kind::ResultSet);
    EXPECT_EQ(outcomes[0].status, QStringLiteral("正しく処理されました"));
    EXPECT_EQ(outcomes[1].kind, Kind::NoResultSet);
    EXPECT_EQ(outcomes[1].status, QStringLiteral("Rows matched: 2  Changed: 2  Warnings: 0"));
    EXPECT_EQ(headings(model), (QStringList{"id", "name"}));
    EXPECT_EQ(model.rowCount(), 0);

    // a multi-row INSERT reports its counts; a CREATE has no info and says it went through
    EXPECT_EQ(sql_console::runStatement(c, "insert into t values (7, 'x'), (8, 'y')").status,
              QStringLiteral("Records: 2  Duplicates: 0  Warnings: 0"));
    EXPECT_EQ(sql_console::runStatement(c, "create table u (a int)").status,
              QStringLiteral("正しく処理されました"));
}

TEST(SqlConsoleServer, SelectedDatabaseServesStatementsThatNameOnlyATable) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_console_use");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE zeta (b INT, a INT)"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE alpha (x INT)"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE `order` (`my field` INT, id INT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO zeta VALUES (42, 1)"));

    Connection c = test::connectAdmin();
    const auto databases = sql_console::databaseNames(c);
    ASSERT_TRUE(databases);
    EXPECT_NE(std::find(databases->begin(), databases->end(), db.name()), databases->end());
    EXPECT_TRUE(std::is_sorted(databases->begin(), databases->end()));

    const auto tables = sql_console::useDatabase(c, db.name());
    ASSERT_TRUE(tables);
    EXPECT_EQ(*tables, (std::vector<std::string>{"alpha", "order", "zeta"}));
    SqlResultModel model;
    const auto outcomes = runText(c, model, "select b from zeta");
    EXPECT_EQ(outcomes[0].kind, Kind::ResultSet);
    EXPECT_EQ(cell(model, 0, 0), "42");

    // fields come sorted; names that need quoting are quoted
    EXPECT_EQ(sql_console::fieldNames(c, db.name(), "zeta"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(sql_console::fieldNames(c, db.name(), "order"), (std::vector<std::string>{"id", "my field"}));
    EXPECT_TRUE(sql_console::fieldNames(c, db.name(), "missing").empty());
    EXPECT_FALSE(sql_console::useDatabase(c, "dbk_console_no_such_database"));
}

TEST(SqlConsoleServer, ANarrowerResultReplacesAllColumnsOfAWideOne) {
    DBK_REQUIRE_SERVER();
    Connection c = test::connectAdmin();
    std::string wide = "select 0 as c0";
    for (int i = 1; i < 120; ++i)
        wide += ", " + std::to_string(i) + " as c" + std::to_string(i);
    SqlResultModel model;
    runText(c, model, wide);
    EXPECT_EQ(model.columnCount(), 120);
    EXPECT_EQ(cell(model, 0, 119), "119");
    runText(c, model, "select 'p' as first, 'q' as second");
    EXPECT_EQ(headings(model), (QStringList{"first", "second"}));
    EXPECT_EQ(model.rowCount(), 1);
}

TEST(SqlConsoleServer, AFailingStatementDoesNotStopTheNext) {
    DBK_REQUIRE_SERVER();
    Connection c = test::connectAdmin();
    SqlResultModel model;
    runText(c, model, "select 1 as one");
    const auto outcomes = runText(c, model, "select nosuch from dual; select 5 as five;;");
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[0].kind, Kind::Failed);
    // the server's own words ("in 'field list'" or "in 'SELECT'", by version)
    EXPECT_TRUE(outcomes[0].status.startsWith("Unknown column 'nosuch' in "))
        << outcomes[0].status.toStdString();
    EXPECT_EQ(outcomes[1].kind, Kind::ResultSet);
    EXPECT_EQ(outcomes[2].kind, Kind::Empty);
    EXPECT_EQ(headings(model), QStringList{"five"});

    // a failure leaves the list as it was
    runText(c, model, "select nosuch from dual");
    EXPECT_EQ(headings(model), QStringList{"five"});
    EXPECT_EQ(cell(model, 0, 0), "5");

    // a ";" inside a string breaks the statement into two that fail on their own
    const auto broken = runText(c, model, "select 'a;b' as x");
    ASSERT_EQ(broken.size(), 2u);
    EXPECT_EQ(broken[0].kind, Kind::Failed);
    EXPECT_EQ(broken[1].kind, Kind::Failed);
    EXPECT_TRUE(broken[1].status.contains("SQL syntax")) << broken[1].status.toStdString();
}

TEST(SqlConsoleServer, NullsShowAsEmptyCellsAndJapaneseComesThrough) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_console_null");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("SET NAMES cp932"));
    ASSERT_TRUE(c.exec("CREATE TABLE t (a TEXT, `\x96\xbc\x91\x4f` TEXT, c TEXT)"));
    ASSERT_TRUE(c.exec("INSERT INTO t VALUES (NULL, 'x', NULL), ('', '\x93\xfa\x96\x7b', 'z')"));
    SqlResultModel model;
    const auto outcomes = runText(c, model, "select * from t order by c");
    ASSERT_EQ(outcomes[0].kind, Kind::ResultSet);
    ASSERT_EQ(outcomes[0].rows.size(), 0u);  // moved into the list
    EXPECT_EQ(headings(model), (QStringList{"a", QStringLiteral("名前"), "c"}));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.rows()[0][0], std::nullopt);
    EXPECT_EQ(model.rows()[1][0], std::string());
    EXPECT_EQ(cell(model, 0, 0), "");
    EXPECT_EQ(cell(model, 0, 1), "x");
    EXPECT_EQ(cell(model, 0, 2), "");
    EXPECT_EQ(cell(model, 1, 1), QStringLiteral("日本"));
    EXPECT_EQ(model.rowsText({1, 0}), "\tx\t\n\t\x93\xfa\x96\x7b\tz");
}

TEST(SqlConsoleServer, ProcedureResultsLeaveTheConnectionReadyForTheNextStatement) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_console_call");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE PROCEDURE two() BEGIN SELECT 1 AS a; SELECT 2 AS b, 3 AS c; END"));
    ASSERT_TRUE(c.exec("CREATE PROCEDURE none() BEGIN DO 0; END"));
    SqlResultModel model;
    const auto outcomes = runText(c, model, "call two(); select 9 as nine; call none(); select 10 as ten");
    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(outcomes[0].kind, Kind::ResultSet);
    EXPECT_EQ(outcomes[1].kind, Kind::ResultSet) << outcomes[1].status.toStdString();
    EXPECT_EQ(outcomes[2].kind, Kind::NoResultSet);
    EXPECT_EQ(outcomes[3].kind, Kind::ResultSet) << outcomes[3].status.toStdString();
    EXPECT_EQ(headings(model), QStringList{"ten"});
}

TEST(SqlConsoleServer, ShowDatabasesFindsTheDatabasesCreatedMeanwhile) {
    DBK_REQUIRE_SERVER();
    Connection c = test::connectAdmin();
    c.exec("DROP DATABASE IF EXISTS dbk_console_added");
    const auto before = sql_console::shownDatabases(c);
    ASSERT_TRUE(before);
    ASSERT_TRUE(c.exec("CREATE DATABASE dbk_console_added"));
    const auto after = sql_console::shownDatabases(c);
    ASSERT_TRUE(after);
    EXPECT_EQ(sql_console::addedNames(*before, *after), std::vector<std::string>{"dbk_console_added"});
    c.exec("DROP DATABASE dbk_console_added");
}

}  // namespace
}  // namespace dbk
