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

FieldDescription field(const char* name, const char* key, const char* type = "varchar(20)") {
    return FieldDescription{name, type, "NO", key, {}, ""};
}
FieldDescription binary(const char* name, const char* key = "") {
    return field(name, key, "varbinary(16)");
}

TEST(RecordDetailsStatements, KeyConditionCoversThePrimaryKeyFieldsOnly) {
    const Connection offline{
        ConnectParams{.characterSet = "cp932"}};  // escapes byte by byte, as a cp932 session does
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
        // binary key values go as hex literals, whatever bytes they hold
        {{binary("k", "PRI"), field("v", "")}, {std::string("\x00'\\\x81\xff", 5), "x"}, "k = X'00275C81FF'"},
        {{binary("k", "PRI"), field("n", "PRI")}, {"", "1"}, "k = X'' AND n = '1'"},
        // text the box could not show: hex in the session's character set
        {{field("k", "PRI")}, {"a\rb"}, "k = _cp932 X'610D62'"},
        {{field("k", "PRI")}, {"a\r\nb"}, "k = 'a\\r\\nb'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyCondition(offline, c.fields, c.values), c.condition);
}

TEST(RecordDetailsStatements, UpdateAndDeleteTexts) {
    const Connection offline{ConnectParams{.characterSet = "cp932"}};
    struct Case {
        std::string database, table;
        FieldDescription field;
        std::string value, condition, update, remove;
    };
    const Case cases[] = {
        {"db", "t", field("v", ""), "new", "a = '1' AND b = '2'",
         "UPDATE db.t SET v='new' WHERE a = '1' AND b = '2' LIMIT 1",
         "DELETE FROM db.t WHERE a = '1' AND b = '2' LIMIT 1"},
        {"db", "t", field("v", ""), "it's \\ \x93\xfa\x96\x7b", "id = '1'",
         "UPDATE db.t SET v='it\\'s \\\\ \x93\xfa\x96\x7b' WHERE id = '1' LIMIT 1",
         "DELETE FROM db.t WHERE id = '1' LIMIT 1"},
        {"my db", "\x93\xfa\x96\x7b", field("select", ""), "", "id = '1'",
         "UPDATE `my db`.`\x93\xfa\x96\x7b` SET `select`='' WHERE id = '1' LIMIT 1",
         "DELETE FROM `my db`.`\x93\xfa\x96\x7b` WHERE id = '1' LIMIT 1"},
        {"db", "t", field("b", "", "blob"), std::string("\x00\xff'", 3), "id = '1'",
         "UPDATE db.t SET b=X'00FF27' WHERE id = '1' LIMIT 1", "DELETE FROM db.t WHERE id = '1' LIMIT 1"},
        {"db", "t", field("b", "", "blob"), "", "id = '1'", "UPDATE db.t SET b=X'' WHERE id = '1' LIMIT 1",
         "DELETE FROM db.t WHERE id = '1' LIMIT 1"},
        {"db", "t", field("b", "", "BIT(12)"), "\x0a\x05", "id = '1'",
         "UPDATE db.t SET b=2565 WHERE id = '1' LIMIT 1", "DELETE FROM db.t WHERE id = '1' LIMIT 1"},
        {"db", "t", field("v", "", "text"), std::string("a\0b", 3), "id = '1'",
         "UPDATE db.t SET v=_cp932 X'610062' WHERE id = '1' LIMIT 1",
         "DELETE FROM db.t WHERE id = '1' LIMIT 1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(updateStatement(offline, c.database, c.table, c.field, c.value, c.condition), c.update);
        EXPECT_EQ(deleteStatement(offline, c.database, c.table, c.condition), c.remove);
    }
}

TEST(RecordDetailsStatements, NothingIsSentWithoutAKeyOrASession) {
    Connection offline{ConnectParams{.characterSet = "cp932"}};
    RecordDetails details(offline, "db", "t", {"1"});
    EXPECT_FALSE(details.load());
    EXPECT_FALSE(details.hasKey());
    EXPECT_EQ(details.update(0, "x"), RecordDetails::Outcome::NoKey);
    EXPECT_EQ(details.change(0, "x"), RecordDetails::Outcome::NoKey);
    EXPECT_EQ(details.remove(), RecordDetails::Outcome::NoKey);
    EXPECT_FALSE(details.updated());
    EXPECT_FALSE(details.deleted());
    EXPECT_EQ(details.values(), Row{"1"});
}

TEST(RecordDetailsStatements, HexLiterals) {
    EXPECT_EQ(hexLiteral(std::string("\x00\x7f\x80\xff", 4), "", 100611), "X'007F80FF'");
    EXPECT_EQ(hexLiteral("\x93\xfa", "sjis", 50700), "_sjis X'93FA'");
    // servers before 4.1: no X'..', no introducer
    EXPECT_EQ(hexLiteral("AB", "cp932", 40018), "0x4142");
    EXPECT_EQ(hexLiteral("", "", 32358), "''");
}

TEST(RecordDetailsValues, BinaryTypesByTheirFieldType) {
    for (const char* type : {"binary(4)", "varbinary(16)", "tinyblob", "BLOB", "mediumblob", "longblob",
                             "bit(1)", "point", "geometry", "multipolygon"})
        EXPECT_TRUE(isBinaryType(type)) << type;
    for (const char* type : {"varchar(20)", "char(10) binary", "text", "int(11) unsigned", "enum('blob')",
                             "set('binary')", "datetime", ""})
        EXPECT_FALSE(isBinaryType(type)) << type;
}

TEST(RecordDetailsValues, TheBoxShowsTextOnlyWhenItGivesTheBytesBack) {
    using Form = ShownValue::Form;
    struct Case {
        const char* type;
        Cell value;
        Form form;
        bool crlf;
        QString text;
    };
    const Case cases[] = {
        {"text", "\x93\xfa\x96\x7b 'a' \\", Form::Text, false, QStringLiteral("日本 'a' \\")},
        {"text", "a\tb\nc\n", Form::Text, false, "a\tb\nc\n"},
        // CR LF throughout is shown with line feeds
        {"text", "a\r\nb\r\n", Form::Text, true, "a\nb\n"},
        // anything the box would change or hide is shown as hex
        {"text", "a\r\nb\nc", Form::Hex, false, "61 0D 0A 62 0A 63"},
        {"text", "a\rb", Form::Hex, false, "61 0D 62"},
        {"text", std::string("a\0b", 3), Form::Hex, false, "61 00 62"},
        {"text", "\x1b[0m", Form::Hex, false, "1B 5B 30 6D"},
        {"text", "\x81", Form::Hex, false, "81"},  // a lead byte alone
        {"text", "\xff", Form::Hex, false, "FF"},  // no Shift_JIS byte
        {"text", "\x87\x90", Form::Hex, false,
         "87 90"},  // the second code of a character: it would come back as 81 E0
        // binary fields always
        {"blob", "abc", Form::Hex, false, "61 62 63"},
        {"varbinary(20)", "0123456789abcdefg", Form::Hex, false,
         "30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66\n67"},
        {"blob", "", Form::Hex, false, ""},
        {"text", "", Form::Text, false, ""},
    };
    for (const Case& c : cases) {
        const ShownValue shown = showValue(field("f", "", c.type), c.value, ServerEncoding::ShiftJis);
        EXPECT_EQ(shown.form, c.form) << c.type << " " << *c.value;
        EXPECT_EQ(shown.crlf, c.crlf) << *c.value;
        EXPECT_EQ(shown.text, c.text) << *c.value;
        EXPECT_FALSE(shown.null);
    }
    const ShownValue nullText = showValue(field("f", ""), std::nullopt, ServerEncoding::ShiftJis);
    EXPECT_TRUE(nullText.null);
    EXPECT_EQ(nullText.form, Form::Text);
    EXPECT_EQ(nullText.text, "");
    EXPECT_EQ(showValue(binary("f"), std::nullopt, ServerEncoding::ShiftJis).form, Form::Hex);
}

TEST(RecordDetailsValues, OnlyWhatTheUserChangedIsAValue) {
    using Kind = EditedValue::Kind;
    struct Case {
        const char* type;
        Cell original;
        QString typed;
        Kind kind;
        std::string bytes;
    };
    const std::string binaryValue("\x00\xff\x5c", 3);
    const Case cases[] = {
        {"text", "\x93\xfa\x96\x7b", QStringLiteral("日本"), Kind::Unchanged, ""},
        {"text", "\x93\xfa\x96\x7b", QStringLiteral("日本語's \\"), Kind::Changed,
         "\x93\xfa\x96\x7b\x8c\xea's \\"},
        {"text", "a\r\nb", "a\nb", Kind::Unchanged, ""},
        {"text", "a\r\nb", "a\nb\nc", Kind::Changed, "a\r\nb\r\nc"},
        {"text", "x", "", Kind::Changed, ""},  // emptied: the empty string, not NULL
        {"text", "x", QStringLiteral("寿司🍣"), Kind::NotShiftJis, ""},
        {"text", "x", QStringLiteral("é"), Kind::NotShiftJis, ""},
        // NULL stays NULL until something is typed
        {"text", std::nullopt, "", Kind::Unchanged, ""},
        {"text", std::nullopt, "x", Kind::Changed, "x"},
        {"blob", std::nullopt, "", Kind::Unchanged, ""},
        {"blob", std::nullopt, "41", Kind::Changed, "A"},
        // hex: blanks and line breaks do not matter, case does not matter
        {"blob", binaryValue, "00 FF 5C", Kind::Unchanged, ""},
        {"blob", binaryValue, "00ff\n 5c", Kind::Unchanged, ""},
        {"blob", binaryValue, QStringLiteral("00\u3000FF5C 27"), Kind::Changed,
         std::string("\x00\xff\x5c'", 4)},
        {"blob", binaryValue, "", Kind::Changed, ""},
        {"blob", binaryValue, "00 FF 5", Kind::BadHex, ""},
        {"blob", binaryValue, "00 FG", Kind::BadHex, ""},
        {"blob", binaryValue, "0x00", Kind::BadHex, ""},
        {"blob", binaryValue, QStringLiteral("００"), Kind::BadHex, ""},
        // text shown as hex is edited as hex
        {"text", "a\rb", "61 0d 0a 62", Kind::Changed, "a\r\nb"},
        {"text", "a\rb", "a\nz", Kind::BadHex, ""},
    };
    for (const Case& c : cases) {
        const ShownValue shown = showValue(field("f", "", c.type), c.original, ServerEncoding::ShiftJis);
        const EditedValue edited = readEdit(shown, c.original, c.typed, ServerEncoding::ShiftJis);
        EXPECT_EQ(edited.kind, c.kind) << c.type << " " << c.typed.toStdString();
        if (c.kind == Kind::Changed) {
            EXPECT_EQ(edited.bytes, c.bytes) << c.typed.toStdString();
        }
    }
    // what the box shows reads back as the same value
    for (const Case& c : cases) {
        const ShownValue shown = showValue(field("f", "", c.type), c.original, ServerEncoding::ShiftJis);
        EXPECT_EQ(readEdit(shown, c.original, shown.text, ServerEncoding::ShiftJis).kind, Kind::Unchanged)
            << shown.text.toStdString();
    }
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
    EXPECT_EQ(whereClause(Connection(), "db", "t", {"id", "price", "name"}, back),
              "from db.t  WHERE price > 10 AND price < 20 AND name like '\x93\xfa%'");
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(TempCsvFile, StatementsAndPlace) {
    EXPECT_EQ(fieldNamesStatement(Connection(), "items"), "select * from items Limit 1");
    EXPECT_EQ(wholeTableStatement(Connection(), "items"), "select * from items");
    EXPECT_EQ(wholeTableStatement(Connection(), "order items"), "select * from `order items`");
    EXPECT_EQ(tempCsvPath("/srv/dbk"), "/srv/dbk/TEMP.CSV");
    EXPECT_EQ(tempCsvPath(""), QDir::current().filePath("TEMP.CSV"));
}

TEST(TempCsvFile, ListRowsWithoutFieldNamesNeedNoServer) {
    QTemporaryDir dir;
    const QString path = dir.filePath("TEMP.CSV");
    Connection offline{ConnectParams{.characterSet = "cp932"}};
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
