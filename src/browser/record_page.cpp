#include "browser/record_page.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <map>

#include "browser/table_size.h"
#include "conn/connection.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_format.h"

namespace dbk {

void FilterConditions::clear() {
    for (auto& list : conditions)
        list.clear();
}

void FilterConditions::resize(size_t fieldCount) {
    for (auto& list : conditions)
        list.resize(fieldCount);
}

bool FilterConditions::empty() const {
    for (const auto& list : conditions) {
        for (const std::string& c : list) {
            if (!c.empty())
                return false;
        }
    }
    return true;
}

const std::string& FilterConditions::at(int which, size_t field) const {
    static const std::string none;
    const auto& list = conditions.at(static_cast<size_t>(which));
    return field < list.size() ? list[field] : none;
}

void FilterConditions::set(int which, size_t field, std::string text) {
    auto& list = conditions.at(static_cast<size_t>(which));
    if (field >= list.size())
        list.resize(field + 1);
    list[field] = std::move(text);
}

std::string whereClause(const Connection& connection, const std::string& database, const std::string& table,
                        const std::vector<std::string>& fieldNames, const FilterConditions& filter) {
    std::string clause = format("from %s  WHERE ", connection.qualifiedName(database, table));
    bool first = true;
    for (size_t field = 0; field < fieldNames.size(); ++field) {
        for (int which = 0; which < 3; ++which) {
            const std::string& condition = filter.at(which, field);
            if (condition.empty())
                continue;
            clause += format(first ? "%s %s" : " AND %s %s", connection.ident(fieldNames[field]), condition);
            first = false;
        }
    }
    return clause;
}

PageStatements pageStatements(const Connection& connection, const std::string& database,
                              const std::string& table, long long offset, long long limit,
                              const std::vector<std::string>& fieldNames, const FilterConditions* filter) {
    // A filter without any condition would leave a bare WHERE: it filters nothing.
    if (filter && !filter->empty()) {
        const std::string clause = whereClause(connection, database, table, fieldNames, *filter);
        return {"Select * " + clause + format(" LIMIT %d,%d", offset, limit), "Select count(*) " + clause};
    }
    const std::string name = connection.qualifiedName(database, table);
    return {format("select * from %s LIMIT %d,%d", name, offset, limit),
            format("select count(*) from %s", name)};
}

namespace {
unsigned long secondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<unsigned long>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count());
}

bool isPasswordColumn(const DocumentContext& context, const std::string& field) {
    if (context.currentDatabase != "mysql" || context.currentTable != "user")
        return false;
    std::string lower = field;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return lower == "password" || lower == "authentication_string";
}
}  // namespace

namespace {

std::string lowered(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return lower;
}

// The type's name without its length and attributes: "int(11) unsigned" gives "int".
std::string typeName(std::string_view type) {
    const size_t end = type.find_first_of("( ");
    return lowered(type.substr(0, end));
}

bool isNumberText(std::string_view text) {
    if (text.empty())
        return false;
    bool digit = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            digit = true;
        else if (!((c == '-' || c == '+') && i == 0) && c != '.')
            return false;
    }
    return digit;
}

std::string hexLiteral(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "X'";
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text + "'";
}

std::string literalOf(const Connection& connection, PagingKey::Literal literal, const Cell& value) {
    const std::string& text = value ? *value : std::string();
    switch (literal) {
        case PagingKey::Literal::Number:
            if (isNumberText(text))
                return text;
            break;
        case PagingKey::Literal::Bytes:
            return hexLiteral(text);
        case PagingKey::Literal::Text:
            break;
    }
    return "'" + connection.escape(text) + "'";
}

}  // namespace

