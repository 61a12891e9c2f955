#include "transfer/kanji_file.h"

#include <QFile>

#include "transfer/kanji_converter.h"

namespace dbk {

namespace {

std::string_view view(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

bool convertKanjiFile(const QString& source, const QString& destination, std::string_view options) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QFile out(destination);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;

    KanjiConverter converter;
    converter.setOptions(options);
    // A first reading decides the code; lines are read whole, however long.
    KanjiCodeGuess guess(converter.assumedCode());
    for (QByteArray line = in.readLine(); !line.isEmpty(); line = in.readLine())
        guess.add(view(line));
    if (!in.seek(0))
        return false;
    const KanjiCode code = guess.code();

    // ISO-2022-JP's shifts may outlast a line.
    KanjiConverter::JisShift shift;
    bool written = true;
    for (QByteArray line = in.readLine(); written && !line.isEmpty(); line = in.readLine()) {
        const std::string converted = converter.convert(view(line), code, shift);
        const auto size = static_cast<qint64>(converted.size());
        written = out.write(converted.data(), size) == size;
    }
    return written && in.atEnd() && out.flush();
}

}  // namespace dbk
