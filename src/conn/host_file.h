#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dbk {

// One saved server of the address book. Texts are bytes as stored.
struct HostRecord {
    std::string name;
    std::string host;
    std::string user;
    std::string password;
    std::string port;
    bool operator==(const HostRecord&) const = default;
};

// The saved-server file: records of exactly 1034 bytes, no header, in creation order.
//   0 name (256) | 256 host (256) | 512 user (256) | 768 password (256) | 1024 port (9) | 1033 "1"
// Texts are cut to their field and nul-padded; a text as wide as its field has no terminator.
// Records are appended or rewritten in place; the file never shrinks.
class HostFile {
public:
    static constexpr size_t kRecordSize = 1034;
    static constexpr size_t kTextFieldSize = 256;
    static constexpr size_t kPortFieldSize = 9;
    static constexpr const char* kFileName = "Host.DAT";

    enum class Outcome { Written, NotFound, CannotOpen };

    explicit HostFile(QString path = QString::fromLatin1(kFileName)) : path_(std::move(path)) {}

    static std::string encode(const HostRecord& record);
    // Decodes one record from the first kRecordSize bytes (fewer bytes read as nul).
    static HostRecord decode(std::string_view bytes);

    // Complete records in file order; a cut last record is left out. Empty when unreadable.
    std::vector<HostRecord> readAll() const;
    // First record whose name equals the given name byte for byte.
    std::optional<HostRecord> find(std::string_view name) const;
    // Appends a record, creating the file readable by its owner only. A cut last record is
    // first filled up to its full size, so the new record starts on a record boundary.
    Outcome append(const HostRecord& record) const;
    // Rewrites the first record named `name` in place.
    Outcome replace(std::string_view name, const HostRecord& record) const;
    // Marks the first record named `name` deleted: "*" and a nul at the start of each of its
    // five texts, the rest of the record left as it was.
    Outcome markDeleted(std::string_view name) const;

    const QString& path() const { return path_; }

private:
    std::optional<qint64> offsetOf(std::string_view name) const;
    QString path_;
};

}  // namespace dbk
