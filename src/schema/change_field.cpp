#include "schema/change_field.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "conn/connection.h"
#include "conn/server_generation.h"
#include "conn/sql_scanner.h"
#include "conn/text_format.h"

namespace dbk {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ')
            ++i;
        if (i > start)
            out.emplace_back(text.substr(start, i - start));
    }
    return out;
}

// Types whose values are text in a character set.
bool hasCharacterSet(std::string_view type) {
    for (const char* t : {"CHAR", "VARCHAR", "TINYTEXT", "TEXT", "MEDIUMTEXT", "LONGTEXT", "ENUM", "SET"}) {
        if (type == t)
            return true;
    }
    return false;
}

// A non-numeric default survives a change only while the column keeps its kind of value: the
// same type, or CHAR and VARCHAR for each other.
bool defaultCarriesOver(std::string_view from, std::string_view to) {
    if (from.empty())
        return false;
    return from == to || (familyOf(from) == TypeFamily::Character && familyOf(to) == TypeFamily::Character);
}

// The reported default as SQL text, where the server reports the bare value.
std::optional<std::string> defaultAsSql(const Connection& connection, const PresentColumn& c) {
    if (!c.defaultValue)
        return std::nullopt;
    const std::string value = upper(*c.defaultValue);
    const bool timestamp = value.rfind("CURRENT_TIMESTAMP", 0) == 0;
    if (lower(c.extra).find("default_generated") != std::string::npos)
        return timestamp ? *c.defaultValue : "(" + *c.defaultValue + ")";
    if (timestamp)
        return *c.defaultValue;
    return "'" + connection.escape(*c.defaultValue) + "'";
}

std::string text(const Result& r, std::string_view column) {
    return r.columnIndex(column) >= 0 ? r.text(column) : std::string();
}

}  // namespace

ParsedType parseColumnType(std::string_view reported) {
    ParsedType parsed;
    const size_t open = reported.find('(');
    const size_t blank = reported.find(' ');
    const size_t baseEnd = std::min(open, blank);
    const std::string base = upper(reported.substr(0, baseEnd));
    std::string_view rest = baseEnd == std::string_view::npos ? std::string_view() : reported.substr(baseEnd);
    if (open != std::string_view::npos && open == baseEnd) {
        // A value list may hold ")" inside its quotes: it ends at the last one.
        const bool valueList = base == "ENUM" || base == "SET";
        const size_t close = valueList ? reported.rfind(')') : reported.find(')', open);
        if (close == std::string_view::npos || close < open) {
            parsed.outside = true;
            return parsed;
        }
        parsed.length = std::string(reported.substr(open + 1, close - open - 1));
        rest = reported.substr(close + 1);
    }
    for (const std::string& word : words(rest)) {
        const std::string w = lower(word);
        if (w == "unsigned") {
            parsed.isUnsigned = true;
        } else if (w == "zerofill") {
            parsed.zerofill = true;
        } else if (w == "binary") {
            parsed.binary = true;
        } else {
            parsed.outside = true;
        }
    }
    const std::optional<TypeFamily> family = familyOf(base);
    if (family == TypeFamily::Plain && !parsed.length.empty()) {
        // YEAR(4) is how the servers report YEAR; other plain types with a size (DATETIME(6))
        // would lose it.
        if (base == "YEAR" && parsed.length == "4") {
            parsed.length.clear();
        } else {
            parsed.outside = true;
        }
    }
    if (!family || parsed.outside) {
        parsed = ParsedType{.length = parsed.length, .outside = true};
        return parsed;
    }
    parsed.type = base;
    return parsed;
}

std::string columnCheckClause(std::string_view createTable, std::string_view column, NameQuoting quoting) {
    // The server writes every name of the listing in backquotes.
    std::string name = Connection::ident(column, quoting);
    if (name.empty() || name.front() != '`')
        name = "`" + name + "`";
    const std::string head = "\n  " + name + " ";
    const size_t start = createTable.find(head);
    if (start == std::string_view::npos)
        return {};
    const size_t lineEnd = std::min(createTable.find('\n', start + 1), createTable.size());
    std::string_view line = createTable.substr(start + head.size(), lineEnd - start - head.size());
    if (!line.empty() && line.back() == ',')
        line.remove_suffix(1);
    // Outside quoted texts and names, the clause starts at " CHECK (" and runs to the line's end. A
    // Shift_JIS pair may end in a quote or backslash byte that is no such thing.
    SqlScanner scanner(line, quoting == NameQuoting::ShiftJis);
    while (const std::optional<SqlToken> token = scanner.next()) {
        if (token->text == "CHECK" && token->begin > 0 && line[token->begin - 1] == ' ' &&
            line.substr(token->end, 2) == " (")
            return std::string(line.substr(token->begin));
    }
    return {};
}

std::string showColumnStatement(const Connection& connection, std::string_view database,
                                std::string_view table, std::string_view field) {
    return format("SHOW FULL COLUMNS FROM %s LIKE '%s'", connection.qualifiedName(database, table),
                  connection.escapeLike(field));
}

