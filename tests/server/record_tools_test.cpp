#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include "browser/filter_model.h"
#include "browser/open_with.h"
#include "browser/record_details.h"
#include "conn/text_codec.h"
#include "support/test_server.h"

namespace dbk {
namespace {

const std::string kNihon = "\x93\xfa\x96\x7b";   // 日本 in Shift_JIS
const std::string kHyouji = "\x95\x5c\x8e\xa6";  // 表示: its first second byte is a backslash

// Every row of a table as "a|b|v" lines, in key order.
std::string tableText(Connection& c, const std::string& sql) {
    Result r = c.query(sql);
    EXPECT_TRUE(r.ok()) << c.errorLine();
    std::string text;
    while (r.next()) {
        for (unsigned i = 0; i < r.fieldCount(); ++i) {
            text += i ? "|" : "";
            text += r.isNull(i) ? "NULL" : std::string(r.text(i));
        }
        text += '\n';
    }
    return text;
}

// A table with a two-column key whose values differ only in quotes, backslashes and Japanese.
void createKeyedTable(Connection& c) {
    ASSERT_TRUE(c.exec("CREATE TABLE t (a INT, b VARCHAR(20), v TEXT, PRIMARY KEY (a, b))")) << c.errorLine();
    ASSERT_TRUE(
        c.exec("INSERT INTO t VALUES (1, 'x', 'old'), (1, 'O''Brien', 'old'), (1, 'O\\\\Brien', 'old'), "
               "(2, '" +
               kNihon + "', 'old'), (2, '" + kHyouji + "', 'old')"))
        << c.errorLine();
}

constexpr const char* kAllRows = "SELECT a, b, v FROM t ORDER BY a, b";

TEST(RecordDetailsOnServer, UpdateChangesExactlyTheRowOfItsKey) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_update");
    Connection& c = db.admin();
    createKeyedTable(c);
    const std::string before = tableText(c, kAllRows);

    struct Case {
        std::string a;
        std::string b;
        std::string newValue;
    };
    const Case cases[] = {
        {"1", "O'Brien", "it's \\ " + kNihon},
        {"1", "O\\Brien", "back\\slash"},
        {"2", kHyouji, kHyouji + "'" + kNihon},
    };
    for (const Case& k : cases) {
        RecordDetails details(c, db.name(), "t", {k.a, k.b, "old"});
        ASSERT_TRUE(details.load());
        ASSERT_TRUE(details.hasKey());
        ASSERT_EQ(details.fields().size(), 3u);
        EXPECT_EQ(details.fields()[0].key, "PRI");
        EXPECT_EQ(details.fields()[2].name, "v");
        ASSERT_EQ(details.update(2, k.newValue), RecordDetails::Outcome::Done) << c.errorLine();
        EXPECT_TRUE(details.updated());
        EXPECT_EQ(details.values()[2], k.newValue);
        Result row = c.query("SELECT v FROM t WHERE b = '" + c.escape(k.b) + "'");
        ASSERT_TRUE(row.next());
        EXPECT_EQ(row.text(0U), k.newValue);
    }
    // every other row is as it was
    EXPECT_EQ(tableText(c, "SELECT a, b, v FROM t WHERE v = 'old' ORDER BY a, b"),
              "1|x|old\n2|" + kNihon + "|old\n");
    EXPECT_NE(tableText(c, kAllRows), before);

