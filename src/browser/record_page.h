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

// The key the record list pages a table by: the primary key, or else a unique key over NOT NULL
// columns, whose values read back as text find the same place again in the same order. Keys
// with a column of a type whose text does not (floating point, BIT, ENUM, SET, TIMESTAMP, spatial,
// a prefix of a column, a character set the session cannot hold every character of) are passed
// over: such tables are paged by offset.
struct PagingKey {
    enum class Literal { Number, Text, Bytes };
    struct Column {
        std::string name;
        Literal literal = Literal::Text;
    };
    std::vector<Column> columns;
};

// Looks the key up ("SHOW FULL COLUMNS", "SHOW KEYS"); nullopt when the table has none fit for
// paging or the statements fail.
std::optional<PagingKey> findPagingKey(Connection& connection, const std::string& database,
                                       const std::string& table);

// Whether a column of this type, read as text in a session of `sessionSet`, compares and sorts
// the same again when sent back as a literal: the column's collation `collation` ("" for none).
std::optional<PagingKey::Literal> pagingLiteral(std::string_view type, std::string_view collation,
                                                std::string_view sessionSet);

// Where a page starts or ends relative to a row's key values.
enum class KeyBound { After, AtOrAfter, Before, AtOrBefore };
// "(a > 1 OR (a = 1 AND b > 'x'))": the rows on the bound's side of `values` in key order. The
// expanded form is the one the servers read as a range of the index.
std::string keyCondition(const Connection& connection, const PagingKey& key, const std::vector<Cell>& values,
                         KeyBound bound);

// One page of a table as the record list shows it.
struct RecordPage {
    enum class Stage { Nothing, Columns, Rows };
    Stage stage = Stage::Nothing;  // how far the fill got
    std::vector<std::string> fieldNames;
    std::vector<Row> rows;
    PageStatements statements;
    // The statement that found a jump's key by its offset; empty for the other reads.
    std::string keyStatement;
    std::string countText;
    long long recordCount = 0;
    bool countRead = false;
    // The count is the table statistics' estimate; the exact count is still to be read (with
    // statements.count). countText is then empty.
    bool countEstimated = false;
    // The exact count is still to be read and there is no estimate (a filtered list).
    bool countPending = false;
    unsigned long resultSeconds = 0;  // from sending to the stored result
    unsigned long doneSeconds = 0;    // from sending to the last row taken
};

inline constexpr const char* kMaskedPassword = "*********";

// Reads the page of the context's table: selects the database, lists the fields, sends the
// page statement and the count statement. Password hashes of mysql.user are masked.
RecordPage readRecordPage(Connection& connection, const DocumentContext& context, FilterConditions& filter);

// Reads the pages of one table (and filter) as the user turns them. The count is read once, when
// the table or filter is new, and kept while the pages turn. A table with a paging key is read by
// key from the page before or after (the rows the offset read gives in key order, without the
// server stepping over every earlier row); a jump reads the one key at the offset, or from the end
// when that is nearer and the count is exact, and the rows from it. Tables without such a key are
// read by offset. Big tables without a stored count get the statistics' estimate at once and
// their exact count is left to the caller (countEstimated / countPending), who hands it back.
class RecordPager {
public:
    // Tables whose estimate is above this many rows are not counted while the page is read.
    static constexpr long long kExactCountLimit = 200000;
    explicit RecordPager(long long exactCountLimit = kExactCountLimit) : exactCountLimit_(exactCountLimit) {}

    RecordPage read(Connection& connection, const DocumentContext& context, FilterConditions& filter);
    void setExactCountLimit(long long rows) { exactCountLimit_ = rows; }
    // Forgets the count, the key and the place: the next read starts as for a new table.
    void reset();
    // The exact count read apart, for the statement `countStatement` (ignored when the pager has
    // since moved to another table or filter), with the keys of every `anchorEvery`-th row when
    // it was read with keyScanStatement(): jumps then read the key at their offset from the
    // nearest of them.
    void setExactCount(const std::string& countStatement, long long count,
                       std::vector<std::vector<Cell>> anchors = {}, long long anchorEvery = 0);
    // The key columns of the rows in key order (for the count read apart); empty without a key.
    std::string keyScanStatement(const Connection& connection) const;
    // The program deleted rows of the table: the exact count goes down, and the next page is
    // found by offset, as the rows after them moved up.
    void rowsDeleted(long long rows);

    const std::optional<PagingKey>& key() const { return key_; }
    long long recordCount() const { return count_; }
    const std::string& countText() const { return countText_; }  // of the exact count
    bool countEstimated() const { return estimated_; }
    bool countKnown() const { return counted_; }
    // The exact count is the caller's to read and has not arrived.
    bool countOutstanding() const { return countLeft_ && !counted_; }

private:
    // The statement of the context's page; `reversed` when it reads the rows from the end, `empty`
    // when the page is beyond the rows and nothing need be read.
    std::string selectFor(Connection& connection, const DocumentContext& context, long long limit,
                          bool& reversed, bool& empty);
    std::optional<std::vector<Cell>> keyAtOffset(Connection& connection, long long offset, bool fromEnd);
    std::string keyStatement_;  // of the last read
    std::string keyColumns(const Connection& connection) const;
    std::string orderBy(const Connection& connection, bool descending) const;
    std::vector<Cell> keyOf(const Row& row) const;
    // Finds the key and decides how the count is read, for a table or filter just chosen.
    void setUp(Connection& connection, const DocumentContext& context);
    // Forgets the page read last and the kept keys.
    void forgetPlace();

    long long exactCountLimit_;
    std::string identity_;  // the table, filter and page length the state below belongs to
    std::optional<PagingKey> key_;
    std::vector<size_t> keyPositions_;  // of the key's columns among the fields
    std::string from_;                  // "from db.t" or "from db.t  WHERE (conditions)"
    bool filtered_ = false;
    std::string countStatement_;
    long long count_ = 0;
    std::string countText_;
    bool counted_ = false;     // count_ is the exact count
    bool estimated_ = false;   // count_ is the statistics' estimate
    bool countLeft_ = false;   // the exact count is the caller's to read
    bool countTried_ = false;  // the count statement failed: not sent again for every page
    // The page read last and the key values of its first and last rows.
    int pageIndex_ = -1;
    std::vector<Cell> firstKey_, lastKey_;
    // The keys of rows 0, anchorEvery_, 2 × anchorEvery_, … in key order.
    std::vector<std::vector<Cell>> anchors_;
    long long anchorEvery_ = 0;
};

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