std::optional<PagingKey::Literal> pagingLiteral(std::string_view type, std::string_view collation,
                                                std::string_view sessionSet) {
    static const std::array<std::string_view, 10> numbers = {
        "tinyint", "smallint", "mediumint", "int", "integer", "bigint", "decimal", "numeric", "dec", "fixed"};
    static const std::array<std::string_view, 4> temporal = {"date", "datetime", "time", "year"};
    const std::string name = typeName(type);
    if (std::find(numbers.begin(), numbers.end(), name) != numbers.end())
        return PagingKey::Literal::Number;
    if (std::find(temporal.begin(), temporal.end(), name) != temporal.end())
        return PagingKey::Literal::Text;
    if (name == "binary" || name == "varbinary")
        return PagingKey::Literal::Bytes;
    if (name != "char" && name != "varchar")
        return std::nullopt;
    // The value comes back in the session's set: it must hold every character of the column's.
    // Servers before collations (no collation given) send the stored bytes as they are.
    const std::string column = lowered(collation.substr(0, collation.find('_')));
    const std::string session = lowered(sessionSet);
    if (column.empty() || column == "null" || column == session)
        return PagingKey::Literal::Text;
    if (column == "binary")
        return PagingKey::Literal::Bytes;
    static const std::array<std::string_view, 5> bmp = {"utf8", "utf8mb3", "ascii", "latin1", "ucs2"};
    static const std::array<std::string_view, 4> beyondBmp = {"utf8mb4", "utf16", "utf16le", "utf32"};
    const bool fitsBmp = std::find(bmp.begin(), bmp.end(), column) != bmp.end();
    const bool fitsUnicode =
        fitsBmp || std::find(beyondBmp.begin(), beyondBmp.end(), column) != beyondBmp.end();
    if ((session == "utf8mb4" && fitsUnicode) || ((session == "utf8" || session == "utf8mb3") && fitsBmp))
        return PagingKey::Literal::Text;
    return std::nullopt;
}

std::optional<PagingKey> findPagingKey(Connection& connection, const std::string& database,
                                       const std::string& table) {
    const std::string name = connection.qualifiedName(database, table);
    struct ColumnFacts {
        std::string type, collation;
        bool nullable = true;
    };
    std::map<std::string, ColumnFacts> facts;
    Result columns = connection.query("SHOW FULL COLUMNS FROM " + name);
    if (!columns.ok())
        return std::nullopt;
    const bool collations = columns.columnIndex("Collation") >= 0;
    while (columns.next()) {
        facts[columns.text("Field")] = {columns.text("Type"), collations ? columns.text("Collation") : "",
                                        columns.text("Null") == "YES"};
    }

    // The keys in the server's order, the primary key first.
    struct KeyFacts {
        std::string name;
        bool usable = true;
        std::vector<PagingKey::Column> columns;
    };
    std::vector<KeyFacts> keys;
    Result listed = connection.query("SHOW KEYS FROM " + name);
    if (!listed.ok())
        return std::nullopt;
    const std::string session = connection.characterSetName();
    const int subPart = listed.columnIndex("Sub_part");
    while (listed.next()) {
        const std::string keyName = listed.text("Key_name");
        if (keys.empty() || keys.back().name != keyName)
            keys.push_back({keyName, listed.text("Non_unique") == "0", {}});
        KeyFacts& key = keys.back();
        const std::string column = listed.text("Column_name");
        const auto fact = facts.find(column);
        std::optional<PagingKey::Literal> literal;
        if (fact != facts.end() && !fact->second.nullable &&
            (subPart < 0 || listed.isNull(static_cast<unsigned>(subPart))))
            literal = pagingLiteral(fact->second.type, fact->second.collation, session);
        if (!literal)
            key.usable = false;
        else
            key.columns.push_back({column, *literal});
    }
    std::stable_partition(keys.begin(), keys.end(), [](const KeyFacts& k) { return k.name == "PRIMARY"; });
    for (const KeyFacts& key : keys) {
        if (key.usable && !key.columns.empty())
            return PagingKey{key.columns};
    }
    return std::nullopt;
}

std::string keyCondition(const Connection& connection, const PagingKey& key, const std::vector<Cell>& values,
                         KeyBound bound) {
    const bool after = bound == KeyBound::After || bound == KeyBound::AtOrAfter;
    const bool inclusive = bound == KeyBound::AtOrAfter || bound == KeyBound::AtOrBefore;
    std::string condition = "(";
    for (size_t last = 0; last < key.columns.size(); ++last) {
        if (last > 0)
            condition += " OR ";
        condition += last > 0 ? "(" : "";
        for (size_t i = 0; i <= last; ++i) {
            const PagingKey::Column& column = key.columns[i];
            const char* op = i < last ? "="
                             : after  ? (inclusive && last + 1 == key.columns.size() ? ">=" : ">")
                                      : (inclusive && last + 1 == key.columns.size() ? "<=" : "<");
            condition += format(i > 0 ? " AND %s %s %s" : "%s %s %s", connection.ident(column.name), op,
                                literalOf(connection, column.literal, values.at(i)));
        }
        condition += last > 0 ? ")" : "";
    }
    return condition + ")";
}

