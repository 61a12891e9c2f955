#include "app/messages.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <optional>

namespace dbk {

namespace {

QString unescape(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar c = text[++i];
            out += c == u'n' ? QChar(u'\n') : c == u't' ? QChar(u'\t') : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

QHash<int, QString> loadTable(const QString& path) {
    QHash<int, QString> table;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return table;
    const QString all = QString::fromUtf8(file.readAll());
    for (QStringView line : QStringView(all).split(u'\n')) {
        const qsizetype tab = line.indexOf(u'\t');
        if (tab <= 0 || line.startsWith(u'#'))
            continue;
        bool ok = false;
        const int id = line.first(tab).toInt(&ok);
        if (ok)
            table.insert(id, unescape(line.sliced(tab + 1)));
    }
    return table;
}

const QHash<int, QString>& table(Language language) {
    static const QHash<int, QString> english = loadTable(QStringLiteral(":/strings/strings_en.tsv"));
    static const QHash<int, QString> japanese = loadTable(QStringLiteral(":/strings/strings_ja.tsv"));
    return language == Language::Japanese ? japanese : english;
}

std::optional<Language>& chosenLanguage() {
    static std::optional<Language> chosen;
    return chosen;
}

}  // namespace

Language interfaceLanguage() {
    if (chosenLanguage())
        return *chosenLanguage();
    const QByteArray env = qgetenv("DBKEEPER_LANG").toLower();
    if (env.startsWith("ja"))
        return Language::Japanese;
    if (env.startsWith("en"))
        return Language::English;
    return QLocale::system().language() == QLocale::Japanese ? Language::Japanese : Language::English;
}

void setInterfaceLanguage(Language language) {
    chosenLanguage() = language;
}

QString msgIn(Language language, int id) {
    const auto& chosen = table(language);
    if (auto it = chosen.constFind(id); it != chosen.cend())
        return *it;
    return table(Language::English).value(id);
}

QString msg(int id) {
    return msgIn(interfaceLanguage(), id);
}

bool hasMsg(int id) {
    return table(Language::English).contains(id);
}

}  // namespace dbk
