#include "transfer/csv_export.h"

#include <QFile>
#include <cstdio>
#include <memory>

#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/connection.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"
#include "transfer/kanji_converter.h"

namespace dbk {

namespace {

// The value with every occurrence of the quote doubled. Values are Shift_JIS, where a
// second byte may equal an ASCII quote character such as "|": only whole characters match.
void appendQuoted(std::string& out, std::string_view value, std::string_view quote) {
    if (quote.empty() || value.find(quote[0]) == std::string_view::npos) {
        out += value;
        return;
    }
    if (quote.size() == 1 && !isShiftJisTrail(static_cast<unsigned char>(quote[0]))) {
        // The usual quotes (" and ') never occur inside a Shift_JIS character.
        size_t start = 0;
        for (size_t at = value.find(quote[0]); at != std::string_view::npos;
             at = value.find(quote[0], start)) {
            out.append(value, start, at + 1 - start);
            out += quote[0];
            start = at + 1;
        }
        out.append(value, start);
        return;
    }
    for (size_t i = 0; i < value.size();) {
        if (value[i] == quote[0] && value.compare(i, quote.size(), quote) == 0) {
            out += quote;
            out += quote;
            i += quote.size();
        } else if (isShiftJisLead(static_cast<unsigned char>(value[i])) && i + 1 < value.size() &&
                   isShiftJisTrail(static_cast<unsigned char>(value[i + 1]))) {
            out.append(value, i, 2);
            i += 2;
        } else {
            out += value[i++];
        }
    }
}

void appendCell(std::string& out, std::string_view quote, std::string_view separator,
                std::optional<std::string_view> value) {
    out += quote;
    appendQuoted(out, value ? *value : kCsvNullText, quote);
    out += quote;
    out += separator;
}

void dropLastSeparator(std::string& line, std::string_view separator) {
    if (line.size() >= separator.size())
        line.resize(line.size() - separator.size());
}

// One row of a result as a line of the file, with its line end.
void makeLine(std::string& line, const Result& result, std::string_view quote, std::string_view separator) {
    line.clear();
    for (unsigned column = 0; column < result.fieldCount(); ++column) {
        appendCell(line, quote, separator,
                   result.isNull(column) ? std::nullopt : std::optional(result.text(column)));
    }
    dropLastSeparator(line, separator);
    line += '\n';
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string CsvFormat::separatorText() const {
    switch (separator) {
        case Separator::Comma:
            return ",";
        case Separator::Tab:
            return "\t";
        case Separator::User:
            return userSeparator;
    }
    return ",";
}

std::string CsvFormat::quoteText() const {
    switch (quote) {
        case Quote::Double:
            return "\"";
        case Quote::Single:
            return "'";
        case Quote::User:
            return userQuote;
    }
    return "\"";
}

std::string csvCell(const CsvFormat& format, const std::optional<std::string>& value) {
    std::string out;
    appendCell(out, format.quoteText(), format.separatorText(),
               value ? std::optional<std::string_view>(*value) : std::nullopt);
    return out;
}

std::string csvLine(const CsvFormat& format, const std::vector<std::optional<std::string>>& values) {
    const std::string quote = format.quoteText();
    const std::string separator = format.separatorText();
    std::string line;
    for (const auto& value : values) {
        appendCell(line, quote, separator, value ? std::optional<std::string_view>(*value) : std::nullopt);
    }
    dropLastSeparator(line, separator);
    return line;
}

bool removeTrailingSemicolon(std::string& statement) {
    for (size_t i = statement.size(); i-- > 1;) {
        if (statement[i] == ' ')
            continue;
        if (statement[i] != ';')
            return false;
        statement[i] = ' ';
        return true;
    }
    return false;
}

std::string csvSampleStatement(std::string_view statement) {
    return format("%s Limit 6", statement);
}

std::string csvSample(Connection& connection, std::string_view statement, const CsvFormat& format) {
    Result result = connection.query(csvSampleStatement(statement));
    if (!result.ok() || !result.hasRows())
        return {};
    const std::string quote = format.quoteText();
    const std::string separator = format.separatorText();
    std::string text;
    std::string line;
    while (result.next()) {
        makeLine(line, result, quote, separator);
        text += line;
    }
    return text;
}

QString csvProgressText(long long row) {
    return msgf(10051, row);
}

QString csvCompletionText() {
    return msg(10052);
}

// ---- CsvExporter ----

CsvExporter::CsvExporter(Connection& connection, std::string statement, CsvFormat format)
    : connection_(connection), statement_(std::move(statement)), format_(std::move(format)) {}

CsvExportOutcome CsvExporter::run(const QString& path) {
    CsvExportOutcome outcome;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(QFile::encodeName(path).constData(), "wb"));
    if (!file) {
        outcome.status = CsvExportOutcome::Status::FileNotOpened;
        return outcome;
    }
    const std::string quote = format_.quoteText();
    const std::string separator = format_.separatorText();
    {
        // Until the result has been read to its end the connection can take no other statement.
        BusyGuard busy(connection_);
        Result result = connection_.stream(statement_);
        if (!result.ok()) {
            outcome.status = CsvExportOutcome::Status::StatementFailed;
            outcome.errorNumber = connection_.errorNumber();
            outcome.errorText = connection_.errorText();
            return outcome;
        }
        std::string line;
        while (result.next()) {
            makeLine(line, result, quote, separator);
            if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) {
                outcome.status = CsvExportOutcome::Status::WriteFailed;
                break;
            }
            ++outcome.rows;
            if (outcome.rows % kProgressStep == 1) {
                if (progress_)
                    progress_(static_cast<long long>(outcome.rows), csvProgressText(outcome.rows));
                ui().letEventsThrough();
            }
        }
        if (outcome.complete() && !result.ok()) {
            outcome.status = CsvExportOutcome::Status::ReadFailed;
            outcome.errorNumber = connection_.errorNumber();
            outcome.errorText = connection_.errorText();
        }
    }
    if (std::fclose(file.release()) != 0 && outcome.complete()) {
        outcome.status = CsvExportOutcome::Status::WriteFailed;
    }
    return outcome;
}

QString CsvExporter::outcomeText(const CsvExportOutcome& outcome, const QString& path) {
    const auto serverError = [&outcome](int messageId) {
        return msg(messageId) + u'\n' +
               formatUi(QStringLiteral("%d:%s"), outcome.errorNumber, toUi(outcome.errorText));
    };
    switch (outcome.status) {
        case CsvExportOutcome::Status::Complete:
            return csvCompletionText();
        case CsvExportOutcome::Status::FileNotOpened:
            return msg(10053);
        case CsvExportOutcome::Status::StatementFailed:
            return serverError(10054);
        case CsvExportOutcome::Status::ReadFailed:
            return serverError(10055);
        case CsvExportOutcome::Status::WriteFailed:
            return msgf(kWriteFailedMessage, path);
    }
    return {};
}

}  // namespace dbk
