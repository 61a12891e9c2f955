#include "conn/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace dbk {

QString toUi(std::string_view bytes) {
    QStringDecoder decoder("CP932");
    return decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string fromUi(const QString& text) {
    QStringEncoder encoder("CP932");
    const QByteArray bytes = encoder(text);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace dbk
