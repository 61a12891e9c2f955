#include "monitor/line_chart_widget.h"

namespace dbk {

LINE_CHART_CTRL::LINE_CHART_CTRL(QSize size, QWidget* parent) : DrawingWidget(parent), chart_(size) {
    setObjectName(QStringLiteral("LINE_CHART_CTRL"));
    setFixedSize(size);
    setCursor(Qt::ArrowCursor);
    // Light grey until the first trace creates the picture.
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(grey);
    setAutoFillBackground(true);
}

int LINE_CHART_CTRL::addTrace(Rgb colour, long long upper, long long lower) {
    const int index = chart_.addTrace(colour, upper, lower);
    setDrawing(chart_.drawing());
    return index;
}

void LINE_CHART_CTRL::step() {
    chart_.step();
    setDrawing(chart_.drawing());
}

}  // namespace dbk
