#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "transfer/temp_csv.h"

namespace dbk {
namespace {

TEST(TempCsv, EveryValueIsQuotedAndEveryLineEndsWithAComma) {
    EXPECT_EQ(TempCsvWriter::line({"1", "abc"}), "\"1\",\"abc\",\n");
    EXPECT_EQ(TempCsvWriter::line({std::nullopt, ""}), "\"\",\"\",\n");
    EXPECT_EQ(TempCsvWriter::line({"say \"hi\"", "a,b"}), "\"say \"\"hi\"\"\",\"a,b\",\n");
    EXPECT_EQ(TempCsvWriter::line({"\x83\x5c"}), "\"\x83\x5c\",\n");
    EXPECT_EQ(TempCsvWriter::line({}), "\n");
}

TEST(TempCsv, WritesTheFileWholeEachTime) {
    QTemporaryDir dir;
    const QString path = dir.filePath(TempCsvWriter::kFileName);
    TempCsvWriter first;
    ASSERT_TRUE(first.open(path, ServerEncoding::ShiftJis));
    first.writeLine(std::vector<std::string>{"a", "b"});
    first.writeLine(std::vector<std::string>{"c", "d"});
    ASSERT_TRUE(first.close());
    TempCsvWriter second;
    ASSERT_TRUE(second.open(path, ServerEncoding::ShiftJis));
    second.writeLine(std::vector<std::string>{"x"});
    ASSERT_TRUE(second.close());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "\"x\",\n");

    TempCsvWriter unwritable;
    EXPECT_FALSE(unwritable.open(dir.filePath("no/such/folder/TEMP.CSV"), ServerEncoding::ShiftJis));
    EXPECT_FALSE(unwritable.close());
}

}  // namespace
}  // namespace dbk
