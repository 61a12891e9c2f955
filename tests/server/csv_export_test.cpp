#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>

#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "transfer/csv_export.h"

namespace dbk {
namespace {

class CsvExportTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }

    QByteArray fileText() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }

    // Runs an export of the statement over the connection, recording the progress texts.
    CsvExportOutcome run(Connection& connection, const std::string& statement, CsvFormat format = {}) {
        CsvExporter exporter(connection, statement, std::move(format));
        exporter.setProgress([this](long long row, const QString& text) {
            progressRows.push_back(row);
            progressTexts.append(text);
        });
        return exporter.run(path);
    }

    QTemporaryDir dir;
    QString path = dir.filePath("out.csv");
    ScopedScriptedUi ui;
    std::vector<long long> progressRows;
    QStringList progressTexts;
};

// The lines the table of fillNumbers() exports to, comma and double quote.
QByteArray numberLines(int from, int to) {
    QByteArray out;
    for (int i = from; i <= to; ++i)
        out += "\"" + QByteArray::number(i) + "\",\"a" + QByteArray::number(i) + "\",\"(null)\"\n";
    return out;
}

void fillNumbers(Connection& admin, int rows) {
    ASSERT_TRUE(admin.exec("CREATE TABLE t (id INT PRIMARY KEY, a VARCHAR(20), b TEXT)"))
        << admin.errorLine();
    if (rows > 0) {
        ASSERT_TRUE(admin.exec("INSERT INTO t SELECT seq, CONCAT('a', seq), NULL FROM seq_1_to_" +
                               std::to_string(rows)));
    }
}

// The progress text comes at the first row and then by time, a few times a second, however many
// rows arrive meanwhile.
TEST_F(CsvExportTest, RowsAreStreamedWithAProgressTextAFewTimesASecond) {
    DBK_REQUIRE_SERVER();
    struct Case {
        int rows;
        // SLEEP(0.0005) per row makes the export last about rows / 2000 s (no ORDER BY: the rows
        // come one by one in the key's order, not all at the end)
        const char* where;
    } cases[] = {{2500, ""}, {2500, " where sleep(0.0005) = 0"}, {1, ""}, {0, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + c.where);
        test::ScratchDatabase db("dbk_csv_stream");
        fillNumbers(db.admin(), c.rows);
        progressRows.clear();
        progressTexts.clear();
        ui->eventsLetThrough = 0;
        const auto start = std::chrono::steady_clock::now();
        const CsvExportOutcome outcome =
            run(db.admin(), std::string("Select * from dbk_csv_stream.t") + c.where);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(outcome.status, CsvExportOutcome::Status::Complete);
        EXPECT_EQ(outcome.rows, static_cast<uint64_t>(c.rows));
        EXPECT_EQ(fileText(), numberLines(1, c.rows));
        if (c.rows == 0) {
            EXPECT_TRUE(progressRows.empty());
        } else {
            ASSERT_FALSE(progressRows.empty());
            EXPECT_EQ(progressRows.front(), 1);
            EXPECT_TRUE(std::is_sorted(progressRows.begin(), progressRows.end()));
            // At most one text per 250 ms after the first.
            EXPECT_LE(progressRows.size(), 2 + static_cast<size_t>(seconds * 4));
            EXPECT_EQ(progressTexts.last(), csvProgressText(progressRows.back()));
            EXPECT_GE(ui->eventsLetThrough, 1);
        }
        if (seconds > 0.6) {
            EXPECT_GE(progressRows.size(), 2u);
            EXPECT_GE(ui->eventsLetThrough, 5);
        }
        EXPECT_FALSE(db.admin().busy());
        // The result was read to its end: the connection takes the next statement.
        EXPECT_TRUE(db.admin().exec("SELECT 1")) << db.admin().errorLine();
    }
}

