#include "cli/cli_jobs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <functional>
#include <map>

#include "app/messages.h"
#include "app/ui_services.h"
#include "app/window_placement.h"
#include "cli/cli_messages.h"
#include "cli/terminal.h"
#include "conn/cancel.h"
#include "conn/folder_file.h"
#include "conn/host_file.h"
#include "conn/host_security.h"
#include "conn/saved_host.h"
#include "conn/server_generation.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"
#include "transfer/csv_export.h"
#include "transfer/csv_import.h"
#include "transfer/database_copy.h"
#include "transfer/script_runner.h"
#include "transfer/server_copy.h"
#include "transfer/sql_console.h"
#include "transfer/table_copy.h"
#include "transfer/table_dump.h"

#ifndef DBK_VERSION
#define DBK_VERSION "0"
#endif

namespace dbk::cli {

namespace {

// The maintenance form's messages of a dump.
constexpr int kDumpFileNotCreated = 21001;
constexpr int kDumpNotWritten = 21002;
constexpr int kDumpNoDefinition = 21003;
constexpr int kDumpRowsNotRead = 21004;
constexpr int kDumpCancelled = 21315;
constexpr int kConnectFailed = 10093;
constexpr int kServerUnreachable = 21201;
constexpr int kFileUnreadable = 20902;

// The engines' questions and messages without a window: messages are kept for the end of the
// job, questions get the command's answer, and the events a long operation lets through are
// where Ctrl+C is heard.
class CliUi : public UiServices {
public:
    void message(const QString& text) override { messages.append(text); }
    bool askYesNo(const QString&) override { return answer; }
    QString chooseOpenFile(const QString&, const QString&, const QString&) override { return {}; }
    QString chooseSaveFile(const QString&, const QString&, const QString&, bool) override { return {}; }
    std::optional<LogicalFont> chooseFont(const LogicalFont&) override { return std::nullopt; }
    bool openWithAssociatedProgram(const QString&) override { return false; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void letEventsThrough() override {
        if (!interrupted() || token.cancelled())
            return;
        token.cancel();
        if (onInterrupt)
            onInterrupt();
    }

    QStringList messages;
    bool answer = false;
    CancelToken token;
    std::function<void()> onInterrupt;
};

// How a job ended.
struct JobEnd {
    int status = kExitOk;
    QString message;
};

JobEnd failed(const QString& message) {
    return {kExitFailed, message};
}

QString startupDirectory(const Request& r) {
    return r.directory.isEmpty() ? QDir::currentPath() : r.directory;
}

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QString displayPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Opens the session to the server the options name; "" or why it failed.
QString openServer(const Request& r, Session& session, const QString& database = {}) {
    ConnectParams params;
    if (!r.hostName.isEmpty()) {
        const HostFile file(QDir(startupDirectory(r)).filePath(QString::fromLatin1(HostFile::kFileName)));
        const auto record = file.find(toShiftJis(r.hostName));
        if (!record)
            return msgf(kNoSavedServerMessage, r.hostName, displayPath(file.path()));
        params = connectParamsFor(*record);
    } else {
        const ServerEncoding handshake = handshakeEncoding(params.sessionText);
        params.host = toServer(handshake, r.host);
        params.user = toServer(handshake, r.user);
        params.port = r.port.value_or(0);
        params.unixSocket = QFile::encodeName(r.socket).toStdString();
        QString password;
        if (!r.passwordFile.isEmpty()) {
            QFile file(r.passwordFile);
            if (!file.open(QIODevice::ReadOnly))
                return msgf(kPasswordFileMessage, displayPath(r.passwordFile));
            password = QString::fromUtf8(file.readLine()).remove(u'\n').remove(u'\r');
        } else if (qEnvironmentVariableIsSet("MYSQL_PWD")) {
            password = qEnvironmentVariable("MYSQL_PWD");
        } else {
            const QString who = (r.user.isEmpty() ? QString() : r.user + u'@') +
                                (r.host.isEmpty() ? QStringLiteral("localhost") : r.host);
            if (const auto typed = promptPassword(msgf(kPasswordPromptMessage, who)))
                password = QString::fromUtf8(*typed);
        }
        params.password = toServer(handshake, password);
    }
    if (!database.isEmpty())
        params.database = toServer(handshakeEncoding(params.sessionText), database);
    if (!session.open(params)) {
        const QString error = serverErrorText(kConnectFailed, session.connection());
        session.close();
        return error;
    }
    return {};
}

// The total the bar is drawn against: the table's rows, counted only for a terminal.
void countRows(ProgressBar& bar, Connection& connection, const std::string& database,
               const std::string& table) {
    if (bar.enabled())
        bar.setTotal(sourceRowCount(connection, database, table));
}

JobEnd exportJob(const Request& r, Session& session, CliUi& ui) {
    Connection& connection = session.connection();
    ProgressBar bar;
    std::string statement;
    if (!r.table.isEmpty()) {
        const std::string database = toServer(connection, r.database);
        const std::string table = toServer(connection, r.table);
        // As the export of a whole table from the tree.
        statement = tableExportStatement(connection, database, table);
        countRows(bar, connection, database, table);
    } else {
        QString text = r.query;
        if (!r.queryFile.isEmpty()) {
            // In the code it is written in, as the console loads a script.
            const std::optional<QString> read = sql_console::readScript(r.queryFile);
            if (!read)
                return failed(msgf(kQueryFileMessage, displayPath(r.queryFile)));
            text = *read;
        }
        statement = toServer(connection, text.trimmed());
        removeTrailingSemicolon(statement);
    }
    CsvExporter exporter(connection, statement, exportFormat(r));
    exporter.setProgress([&bar](long long row, const QString&) { bar.rows(static_cast<uint64_t>(row)); });
    ui.onInterrupt = [&exporter] { exporter.cancel(); };
    const CsvExportOutcome outcome = exporter.run(r.output);
    bar.finish();
    const QString text = CsvExporter::outcomeText(outcome, r.output);
    if (outcome.status == CsvExportOutcome::Status::Cancelled)
        return {kExitCancelled, text};
    return {outcome.complete() ? kExitOk : kExitFailed, text};
}

JobEnd importJob(const Request& r, Session& session, CliUi& ui) {
    Connection& connection = session.connection();
    // The form's question before an import into a server whose character set cannot hold
    // Japanese: the safe answer unless --yes.
    const std::string characterSet = readServerCharacterSet(connection);
    if (!holdsJapanese(characterSet) && !r.yes)
        return failed(msgf(kGarblingMessage, QString::fromLatin1(characterSet)));

    CsvImportOptions options;
    options.path = r.file;
    options.local = !r.serverFile;
    options.lowPriority = r.lowPriority;
    options.replace = r.replace;
    options.convert = !r.noConvert;
    // Fields left unset follow the file's first line, as the form fills them when a file is chosen.
    const CsvFirstLine first = analyseCsvFirstLine(r.file);
    options.separator = r.fieldSeparator  ? toServer(connection, *r.fieldSeparator)
                        : first.separator ? *first.separator
                                          : std::string();
    options.enclosure = r.enclosure ? toServer(connection, *r.enclosure) : first.enclosure;
    options.lineEnd = r.lineEnd ? toServer(connection, *r.lineEnd) : first.crlf ? "\\r\\n" : "";
    options.escape = toServer(connection, r.escape);
    options.skipLines = toServer(connection, r.skipLines);
    options.database = toServer(connection, r.database);
    options.table = toServer(connection, r.table);

    CsvImporter importer(session);
    importer.setCancelToken(&ui.token);
    const CsvImportOutcome outcome = importer.run(options);
    const QString text = CsvImporter::outcomeText(outcome, r.file);
    if (outcome.status == CsvImportOutcome::Status::Cancelled)
        return {kExitCancelled, text};
    // Rows the server skipped or cut are warnings: the job did not do all it was asked.
    return {outcome.imported() && outcome.warningCount == 0 ? kExitOk : kExitFailed, text};
}

JobEnd dumpJob(const Request& r, Session& session, CliUi& ui) {
    Connection& connection = session.connection();
    const std::string database = toServer(connection, r.database);
    const std::string table = toServer(connection, r.table);
    ProgressBar bar;
    countRows(bar, connection, database, table);
    TableDump dump(connection, database, table);
    dump.setCancelToken(&ui.token);
    dump.setProgress([&bar](uint64_t rows) { bar.rows(rows); });
    const DumpOutcome outcome = dump.run(r.output);
    bar.finish();
    const QString error = formatUi(QStringLiteral("%d:%s"), outcome.errorNumber, outcome.errorText);
    switch (outcome.status) {
        case DumpOutcome::Status::Complete:
            return {kExitOk, QStringLiteral("ダンプが終了しました")};
        case DumpOutcome::Status::FileNotOpened:
            return failed(msgf(kDumpFileNotCreated, r.output));
        case DumpOutcome::Status::WriteFailed:
            return failed(msgf(kDumpNotWritten, r.output));
        case DumpOutcome::Status::CreateFailed:
            return failed(msg(kDumpNoDefinition) + u'\n' + error);
        case DumpOutcome::Status::ReadFailed:
            return failed(msgf(kDumpRowsNotRead, r.output) + u'\n' + error);
        case DumpOutcome::Status::Cancelled:
            return {kExitCancelled,
                    msgf(kDumpCancelled, static_cast<unsigned long long>(outcome.rows), r.output)};
    }
    return failed(QString());
}

JobEnd databaseCopyJob(const Request& r, Session& session, CliUi& ui) {
    Connection& connection = session.connection();
    const std::string name = toServer(connection, r.newDatabase);
    // The form asks before it writes into a database that holds others: No unless --yes.
    if (databaseExists(connection, name) && !r.yes)
        return failed(msgf(kDatabaseExistsMessage, r.newDatabase));
    DatabaseCopy copy(connection);
    copy.setCancelToken(&ui.token);
    const DatabaseCopyOutcome outcome = copy.run(toServer(connection, r.database), name);
    const QString text = DatabaseCopy::completionText(outcome);
    if (outcome.cancelled)
        return {kExitCancelled, text};
    const bool whole = outcome.status == DatabaseCopyOutcome::Status::Copied && outcome.failures == 0 &&
                       outcome.viewsNotCopied.empty() && !outcome.interrupted;
    return {whole ? kExitOk : kExitFailed, text};
}

JobEnd tableCopyJob(const Request& r, Session& session, CliUi& ui) {
    Session other;
    if (!r.fromHostName.isEmpty()) {
        const HostFile file(QDir(startupDirectory(r)).filePath(QString::fromLatin1(HostFile::kFileName)));
        const auto record = file.find(toShiftJis(r.fromHostName));
        if (!record)
            return failed(msgf(kNoSavedServerMessage, r.fromHostName, displayPath(file.path())));
        if (!other.open(connectParamsFor(*record)))
            return failed(msgf(kServerUnreachable, r.fromHostName,
                               fromServer(other.connection(), other.connection().errorLine())));
    }
    const bool betweenServers = other.isOpen();
    Connection& source = betweenServers ? other.connection() : session.connection();
    Connection& target = session.connection();
    const std::string database = toServer(source, r.database);
    const std::string table = toServer(source, r.table);
    const auto create = createTableText(source, database, table);
    if (!create)
        return failed(serverErrorText(kDumpNoDefinition, source));
    const std::string type = utf8(r.type);
    std::string statement = retypedIfChosen(*create, type, session.generation().tableTypeClause(type));
    const QString targetTable = r.toTable.isEmpty() ? r.table : r.toTable;
    statement = retargetedIfChosen(statement, utf8(r.toDatabase), utf8(targetTable));

    TableCopyRequest request;
    request.createStatement = statement;
    request.sourceDatabase = database;
    request.sourceTable = table;
    request.targetDatabase = utf8(r.toDatabase);
    request.targetTable = utf8(targetTable);
    request.copyData = !r.noData;
    request.logPath = !r.logFile.isEmpty()
                          ? r.logFile
                          : QDir(startupDirectory(r))
                                .filePath(betweenServers ? QStringLiteral("rep_other_server.log")
                                                         : QStringLiteral("rep_table.log"));
    ProgressBar bar;
    if (request.copyData)
        countRows(bar, source, database, table);
    TableCopy copy(source, target);
    copy.setBatchRows(batchRowsFromText(utf8(r.batch)));
    copy.setCancelToken(&ui.token);
    copy.setProgress([&bar](uint64_t rows) { bar.rows(rows); });
    const TableCopyOutcome outcome = copy.run(request);
    bar.finish();
    switch (outcome.status) {
        case TableCopyOutcome::Status::LogNotCreated:
            return failed(msgf(TableCopy::kLogNotCreatedMessage, request.logPath));
        case TableCopyOutcome::Status::CreateRefused:
            return failed(outcome.errorText);
        case TableCopyOutcome::Status::Created:
        case TableCopyOutcome::Status::Copied:
            break;
    }
    const QString text = TableCopy::completionText(outcome, request.logPath);
    if (outcome.status == TableCopyOutcome::Status::Created)
        return {kExitOk, text};
    if (outcome.copy.status == CopyOutcome::Status::Cancelled)
        return {kExitCancelled, text};
    const bool whole = outcome.copy.complete() && outcome.copy.refused == 0 && !outcome.noBatchSize &&
                       !outcome.logIncomplete;
    return {whole ? kExitOk : kExitFailed, text};
}

JobEnd runJob(const Request& r, Session& session, CliUi& ui) {
    Connection& connection = session.connection();
    ScriptRunner runner(connection);
    ProgressBar bar;
    runner.setProgressHandler([&bar](int percent) { bar.percent(percent); });
    // Each failed statement's error as the form lists it, as it happens.
    runner.setErrorHandler([&](const std::string& error) {
        bar.finish();
        printError(fromServer(connection, error));
    });
    ui.onInterrupt = [&runner] { runner.cancel(); };
    // The form's "Proceed to execute query?": running the command is the answer.
    ui.answer = true;
    const ScriptRunEnd end = runner.run(r.file, toServer(connection, r.database));
    ui.answer = r.yes;
    bar.finish();
    QString text = ui.messages.join(u'\n');
    ui.messages.clear();
    if (end == ScriptRunEnd::FileUnreadable)
        text = msgf(kFileUnreadable, displayPath(r.file)) + u'\n' + text;
    if (end == ScriptRunEnd::Cancelled)
        return {kExitCancelled, text};
    return {end == ScriptRunEnd::Completed && runner.errorCount() == 0 ? kExitOk : kExitFailed, text};
}

int listHosts(const Request& r) {
    const QDir directory(startupDirectory(r));
    // The folder of each saved server as the login form's tree shows it.
    std::map<std::string, QString> folders;
    const std::function<void(const FolderNode&, const QString&)> walk = [&](const FolderNode& node,
                                                                            const QString& path) {
        for (const FolderNode& child : node.children) {
            if (child.isHost())
                folders.emplace(child.text, path);
            else
                walk(child, path + u'/' + fromShiftJis(child.text));
        }
    };
    walk(folder_file::load(directory.filePath(QString::fromLatin1(folder_file::kFileName))), QString());
    QSettings settings;
    for (const HostRecord& record :
         savedServers(directory.filePath(QString::fromLatin1(HostFile::kFileName)))) {
        auto folder = folders.find(record.name);
        if (folder == folders.end())
            folder = folders.find(record.name.substr(0, folder_file::kTextBytes));
        const HostSecurity security = HostSecurity::read(settings, record.name);
        printOut(QStringList{fromShiftJis(record.name), fromShiftJis(record.host), fromShiftJis(record.port),
                             fromShiftJis(record.user),
                             folder == folders.end()    ? QString()
                             : folder->second.isEmpty() ? QStringLiteral("/")
                                                        : folder->second,
                             tlsModeName(security.mode)}
                     .join(u'\t'));
    }
    return kExitOk;
}

// Restores the UI services in use before the command line's own.
class InstalledUi {
public:
    explicit InstalledUi(CliUi& ui) : previous_(setUiServices(&ui)) {}
    ~InstalledUi() { setUiServices(previous_); }

private:
    UiServices* previous_;
};

}  // namespace

CsvFormat exportFormat(const Request& r) {
    CsvFormat format;
    format.encoding =
        r.encoding == QLatin1String("utf8") ? CsvFormat::Encoding::Utf8 : CsvFormat::Encoding::ShiftJis;
    if (r.separator == QLatin1String("comma")) {
        format.separator = CsvFormat::Separator::Comma;
    } else if (r.separator == QLatin1String("tab")) {
        format.separator = CsvFormat::Separator::Tab;
    } else {
        format.separator = CsvFormat::Separator::User;
        format.userSeparator = csvFileText(r.separator, format.encoding);
    }
    if (r.quote == QLatin1String("double")) {
        format.quote = CsvFormat::Quote::Double;
    } else if (r.quote == QLatin1String("single")) {
        format.quote = CsvFormat::Quote::Single;
    } else {
        format.quote = CsvFormat::Quote::User;
        format.userQuote = csvFileText(r.quote, format.encoding);
    }
    return format;
}

int runCli(const QStringList& arguments) {
    const ParseResult parsed = parseArguments(arguments);
    if (!parsed.request) {
        printError(parsed.error + u'\n' + msg(kUsageHintMessage));
        return kExitUsage;
    }
    const Request& r = *parsed.request;
    if (r.command == QLatin1String("help")) {
        printOut(usageText());
        return kExitOk;
    }
    if (r.command == QLatin1String("version")) {
        printOut(QStringLiteral("dbkeeper-cli " DBK_VERSION));
        return kExitOk;
    }
    // The settings store the program keeps the saved servers' security in.
    QCoreApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    if (r.command == QLatin1String("hosts"))
        return listHosts(r);

    CliUi ui;
    ui.answer = r.yes;
    const InstalledUi installed(ui);
    Session session;
    const bool statementInDatabase = r.command == QLatin1String("export") && r.table.isEmpty();
    if (const QString error = openServer(r, session, statementInDatabase ? r.database : QString());
        !error.isEmpty()) {
        printError(error);
        return kExitFailed;
    }
    JobEnd end;
    {
        // The engines listen for Cancel (here Ctrl+C) while they work.
        const CancellableRun cancellable;
        if (r.command == QLatin1String("export"))
            end = exportJob(r, session, ui);
        else if (r.command == QLatin1String("import"))
            end = importJob(r, session, ui);
        else if (r.command == QLatin1String("dump"))
            end = dumpJob(r, session, ui);
        else if (r.command == QLatin1String("copy"))
            end = r.newDatabase.isEmpty() ? tableCopyJob(r, session, ui) : databaseCopyJob(r, session, ui);
        else
            end = runJob(r, session, ui);
    }
    QStringList lines = ui.messages;
    if (!end.message.isEmpty())
        lines.append(end.message);
    if (end.status == kExitCancelled)
        lines.append(msg(kCancelledMessage));
    if (end.status != kExitOk || !r.quiet) {
        for (const QString& line : lines)
            printError(line);
    }
    return end.status;
}

}  // namespace dbk::cli