std::optional<PresentColumn> readPresentColumn(Connection& connection, const ServerGeneration& generation,
                                               std::string_view database, std::string_view table,
                                               std::string_view field) {
    Result r = connection.query(showColumnStatement(connection, database, table, field));
    if (!r.ok())
        return std::nullopt;
    std::optional<PresentColumn> found;
    while (r.next()) {
        const std::string name = text(r, "Field");
        // LIKE ignores case: the column of exactly this name wins over another spelling.
        if (found && name != field)
            continue;
        found =
            PresentColumn{.name = name,
                          .type = text(r, "Type"),
                          .collation = text(r, "Collation"),
                          .null = text(r, "Null") == "YES",
                          .key = text(r, "Key"),
                          .defaultValue = r.columnIndex("Default") >= 0 ? r.value("Default") : std::nullopt,
                          .extra = text(r, "Extra"),
                          .comment = text(r, "Comment")};
        if (name == field)
            break;
    }
    if (!found)
        return std::nullopt;
    if (generation.hasColumnChecks()) {
        Result create =
            connection.query(format("SHOW CREATE TABLE %s", connection.qualifiedName(database, table)));
        if (create.ok() && create.next())
            found->check = columnCheckClause(create.text(1U), found->name, connection.nameQuoting());
    }
    if (generation.reportsDefaultsAsSql()) {
        Result d = connection.query(
            format("SELECT COLUMN_DEFAULT FROM information_schema.COLUMNS WHERE TABLE_SCHEMA='%s' AND "
                   "TABLE_NAME='%s' AND COLUMN_NAME='%s'",
                   connection.escape(database), connection.escape(table), connection.escape(found->name)));
        if (d.ok() && d.next()) {
            found->defaultSql = d.value(0U);
            if (found->defaultSql == "NULL")
                found->defaultSql.reset();
        }
    } else {
        found->defaultSql = defaultAsSql(connection, *found);
    }
    return found;
}

ColumnDefinition wantedFrom(const PresentColumn& present) {
    const ParsedType parsed = parseColumnType(present.type);
    ColumnDefinition wanted;
    wanted.name = present.name;
    wanted.null = present.null;
    wanted.defaultValue = present.defaultValue.value_or("");
    if (parsed.outside)
        return wanted;
    wanted.type = parsed.type;
    wanted.length = parsed.length;
    wanted.isUnsigned = parsed.isUnsigned;
    wanted.zerofill = parsed.zerofill;
    // Newer servers show a BINARY column by its binary collation, older ones in the type.
    wanted.binary = familyOf(parsed.type) == TypeFamily::Character &&
                    (parsed.binary || endsWith(present.collation, "_bin"));
    return wanted;
}

KeptAttributes keptAttributes(const Connection& connection, const PresentColumn& present,
                              const ColumnDefinition& wanted) {
    KeptAttributes kept;
    const std::optional<TypeFamily> family = familyOf(wanted.type);
    if (!family)
        return kept;
    if (hasCharacterSet(wanted.type) && !present.collation.empty()) {
        const std::string charset = present.collation.substr(0, present.collation.find('_'));
        // BINARY picks the binary collation of the set; a cleared BINARY box drops it.
        const bool binaryChoice =
            *family == TypeFamily::Character && (wanted.binary || endsWith(present.collation, "_bin"));
        kept.characterSet = "CHARACTER SET " + charset;
        if (!binaryChoice)
            kept.characterSet += " COLLATE " + present.collation;
    }
    if (*family != TypeFamily::Numeric && present.defaultSql &&
        defaultCarriesOver(parseColumnType(present.type).type, wanted.type)) {
        kept.trailing.push_back("DEFAULT " + *present.defaultSql);
    }
    const std::string extra = lower(present.extra);
    if (const size_t onUpdate = extra.find("on update ");
        onUpdate != std::string::npos && (wanted.type == "TIMESTAMP" || wanted.type == "DATETIME")) {
        kept.trailing.push_back("ON UPDATE " + present.extra.substr(onUpdate + 10));
    }
    if (*family == TypeFamily::Numeric && extra.find("auto_increment") != std::string::npos)
        kept.trailing.push_back("AUTO_INCREMENT");
    if (extra.find("invisible") != std::string::npos)
        kept.trailing.push_back("INVISIBLE");
    if (!present.comment.empty())
        kept.trailing.push_back("COMMENT '" + connection.escape(present.comment) + "'");
    if (!present.check.empty())
        kept.trailing.push_back(present.check);
    return kept;
}

std::string modifyStatement(const Connection& connection, std::string_view database, std::string_view table,
                            std::string_view field, const PresentColumn& present,
                            const ColumnDefinition& wanted) {
    const std::string definition = columnText(wanted, ColumnHead::Modify, connection.nameQuoting(),
                                              keptAttributes(connection, present, wanted));
    return format("ALTER TABLE %s MODIFY %s %s", connection.qualifiedName(database, table),
                  connection.ident(field), definition);
}

}  // namespace dbk
