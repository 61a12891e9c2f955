#include "transfer/sql_completion.h"

#include <algorithm>
#include <set>

#include "conn/connection.h"
#include "conn/sql_scanner.h"
#include "conn/text_codec.h"
#include "transfer/sql_console.h"

namespace dbk {

namespace {

const std::vector<std::string> kNone;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

// `name` as the list holds it: the same bytes, else the same but for (ASCII) case.
const std::string* findName(const std::vector<std::string>& list, std::string_view name) {
    const auto exact = std::find(list.begin(), list.end(), name);
    if (exact != list.end())
        return &*exact;
    const auto loose = std::find_if(list.begin(), list.end(),
                                    [&](const std::string& s) { return sameIgnoringCase(s, name); });
    return loose != list.end() ? &*loose : nullptr;
}

// Words after which a table name is not followed by its alias.
bool endsTableReference(const SqlToken& token) {
    static const char* const kWords[] = {
        "ON",     "USING",   "WHERE",         "SET",          "JOIN",  "INNER",     "LEFT",
        "RIGHT",  "CROSS",   "NATURAL",       "OUTER",        "FULL",  "GROUP",     "ORDER",
        "HAVING", "LIMIT",   "UNION",         "VALUES",       "VALUE", "SELECT",    "PARTITION",
        "FOR",    "LOCK",    "WINDOW",        "INTO",         "FROM",  "USE",       "IGNORE",
        "FORCE",  "EXCEPT",  "STRAIGHT_JOIN", "INTERSECT",    "WITH",  "RETURNING", "DUPLICATE",
        "AS",     "DEFAULT", "LOW_PRIORITY",  "HIGH_PRIORITY"};
    return std::any_of(std::begin(kWords), std::end(kWords), [&](const char* w) { return token.isWord(w); });
}

bool isName(const SqlToken& token) {
    return token.is(SqlToken::Kind::Word) || token.is(SqlToken::Kind::QuotedName);
}

QString nameOf(const SqlToken& token) {
    return QString::fromStdString(token.name());
}

std::vector<SqlToken> significantTokens(std::string_view text) {
    std::vector<SqlToken> tokens;
    SqlScanner scanner(text);
    while (std::optional<SqlToken> token = scanner.nextSignificant())
        tokens.push_back(*token);
    return tokens;
}

// The tables named after FROM, JOIN, UPDATE and INTO, with their aliases.
std::vector<CompletionContext::Table> namedTables(std::string_view statement) {
    const std::vector<SqlToken> tokens = significantTokens(statement);
    std::vector<CompletionContext::Table> tables;
    size_t i = 0;
    const auto at = [&](size_t k) -> const SqlToken* { return k < tokens.size() ? &tokens[k] : nullptr; };
    while (i < tokens.size()) {
        const SqlToken& word = tokens[i++];
        const bool list = word.isWord("FROM") || word.isWord("UPDATE");
        if (!list && !word.isWord("JOIN") && !word.isWord("INTO"))
            continue;
        // UPDATE LOW_PRIORITY IGNORE t
        while (at(i) && (at(i)->isWord("LOW_PRIORITY") || at(i)->isWord("IGNORE")))
            ++i;
        for (;;) {
            const SqlToken* first = at(i);
            if (!first || !isName(*first) || (first->is(SqlToken::Kind::Word) && endsTableReference(*first)))
                break;
            CompletionContext::Table table;
            table.table = nameOf(*first);
            ++i;
            if (at(i) && at(i)->isSymbol('.')) {
                // "FROM db." with the table still to be typed names none yet.
                if (!at(i + 1) || !isName(*at(i + 1)))
                    break;
                table.database = table.table;
                table.table = nameOf(*at(i + 1));
                i += 2;
            }
            if (at(i) && at(i)->isWord("AS") && at(i + 1) && isName(*at(i + 1))) {
                table.alias = nameOf(*at(i + 1));
                i += 2;
            } else if (at(i) && isName(*at(i)) &&
                       !(at(i)->is(SqlToken::Kind::Word) && endsTableReference(*at(i)))) {
                table.alias = nameOf(*at(i));
                ++i;
            }
            tables.push_back(table);
            if (!list || !at(i) || !at(i)->isSymbol(','))
                break;
            ++i;
        }
    }
    return tables;
}

// A quoted name whose closing backquote is still to come.
bool isOpenQuotedName(const SqlToken& token) {
    return token.is(SqlToken::Kind::QuotedName) &&
           std::count(token.text.begin(), token.text.end(), '`') % 2 == 1;
}

}  // namespace

void NameCache::clear() {
    databases_.reset();
    byName_.clear();
}

std::vector<std::string> NameCache::firstColumn(const std::string& sql) {
    ++statementsSent_;
    std::vector<std::string> names;
    Result result = connection_.query(sql);
    while (result && result.next())
        names.emplace_back(result.text(0U));
    return names;
}

const std::vector<std::string>& NameCache::databases() {
    if (!databases_) {
        ++statementsSent_;
        databases_ = sql_console::databaseNames(connection_).value_or(std::vector<std::string>{});
    }
    return *databases_;
}

NameCache::Database& NameCache::loaded(const std::string& name) {
    std::string key = name;
    if (!byName_.count(key)) {
        if (const std::string* listed = findName(databases(), name))
            key = *listed;
    }
    Database& database = byName_[key];
    database.name = key;
    if (database.tablesRead)
        return database;
    database.tablesRead = true;
    if (!generation_.hasInformationSchema()) {
        database.tables = firstColumn("SHOW TABLES FROM " + connection_.ident(key));
        std::sort(database.tables.begin(), database.tables.end());
        return database;
    }
    ++statementsSent_;
    Result result = connection_.query(
        "SELECT TABLE_NAME, COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
        connection_.escape(key) + "' ORDER BY TABLE_NAME, ORDINAL_POSITION");
    while (result && result.next()) {
        const std::string table(result.text(0U));
        if (database.tables.empty() || database.tables.back() != table)
            database.tables.push_back(table);
        database.columns[table].emplace_back(result.text(1U));
    }
    return database;
}

const std::vector<std::string>& NameCache::tables(const std::string& database) {
    return loaded(database).tables;
}

const std::vector<std::string>& NameCache::columns(const std::string& databaseName,
                                                   const std::string& table) {
    Database& database = loaded(databaseName);
    const std::string* name = findName(database.tables, table);
    if (!name)
        return kNone;
    const auto found = database.columns.find(*name);
    if (found != database.columns.end())
        return found->second;
    if (generation_.hasInformationSchema())
        return kNone;
    auto& list = database.columns[*name];
    list = firstColumn("SHOW COLUMNS FROM " + connection_.ident(*name) + " FROM " +
                       connection_.ident(database.name));
    return list;
}

std::string NameCache::currentDatabase() {
    return sql_console::currentDatabase(connection_);
}

std::vector<std::string> readServerKeywords(Connection& connection) {
    std::vector<std::string> words;
    Result result = connection.query("SELECT name FROM mysql.help_keyword");
    while (result && result.next())
        words.emplace_back(result.text(0U));
    return words;
}

CompletionContext completionContext(const QString& text, int cursor) {
    CompletionContext context;
    cursor = std::clamp(cursor, 0, static_cast<int>(text.size()));
    const std::string bytes = text.toStdString();
    const size_t at = static_cast<size_t>(text.left(cursor).toUtf8().size());
    const auto position = [&](size_t offset) {
        return static_cast<int>(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(offset)).size());
    };

