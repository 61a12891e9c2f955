#include "schema/value_list.h"

namespace dbk {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// What the server reads for a backslash and the character after it in a quoted text.
QString unescaped(QChar c) {
    switch (c.unicode()) {
        case u'0':
            return QString(QChar(u'\0'));
        case u'b':
            return QStringLiteral("\b");
        case u'n':
            return QStringLiteral("\n");
        case u'r':
            return QStringLiteral("\r");
        case u't':
            return QStringLiteral("\t");
        case u'Z':
            return QStringLiteral("\x1a");
        case u'%':
        case u'_':
            return QString(u'\\') + c;  // kept with their backslash
        default:
            return QString(c);
    }
}

}  // namespace

QString valueListText(const QStringList& values) {
    QString text;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += u',';
        text += u'\'';
        for (const QChar c : values[i]) {
            if (c == u'\'' || c == u'\\')
                text += c;
            text += c;
        }
        text += u'\'';
    }
    return text;
}

QStringList parseValueList(const QString& text) {
    QStringList values;
    if (text.isEmpty())
        return values;
    const qsizetype n = text.size();
    for (qsizetype i = 0;;) {
        qsizetype j = i;
        while (j < n && isBlank(text[j]))
            ++j;
        if (j < n && text[j] == u'\'') {
            QString value;
            for (++j; j < n;) {
                const QChar c = text[j];
                if (c == u'\\' && j + 1 < n) {
                    value += unescaped(text[j + 1]);
                    j += 2;
                } else if (c == u'\'' && j + 1 < n && text[j + 1] == u'\'') {
                    value += c;
                    j += 2;
                } else if (c == u'\'') {
                    qsizetype after = j + 1;
                    while (after < n && isBlank(text[after]))
                        ++after;
                    if (after == n || text[after] == u',') {
                        j = after;
                        break;
                    }
                    value += c;  // not the closing quote
                    ++j;
                } else {
                    value += c;
                    ++j;
                }
            }
            values << value;
            if (j >= n)
                return values;
            i = j + 1;  // after the comma
            continue;
        }
        const qsizetype comma = text.indexOf(u',', i);
        values << text.mid(i, comma < 0 ? -1 : comma - i);
        if (comma < 0)
            return values;
        i = comma + 1;
    }
}

ValueList::ValueList(const QString& text) {
    for (const QString& value : parseValueList(text))
        insertSorted(value);
}

int ValueList::findPrefix(const QString& text) const {
    for (int i = 0; i < items_.size(); ++i) {
        if (items_[i].startsWith(text, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

ValueList::AddOutcome ValueList::add(const QString& text) {
    if (text.isEmpty())
        return AddOutcome::Ignored;
    if (findPrefix(text) >= 0)
        return AddOutcome::Refused;
    insertSorted(text);
    return AddOutcome::Added;
}

void ValueList::select(int row) {
    if (row >= 0 && row < items_.size()) {
        current_ = items_[row];
    } else {
        current_.reset();
    }
}

std::optional<int> ValueList::currentRow() {
    const int row = findPrefix(*current_);
    if (row < 0) {
        current_.reset();
        return std::nullopt;
    }
    return row;
}

ValueList::ChangeOutcome ValueList::edit(const QString& boxText) {
    if (!current_)
        return ChangeOutcome::Ignored;
    const std::optional<int> row = currentRow();
    if (!row)
        return ChangeOutcome::Lost;
    if (boxText.isEmpty())
        return ChangeOutcome::Ignored;
    items_.removeAt(*row);
    insertSorted(boxText);
    current_.reset();
    return ChangeOutcome::Done;
}

ValueList::ChangeOutcome ValueList::remove(const QString& boxText) {
    if (!current_)
        return ChangeOutcome::Ignored;
    const std::optional<int> row = currentRow();
    if (!row)
        return ChangeOutcome::Lost;
    if (boxText.isEmpty())
        return ChangeOutcome::Ignored;
    items_.removeAt(*row);
    current_.reset();
    return ChangeOutcome::Done;
}

QString ValueList::text() const {
    return valueListText(items_);
}

void ValueList::insertSorted(const QString& value) {
    qsizetype at = items_.size();
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (QString::compare(value, items_[i], Qt::CaseInsensitive) < 0) {
            at = i;
            break;
        }
    }
    items_.insert(at, value);
}

}  // namespace dbk
