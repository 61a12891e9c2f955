#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "transfer/copy_engine.h"
#include "transfer/maintenance.h"
#include "transfer/script_runner.h"
#include "transfer/table_copy.h"
#include "transfer/table_dump.h"

namespace dbk {
namespace {

std::string sjis(const char* utf8) {
    return fromUi(QString::fromUtf8(utf8));
}

// The source of the copies and dumps, named with a blank and Japanese characters: every kind of
// value the transfer must keep (NULL, quotes, backslashes, NUL, line ends, ";" and "//", Japanese
// and emoji text, Shift_JIS characters whose second byte is a backslash, binary bytes 00-FF,
// empty binary values, decimals, dates and bits). grp repeats 1 in rows 1, 500, 1000, ... 2500.
const char* const kSourceName = "受注 表";

void createMixedTable(Connection& c, const std::string& database, int rows, const char* engine = "InnoDB") {
    ASSERT_TRUE(c.setCharacterSet("utf8mb4"));
    const std::string table = Connection::qualifiedName(database, kSourceName);
    ASSERT_TRUE(c.exec("CREATE TABLE " + table +
                       R"( (
            id INT PRIMARY KEY,
            grp INT,
            name VARCHAR(100),
            note TEXT,
            raw VARBINARY(64),
            blobv BLOB,
            price DECIMAL(10,2),
            made DATETIME,
            flag BIT(3),
            code CHAR(4) CHARACTER SET cp932,
            doubled INT AS (id * 2) VIRTUAL
        ) DEFAULT CHARSET=utf8mb4 ENGINE=)" +
                       engine))
        << c.errorLine();
    ASSERT_TRUE(c.exec("INSERT INTO " + table + R"( (id, grp, name, note, raw, blobv, price, made, flag, code)
        SELECT seq, IF(seq % 500 = 0, 1, seq),
          CASE seq % 7 WHEN 0 THEN NULL WHEN 1 THEN CONCAT('it''s "quoted" ', seq)
            WHEN 2 THEN CONCAT('back\\slash\\', seq) WHEN 3 THEN CONCAT('日本語テキスト', seq)
            WHEN 4 THEN CONCAT('emoji 😀🍣 ', seq) WHEN 5 THEN CONCAT('nul', CHAR(0), 'x;\n', seq)
            ELSE CONCAT('semi;', seq, ' // not a comment') END,
          IF(seq % 5 = 0, NULL, CONCAT(REPEAT('ü', seq % 13), '\r\n', seq, CHAR(26))),
          IF(seq % 3 = 0, NULL, UNHEX(SHA2(seq, 256))),
          IF(seq % 11 = 0, '', CONCAT(CHAR(0), CHAR(255), CHAR(39), CHAR(92), seq)),
          IF(seq % 4 = 0, NULL, seq / 7),
          '2024-01-01' + INTERVAL seq MINUTE,
          seq % 8,
          IF(seq % 2, '表ソ能', NULL)
        FROM seq_1_to_)" +
                       std::to_string(rows)))
        << c.errorLine();
    ASSERT_TRUE(c.setCharacterSet("cp932"));
}

std::string checksum(Connection& c, const std::string& database, const std::string& table) {
    Result r = c.query("CHECKSUM TABLE " + Connection::qualifiedName(database, table));
    EXPECT_TRUE(r.ok()) << c.errorLine();
    return r.ok() && r.next() ? r.text("Checksum") : std::string("(none)");
}

std::string scalar(Connection& c, const std::string& sql) {
    Result r = c.query(sql);
    EXPECT_TRUE(r.ok()) << sql << ": " << c.errorLine();
    return r.ok() && r.next() ? std::string(r.text(0U)) : std::string("(no row)");
}

// The columns whose values differ between two copies of the mixed table, for the failure message.
std::string differingColumns(Connection& c, const std::string& db1, const std::string& t1,
                             const std::string& db2, const std::string& t2) {
    std::string out;
    for (const char* column :
         {"grp", "name", "note", "raw", "blobv", "price", "made", "flag", "code", "doubled"}) {
        const std::string n =
            scalar(c, "SELECT GROUP_CONCAT(x.id) FROM " + Connection::qualifiedName(db1, t1) + " x JOIN " +
                          Connection::qualifiedName(db2, t2) + " y USING (id) WHERE NOT (BINARY x." + column +
                          " <=> BINARY y." + column + ")");
        if (!n.empty())
            out += std::string(column) + ": " + n.substr(0, 80) + "\n";
    }
    return out;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class TableTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        DBK_REQUIRE_SERVER();
        setInterfaceLanguage(Language::English);
    }
    QTemporaryDir dir;
    ScopedScriptedUi ui;
};