    // The statement the cursor is in, between the semicolons around it.
    size_t begin = 0;
    size_t end = bytes.size();
    SqlScanner whole(bytes);
    while (std::optional<SqlToken> token = whole.next()) {
        if (!token->isSymbol(';'))
            continue;
        if (token->begin < at)
            begin = token->end;
        else {
            end = token->begin;
            break;
        }
    }

    // A character typed at the cursor would belong to a string or comment left open before it.
    const std::string probe = bytes.substr(begin, at - begin) + "x";
    SqlScanner probing(probe);
    std::optional<SqlToken> last;
    while (std::optional<SqlToken> token = probing.next())
        last = token;
    context.inText = last && (last->is(SqlToken::Kind::String) || last->is(SqlToken::Kind::Comment));

    // The name being typed and what stands before it.
    std::vector<SqlToken> before;
    SqlScanner head(std::string_view(bytes).substr(begin, at - begin));
    while (std::optional<SqlToken> token = head.next())
        before.push_back(*token);
    size_t replaceFrom = at;
    if (!before.empty() && before.back().end + begin == at &&
        (before.back().is(SqlToken::Kind::Word) || isOpenQuotedName(before.back()))) {
        context.prefix = nameOf(before.back());
        replaceFrom = before.back().begin + begin;
        before.pop_back();
    }
    context.replaceFrom = position(replaceFrom);
    std::erase_if(before, [](const SqlToken& t) {
        return t.is(SqlToken::Kind::Blank) || t.is(SqlToken::Kind::Comment);
    });
    const size_t n = before.size();
    if (n >= 2 && before[n - 1].isSymbol('.') && before[n - 1].end + begin == replaceFrom &&
        isName(before[n - 2])) {
        context.qualified = true;
        context.qualifier = nameOf(before[n - 2]);
        if (n >= 4 && before[n - 3].isSymbol('.') && isName(before[n - 4]))
            context.qualifierDatabase = nameOf(before[n - 4]);
    }

