#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace dbk {

// The values of an ENUM or SET column written as they stand in the statement and as the server
// shows them in the column's type: each in single quotes, a quote inside doubled and a backslash
// doubled, joined by "," ("" for no values).
QString valueListText(const QStringList& values);
// Reads a value list, cut at the commas outside quotes; empty pieces are values too, and an
// empty text has none. A piece in single quotes (blanks around it allowed) reads '' as a quote
// and a backslash as the start of an escape (\n, \t ... as the server reads them); a quote
// followed by anything but a comma, blanks or the end is a quote of the value ('it's' reads as
// it's). A piece without quotes is taken as it is.
QStringList parseValueList(const QString& text);

// The values of an ENUM or SET column while its editor is open: kept in alphabetical order
// without regard to case, with the item last selected as the current one.
class ValueList {
public:
    // Reads a value list such as 'a','b' (parseValueList).
    explicit ValueList(const QString& text = {});

    const QStringList& items() const { return items_; }
    // The first item that begins with the text, compared without regard to case; -1 when none.
    int findPrefix(const QString& text) const;

    enum class AddOutcome { Ignored, Refused, Added };
    // An empty text is ignored; a text some item begins with is refused.
    AddOutcome add(const QString& text);

    // Makes an item the current one (its text goes to the value box); -1 forgets it.
    void select(int row);
    std::optional<QString> current() const { return current_; }

    enum class ChangeOutcome { Ignored, Lost, Done };
    // Replaces the current item by the box text. Ignored with no current item or an empty
    // box; Lost (and forgotten) when the current item is no longer found.
    ChangeOutcome edit(const QString& boxText);
    // Removes the current item, under the same conditions as edit().
    ChangeOutcome remove(const QString& boxText);

    // Every item in list order (valueListText).
    QString text() const;

private:
    // The row of the current item, or nullopt after forgetting it when it is gone.
    std::optional<int> currentRow();
    void insertSorted(const QString& value);

    QStringList items_;
    std::optional<QString> current_;
};

}  // namespace dbk
