#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "app/messages.h"
#include "app/scripted_ui_services.h"
#include "conn/folder_file.h"
#include "conn/host_file.h"
#include "support/test_server.h"
#include "transfer/csv_export.h"
#include "transfer/table_dump.h"

namespace dbk {
namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

// Runs the built dbkeeper-cli against the test server, the password in MYSQL_PWD.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        DBK_REQUIRE_SERVER();
        setInterfaceLanguage(Language::English);
    }

    QStringList server() const {
        const ConnectParams p = test::adminParams();
        QStringList args{"--host", QString::fromStdString(p.host), "--user", QString::fromStdString(p.user)};
        if (p.port)
            args << "--port" << QString::number(p.port);
        return args;
    }

    void start(QProcess& process, const QStringList& args, const QString& password) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("MYSQL_PWD", password);
        env.insert("DBKEEPER_LANG", "en");
        // The saved servers' security settings: a store of the test's own.
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(DBK_CLI_PATH), args);
        ASSERT_TRUE(process.waitForStarted());
    }

    CliRun run(const QStringList& args, const QString& password = adminPassword()) {
        QProcess process;
        start(process, args, password);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    static QString adminPassword() { return QString::fromStdString(test::adminParams().password); }
    QString path(const char* name) const { return dir.filePath(name); }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }
    static void write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir dir;
    ScopedScriptedUi ui;
};

// Awkward values: Japanese, a character Shift_JIS lacks, quotes, separators, line breaks and
// NULL; "日本語" and the emoji written as bytes so that the session's character set does not matter.
void fillAwkward(Connection& c, const std::string& database, bool withNull = true) {
    const std::string table = database + ".t";
    ASSERT_TRUE(c.exec("CREATE TABLE " + table +
                       " (id INT PRIMARY KEY, a VARCHAR(40), b TEXT) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4"))
        << c.errorLine();
    ASSERT_TRUE(c.exec("INSERT INTO " + table +
                       " VALUES (1, CONVERT(0xE697A5E69CACE8AA9E USING utf8mb4), 'a,b'),"
                       " (2, 'say \"hi\"', CONCAT('two', CHAR(10), 'lines')),"
                       " (3, CONVERT(0xF09F9880 USING utf8mb4), 'it''s'),"
                       " (4, '', " +
                       std::string(withNull ? "NULL" : "'x'") + ")"))
        << c.errorLine();
    ASSERT_TRUE(c.exec("INSERT INTO " + table +
                       " SELECT seq + 10, CONCAT('r', seq), REPEAT('z', seq % 7) FROM " + database +
                       ".seq_1_to_500"))
        << c.errorLine();
}

