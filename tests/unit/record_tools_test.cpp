#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "browser/filter_model.h"
#include "browser/open_with.h"
#include "browser/record_details.h"
#include "conn/connection.h"

namespace dbk {
namespace {

FieldDescription field(const char* name, const char* key) {
    return FieldDescription{name, "varchar(20)", "NO", key, {}, ""};
}

TEST(RecordDetailsStatements, KeyConditionCoversThePrimaryKeyFieldsOnly) {
    const Connection offline;  // escapes byte by byte, as a cp932 session does
    struct Case {
        std::vector<FieldDescription> fields;
        Row values;
        std::string condition;
    };
    const Case cases[] = {
        // two-column key: the leading AND is gone, one blank on each side of the next AND
        {{field("a", "PRI"), field("b", "PRI"), field("c", "")}, {"1", "2", "x"}, "a = '1' AND b = '2'"},
        // indexed and unique fields are no part of the key
        {{field("id", "PRI"), field("n", "MUL"), field("u", "UNI")}, {"7", "8", "9"}, "id = '7'"},
        {{field("a", "PRI"), field("b", "PRI")}, {"1", std::nullopt}, "a = '1' AND b IS NULL"},
        // a row shorter than the field list finds no row rather than a wrong one
        {{field("a", "PRI"), field("b", "PRI")}, {"1"}, "a = '1' AND b IS NULL"},
        {{field("name", "PRI")}, {"O'Brien"}, "name = 'O\\'Brien'"},
        {{field("path", "PRI")}, {"C:\\tmp\\"}, "path = 'C:\\\\tmp\\\\'"},
        // Shift_JIS whose second byte is 0x5C is left alone: 表示 = 95 5C 8E A6
        {{field("k", "PRI")}, {"\x95\x5c\x8e\xa6"}, "k = '\x95\x5c\x8e\xa6'"},
        {{field("order", "PRI"), field("my key", "PRI")}, {"1", "2"}, "`order` = '1' AND `my key` = '2'"},
        {{field("a", ""), field("b", "MUL")}, {"1", "2"}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyCondition(offline, c.fields, c.values), c.condition);
}

TEST(RecordDetailsStatements, UpdateAndDeleteTexts) {
    const Connection offline;
    struct Case {
        std::string database, table, field, value, condition, update, remove;
    };
    const Case cases[] = {
        {"db", "t", "v", "new", "a = '1' AND b = '2'",
         "UPDATE db.t SET v='new' WHERE a = '1' AND b = '2' LIMIT 1",
         "DELETE FROM db.t WHERE a = '1' AND b = '2' LIMIT 1"},
        {"db", "t", "v", "it's \\ \x93\xfa\x96\x7b", "id = '1'",
         "UPDATE db.t SET v='it\\'s \\\\ \x93\xfa\x96\x7b' WHERE id = '1' LIMIT 1",
         "DELETE FROM db.t WHERE id = '1' LIMIT 1"},
        {"my db", "\x93\xfa\x96\x7b", "select", "", "id = '1'",
         "UPDATE `my db`.`\x93\xfa\x96\x7b` SET `select`='' WHERE id = '1' LIMIT 1",
         "DELETE FROM `my db`.`\x93\xfa\x96\x7b` WHERE id = '1' LIMIT 1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(updateStatement(offline, c.database, c.table, c.field, c.value, c.condition), c.update);
        EXPECT_EQ(deleteStatement(c.database, c.table, c.condition), c.remove);
    }
}

TEST(RecordDetailsStatements, NothingIsSentWithoutAKeyOrASession) {
    Connection offline;
    RecordDetails details(offline, "db", "t", {"1"});
    EXPECT_FALSE(details.load());
    EXPECT_FALSE(details.hasKey());
    EXPECT_EQ(details.update(0, "x"), RecordDetails::Outcome::NoKey);
    EXPECT_EQ(details.remove(), RecordDetails::Outcome::NoKey);
    EXPECT_FALSE(details.updated());
    EXPECT_FALSE(details.deleted());
    EXPECT_EQ(details.values(), Row{"1"});
}

TEST(FilterModelRoundTrip, EditsGoBackByFieldPosition) {
    FilterConditions start;
    start.set(0, 1, "> 10");
    start.set(2, 4, "= 'kept'");  // a position the listing no longer has
    FilterModel model;
    model.setFields({"id", "price", "name"}, start);
    ASSERT_EQ(model.rows().size(), 3u);
    EXPECT_EQ(model.rows()[1].field, "price");
    EXPECT_EQ(model.rows()[1].conditions[0], "> 10");
    EXPECT_EQ(model.rows()[2].conditions[2], "");

    model.setCondition(1, 1, "< 20");
    model.setCondition(2, 2, "like '\x93\xfa%'");
    model.setCondition(0, 3, "ignored");  // there is no condition 4
    model.setCondition(9, 0, "ignored");
    const FilterConditions back = model.conditions();
    EXPECT_EQ(back.at(0, 1), "> 10");
    EXPECT_EQ(back.at(1, 1), "< 20");
    EXPECT_EQ(back.at(2, 2), "like '\x93\xfa%'");
    EXPECT_EQ(back.at(2, 4), "= 'kept'");
    EXPECT_EQ(whereClause("db", "t", {"id", "price", "name"}, back),
              "from db.t  WHERE price > 10 AND price < 20 AND name like '\x93\xfa%'");
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(TempCsvFile, StatementsAndPlace) {
    EXPECT_EQ(fieldNamesStatement("items"), "select * from items Limit 1");
    EXPECT_EQ(wholeTableStatement("items"), "select * from items");
    EXPECT_EQ(wholeTableStatement("order items"), "select * from `order items`");
    EXPECT_EQ(tempCsvPath("/srv/dbk"), "/srv/dbk/TEMP.CSV");
    EXPECT_EQ(tempCsvPath(""), QDir::current().filePath("TEMP.CSV"));
}

TEST(TempCsvFile, ListRowsWithoutFieldNamesNeedNoServer) {
    QTemporaryDir dir;
    const QString path = dir.filePath("TEMP.CSV");
    Connection offline;
    const std::vector<Row> rows{{"1", "say \"hi\"", std::nullopt}, {"2", "\x93\xfa\x96\x7b", "a,b"}};
    const TempCsvOutcome outcome = writeTempCsv(offline, "t", rows, {false, false}, path);
    EXPECT_EQ(outcome.status, TempCsvOutcome::Written);
    EXPECT_EQ(outcome.dataLines, 2);
    EXPECT_EQ(readAll(path),
              QByteArray("\"1\",\"say \"\"hi\"\"\",\"\",\n\"2\",\"\x93\xfa\x96\x7b\",\"a,b\",\n"));

    // the field names need the server: without one the command reports it instead of opening
    EXPECT_EQ(writeTempCsv(offline, "t", rows, {false, true}, path).status, TempCsvOutcome::ReadFailed);
    EXPECT_EQ(readAll(path), QByteArray());

    EXPECT_EQ(writeTempCsv(offline, "t", rows, {false, false}, dir.filePath("missing/TEMP.CSV")).status,
              TempCsvOutcome::CannotCreate);
}

}  // namespace
}  // namespace dbk
