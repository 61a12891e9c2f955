#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace dbk {

// A node of the address book's folder tree. Image 0 is a folder, 2 a saved host (1 and 3
// are their selected pictures). The text is bytes, as stored.
struct FolderNode {
    static constexpr int kFolderImage = 0;
    static constexpr int kHostImage = 2;

    std::string text;
    int image = kFolderImage;
    int tag = -1;
    std::vector<FolderNode> children;

    bool isFolder() const { return image == 0 || image == 1; }
    bool isHost() const { return image == 2 || image == 3; }
    bool operator==(const FolderNode&) const = default;
};

// The folder file: a line with the number of items (the root is not written), then one
// "parent image text tag" line per item, depth first. Items are numbered from 1 in file
// order; an item's parent number is its parent's number, 0 for the root.
namespace folder_file {

inline constexpr const char* kFileName = "FOLDER.DAT";
// Item texts are written cut to this many bytes.
inline constexpr size_t kTextBytes = 19;

std::string write(const FolderNode& root);
// Items that can be placed are loaded; lines that cannot be read or placed are dropped.
FolderNode read(std::string_view content);

bool save(const QString& path, const FolderNode& root);
// A missing or unreadable file gives a root without children.
FolderNode load(const QString& path);

}  // namespace folder_file

// Where a node with this text goes among siblings kept in sorted order (case-insensitive,
// after equal texts).
size_t sortedInsertPosition(const std::vector<std::string>& siblingTexts, std::string_view text);

}  // namespace dbk
