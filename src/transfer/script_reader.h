#pragma once

#include <QString>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dbk {

// The rules that end a script's statement (see ScriptReader), fed one character at a time.
// `keep(c, position)` receives each character that belongs to the statement with the position
// it was read at; a "/" is held back until the next character shows it is no comment.
class ScriptScanner {
public:
    // True when the statement ended with this character (a line feed after a ";", not kept).
    template <class Keep>
    bool feed(int c, uint64_t position, Keep&& keep) {
        if (state_ == State::SlashSeen) {
            if (c == '/') {
                state_ = State::LineComment;
                return false;
            }
            keep('/', slashAt_);
            state_ = State::Normal;
        }
        if (c == '\'') {
            state_ = state_ == State::Quoted ? State::Normal : State::Quoted;
            keep(c, position);
            return false;
        }
        if (c == ';') {
            keep(c, position);
            state_ = State::AfterSemicolon;
            return false;
        }
        if (state_ == State::AfterSemicolon) {
            if (c == '\n')
                return true;
            state_ = State::Normal;
        }
        if (state_ == State::LineComment) {
            if (c == '\n')
                state_ = State::Normal;
            return false;
        }
        if (state_ == State::Normal && c == '/') {
            state_ = State::SlashSeen;
            slashAt_ = position;
            return false;
        }
        keep(c, position);
        return false;
    }
    // At the end of the text: a "/" held back at the very end is still part of the statement.
    template <class Keep>
    void finish(Keep&& keep) {
        if (state_ == State::SlashSeen)
            keep('/', slashAt_);
        state_ = State::Normal;
    }

private:
    enum class State { Normal, SlashSeen, LineComment, AfterSemicolon, Quoted };
    State state_ = State::Normal;
    uint64_t slashAt_ = 0;
};

// A statement of a text being edited, cut by the script's rules.
struct ScriptPiece {
    QString statement;      // as it is sent: comments dropped, blanks around it trimmed
    std::vector<int> from;  // for each character of `statement`, its position in the text
};

// Cuts an edited text as a script file is cut, and also follows "DELIMITER x" lines: after
// one, a statement runs up to the line that ends with x (x removed) and is sent as it stands,
// until "DELIMITER ;" brings the script's rules back. Statements of blanks alone are left out.
std::vector<ScriptPiece> splitScriptText(const QString& text);
// The delimiter a "DELIMITER x" line sets (any case); nullopt for any other line.
std::optional<QString> scriptDelimiter(QStringView line);
// The statement the cursor at `position` is in: the last one that starts at or before it,
// else the first; nullptr when there is none.
const ScriptPiece* pieceAt(const std::vector<ScriptPiece>& pieces, int position);

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
