#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <array>
#include <vector>

#include "transfer/sql_tokens.h"

namespace dbk {

// Colours the statement field as SQL. What a line leaves open (a string, a quoted name, a
// comment) is kept as the block's state, so an edit re-colours its own lines and goes on only
// while the state at a line's end changes.
class SqlHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit SqlHighlighter(QTextDocument* document);

    // The words to colour as keywords and functions; the whole text is coloured again.
    void setWords(const sql_tokens::WordList& words);
    const sql_tokens::WordList& words() const { return words_; }
    static QTextCharFormat formatOf(sql_tokens::Kind kind);
    // Lines coloured since the highlighter was made.
    long long linesHighlighted() const { return linesHighlighted_; }

protected:
    void highlightBlock(const QString& text) override;

private:
    sql_tokens::WordList words_;
    std::array<QTextCharFormat, sql_tokens::kKindCount> formats_;
    std::vector<sql_tokens::Span> spans_;
    long long linesHighlighted_ = 0;
};

}  // namespace dbk
