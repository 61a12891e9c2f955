#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "browser/record_details.h"
#include "browser/record_page.h"
#include "conn/dbkeeper_doc.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "privileges/account_writer.h"
#include "support/test_server.h"
#include "transfer/csv_import.h"
#include "transfer/database_copy.h"
#include "transfer/maintenance.h"
#include "transfer/table_dump.h"

namespace dbk {
namespace {

ConnectParams asked(SessionText text) {
    ConnectParams p = test::adminParams();
    p.sessionText = text;
    return p;
}

TEST(UnicodeSession, TheServerGenerationDecidesUnlessTheSavedServerAsks) {
    DBK_REQUIRE_SERVER();
    const std::pair<SessionText, const char*> cases[] = {{SessionText::Automatic, "utf8mb4"},
                                                         {SessionText::Utf8, "utf8mb4"},
                                                         {SessionText::ShiftJis, "cp932"}};
    for (const auto& [choice, set] : cases) {
        Connection c;
        ASSERT_TRUE(c.open(asked(choice))) << c.errorLine();
        EXPECT_EQ(c.characterSetName(), set);
        EXPECT_EQ(test::scalar(c, "SELECT @@character_set_results"), set);
        // A second connection to the same server (a copy's reader, a KILL) reads as this one does.
        Connection second;
        ASSERT_TRUE(second.open(c.params())) << second.errorLine();
        EXPECT_EQ(second.characterSetName(), set);
    }
}

// Names whose Shift_JIS second byte is 0x60 (伝 チ Ａ) are mangled by the server inside backquotes
// in a cp932 session; in today's session every engine reaches them, and values that Shift_JIS
// lacks go in and come out as they were.
TEST(UnicodeSession, EveryEngineReachesNamesAndValuesThatShiftJisWouldLose) {
    DBK_REQUIRE_SERVER();
    Session session;
    ASSERT_TRUE(session.open(asked(SessionText::Automatic))) << session.connection().errorLine();
    Connection& c = session.connection();
    const std::string db = "dbk_unicode_names";
    const std::string copy = "dbk_unicode_names_copy";
    c.exec("DROP DATABASE IF EXISTS " + db);
    c.exec("DROP DATABASE IF EXISTS " + copy);
    ASSERT_TRUE(c.exec("CREATE DATABASE " + db + " CHARACTER SET utf8mb4"));
    const std::string value = "〜−😀🍣髙①ｶﾀｶﾅ'\"\\";
    ASSERT_TRUE(
        c.exec("CREATE TABLE " + db + ".`伝票` (id INT PRIMARY KEY, `チーム` VARCHAR(40)) ENGINE=MyISAM"));
    ASSERT_TRUE(c.exec("CREATE TABLE " + db + ".`ＡＢＣ` (v VARCHAR(10))"));
    ASSERT_TRUE(c.exec("INSERT INTO " + db + ".`伝票` VALUES (1, 'x'), (2, '" + c.escape(value) + "')"));

    // Listed, opened and paged.
    ASSERT_TRUE(c.selectDb(db));
    std::vector<std::string> tables;
    for (Result r = c.listTables(); r.next();)
        tables.emplace_back(r.text(0U));
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::string>{"伝票", "ＡＢＣ"}));
    DocumentContext context;
    context.currentDatabase = db;
    context.currentTable = "伝票";
    context.nodeImage = 2;
    FilterConditions filter;
    const RecordPage page = readRecordPage(c, context, filter);
    ASSERT_EQ(page.stage, RecordPage::Stage::Rows) << c.errorLine();
    EXPECT_EQ(page.fieldNames, (std::vector<std::string>{"id", "チーム"}));
    ASSERT_EQ(page.rows.size(), 2u);
    EXPECT_EQ(page.rows[1][1], value);
    EXPECT_EQ(fromServer(c, *page.rows[1][1]), QString::fromUtf8(value.c_str()));

