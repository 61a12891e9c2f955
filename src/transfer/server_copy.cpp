#include "transfer/server_copy.h"

#include <charconv>

#include "conn/connection.h"
#include "conn/text_format.h"
#include "transfer/table_copy.h"

namespace dbk {

std::vector<HostRecord> savedServers(const QString& hostFilePath) {
    std::vector<HostRecord> servers;
    for (HostRecord& record : HostFile(hostFilePath).readAll()) {
        if (record.host != "*")
            servers.push_back(std::move(record));
    }
    return servers;
}

std::optional<uint64_t> batchRowsFromText(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    uint64_t rows = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rows);
    if (error != std::errc() || end != text.data() + text.size() || rows == 0)
        return std::nullopt;
    return rows;
}

std::optional<uint64_t> batchCount(std::string_view sourceRowsText, std::string_view batchRowsText) {
    uint64_t sourceRows = 0;
    const char* end = sourceRowsText.data() + sourceRowsText.size();
    const auto parsed = std::from_chars(sourceRowsText.data(), end, sourceRows);
    if (sourceRowsText.empty() || parsed.ec != std::errc() || parsed.ptr != end)
        return std::nullopt;
    const std::optional<uint64_t> batchRows = batchRowsFromText(batchRowsText);
    if (!batchRows)
        return std::nullopt;
    return sourceRows / *batchRows + 1;
}

QString batchCountText(std::optional<uint64_t> count) {
    return count ? formatUi(QStringLiteral("%d回に分割"), *count) : QString();
}

std::string retypedIfChosen(std::string_view statement, std::string_view type, std::string_view clause) {
    if (statement.empty() || type.empty())
        return std::string(statement);
    return retypedStatement(statement, type, clause);
}

std::string retargetedIfChosen(std::string_view statement, std::string_view database,
                               std::string_view table) {
    if (statement.empty() || database.empty())
        return std::string(statement);
    return retargetedStatement(statement, database, table);
}

namespace {

std::optional<std::vector<std::string>> firstColumn(Connection& source, std::string_view sql) {
    Result result = source.query(sql);
    if (!result.ok())
        return std::nullopt;
    std::vector<std::string> names;
    while (result.next())
        names.emplace_back(result.text(0U));
    return names;
}

}  // namespace

std::optional<std::vector<std::string>> sourceDatabases(Connection& source) {
    return firstColumn(source, "SHOW DATABASES");
}

std::optional<std::vector<std::string>> sourceTables(Connection& source, std::string_view database) {
    if (!source.exec(format("USE %s", source.ident(database))))
        return std::nullopt;
    return firstColumn(source, "SHOW TABLES");
}

std::optional<std::vector<std::vector<std::string>>> sourceFields(Connection& source,
                                                                  std::string_view database,
                                                                  std::string_view table) {
    Result result = source.query(format("SHOW fields FROM %s", source.qualifiedName(database, table)));
    if (!result.ok())
        return std::nullopt;
    std::vector<std::vector<std::string>> rows;
    while (result.next()) {
        std::vector<std::string> cells{std::string(result.text(0U))};
        for (unsigned column = 1; column < 6 && column < result.fieldCount() && !result.isNull(column);
             ++column)
            cells.emplace_back(result.text(column));
        rows.push_back(std::move(cells));
    }
    return rows;
}

}  // namespace dbk
