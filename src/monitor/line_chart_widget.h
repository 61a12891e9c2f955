#pragma once

#include "app/drawing_widget.h"
#include "monitor/line_chart.h"

namespace dbk {

// The line chart control of the process form. It keeps the chart and shows its picture; the
// picture itself is computed by the chart.
class LINE_CHART_CTRL : public DrawingWidget {
    Q_OBJECT
public:
    explicit LINE_CHART_CTRL(QSize size, QWidget* parent = nullptr);

    const LineChart& chart() const { return chart_; }
    int addTrace(Rgb colour, long long upper, long long lower);
    void setValue(int trace, uint64_t value) { chart_.setValue(trace, value); }
    void setBounds(int trace, long long upper, long long lower) { chart_.setBounds(trace, upper, lower); }
    // Scrolls one step and shows the new picture.
    void step();

private:
    LineChart chart_;
};

}  // namespace dbk
