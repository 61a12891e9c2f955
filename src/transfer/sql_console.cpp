#include "transfer/sql_console.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>
#include <set>

#include "browser/field_listing.h"
#include "conn/connection.h"
#include "conn/sql_scanner.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"
#include "transfer/kanji_converter.h"
#include "transfer/kanji_file.h"
#include "transfer/temp_csv.h"

namespace dbk::sql_console {

namespace {

bool isShiftJisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The longest start of `text` of at most `limit` bytes that ends on a character boundary.
std::string cutToCharacters(std::string text, size_t limit) {
    if (text.size() <= limit)
        return text;
    size_t end = 0;
    while (end < text.size()) {
        const size_t width = isShiftJisLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + width > limit)
            break;
        end += width;
    }
    text.resize(end);
    return text;
}

std::vector<std::string> firstColumn(Result& result) {
    std::vector<std::string> names;
    while (result.next())
        names.emplace_back(result.text(0));
    std::sort(names.begin(), names.end());
    return names;
}

int readInt(QSettings& settings, const QString& key, int fallback) {
    bool ok = false;
    const int value = settings.value(key, fallback).toInt(&ok);
    return ok ? value : fallback;
}

const QString kFontSection = QStringLiteral("SQLDLG/");

}  // namespace

std::vector<std::string> splitStatements(std::string_view text) {
    std::vector<std::string> statements;
    for (const auto& [start, length] : statementSpans(text))
        statements.emplace_back(text.substr(start, length));
    return statements;
}

Outcome runStatement(Connection& connection, std::string_view statement) {
    Outcome outcome;
    outcome.status = QString::fromUtf8(kProcessedText);
    if (statement.empty())
        return outcome;

    BusyGuard busy(connection);
    outcome.startTime = std::time(nullptr);
    Result result = connection.query(statement);
    if (!result) {
        outcome.kind = Outcome::Kind::Failed;
        outcome.status = fromServer(connection, format("%s", connection.errorText()));
        return outcome;
    }
    if (!result.hasRows()) {
        outcome.kind = Outcome::Kind::NoResultSet;
        outcome.affectedRows = connection.affectedRows();
        const std::string info = connection.info();
        const std::string error = connection.errorText();
        if (!info.empty())
            outcome.status = fromServer(connection, info);
        else if (!error.empty())
            outcome.status = fromServer(connection, error);
        connection.discardPendingResults();
        return outcome;
    }
    outcome.kind = Outcome::Kind::ResultSet;
    outcome.dataTime = std::time(nullptr);
    outcome.encoding = serverEncoding(connection);
    outcome.headings.reserve(result.fieldCount());
    for (const FieldInfo& field : result.fields())
        outcome.headings.push_back(headingOf(field.name, outcome.encoding));
    outcome.rows.reserve(result.rowCount());
    while (result.next())
        outcome.rows.push_back(result.row());
    // A procedure sends a closing status (and maybe more result sets) after its rows.
    connection.discardPendingResults();
    return outcome;
}

std::string currentDatabase(Connection& connection) {
    Result result = connection.query("SELECT DATABASE()");
    if (!result || !result.next())
        return {};
    return std::string(result.text(0));
}

bool mayChangeDatabase(std::string_view statement) {
    if (statement.find("/*!") != std::string_view::npos)
        return true;
    SqlScanner scanner(statement);
    const std::optional<SqlToken> first = scanner.nextSignificant();
    return first && (first->isWord("USE") || first->isWord("DROP"));
}

std::string headingOf(std::string_view fieldName, ServerEncoding encoding) {
    // A UTF-8 name is shown as the server wrote it: no buffer of the old size holds it.
    if (encoding == ServerEncoding::Utf8)
        return std::string(fieldName);
    KanjiConverter converter;
    converter.setOptions("-s -x -X");
    // Names of a Shift_JIS session: guessing the code would take a name of half-width kana for
    // EUC-JP and garble it.
    return cutToCharacters(converter.convert(fieldName, KanjiCode::ShiftJis), kHeadingBufferSize - 1);
}

QString secondsText(std::time_t from, std::time_t to) {
    const unsigned long seconds = to > from ? static_cast<unsigned long>(to - from) : 0UL;
    return formatUi(QStringLiteral("%lu秒"), seconds);
}