TEST_F(CsvExportTest, StatementsThatPagesCouldNotTake) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_statements");
    fillNumbers(db.admin(), 20);
    ASSERT_TRUE(db.admin().exec("CREATE TABLE u (x INT)"));
    struct Case {
        const char* statement;
        QByteArray lines;
    } cases[] = {
        {"SHOW TABLES", "\"t\"\n\"u\"\n"},
        {"show tables from dbk_csv_statements", "\"t\"\n\"u\"\n"},
        {"select * from t order by id desc limit 3",
         numberLines(20, 20) + numberLines(19, 19) + numberLines(18, 18)},
        {"select * from t limit 18, 1000", numberLines(19, 20)},
        {"select * from t where id <= 2 ;", numberLines(1, 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        EXPECT_EQ(run(db.admin(), c.statement).status, CsvExportOutcome::Status::Complete)
            << db.admin().errorLine();
        EXPECT_EQ(fileText(), c.lines);
    }
}

TEST_F(CsvExportTest, ValuesArriveAsShiftJisWithNullAndQuotes) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_values");
    ConnectParams utf8 = test::adminParams();
    utf8.characterSet = "utf8mb4";
    utf8.database = db.name();
    Connection writer;
    ASSERT_TRUE(writer.open(utf8)) << writer.errorLine();
    ASSERT_TRUE(writer.exec("CREATE TABLE v (id INT PRIMARY KEY, s VARCHAR(40), n INT)"));
    ASSERT_TRUE(
        writer.exec("INSERT INTO v VALUES (1, '漢字ｶﾅ①', NULL), (2, 'say \"hi\", it''s', 7), "
                    "(3, '', NULL), (4, 'back\\\\slash\\ttab', 0)"));

    const CsvExportOutcome outcome = run(db.admin(), "Select * from dbk_csv_values.v");
    ASSERT_EQ(outcome.status, CsvExportOutcome::Status::Complete);
    EXPECT_EQ(fileText(), QByteArray("\"1\",\"\x8a\xbf\x8e\x9a\xb6\xc5\x87\x40\",\"(null)\"\n"
                                     "\"2\",\"say \"\"hi\"\", it's\",\"7\"\n"
                                     "\"3\",\"\",\"(null)\"\n"
                                     "\"4\",\"back\\slash\ttab\",\"0\"\n"));

    CsvFormat tabsAndSingleQuotes;
    tabsAndSingleQuotes.separator = CsvFormat::Separator::Tab;
    tabsAndSingleQuotes.quote = CsvFormat::Quote::Single;
    run(db.admin(), "select s from v where id = 2", tabsAndSingleQuotes);
    EXPECT_EQ(fileText(), "'say \"hi\", it''s'\n");
}

TEST_F(CsvExportTest, TheSampleShowsUpToSixRows) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_sample");
    fillNumbers(db.admin(), 10);
    ASSERT_TRUE(db.admin().exec("CREATE PROCEDURE p() BEGIN SELECT * FROM t; END"));
    const CsvFormat format;
    struct Case {
        const char* statement;
        QByteArray sample;
    } cases[] = {
        {"Select * from t", numberLines(1, 6)},
        {"Select * from t where id > 8", numberLines(9, 10)},
        // The page clause cannot follow these: the statement's own first rows are read.
        {"Select * from t limit 2", numberLines(1, 2)},
        {"Select * from t order by id limit 8 for update", numberLines(1, 6)},
        {"Select * from t -- the page clause goes into this comment", numberLines(1, 6)},
        {"show tables", "\"t\"\n"},
        // A procedure may change data: it runs only for the export itself.
        {"call p()", ""},
        {"Select * from missing", ""},
        {"delete from t", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        EXPECT_EQ(csvSample(db.admin(), c.statement, format), c.sample.toStdString());
        EXPECT_FALSE(db.admin().busy());
        EXPECT_TRUE(db.admin().exec("SELECT 1")) << db.admin().errorLine();
    }
    EXPECT_EQ(csvSampleText(db.admin(), "call p()", format), msg(CsvExporter::kNoCallSampleMessage));
    EXPECT_EQ(csvSampleText(db.admin(), "delete from t", format), msg(CsvExporter::kRefusedMessage));
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(ui->eventsLetThrough, 0);
}

