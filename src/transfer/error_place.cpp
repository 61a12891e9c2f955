#include "transfer/error_place.h"

#include <QRegularExpression>
#include <algorithm>

namespace dbk {

namespace {

// The length of the word that starts at `start`: up to a blank, at least one character.
int wordLength(const QString& text, int start) {
    int end = start;
    while (end < text.size() && !text[end].isSpace())
        ++end;
    return std::max(1, end - start);
}

}  // namespace

std::optional<ErrorPlace> errorPlace(const QString& statement, const QString& error) {
    // The server quotes the rest of the statement (cut short when long) as it stands, so the
    // quote may itself hold quotes: the last "' at line" closes it.
    static const QRegularExpression pattern(QStringLiteral(R"(near '(.*)' at line (\d+)\s*$)"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(error);
    if (!match.hasMatch())
        return std::nullopt;
    const QString quoted = match.captured(1);
    bool ok = false;
    const int line = match.captured(2).toInt(&ok);
    if (!ok || line < 1)
        return std::nullopt;

    int lineStart = 0;
    for (int n = 1; n < line; ++n) {
        const qsizetype feed = statement.indexOf(u'\n', lineStart);
        if (feed < 0)
            return std::nullopt;
        lineStart = static_cast<int>(feed) + 1;
    }
    if (quoted.isEmpty()) {
        // The statement ended too soon: its last word.
        int end = static_cast<int>(statement.size());
        while (end > 0 && statement[end - 1].isSpace())
            --end;
        if (end == 0)
            return std::nullopt;
        int start = end;
        while (start > 0 && !statement[start - 1].isSpace())
            --start;
        return ErrorPlace{start, end - start};
    }
    // The quote starts on the named line, or later: the server does not count the line feed
    // that ends a "--" or "#" comment. It is the rest of the statement unless the server cut it
    // short, so the same words earlier are not the place.
    int lineEnd = static_cast<int>(statement.indexOf(u'\n', lineStart));
    if (lineEnd < 0)
        lineEnd = static_cast<int>(statement.size());
    const qsizetype rest = statement.size() - quoted.size();
    const qsizetype found =
        statement.endsWith(quoted) && rest >= lineStart ? rest : statement.indexOf(quoted, lineStart);
    if (found >= 0)
        return ErrorPlace{static_cast<int>(found), wordLength(statement, static_cast<int>(found))};
    // Text the session could not send as typed: the line's first word.
    int start = lineStart;
    while (start < lineEnd && statement[start].isSpace())
        ++start;
    if (start == lineEnd)
        return std::nullopt;
    return ErrorPlace{start, wordLength(statement, start)};
}

}  // namespace dbk