    // setting the value a field already has changes no row but still matched it
    RecordDetails same(c, db.name(), "t", {"1", "x", "old"});
    ASSERT_TRUE(same.load());
    EXPECT_EQ(same.update(2, "old"), RecordDetails::Outcome::Done);
}

std::string hexOf(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toHex().toUpper().toStdString();
}

// One field of the row whose key is `key` (hex digits), as the cp932 session reads it.
Cell fieldValue(Connection& c, const std::string& field, const std::string& keyHex) {
    Result r = c.query("SELECT " + field + " FROM r WHERE k = X'" + keyHex + "'");
    EXPECT_TRUE(r.ok()) << c.errorLine();
    return r.next() ? r.value(0U) : Cell("<no row>");
}

TEST(RecordDetailsOnServer, EditedValuesArriveByteExact) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_exact");
    Connection& c = db.admin();
    ASSERT_TRUE(
        c.exec("CREATE TABLE r (k VARBINARY(16) PRIMARY KEY, bin BLOB, txt MEDIUMTEXT, "
               "sj TEXT CHARACTER SET cp932, ctl TEXT)"))
        << c.errorLine();
    // the key holds a NUL, a quote, a backslash, a lead byte alone and 0xFF
    const std::string key("\x00'\\\x81\xff", 5);
    ASSERT_TRUE(c.exec("INSERT INTO r VALUES (X'" + hexOf(key) +
                       "', X'00', 'old', 'old', 'a\\rb'), "
                       "(X'27', X'00', 'old', 'old', 'a\\rb')"))
        << c.errorLine();
    Result listed = c.query("SELECT * FROM r WHERE k = X'" + hexOf(key) + "'");
    ASSERT_TRUE(listed.next());
    RecordDetails details(c, db.name(), "r", listed.row());
    ASSERT_TRUE(details.load());
    EXPECT_EQ(details.condition(), "k = X'00275C81FF'");

    std::string everyByteBackwards;
    for (int b = 255; b >= 0; --b)
        everyByteBackwards += static_cast<char>(b);
    std::string longText;  // 62,500 characters
    for (int i = 0; i < 2500; ++i)
        longText += kNihon + "\x8c\xea 'quote' \"double\" \\ " + kHyouji;
    struct Case {
        size_t field;
        QString typed;
        std::string expected;
    };
    const Case cases[] = {
        {1, hexText(everyByteBackwards).toLower(), everyByteBackwards},
        {2, fromShiftJis(longText), longText},
        {3, fromShiftJis(kHyouji + "\\'\"" + kNihon), kHyouji + "\\'\"" + kNihon},
        // text with a lone carriage return is shown and edited as hex: a NUL goes in too
        {4, "61 0D 0A 00 62", std::string("a\r\n\0b", 5)},
    };
    for (const Case& k : cases) {
        ASSERT_EQ(details.change(k.field, k.typed), RecordDetails::Outcome::Done)
            << details.fields()[k.field].name << " " << c.errorLine();
        EXPECT_EQ(details.values()[k.field], k.expected);
        EXPECT_EQ(fieldValue(c, details.fields()[k.field].name, hexOf(key)), k.expected)
            << details.fields()[k.field].name;
        // the same text again changes nothing and sends nothing
        EXPECT_EQ(details.change(k.field, details.shownValue(k.field).text),
                  RecordDetails::Outcome::Unchanged);
    }
    Result length = c.query("SELECT CHAR_LENGTH(txt) FROM r WHERE k = X'" + hexOf(key) + "'");
    ASSERT_TRUE(length.next());
    EXPECT_EQ(length.text(0U), "62500");

    // a new binary key value: the row is found by it afterwards
    const std::string newKey = key + std::string("\0", 1);
    ASSERT_EQ(details.change(0, hexText(newKey)), RecordDetails::Outcome::Done) << c.errorLine();
    EXPECT_EQ(details.condition(), "k = X'00275C81FF00'");
    ASSERT_EQ(details.change(3, "new"), RecordDetails::Outcome::Done) << c.errorLine();
    EXPECT_EQ(fieldValue(c, "sj", hexOf(newKey)), "new");
    EXPECT_EQ(fieldValue(c, "sj", hexOf(key)), "<no row>");

    // refused before anything is sent
    EXPECT_EQ(details.change(1, "0G"), RecordDetails::Outcome::BadHex);
    EXPECT_EQ(details.change(2, QStringLiteral("🍣")), RecordDetails::Outcome::NotShiftJis);
    // the other row was never touched
    Result other = c.query("SELECT HEX(bin), txt, sj, HEX(ctl) FROM r WHERE k = X'27'");
    ASSERT_TRUE(other.next());
    EXPECT_EQ(other.row(), (Row{"00", "old", "old", "610D62"}));
}