// The export writes what the export form's engine writes for the same table and options, byte
// for byte; the form's options by name.
TEST_F(CliTest, ExportWritesTheFormsFileByteForByte) {
    test::ScratchDatabase db("dbk_cli_export");
    fillAwkward(db.admin(), "dbk_cli_export");
    struct Case {
        QStringList options;
        CsvFormat format;
    } cases[] = {
        {{}, {}},
        {{"--encoding", "utf8", "--separator", "tab", "--quote", "single"},
         {CsvFormat::Separator::Tab, CsvFormat::Quote::Single, "", "", CsvFormat::Encoding::Utf8}},
        {{"--separator", "|", "--quote", "<>"},
         {CsvFormat::Separator::User, CsvFormat::Quote::User, "|", "<>"}},
    };
    Session session;
    ASSERT_TRUE(session.open(test::adminParams()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const CliRun cli =
            run(QStringList{"export"} + server() +
                QStringList{"--database", "dbk_cli_export", "--table", "t", "--output", path("cli.csv")} +
                c.options);
        EXPECT_EQ(cli.status, 0) << cli.err.toStdString();
        EXPECT_TRUE(cli.err.contains("File Export Complete")) << cli.err.toStdString();
        CsvExporter form(session.connection(),
                         "Select * from " + session.connection().qualifiedName("dbk_cli_export", "t"),
                         c.format);
        ASSERT_TRUE(form.run(path("form.csv")).complete());
        EXPECT_EQ(read(path("cli.csv")), read(path("form.csv")));
        EXPECT_GT(read(path("cli.csv")).size(), 3000);
    }
    // A statement instead of a table, its ";" left out as the form does.
    const CliRun query =
        run(QStringList{"export"} + server() +
            QStringList{"--database", "dbk_cli_export", "--query", "select id, a from t where id < 3;",
                        "--encoding", "utf8", "--output", path("q.csv")});
    EXPECT_EQ(query.status, 0) << query.err.toStdString();
    EXPECT_EQ(read(path("q.csv")), QByteArray("\"1\",\"日本語\"\n\"2\",\"say \"\"hi\"\"\"\n"));
}

// Each job against the server gives what its form gives: the dump the maintenance form writes,
// tables copied whole (within the server, from a saved server, a whole database), a CSV file
// imported back, a script run.
TEST_F(CliTest, EveryJobDoesWhatItsFormDoes) {
    test::ScratchDatabase db("dbk_cli_jobs");
    Connection& c = db.admin();
    fillAwkward(c, "dbk_cli_jobs", false);
    const std::string sum = test::checksum(c, "dbk_cli_jobs", "t");
    const QStringList in{"--database", "dbk_cli_jobs"};

    CliRun r =
        run(QStringList{"dump"} + server() + in + QStringList{"--table", "t", "--output", path("t.sql")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    TableDump dump(c, "dbk_cli_jobs", "t");
    ASSERT_TRUE(dump.run(path("form.sql")).complete());
    EXPECT_EQ(read(path("t.sql")), read(path("form.sql")));

    r = run(QStringList{"copy"} + server() + in +
            QStringList{"--table", "t", "--to-database", "dbk_cli_jobs", "--to-table", "t2", "--batch", "7"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(test::checksum(c, "dbk_cli_jobs", "t2"), sum);
    EXPECT_TRUE(QFile::exists(path("rep_table.log")));

    r = run(QStringList{"copy"} + server() + in + QStringList{"--new-database", "dbk_cli_jobs_copy"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(test::checksum(c, "dbk_cli_jobs_copy", "t"), sum);
    // Into a database that exists only with --yes.
    r = run(QStringList{"copy"} + server() + in + QStringList{"--new-database", "dbk_cli_jobs_copy"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("already exists")) << r.err.toStdString();
    c.exec("DROP DATABASE dbk_cli_jobs_copy");

    // Exported in Shift_JIS (the emoji becomes "?") and imported back through the converter.
    ASSERT_TRUE(c.exec("UPDATE dbk_cli_jobs.t SET a = 'smile' WHERE id = 3"));
    ASSERT_TRUE(c.exec("CREATE TABLE dbk_cli_jobs.back LIKE dbk_cli_jobs.t"));
    r = run(QStringList{"export"} + server() + in + QStringList{"--table", "t", "--output", path("t.csv")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = run(QStringList{"import"} + server() + in + QStringList{"--table", "back", "--file", path("t.csv")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Records: 504")) << r.err.toStdString();
    EXPECT_EQ(test::checksum(c, "dbk_cli_jobs", "back"), test::checksum(c, "dbk_cli_jobs", "t"));

    write(path("s.sql"),
          "CREATE TABLE s (id INT);\nINSERT INTO s VALUES (1), (2);\n"
          "// a comment line\nINSERT INTO s SELECT id + 2 FROM s;\n");
    r = run(QStringList{"run"} + server() + in + QStringList{"--file", path("s.sql")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(test::scalar(c, "SELECT SUM(id) FROM dbk_cli_jobs.s"), "10");
}

// A saved server is named by its name: the list shows it without its password, and a copy reads
// from it with its record's account.
TEST_F(CliTest, SavedServersAreListedAndCopiedFrom) {
    DBK_REQUIRE_SECOND_SERVER();
    const ConnectParams second = test::secondServerParams();
    const HostFile hosts(path("Host.DAT"));
    ASSERT_EQ(hosts.append({"gone", "h", "u", "p", "1"}), HostFile::Outcome::Written);
    ASSERT_EQ(
        hosts.append({"second", second.host, second.user, second.password, std::to_string(second.port)}),
        HostFile::Outcome::Written);
    ASSERT_EQ(hosts.markDeleted("gone"), HostFile::Outcome::Written);
    FolderNode root;
    root.children.push_back(
        {"work", FolderNode::kFolderImage, -1, {{"second", FolderNode::kHostImage, -1, {}}}});
    ASSERT_TRUE(folder_file::save(path("FOLDER.DAT"), root));

    const CliRun list = run({"hosts"});
    EXPECT_EQ(list.status, 0) << list.err.toStdString();
    EXPECT_EQ(list.out, QString::fromStdString("second\t" + second.host + '\t' + std::to_string(second.port) +
                                               '\t' + second.user + "\t/work\tPreferred\n"));
    if (!second.password.empty())
        EXPECT_FALSE(list.out.contains(QString::fromStdString(second.password)));

    Connection source = test::connectSecondAdmin();
    source.exec("DROP DATABASE IF EXISTS dbk_cli_saved");
    ASSERT_TRUE(source.exec("CREATE DATABASE dbk_cli_saved"));
    fillAwkward(source, "dbk_cli_saved");
    test::ScratchDatabase target("dbk_cli_saved_target");
    const CliRun copy =
        run(QStringList{"copy"} + server() +
            QStringList{"--from-host-name", "second", "--database", "dbk_cli_saved", "--table", "t",
                        "--to-database", "dbk_cli_saved_target", "--batch", "50"});
    EXPECT_EQ(copy.status, 0) << copy.err.toStdString();
    EXPECT_EQ(test::checksum(target.admin(), "dbk_cli_saved_target", "t"),
              test::checksum(source, "dbk_cli_saved", "t"));
    EXPECT_TRUE(QFile::exists(path("rep_other_server.log")));
    source.exec("DROP DATABASE dbk_cli_saved");
}

// Whatever fails, the exit status says so (1; 2 for a command line that cannot run) and the
// form's message says why.
TEST_F(CliTest, FailuresEndWithTheirStatusAndTheFormsMessage) {
    test::ScratchDatabase db("dbk_cli_fail");
    fillAwkward(db.admin(), "dbk_cli_fail");
    write(path("bad.sql"), "INSERT INTO t VALUES (1, 'dup', NULL);\nSELECT 1;\n");
    write(path("in.csv"), "1,a,b\n");
    const QStringList in{"--database", "dbk_cli_fail"};
    struct Case {
        const char* name;
        QStringList args;
        QString password;
        int status;
        const char* message;
    } cases[] = {
        {"wrong password", QStringList{"dump"} + in + QStringList{"--table", "t", "--output", path("x.sql")},
         "not-the-password", 1, "Error connecting"},
        {"missing table",
         QStringList{"export"} + in + QStringList{"--table", "none", "--output", path("x.csv")},
         adminPassword(), 1, "1146"},
        {"refused statement",
         QStringList{"export"} + in + QStringList{"--query", "DELETE FROM t", "--output", path("x.csv")},
         adminPassword(), 1, "Only a statement"},
        {"unwritable file",
         QStringList{"dump"} + in + QStringList{"--table", "t", "--output", "/nonexistent/dir/x.sql"},
         adminPassword(), 1, "/nonexistent/dir/x.sql"},
        {"failing script statement", QStringList{"run"} + in + QStringList{"--file", path("bad.sql")},
         adminPassword(), 1, "Duplicate entry"},
        {"import into a missing table",
         QStringList{"import"} + in + QStringList{"--table", "none", "--file", path("in.csv")},
         adminPassword(), 1, "doesn't exist"},
        {"copy of a missing table",
         QStringList{"copy"} + in + QStringList{"--table", "none", "--to-database", "dbk_cli_fail"},
         adminPassword(), 1, "1146"},
        {"no such saved server",
         QStringList{"dump"} + in + QStringList{"--table", "t", "--output", path("x.sql")}, adminPassword(),
         1, "No saved server"},
        {"usage", QStringList{"dump"} + in + QStringList{"--table", "t"}, adminPassword(), 2,
         "needs --output"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool saved = QString::fromLatin1(c.name).contains("saved");
        const QStringList args = QStringList{c.args.first()} +
                                 (saved ? QStringList{"--host-name", "nowhere"} : server()) + c.args.mid(1);
        const CliRun r = run(args, c.password);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
    }
}

// Ctrl+C stops a running statement as the form's Cancel does (KILL QUERY): the program ends
// at once with 130, the file holding what was written.
TEST_F(CliTest, CtrlCCancelsTheRunningStatement) {
    QProcess process;
    start(process,
          QStringList{"export"} + server() +
              QStringList{"--query", "SELECT SLEEP(30) AS s", "--output", path("slow.csv")},
          adminPassword());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto sent = std::chrono::steady_clock::now();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(10));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains("cancelled")) << err.toStdString();
    Connection admin = test::connectAdmin();
    EXPECT_EQ(test::scalar(admin,
                           "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE INFO LIKE "
                           "'SELECT SLEEP(30)%'"),
              "0");
}

}  // namespace
}  // namespace dbk