TEST_F(CsvExportTest, FailuresAreNotCalledComplete) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_failures");
    fillNumbers(db.admin(), 3);

    const CsvExportOutcome missing = run(db.admin(), "Select * from dbk_csv_failures.missing");
    EXPECT_EQ(missing.status, CsvExportOutcome::Status::StatementFailed);
    EXPECT_EQ(missing.errorNumber, 1146u);
    EXPECT_EQ(CsvExporter::outcomeText(missing, path),
              "Error executing query.\n1146:Table 'dbk_csv_failures.missing' doesn't exist");
    EXPECT_EQ(fileText(), "");
    EXPECT_FALSE(db.admin().busy());
    EXPECT_TRUE(db.admin().exec("SELECT 1"));

    if (QFile devFull("/dev/full"); devFull.exists()) {
        path = QStringLiteral("/dev/full");
        EXPECT_EQ(run(db.admin(), "Select * from t").status, CsvExportOutcome::Status::WriteFailed);
        EXPECT_TRUE(db.admin().exec("SELECT 1")) << db.admin().errorLine();
    }
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(CsvExportTest, AServerThatGoesAwayIsReportedAndTheKeepAliveWaits) {
    DBK_REQUIRE_SERVER();
    CDbkeeperDoc doc;
    const ConnectParams p = test::adminParams();
    doc.setLoginPrompt(test::loginPromptFor(p));
    ASSERT_EQ(doc.connect(), CDbkeeperDoc::kAdministrator);
    ui->messages.clear();
    Connection killer = test::connectAdmin();

    // Rows far beyond what the socket buffers hold, so most are still on the server.
    constexpr uint64_t kRows = 400000;
    std::vector<CDbkeeperDoc::KeepAlive> ticks;
    CsvExporter exporter(doc.connection(),
                         "SELECT seq, REPEAT('x', 200) FROM seq_1_to_" + std::to_string(kRows), CsvFormat{});
    exporter.setProgress([&](long long row, const QString&) {
        ticks.push_back(doc.keepAliveTick());
        if (row == 1) {
            EXPECT_TRUE(killer.exec("KILL " + std::to_string(doc.connection().threadId())));
        }
    });
    const CsvExportOutcome outcome = exporter.run(path);

    EXPECT_EQ(outcome.status, CsvExportOutcome::Status::ReadFailed);
    EXPECT_GE(outcome.rows, 1u);
    EXPECT_LT(outcome.rows, kRows);
    EXPECT_NE(outcome.errorNumber, 0u);
    // The message names the file, calls it partial and gives the rows it holds.
    const QString text = CsvExporter::outcomeText(outcome, path);
    EXPECT_TRUE(text.startsWith("Error acquiring data.\n")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QString("\nThe file is partial: it holds only the %1 rows read before the "
                                      "failure.\n%2")
                                  .arg(outcome.rows)
                                  .arg(path)))
        << text.toStdString();
    EXPECT_EQ(fileText().count('\n'), static_cast<qsizetype>(outcome.rows));
    ASSERT_GE(ticks.size(), 1u);
    for (const auto tick : ticks)
        EXPECT_EQ(tick, CDbkeeperDoc::KeepAlive::Skipped);
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_FALSE(doc.connection().busy());
    EXPECT_EQ(doc.keepAliveTick(), CDbkeeperDoc::KeepAlive::Lost);
}

long long countRows(Connection& connection, const std::string& table) {
    Result result = connection.query("SELECT COUNT(*) FROM " + table);
    return result.ok() && result.next() ? std::stoll(std::string(result.text(0U))) : -1;
}

std::string characterSets(Connection& connection) {
    Result result = connection.query("SELECT @@character_set_client, @@character_set_results");
    return result.ok() && result.next() ? std::string(result.text(0U)) + "/" + std::string(result.text(1U))
                                        : connection.errorLine();
}

