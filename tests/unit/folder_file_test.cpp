#include <gtest/gtest.h>

#include <chrono>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "conn/folder_file.h"

namespace dbk {
namespace {

FolderNode folder(std::string text, std::vector<FolderNode> children = {}) {
    return FolderNode{std::move(text), FolderNode::kFolderImage, -1, std::move(children)};
}
FolderNode host(std::string text) {
    return FolderNode{std::move(text), FolderNode::kHostImage, -1, {}};
}

TEST(FolderFile, WritesItemsDepthFirstAndReadsThemBack) {
    struct Case {
        const char* what;
        FolderNode root;
        std::string text;
    };
    const Case cases[] = {
        {"empty root", folder("Host"), "0\n"},
        {"one host", folder("Host", {host("db1")}), "1\n0 2 db1 -1\n"},
        {"two folders", folder("Host", {folder("dev", {host("db1")}), folder("prod", {host("db2")})}),
         "4\n0 0 dev -1\n1 2 db1 -1\n0 0 prod -1\n3 2 db2 -1\n"},
        {"deeper nesting",
         folder("Host", {folder("a", {folder("b", {host("h1")}), host("h2")}), folder("c", {host("h3")}),
                         host("h4")}),
         "7\n0 0 a -1\n1 0 b -1\n2 2 h1 -1\n1 2 h2 -1\n0 0 c -1\n5 2 h3 -1\n0 2 h4 -1\n"},
        {"empty folders", folder("Host", {folder("x", {folder("y")}), folder("z")}),
         "3\n0 0 x -1\n1 0 y -1\n0 0 z -1\n"},
        {"Shift_JIS text", folder("Host", {host("\x83\x65\x83\x58\x83\x67")}),
         "1\n0 2 \x83\x65\x83\x58\x83\x67 -1\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(folder_file::write(c.root), c.text) << c.what;
        FolderNode expected = c.root;
        expected.text.clear();  // the root itself is not stored
        EXPECT_EQ(folder_file::read(c.text), expected) << c.what;
    }
}

TEST(FolderFile, TextsAreCutToNineteenBytes) {
    const FolderNode root = folder("", {folder("abcdefghijklmnopqrstuvwxyz", {host("0123456789012345678")})});
    const std::string text = folder_file::write(root);
    EXPECT_EQ(text, "2\n0 0 abcdefghijklmnopqrs -1\n1 2 0123456789012345678 -1\n");
    EXPECT_EQ(folder_file::read(text).children.at(0).text, "abcdefghijklmnopqrs");
}

TEST(FolderFile, DamagedFilesLoadWhatCanBePlaced) {
    struct Case {
        const char* what;
        std::string content;
        std::string reloaded;  // what the loaded tree writes
    };
    const Case cases[] = {
        {"empty file", "", "0\n"},
        {"count only", "0\n", "0\n"},
        {"count larger than the lines", "5\n0 0 dev -1\n1 2 db1 -1\n", "2\n0 0 dev -1\n1 2 db1 -1\n"},
        {"count smaller than the lines", "1\n0 0 dev -1\n1 2 db1 -1\n", "1\n0 0 dev -1\n"},
        {"cut last line", "2\n0 0 dev -1\n1 2 db", "1\n0 0 dev -1\n"},
        {"no line end at the end", "2\n0 0 dev -1\n1 2 db1 -1", "2\n0 0 dev -1\n1 2 db1 -1\n"},
        {"CR LF line ends", "2\r\n0 0 dev -1\r\n1 2 db1 -1\r\n", "2\n0 0 dev -1\n1 2 db1 -1\n"},
        // a damaged line still counts, so the items after it find their parents
        {"non-numeric line", "4\n0 0 a -1\nx y z w\n0 0 b -1\n3 2 h -1\n",
         "3\n0 0 a -1\n0 0 b -1\n2 2 h -1\n"},
        {"garbage line", "3\n0 0 a -1\ngarbage\n1 2 h -1\n", "2\n0 0 a -1\n1 2 h -1\n"},
        {"parent nowhere", "2\n9 2 h -1\n0 0 f -1\n", "1\n0 0 f -1\n"},
        {"parent forward", "2\n2 2 h -1\n0 0 f -1\n", "1\n0 0 f -1\n"},
        {"own parent", "1\n1 0 f -1\n", "0\n"},
        {"negative parent", "2\n0 0 f -1\n-1 2 h -1\n", "1\n0 0 f -1\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(folder_file::write(folder_file::read(c.content)), c.reloaded) << c.what;
    }
    // The "non-numeric line" case places h under b, not under a.
    const FolderNode tree = folder_file::read("4\n0 0 a -1\nx y z w\n0 0 b -1\n3 2 h -1\n");
    ASSERT_EQ(tree.children.size(), 2u);
    EXPECT_TRUE(tree.children[0].children.empty());
    EXPECT_EQ(tree.children[1].children, std::vector<FolderNode>{host("h")});
}

// Each line costs the same however deep its item lies: 16,000 nested folders took seconds and
// gigabytes when every item remembered its whole path.
TEST(FolderFile, ReadsDeeplyNestedFoldersInTimeProportionalToTheLines) {
    constexpr int kDepth = 16000;
    std::string content = std::to_string(kDepth + 1) + "\n";
    for (int i = 0; i < kDepth; ++i)
        content += std::to_string(i) + " 0 f" + std::to_string(i % 10) + " -1\n";
    content += std::to_string(kDepth) + " 2 leaf -1\n";
    const auto start = std::chrono::steady_clock::now();
    const FolderNode root = folder_file::read(content);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    const FolderNode* node = &root;
    int depth = 0;
    while (node->children.size() == 1 && node->children[0].isFolder()) {
        node = &node->children[0];
        EXPECT_EQ(node->text, "f" + std::to_string(depth % 10));
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(node->children, std::vector<FolderNode>{host("leaf")});
    EXPECT_EQ(folder_file::write(root), content);
}

TEST(FolderFile, SaveAndLoadUseTheFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QString::fromLatin1(folder_file::kFileName));
    EXPECT_EQ(folder_file::load(path), FolderNode{});

    const FolderNode root = folder("", {folder("dev", {host("db1")}), folder("prod", {host("db2")})});
    ASSERT_TRUE(folder_file::save(path, root));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), "4\n0 0 dev -1\n1 2 db1 -1\n0 0 prod -1\n3 2 db2 -1\n");
    file.close();
    EXPECT_EQ(folder_file::load(path), root);

    ASSERT_TRUE(folder_file::save(path, folder("")));
    EXPECT_EQ(folder_file::load(path), FolderNode{});

    const QString inDirectory = dir.filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    EXPECT_EQ(folder_file::load(inDirectory), FolderNode{});
    EXPECT_FALSE(folder_file::save(dir.filePath(QStringLiteral("missing/FOLDER.DAT")), root));
}

TEST(FolderFile, SortedInsertPositionIgnoresCaseAndGoesAfterEqualTexts) {
    const std::vector<std::string> siblings = {"alpha", "Beta", "beta", "delta"};
    struct Case {
        const char* text;
        size_t position;
    };
    const Case cases[] = {{"", 0},     {"a", 0},       {"ALPHA", 1}, {"alpha2", 1}, {"b", 1},
                          {"BETA", 3}, {"Charlie", 3}, {"DELTA", 4}, {"zulu", 4}};
    for (const Case& c : cases)
        EXPECT_EQ(sortedInsertPosition(siblings, c.text), c.position) << c.text;
    EXPECT_EQ(sortedInsertPosition({}, "x"), 0u);
}

}  // namespace
}  // namespace dbk
