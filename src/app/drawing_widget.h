#pragma once

#include <QFont>
#include <QWidget>

#include "app/drawing_list.h"

namespace dbk {

// Paints a drawing list; what it shows is whatever the logic computed last.
class DrawingWidget : public QWidget {
    Q_OBJECT
public:
    explicit DrawingWidget(QWidget* parent = nullptr);
    void setDrawing(DrawingList drawing);
    const DrawingList& drawing() const { return drawing_; }
    // Only this part of the picture is shown, at the same place (empty: all of it).
    void setClip(QRect clip) { clip_ = clip; }

    static void paint(QPainter& painter, const DrawingList& drawing, const QFont& base);
    // The font a text is painted in, and the box its letters cover.
    static QFont fontFor(FontRole role, const QFont& base);
    static QRect textBox(const DrawText& text, const QFont& base);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DrawingList drawing_;
    QRect clip_;
};

}  // namespace dbk
