#include "browser/record_page.h"

#include <algorithm>
#include <chrono>

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

RecordPage readRecordPage(Connection& connection, const DocumentContext& context, FilterConditions& filter) {
    RecordPage page;
    connection.discardPendingResults();
    if (context.filterFlag == 0)
        filter.clear();
    if (!connection.selectDb(context.currentDatabase))
        return page;
    Result fields = connection.listFields(context.currentTable);
    if (!fields.ok())
        return page;
    for (const FieldInfo& f : fields.fields())
        page.fieldNames.push_back(f.name);
    filter.resize(page.fieldNames.size());
    page.stage = RecordPage::Stage::Columns;

    const long long limit = context.rowsPerPage > 0 ? context.rowsPerPage : 100;
    const long long offset = static_cast<long long>(context.pageIndex) * limit;
    page.statements = pageStatements(connection, context.currentDatabase, context.currentTable, offset, limit,
                                     page.fieldNames, context.filterFlag != 0 ? &filter : nullptr);

    const auto start = std::chrono::steady_clock::now();
    Result rows = connection.query(page.statements.select);
    if (!rows.ok())
        return page;
    page.resultSeconds = secondsSince(start);
    std::vector<bool> masked(rows.fieldCount());
    for (unsigned i = 0; i < rows.fieldCount(); ++i)
        masked[i] = isPasswordColumn(context, rows.fieldName(i));
    while (static_cast<long long>(page.rows.size()) < limit && rows.next()) {
        Row row = rows.row();
        for (size_t i = 0; i < row.size(); ++i) {
            if (masked[i])
                row[i] = kMaskedPassword;
        }
        page.rows.push_back(std::move(row));
    }
    page.doneSeconds = secondsSince(start);
    page.stage = RecordPage::Stage::Rows;

    Result count = connection.query(page.statements.count);
    if (count.ok() && count.next()) {
        page.countText = std::string(count.text(0U));
        page.recordCount = std::atoll(page.countText.c_str());
        page.countRead = true;
    }
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
