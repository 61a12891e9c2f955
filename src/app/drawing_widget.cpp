#include "app/drawing_widget.h"

#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QPolygon>

#include "app/messages.h"

namespace dbk {

namespace {
constexpr int kPageFontFace = 21101;

QColor toColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

// The picture pane's fonts: the face of the string table in fixed pixel sizes and weights.
QFont pageFont(int pixels, int weight, bool italic) {
    QFont f(msg(kPageFontFace));
    f.setPixelSize(pixels);
    f.setWeight(QFont::Weight(weight));
    f.setItalic(italic);
    return f;
}

}  // namespace

QFont DrawingWidget::fontFor(FontRole role, const QFont& base) {
    QFont f = base;
    switch (role) {
        case FontRole::Normal:
            break;
        case FontRole::Small:
            f.setPointSizeF(base.pointSizeF() * 0.85);
            break;
        case FontRole::Bold:
            f.setBold(true);
            break;
        case FontRole::Title:
            f.setBold(true);
            f.setPointSizeF(base.pointSizeF() * 1.3);
            break;
        case FontRole::PageTitle:
            return pageFont(23, 500, false);
        case FontRole::PageHeading:
            return pageFont(20, 800, false);
        case FontRole::PageSmallItalic:
            return pageFont(12, 600, true);
        case FontRole::PageLabel:
            return pageFont(15, 800, false);
        case FontRole::PageTiny:
            return pageFont(11, 300, false);
        case FontRole::PageWord:
            return pageFont(9, 400, true);
    }
    return f;
}

namespace {
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop;

QRect textArea(const DrawText& t) {
    return QRect(t.position, QSize(4000, 400));
}

struct Painter {
    QPainter& p;
    const QFont& base;
    void operator()(const DrawText& t) const {
        p.setFont(DrawingWidget::fontFor(t.font, base));
        p.setPen(toColor(t.colour));
        p.drawText(textArea(t), kTextFlags, t.text);
    }
    void operator()(const DrawLine& l) const {
        p.setPen(QPen(toColor(l.colour), l.width));
        p.drawLine(l.from, l.to);
    }
    void operator()(const DrawPolygon& g) const {
        QPolygon polygon;
        for (const QPoint& pt : g.points)
            polygon << pt;
        p.setPen(g.outline ? QPen(toColor(*g.outline)) : QPen(Qt::NoPen));
        p.setBrush(toColor(g.fill));
        p.drawPolygon(polygon);
        p.setBrush(Qt::NoBrush);
    }
    void operator()(const DrawRect& r) const {
        p.setPen(r.outline ? QPen(toColor(*r.outline)) : QPen(Qt::NoPen));
        p.setBrush(r.fill ? QBrush(toColor(*r.fill)) : QBrush(Qt::NoBrush));
        p.drawRect(r.rect);
        p.setBrush(Qt::NoBrush);
    }
    void operator()(const DrawIcon& i) const {
        QIcon(i.resource).paint(&p, QRect(i.position, QSize(i.size, i.size)));
    }
};
}  // namespace

DrawingWidget::DrawingWidget(QWidget* parent) : QWidget(parent) {}

void DrawingWidget::setDrawing(DrawingList drawing) {
    drawing_ = std::move(drawing);
    update();
}

QRect DrawingWidget::textBox(const DrawText& text, const QFont& base) {
    return QFontMetrics(fontFor(text.font, base)).boundingRect(textArea(text), kTextFlags, text.text);
}

void DrawingWidget::paint(QPainter& painter, const DrawingList& drawing, const QFont& base) {
    Painter visitor{painter, base};
    for (const DrawItem& item : drawing.items)
        std::visit(visitor, item);
}

void DrawingWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!clip_.isEmpty())
        painter.setClipRect(clip_);
    if (drawing_.background)
        painter.fillRect(rect(), toColor(*drawing_.background));
    paint(painter, drawing_, font());
}

}  // namespace dbk
