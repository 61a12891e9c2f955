#include "browser/table_size.h"

#include <cstdlib>

#include "app/messages.h"
#include "conn/connection.h"
#include "conn/text_format.h"

namespace dbk {

namespace {

uint64_t number(const Result& r, const char* name, unsigned legacyPosition) {
    const int column = r.columnIndex(name);
    const unsigned position = column >= 0 ? static_cast<unsigned>(column) : legacyPosition;
    if (position >= r.fieldCount() || r.isNull(position))
        return 0;
    return std::strtoull(std::string(r.text(position)).c_str(), nullptr, 10);
}

std::string text(const Result& r, const char* name, unsigned legacyPosition) {
    const int column = r.columnIndex(name);
    const unsigned position = column >= 0 ? static_cast<unsigned>(column) : legacyPosition;
    return position < r.fieldCount() ? std::string(r.text(position)) : std::string();
}

}  // namespace

std::string tableStatusStatement(const Connection& connection, const std::string& database,
                                 const std::string& table) {
    return format("SHOW TABLE STATUS FROM %s Like '%s'", connection.ident(database),
                  connection.escapeLike(table));
}

StatusOutcome readTableStatus(Connection& connection, const std::string& database, const std::string& table,
                              TableStatus& s) {
    s = TableStatus{};
    Result r = connection.query(tableStatusStatement(connection, database, table));
    if (!r.ok())
        return StatusOutcome::QueryFailed;
    if (!r.hasRows())
        return StatusOutcome::NoResult;
    if (!r.next())
        return StatusOutcome::NoRow;
    s.type = r.columnIndex("Engine") >= 0 ? text(r, "Engine", 1) : text(r, "Type", 1);
    s.rowFormat = text(r, "Row_format", 2);
    s.rows = number(r, "Rows", 3);
    s.averageRowLength = number(r, "Avg_row_length", 4);
    s.data = number(r, "Data_length", 5);
    s.maximum = number(r, "Max_data_length", 6);
    s.index = number(r, "Index_length", 7);
    s.free = number(r, "Data_free", 8);
    s.createTime = text(r, "Create_time", 10);
    s.updateTime = text(r, "Update_time", 11);
    s.checkTime = text(r, "Check_time", 12);
    s.createOptions = text(r, "Create_options", 13);
    return StatusOutcome::Read;
}

double diskCapacityPercent(const TableStatus& s) {
    if (s.maximum == 0)
        return 0;
    return static_cast<double>(s.data + s.index) / static_cast<double>(s.maximum) * 100.0;
}

double allocatedInUsePercent(const TableStatus& s) {
    const uint64_t allocated = s.index + s.data + s.free;
    if (allocated == 0)
        return 0;
    return static_cast<double>(s.data + s.index) / static_cast<double>(allocated) * 100.0;
}

double dataAgainstIndexPercent(const TableStatus& s) {
    if (s.data == 0)
        return 0;
    if (s.index == 0)
        return 100;
    return static_cast<double>(s.data) / static_cast<double>(s.index + s.data) * 100.0;
}

double drawnLevel(double percent) {
    if (percent >= 99)
        return 98;
    if (percent <= 1)
        return 2;
    return percent;
}

QString percentText(double percent) {
    return formatUi(QStringLiteral("%-5.2f%%"), percent);
}

void drawGauge(DrawingList& d, int x, double p) {
    using G = GaugeGeometry;
    const int y = G::kTop, w = G::kWidth, h = G::kHeight, depth = G::kDepth;
    const int f = static_cast<int>(h * drawnLevel(p) / 100);
    const int level = y + h - f;
    const bool levelLine = p != 0 && p != 100;

    // Faces first, so the black edges stay on top of them.
    d.polygon({{x, y}, {x + w / 2, y - depth}, {x + w, y}, {x + w / 2, y + depth}},
              p >= 100 ? colours::kRed : colours::kBlue);
    auto sideFaces = [&](int top, int bottom, Rgb fill) {
        d.polygon({{x, top}, {x + w / 2, top + depth}, {x + w / 2, bottom + depth}, {x, bottom}}, fill);
        d.polygon({{x + w / 2, top + depth}, {x + w, top}, {x + w, bottom}, {x + w / 2, bottom + depth}},
                  fill);
    };
    if (levelLine) {
        sideFaces(y, level, colours::kBlue);
        sideFaces(level, y + h, colours::kRed);
    } else {
        // without the level line, the fill covers the whole face
        sideFaces(y, y + h, p == 0 ? colours::kBlue : colours::kRed);
    }

    const QPoint top(x + w / 2, y - depth), front(x + w / 2, y + depth);
    d.line({x, y}, top);
    d.line(top, {x + w, y});
    d.line({x + w, y}, front);
    d.line(front, {x, y});
    d.line({x, y}, {x, y + h});
    d.line({x + w, y}, {x + w, y + h});
    d.line({x, y + h}, {x + w / 2, y + h + depth});
    d.line({x + w / 2, y + h + depth}, {x + w, y + h});
    d.line(front, {x + w / 2, y + h + depth});
    if (levelLine) {
        d.line({x, level}, {x + w / 2, level + depth});
        d.line({x + w / 2, level + depth}, {x + w, level});
    }
    d.line({x + w, level}, {x + w + w / 4, level - depth});
    d.line({x + w + w / 4, level - depth}, {x + 2 * w + w / 4, level - depth});
    d.text({x + w + w / 4, level - depth - 20}, percentText(p));
}

DrawingList tableSizeDrawing(const TableStatus& status) {
    DrawingList d;
    d.background = Rgb{212, 208, 200};  // the desktop's window border face
    const QString captions[3] = {QStringLiteral("ディスク容量"), QStringLiteral("領域確保使用率"),
                                 QStringLiteral("インデックス対データ")};
    const double percents[3] = {diskCapacityPercent(status), allocatedInUsePercent(status),
                                dataAgainstIndexPercent(status)};
    for (int i = 0; i < 3; ++i) {
        d.text({GaugeGeometry::kLefts[i], GaugeGeometry::kTop - GaugeGeometry::kDepth - 40}, captions[i],
               colours::kBlack, FontRole::Bold);
        drawGauge(d, GaugeGeometry::kLefts[i], percents[i]);
    }
    return d;
}

TableSizeTexts tableSizeTexts(const TableStatus& s) {
    auto bytes = [](uint64_t n) { return formatUi(QStringLiteral("%lu Byte"), n); };
    TableSizeTexts t;
    t.rows = formatUi(QStringLiteral("%lu 件"), s.rows);
    t.averageRowLength = bytes(s.averageRowLength);
    t.current = bytes(s.data + s.index + s.free);
    t.used = bytes(s.data + s.index);
    t.data = bytes(s.data);
    t.index = bytes(s.index);
    t.unused = bytes(s.free);
    t.maximum = s.maximum == 0 ? msg(10057) : bytes(s.maximum);
    return t;
}

}  // namespace dbk
