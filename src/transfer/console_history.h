#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace dbk {

// One statement run from the SQL console.
struct HistoryEntry {
    QString statement;
    QString database;              // the default database after it ran; "" when none
    QDateTime time;                // when it ran (UTC)
    std::optional<uint64_t> rows;  // rows it returned or changed; none when it failed
    QString error;                 // the server's error text when it failed
};

// The statements run from the console, oldest first, kept in a file of their own in the
// program's start-up directory: UTF-8, one entry per line as a JSON object, appended as each
// statement runs. Past kLimit entries the oldest are dropped.
class ConsoleHistory {
public:
    static constexpr size_t kLimit = 10000;
    static constexpr const char* kFileName = "sql_history.jsonl";

    // What opening the file found.
    struct Opened {
        bool unreadable = false;  // the file was there but could not be read
        QString setAsidePath;     // where an unreadable file was moved; "" when it could not be
    };

    // Reads the history file of `directory` (a missing file is an empty history). A file that
    // cannot be read is moved aside under a new name and the history starts empty; when it
    // cannot be moved either, nothing is written to it afterwards.
    Opened open(const QString& directory);

    // Adds an entry and appends it to the file; false when the file could not be written.
    bool append(HistoryEntry entry);

    const std::vector<HistoryEntry>& entries() const { return entries_; }
    QString path() const { return path_; }
    // Positions of the entries whose statement contains `text` (any case), newest first.
    std::vector<size_t> search(const QString& text) const;

    // The line an entry takes in the file, without its line feed; and back (nullopt when the
    // line is not an entry).
    static QByteArray encode(const HistoryEntry& entry);
    static std::optional<HistoryEntry> decode(const QByteArray& line);

private:
    bool rewrite();

    QString path_;
    bool writable_ = false;
    std::vector<HistoryEntry> entries_;
};

// Walking the history from the statement field: older and newer entries in turn, and back to
// what was typed before the walk began.
class HistoryWalk {
public:
    // The entry before the one shown (the newest when the walk begins with `typed` in the
    // field); nullopt when there is none.
    std::optional<QString> older(const ConsoleHistory& history, const QString& typed);
    // The entry after the one shown, or what was typed once past the newest; nullopt when no
    // walk is under way.
    std::optional<QString> newer(const ConsoleHistory& history);
    void reset() { index_.reset(); }

private:
    std::optional<size_t> index_;
    QString typed_;
};

}  // namespace dbk