    // The statement without the name being typed, which may be an open quote.
    const std::string rest = bytes.substr(begin, replaceFrom - begin) + " " + bytes.substr(at, end - at);
    context.tables = namedTables(rest);
    return context;
}

std::vector<Completion> completions(const CompletionContext& context, NameCache& names,
                                    const Connection& connection, const QStringList& words) {
    std::vector<Completion> out;
    std::set<QString> seen;
    const auto addNames = [&](const std::vector<std::string>& list) {
        for (const std::string& name : list) {
            const QString shown = fromServer(connection, name);
            if (seen.insert(shown).second)
                out.push_back({shown, fromServer(connection, connection.ident(name))});
        }
    };
    const auto bytes = [&](const QString& name) { return toServer(connection, name); };
    std::optional<std::string> current;
    const auto currentDatabase = [&]() -> const std::string& {
        if (!current)
            current = names.currentDatabase();
        return *current;
    };
    const auto columnsOf = [&](const CompletionContext::Table& table) {
        const std::string database = table.database.isEmpty() ? currentDatabase() : bytes(table.database);
        if (!database.empty())
            addNames(names.columns(database, bytes(table.table)));
    };

    if (context.qualified) {
        if (!context.qualifierDatabase.isEmpty()) {
            addNames(names.columns(bytes(context.qualifierDatabase), bytes(context.qualifier)));
            return out;
        }
        for (const CompletionContext::Table& table : context.tables) {
            const QString& shownAs = table.alias.isEmpty() ? table.table : table.alias;
            if (shownAs.compare(context.qualifier, Qt::CaseInsensitive) == 0) {
                columnsOf(table);
                return out;
            }
        }
        if (findName(names.databases(), bytes(context.qualifier))) {
            addNames(names.tables(bytes(context.qualifier)));
            return out;
        }
        columnsOf({QString(), context.qualifier, QString()});
        return out;
    }
    for (const CompletionContext::Table& table : context.tables)
        columnsOf(table);
    if (!currentDatabase().empty())
        addNames(names.tables(currentDatabase()));
    addNames(names.databases());
    for (const QString& word : words) {
        if (seen.insert(word).second)
            out.push_back({word, word});
    }
    return out;
}

}  // namespace dbk