TEST_F(TableTransferTest, MaintenanceStatementsAnswerForMyIsamAndInnoDb) {
    test::ScratchDatabase db("dbk_maint_actions");
    Connection& c = db.admin();
    for (const char* engine : {"MyISAM", "InnoDB"}) {
        const std::string table = std::string("t_") + engine;
        ASSERT_TRUE(
            c.exec("CREATE TABLE " + table + " (id INT PRIMARY KEY, v VARCHAR(10)) ENGINE=" + engine));
        ASSERT_TRUE(c.exec("INSERT INTO " + table + " SELECT seq, 'x' FROM seq_1_to_50"));
        const std::string statements[] = {
            repairStatement(db.name(), table, true, true),
            checkStatement(db.name(), table, {.quick = true, .medium = true}),
            checkStatement(db.name(), table, {.fast = true, .changed = true, .extended = true}),
            analyzeStatement(db.name(), table),
        };
        for (const std::string& statement : statements) {
            const AdminResult result = runAdminStatement(c, statement);
            ASSERT_EQ(result.status, AdminResult::Status::Row) << statement << ": " << c.errorLine();
            EXPECT_FALSE(result.messageType.empty()) << statement;
            EXPECT_EQ(result.text(), result.messageType + " " + result.messageText);
        }
        EXPECT_TRUE(c.exec(optimizeStatement(db.name(), table))) << c.errorLine();
    }
    EXPECT_EQ(runAdminStatement(c, checkStatement(db.name(), "t_MyISAM", {})).messageText, "OK");
    EXPECT_EQ(runAdminStatement(c, analyzeStatement(db.name(), "missing")).messageType, "Error");
}

TEST_F(TableTransferTest, ADumpLoadedIntoAnotherDatabaseGivesTheSameTable) {
    test::ScratchDatabase db("dbk_dump_source");
    test::ScratchDatabase db2("dbk_dump_target");
    createMixedTable(db.admin(), db.name(), 2500);
    const std::string table = sjis(kSourceName);
    const QString path = dir.filePath(QStringLiteral("dump 受注.sql"));

    Session session(test::connectAdmin());
    const DumpOutcome outcome = TableDump(session.connection(), db.name(), table).run(path);
    ASSERT_TRUE(outcome.complete()) << outcome.errorText.toStdString();
    EXPECT_EQ(outcome.rows, 2500u);
    EXPECT_EQ(session.connection().characterSetName(), "cp932");

    const QList<QByteArray> lines = readAll(path).split('\n');
    ASSERT_GT(lines.size(), 2500);
    EXPECT_EQ(lines[0], "SET NAMES utf8mb4;");
    EXPECT_TRUE(lines[1].startsWith("CREATE TABLE `受注 表` ("));
    // One line per row, the last one ending the file.
    EXPECT_EQ(lines.last(), "");
    const std::string last =
        "INSERT INTO `受注 表` ( id,grp,name,note,raw,blobv,price,made,flag,code ) VALUES ( 2500,1,"
        "'it''s \"quoted\" 2500',NULL,0x" +
        scalar(db.admin(), "SELECT HEX(UNHEX(SHA2(2500, 256)))") +
        ",0x00FF275C32353030,NULL,'2024-01-02 17:40:00',0x04,NULL );";
    EXPECT_EQ(lines[lines.size() - 2].toStdString(), last);

    ScriptRunner runner(session.connection());
    ASSERT_EQ(runner.run(path, db2.name()), ScriptRunEnd::Completed) << runner.errorLog();
    EXPECT_EQ(runner.errorCount(), 0);
    EXPECT_EQ(scalar(db.admin(), "SELECT COUNT(*) FROM " + Connection::qualifiedName(db2.name(), table)),
              "2500");
    EXPECT_EQ(checksum(db.admin(), db2.name(), table), checksum(db.admin(), db.name(), table))
        << differingColumns(db.admin(), db.name(), table, db2.name(), table);
}