TEST(RecordDetailsOnServer, BitKeysAndSpatialValuesAreEditedAsBytes) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_bit");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE p (b BIT(12) PRIMARY KEY, g POINT)"));
    ASSERT_TRUE(c.exec("INSERT INTO p VALUES (b'101000000101', POINT(1, 2)), (b'1', POINT(0, 0))"));
    Result listed = c.query("SELECT * FROM p WHERE b = 2565");
    ASSERT_TRUE(listed.next());
    RecordDetails details(c, db.name(), "p", listed.row());
    ASSERT_TRUE(details.load());
    EXPECT_EQ(details.condition(), "b = 2565");
    EXPECT_EQ(details.shownValue(0).text, "0A 05");
    // x = 1.0 becomes x = 2.0: the last byte of the double 1.0 (3F) turns into 40, and F0 into 00
    QString point = details.shownValue(1).text;
    ASSERT_TRUE(point.contains("F0\n3F")) << point.toStdString();
    ASSERT_EQ(details.change(1, point.replace("F0\n3F", "00\n40")), RecordDetails::Outcome::Done)
        << c.errorLine();
    ASSERT_EQ(details.change(0, "0A 06"), RecordDetails::Outcome::Done) << c.errorLine();
    EXPECT_EQ(tableText(c, "SELECT BIN(b), ST_AsText(g) FROM p ORDER BY b"),
              "1|POINT(0 0)\n101000000110|POINT(2 2)\n");
}

TEST(RecordDetailsOnServer, ChangedKeyValueFindsTheRowAgain) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_rekey");
    Connection& c = db.admin();
    createKeyedTable(c);
    RecordDetails details(c, db.name(), "t", {"2", kNihon, "old"});
    ASSERT_TRUE(details.load());
    ASSERT_EQ(details.update(1, kNihon + "'s"), RecordDetails::Outcome::Done) << c.errorLine();
    EXPECT_EQ(details.condition(), "a = '2' AND b = '" + c.escape(kNihon + "'s") + "'");
    ASSERT_EQ(details.update(2, "new"), RecordDetails::Outcome::Done) << c.errorLine();
    EXPECT_EQ(tableText(c, "SELECT a, b, v FROM t WHERE a = 2 ORDER BY v"),
              "2|" + kNihon + "'s|new\n2|" + kHyouji + "|old\n");
}

TEST(RecordDetailsOnServer, DeleteRemovesExactlyTheRowOfItsKey) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_delete");
    Connection& c = db.admin();
    createKeyedTable(c);
    for (const Row& row : {Row{"2", kNihon, "old"}, Row{"1", "O'Brien", "old"}}) {
        RecordDetails details(c, db.name(), "t", row);
        ASSERT_TRUE(details.load());
        ASSERT_EQ(details.remove(), RecordDetails::Outcome::Done) << c.errorLine();
        EXPECT_TRUE(details.deleted());
    }
    EXPECT_EQ(tableText(c, kAllRows), "1|O\\Brien|old\n1|x|old\n2|" + kHyouji + "|old\n");

    // the row is gone now: a second delete says so instead of reporting success
    RecordDetails again(c, db.name(), "t", {"2", kNihon, "old"});
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.remove(), RecordDetails::Outcome::NotFound);
    EXPECT_FALSE(again.deleted());
    EXPECT_EQ(again.update(2, "ghost"), RecordDetails::Outcome::NotFound);
    EXPECT_FALSE(again.updated());
    EXPECT_EQ(again.values()[2], "old");
}

TEST(RecordDetailsOnServer, ATableWithoutPrimaryKeyOffersNeither) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_nokey");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE n (a INT, b TEXT, INDEX (a))"));
    ASSERT_TRUE(c.exec("INSERT INTO n VALUES (1, 'same'), (1, 'same')"));
    RecordDetails details(c, db.name(), "n", {"1", "same"});
    ASSERT_TRUE(details.load());
    EXPECT_EQ(details.fields().size(), 2u);
    EXPECT_EQ(fieldImage(details.fields()[0].key), FieldImage::Indexed);
    EXPECT_FALSE(details.hasKey());
    EXPECT_EQ(details.update(1, "changed"), RecordDetails::Outcome::NoKey);
    EXPECT_EQ(details.remove(), RecordDetails::Outcome::NoKey);
    EXPECT_EQ(tableText(c, "SELECT a, b FROM n"), "1|same\n1|same\n");
}

