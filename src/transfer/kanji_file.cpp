#include "transfer/kanji_file.h"

#include <QFile>
#include <cstring>

#include "transfer/kanji_converter.h"

namespace dbk {

namespace {

constexpr qint64 kBlockSize = 1 << 20;

// Reads a file a block at a time and hands out its lines, each with its line feed (the last one
// may have none). A line is held whole, however long; the blocks are not.
class LineReader {
public:
    explicit LineReader(QFile& file) : file_(file), block_(static_cast<size_t>(kBlockSize), '\0') {}

    bool rewind() {
        start_ = end_ = 0;
        carry_.clear();
        eof_ = failed_ = false;
        return file_.seek(0);
    }

    // The next line; false at the end of the file or when it cannot be read (failed()).
    bool next(std::string_view& line) {
        for (;;) {
            const char* begin = block_.data() + start_;
            const void* feed = std::memchr(begin, '\n', end_ - start_);
            if (feed) {
                const size_t length = static_cast<size_t>(static_cast<const char*>(feed) - begin) + 1;
                start_ += length;
                if (carry_.empty()) {
                    line = std::string_view(begin, length);
                } else {
                    carry_.append(begin, length);
                    line = held_ = std::move(carry_);
                    carry_.clear();
                }
                return true;
            }
            carry_.append(begin, end_ - start_);
            start_ = end_ = 0;
            if (eof_ || !fill()) {
                if (carry_.empty())
                    return false;
                line = held_ = std::move(carry_);
                carry_.clear();
                return true;
            }
        }
    }

    bool failed() const { return failed_; }

private:
    bool fill() {
        const qint64 read = file_.read(block_.data(), kBlockSize);
        if (read < 0)
            failed_ = true;
        if (read <= 0) {
            eof_ = true;
            return false;
        }
        end_ = static_cast<size_t>(read);
        return true;
    }

    QFile& file_;
    std::string block_;
    size_t start_ = 0;
    size_t end_ = 0;
    std::string carry_;  // the beginning of a line that runs on into the next block
    std::string held_;   // a line put together from more than one block
    bool eof_ = false;
    bool failed_ = false;
};

// A first reading decides the code (a second one only when the lines it could not decode in some
// code might still change the choice).
std::optional<KanjiCode> recognise(LineReader& lines, KanjiCode assumed) {
    KanjiCodeGuess guess(assumed);
    std::string_view line;
    while (lines.next(line))
        guess.addQuickly(line);
    if (lines.failed())
        return std::nullopt;
    if (!guess.settled()) {
        if (!lines.rewind())
            return std::nullopt;
        while (lines.next(line))
            guess.settle(line);
        if (lines.failed())
            return std::nullopt;
    }
    return guess.code();
}

}  // namespace

std::optional<KanjiCode> recogniseKanjiFile(const QString& path, KanjiCode assumed) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    LineReader lines(in);
    return recognise(lines, assumed);
}

bool convertKanjiFile(const QString& source, const QString& destination, std::string_view options,
                      uint64_t* unconverted) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QFile out(destination);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;

    KanjiConverter converter;
    converter.setOptions(options);
    LineReader lines(in);
    const std::optional<KanjiCode> recognised = recognise(lines, converter.assumedCode());
    if (!recognised)
        return false;
    const KanjiCode code = *recognised;
    std::string_view line;

    if (!lines.rewind())
        return false;
    // ISO-2022-JP's shifts may outlast a line.
    KanjiConverter::JisShift shift;
    std::string converted;
    converted.reserve(static_cast<size_t>(kBlockSize) * 2);
    const auto write = [&out, &converted] {
        const auto size = static_cast<qint64>(converted.size());
        const bool written = out.write(converted.data(), size) == size;
        converted.clear();
        return written;
    };
    uint64_t missing = 0;
    while (lines.next(line)) {
        missing += converter.appendConverted(line, code, shift, converted);
        if (converted.size() >= static_cast<size_t>(kBlockSize) && !write())
            return false;
    }
    if (unconverted)
        *unconverted = missing;
    return !lines.failed() && write() && out.flush();
}

}  // namespace dbk