    // Edited: the typed text reaches the server byte for byte.
    RecordDetails details(c, db, "伝票", page.rows[0]);
    ASSERT_TRUE(details.load());
    EXPECT_EQ(details.change(1, QString::fromUtf8(value.c_str())), RecordDetails::Outcome::Done);
    EXPECT_EQ(test::scalar(c, "SELECT HEX(`チーム`) FROM " + db + ".`伝票` WHERE id = 1"),
              test::scalar(c, "SELECT HEX('" + c.escape(value) + "')"));

    // Maintained.
    EXPECT_EQ(test::scalar(c, analyzeStatement(c, db, "伝票")), db + ".伝票");

    // Dumped, and the dump loads back.
    QTemporaryDir dir;
    const QString dumpPath = dir.filePath(QStringLiteral("dump.sql"));
    EXPECT_EQ(TableDump(c, db, "伝票").run(dumpPath).status, DumpOutcome::Status::Complete);
    QFile dump(dumpPath);
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    EXPECT_TRUE(dump.readAll().contains("INSERT INTO `伝票`"));

    // Copied with the database.
    const DatabaseCopyOutcome copied = DatabaseCopy(c).run(db, copy);
    EXPECT_EQ(copied.status, DatabaseCopyOutcome::Status::Copied);
    EXPECT_EQ(copied.failures, 0u);
    Result sums = c.query("CHECKSUM TABLE " + db + ".`伝票`, " + copy + ".`伝票`");
    ASSERT_TRUE(sums.next());
    const std::string sourceSum(sums.text(1U));
    ASSERT_TRUE(sums.next());
    EXPECT_EQ(sums.text(1U), sourceSum);

    // Imported into, from a UTF-8 file loaded as it is.
    const QString csv = dir.filePath(QStringLiteral("in.csv"));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\"") + QByteArray("〜😀") + "\"\n");
    file.close();
    CsvImportOptions options;
    options.path = csv;
    options.local = true;
    options.convert = false;
    options.separator = ",";
    options.enclosure = "\"";
    options.database = db;
    options.table = "ＡＢＣ";
    const CsvImportOutcome imported = CsvImporter(session).run(options);
    EXPECT_TRUE(imported.imported()) << imported.errorText;
    EXPECT_EQ(test::scalar(c, "SELECT HEX(v) FROM " + db + ".`ＡＢＣ`"),
              test::scalar(c, "SELECT HEX('〜😀')"));

    c.exec("DROP DATABASE " + db);
    c.exec("DROP DATABASE " + copy);
}

// The privilege forms' account statements carry a user name Shift_JIS lacks as it is.
TEST(UnicodeSession, AnAccountNamedWithCharactersShiftJisLacksIsAddedAndRemoved) {
    DBK_REQUIRE_SERVER();
    Session session;
    ASSERT_TRUE(session.open(asked(SessionText::Automatic))) << session.connection().errorLine();
    Connection& c = session.connection();
    const Account account{"localhost", "利用者〜①'"};
    const std::string count = "SELECT COUNT(*) FROM mysql.user WHERE Host = 'localhost' AND User = '" +
                              c.escape(account.user) + "'";
    const std::unique_ptr<AccountWriter> writer = AccountWriter::forSession(session);
    writer->run(writer->planRemove(account));  // a run before that stopped midway
    grants::GlobalRights rights{};
    rights[0] = true;
    const AccountOutcome added = writer->run(writer->planAdd(account, "pw〜", rights));
    ASSERT_TRUE(added.ok) << fromServer(added.encoding, added.errorText).toStdString();
    EXPECT_EQ(test::scalar(c, count), "1");
    Connection as;
    ConnectParams params = asked(SessionText::Automatic);
    params.host = "localhost";
    params.unixSocket = test::scalar(c, "SELECT @@socket");
    params.user = account.user;
    params.password = "pw〜";
    EXPECT_TRUE(as.open(params)) << as.errorLine();
    EXPECT_TRUE(writer->run(writer->planRemove(account)).ok);
    EXPECT_EQ(test::scalar(c, count), "0");
}

}  // namespace
}  // namespace dbk