TEST(RecordDetailsOnServer, ARefusedUpdateKeepsTheOldValue) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_refused");
    Connection& c = db.admin();
    createKeyedTable(c);
    RecordDetails details(c, db.name(), "t", {"1", "x", "old"});
    ASSERT_TRUE(details.load());
    // (1, 'O''Brien') exists already: the server refuses the duplicate key
    EXPECT_EQ(details.update(1, "O'Brien"), RecordDetails::Outcome::Failed);
    EXPECT_EQ(c.errorNumber(), 1062u);
    EXPECT_FALSE(details.updated());
    EXPECT_EQ(details.values()[1], "x");
    EXPECT_EQ(details.condition(), "a = '1' AND b = 'x'");
    EXPECT_EQ(tableText(c, "SELECT v FROM t WHERE a = 1 AND b = 'x'"), "old\n");
}

TEST(RecordDetailsOnServer, FieldsWithRemarksAndQuotedNames) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_names");
    Connection& c = db.admin();
    const std::string table = "`" + kNihon + " t`";
    ASSERT_TRUE(c.exec("CREATE TABLE " + table + " (`order` INT AUTO_INCREMENT PRIMARY KEY, `my v` TEXT)"));
    ASSERT_TRUE(c.exec("INSERT INTO " + table + " (`my v`) VALUES ('a'), ('b')"));
    RecordDetails details(c, db.name(), kNihon + " t", {"2", "b"});
    ASSERT_TRUE(details.load());
    EXPECT_EQ(details.fields()[0].extra, "auto_increment");
    EXPECT_EQ(details.condition(), "`order` = '2'");
    ASSERT_EQ(details.update(1, "B"), RecordDetails::Outcome::Done) << c.errorLine();
    EXPECT_EQ(tableText(c, "SELECT `order`, `my v` FROM " + table + " ORDER BY 1"), "1|a\n2|B\n");

    RecordDetails missing(c, db.name(), "no_such_table", {"1"});
    EXPECT_FALSE(missing.load());
    EXPECT_TRUE(missing.fields().empty());
    EXPECT_FALSE(missing.hasKey());
}

TEST(FilterModelOnServer, ListsTheFieldsOfTheTable) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_filter");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY, price INT, `" + kNihon + "` TEXT)"));
    FilterConditions start;
    start.set(1, 1, "< 20");
    FilterModel model;
    ASSERT_TRUE(model.load(c, db.name(), "t", start));
    ASSERT_EQ(model.rows().size(), 3u);
    EXPECT_EQ(model.rows()[0].field, "id");
    EXPECT_EQ(model.rows()[1].conditions[1], "< 20");
    EXPECT_EQ(model.rows()[2].field, kNihon);

    FilterModel none;
    EXPECT_FALSE(none.load(c, db.name(), "missing", start));
    EXPECT_TRUE(none.rows().empty());
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(TempCsvOnServer, TheWholeTableIsStreamedWithItsFieldNames) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_tempcsv");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE t (id INT PRIMARY KEY, v TEXT)"));
    ASSERT_TRUE(c.exec("INSERT INTO t VALUES (1, 'say \"hi\"'), (2, NULL), (3, '" + kNihon + "')"));
    ASSERT_TRUE(c.exec("INSERT INTO t SELECT seq, 'n' FROM seq_4_to_2500"));
    QTemporaryDir dir;
    const QString path = dir.filePath("TEMP.CSV");
    const TempCsvOutcome outcome = writeTempCsv(c, "t", {}, {true, true}, path);
    ASSERT_EQ(outcome.status, TempCsvOutcome::Written) << c.errorLine();
    EXPECT_EQ(outcome.dataLines, 2500);
    const QByteArray text = readAll(path);
    EXPECT_TRUE(
        text.startsWith(QByteArray("\"id\",\"v\",\n\"1\",\"say \"\"hi\"\"\",\n\"2\",\"\",\n\"3\",\"") +
                        QByteArray::fromStdString(kNihon) + "\",\n\"4\",\"n\",\n"));
    EXPECT_TRUE(text.endsWith("\"2500\",\"n\",\n"));
    EXPECT_EQ(text.count('\n'), 2501);
    // the connection is free again
    EXPECT_TRUE(c.exec("DO 1")) << c.errorLine();

    EXPECT_EQ(writeTempCsv(c, "missing", {}, {true, false}, path).status, TempCsvOutcome::ReadFailed);
    EXPECT_EQ(c.errorNumber(), 1146u);
}

}  // namespace
}  // namespace dbk