RecordPage readRecordPage(Connection& connection, const DocumentContext& context, FilterConditions& filter) {
    RecordPager pager(std::numeric_limits<long long>::max());
    return pager.read(connection, context, filter);
}

void RecordPager::reset() {
    identity_.clear();
    key_.reset();
    keyPositions_.clear();
    counted_ = estimated_ = countTried_ = countLeft_ = false;
    count_ = 0;
    countText_.clear();
    forgetPlace();
}

void RecordPager::forgetPlace() {
    pageIndex_ = -1;
    firstKey_.clear();
    lastKey_.clear();
    anchors_.clear();
    anchorEvery_ = 0;
}

void RecordPager::setExactCount(const std::string& countStatement, long long count,
                                std::vector<std::vector<Cell>> anchors, long long anchorEvery) {
    if (countStatement != countStatement_ || identity_.empty())
        return;
    anchors_ = std::move(anchors);
    anchorEvery_ = anchors_.empty() ? 0 : anchorEvery;
    count_ = count;
    countText_ = std::to_string(count);
    counted_ = true;
    estimated_ = false;
}

void RecordPager::rowsDeleted(long long rows) {
    if (counted_) {
        count_ = std::max(0LL, count_ - rows);
        countText_ = std::to_string(count_);
    }
    // The rows after the deleted ones moved up: the next page's first row is one this page had,
    // and the kept keys no longer stand at their rows.
    forgetPlace();
}

void RecordPager::setUp(Connection& connection, const DocumentContext& context) {
    key_ = findPagingKey(connection, context.currentDatabase, context.currentTable);
    // Engines that keep the count (MyISAM, Aria, MEMORY) answer an unfiltered count at once; the
    // others count by reading every row, which is left to the caller for a big table.
    TableStatus status;
    if (readTableStatus(connection, context.currentDatabase, context.currentTable, status) !=
        StatusOutcome::Read)
        return;
    const std::string engine = lowered(status.type);
    const bool storedCount = engine == "myisam" || engine == "aria" || engine == "memory" ||
                             engine == "heap" || engine == "isam" || engine == "mrg_myisam";
    if (static_cast<long long>(status.rows) <= exactCountLimit_ || (storedCount && !filtered_))
        return;
    countLeft_ = true;
    if (!filtered_) {
        count_ = static_cast<long long>(status.rows);
        estimated_ = true;
    }
}

std::vector<Cell> RecordPager::keyOf(const Row& row) const {
    std::vector<Cell> values;
    for (size_t position : keyPositions_)
        values.push_back(position < row.size() ? row[position] : Cell());
    return values;
}

std::string RecordPager::keyColumns(const Connection& connection) const {
    std::string columns;
    for (const PagingKey::Column& column : key_->columns)
        columns += (columns.empty() ? "" : ",") + connection.ident(column.name);
    return columns;
}

std::string RecordPager::keyScanStatement(const Connection& connection) const {
    if (!key_)
        return {};
    return format("select %s %s%s", keyColumns(connection), from_, orderBy(connection, false));
}

std::optional<std::vector<Cell>> RecordPager::keyAtOffset(Connection& connection, long long offset,
                                                          bool fromEnd) {
    // From the nearest kept key before the offset, the server steps over fewer rows.
    const size_t anchor = anchorEvery_ > 0 && !fromEnd ? static_cast<size_t>(offset / anchorEvery_) : 0;
    if (anchorEvery_ > 0 && !fromEnd && anchor < anchors_.size()) {
        const long long rest = offset - static_cast<long long>(anchor) * anchorEvery_;
        if (rest == 0)
            return anchors_[anchor];
        keyStatement_ = format("select %s %s %s %s%s LIMIT %d,1", keyColumns(connection), from_,
                               filtered_ ? "AND" : "WHERE",
                               keyCondition(connection, *key_, anchors_[anchor], KeyBound::AtOrAfter),
                               orderBy(connection, false), rest);
    } else {
        keyStatement_ = format("select %s %s%s LIMIT %d,1", keyColumns(connection), from_,
                               orderBy(connection, fromEnd), offset);
    }
    Result r = connection.query(keyStatement_);
    if (!r.ok() || !r.next())
        return std::nullopt;
    return r.row();
}

std::string RecordPager::orderBy(const Connection& connection, bool descending) const {
    std::string order;
    for (const PagingKey::Column& column : key_->columns)
        order += (order.empty() ? " ORDER BY " : ",") + connection.ident(column.name) +
                 (descending ? " DESC" : "");
    return order;
}