TEST_F(CsvExportTest, StatementsThatReturnNoRowsAreNeverSent) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_refused");
    fillNumbers(db.admin(), 10);
    Connection& c = db.admin();
    const char* statements[] = {
        "DELETE FROM t",
        "  /* old rows */ delete from t where id > 0",
        "-- all of them\nDELETE FROM t",
        "# all of them\nDELETE FROM t",
        "(DELETE FROM t)",
        "/*!DELETE FROM t*/",
        "/*!40000 DELETE FROM t */",
        "/*M!100000 DELETE FROM t */",
        "UPDATE t SET a = 'changed'",
        "INSERT INTO t SELECT seq + 100, 'new', NULL FROM seq_1_to_3",
        "REPLACE INTO t VALUES (1, 'replaced', NULL)",
        "DROP TABLE t",
        "TRUNCATE t",
        "WITH d AS (SELECT 1) DELETE FROM t",
        "SELECT id INTO @stolen FROM t LIMIT 1",
        "SELECT * FROM t INTO OUTFILE '/tmp/dbk_csv_refused.txt'",
        "EXPLAIN ANALYZE DELETE FROM t",
        "SET @stolen = 1",
        "",
    };
    for (const char* statement : statements) {
        SCOPED_TRACE(statement);
        EXPECT_EQ(csvStatementKind(statement), CsvStatementKind::Refused);
        const CsvExportOutcome outcome = run(c, statement);
        EXPECT_EQ(outcome.status, CsvExportOutcome::Status::Refused);
        EXPECT_EQ(CsvExporter::outcomeText(outcome, path), msg(CsvExporter::kRefusedMessage));
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(csvSample(c, statement, CsvFormat{}), "");
    }
    // Nothing reached the server.
    EXPECT_EQ(countRows(c, "t"), 10);
    Result changed = c.query("SELECT COUNT(*) FROM t WHERE a <> CONCAT('a', id) OR id > 10");
    ASSERT_TRUE(changed.next());
    EXPECT_EQ(changed.text(0U), "0");
    Result stolen = c.query("SELECT @stolen IS NULL");
    ASSERT_TRUE(stolen.next());
    EXPECT_EQ(stolen.text(0U), "1");
    EXPECT_EQ(msg(CsvExporter::kRefusedMessage),
              "Only a statement that returns rows can be exported: SELECT, SHOW, DESCRIBE, EXPLAIN, WITH, "
              "VALUES, TABLE or CALL.\nNothing was sent to the server.");
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(CsvExportTest, EveryKindOfStatementThatReturnsRows) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_kinds");
    fillNumbers(db.admin(), 10);
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE PROCEDURE two() BEGIN SELECT id FROM t WHERE id <= 2; END"));
    struct Case {
        const char* statement;
        QByteArray lines;  // "" when only the count of lines is checked
        int lineCount;
    } cases[] = {
        {"SELECT id FROM t WHERE id <= 2", "\"1\"\n\"2\"\n", 2},
        {"  /* c */ -- line\n (SELECT id FROM t WHERE id = 1) UNION (SELECT 2)", "\"1\"\n\"2\"\n", 2},
        {"# note\nselect id from t where id = 3", "\"3\"\n", 1},
        {"/*!40000 SELECT id FROM t WHERE id = 4 */", "\"4\"\n", 1},
        {"WITH RECURSIVE r (n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 3) SELECT n FROM r",
         "\"1\"\n\"2\"\n\"3\"\n", 3},
        {"VALUES (5), (6)", "\"5\"\n\"6\"\n", 2},
        {"SELECT 'into' AS `into`, @into", "\"into\",\"(null)\"\n", 1},
        {"SHOW TABLES", "\"t\"\n", 1},
        {"DESCRIBE t", "", 3},
        {"desc t", "", 3},
        {"EXPLAIN SELECT * FROM t", "", 1},
        {"CALL two()", "\"1\"\n\"2\"\n", 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.statement);
        EXPECT_NE(csvStatementKind(k.statement), CsvStatementKind::Refused);
        const CsvExportOutcome outcome = run(c, k.statement);
        EXPECT_EQ(outcome.status, CsvExportOutcome::Status::Complete) << outcome.errorText;
        if (!k.lines.isEmpty()) {
            EXPECT_EQ(fileText(), k.lines);
        }
        EXPECT_EQ(fileText().count('\n'), k.lineCount);
        EXPECT_TRUE(c.exec("SELECT 1")) << c.errorLine();
    }
    EXPECT_EQ(countRows(c, "t"), 10);
}