TEST_F(TableTransferTest, ADumpThatCannotBeWrittenSaysSo) {
    test::ScratchDatabase db("dbk_dump_fail");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT, v TEXT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t SELECT seq, REPEAT('v', 200) FROM seq_1_to_2000"));
    Session session(test::connectAdmin());
    EXPECT_EQ(TableDump(session.connection(), db.name(), "t").run(QStringLiteral("/dev/full")).status,
              DumpOutcome::Status::WriteFailed);
    EXPECT_EQ(TableDump(session.connection(), db.name(), "t")
                  .run(dir.filePath(QStringLiteral("no/such/dir.sql")))
                  .status,
              DumpOutcome::Status::FileNotOpened);
    const DumpOutcome missing =
        TableDump(session.connection(), db.name(), "missing").run(dir.filePath(QStringLiteral("m.sql")));
    EXPECT_EQ(missing.status, DumpOutcome::Status::CreateFailed);
    EXPECT_EQ(missing.errorNumber, 1146u);
    // The connection is usable and back in its own character set.
    EXPECT_EQ(session.connection().characterSetName(), "cp932");
    EXPECT_EQ(scalar(session.connection(), "SELECT 1"), "1");
}

// The copy of the whole table within one server, with and without its rows.
TEST_F(TableTransferTest, TableCopyKeepsEveryValue) {
    test::ScratchDatabase db("dbk_copy_source");
    test::ScratchDatabase db2("dbk_copy_target");
    createMixedTable(db.admin(), db.name(), 2500);
    Connection& c = db.admin();
    const std::string table = sjis(kSourceName);
    const std::string create = *createTableText(c, db.name(), table);
    const QString log = dir.filePath(QStringLiteral("rep_table.log"));

    for (const bool copyData : {true, false}) {
        TableCopyRequest request;
        request.targetDatabase = db2.name();
        request.targetTable = copyData ? "コピー 1" : "structure";
        request.createStatement = retargetedStatement(create, request.targetDatabase, request.targetTable);
        request.sourceDatabase = db.name();
        request.sourceTable = table;
        request.copyData = copyData;
        request.logPath = log;
        std::vector<uint64_t> progress;
        TableCopy copy(c);
        copy.setProgress([&](uint64_t rows) { progress.push_back(rows); });
        const TableCopyOutcome outcome = copy.run(request);
        const std::string target = clientFromUtf8(request.targetTable);
        if (!copyData) {
            EXPECT_EQ(outcome.status, TableCopyOutcome::Status::Created);
            EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM " + Connection::qualifiedName(db2.name(), target)),
                      "0");
            continue;
        }
        ASSERT_EQ(outcome.status, TableCopyOutcome::Status::Copied);
        ASSERT_TRUE(outcome.copy.complete()) << outcome.copy.errorText.toStdString();
        EXPECT_FALSE(outcome.copy.streamed);
        EXPECT_EQ(outcome.sourceRows, 2500u);
        EXPECT_EQ(outcome.copy.copied, 2500u);
        EXPECT_EQ(progress, std::vector<uint64_t>{2500});
        EXPECT_EQ(checksum(c, db2.name(), target), checksum(c, db.name(), table));
        EXPECT_EQ(TableCopy::completionText(outcome, log), QStringLiteral("正常に作成されました"));
        // Three full or partial pages, then the start of the empty fourth and the end.
        std::string expected = copyLogStartLine();
        for (uint64_t from : {0, 1000, 2000})
            expected += copyLogPageStart(from, from + 1000) + copyLogPageDone(from, from + 1000);
        expected += copyLogPageStart(3000, 4000) + copyLogEndLine();
        EXPECT_EQ(readAll(log).toStdString(), expected);
    }
    EXPECT_EQ(c.characterSetName(), "cp932");
}

