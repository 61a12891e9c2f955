#pragma once

#include <QSize>
#include <cstdint>
#include <deque>
#include <vector>

#include "app/drawing_list.h"

namespace dbk {

// A scrolling line chart: every step moves the picture 4 pixels to the left and draws each
// trace from its previous to its current value in the freed strip. The chart keeps, per
// trace, the values of the steps still on the picture (with the bounds they were drawn
// with) and computes the picture from them.
class LineChart {
public:
    static constexpr int kStepWidth = 4;
    static constexpr int kHatchSpacing = 8;
    static constexpr Rgb kHatchColour{0, 128, 0};

    struct Trace {
        Rgb colour;
        long long lower = 0;
        long long upper = 100;
        uint64_t current = 0;
        uint64_t previous = 0;
    };

    explicit LineChart(QSize size) : size_(size) {}

    QSize size() const { return size_; }
    // Adds a trace; the first one creates the picture. Returns the trace's index.
    int addTrace(Rgb colour, long long upper = 100, long long lower = 0);
    void setValue(int trace, uint64_t value);
    void setBounds(int trace, long long upper, long long lower);
    // Scrolls one step and draws the traces' new segments.
    void step();

    const std::vector<Trace>& traces() const { return traces_; }
    int steps() const { return steps_; }
    // Nothing is drawn before the first trace.
    bool hasPicture() const { return !traces_.empty(); }
    DrawingList drawing() const;

    // The row a value is drawn at in a chart of this height: the upper bound at the top, the
    // lower bound at the bottom row, values outside the bounds at the nearer edge. A chart
    // whose range is empty or reversed draws everything flat at the bottom.
    static int rowOf(uint64_t value, long long lower, long long upper, int height);

private:
    // One drawn segment of a trace, with the bounds in force when it was drawn.
    struct Segment {
        uint64_t from;
        uint64_t to;
        long long lower;
        long long upper;
    };
    // Steps older than this have left the picture.
    size_t kept() const { return static_cast<size_t>(size_.width() / kStepWidth + 2); }

    QSize size_;
    std::vector<Trace> traces_;
    // Per trace, the newest segment last; and whether each step drew a grid line.
    std::vector<std::deque<Segment>> segments_;
    std::deque<bool> gridSteps_;
    int steps_ = 0;
};

}  // namespace dbk
