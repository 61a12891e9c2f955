#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>
#include "conn/text_codec.h"

namespace dbk {

class Connection;
struct DocumentContext;

using Cell = std::optional<std::string>;
using Row = std::vector<Cell>;

// The record list's filter: up to three raw SQL conditions per field, by field position.
struct FilterConditions {
    std::array<std::vector<std::string>, 3> conditions;

    void clear();
    // Sized to the field count; conditions beyond it are dropped.
    void resize(size_t fieldCount);
    bool empty() const;
    const std::string& at(int which, size_t field) const;
    void set(int which, size_t field, std::string text);
};

// "from db.t  WHERE a > 1 AND a < 9": each condition that is not empty adds the field name,
// a blank and the condition, field by field, condition 1 to 3.
std::string whereClause(const Connection& connection, const std::string& database, const std::string& table,
                        const std::vector<std::string>& fieldNames, const FilterConditions& filter);

struct PageStatements {
    std::string select;
    std::string count;
};

// The statements of one page: offset = page index * rows per page. With a filter that holds
// at least one condition, the filtered forms.
PageStatements pageStatements(const Connection& connection, const std::string& database,
                              const std::string& table, long long offset, long long limit,
                              const std::vector<std::string>& fieldNames, const FilterConditions* filter);

// One page of a table as the record list shows it.
struct RecordPage {
    enum class Stage { Nothing, Columns, Rows };
    Stage stage = Stage::Nothing;  // how far the fill got
    std::vector<std::string> fieldNames;
    std::vector<Row> rows;
    PageStatements statements;
    std::string countText;
    long long recordCount = 0;
    bool countRead = false;
    unsigned long resultSeconds = 0;  // from sending to the stored result
    unsigned long doneSeconds = 0;    // from sending to the last row taken
};

inline constexpr const char* kMaskedPassword = "*********";

// Reads the page of the context's table: selects the database, lists the fields, sends the
// page statement and the count statement. Password hashes of mysql.user are masked.
RecordPage readRecordPage(Connection& connection, const DocumentContext& context, FilterConditions& filter);

// The last page index the next-page command may reach for this many records.
int lastPageIndex(long long recordCount, int rowsPerPage);

// Rows sorted by one column's text in byte order (NULL as ""), keeping equal rows in order.
// Text is compared as Shift_JIS bytes where it has them, whatever the session's encoding.
void sortRows(std::vector<Row>& rows, size_t column, bool ascending,
              ServerEncoding encoding = ServerEncoding::ShiftJis);

// The selected rows as the clipboard gets them: cells joined by tabs, rows by line feeds,
// nothing after the last row.
std::string rowsAsText(const std::vector<const Row*>& rows);

// The page dialog's figures.
int pageCount(long long recordCount, int rowsPerPage);
// "%d から %dまで表示されます" or "表示できません" for page p.
QString pageRangeText(int page, int rowsPerPage, long long recordCount);

}  // namespace dbk
