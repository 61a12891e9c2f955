// dbk_sandbox_host DIR NAME HOST PORT USER PASSWORD
//
// Saves a server in the address book kept in DIR (Host.DAT and FOLDER.DAT), the way the
// login form would: the record named NAME is rewritten in place or appended, and a host
// node NAME is added under the root of the folder tree unless the tree already has one.
// ./run --sandbox uses it to offer its private server as "sandbox".

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "conn/folder_file.h"
#include "conn/host_file.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "dbk_sandbox_host: %s\n", message.c_str());
    return 1;
}

std::string local(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

bool validPort(std::string_view text) {
    unsigned int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    return error == std::errc() && end == text.data() + text.size() && port >= 1 && port <= 65535;
}

// The folder file keeps texts cut to a few bytes, so a long name is found by its start too.
bool hasHostNode(const dbk::FolderNode& node, std::string_view name) {
    const std::string_view stored = name.substr(0, dbk::folder_file::kTextBytes);
    for (const dbk::FolderNode& child : node.children) {
        if (child.isHost() && (child.text == name || child.text == stored))
            return true;
        if (hasHostNode(child, name))
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s DIR NAME HOST PORT USER PASSWORD\n",
                     argc > 0 ? argv[0] : "dbk_sandbox_host");
        return 2;
    }
    const QString directory = QString::fromLocal8Bit(argv[1]);
    const dbk::HostRecord record{argv[2], argv[3], argv[5], argv[6], argv[4]};
    if (record.name.empty())
        return fail("the name must not be empty");
    if (!validPort(record.port))
        return fail("not a port number: " + record.port);
    if (!QFileInfo(directory).isDir())
        return fail("no such directory: " + local(directory));
    const QDir dir(directory);

    const dbk::HostFile hosts(dir.filePath(QString::fromLatin1(dbk::HostFile::kFileName)));
    const bool known = hosts.find(record.name).has_value();
    const auto outcome = known ? hosts.replace(record.name, record) : hosts.append(record);
    if (outcome != dbk::HostFile::Outcome::Written)
        return fail("cannot write " + local(hosts.path()));

    const QString folderPath = dir.filePath(QString::fromLatin1(dbk::folder_file::kFileName));
    dbk::FolderNode root = dbk::folder_file::load(folderPath);
    if (!hasHostNode(root, record.name)) {
        std::vector<std::string> siblings;
        siblings.reserve(root.children.size());
        for (const dbk::FolderNode& child : root.children)
            siblings.push_back(child.text);
        const size_t position = dbk::sortedInsertPosition(siblings, record.name);
        root.children.insert(root.children.begin() + static_cast<std::ptrdiff_t>(position),
                             dbk::FolderNode{record.name, dbk::FolderNode::kHostImage, -1, {}});
        if (!dbk::folder_file::save(folderPath, root))
            return fail("cannot write " + local(folderPath));
    }

    std::printf("%s host %s (%s:%s, user %s) in %s\n", known ? "updated" : "added", record.name.c_str(),
                record.host.c_str(), record.port.c_str(), record.user.c_str(),
                local(dir.absolutePath()).c_str());
    return 0;
}