TEST_F(CsvExportTest, AnExportedCallLeavesTheConnectionInStep) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_call");
    fillNumbers(db.admin(), 3);
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE PROCEDURE rows_of_t() BEGIN SELECT id, a FROM t ORDER BY id; END"));
    ASSERT_TRUE(
        c.exec("CREATE PROCEDURE fails_late() BEGIN SELECT id FROM t; "
               "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'late failure'; END"));

    const CsvExportOutcome outcome = run(c, "CALL rows_of_t()");
    EXPECT_EQ(outcome.status, CsvExportOutcome::Status::Complete);
    EXPECT_EQ(fileText(), "\"1\",\"a1\"\n\"2\",\"a2\"\n\"3\",\"a3\"\n");
    Result next = c.query("SELECT COUNT(*) FROM t");
    ASSERT_TRUE(next.ok()) << c.errorLine();
    ASSERT_TRUE(next.next());
    EXPECT_EQ(next.text(0U), "3");

    // A procedure that fails after its rows: the failure, not a completion.
    const CsvExportOutcome late = run(c, "CALL fails_late()");
    EXPECT_EQ(late.status, CsvExportOutcome::Status::ReadFailed);
    EXPECT_EQ(CsvExporter::outcomeText(late, path),
              "Error acquiring data.\n1644:late failure\nThe file is partial: it holds only the 3 rows read "
              "before the failure.\n" +
                  path);
    EXPECT_TRUE(c.exec("SELECT 1")) << c.errorLine();
    EXPECT_EQ(characterSets(c), "cp932/cp932");
}

