#include "transfer/sql_highlighter_widget.h"

#include <QColor>
#include <QFont>

namespace dbk {

SqlHighlighter::SqlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    for (int k = 0; k < sql_tokens::kKindCount; ++k)
        formats_[static_cast<size_t>(k)] = formatOf(static_cast<sql_tokens::Kind>(k));
}

QTextCharFormat SqlHighlighter::formatOf(sql_tokens::Kind kind) {
    using sql_tokens::Kind;
    QTextCharFormat format;
    switch (kind) {
        case Kind::Keyword:
            format.setForeground(QColor(0x00, 0x33, 0xb3));
            format.setFontWeight(QFont::Bold);
            break;
        case Kind::Function:
            format.setForeground(QColor(0x87, 0x10, 0x94));
            break;
        case Kind::String:
            format.setForeground(QColor(0x06, 0x7d, 0x17));
            break;
        case Kind::Escape:
            format.setForeground(QColor(0x00, 0x37, 0xa6));
            format.setBackground(QColor(0xe8, 0xf2, 0xe8));
            break;
        case Kind::QuotedName:
            format.setForeground(QColor(0x8c, 0x4a, 0x00));
            break;
        case Kind::Number:
            format.setForeground(QColor(0x17, 0x50, 0xeb));
            break;
        case Kind::Comment:
            format.setForeground(QColor(0x8c, 0x8c, 0x8c));
            format.setFontItalic(true);
            break;
        case Kind::ConditionalComment:
            format.setForeground(QColor(0x00, 0x80, 0x80));
            format.setFontWeight(QFont::Bold);
            break;
        case Kind::Delimiter:
            format.setForeground(QColor(0xa0, 0x1c, 0x1c));
            format.setBackground(QColor(0xfb, 0xf0, 0xe0));
            break;
    }
    return format;
}

void SqlHighlighter::setWords(const sql_tokens::WordList& words) {
    words_ = words;
    rehighlight();
}

void SqlHighlighter::highlightBlock(const QString& text) {
    ++linesHighlighted_;
    const int before = std::max(previousBlockState(), 0);
    spans_.clear();
    const int after = sql_tokens::scanLine(text, before, words_, spans_);
    for (const sql_tokens::Span& span : spans_)
        setFormat(span.start, span.length, formats_[static_cast<size_t>(span.kind)]);
    setCurrentBlockState(after);
}

}  // namespace dbk
