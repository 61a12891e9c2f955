#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "conn/host_file.h"

namespace dbk {
namespace {

constexpr size_t kRecord = HostFile::kRecordSize;

std::string fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    return std::string(all.constData(), static_cast<size_t>(all.size()));
}

void writeBytes(const QString& path, std::string_view bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

class HostFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path() const { return dir_.filePath(QString::fromLatin1(HostFile::kFileName)); }
    HostFile file() const { return HostFile(path()); }
    void appendAll(std::initializer_list<HostRecord> records) const {
        for (const HostRecord& r : records)
            ASSERT_EQ(file().append(r), HostFile::Outcome::Written);
    }

    QTemporaryDir dir_;
};

TEST_F(HostFileTest, RecordHasFixedOffsetsNulPaddingAndMarker) {
    const HostRecord record{"db1", "127.0.0.1", "root", "secret", "3306"};
    std::string expected(kRecord, '\0');
    expected.replace(0, 3, "db1");
    expected.replace(256, 9, "127.0.0.1");
    expected.replace(512, 4, "root");
    expected.replace(768, 6, "secret");
    expected.replace(1024, 4, "3306");
    expected[1033] = '1';

    EXPECT_EQ(HostFile::encode(record), expected);
    appendAll({record});
    EXPECT_EQ(fileBytes(path()), expected);
    EXPECT_EQ(file().readAll(), std::vector<HostRecord>{record});
}

TEST_F(HostFileTest, FieldsAreCutToTheirWidthAndReadAsAtMostTheirWidth) {
    const std::string n255(255, 'n'), n256(256, 'N'), h300(300, 'h'), p256(256, 'p');
    struct Case {
        HostRecord written;
        HostRecord readBack;
    };
    const Case cases[] = {
        // one terminator left after 255 bytes
        {{n255, "host", "u", "pw", "3306"}, {n255, "host", "u", "pw", "3306"}},
        // no terminator: the name must not run into the host field
        {{n256, "host", "u", "pw", "3306"}, {n256, "host", "u", "pw", "3306"}},
        // a host longer than its field is cut
        {{"x", h300, "u", "pw", "1"}, {"x", std::string(256, 'h'), "u", "pw", "1"}},
        // a full-width password must not run into the port
        {{"x", "h", "u", p256, "3306"}, {"x", "h", "u", p256, "3306"}},
        // nine digits fill the port field; the marker that follows is not part of it
        {{"x", "h", "u", "pw", "123456789"}, {"x", "h", "u", "pw", "123456789"}},
        {{"x", "h", "u", "pw", "1234567890"}, {"x", "h", "u", "pw", "123456789"}},
    };
    for (const Case& c : cases) {
        const std::string bytes = HostFile::encode(c.written);
        ASSERT_EQ(bytes.size(), kRecord);
        EXPECT_EQ(bytes[1033], '1');
        EXPECT_EQ(HostFile::decode(bytes), c.readBack) << c.written.name.size() << " " << c.written.port;
    }

    const std::string bytes255 = HostFile::encode({n255, "host", "", "", ""});
    EXPECT_EQ(bytes255[255], '\0');
    const std::string bytes256 = HostFile::encode({n256, "host", "", "", ""});
    EXPECT_EQ(bytes256.substr(0, 260), n256 + "host");
    const std::string port9 = HostFile::encode({"", "", "", "", "1234567890"});
    EXPECT_EQ(port9.substr(1024), "1234567891");

    appendAll({cases[1].written});
    const auto found = file().find(n256);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, n256);
    EXPECT_EQ(found->host, "host");
}

TEST_F(HostFileTest, AppendCreatesTheFileReadableByItsOwnerOnly) {
    ASSERT_FALSE(QFile::exists(path()));
    appendAll({{"db1", "h", "u", "pw", "3306"}});
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(fileBytes(path()).size(), kRecord);
}

TEST_F(HostFileTest, LookupTakesTheFirstExactMatch) {
    appendAll(
        {{"db", "first", "u1", "p1", "1"}, {"db", "second", "u2", "p2", "2"}, {"db2", "third", "", "", ""}});
    EXPECT_EQ(fileBytes(path()).size(), 3 * kRecord);
    ASSERT_TRUE(file().find("db"));
    EXPECT_EQ(file().find("db")->host, "first");
    EXPECT_EQ(file().find("db2")->host, "third");
    for (const char* missing : {"DB", "d", "db ", "", "db22"})
        EXPECT_FALSE(file().find(missing)) << missing;
}

TEST_F(HostFileTest, ReplaceRewritesTheFirstMatchInPlace) {
    appendAll({{"a", "ha", "ua", "pa", "1"},
               {"a-long-display-name", "hb", "ub", "pb", "2"},
               {"a-long-display-name", "hc", "uc", "pc", "3"}});
    const std::string before = fileBytes(path());
    const HostRecord renamed{"b2", "new-host", "new-user", "", "3307"};

    ASSERT_EQ(file().replace("a-long-display-name", renamed), HostFile::Outcome::Written);
    const std::string after = fileBytes(path());
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(0, kRecord), before.substr(0, kRecord));
    EXPECT_EQ(after.substr(kRecord, kRecord), HostFile::encode(renamed));
    EXPECT_EQ(after.substr(2 * kRecord), before.substr(2 * kRecord));
    EXPECT_EQ(file().find("b2"), renamed);
    EXPECT_EQ(file().find("a-long-display-name")->host, "hc");

    EXPECT_EQ(file().replace("nobody", renamed), HostFile::Outcome::NotFound);
    EXPECT_EQ(fileBytes(path()), after);
}

