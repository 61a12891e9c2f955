#include "transfer/table_dump.h"

#include <QFile>
#include <cstdio>
#include <memory>

#include "conn/connection.h"
#include "conn/streamed_reader.h"
#include "conn/text_codec.h"
#include "transfer/copy_engine.h"

namespace dbk {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::vector<ValueKind> kindsOf(const std::vector<FieldInfo>& fields) {
    std::vector<ValueKind> kinds;
    kinds.reserve(fields.size());
    for (const FieldInfo& field : fields)
        kinds.push_back(valueKind(field));
    return kinds;
}

template <class ValueAt>
void appendLine(std::string& out, std::string_view head, const std::vector<ValueKind>& kinds, bool shiftJis,
                ValueAt valueAt) {
    out += head;
    for (size_t i = 0; i < kinds.size(); ++i) {
        if (i > 0)
            out += ',';
        appendSqlValue(out, valueAt(i), kinds[i], shiftJis);
    }
    out += " );\n";
}

}  // namespace

TableDump::TableDump(Connection& connection, std::string database, std::string table)
    : connection_(connection), database_(std::move(database)), table_(std::move(table)) {}

std::string TableDump::setNamesLine(std::string_view characterSet) {
    return "SET NAMES " + std::string(characterSet) + ";\n";
}

std::string TableDump::createLine(std::string_view createText) {
    return std::string(createText) + ";\n";
}

std::string TableDump::keepZerosLines() {
    return "SET @dbk_saved_sql_mode = @@SESSION.sql_mode;\n"
           "SET SESSION sql_mode = CONCAT_WS(',', NULLIF(@dbk_saved_sql_mode, ''), '" +
           std::string(KeepAutoIncrementZeros::kFlag) + "');\n";
}

std::string TableDump::restoreModeLine() {
    return "SET SESSION sql_mode = @dbk_saved_sql_mode;\n";
}

std::string TableDump::insertHead(std::string_view table, const std::vector<std::string>& columns,
                                  NameQuoting quoting) {
    std::string head = "INSERT INTO " + Connection::ident(table, quoting) + " ( ";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            head += ',';
        head += Connection::ident(columns[i], quoting);
    }
    return head + " ) VALUES ( ";
}

void TableDump::appendInsertLine(std::string& out, std::string_view head,
                                 const std::vector<FieldInfo>& fields,
                                 const std::vector<std::optional<std::string>>& values) {
    appendLine(out, head, kindsOf(fields), false, [&values](size_t i) -> std::optional<std::string_view> {
        if (!values.at(i))
            return std::nullopt;
        return std::string_view(*values[i]);
    });
}

DumpOutcome TableDump::run(const QString& path) {
    using Status = DumpOutcome::Status;
    DumpOutcome outcome;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(QFile::encodeName(path).constData(), "wb"));
    if (!file) {
        outcome.status = Status::FileNotOpened;
        return outcome;
    }
    bool writeFailed = false;
    const auto write = [&](const std::string& text) {
        if (!writeFailed && std::fwrite(text.data(), 1, text.size(), file.get()) != text.size())
            writeFailed = true;
        return !writeFailed;
    };
    {
        const LosslessCharacterSet set(connection_);
        const bool shiftJis = !set.switched();
        // Names and statements are written in the file's code.
        const auto named = [shiftJis, &set](std::string_view name) {
            return shiftJis ? std::string(name) : set.utf8(name);
        };
        const auto fail = [&](Status status, unsigned int number, std::string_view text) {
            outcome.status = status;
            outcome.errorNumber = number;
            outcome.errorText = set.fromWire(text);
        };
        if (set.switched())
            write(setNamesLine(set.name()));

        const std::string qualified = connection_.qualifiedName(named(database_), named(table_));
        {
            Result create = connection_.query("Show create table " + qualified + ";");
            if (!create.ok() || !create.next()) {
                fail(Status::CreateFailed, connection_.errorNumber(), connection_.errorText());
                return outcome;
            }
            write(createLine(create.text(1U)));
        }
        // The columns are named, so that a generated column (which takes no value) is left out.
        const std::string database = set.utf8(database_);
        const std::string table = set.utf8(table_);
        std::optional<CopyJob> columns = CopyJob::wholeTable(connection_, database, table, database, table);
        if (!columns) {
            fail(Status::ReadFailed, connection_.errorNumber(), connection_.errorText());
            return outcome;
        }
        bool hasSqlMode = false;
        {
            Result mode = connection_.query("SELECT @@SESSION.sql_mode");
            hasSqlMode = mode.ok() && mode.next();
        }
        if (hasSqlMode)
            write(keepZerosLines());
        const auto restoreMode = [&] {
            if (hasSqlMode)
                write(restoreModeLine());
        };
        std::vector<std::string> names = columns->columns;
        if (shiftJis) {
            for (std::string& name : names)
                name = clientFromUtf8(name, set.client());
        }
        const std::string head = insertHead(named(table_), names, connection_.nameQuoting());
        std::vector<ValueKind> kinds;
        std::string line;
        bool cancelled = false;
        StreamedReader reader(connection_);
        reader.setCancelToken(cancel_);
        if (progress_)
            reader.setProgress([this](uint64_t rows) { progress_(rows); });
        const StreamOutcome read = reader.run(
            set.wire(columns->sourceStatement),
            [&](const Result& row) {
                if (cancel_ && cancel_->cancelled()) {
                    cancelled = true;
                    return StreamedReader::Step::Stop;
                }
                line.clear();
                appendLine(line, head, kinds, shiftJis, [&row](size_t i) -> std::optional<std::string_view> {
                    if (row.isNull(static_cast<unsigned>(i)))
                        return std::nullopt;
                    return row.text(static_cast<unsigned>(i));
                });
                if (!write(line))
                    return StreamedReader::Step::Stop;
                ++outcome.rows;
                return StreamedReader::Step::Continue;
            },
            [&](const std::vector<FieldInfo>& fields) {
                kinds = kindsOf(fields);
                return StreamedReader::Step::Continue;
            });
        if (read.status == StreamOutcome::Status::Cancelled)
            cancelled = true;
        // Even a partial file leaves the loading session as it found it.
        restoreMode();
        if (!writeFailed && !cancelled && !read.complete() && read.status != StreamOutcome::Status::Stopped) {
            fail(Status::ReadFailed, read.errorNumber, read.errorText);
            return outcome;
        }
        if (cancelled)
            outcome.status = Status::Cancelled;
    }
    if (std::fclose(file.release()) != 0)
        writeFailed = true;
    if (writeFailed)
        outcome.status = Status::WriteFailed;
    return outcome;
}

}  // namespace dbk