// The streamed way gives the same rows as the single statement, within one server and from
// another one.
TEST_F(TableTransferTest, StreamedCopiesKeepEveryValue) {
    DBK_REQUIRE_SECOND_SERVER();
    test::ScratchDatabase db("dbk_stream_source");
    createMixedTable(db.admin(), db.name(), 2500);
    Connection& c = db.admin();
    const std::string source = utf8FromClient(db.name());
    const std::string table = sjis(kSourceName);
    ASSERT_TRUE(c.exec("CREATE TABLE " + db.name() + ".streamed LIKE " +
                       Connection::qualifiedName(db.name(), table)));

    CopyEngine within(c, c);
    within.setStreamedOnly(true);
    std::optional<CopyJob> job = CopyJob::wholeTable(c, source, kSourceName, source, "streamed");
    ASSERT_TRUE(job);
    EXPECT_EQ(job->columns.size(), 10u);  // the generated column is left out
    CopyOutcome outcome = within.run(*job);
    ASSERT_TRUE(outcome.complete()) << outcome.errorText.toStdString();
    EXPECT_TRUE(outcome.streamed);
    EXPECT_EQ(outcome.copied, 2500u);
    EXPECT_EQ(checksum(c, db.name(), "streamed"), checksum(c, db.name(), table));

    Connection other = test::connectSecondAdmin();
    ASSERT_TRUE(other.exec("DROP DATABASE IF EXISTS dbk_stream_target"));
    ASSERT_TRUE(other.exec("CREATE DATABASE dbk_stream_target"));
    ASSERT_TRUE(other.exec(clientFromUtf8(
        retargetedStatement(*createTableText(c, db.name(), table), "dbk_stream_target", "copied"))));
    CopyEngine between(c, other);
    job = CopyJob::wholeTable(c, source, kSourceName, "dbk_stream_target", "copied");
    outcome = between.run(*job);
    ASSERT_TRUE(outcome.complete()) << outcome.errorText.toStdString();
    EXPECT_EQ(outcome.copied, 2500u);
    EXPECT_EQ(checksum(other, "dbk_stream_target", "copied"), checksum(c, db.name(), table));
    EXPECT_EQ(other.characterSetName(), "cp932");
    other.exec("DROP DATABASE dbk_stream_target");
}

// A hand-edited statement adds a unique key that rows 500, 1000, ... 2500 break (they repeat the
// grp of row 1), on a table without transactions: exactly those rows are logged and missing.
TEST_F(TableTransferTest, RowsTheNewTableRefusesAreLoggedAndTheOthersArrive) {
    test::ScratchDatabase db("dbk_copy_unique");
    createMixedTable(db.admin(), db.name(), 2500);
    Connection& c = db.admin();
    std::string create =
        retargetedStatement(*createTableText(c, db.name(), sjis(kSourceName)), db.name(), "u");
    create = retypedStatement(create, "MyISAM", "ENGINE=MyISAM");
    create.insert(create.find("PRIMARY KEY"), "UNIQUE KEY by_grp (grp),\n  ");
    TableCopyRequest request;
    request.createStatement = create;
    request.sourceDatabase = db.name();
    request.sourceTable = sjis(kSourceName);
    request.targetDatabase = db.name();
    request.targetTable = "u";
    request.copyData = true;
    request.logPath = dir.filePath(QStringLiteral("rep_table.log"));
    const TableCopyOutcome outcome = TableCopy(c).run(request);
    ASSERT_EQ(outcome.status, TableCopyOutcome::Status::Copied);
    ASSERT_TRUE(outcome.copy.complete()) << outcome.copy.errorText.toStdString();
    EXPECT_TRUE(outcome.copy.streamed);
    EXPECT_EQ(outcome.copy.refused, 5u);
    EXPECT_EQ(outcome.copy.copied, 2495u);
    EXPECT_EQ(outcome.copy.errorNumber, 1062u);
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM " + db.name() + ".u"), "2495");
    EXPECT_EQ(scalar(c, "SELECT GROUP_CONCAT(id ORDER BY id) FROM " +
                            Connection::qualifiedName(db.name(), sjis(kSourceName)) +
                            " WHERE id NOT IN (SELECT id FROM " + db.name() + ".u)"),
              "500,1000,1500,2000,2500");

    const std::string log = readAll(request.logPath).toStdString();
    std::vector<std::string> refused;
    for (size_t at = log.find("\nError: Query="); at != std::string::npos;
         at = log.find("\nError: Query=", at + 1))
        refused.push_back(log.substr(at, log.find('\n', at + 1) - at));
    ASSERT_EQ(refused.size(), 5u) << log.substr(0, 2000);
    for (size_t i = 0; i < refused.size(); ++i)
        EXPECT_NE(refused[i].find("VALUES ( " + std::to_string((i + 1) * 500) + ",1,"), std::string::npos)
            << refused[i];
    // Each refused row is logged within the page it belongs to.
    const auto error = [&refused](size_t i) { return copyLogErrorLine(refused[i].substr(14)); };
    EXPECT_NE(log.find(copyLogPageStart(0, 1000) + error(0) + error(1) + copyLogPageDone(0, 1000) +
                       copyLogPageStart(1000, 2000) + error(2) + error(3) + copyLogPageDone(1000, 2000) +
                       copyLogPageStart(2000, 3000) + error(4) + copyLogPageDone(2000, 3000)),
              std::string::npos)
        << log;
    EXPECT_TRUE(log.ends_with(copyLogPageStart(3000, 4000) + copyLogEndLine()));
    const QString notice = TableCopy::completionText(outcome, request.logPath);
    EXPECT_TRUE(notice.startsWith(QStringLiteral("正常に作成されました\n5 of 2500 rows could not be copied")))
        << notice.toStdString();
    EXPECT_TRUE(notice.contains(request.logPath));
}

