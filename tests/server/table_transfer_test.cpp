#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "conn/saved_host.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "transfer/copy_engine.h"
#include "transfer/database_copy.h"
#include "transfer/maintenance.h"
#include "transfer/script_runner.h"
#include "transfer/server_copy.h"
#include "transfer/table_copy.h"
#include "transfer/table_dump.h"

namespace dbk {
namespace {

std::string sjis(const char* utf8) {
    return toShiftJis(QString::fromUtf8(utf8));
}

// The source of the copies and dumps, named with a blank and Japanese characters: every kind of
// value the transfer must keep (NULL, quotes, backslashes, NUL, line ends, ";" and "//", Japanese
// and emoji text, Shift_JIS characters whose second byte is a backslash, binary bytes 00-FF,
// empty binary values, decimals, dates and bits). grp repeats 1 in rows 1, 500, 1000, ... 2500.
const char* const kSourceName = "受注 表";

void createMixedTable(Connection& c, const std::string& database, int rows, const char* engine = "InnoDB") {
    ASSERT_TRUE(c.setCharacterSet("utf8mb4"));
    const std::string table = test::sqlName(database, kSourceName);
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

// The columns whose values differ between two copies of the mixed table, for the failure message.
std::string differingColumns(Connection& c, const std::string& db1, const std::string& t1,
                             const std::string& db2, const std::string& t2) {
    std::string out;
    for (const char* column :
         {"grp", "name", "note", "raw", "blobv", "price", "made", "flag", "code", "doubled"}) {
        const std::string n =
            test::scalar(c, "SELECT GROUP_CONCAT(x.id) FROM " + test::sqlName(db1, t1) + " x JOIN " +
                                test::sqlName(db2, t2) + " y USING (id) WHERE NOT (BINARY x." + column +
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
            repairStatement(c, db.name(), table, true, true),
            checkStatement(c, db.name(), table, {.quick = true, .medium = true}),
            checkStatement(c, db.name(), table, {.fast = true, .changed = true, .extended = true}),
            analyzeStatement(c, db.name(), table),
        };
        for (const std::string& statement : statements) {
            const AdminResult result = runAdminStatement(c, statement);
            ASSERT_EQ(result.status, AdminResult::Status::Row) << statement << ": " << c.errorLine();
            EXPECT_FALSE(result.messageType.empty()) << statement;
            EXPECT_EQ(result.text(), result.messageType + " " + result.messageText);
        }
        EXPECT_TRUE(c.exec(optimizeStatement(c, db.name(), table))) << c.errorLine();
    }
    EXPECT_EQ(runAdminStatement(c, checkStatement(c, db.name(), "t_MyISAM", {})).messageText, "OK");
    EXPECT_EQ(runAdminStatement(c, analyzeStatement(c, db.name(), "missing")).messageType, "Error");
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
        test::scalar(db.admin(), "SELECT HEX(UNHEX(SHA2(2500, 256)))") +
        ",0x00FF275C32353030,NULL,'2024-01-02 17:40:00',0x04,NULL );";
    EXPECT_EQ(lines[lines.size() - 3].toStdString(), last);
    EXPECT_EQ(lines[lines.size() - 2].toStdString(), "SET SESSION sql_mode = @dbk_saved_sql_mode;");

    ScriptRunner runner(session.connection());
    ASSERT_EQ(runner.run(path, db2.name()), ScriptRunEnd::Completed) << runner.errorLog();
    EXPECT_EQ(runner.errorCount(), 0);
    EXPECT_EQ(test::scalar(db.admin(), "SELECT COUNT(*) FROM " + test::sqlName(db2.name(), table)), "2500");
    EXPECT_EQ(test::checksum(db.admin(), db2.name(), table), test::checksum(db.admin(), db.name(), table))
        << differingColumns(db.admin(), db.name(), table, db2.name(), table);
}

// A column name that closes its backquote in Shift_JIS but not in UTF-8 (あ ends in 0x82, which
// Shift_JIS reads as a first byte) is one name in the dump's UTF-8 statements: the dump holds the
// table's own values and loads back, and nothing else is read.
TEST_F(TableTransferTest, ADumpReadsAndWritesOnlyTheColumnsTheTableHas) {
    test::ScratchDatabase db("dbk_dump_names");
    test::ScratchDatabase db2("dbk_dump_names_back");
    const std::string trap = "あ`,(SELECT CURRENT_USER)FROM t#";
    Connection& admin = db.admin();
    ASSERT_TRUE(admin.setCharacterSet("utf8mb4"));
    ASSERT_TRUE(admin.exec("CREATE TABLE t (" + Connection::ident("あ", NameQuoting::Bytes) + " INT, " +
                           Connection::ident(trap, NameQuoting::Bytes) + " VARCHAR(200))"))
        << admin.errorLine();
    ASSERT_TRUE(admin.exec("INSERT INTO t VALUES (1, 'own')"));
    ASSERT_TRUE(admin.setCharacterSet("cp932"));
    const QString path = dir.filePath(QStringLiteral("names.sql"));
    Session session(test::connectAdmin());
    const DumpOutcome outcome = TableDump(session.connection(), db.name(), "t").run(path);
    ASSERT_TRUE(outcome.complete()) << outcome.errorText.toStdString();
    const QList<QByteArray> lines = readAll(path).split('\n');
    QList<QByteArray> inserts;
    for (const QByteArray& line : lines) {
        if (line.startsWith("INSERT INTO"))
            inserts.append(line);
    }
    ASSERT_EQ(inserts.size(), 1);
    EXPECT_TRUE(inserts[0].endsWith("VALUES ( 1,'own' );")) << inserts[0].toStdString();
    ScriptRunner runner(session.connection());
    ASSERT_EQ(runner.run(path, db2.name()), ScriptRunEnd::Completed) << runner.errorLog();
    EXPECT_EQ(test::checksum(admin, db2.name(), "t"), test::checksum(admin, db.name(), "t"));
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
    EXPECT_EQ(test::scalar(session.connection(), "SELECT 1"), "1");
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
        const std::string target = clientFromUtf8(request.targetTable, ServerEncoding::ShiftJis);
        if (!copyData) {
            EXPECT_EQ(outcome.status, TableCopyOutcome::Status::Created);
            EXPECT_EQ(test::scalar(c, "SELECT COUNT(*) FROM " + test::sqlName(db2.name(), target)), "0");
            continue;
        }
        ASSERT_EQ(outcome.status, TableCopyOutcome::Status::Copied);
        ASSERT_TRUE(outcome.copy.complete()) << outcome.copy.errorText.toStdString();
        EXPECT_FALSE(outcome.copy.streamed);
        EXPECT_EQ(outcome.sourceRows, 2500u);
        EXPECT_EQ(outcome.copy.copied, 2500u);
        EXPECT_EQ(progress, std::vector<uint64_t>{2500});
        EXPECT_EQ(test::checksum(c, db2.name(), target), test::checksum(c, db.name(), table));
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
    const std::string source = utf8FromClient(db.name(), ServerEncoding::ShiftJis);
    const std::string table = sjis(kSourceName);
    ASSERT_TRUE(c.exec("CREATE TABLE " + db.name() + ".streamed LIKE " + test::sqlName(db.name(), table)));

    CopyEngine within(c, c);
    within.setStreamedOnly(true);
    std::optional<CopyJob> job = CopyJob::wholeTable(c, source, kSourceName, source, "streamed");
    ASSERT_TRUE(job);
    EXPECT_EQ(job->columns.size(), 10u);  // the generated column is left out
    CopyOutcome outcome = within.run(*job);
    ASSERT_TRUE(outcome.complete()) << outcome.errorText.toStdString();
    EXPECT_TRUE(outcome.streamed);
    EXPECT_EQ(outcome.copied, 2500u);
    EXPECT_EQ(test::checksum(c, db.name(), "streamed"), test::checksum(c, db.name(), table));

    Connection other = test::connectSecondAdmin();
    ASSERT_TRUE(other.exec("DROP DATABASE IF EXISTS dbk_stream_target"));
    ASSERT_TRUE(other.exec("CREATE DATABASE dbk_stream_target"));
    ASSERT_TRUE(other.exec(clientFromUtf8(
        retargetedStatement(*createTableText(c, db.name(), table), "dbk_stream_target", "copied"),
        ServerEncoding::ShiftJis)));
    CopyEngine between(c, other);
    job = CopyJob::wholeTable(c, source, kSourceName, "dbk_stream_target", "copied");
    outcome = between.run(*job);
    ASSERT_TRUE(outcome.complete()) << outcome.errorText.toStdString();
    EXPECT_EQ(outcome.copied, 2500u);
    EXPECT_EQ(test::checksum(other, "dbk_stream_target", "copied"), test::checksum(c, db.name(), table));
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
    EXPECT_EQ(test::scalar(c, "SELECT COUNT(*) FROM " + db.name() + ".u"), "2495");
    EXPECT_EQ(test::scalar(c, "SELECT GROUP_CONCAT(id ORDER BY id) FROM " +
                                  test::sqlName(db.name(), sjis(kSourceName)) +
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
    EXPECT_EQ(test::scalar(c, "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='" +
                                  db.name() + "' AND TABLE_NAME='fresh'"),
              "0");

    // A target that exists: the server's refusal, the table as it was.
    request.targetTable = "existing";
    request.createStatement = retargetedStatement(create, db.name(), "existing");
    request.logPath = dir.filePath(QStringLiteral("rep_table.log"));
    const TableCopyOutcome exists = TableCopy(c).run(request);
    EXPECT_EQ(exists.status, TableCopyOutcome::Status::CreateRefused);
    EXPECT_EQ(exists.errorNumber, 1050u);
    EXPECT_TRUE(exists.errorText.contains(QStringLiteral("existing")));
    EXPECT_EQ(test::scalar(c, "SELECT GROUP_CONCAT(id) FROM existing"), "42");
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
        EXPECT_EQ(test::scalar(c, "SELECT COUNT(*) FROM dst"), "0");
    }
}

// A database of the second server, dropped afterwards.
struct SecondServerDatabase {
    explicit SecondServerDatabase(std::string databaseName)
        : name(std::move(databaseName)), admin(test::connectSecondAdmin()) {
        admin.exec("DROP DATABASE IF EXISTS " + name);
        EXPECT_TRUE(admin.exec("CREATE DATABASE " + name + " CHARACTER SET utf8mb4")) << admin.errorLine();
        EXPECT_TRUE(admin.selectDb(name));  // the sequence tables are in every database
    }
    ~SecondServerDatabase() { admin.exec("DROP DATABASE IF EXISTS " + name); }
    std::string name;
    Connection admin;
};

// The log of a complete copy of `rows` rows in batches of `batch`.
std::string completeLog(uint64_t rows, uint64_t batch) {
    std::string log = copyLogStartLine();
    const uint64_t pages = (rows + batch - 1) / batch;
    for (uint64_t page = 0; page < pages; ++page)
        log += copyLogPageStart(page * batch, page * batch + batch) +
               copyLogPageDone(page * batch, page * batch + batch);
    return log + copyLogPageStart(pages * batch, pages * batch + batch) + copyLogEndLine();
}

// A table of the second server copied into this one with the batch size as typed: every value
// arrives, the log has a page per batch, and a batch size that is no count copies nothing.
TEST_F(TableTransferTest, ATableOfAnotherServerArrivesInBatches) {
    DBK_REQUIRE_SECOND_SERVER();
    SecondServerDatabase source("dbk_other_source");
    createMixedTable(source.admin, source.name, 2500);
    test::ScratchDatabase db("dbk_other_target");
    Connection& target = db.admin();
    const std::string table = sjis(kSourceName);
    const std::string create = *createTableText(source.admin, source.name, table);
    const std::string sourceSum = test::checksum(source.admin, source.name, table);
    const QString log = dir.filePath(QStringLiteral("rep_other_server.log"));

    struct Case {
        const char* batch;
        const char* name;
        uint64_t copied;
        std::string log;
    } cases[] = {
        {"1000", "写し 1000", 2500, completeLog(2500, 1000)},
        {"500", "写し 500", 2500, completeLog(2500, 500)},
        {"10000000", "big", 2500, completeLog(2500, 10000000)},
        {"0", "zero", 0, copyLogStartLine()},
        {"abc", "abc", 0, copyLogStartLine()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.batch);
        TableCopyRequest request;
        request.createStatement = retargetedStatement(create, db.name(), c.name);
        request.sourceDatabase = source.name;
        request.sourceTable = table;
        request.targetDatabase = db.name();
        request.targetTable = c.name;
        request.copyData = true;
        request.logPath = log;
        TableCopy copy(source.admin, target);
        copy.setBatchRows(batchRowsFromText(c.batch));
        const TableCopyOutcome outcome = copy.run(request);
        ASSERT_EQ(outcome.status, TableCopyOutcome::Status::Copied);
        EXPECT_EQ(outcome.copy.copied, c.copied);
        EXPECT_EQ(readAll(log).toStdString(), c.log);
        const std::string copied = test::sqlName(db.name(), clientFromUtf8(c.name, ServerEncoding::ShiftJis));
        EXPECT_EQ(test::scalar(target, "SELECT COUNT(*) FROM " + copied), std::to_string(c.copied));
        if (c.copied == 0) {
            // The table was made; the notice says why it is empty.
            EXPECT_TRUE(outcome.noBatchSize);
            EXPECT_EQ(TableCopy::completionText(outcome, log),
                      QStringLiteral("正常に作成されました\n") + msg(TableCopy::kNoBatchSizeMessage));
            continue;
        }
        ASSERT_TRUE(outcome.copy.complete()) << outcome.copy.errorText.toStdString();
        EXPECT_TRUE(outcome.copy.streamed);
        EXPECT_EQ(outcome.copy.refused, 0U);
        EXPECT_EQ(test::checksum(target, db.name(), clientFromUtf8(c.name, ServerEncoding::ShiftJis)),
                  sourceSum);
    }
    EXPECT_EQ(source.admin.characterSetName(), "cp932");
    EXPECT_EQ(target.characterSetName(), "cp932");

    // A table of that name exists now: the refusal comes back and its rows stay as they were.
    TableCopyRequest again;
    again.createStatement = retargetedStatement(create, db.name(), "big");
    again.sourceDatabase = source.name;
    again.sourceTable = table;
    again.targetDatabase = db.name();
    again.targetTable = "big";
    again.copyData = true;
    again.logPath = log;
    const TableCopyOutcome refused = TableCopy(source.admin, target).run(again);
    EXPECT_EQ(refused.status, TableCopyOutcome::Status::CreateRefused);
    EXPECT_EQ(refused.errorNumber, 1050U);
    EXPECT_EQ(test::scalar(target, "SELECT COUNT(*) FROM " + db.name() + ".big"), "2500");
    EXPECT_EQ(test::checksum(target, db.name(), "big"), sourceSum);

    // The source table went away after it was chosen: the new table stays empty and the copy says
    // why.
    ASSERT_TRUE(source.admin.exec("DROP TABLE " + test::sqlName(source.name, table)));
    again.createStatement = retargetedStatement(create, db.name(), "gone");
    again.targetTable = "gone";
    const TableCopyOutcome gone = TableCopy(source.admin, target).run(again);
    ASSERT_EQ(gone.status, TableCopyOutcome::Status::Copied);
    EXPECT_EQ(gone.copy.status, CopyOutcome::Status::SourceFailed);
    EXPECT_EQ(gone.copy.errorNumber, 1146U);
    EXPECT_TRUE(TableCopy::completionText(gone, log).contains(msgf(TableCopy::kSourceFailedMessage, 0)));
    EXPECT_EQ(test::scalar(target, "SELECT COUNT(*) FROM " + db.name() + ".gone"), "0");
}

// A saved server that is this server: the copy still takes two connections, and the rows arrive.
TEST_F(TableTransferTest, ASavedServerThatIsThisServerCopiesOverTwoConnections) {
    test::ScratchDatabase db("dbk_self_copy");
    createMixedTable(db.admin(), db.name(), 1200);
    const ConnectParams admin = test::adminParams();
    Session saved;
    ASSERT_TRUE(saved.open(
        connectParamsFor({"self", admin.host, admin.user, admin.password, std::to_string(admin.port)})))
        << saved.connection().errorLine();
    Connection& target = db.admin();
    EXPECT_NE(saved.connection().threadId(), target.threadId());
    const std::string table = sjis(kSourceName);
    TableCopyRequest request;
    request.createStatement =
        retargetedStatement(*createTableText(target, db.name(), table), db.name(), "self");
    request.sourceDatabase = db.name();
    // Named as the saved server's own session (today's UTF-8) lists it.
    request.sourceTable = recodeServer(table, ServerEncoding::ShiftJis, serverEncoding(saved.connection()));
    request.targetDatabase = db.name();
    request.targetTable = "self";
    request.copyData = true;
    request.logPath = dir.filePath(QStringLiteral("rep_other_server.log"));
    TableCopy copy(saved.connection(), target);
    copy.setBatchRows(500);
    const TableCopyOutcome outcome = copy.run(request);
    ASSERT_TRUE(outcome.copy.complete()) << outcome.copy.errorText.toStdString();
    EXPECT_EQ(outcome.copy.copied, 1200U);
    EXPECT_EQ(readAll(request.logPath).toStdString(), completeLog(1200, 500));
    EXPECT_EQ(test::checksum(target, db.name(), "self"), test::checksum(target, db.name(), table));
}

std::string engineOf(Connection& c, const std::string& database, const std::string& table) {
    return test::scalar(c, "SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                               c.escape(database) + "' AND TABLE_NAME = '" + c.escape(table) + "'");
}

// Three tables of three engines (one with every kind of value and a Japanese name), a child table
// listed before the parent its foreign key names, and views, one using the other.
void createDatabaseToCopy(Connection& c, const std::string& database) {
    createMixedTable(c, database, 1500);
    const std::string in = test::sqlName(database) + ".";
    for (const std::string& sql : {
             "CREATE TABLE " + in + "b_parent (id INT PRIMARY KEY, v VARCHAR(10)) ENGINE=InnoDB",
             "CREATE TABLE " + in +
                 "a_child (id INT PRIMARY KEY, parent INT, FOREIGN KEY (parent) REFERENCES " + in +
                 "b_parent (id)) ENGINE=InnoDB",
             "CREATE TABLE " + in + "m (id INT PRIMARY KEY, v TEXT) ENGINE=MyISAM",
             "CREATE TABLE " + in + "h (id INT PRIMARY KEY, v VARCHAR(20)) ENGINE=MEMORY",
             "INSERT INTO " + in + "b_parent SELECT seq, 'p' FROM seq_1_to_100",
             "INSERT INTO " + in + "a_child SELECT seq, seq % 100 + 1 FROM seq_1_to_300",
             "INSERT INTO " + in + "m SELECT seq, REPEAT('m', seq) FROM seq_1_to_200",
             "INSERT INTO " + in + "h SELECT seq, CONCAT('h', seq) FROM seq_1_to_50",
             "CREATE VIEW " + in + "z_base AS SELECT c.id, p.v FROM " + in + "a_child c JOIN " + in +
                 "b_parent p ON p.id = c.parent",
             "CREATE VIEW " + in + "a_on_view AS SELECT COUNT(*) AS n FROM " + in + "z_base",
         })
        ASSERT_TRUE(c.exec(sql)) << sql << ": " << c.errorLine();
}

TEST_F(TableTransferTest, ADatabaseCopyKeepsTablesEnginesRowsAndViews) {
    test::ScratchDatabase db("dbk_dbcopy_source");
    Connection& c = db.admin();
    createDatabaseToCopy(c, db.name());
    const std::string copy = "dbk_dbcopy_target";
    c.exec("DROP DATABASE IF EXISTS " + copy);
    EXPECT_FALSE(databaseExists(c, copy));
    const DatabaseCopyOutcome outcome = DatabaseCopy(c).run(db.name(), copy);
    struct DropCopy {
        Connection& c;
        std::string name;
        ~DropCopy() { c.exec("DROP DATABASE IF EXISTS " + name); }
    } dropCopy{c, copy};
    ASSERT_EQ(outcome.status, DatabaseCopyOutcome::Status::Copied);
    EXPECT_EQ(outcome.failures, 0U) << outcome.failedName << ": " << outcome.errorText.toStdString();
    EXPECT_EQ(outcome.tablesCreated, 5U);
    EXPECT_EQ(outcome.viewsCreated, 2U);
    EXPECT_EQ(outcome.rowsCopied, 1500U + 100 + 300 + 200 + 50);
    EXPECT_TRUE(databaseExists(c, copy));
    for (const std::string& table : {sjis(kSourceName), std::string("a_child"), std::string("b_parent"),
                                     std::string("m"), std::string("h")}) {
        SCOPED_TRACE(fromShiftJis(table).toStdString());
        EXPECT_EQ(test::checksum(c, copy, table), test::checksum(c, db.name(), table));
        EXPECT_EQ(engineOf(c, copy, table), engineOf(c, db.name(), table));
    }
    EXPECT_EQ(engineOf(c, copy, "m"), "MyISAM");
    EXPECT_EQ(engineOf(c, copy, "h"), "MEMORY");
    // The views read the new database's tables.
    EXPECT_EQ(test::scalar(c, "SELECT n FROM " + copy + ".a_on_view"), "300");
    EXPECT_EQ(test::scalar(c, "SELECT COUNT(*) FROM information_schema.VIEWS WHERE TABLE_SCHEMA = '" + copy +
                                  "' AND VIEW_DEFINITION LIKE '%dbk\\_dbcopy\\_source%'"),
              "0");
    EXPECT_EQ(test::scalar(c, "SELECT @@foreign_key_checks"), "1");
    EXPECT_EQ(c.characterSetName(), "cp932");
    EXPECT_TRUE(DatabaseCopy::completionText(outcome).startsWith(QStringLiteral("正常に作成されました\n")));

    // Into a database that exists (here: the copy itself, once more): the tables there stay as
    // they were, nothing is doubled, and every refusal is counted.
    ASSERT_TRUE(c.exec("DELETE FROM " + copy + ".m WHERE id > 10"));
    const DatabaseCopyOutcome again = DatabaseCopy(c).run(db.name(), copy);
    EXPECT_EQ(again.status, DatabaseCopyOutcome::Status::Copied);
    EXPECT_EQ(again.tablesCreated, 0U);
    EXPECT_EQ(again.rowsCopied, 0U);
    EXPECT_EQ(again.failures, 7U);  // five tables and two views
    EXPECT_EQ(again.errorNumber, 1050U);
    EXPECT_EQ(test::scalar(c, "SELECT COUNT(*) FROM " + copy + ".m"), "10");
    EXPECT_EQ(test::scalar(c, "SELECT COUNT(*) FROM " + copy + ".h"), "50");
    const QString text = DatabaseCopy::completionText(again);
    EXPECT_TRUE(text.startsWith(msg(DatabaseCopy::kIncompleteMessage))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("a_child"))) << text.toStdString();
}

// Names the CREATE text must be read as names, not cut at their first "(": they copy through the
// table copy, the copy from another server and the database copy; a view's text keeps a literal
// that names the source database.
TEST_F(TableTransferTest, NamesWithParenthesesAndBackquotesCopyEveryWay) {
    test::ScratchDatabase db("dbk_odd_names");
    test::ScratchDatabase db2("dbk_odd_names_to");
    Connection& c = db.admin();
    const std::vector<std::string> names = {"t(1)", "a`b (x", "(", "`"};
    const auto fill = [&](Connection& on, const std::string& database) {
        for (const std::string& name : names) {
            const std::string table = test::sqlName(database, name);
            ASSERT_TRUE(on.exec("CREATE TABLE " + table + " (id INT PRIMARY KEY, `v(``x` VARCHAR(10))"))
                << on.errorLine();
            std::string rows;
            for (int id = 1; id <= 30; ++id)
                rows += (id > 1 ? ",(" : "(") + std::to_string(id) + ",'(" + std::to_string(id) + "')";
            ASSERT_TRUE(on.exec("INSERT INTO " + table + " VALUES " + rows)) << on.errorLine();
        }
    };
    fill(c, db.name());
    ASSERT_TRUE(c.exec("CREATE VIEW " + db.name() + ".v AS SELECT id, 'see `" + db.name() +
                       "`.t' AS note FROM " + test::sqlName(db.name(), "t(1)")))
        << c.errorLine();
    const auto copied = [&](Connection& from, const std::string& fromDb, Connection& to,
                            const std::string& toDb, const std::string& name) {
        TableCopyRequest request;
        request.createStatement =
            retargetedStatement(createTableText(from, fromDb, name).value_or(""), toDb, name);
        request.sourceDatabase = fromDb;
        request.sourceTable = name;
        request.targetDatabase = toDb;
        request.targetTable = name;
        request.copyData = true;
        request.logPath = dir.filePath(QStringLiteral("rep_table.log"));
        const TableCopyOutcome outcome = TableCopy(from, to).run(request);
        EXPECT_EQ(outcome.status, TableCopyOutcome::Status::Copied)
            << name << ": " << outcome.errorText.toStdString() << "\n"
            << request.createStatement;
        return outcome.copy.copied;
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(copied(c, db.name(), c, db2.name(), name), 30u);
        EXPECT_EQ(test::checksum(c, db2.name(), name), test::checksum(c, db.name(), name));
    }

    const DatabaseCopyOutcome whole = DatabaseCopy(c).run(db.name(), "dbk_odd_names_copy");
    struct DropCopy {
        Connection& c;
        ~DropCopy() { c.exec("DROP DATABASE IF EXISTS dbk_odd_names_copy"); }
    } dropCopy{c};
    EXPECT_EQ(whole.failures, 0U) << whole.failedName << ": " << whole.errorText.toStdString();
    EXPECT_EQ(whole.tablesCreated, names.size());
    EXPECT_EQ(whole.viewsCreated, 1U);
    for (const std::string& name : names)
        EXPECT_EQ(test::checksum(c, "dbk_odd_names_copy", name), test::checksum(c, db.name(), name)) << name;
    EXPECT_EQ(test::scalar(c, "SELECT note FROM dbk_odd_names_copy.v LIMIT 1"), "see `dbk_odd_names`.t");
    EXPECT_EQ(test::scalar(c, "SELECT COUNT(*) FROM dbk_odd_names_copy.v"), "30");

    if (!test::secondServerConfigured())
        return;
    Connection other = test::connectSecondAdmin();
    ASSERT_TRUE(other.exec("DROP DATABASE IF EXISTS dbk_odd_names_other"));
    ASSERT_TRUE(other.exec("CREATE DATABASE dbk_odd_names_other"));
    struct DropOther {
        Connection& c;
        ~DropOther() { c.exec("DROP DATABASE IF EXISTS dbk_odd_names_other"); }
    } dropOther{other};
    fill(other, "dbk_odd_names_other");
    ASSERT_TRUE(c.exec("CREATE DATABASE dbk_odd_names_from"));
    struct DropFrom {
        Connection& c;
        ~DropFrom() { c.exec("DROP DATABASE IF EXISTS dbk_odd_names_from"); }
    } dropFrom{c};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(copied(other, "dbk_odd_names_other", c, "dbk_odd_names_from", name), 30u);
        EXPECT_EQ(test::checksum(c, "dbk_odd_names_from", name),
                  test::checksum(other, "dbk_odd_names_other", name));
    }
}

// An account that may not create the database: nothing is written, and the server's error shows.
TEST_F(TableTransferTest, ADatabaseCopyTheServerRefusesWritesNothing) {
    test::ScratchDatabase db("dbk_user_dbcopy");  // the restricted account's own database
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t VALUES (1), (2)"));
    Connection user;
    ASSERT_TRUE(user.open(test::normalUserParams())) << user.errorLine();
    const DatabaseCopyOutcome refused = DatabaseCopy(user).run(db.name(), "dbk_not_allowed_copy");
    EXPECT_EQ(refused.status, DatabaseCopyOutcome::Status::CreateRefused);
    EXPECT_EQ(refused.errorNumber, 1044U);
    EXPECT_TRUE(DatabaseCopy::completionText(refused).startsWith(msg(DatabaseCopy::kCreateRefusedMessage)));
    EXPECT_FALSE(databaseExists(db.admin(), "dbk_not_allowed_copy"));

    // Where it may: the copy works for it too.
    const DatabaseCopyOutcome allowed = DatabaseCopy(user).run(db.name(), "dbk_user_dbcopy2");
    EXPECT_EQ(allowed.status, DatabaseCopyOutcome::Status::Copied);
    EXPECT_EQ(allowed.failures, 0U) << allowed.errorText.toStdString();
    EXPECT_EQ(allowed.rowsCopied, 2U);
    db.admin().exec("DROP DATABASE IF EXISTS dbk_user_dbcopy2");
}

}  // namespace
}  // namespace dbk