std::string RecordPager::selectFor(Connection& connection, const DocumentContext& context, long long limit,
                                   bool& reversed, bool& empty) {
    const std::string select = filtered_ ? "Select * " : "select * ";
    const int target = context.pageIndex;
    auto bounded = [&](const std::vector<Cell>& values, KeyBound bound, long long rows) {
        const bool descending = bound == KeyBound::Before || bound == KeyBound::AtOrBefore;
        reversed = descending;
        return format("%s%s %s %s%s LIMIT %d", select, from_, filtered_ ? "AND" : "WHERE",
                      keyCondition(connection, *key_, values, bound), orderBy(connection, descending), rows);
    };
    if (target == 0)
        return format("%s%s%s LIMIT %d", select, from_, orderBy(connection, false), limit);
    if (pageIndex_ >= 0 && target == pageIndex_ + 1 && !lastKey_.empty())
        return bounded(lastKey_, KeyBound::After, limit);
    if (pageIndex_ >= 0 && target == pageIndex_ - 1 && !firstKey_.empty())
        return bounded(firstKey_, KeyBound::Before, limit);
    if (target == pageIndex_ && !firstKey_.empty())
        return bounded(firstKey_, KeyBound::AtOrAfter, limit);

    // A jump: the key of the page's first row by offset from the start, or of its last row from
    // the end when the count is exact and the end is nearer.
    const long long offset = static_cast<long long>(target) * limit;
    if (counted_) {
        const long long end = std::min(offset + limit, count_);
        if (end <= offset) {
            empty = true;
            return {};
        }
        if (count_ - end < offset && (anchorEvery_ == 0 || count_ == end)) {
            if (count_ == end) {
                reversed = true;
                return format("%s%s%s LIMIT %d", select, from_, orderBy(connection, true), end - offset);
            }
            const std::optional<std::vector<Cell>> last = keyAtOffset(connection, count_ - end, true);
            if (!last) {
                empty = true;
                return {};
            }
            return bounded(*last, KeyBound::AtOrBefore, end - offset);
        }
    }
    const std::optional<std::vector<Cell>> first = keyAtOffset(connection, offset, false);
    if (!first) {
        empty = true;
        return {};
    }
    return bounded(*first, KeyBound::AtOrAfter, limit);
}

