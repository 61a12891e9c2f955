#include "monitor/line_chart.h"

#include <algorithm>

namespace dbk {

int LineChart::addTrace(Rgb colour, long long upper, long long lower) {
    traces_.push_back(Trace{colour, lower, upper, 0, 0});
    segments_.emplace_back();
    return static_cast<int>(traces_.size()) - 1;
}

void LineChart::setValue(int trace, uint64_t value) {
    traces_.at(static_cast<size_t>(trace)).current = value;
}

void LineChart::setBounds(int trace, long long upper, long long lower) {
    Trace& t = traces_.at(static_cast<size_t>(trace));
    t.upper = upper;
    t.lower = lower;
}

void LineChart::step() {
    ++steps_;
    // A grid line on every second step.
    gridSteps_.push_back(steps_ % 2 == 0);
    if (gridSteps_.size() > kept())
        gridSteps_.pop_front();
    for (size_t i = 0; i < traces_.size(); ++i) {
        Trace& t = traces_[i];
        segments_[i].push_back(Segment{t.previous, t.current, t.lower, t.upper});
        if (segments_[i].size() > kept())
            segments_[i].pop_front();
        t.previous = t.current;
    }
}

int LineChart::rowOf(uint64_t value, long long lower, long long upper, int height) {
    if (height <= 0)
        return 0;
    if (upper <= lower)
        return height - 1;
    using Wide = __int128;
    const Wide v = std::clamp<Wide>(Wide(value), Wide(lower), Wide(upper));
    const Wide row = Wide(height) * (Wide(upper) - v) / (Wide(upper) - Wide(lower));
    return static_cast<int>(std::min<Wide>(row, height - 1));
}

DrawingList LineChart::drawing() const {
    DrawingList d;
    if (!hasPicture())
        return d;
    const int w = size_.width(), h = size_.height();
    d.background = colours::kBlack;
    // The hatch of the first picture is cross-hatched; the strips scrolled in since have
    // horizontal lines only, on the same rows.
    for (int y = kHatchSpacing / 2; y < h; y += kHatchSpacing)
        d.line(QPoint(0, y), QPoint(w - 1, y), kHatchColour);
    const int crossEnd = w - kStepWidth * steps_;
    for (int x = kHatchSpacing / 2 - (kStepWidth * steps_) % kHatchSpacing; x < crossEnd;
         x += kHatchSpacing) {
        if (x >= 0)
            d.line(QPoint(x, 0), QPoint(x, h - 1), kHatchColour);
    }
    // Oldest step first, so that newer segments are drawn over older grid lines.
    const size_t count = gridSteps_.size();
    for (size_t k = 0; k < count; ++k) {
        const int age = static_cast<int>(count - 1 - k);
        const int shift = kStepWidth * age;
        if (gridSteps_[k] && w - 2 - shift >= 0)
            d.line(QPoint(w - 2 - shift, 0), QPoint(w - 2 - shift, h - 1), kHatchColour);
        for (size_t t = 0; t < traces_.size(); ++t) {
            const std::deque<Segment>& ring = segments_[t];
            // A trace added later has fewer segments: they are the newest ones.
            const size_t missing = count - ring.size();
            if (k < missing)
                continue;
            const Segment& s = ring[k - missing];
            if (w - 1 - shift < 0)
                continue;
            d.line(QPoint(w - 5 - shift, rowOf(s.from, s.lower, s.upper, h)),
                   QPoint(w - 1 - shift, rowOf(s.to, s.lower, s.upper, h)), traces_[t].colour);
        }
    }
    return d;
}

}  // namespace dbk
