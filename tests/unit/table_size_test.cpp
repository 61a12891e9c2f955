#include <gtest/gtest.h>

#include "app/messages.h"
#include "browser/table_size.h"

namespace dbk {
namespace {

TableStatus status(uint64_t data, uint64_t index, uint64_t free, uint64_t maximum) {
    TableStatus s;
    s.data = data;
    s.index = index;
    s.free = free;
    s.maximum = maximum;
    return s;
}

TEST(TableSizeGauges, Percentages) {
    EXPECT_DOUBLE_EQ(diskCapacityPercent(status(60, 40, 0, 1000)), 10.0);
    EXPECT_DOUBLE_EQ(diskCapacityPercent(status(60, 40, 0, 0)), 0.0);
    EXPECT_DOUBLE_EQ(allocatedInUsePercent(status(60, 20, 20, 0)), 80.0);
    EXPECT_DOUBLE_EQ(allocatedInUsePercent(status(0, 0, 0, 0)), 0.0);  // nothing allocated
    EXPECT_DOUBLE_EQ(dataAgainstIndexPercent(status(0, 50, 0, 0)), 0.0);
    EXPECT_DOUBLE_EQ(dataAgainstIndexPercent(status(70, 0, 0, 0)), 100.0);
    EXPECT_DOUBLE_EQ(dataAgainstIndexPercent(status(75, 25, 0, 0)), 75.0);
    // sizes beyond 32 bits
    EXPECT_DOUBLE_EQ(diskCapacityPercent(status(6000000000ULL, 2000000000ULL, 0, 16000000000ULL)), 50.0);
}

TEST(TableSizeGauges, DrawnLevelsNeverTouchTheEnds) {
    const struct {
        double percent, drawn;
        const char* label;
    } cases[] = {{0, 2, "0.00 %"},   {1, 2, "1.00 %"},     {2, 2, "2.00 %"},    {50, 50, "50.00%"},
                 {99, 98, "99.00%"}, {99.5, 98, "99.50%"}, {100, 98, "100.00%"}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(drawnLevel(c.percent), c.drawn) << c.percent;
        EXPECT_EQ(percentText(c.percent), QString::fromLatin1(c.label)) << c.percent;
    }
}

// The gauge of 99.5% sits at the 98% level (y 100 + 200 - 196 = 104) and is labelled 99.50%;
// its level line is drawn and the faces below it are red.
TEST(TableSizeGauges, AGaugeIsDrawnWithItsLevelLeaderAndLabel) {
    DrawingList d;
    drawGauge(d, 260, 99.5);
    const auto label = d.findText("99.50%");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->position, QPoint(260 + 50 + 12, 104 - 10 - 20));
    const auto lines = d.all<DrawLine>();
    auto hasLine = [&](QPoint a, QPoint b) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const DrawLine& l) { return l.from == a && l.to == b; });
    };
    EXPECT_TRUE(hasLine({260, 104}, {285, 114}));  // level line, front left
    EXPECT_TRUE(hasLine({310, 104}, {322, 94}));   // leader
    EXPECT_TRUE(hasLine({322, 94}, {372, 94}));
    EXPECT_TRUE(hasLine({260, 100}, {260, 300}));  // left edge
    EXPECT_TRUE(hasLine({285, 110}, {285, 310}));  // front edge
    const auto faces = d.all<DrawPolygon>();
    ASSERT_EQ(faces.size(), 5U);
    EXPECT_EQ(faces[0].fill, colours::kBlue);  // top face
    EXPECT_EQ(faces[1].fill, colours::kBlue);  // above the level
    EXPECT_EQ(faces[3].fill, colours::kRed);   // below the level
    EXPECT_EQ(faces[3].points[0], QPoint(260, 104));
}

TEST(TableSizeGauges, EmptyAndFullGaugesHaveNoLevelLine) {
    for (double p : {0.0, 100.0}) {
        DrawingList d;
        drawGauge(d, 100, p);
        EXPECT_EQ(d.all<DrawLine>().size(), 9U + 2U) << p;  // outline and leader only
        const auto faces = d.all<DrawPolygon>();
        ASSERT_EQ(faces.size(), 3U);
        const Rgb side = p == 0 ? colours::kBlue : colours::kRed;
        EXPECT_EQ(faces[0].fill, p == 0 ? colours::kBlue : colours::kRed);
        EXPECT_EQ(faces[1].fill, side);
        EXPECT_EQ(faces[2].fill, side);
    }
}

TEST(TableSizeTexts, FiguresAndAnUnknownMaximum) {
    setInterfaceLanguage(Language::English);
    TableStatus s = status(5000000000ULL, 1000, 24, 0);
    s.rows = 3;
    s.averageRowLength = 16;
    const TableSizeTexts t = tableSizeTexts(s);
    EXPECT_EQ(t.rows, QStringLiteral("3 件"));
    EXPECT_EQ(t.averageRowLength, "16 Byte");
    EXPECT_EQ(t.current, "5000001024 Byte");
    EXPECT_EQ(t.used, "5000001000 Byte");
    EXPECT_EQ(t.unused, "24 Byte");
    EXPECT_EQ(t.maximum, "Unclear.");
    EXPECT_EQ(tableSizeTexts(status(1, 1, 1, 4096)).maximum, "4096 Byte");

    const DrawingList picture = tableSizeDrawing(status(10, 0, 0, 0));
    EXPECT_TRUE(picture.findText(QStringLiteral("ディスク容量")));
    EXPECT_TRUE(picture.findText(QStringLiteral("インデックス対データ")));
    EXPECT_TRUE(picture.findText("0.00 %"));   // first gauge: no maximum
    EXPECT_TRUE(picture.findText("100.00%"));  // third: data without index
}

}  // namespace
}  // namespace dbk
