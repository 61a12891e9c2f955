#include "transfer/script_reader.h"

#include <sys/types.h>
#include <QFile>
#include <QFileInfo>

namespace dbk {

namespace {
constexpr size_t kBlockBytes = 64 * 1024;
}  // namespace

QString withScriptExtension(const QString& chosenPath) {
    if (chosenPath.isEmpty())
        return chosenPath;
    const QFileInfo info(chosenPath);
    if (!info.suffix().isEmpty() || info.exists())
        return chosenPath;
    return chosenPath + QStringLiteral(".sql");
}

std::optional<std::string> ScriptReader::preview(const QString& path) {
    ScriptReader reader;
    if (!reader.open(path))
        return std::nullopt;
    std::string text;
    for (int piece = 0; piece < kPreviewPieces; ++piece) {
        int bytes = 0;
        int c = -1;
        while (bytes < kPreviewPieceBytes && (c = reader.nextChar()) >= 0) {
            text += static_cast<char>(c);
            ++bytes;
            if (c == '\n')
                break;
        }
        if (c < 0)
            break;
    }
    if (reader.failed())
        return std::nullopt;
    return text;
}

ScriptReader::ScriptReader() : buffer_(kBlockBytes) {}

ScriptReader::~ScriptReader() = default;

bool ScriptReader::open(const QString& path) {
    file_.reset();
    bufferStart_ = 0;
    length_ = 0;
    pos_ = 0;
    failed_ = false;
    if (path.isEmpty())
        return false;
    file_.reset(std::fopen(QFile::encodeName(path).constData(), "rb"));
    return file_ != nullptr;
}

uint64_t ScriptReader::size() {
    if (!file_)
        return 0;
    std::FILE* f = file_.get();
    // The stream stands after the buffered block; it goes back there afterwards.
    const off_t resume = static_cast<off_t>(bufferStart_ + length_);
    if (fseeko(f, 0, SEEK_END) != 0)
        return 0;
    const off_t end = ftello(f);
    if (fseeko(f, resume, SEEK_SET) != 0) {
        // The buffer no longer matches the stream: start over at the next read.
        bufferStart_ = 0;
        length_ = 0;
        pos_ = 0;
        std::rewind(f);
    }
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

bool ScriptReader::seekTo(uint64_t offset) {
    if (!file_)
        return false;
    if (offset >= bufferStart_ && offset <= bufferStart_ + length_) {
        pos_ = static_cast<size_t>(offset - bufferStart_);
        return true;
    }
    if (fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    bufferStart_ = offset;
    length_ = 0;
    pos_ = 0;
    return true;
}

bool ScriptReader::refill() {
    if (!file_ || failed_)
        return false;
    bufferStart_ += length_;
    pos_ = 0;
    length_ = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
    if (length_ == 0 && std::ferror(file_.get()))
        failed_ = true;
    return length_ > 0;
}

int ScriptReader::refillAndRead() {
    if (!refill())
        return -1;
    return static_cast<unsigned char>(buffer_[pos_++]);
}

int ScriptReader::peekByte() {
    if (pos_ == length_ && !refill())
        return -1;
    return static_cast<unsigned char>(buffer_[pos_]);
}

int ScriptReader::nextChar() {
    const int c = nextByte();
    if (c == '\r' && peekByte() == '\n')
        return nextByte();
    return c;
}

uint64_t ScriptReader::read(uint64_t offset, std::string& statement) {
    statement.clear();
    if (!seekTo(offset))
        return offset;

    enum class State { Normal, SlashSeen, LineComment, AfterSemicolon, Quoted };
    State state = State::Normal;
    for (;;) {
        const int c = nextChar();
        if (c < 0) {
            // A "/" held back at the very end is still part of the statement.
            if (state == State::SlashSeen)
                statement += '/';
            break;
        }
        if (state == State::SlashSeen) {
            if (c == '/') {
                state = State::LineComment;
                continue;
            }
            statement += '/';
            state = State::Normal;
        }
        if (c == '\'') {
            state = state == State::Quoted ? State::Normal : State::Quoted;
            statement += '\'';
            continue;
        }
        if (c == ';') {
            statement += ';';
            state = State::AfterSemicolon;
            continue;
        }
        if (state == State::AfterSemicolon) {
            if (c == '\n')
                break;
            state = State::Normal;
        }
        if (state == State::LineComment) {
            if (c == '\n')
                state = State::Normal;
            continue;
        }
        if (state == State::Normal && c == '/') {
            state = State::SlashSeen;
            continue;
        }
        statement += static_cast<char>(c);
    }
    return position();
}

}  // namespace dbk