TEST_F(CsvExportTest, TextIsWrittenInTheFilesCodeAndLostCharactersAreCounted) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_codes");
    ConnectParams utf8 = test::adminParams();
    utf8.characterSet = "utf8mb4";
    utf8.database = db.name();
    Connection writer;
    ASSERT_TRUE(writer.open(utf8)) << writer.errorLine();
    ASSERT_TRUE(writer.exec("CREATE TABLE m (id INT PRIMARY KEY, s VARCHAR(40), b VARBINARY(256), n INT)"));
    QByteArray allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes += static_cast<char>(i);
    ASSERT_TRUE(
        writer.exec("INSERT INTO m VALUES (1, '〜−‖¢£¬', NULL, NULL), (2, 'smile 😀 and 😀', '', 0), "
                    "(3, '日本語テキスト', NULL, NULL), (4, '𠮷野家', NULL, NULL), "
                    "(5, 'plain \"q\"', x'" +
                    allBytes.toHex().toStdString() + "', 5)"));
    QByteArray binaryCell = allBytes;
    binaryCell.replace("\"", "\"\"");
    const QByteArray lastLine = "\"5\",\"plain \"\"q\"\"\",\"" + binaryCell + "\",\"5\"\n";

    const std::string statement = "SELECT * FROM m ORDER BY id";
    const QByteArray shiftJis =
        "\"1\",\"\x81\x60\x81\x7c\x81\x61\x81\x91\x81\x92\x81\xca\",\"(null)\",\"(null)\"\n"
        "\"2\",\"smile ? and ?\",\"\",\"0\"\n"
        "\"3\",\"\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x4c\x83\x58\x83\x67\",\"(null)\",\"(null)\"\n"
        "\"4\",\"?\x96\xec\x89\xc6\",\"(null)\",\"(null)\"\n" +
        lastLine;
    const CsvExportOutcome sjis = run(db.admin(), statement);
    ASSERT_EQ(sjis.status, CsvExportOutcome::Status::Complete) << sjis.errorText;
    EXPECT_EQ(fileText(), shiftJis);
    EXPECT_EQ(sjis.unmappableValues, 2u);
    EXPECT_EQ(CsvExporter::outcomeText(sjis, path),
              "File Export Complete\n2 values held characters that Shift_JIS cannot hold; those characters "
              "were written as \"?\".");
    EXPECT_EQ(csvSample(db.admin(), statement, CsvFormat{}), shiftJis.toStdString());
    EXPECT_EQ(characterSets(db.admin()), "cp932/cp932");

    CsvFormat utf8File;
    utf8File.encoding = CsvFormat::Encoding::Utf8;
    const QByteArray utf8Text =
        "\"1\",\"〜−‖¢£¬\",\"(null)\",\"(null)\"\n"
        "\"2\",\"smile 😀 and 😀\",\"\",\"0\"\n"
        "\"3\",\"日本語テキスト\",\"(null)\",\"(null)\"\n"
        "\"4\",\"𠮷野家\",\"(null)\",\"(null)\"\n" +
        lastLine;
    const CsvExportOutcome inUtf8 = run(db.admin(), statement, utf8File);
    ASSERT_EQ(inUtf8.status, CsvExportOutcome::Status::Complete);
    EXPECT_EQ(fileText(), utf8Text);
    EXPECT_EQ(inUtf8.unmappableValues, 0u);
    EXPECT_EQ(CsvExporter::outcomeText(inUtf8, path), "File Export Complete");
    EXPECT_EQ(csvSample(db.admin(), statement, utf8File), utf8Text.toStdString());
    EXPECT_EQ(characterSets(db.admin()), "cp932/cp932");

    // A statement with Japanese names is sent as written; the server's error comes back legible.
    EXPECT_EQ(run(db.admin(), toShiftJis("SELECT 名前 FROM m WHERE s = '日本語テキスト'")).status,
              CsvExportOutcome::Status::StatementFailed);
    ASSERT_TRUE(writer.exec("ALTER TABLE m ADD 名前 VARCHAR(10) DEFAULT 'なまえ'"));
    EXPECT_EQ(run(db.admin(), toShiftJis("SELECT id, 名前 FROM m WHERE s = '日本語テキスト'")).status,
              CsvExportOutcome::Status::Complete);
    EXPECT_EQ(fileText(), "\"3\",\"" + QByteArray::fromStdString(toShiftJis("なまえ")) + "\"\n");
    const CsvExportOutcome missing = run(db.admin(), toShiftJis("Select * from 無い表"));
    EXPECT_EQ(CsvExporter::outcomeText(missing, path),
              "Error executing query.\n1146:Table 'dbk_csv_codes.無い表' doesn't exist");
    EXPECT_EQ(characterSets(db.admin()), "cp932/cp932");
}

TEST_F(CsvExportTest, ACancelledExportKeepsItsRowsAndTheConnection) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_cancel");
    fillNumbers(db.admin(), 5000);
    CsvExporter exporter(db.admin(), "Select * from t order by id", CsvFormat{});
    exporter.setProgress([&](long long row, const QString&) {
        if (row == 1)
            exporter.cancel();
    });
    const CsvExportOutcome outcome = exporter.run(path);
    EXPECT_EQ(outcome.status, CsvExportOutcome::Status::Cancelled);
    EXPECT_EQ(outcome.rows, 1u);
    EXPECT_EQ(fileText(), numberLines(1, 1));
    EXPECT_TRUE(CsvExporter::outcomeText(outcome, path).startsWith("The export was cancelled after 1 rows."));
    EXPECT_FALSE(db.admin().busy());
    EXPECT_EQ(characterSets(db.admin()), "cp932/cp932");
}

}  // namespace
}  // namespace dbk
