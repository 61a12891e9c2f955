#include <gtest/gtest.h>

#include <limits>

#include "monitor/line_chart.h"
#include "monitor/process_list.h"
#include "monitor/status_line.h"
#include "monitor/system_variables.h"

namespace dbk {
namespace {

TEST(StatusLine, CountersAreReadLabelByLabel) {
    constexpr std::nullopt_t none = std::nullopt;
    const std::pair<const char*, StatusCounters> cases[] = {
        // clang-format off
        {"Uptime: 11290  Threads: 1  Questions: 24  Slow queries: 0  Opens: 6  Flush tables: 1  Open tables: 0  Queries per second avg: 0.002",
         {11290, 1, 24, 0, 6, 1, 0}},
        // MariaDB has no "Flush tables"; the others are still found.
        {"Uptime: 97  Threads: 2  Questions: 33  Slow queries: 4  Opens: 19  Open tables: 12  Queries per second avg: 0.340",
         {97, 2, 33, 4, 19, none, 12}},
        // Any run of blanks separates, a colon ends a label; the order does not matter.
        {"Open tables:\t7 Threads:3\n Uptime:   5", {5, 3, none, none, none, none, 7}},
        // A label without its value, a value that is no number, a number at the 64-bit limit.
        {"Uptime: Threads: x Questions: 18446744073709551615 Opens: 12abc", {none, none, 18446744073709551615ULL, none, none, none, none}},
        {"Slow  queries: 8 Slow: 9", {none, none, none, 8, none, none, none}},
        {"", {}},
        // clang-format on
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(parseStatusLine(line), expected) << line;
}

TEST(LineChart, RowsFollowTheBoundsWithClampingAndRangeFieldsGiveTheBound) {
    struct Case {
        uint64_t value;
        long long lower, upper;
        int row;
    };
    constexpr uint64_t kHuge = std::numeric_limits<uint64_t>::max();
    constexpr long long kMax = std::numeric_limits<long long>::max();
    const Case cases[] = {
        // the bottom row for the lower bound, the top for the upper one and above
        {0, 0, 100, 99},     {100, 0, 100, 0}, {50, 0, 100, 50}, {10, 0, 100, 90},
        {150, 0, 100, 0},    {50, 0, 10, 0},   {5, 0, 10, 50},   {3, 5, 10, 99},
        {kHuge, 0, kMax, 0}, {7, 0, 0, 99},    {7, 0, -5, 99},  // an empty or reversed range: flat at the
                                                                // bottom
    };
    for (const Case& c : cases)
        EXPECT_EQ(LineChart::rowOf(c.value, c.lower, c.upper, 100), c.row)
            << c.value << " in " << c.lower << ".." << c.upper;
    const std::pair<const char*, long long> ranges[] = {{"10", 10},
                                                        {"-5", -5},
                                                        {" +7", 7},
                                                        {"12abc", 12},
                                                        {"", 0},
                                                        {"abc", 0},
                                                        {"99999999999999999999", kMax}};
    for (const auto& [text, value] : ranges)
        EXPECT_EQ(rangeFromText(text), value) << text;
}

std::vector<DrawLine> linesOf(const DrawingList& d, Rgb colour) {
    std::vector<DrawLine> out;
    for (const DrawLine& l : d.all<DrawLine>()) {
        if (l.colour == colour)
            out.push_back(l);
    }
    return out;
}

bool isVertical(const DrawLine& l) {
    return l.from.x() == l.to.x();
}

std::vector<int> verticalXs(const DrawingList& d) {
    std::vector<int> xs;
    for (const DrawLine& l : linesOf(d, LineChart::kHatchColour)) {
        if (isVertical(l))
            xs.push_back(l.from.x());
    }
    return xs;
}

TEST(LineChart, ScrollsFourPixelsAStepWithHatchGridAndTraces) {
    constexpr Rgb kTrace{0, 255, 0};
    LineChart chart(QSize(40, 100));
    EXPECT_TRUE(chart.drawing().items.empty());  // no picture before the first trace
    EXPECT_FALSE(chart.drawing().background);

    const int trace = chart.addTrace(kTrace);
    DrawingList d = chart.drawing();
    EXPECT_EQ(d.background, colours::kBlack);
    // Cross-hatched: horizontal lines every 8 rows over the width, vertical every 8 columns.
    std::vector<DrawLine> horizontal;
    for (const DrawLine& l : linesOf(d, LineChart::kHatchColour)) {
        if (!isVertical(l))
            horizontal.push_back(l);
    }
    ASSERT_EQ(horizontal.size(), 12U);
    EXPECT_EQ(horizontal.front().from, QPoint(0, 4));
    EXPECT_EQ(horizontal.front().to, QPoint(39, 4));
    EXPECT_EQ(horizontal.back().from.y(), 92);
    EXPECT_EQ(verticalXs(d), (std::vector<int>{4, 12, 20, 28, 36}));
    EXPECT_TRUE(linesOf(d, kTrace).empty());

    chart.setValue(trace, 10);
    chart.step();
    d = chart.drawing();
    // The cross-hatch moved 4 pixels left and ends where the new strip begins; no grid yet.
    EXPECT_EQ(verticalXs(d), (std::vector<int>{0, 8, 16, 24, 32}));
    std::vector<DrawLine> segments = linesOf(d, kTrace);
    ASSERT_EQ(segments.size(), 1U);
    EXPECT_EQ(segments[0].from, QPoint(35, 99));  // from the previous value (0)
    EXPECT_EQ(segments[0].to, QPoint(39, 90));

    chart.setValue(trace, 100);
    chart.step();
    d = chart.drawing();
    segments = linesOf(d, kTrace);
    ASSERT_EQ(segments.size(), 2U);
    EXPECT_EQ(segments[0].from, QPoint(31, 99));
    EXPECT_EQ(segments[0].to, QPoint(35, 90));
    EXPECT_EQ(segments[1].from, QPoint(35, 90));
    EXPECT_EQ(segments[1].to, QPoint(39, 0));
    // The second step draws a grid line 2 pixels from the right edge over the full height.
    const std::vector<int> xs = verticalXs(d);
    EXPECT_EQ(xs, (std::vector<int>{4, 12, 20, 28, 38}));
    for (const DrawLine& l : linesOf(d, LineChart::kHatchColour)) {
        if (l.from.x() == 38) {
            EXPECT_TRUE(l.from.y() == 0 && l.to.y() == 99);
        }
    }

    // A narrower range draws the same value higher; segments drawn before keep their rows.
    chart.setBounds(trace, 10, 0);
    chart.setValue(trace, 5);
    chart.step();
    segments = linesOf(chart.drawing(), kTrace);
    ASSERT_EQ(segments.size(), 3U);
    EXPECT_EQ(segments[1].to, QPoint(35, 0));
    EXPECT_EQ(segments[2].from, QPoint(35, 0));  // 100 is above the range of 10
    EXPECT_EQ(segments[2].to, QPoint(39, 50));

    // A zero range (the field emptied) draws flat at the bottom.
    chart.setBounds(trace, 0, 0);
    chart.setValue(trace, 80);
    chart.step();
    segments = linesOf(chart.drawing(), kTrace);
    EXPECT_EQ(segments.back().from, QPoint(35, 99));
    EXPECT_EQ(segments.back().to, QPoint(39, 99));
}

TEST(LineChart, OnlyTheStepsOnThePictureAreKept) {
    LineChart chart(QSize(40, 20));
    const int a = chart.addTrace(Rgb{255, 255, 0});
    for (int i = 0; i < 50; ++i) {
        chart.setValue(a, static_cast<uint64_t>(i));
        chart.step();
    }
    const int b = chart.addTrace(Rgb{255, 0, 255});  // a trace added later starts on the right
    chart.setValue(b, 100);
    chart.step();
    const DrawingList d = chart.drawing();
    const std::vector<DrawLine> first = linesOf(d, Rgb{255, 255, 0});
    ASSERT_EQ(first.size(), 10U);  // 40 pixels hold 10 steps, the oldest partly
    EXPECT_EQ(first.front().from.x(), -1);
    EXPECT_EQ(linesOf(d, Rgb{255, 0, 255}).size(), 1U);
    EXPECT_EQ(linesOf(d, Rgb{255, 0, 255}).front().to, QPoint(39, 0));
    // The first picture's cross-hatch has scrolled out; the grid lines of the even steps
    // (the last was the 51st) are left.
    EXPECT_EQ(verticalXs(d), (std::vector<int>{2, 10, 18, 26, 34}));
}

TEST(SystemVariables, ExplanationsMatchExactNamesOnly) {
    const std::vector<std::string_view> names = explainedVariables();
    ASSERT_EQ(names.size(), 64U);
    EXPECT_EQ(names.front(), "wait_timeout");
    EXPECT_EQ(names[30], "max_allowed_packet");
    EXPECT_EQ(names[37], "log");
    EXPECT_EQ(names.back(), "open_file_limit");
    for (Language language : {Language::Japanese, Language::English}) {
        const QString unknown = unknownVariableExplanation(language);
        int unknownEntries = 0;
        for (std::string_view name : names) {
            const QString text = variableExplanation(name, language);
            EXPECT_FALSE(text.isEmpty()) << name;
            unknownEntries += text == unknown;
        }
        EXPECT_EQ(unknownEntries, 6);
        for (const char* name :
             {"max_write_lock_count", "delay_key_write", "Log", "LOG", "log ", "innodb_page_size", ""})
            EXPECT_EQ(variableExplanation(name, language), unknown) << name;
    }
    EXPECT_EQ(unknownVariableExplanation(Language::Japanese), QStringLiteral("不明（現在調査中)"));
    EXPECT_EQ(variableExplanation("max_allowed_packet", Language::Japanese),
              QStringLiteral("入力されるデータを格納する最大バッファサイズ"));
    EXPECT_EQ(variableExplanation("max_allowed_packet", Language::English),
              QStringLiteral("Largest buffer for incoming data"));
    EXPECT_EQ(variableExplanation("open_file_limit", Language::Japanese),
              QStringLiteral("ファイルオープンの制限値　（０はＯＳのファイルオープンの制限値が適応される）"));
    EXPECT_NE(variableExplanation("log", Language::Japanese), unknownVariableExplanation(Language::Japanese));
}

}  // namespace
}  // namespace dbk