TEST_F(TableTransferTest, ACopyThatCannotStartSendsNothingAndDamagesNothing) {
    test::ScratchDatabase db("dbk_copy_refused");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE src (id INT PRIMARY KEY)"));
    ASSERT_TRUE(c.exec("INSERT INTO src SELECT seq FROM seq_1_to_10"));
    ASSERT_TRUE(c.exec("CREATE TABLE existing (id INT)"));
    ASSERT_TRUE(c.exec("INSERT INTO existing VALUES (42)"));
    TableCopyRequest request;
    request.sourceDatabase = db.name();
    request.sourceTable = "src";
    request.targetDatabase = db.name();
    request.copyData = true;
    const std::string create = *createTableText(c, db.name(), "src");

    // A log that cannot be created: not even the table is made.
    request.targetTable = "fresh";
    request.createStatement = retargetedStatement(create, db.name(), "fresh");
    request.logPath = dir.filePath(QStringLiteral("no/such/dir/rep_table.log"));
    EXPECT_EQ(TableCopy(c).run(request).status, TableCopyOutcome::Status::LogNotCreated);
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='" + db.name() +
                            "' AND TABLE_NAME='fresh'"),
              "0");

    // A target that exists: the server's refusal, the table as it was.
    request.targetTable = "existing";
    request.createStatement = retargetedStatement(create, db.name(), "existing");
    request.logPath = dir.filePath(QStringLiteral("rep_table.log"));
    const TableCopyOutcome exists = TableCopy(c).run(request);
    EXPECT_EQ(exists.status, TableCopyOutcome::Status::CreateRefused);
    EXPECT_EQ(exists.errorNumber, 1050u);
    EXPECT_TRUE(exists.errorText.contains(QStringLiteral("existing")));
    EXPECT_EQ(scalar(c, "SELECT GROUP_CONCAT(id) FROM existing"), "42");
}

// The source is dropped from a second connection after the copy has started.
class DroppingSink : public CopyLogSink {
public:
    explicit DroppingSink(std::string drop) : drop_(std::move(drop)) {}
    void started() override {
        Connection other = test::connectAdmin();
        EXPECT_TRUE(other.exec(drop_)) << other.errorLine();
        lines.push_back("started");
    }
    void pageStarted(uint64_t from, uint64_t) override { lines.push_back("page " + std::to_string(from)); }
    void rowRefused(std::string_view, unsigned int, const QString&) override { lines.push_back("refused"); }
    void pageDone(uint64_t from, uint64_t) override { lines.push_back("done " + std::to_string(from)); }
    void finished() override { lines.push_back("finished"); }
    void readFailed() override { lines.push_back("read failed"); }
    std::vector<std::string> lines;

private:
    std::string drop_;
};

TEST_F(TableTransferTest, ASourceThatVanishesEndsTheCopyWithItsError) {
    test::ScratchDatabase db("dbk_copy_vanish");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec("CREATE TABLE src (id INT PRIMARY KEY, v TEXT)"));
    ASSERT_TRUE(c.exec("INSERT INTO src SELECT seq, 'v' FROM seq_1_to_3000"));
    ASSERT_TRUE(c.exec("CREATE TABLE dst LIKE src"));
    for (const bool streamed : {false, true}) {
        if (streamed) {
            ASSERT_TRUE(c.exec("CREATE TABLE src (id INT PRIMARY KEY, v TEXT)"));
        }
        std::optional<CopyJob> job = CopyJob::wholeTable(c, db.name(), "src", db.name(), "dst");
        ASSERT_TRUE(job);
        DroppingSink sink("DROP TABLE " + db.name() + ".src");
        CopyEngine engine(c, c);
        engine.setStreamedOnly(streamed);
        engine.setLogSink(&sink);
        const CopyOutcome outcome = engine.run(*job);
        EXPECT_EQ(outcome.status, CopyOutcome::Status::SourceFailed);
        EXPECT_EQ(outcome.errorNumber, 1146u);
        EXPECT_TRUE(outcome.errorText.contains(QStringLiteral("src"))) << outcome.errorText.toStdString();
        EXPECT_EQ(sink.lines, (std::vector<std::string>{"started", "page 0", "read failed"}));
        EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM dst"), "0");
    }
}

}  // namespace
}  // namespace dbk
