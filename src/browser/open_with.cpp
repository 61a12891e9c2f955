#include "browser/open_with.h"

#include <QDir>
#include <QFile>

#include "conn/connection.h"
#include "conn/streamed_reader.h"
#include "conn/text_format.h"
#include "transfer/temp_csv.h"

namespace dbk {

QString tempCsvPath(const std::string& startupDirectory) {
    const QDir dir =
        startupDirectory.empty() ? QDir::current() : QDir(QFile::decodeName(startupDirectory.c_str()));
    return dir.filePath(QString::fromLatin1(TempCsvWriter::kFileName));
}

std::string fieldNamesStatement(const Connection& connection, const std::string& table) {
    return format("select * from %s Limit 1", connection.ident(table));
}

std::string wholeTableStatement(const Connection& connection, const std::string& table) {
    return format("select * from %s", connection.ident(table));
}

namespace {
bool writeFieldNames(Connection& connection, const std::string& table, TempCsvWriter& file) {
    Result result = connection.query(fieldNamesStatement(connection, table));
    if (!result.ok())
        return false;
    std::vector<std::string> names;
    for (const FieldInfo& field : result.fields())
        names.push_back(field.name);
    file.writeLine(names);
    return true;
}

bool writeTable(Connection& connection, const std::string& table, TempCsvWriter& file, long long& lines) {
    StreamedReader reader(connection);
    const StreamOutcome outcome = reader.run(wholeTableStatement(connection, table), [&](const Result& row) {
        file.writeLine(row.row());
        ++lines;
        return StreamedReader::Step::Continue;
    });
    return outcome.complete();
}
}  // namespace

TempCsvOutcome writeTempCsv(Connection& connection, const std::string& table,
                            const std::vector<Row>& listRows, const OpenWithOptions& options,
                            const QString& path) {
    TempCsvOutcome outcome;
    TempCsvWriter file;
    if (!file.open(path, serverEncoding(connection))) {
        outcome.status = TempCsvOutcome::CannotCreate;
        return outcome;
    }
    bool read = !options.withFieldNames || writeFieldNames(connection, table, file);
    if (read) {
        if (options.fromTable) {
            read = writeTable(connection, table, file, outcome.dataLines);
        } else {
            for (const Row& row : listRows)
                file.writeLine(row);
            outcome.dataLines = static_cast<long long>(listRows.size());
        }
    }
    const bool written = file.close();
    outcome.unmappableValues = file.unmappableValues();
    if (!read) {
        outcome.status = TempCsvOutcome::ReadFailed;
    } else if (!written) {
        outcome.status = TempCsvOutcome::WriteFailed;
    }
    return outcome;
}

}  // namespace dbk
