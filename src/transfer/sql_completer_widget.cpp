#include "transfer/sql_completer_widget.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTextBlock>

#include "conn/session.h"
#include "transfer/sql_tokens.h"

namespace dbk {

SqlCompleter::SqlCompleter(QPlainTextEdit* edit, Session& session)
    : QObject(edit),
      edit_(edit),
      connection_(session.connection()),
      names_(session.connection(), session.generation()),
      completer_(new QCompleter(this)),
      model_(new QStandardItemModel(this)) {
    completer_->setModel(model_);
    completer_->setWidget(edit_);
    completer_->setCompletionMode(QCompleter::PopupCompletion);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setModelSorting(QCompleter::UnsortedModel);
    completer_->setMaxVisibleItems(12);
    completer_->popup()->setAccessibleName(QStringLiteral("補完候補"));
    connect(completer_, qOverload<const QModelIndex&>(&QCompleter::activated), this, &SqlCompleter::insert);
    edit_->installEventFilter(this);
    completer_->popup()->installEventFilter(this);
}

int SqlCompleter::typedLetters() const {
    const QTextCursor cursor = edit_->textCursor();
    const QString line = cursor.block().text();
    int i = cursor.positionInBlock();
    int letters = 0;
    while (i > 0 && sql_tokens::isWordChar(line[i - 1])) {
        --i;
        ++letters;
    }
    return letters;
}

void SqlCompleter::complete(bool explicitly) {
    QAbstractItemView* popup = completer_->popup();
    if (!explicitly && typedLetters() < kTypedLetters) {
        popup->hide();
        return;
    }
    const QString text = edit_->toPlainText();
    const int cursor = edit_->textCursor().position();
    const CompletionContext context = completionContext(text, cursor);
    if (context.inText) {
        popup->hide();
        return;
    }
    const QString before = text.left(context.replaceFrom);
    // Still the same name: the list stays and narrows to what was typed.
    if (!popup->isVisible() || context.replaceFrom != replaceFrom_ || before != textBefore_) {
        model_->clear();
        for (const Completion& completion : completions(context, names_, connection_, words_)) {
            auto* item = new QStandardItem(completion.shown);
            item->setData(completion.inserted, kInsertedRole);
            model_->appendRow(item);
        }
        replaceFrom_ = context.replaceFrom;
        textBefore_ = before;
    }
    completer_->setCompletionPrefix(context.prefix);
    const int count = completer_->completionCount();
    const bool typedInFull =
        count == 1 && completer_->currentCompletion().compare(context.prefix, Qt::CaseInsensitive) == 0;
    if (count == 0 || (!explicitly && typedInFull)) {
        popup->hide();
        return;
    }
    popup->setCurrentIndex(completer_->completionModel()->index(0, 0));
    QRect place = edit_->cursorRect();
    place.setWidth(popup->sizeHintForColumn(0) + popup->verticalScrollBar()->sizeHint().width());
    completer_->complete(place);
}

void SqlCompleter::insert(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const QString inserted = index.data(kInsertedRole).toString();
    QTextCursor cursor = edit_->textCursor();
    const int end = cursor.position();
    const CompletionContext context = completionContext(edit_->toPlainText(), end);
    cursor.setPosition(context.replaceFrom);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.insertText(inserted);
    edit_->setTextCursor(cursor);
    completer_->popup()->hide();
}

void SqlCompleter::afterKey() {
    if (typedLetters() == 0)
        completer_->popup()->hide();
    else
        complete(completer_->popup()->isVisible());
}

bool SqlCompleter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    QAbstractItemView* popup = completer_->popup();
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::ControlModifier) {
        complete(true);
        return true;
    }
    if (watched == popup && popup->isVisible()) {
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Tab: {
                // A word typed in full ("FROM" with FROM_DAYS still listed) ends with Enter as a line.
                const QModelIndex current = popup->currentIndex();
                const bool typedInFull =
                    current.data(kInsertedRole)
                        .toString()
                        .compare(completer_->completionPrefix(), Qt::CaseInsensitive) == 0;
                if (typedInFull && key->key() != Qt::Key_Tab) {
                    popup->hide();
                    return false;  // the completer hands the key on to the field
                }
                insert(current);
                return true;
            }
            case Qt::Key_Escape:
                popup->hide();
                return true;
            default:
                break;
        }
    }
    // What the key typed is in the field after it was handled: a name typed on, or taken back.
    const bool changesName = !key->text().isEmpty() || key->key() == Qt::Key_Backspace;
    if (changesName && (watched == edit_ || watched == popup))
        QMetaObject::invokeMethod(this, &SqlCompleter::afterKey, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

}  // namespace dbk
