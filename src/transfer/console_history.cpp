#include "transfer/console_history.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace dbk {

namespace {

// Trimming rewrites the file; it waits until a tenth more than the limit has gathered.
constexpr size_t kTrimSlack = ConsoleHistory::kLimit / 10;

const QString kStatement = QStringLiteral("statement");
const QString kDatabase = QStringLiteral("database");
const QString kTime = QStringLiteral("time");
const QString kRows = QStringLiteral("rows");
const QString kError = QStringLiteral("error");

// A name beside `path` for an unreadable file, not taken yet.
QString asideName(const QString& path) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFile::exists(candidate); ++n)
        candidate = path + QStringLiteral(".unreadable-") + stamp + QStringLiteral("-") + QString::number(n);
    return candidate;
}

}  // namespace

QByteArray ConsoleHistory::encode(const HistoryEntry& entry) {
    QJsonObject object;
    object.insert(kTime, entry.time.toUTC().toString(Qt::ISODateWithMs));
    object.insert(kDatabase, entry.database);
    if (entry.rows)
        object.insert(kRows, static_cast<qint64>(*entry.rows));
    else
        object.insert(kError, entry.error);
    object.insert(kStatement, entry.statement);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<HistoryEntry> ConsoleHistory::decode(const QByteArray& line) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    if (!object.value(kStatement).isString() || !object.value(kTime).isString())
        return std::nullopt;
    HistoryEntry entry;
    entry.statement = object.value(kStatement).toString();
    entry.database = object.value(kDatabase).toString();
    entry.time = QDateTime::fromString(object.value(kTime).toString(), Qt::ISODateWithMs);
    if (!entry.time.isValid())
        return std::nullopt;
    if (object.contains(kRows)) {
        const qint64 rows = object.value(kRows).toInteger(-1);
        if (rows < 0)
            return std::nullopt;
        entry.rows = static_cast<uint64_t>(rows);
    } else {
        entry.error = object.value(kError).toString();
    }
    return entry;
}

ConsoleHistory::Opened ConsoleHistory::open(const QString& directory) {
    path_ = QDir(directory.isEmpty() ? QDir::currentPath() : directory).filePath(QLatin1String(kFileName));
    entries_.clear();
    writable_ = true;
    Opened opened;
    QFile file(path_);
    if (!file.exists())
        return opened;
    bool readable = file.open(QIODevice::ReadOnly);
    if (readable) {
        const QList<QByteArray> lines = file.readAll().split('\n');
        readable = file.error() == QFileDevice::NoError;
        for (qsizetype i = 0; readable && i < lines.size(); ++i) {
            if (lines[i].isEmpty())
                continue;
            std::optional<HistoryEntry> entry = decode(lines[i]);
            if (!entry)
                readable = false;
            else
                entries_.push_back(std::move(*entry));
        }
        file.close();
    }
    if (readable) {
        if (entries_.size() > kLimit)
            entries_.erase(entries_.begin(), entries_.end() - static_cast<std::ptrdiff_t>(kLimit));
        return opened;
    }
    // Kept for the user under another name; the history starts again.
    entries_.clear();
    opened.unreadable = true;
    const QString aside = asideName(path_);
    if (QFile::rename(path_, aside))
        opened.setAsidePath = aside;
    else
        writable_ = false;
    return opened;
}

bool ConsoleHistory::append(HistoryEntry entry) {
    entries_.push_back(std::move(entry));
    if (!writable_)
        return false;
    if (entries_.size() > kLimit + kTrimSlack) {
        entries_.erase(entries_.begin(), entries_.end() - static_cast<std::ptrdiff_t>(kLimit));
        return rewrite();
    }
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray line = encode(entries_.back()) + '\n';
    return file.write(line) == line.size() && file.flush();
}

bool ConsoleHistory::rewrite() {
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const HistoryEntry& entry : entries_)
        file.write(encode(entry) + '\n');
    return file.commit();
}

std::vector<size_t> ConsoleHistory::search(const QString& text) const {
    std::vector<size_t> found;
    for (size_t i = entries_.size(); i-- > 0;) {
        if (entries_[i].statement.contains(text, Qt::CaseInsensitive))
            found.push_back(i);
    }
    return found;
}

std::optional<QString> HistoryWalk::older(const ConsoleHistory& history, const QString& typed) {
    const size_t count = history.entries().size();
    if (!index_) {
        if (count == 0)
            return std::nullopt;
        typed_ = typed;
        index_ = count;
    }
    if (*index_ > count)
        *index_ = count;
    if (*index_ == 0)
        return std::nullopt;
    --*index_;
    return history.entries()[*index_].statement;
}

std::optional<QString> HistoryWalk::newer(const ConsoleHistory& history) {
    if (!index_)
        return std::nullopt;
    ++*index_;
    if (*index_ >= history.entries().size()) {
        index_.reset();
        return typed_;
    }
    return history.entries()[*index_].statement;
}

}  // namespace dbk
