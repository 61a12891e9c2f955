#include "schema/structure_editor.h"

#include "conn/connection.h"
#include "conn/sql_scanner.h"
#include "conn/text_format.h"
#include "transfer/maintenance.h"

namespace dbk {

KeyImage keyImageOf(std::string_view key) {
    const std::string_view head = key.substr(0, 3);
    if (head == "PRI")
        return KeyImage::Primary;
    if (head == "MUL")
        return KeyImage::Multiple;
    if (head == "UNI")
        return KeyImage::Unique;
    return KeyImage::Other;
}

namespace {

std::string cell(const std::vector<std::string>& row, const std::vector<std::string>& columns,
                 std::string_view name) {
    for (size_t i = 0; i < columns.size() && i < row.size(); ++i) {
        if (QString::fromStdString(columns[i])
                .compare(QString::fromUtf8(name.data(), qsizetype(name.size())), Qt::CaseInsensitive) == 0)
            return row[i];
    }
    return {};
}

}  // namespace

std::string KeyListing::keyName(size_t row) const {
    return cell(rows.at(row), columns, "Key_name");
}

std::string KeyListing::columnName(size_t row) const {
    return cell(rows.at(row), columns, "Column_name");
}

std::vector<FieldRow> readFieldRows(Connection& connection, std::string_view database,
                                    std::string_view table) {
    std::vector<FieldRow> rows;
    Result r =
        connection.query(format("SHOW FULL COLUMNS FROM %s", connection.qualifiedName(database, table)));
    if (!r.ok())
        return rows;
    while (r.next()) {
        FieldRow row;
        row.field = r.text("Field");
        row.type = r.text("Type");
        row.null = r.text("Null");
        row.key = r.text("Key");
        // A NULL default shows as an empty cell; the Extra cell still shows what it holds.
        row.cells = {row.field, row.type, row.null, row.key, r.text("Default"), r.text("Extra")};
        rows.push_back(std::move(row));
    }
    return rows;
}

KeyListing readKeyListing(Connection& connection, std::string_view database, std::string_view table) {
    KeyListing listing;
    Result r = connection.query(format("SHOW KEYS FROM %s", connection.qualifiedName(database, table)));
    if (!r.ok() || !r.hasRows())
        return listing;
    for (unsigned i = 0; i < r.fieldCount(); ++i)
        listing.columns.push_back(r.fieldName(i));
    while (r.next()) {
        std::vector<std::string> row;
        for (unsigned i = 0; i < r.fieldCount(); ++i)
            row.emplace_back(r.text(i));
        listing.rows.push_back(std::move(row));
    }
    return listing;
}

namespace {

// Where a word stands in a definition outside quoted strings, names, comments and parentheses,
// or npos. The word must stand alone (blanks or the text's ends around it).
size_t findWord(std::string_view text, std::string_view word) {
    int depth = 0;
    SqlScanner scanner(text);
    while (const std::optional<SqlToken> token = scanner.nextSignificant()) {
        if (token->isSymbol('(') || token->isSymbol(')')) {
            depth += token->isSymbol('(') ? 1 : -1;
            continue;
        }
        const size_t i = token->begin;
        if (depth == 0 && token->is(SqlToken::Kind::Word) && text.substr(i, word.size()) == word &&
            (i == 0 || text[i - 1] == ' ') &&
            (i + word.size() == text.size() || text[i + word.size()] == ' '))
            return i;
    }
    return std::string_view::npos;
}

}  // namespace

std::optional<std::string> columnDefinitionOf(std::string_view createText, std::string_view column) {
    const std::string head = "  " + backquotedName(column) + " ";
    for (size_t start = 0; start < createText.size();) {
        size_t end = createText.find('\n', start);
        if (end == std::string_view::npos)
            end = createText.size();
        std::string_view line = createText.substr(start, end - start);
        if (line.substr(0, head.size()) == head) {
            line.remove_prefix(head.size());
            if (!line.empty() && line.back() == ',')
                line.remove_suffix(1);
            return std::string(line);
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::string withNullness(std::string_view definition, bool null) {
    std::string text(definition);
    if (const size_t notNull = findWord(text, "NOT NULL"); notNull != std::string::npos) {
        if (null)
            text.replace(notNull, 8, "NULL");
        return text;
    }
    if (null)
        return text;
    if (const size_t defaultNull = findWord(text, "DEFAULT NULL"); defaultNull != std::string::npos)
        text.erase(defaultNull > 0 ? defaultNull - 1 : 0, 13);
    if (const size_t nullWord = findWord(text, "NULL"); nullWord != std::string::npos) {
        text.replace(nullWord, 4, "NOT NULL");
        return text;
    }
    return text + " NOT NULL";
}

std::string updateDefinition(std::optional<std::string> ownDefinition, std::string_view newNameUtf8,
                             std::string_view listedTypeUtf8, bool null, bool primaryKey) {
    std::string definition = Connection::ident(newNameUtf8, NameQuoting::Bytes) + ' ';
    definition += ownDefinition ? withNullness(*ownDefinition, null)
                                : format("%s %s", listedTypeUtf8, null ? "NULL" : "NOT NULL");
    if (primaryKey)
        definition += " PRIMARY KEY";
    return definition;
}

std::string dropFieldStatement(const Connection& connection, std::string_view database,
                               std::string_view table, std::string_view field) {
    return format("ALTER TABLE %s DROP %s", connection.qualifiedName(database, table),
                  connection.ident(field));
}

std::string dropKeyStatement(const Connection& connection, std::string_view database, std::string_view table,
                             std::string_view key) {
    if (key == "PRIMARY")
        return dropPrimaryKeyStatement(connection, database, table);
    return format("ALTER TABLE %s DROP INDEX %s", connection.qualifiedName(database, table),
                  connection.ident(key));
}

std::string changeStatement(const Connection& connection, std::string_view database, std::string_view table,
                            std::string_view field, std::string_view definition) {
    return format("ALTER TABLE %s CHANGE %s %s", connection.qualifiedName(database, table),
                  connection.ident(field), definition);
}

std::string dropPrimaryKeyStatement(const Connection& connection, std::string_view database,
                                    std::string_view table) {
    return format("ALTER TABLE %s DROP PRIMARY KEY", connection.qualifiedName(database, table));
}

std::string addKeyStatement(const Connection& connection, KeyKind kind, std::string_view database,
                            std::string_view table, std::string_view name,
                            const std::vector<std::string>& columns) {
    const std::string target = connection.qualifiedName(database, table);
    std::string sql;
    switch (kind) {
        case KeyKind::Primary:
            sql = format("ALTER TABLE %s ADD PRIMARY KEY ( ", target);
            break;
        case KeyKind::Index:
            sql = name.empty() ? format("ALTER TABLE %s ADD INDEX ( ", target)
                               : format("ALTER TABLE %s ADD INDEX %s ( ", target, connection.ident(name));
            break;
        case KeyKind::Unique:
            sql = name.empty() ? format("ALTER TABLE %s ADD UNIQUE ( ", target)
                               : format("ALTER TABLE %s ADD UNIQUE %s ( ", target, connection.ident(name));
            break;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            sql += ',';
        sql += connection.ident(columns[i]);
    }
    return sql + " )";
}

std::string replacePrimaryKeyStatement(const Connection& connection, std::string_view database,
                                       std::string_view table, const std::vector<std::string>& columns) {
    std::string sql = addKeyStatement(connection, KeyKind::Primary, database, table, {}, columns);
    const std::string head = format("ALTER TABLE %s ", connection.qualifiedName(database, table));
    return head + "DROP PRIMARY KEY, " + sql.substr(head.size());
}

std::vector<std::string> keyCandidates(const std::vector<FieldRow>& fields, KeyKind kind,
                                       std::string_view tableType) {
    const bool nullsAllowed =
        kind == KeyKind::Unique || isTableType(tableType, "MyISAM") || isTableType(tableType, "HEAP");
    std::vector<std::string> candidates;
    for (const FieldRow& field : fields) {
        if (field.null == "YES" && !nullsAllowed)
            continue;
        candidates.push_back(field.field);
    }
    return candidates;
}

}  // namespace dbk
