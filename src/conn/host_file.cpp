#include "conn/host_file.h"

#include <QFile>
#include <algorithm>
#include <array>

namespace dbk {

namespace {

constexpr std::array<size_t, 5> kOffsets = {0, 256, 512, 768, 1024};
constexpr size_t kMarkerOffset = 1033;

void putField(std::string& record, size_t offset, size_t width, std::string_view text) {
    const size_t n = std::min(width, text.size());
    std::copy_n(text.data(), n, record.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::string getField(std::string_view record, size_t offset, size_t width) {
    if (offset >= record.size())
        return {};
    std::string_view field = record.substr(offset, width);
    return std::string(field.substr(0, field.find('\0')));
}

}  // namespace

std::string HostFile::encode(const HostRecord& record) {
    std::string bytes(kRecordSize, '\0');
    putField(bytes, kOffsets[0], kTextFieldSize, record.name);
    putField(bytes, kOffsets[1], kTextFieldSize, record.host);
    putField(bytes, kOffsets[2], kTextFieldSize, record.user);
    putField(bytes, kOffsets[3], kTextFieldSize, record.password);
    putField(bytes, kOffsets[4], kPortFieldSize, record.port);
    bytes[kMarkerOffset] = '1';
    return bytes;
}

HostRecord HostFile::decode(std::string_view bytes) {
    return HostRecord{
        getField(bytes, kOffsets[0], kTextFieldSize), getField(bytes, kOffsets[1], kTextFieldSize),
        getField(bytes, kOffsets[2], kTextFieldSize), getField(bytes, kOffsets[3], kTextFieldSize),
        getField(bytes, kOffsets[4], kPortFieldSize)};
}

std::vector<HostRecord> HostFile::readAll() const {
    std::vector<HostRecord> records;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    for (;;) {
        const QByteArray block = file.read(kRecordSize);
        if (static_cast<size_t>(block.size()) < kRecordSize)
            break;
        records.push_back(decode(std::string_view(block.constData(), kRecordSize)));
    }
    return records;
}

std::optional<HostRecord> HostFile::find(std::string_view name) const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (;;) {
        const QByteArray block = file.read(kRecordSize);
        if (static_cast<size_t>(block.size()) < kRecordSize)
            return std::nullopt;
        const std::string_view bytes(block.constData(), kRecordSize);
        if (getField(bytes, kOffsets[0], kTextFieldSize) == name)
            return decode(bytes);
    }
}

std::optional<qint64> HostFile::offsetOf(std::string_view name) const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray all = file.readAll();
    const std::string_view bytes(all.constData(), static_cast<size_t>(all.size()));
    for (size_t offset = 0; offset + kRecordSize <= bytes.size(); offset += kRecordSize) {
        if (getField(bytes, offset, kTextFieldSize) == name)
            return static_cast<qint64>(offset);
    }
    return std::nullopt;
}

HostFile::Outcome HostFile::append(const HostRecord& record) const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadWrite, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return Outcome::CannotOpen;
    }
    const qint64 size = file.size();
    const qint64 tail = size % static_cast<qint64>(kRecordSize);
    const qint64 start = tail == 0 ? size : size - tail + static_cast<qint64>(kRecordSize);
    if (!file.seek(size))
        return Outcome::CannotOpen;
    QByteArray bytes(static_cast<qsizetype>(start - size), '\0');
    const std::string encoded = encode(record);
    bytes.append(encoded.data(), static_cast<qsizetype>(encoded.size()));
    if (file.write(bytes) != bytes.size())
        return Outcome::CannotOpen;
    return file.flush() ? Outcome::Written : Outcome::CannotOpen;
}

HostFile::Outcome HostFile::replace(std::string_view name, const HostRecord& record) const {
    QFile file(path_);
    if (!file.exists() || !file.open(QIODevice::ReadWrite))
        return Outcome::CannotOpen;
    file.close();
    const auto offset = offsetOf(name);
    if (!offset)
        return Outcome::NotFound;
    if (!file.open(QIODevice::ReadWrite) || !file.seek(*offset))
        return Outcome::CannotOpen;
    const std::string encoded = encode(record);
    if (file.write(encoded.data(), static_cast<qint64>(encoded.size())) !=
        static_cast<qint64>(encoded.size())) {
        return Outcome::CannotOpen;
    }
    return file.flush() ? Outcome::Written : Outcome::CannotOpen;
}

HostFile::Outcome HostFile::markDeleted(std::string_view name) const {
    QFile file(path_);
    if (!file.exists() || !file.open(QIODevice::ReadWrite))
        return Outcome::CannotOpen;
    file.close();
    const auto offset = offsetOf(name);
    if (!offset)
        return Outcome::NotFound;
    if (!file.open(QIODevice::ReadWrite))
        return Outcome::CannotOpen;
    for (size_t fieldOffset : kOffsets) {
        if (!file.seek(*offset + static_cast<qint64>(fieldOffset)) || file.write("*\0", 2) != 2) {
            return Outcome::CannotOpen;
        }
    }
    return file.flush() ? Outcome::Written : Outcome::CannotOpen;
}

}  // namespace dbk
