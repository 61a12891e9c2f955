#include "conn/folder_file.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cctype>
#include <charconv>

#include "conn/text_format.h"

namespace dbk {

namespace folder_file {

namespace {

size_t countItems(const FolderNode& node) {
    size_t n = 0;
    for (const FolderNode& child : node.children)
        n += 1 + countItems(child);
    return n;
}

// Writes the children of `node`, whose number is `parentNumber`; returns the last number used.
int writeChildren(const FolderNode& node, int parentNumber, int lastNumber, std::string& out) {
    for (const FolderNode& child : node.children) {
        const std::string text = child.text.substr(0, kTextBytes);
        out += format("%d %d %s %d\n", parentNumber, child.image, text, child.tag);
        const int number = child.tag == -1 ? ++lastNumber : lastNumber;
        lastNumber = writeChildren(child, number, lastNumber, out);
    }
    return lastNumber;
}

std::vector<std::string_view> splitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && std::isspace(static_cast<unsigned char>(line[pos])))
            ++pos;
        const size_t start = pos;
        while (pos < line.size() && !std::isspace(static_cast<unsigned char>(line[pos])))
            ++pos;
        if (pos > start)
            words.push_back(line.substr(start, pos - start));
    }
    return words;
}

bool parseInt(std::string_view word, int& out) {
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), out);
    return error == std::errc() && end == word.data() + word.size();
}

struct Item {
    int parent = 0;
    int image = 0;
    std::string text;
    int tag = -1;
};

// "parent image text tag"; a text with blanks in it (written by older versions) is joined.
bool parseItem(std::string_view line, Item& item) {
    const auto words = splitWords(line);
    if (words.size() < 4)
        return false;
    if (!parseInt(words[0], item.parent) || !parseInt(words[1], item.image) ||
        !parseInt(words.back(), item.tag)) {
        return false;
    }
    item.text.assign(words[2]);
    for (size_t i = 3; i + 1 < words.size(); ++i) {
        item.text += ' ';
        item.text.append(words[i]);
    }
    return true;
}

}  // namespace

std::string write(const FolderNode& root) {
    std::string out = format("%d\n", static_cast<long long>(countItems(root)));
    writeChildren(root, 0, 0, out);
    return out;
}

FolderNode read(std::string_view content) {
    FolderNode root;
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos < content.size();) {
        size_t end = content.find('\n', pos);
        if (end == std::string_view::npos)
            end = content.size();
        std::string_view line = content.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        pos = end + 1;
    }
    if (lines.empty())
        return root;

    int count = 0;
    const auto firstWords = splitWords(lines[0]);
    const bool countKnown = firstWords.size() == 1 && parseInt(firstWords[0], count);
    const size_t available = lines.size() - 1;
    const size_t toRead =
        countKnown ? std::min(available, static_cast<size_t>(std::max(count, 0))) : available;

    // Items are placed in file order, each below an item placed before it, and the tree is put
    // together at the end: from the last item to the first, every item is moved into its parent,
    // whose own children are then complete. Each line costs the same however deep it lies.
    struct Placed {
        size_t parent;  // position in `placed`; kRoot for the root
        FolderNode node;
    };
    constexpr size_t kRoot = static_cast<size_t>(-1);
    std::vector<Placed> placed;
    // Item number -> position in `placed`, for the numbered items that were placed.
    std::vector<size_t> byNumber(1, kRoot);
    int lastNumber = 0;
    for (size_t i = 1; i <= toRead; ++i) {
        Item item;
        if (!parseItem(lines[i], item)) {
            if (!splitWords(lines[i]).empty())
                ++lastNumber;  // a damaged item keeps its number
            continue;
        }
        const int number = item.tag == -1 ? ++lastNumber : 0;
        const bool validImage = item.image >= 0 && item.image <= 3;
        size_t parent = kRoot;
        if (item.parent != 0) {
            if (item.parent < 0 || static_cast<size_t>(item.parent) >= byNumber.size() ||
                byNumber[static_cast<size_t>(item.parent)] == kRoot) {
                continue;
            }
            parent = byNumber[static_cast<size_t>(item.parent)];
        }
        const bool parentIsFolder = parent == kRoot || placed[parent].node.isFolder();
        if (!validImage || !parentIsFolder || item.text.empty())
            continue;
        placed.push_back(Placed{parent, FolderNode{std::move(item.text), item.image, item.tag, {}}});
        if (number != 0) {
            byNumber.resize(std::max(byNumber.size(), static_cast<size_t>(number) + 1), kRoot);
            byNumber[static_cast<size_t>(number)] = placed.size() - 1;
        }
    }
    for (size_t i = placed.size(); i-- > 0;) {
        FolderNode& node = placed[i].node;
        std::reverse(node.children.begin(), node.children.end());
        FolderNode& parent = placed[i].parent == kRoot ? root : placed[placed[i].parent].node;
        parent.children.push_back(std::move(node));
    }
    std::reverse(root.children.begin(), root.children.end());
    return root;
}

bool save(const QString& path, const FolderNode& root) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const std::string content = write(root);
    file.write(content.data(), static_cast<qint64>(content.size()));
    return file.commit();
}

FolderNode load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FolderNode{};
    const QByteArray content = file.readAll();
    return read(std::string_view(content.constData(), static_cast<size_t>(content.size())));
}

}  // namespace folder_file

size_t sortedInsertPosition(const std::vector<std::string>& siblingTexts, std::string_view text) {
    auto lessIgnoringCase = [](std::string_view a, std::string_view b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    };
    size_t position = 0;
    while (position < siblingTexts.size() && !lessIgnoringCase(text, siblingTexts[position]))
        ++position;
    return position;
}

}  // namespace dbk