TEST_F(HostFileTest, MarkDeletedStarsTheFiveFieldsAndKeepsTheRest) {
    const HostRecord keep{"keep", "keep-host", "keep-user", "keep-pw", "3306"};
    const HostRecord gone{"server-b", "host-b.example", "user-b", "password-b", "33060"};
    appendAll({keep, gone});
    const std::string before = fileBytes(path());

    ASSERT_EQ(file().markDeleted("server-b"), HostFile::Outcome::Written);
    std::string expected = before;
    for (size_t field : {0, 256, 512, 768, 1024})
        expected.replace(kRecord + field, 2, std::string("*\0", 2));
    EXPECT_EQ(fileBytes(path()), expected);
    EXPECT_EQ(expected[kRecord + 1033], '1');

    EXPECT_FALSE(file().find("server-b"));
    const HostRecord stars{"*", "*", "*", "*", "*"};
    EXPECT_EQ(file().find("*"), stars);
    EXPECT_EQ(file().readAll(), (std::vector<HostRecord>{keep, stars}));
    EXPECT_EQ(file().markDeleted("server-b"), HostFile::Outcome::NotFound);
    EXPECT_EQ(fileBytes(path()), expected);
}

TEST_F(HostFileTest, CutLastRecordIsSkippedAndTheNextAppendStartsOnABoundary) {
    const HostRecord a{"a", "ha", "ua", "pa", "1"}, b{"b", "hb", "ub", "pb", "2"};
    const std::string cut = HostFile::encode({"cut", "hc", "uc", "pc", "3"}).substr(0, 500);
    writeBytes(path(), HostFile::encode(a) + HostFile::encode(b) + cut);

    EXPECT_EQ(file().readAll(), (std::vector<HostRecord>{a, b}));
    EXPECT_EQ(file().find("b"), b);
    EXPECT_FALSE(file().find("cut"));
    EXPECT_EQ(file().replace("cut", a), HostFile::Outcome::NotFound);
    EXPECT_EQ(file().markDeleted("cut"), HostFile::Outcome::NotFound);

    const HostRecord added{"added", "hn", "un", "pn", "4"};
    ASSERT_EQ(file().append(added), HostFile::Outcome::Written);
    const std::string bytes = fileBytes(path());
    ASSERT_EQ(bytes.size(), 4 * kRecord);
    EXPECT_EQ(bytes.substr(3 * kRecord), HostFile::encode(added));
    const auto records = file().readAll();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0], a);
    EXPECT_EQ(records[1], b);
    EXPECT_EQ(records[3], added);
    EXPECT_EQ(file().find("added"), added);

    writeBytes(path(), "db1");
    EXPECT_TRUE(file().readAll().empty());
    EXPECT_FALSE(file().find("db1"));
}

TEST_F(HostFileTest, MissingFileHasNoRecordsAndIsNotCreatedByEdits) {
    const HostRecord r{"db1", "h", "u", "p", "1"};
    EXPECT_TRUE(file().readAll().empty());
    EXPECT_FALSE(file().find("db1"));
    EXPECT_EQ(file().replace("db1", r), HostFile::Outcome::CannotOpen);
    EXPECT_EQ(file().markDeleted("db1"), HostFile::Outcome::CannotOpen);
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(HostFileTest, UnopenableFileIsReportedAndLeftAlone) {
    const HostRecord r{"db1", "h", "u", "p", "1"};
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QString::fromLatin1(HostFile::kFileName)));
    EXPECT_TRUE(file().readAll().empty());
    EXPECT_FALSE(file().find("db1"));
    EXPECT_EQ(file().append(r), HostFile::Outcome::CannotOpen);
    EXPECT_EQ(file().replace("db1", r), HostFile::Outcome::CannotOpen);
    EXPECT_EQ(file().markDeleted("db1"), HostFile::Outcome::CannotOpen);
}

TEST_F(HostFileTest, FileWithoutPermissionsIsReportedAndLeftAlone) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads and writes files without permissions";
    const HostRecord r{"db1", "h", "u", "p", "1"};
    appendAll({r});
    const std::string before = fileBytes(path());
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0), 0);
    EXPECT_TRUE(file().readAll().empty());
    EXPECT_FALSE(file().find("db1"));
    EXPECT_EQ(file().append(r), HostFile::Outcome::CannotOpen);
    EXPECT_EQ(file().replace("db1", r), HostFile::Outcome::CannotOpen);
    EXPECT_EQ(file().markDeleted("db1"), HostFile::Outcome::CannotOpen);
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0600), 0);
    EXPECT_EQ(fileBytes(path()), before);
}

TEST_F(HostFileTest, ShiftJisTextsKeepTheirBytes) {
    const std::string test = "\x83\x65\x83\x58\x83\x67";  // テスト
    const std::string hyou = "\x95\x5c\x8e\xa6";          // 表示: second byte 0x5C
    const HostRecord r{test, "db." + hyou, hyou, test + hyou, "3306"};
    appendAll({r});
    const std::string bytes = fileBytes(path());
    EXPECT_EQ(bytes.substr(0, 7), test + '\0');
    EXPECT_EQ(bytes.substr(512, 5), hyou + '\0');
    EXPECT_EQ(file().find(test), r);
    EXPECT_FALSE(file().find("\x83\x65\x83\x58"));
}

}  // namespace
}  // namespace dbk
