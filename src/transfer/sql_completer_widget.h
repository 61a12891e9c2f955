#pragma once

#include <QObject>
#include <QStringList>

#include "transfer/sql_completion.h"

class QCompleter;
class QModelIndex;
class QPlainTextEdit;
class QStandardItemModel;

namespace dbk {

class Session;

// Completion in a statement field: on Ctrl+Space, and on its own once a name of a few letters
// is typed, a list of keywords and the server's names fitting the place of the cursor opens
// under it; Enter, Tab or a click puts the chosen one in place of what was typed.
class SqlCompleter : public QObject {
    Q_OBJECT
public:
    // Letters of a name after which the list opens without being asked for.
    static constexpr int kTypedLetters = 3;
    // The text a list entry puts in the field.
    static constexpr int kInsertedRole = Qt::UserRole + 1;

    SqlCompleter(QPlainTextEdit* edit, Session& session);

    void setWords(const QStringList& words) { words_ = words; }
    // Forgets the names read so far; they are read again when next needed.
    void refresh() { names_.clear(); }
    // Opens the list for the cursor's place (Ctrl+Space); with `explicitly` false only when a
    // name of kTypedLetters is typed there.
    void complete(bool explicitly = true);
    // Puts an entry of the list in place of the name being typed.
    void insert(const QModelIndex& index);

    QCompleter* completer() const { return completer_; }
    NameCache& names() { return names_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void afterKey();
    // Letters of the name just before the cursor, counted in its line.
    int typedLetters() const;

    QPlainTextEdit* edit_;
    const Connection& connection_;
    NameCache names_;
    QStringList words_;
    QCompleter* completer_;
    QStandardItemModel* model_;
    // Where the name the list is open for starts, and the text before it.
    int replaceFrom_ = -1;
    QString textBefore_;
};

}  // namespace dbk
