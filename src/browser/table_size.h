#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "app/drawing_list.h"

namespace dbk {

class Connection;

// One table's row of the server's table status.
struct TableStatus {
    std::string type;
    std::string rowFormat;
    uint64_t rows = 0;
    uint64_t averageRowLength = 0;
    uint64_t data = 0;
    uint64_t maximum = 0;
    uint64_t index = 0;
    uint64_t free = 0;
    std::string createTime;
    std::string updateTime;
    std::string checkTime;
    std::string createOptions;
};

enum class StatusOutcome { Read, QueryFailed, NoResult, NoRow };

// "SHOW TABLE STATUS FROM db Like 'table'", the table name's LIKE wildcards escaped so the
// row is the table's own.
std::string tableStatusStatement(const Connection& connection, const std::string& database,
                                 const std::string& table);
// Reads the figures by column name (Engine or Type, Rows, Data_length …); the positions of
// the old layout are the fallback. NULL gives 0 and "".
StatusOutcome readTableStatus(Connection& connection, const std::string& database, const std::string& table,
                              TableStatus& status);

// The three gauges' percentages: used of the maximum, used of the allocated space, data
// against index.
double diskCapacityPercent(const TableStatus& s);
double allocatedInUsePercent(const TableStatus& s);
double dataAgainstIndexPercent(const TableStatus& s);
// The level a percentage is drawn at: never fully empty or full.
double drawnLevel(double percent);
// "%-5.2f%%"
QString percentText(double percent);

struct GaugeGeometry {
    static constexpr int kTop = 100;
    static constexpr int kWidth = 50;
    static constexpr int kHeight = 200;
    static constexpr int kDepth = 10;
    static constexpr int kLefts[3] = {100, 260, 470};
};

// One gauge, an upright prism seen from above, with its level, leader and label.
void drawGauge(DrawingList& drawing, int left, double percent);
// The form's picture: background and the three gauges with their captions.
DrawingList tableSizeDrawing(const TableStatus& status);

// The texts of the form's fields.
struct TableSizeTexts {
    QString rows, averageRowLength, current, used, data, index, unused, maximum;
};
TableSizeTexts tableSizeTexts(const TableStatus& status);

}  // namespace dbk
