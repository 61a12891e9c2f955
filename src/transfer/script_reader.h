#pragma once

#include <QString>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dbk {

// A path chosen in the file chooser: "sql" is added when the name has no extension and no file
// of that name exists.
QString withScriptExtension(const QString& chosenPath);

// Splits an SQL script file into statements, reading it from disk a block at a time.
//
// A statement ends at a ";" that is the last character of its line and is returned with that
// ";" (the line feed is not kept); a statement split over several lines keeps its line breaks.
// "'" toggles a quoted string, whatever the state; "//" outside quotes starts a comment that is
// dropped up to and including its line feed; a ";" in any state waits for the line end. Double
// quotes, "#" and "/* */" mean nothing here: the server reads those. Bytes are passed through
// unchanged, except that CR LF is read as one line feed, as a text-mode read would.
class ScriptReader {
public:
    // The start of a script as the form shows it: up to 60 pieces of at most 1,023 bytes, each
    // ending at a line end or at that limit. nullopt when the file cannot be opened.
    static std::optional<std::string> preview(const QString& path);
    static constexpr int kPreviewPieces = 60;
    static constexpr int kPreviewPieceBytes = 1023;

    ScriptReader();
    ~ScriptReader();
    ScriptReader(const ScriptReader&) = delete;
    ScriptReader& operator=(const ScriptReader&) = delete;

    bool open(const QString& path);
    bool isOpen() const { return file_ != nullptr; }
    // The file's size in bytes (seek to the end and back), or 0 when it cannot be told.
    uint64_t size();

    // Reads the statement that starts at `offset` into `statement` and returns the offset after
    // the last byte read. At the end of the file the statement is "" and the offset stays; when
    // the seek to `offset` fails too.
    uint64_t read(uint64_t offset, std::string& statement);

    // True once reading the file failed (not at its end): what was read may be incomplete.
    bool failed() const { return failed_; }

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    bool seekTo(uint64_t offset);
    // The next byte, CR LF folded into LF; -1 at the end of the file or on a read error.
    int nextChar();
    int nextByte() { return pos_ < length_ ? static_cast<unsigned char>(buffer_[pos_++]) : refillAndRead(); }
    int peekByte();
    int refillAndRead();
    bool refill();
    uint64_t position() const { return bufferStart_ + pos_; }

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::vector<char> buffer_;
    uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    size_t length_ = 0;         // valid bytes in buffer_
    size_t pos_ = 0;            // next byte to hand out
    bool failed_ = false;
};

}  // namespace dbk
