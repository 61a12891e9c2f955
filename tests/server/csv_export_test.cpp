#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

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

TEST_F(CsvExportTest, RowsAreStreamedWithAProgressTextEveryThousandRows) {
    DBK_REQUIRE_SERVER();
    struct Case {
        int rows;
        std::vector<long long> progress;
    } cases[] = {{2500, {1, 1001, 2001}}, {1000, {1}}, {1001, {1, 1001}}, {0, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        test::ScratchDatabase db("dbk_csv_stream");
        fillNumbers(db.admin(), c.rows);
        progressRows.clear();
        progressTexts.clear();
        ui->eventsLetThrough = 0;
        const CsvExportOutcome outcome = run(db.admin(), "Select * from dbk_csv_stream.t");
        EXPECT_EQ(outcome.status, CsvExportOutcome::Status::Complete);
        EXPECT_EQ(outcome.rows, static_cast<uint64_t>(c.rows));
        EXPECT_EQ(fileText(), numberLines(1, c.rows));
        EXPECT_EQ(progressRows, c.progress);
        EXPECT_EQ(ui->eventsLetThrough, static_cast<int>(c.progress.size()));
        if (!c.progress.empty())
            EXPECT_EQ(progressTexts.last(), csvProgressText(c.progress.back()));
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

TEST_F(CsvExportTest, TheSampleShowsSixRowsOrNothing) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_csv_sample");
    fillNumbers(db.admin(), 10);
    const CsvFormat format;
    EXPECT_EQ(csvSample(db.admin(), "Select * from t", format), numberLines(1, 6).toStdString());
    EXPECT_EQ(csvSample(db.admin(), "Select * from t where id > 8", format),
              numberLines(9, 10).toStdString());
    // The page clause cannot follow these; the sample stays empty and nothing is reported.
    EXPECT_EQ(csvSample(db.admin(), "Select * from t limit 2", format), "");
    EXPECT_EQ(csvSample(db.admin(), "Select * from t;", format), "");
    EXPECT_EQ(csvSample(db.admin(), "Select * from missing", format), "");
    EXPECT_TRUE(ui->messages.isEmpty());
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
        if (row == 1001)
            EXPECT_TRUE(killer.exec("KILL " + std::to_string(doc.connection().threadId())));
    });
    const CsvExportOutcome outcome = exporter.run(path);

    EXPECT_EQ(outcome.status, CsvExportOutcome::Status::ReadFailed);
    EXPECT_GT(outcome.rows, 1001u);
    EXPECT_LT(outcome.rows, kRows);
    EXPECT_NE(outcome.errorNumber, 0u);
    EXPECT_TRUE(CsvExporter::outcomeText(outcome, path).startsWith("Error acquiring data.\n"));
    EXPECT_EQ(fileText().count('\n'), static_cast<qsizetype>(outcome.rows));
    ASSERT_GE(ticks.size(), 2u);
    for (const auto tick : ticks)
        EXPECT_EQ(tick, CDbkeeperDoc::KeepAlive::Skipped);
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_FALSE(doc.connection().busy());
    EXPECT_EQ(doc.keepAliveTick(), CDbkeeperDoc::KeepAlive::Lost);
}

}  // namespace
}  // namespace dbk
