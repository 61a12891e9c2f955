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

    ScriptScanner scanner;
    const auto keep = [&statement](int c, uint64_t) { statement += static_cast<char>(c); };
    for (;;) {
        const int c = nextChar();
        if (c < 0) {
            scanner.finish(keep);
            break;
        }
        if (scanner.feed(c, 0, keep))
            break;
    }
    return position();
}

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

int lineEnd(const QString& text, int from) {
    const qsizetype end = text.indexOf(u'\n', from);
    return end < 0 ? static_cast<int>(text.size()) : static_cast<int>(end);
}

void addTrimmed(std::vector<ScriptPiece>& pieces, ScriptPiece piece) {
    qsizetype first = 0;
    qsizetype last = piece.statement.size();
    while (first < last && isBlank(piece.statement[first]))
        ++first;
    while (last > first && isBlank(piece.statement[last - 1]))
        --last;
    if (first == last)
        return;
    piece.statement = piece.statement.mid(first, last - first);
    piece.from = std::vector<int>(piece.from.begin() + first, piece.from.begin() + last);
    pieces.push_back(std::move(piece));
}

}  // namespace

std::optional<QString> scriptDelimiter(QStringView line) {
    static const QString keyword = QStringLiteral("DELIMITER");
    line = line.trimmed();
    if (!line.startsWith(keyword, Qt::CaseInsensitive) || line.size() <= keyword.size() ||
        !line[keyword.size()].isSpace())
        return std::nullopt;
    const QStringView delimiter = line.sliced(keyword.size()).trimmed();
    if (delimiter.isEmpty() || delimiter.contains(u' ') || delimiter.contains(u'\t'))
        return std::nullopt;
    return delimiter.toString();
}

std::vector<ScriptPiece> splitScriptText(const QString& text) {
    std::vector<ScriptPiece> pieces;
    const int size = static_cast<int>(text.size());
    QString delimiter = QStringLiteral(";");
    int pos = 0;
    while (pos < size) {
        int first = pos;
        while (first < size && isBlank(text[first]))
            ++first;
        if (first == size)
            break;
        const int firstEnd = lineEnd(text, first);
        if (const std::optional<QString> set =
                scriptDelimiter(QStringView(text).sliced(first, firstEnd - first))) {
            delimiter = *set;
            pos = firstEnd + 1;
            continue;
        }
        ScriptPiece piece;
        const auto keep = [&piece](int c, uint64_t at) {
            piece.statement += QChar(static_cast<char16_t>(c));
            piece.from.push_back(static_cast<int>(at));
        };
        if (delimiter == u';') {
            ScriptScanner scanner;
            bool ended = false;
            for (; pos < size && !ended; ++pos)
                ended = scanner.feed(text[pos].unicode(), static_cast<uint64_t>(pos), keep);
            if (!ended)
                scanner.finish(keep);
        } else {
            // Up to the line that ends with the delimiter, the text as it stands.
            int stop = size;
            for (int line = pos; line < size;) {
                const int end = lineEnd(text, line);
                int last = end;
                while (last > line && isBlank(text[last - 1]))
                    --last;
                if (QStringView(text).sliced(line, last - line).endsWith(delimiter)) {
                    stop = last - static_cast<int>(delimiter.size());
                    pos = end + 1;
                    break;
                }
                line = end + 1;
                pos = size;
            }
            for (int i = first; i < stop; ++i)
                keep(text[i].unicode(), static_cast<uint64_t>(i));
        }
        addTrimmed(pieces, std::move(piece));
    }
    return pieces;
}

const ScriptPiece* pieceAt(const std::vector<ScriptPiece>& pieces, int position) {
    const ScriptPiece* found = pieces.empty() ? nullptr : &pieces.front();
    for (const ScriptPiece& piece : pieces) {
        if (piece.from.front() > position)
            break;
        found = &piece;
    }
    return found;
}

}  // namespace dbk