RecordPage RecordPager::read(Connection& connection, const DocumentContext& context,
                             FilterConditions& filter) {
    RecordPage page;
    connection.discardPendingResults();
    if (context.filterFlag == 0)
        filter.clear();
    if (!connection.selectDb(context.currentDatabase))
        return page;
    Result fields = connection.listFields(context.currentTable);
    if (!fields.ok())
        return page;
    std::string fieldList;
    for (const FieldInfo& f : fields.fields()) {
        page.fieldNames.push_back(f.name);
        fieldList += f.name + '\0';
    }
    filter.resize(page.fieldNames.size());
    page.stage = RecordPage::Stage::Columns;

    const long long limit = context.rowsPerPage > 0 ? context.rowsPerPage : 100;
    const long long offset = static_cast<long long>(context.pageIndex) * limit;
    const bool filtered = context.filterFlag != 0 && !filter.empty();
    page.statements = pageStatements(connection, context.currentDatabase, context.currentTable, offset, limit,
                                     page.fieldNames, filtered ? &filter : nullptr);

    // A new table, filter, page length or set of fields starts afresh.
    const std::string identity = page.statements.count + '\0' + fieldList + std::to_string(limit);
    if (identity != identity_) {
        reset();
        identity_ = identity;
        countStatement_ = page.statements.count;
        filtered_ = filtered;
        from_ = "from " + connection.qualifiedName(context.currentDatabase, context.currentTable);
        if (filtered) {
            const std::string clause = whereClause(connection, context.currentDatabase, context.currentTable,
                                                   page.fieldNames, filter);
            from_ += "  WHERE (" + clause.substr(from_.size() + 8) + ")";
        }
        setUp(connection, context);
        if (key_) {
            for (const PagingKey::Column& column : key_->columns) {
                const auto at = std::find(page.fieldNames.begin(), page.fieldNames.end(), column.name);
                keyPositions_.push_back(static_cast<size_t>(at - page.fieldNames.begin()));
                if (at == page.fieldNames.end())
                    key_.reset();
            }
        }
    }

    bool reversed = false;
    bool empty = false;
    keyStatement_.clear();
    if (key_)
        page.statements.select = selectFor(connection, context, limit, reversed, empty);
    page.keyStatement = keyStatement_;

    const auto start = std::chrono::steady_clock::now();
    if (!empty) {
        Result rows = connection.query(page.statements.select);
        if (!rows.ok())
            return page;
        page.resultSeconds = secondsSince(start);
        std::vector<bool> masked(rows.fieldCount());
        for (unsigned i = 0; i < rows.fieldCount(); ++i)
            masked[i] = isPasswordColumn(context, rows.fieldName(i));
        while (static_cast<long long>(page.rows.size()) < limit && rows.next())
            page.rows.push_back(rows.row());
        if (reversed)
            std::reverse(page.rows.begin(), page.rows.end());
        if (key_) {
            pageIndex_ = context.pageIndex;
            firstKey_ = page.rows.empty() ? std::vector<Cell>() : keyOf(page.rows.front());
            lastKey_ = page.rows.empty() ? std::vector<Cell>() : keyOf(page.rows.back());
        }
        for (Row& row : page.rows) {
            for (size_t i = 0; i < row.size(); ++i) {
                if (masked[i])
                    row[i] = kMaskedPassword;
            }
        }
    } else {
        pageIndex_ = context.pageIndex;
        firstKey_.clear();
        lastKey_.clear();
    }
    page.doneSeconds = secondsSince(start);
    page.stage = RecordPage::Stage::Rows;

    if (!counted_ && !countLeft_ && !countTried_) {
        countTried_ = true;
        Result count = connection.query(page.statements.count);
        if (count.ok() && count.next()) {
            countText_ = std::string(count.text(0U));
            count_ = std::atoll(countText_.c_str());
            counted_ = true;
        }
    }
    page.recordCount = count_;
    page.countRead = counted_;
    page.countText = counted_ ? countText_ : std::string();
    page.countEstimated = estimated_ && !counted_;
    page.countPending = countLeft_ && !counted_ && !estimated_;
    return page;
}

int lastPageIndex(long long recordCount, int rowsPerPage) {
    return rowsPerPage > 0 ? static_cast<int>(recordCount / rowsPerPage) : 0;
}

void sortRows(std::vector<Row>& rows, size_t column, bool ascending, ServerEncoding encoding) {
    // Each value's key is worked out once: its Shift_JIS bytes, which a UTF-8 session's values
    // get where every character has a Shift_JIS code (the others keep their own bytes).
    std::vector<std::pair<std::string, size_t>> keys;
    keys.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        std::string key = column < r.size() && r[column] ? *r[column] : std::string();
        if (encoding == ServerEncoding::Utf8 && !key.empty()) {
            long long missing = 0;
            std::string shiftJis = toShiftJis(fromServer(encoding, key), &missing);
            if (missing == 0)
                key = std::move(shiftJis);
        }
        keys.emplace_back(std::move(key), i);
    }
    auto byteLess = [](const std::string& x, const std::string& y) {
        return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](char p, char q) {
            return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
        });
    };
    std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        return ascending ? byteLess(a.first, b.first) : byteLess(b.first, a.first);
    });
    std::vector<Row> sorted;
    sorted.reserve(rows.size());
    for (const auto& [key, index] : keys)
        sorted.push_back(std::move(rows[index]));
    rows = std::move(sorted);
}

std::string rowsAsText(const std::vector<const Row*>& rows) {
    std::string text;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r > 0)
            text += '\n';
        const Row& row = *rows[r];
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += '\t';
            if (row[c])
                text += *row[c];
        }
    }
    return text;
}

int pageCount(long long recordCount, int rowsPerPage) {
    return rowsPerPage > 0 ? static_cast<int>(recordCount / rowsPerPage) + 1 : 1;
}

QString pageRangeText(int page, int rowsPerPage, long long recordCount) {
    const int count = pageCount(recordCount, rowsPerPage);
    const QString shown = QStringLiteral("%1 から %2まで表示されます");
    const long long first = static_cast<long long>(page - 1) * rowsPerPage + 1;
    if (page > 0 && page < count)
        return shown.arg(first).arg(static_cast<long long>(page) * rowsPerPage);
    if (page == count)
        return shown.arg(first).arg(recordCount);
    return QStringLiteral("表示できません");
}

}  // namespace dbk
