#include "schema/value_list.h"

namespace dbk {

ValueList::ValueList(const QString& text) {
    if (text.isEmpty())
        return;
    QString rest = text;
    rest.remove(u'\'');
    for (int cuts = 0; cuts < kMaxCuts; ++cuts) {
        const qsizetype comma = rest.indexOf(u',');
        if (comma < 0)
            break;
        insertSorted(rest.left(comma));
        rest = rest.mid(comma + 1);
    }
    insertSorted(rest);
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
    QStringList quoted;
    for (const QString& item : items_)
        quoted << u'\'' + item + u'\'';
    return quoted.join(u',');
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
