#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace dbk {

// The values of an ENUM or SET column while its editor is open: kept in alphabetical order
// without regard to case, with the item last selected as the current one.
class ValueList {
public:
    // At most this many commas are cut; the rest of the text is one last value.
    static constexpr int kMaxCuts = 256;

    // Reads a value list such as 'a','b': quotes removed, cut at the commas, empty pieces
    // kept. An empty text gives no values.
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

    // Every item in list order, each in single quotes, joined by "," ("" for none).
    QString text() const;

private:
    // The row of the current item, or nullopt after forgetting it when it is gone.
    std::optional<int> currentRow();
    void insertSorted(const QString& value);

    QStringList items_;
    std::optional<QString> current_;
};

}  // namespace dbk