std::optional<std::vector<std::string>> databaseNames(Connection& connection) {
    Result databases = connection.listDbs();
    if (!databases)
        return std::nullopt;
    return firstColumn(databases);
}

std::optional<std::vector<std::string>> useDatabase(Connection& connection, const std::string& database) {
    if (!connection.selectDb(database))
        return std::nullopt;
    Result tables = connection.listTables("%");
    if (!tables)
        return std::vector<std::string>{};
    return firstColumn(tables);
}

std::vector<std::string> fieldNames(Connection& connection, const std::string& database,
                                    const std::string& table) {
    const std::optional<std::vector<FieldDescription>> fields = readFieldListing(connection, database, table);
    if (!fields)
        return {};
    std::vector<std::string> names;
    names.reserve(fields->size());
    for (const FieldDescription& field : *fields)
        names.push_back(field.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::string appendedName(const Connection& connection, NodeDepth depth, const std::string& database,
                         const std::string& table, const std::string& field) {
    switch (depth) {
        case NodeDepth::Database:
            return " " + connection.ident(database);
        case NodeDepth::Table:
            return " " + connection.qualifiedName(database, table);
        case NodeDepth::Field:
            return " " + connection.ident(field);
        case NodeDepth::Root:
            break;
    }
    return {};
}

std::optional<std::vector<std::string>> shownDatabases(Connection& connection) {
    Result databases = connection.query("SHOW DATABASES");
    if (!databases || !databases.hasRows())
        return std::nullopt;
    std::vector<std::string> names;
    while (databases.next())
        names.emplace_back(databases.text(0));
    return names;
}

std::vector<std::string> addedNames(const std::vector<std::string>& before,
                                    const std::vector<std::string>& after) {
    const std::set<std::string> known(before.begin(), before.end());
    std::vector<std::string> added;
    for (const std::string& name : after) {
        if (!known.count(name))
            added.push_back(name);
    }
    return added;
}

bool writeResultFile(const QString& path, const std::vector<std::string>& headings,
                     const std::vector<Row>& rows, ServerEncoding values, unsigned long long* unmappable) {
    TempCsvWriter writer;
    if (!writer.open(path, values))
        return false;
    writer.writeLine(headings);
    for (const Row& row : rows)
        writer.writeLine(row);
    if (unmappable)
        *unmappable = writer.unmappableValues();
    return writer.close();
}

std::optional<QString> readScript(const QString& path) {
    const std::optional<KanjiCode> code = recogniseKanjiFile(path);
    QFile file(path);
    if (!code || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return decodeKanji(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), *code);
}

bool writeScript(const QString& path, const QString& text, bool utf8) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = utf8 ? text.toUtf8() : QByteArray::fromStdString(toShiftJis(text));
    const qint64 size = static_cast<qint64>(bytes.size());
    const bool written = file.write(bytes.constData(), size) == size;
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

QString withDefaultSuffix(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QStringLiteral(".sql");
}

QString replaceQuestion(const QString& path) {
    return QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?")
        .arg(QFileInfo(path).fileName());
}

LogicalFont readFont(QSettings& settings, const LogicalFont& systemFont) {
    LogicalFont font;
    font.height = readInt(settings, kFontSection + QStringLiteral("lfHeight"), 18);
    font.faceName =
        settings.value(kFontSection + QStringLiteral("lfFaceName"), systemFont.faceName).toString();
    font.weight = readInt(settings, kFontSection + QStringLiteral("lfWeight"), systemFont.weight);
    font.width = readInt(settings, kFontSection + QStringLiteral("lfWidth"), 0);
    return font;
}

void writeFont(QSettings& settings, const LogicalFont& font) {
    settings.setValue(kFontSection + QStringLiteral("lfHeight"), font.height);
    settings.setValue(kFontSection + QStringLiteral("lfFaceName"), font.faceName);
    settings.setValue(kFontSection + QStringLiteral("lfWeight"), font.weight);
    settings.setValue(kFontSection + QStringLiteral("lfWidth"), font.width);
    settings.sync();
}

}  // namespace dbk::sql_console
