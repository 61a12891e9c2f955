#include "cli/cli_options.h"

#include <array>
#include <functional>

#include "app/messages.h"
#include "cli/cli_messages.h"
#include "transfer/server_copy.h"

namespace dbk::cli {

namespace {

// The options every command that talks to a server takes.
constexpr std::string_view kServerCommands = "export import dump copy run";

struct OptionSpec {
    const char* name;
    bool takesValue;
    // The commands that take it, blank-separated; "*" for all.
    std::string_view commands;
    std::function<void(Request&, const QString&)> apply;
};

const std::vector<OptionSpec>& optionSpecs() {
    using R = Request;
    static const std::vector<OptionSpec> specs = {
        {"dir", true, "*", [](R& r, const QString& v) { r.directory = v; }},
        {"yes", false, "*", [](R& r, const QString&) { r.yes = true; }},
        {"quiet", false, "*", [](R& r, const QString&) { r.quiet = true; }},
        {"host-name", true, kServerCommands, [](R& r, const QString& v) { r.hostName = v; }},
        {"host", true, kServerCommands, [](R& r, const QString& v) { r.host = v; }},
        {"port", true, kServerCommands, [](R& r, const QString& v) { r.port = v.toUInt(); }},
        {"user", true, kServerCommands, [](R& r, const QString& v) { r.user = v; }},
        {"socket", true, kServerCommands, [](R& r, const QString& v) { r.socket = v; }},
        {"password-file", true, kServerCommands, [](R& r, const QString& v) { r.passwordFile = v; }},
        {"database", true, kServerCommands, [](R& r, const QString& v) { r.database = v; }},
        {"table", true, "export import dump copy", [](R& r, const QString& v) { r.table = v; }},
        {"query", true, "export", [](R& r, const QString& v) { r.query = v; }},
        {"query-file", true, "export", [](R& r, const QString& v) { r.queryFile = v; }},
        {"output", true, "export dump", [](R& r, const QString& v) { r.output = v; }},
        {"file", true, "import run", [](R& r, const QString& v) { r.file = v; }},
        {"encoding", true, "export", [](R& r, const QString& v) { r.encoding = v.toLower(); }},
        {"separator", true, "export import",
         [](R& r, const QString& v) {
             r.separator = v;
             r.fieldSeparator = v;
         }},
        {"quote", true, "export", [](R& r, const QString& v) { r.quote = v; }},
        {"server-file", false, "import", [](R& r, const QString&) { r.serverFile = true; }},
        {"low-priority", false, "import", [](R& r, const QString&) { r.lowPriority = true; }},
        {"replace", false, "import", [](R& r, const QString&) { r.replace = true; }},
        {"no-convert", false, "import", [](R& r, const QString&) { r.noConvert = true; }},
        {"enclosure", true, "import", [](R& r, const QString& v) { r.enclosure = v; }},
        {"escape", true, "import", [](R& r, const QString& v) { r.escape = v; }},
        {"line-end", true, "import", [](R& r, const QString& v) { r.lineEnd = v; }},
        {"skip-lines", true, "import", [](R& r, const QString& v) { r.skipLines = v; }},
        {"to-database", true, "copy", [](R& r, const QString& v) { r.toDatabase = v; }},
        {"to-table", true, "copy", [](R& r, const QString& v) { r.toTable = v; }},
        {"from-host-name", true, "copy", [](R& r, const QString& v) { r.fromHostName = v; }},
        {"new-database", true, "copy", [](R& r, const QString& v) { r.newDatabase = v; }},
        {"type", true, "copy", [](R& r, const QString& v) { r.type = v; }},
        {"batch", true, "copy", [](R& r, const QString& v) { r.batch = v; }},
        {"no-data", false, "copy", [](R& r, const QString&) { r.noData = true; }},
        {"log", true, "copy", [](R& r, const QString& v) { r.logFile = v; }},
    };
    return specs;
}

bool takes(std::string_view commands, const QString& command) {
    if (commands == "*")
        return true;
    const QByteArray name = command.toUtf8();
    size_t start = 0;
    while (start < commands.size()) {
        size_t end = commands.find(' ', start);
        if (end == std::string_view::npos)
            end = commands.size();
        if (commands.substr(start, end - start) == std::string_view(name.constData(), name.size()))
            return true;
        start = end + 1;
    }
    return false;
}

constexpr std::array kCommands = {"export", "import", "dump", "copy", "run", "hosts", "help", "version"};

QString option(const char* name) {
    return QStringLiteral("--") + QString::fromLatin1(name);
}

// What the command needs beyond its options' syntax; "" when it can run.
QString missingPart(const Request& r) {
    const QString& c = r.command;
    if (!takes(kServerCommands, c))
        return {};
    if (r.hostName.isEmpty() && r.host.isEmpty() && r.socket.isEmpty())
        return msg(kNoServerMessage);
    if (!r.hostName.isEmpty() && (!r.host.isEmpty() || !r.user.isEmpty() || r.port || !r.socket.isEmpty() ||
                                  !r.passwordFile.isEmpty()))
        return msgf(kEitherMessage, option("host-name"), option("host"));
    if (r.port && (*r.port == 0 || *r.port > 65535))
        return msgf(kBadValueMessage, option("port"), QString::number(*r.port));
    const auto need = [&](const QString& value, const char* name) {
        return value.isEmpty() ? msgf(kNeedsMessage, c, option(name)) : QString();
    };
    QString problem;
    if (c == QLatin1String("export")) {
        const int statements =
            int(!r.table.isEmpty()) + int(!r.query.isEmpty()) + int(!r.queryFile.isEmpty());
        if (statements != 1)
            return msgf(kEitherMessage, option("table"), option("query"));
        if (!r.table.isEmpty())
            problem = need(r.database, "database");
        if (problem.isEmpty())
            problem = need(r.output, "output");
        if (problem.isEmpty() && r.encoding != QLatin1String("sjis") && r.encoding != QLatin1String("utf8"))
            problem = msgf(kBadValueMessage, option("encoding"), r.encoding);
        return problem;
    }
    if (c == QLatin1String("import") || c == QLatin1String("dump")) {
        for (const auto& [value, name] : {std::pair{&r.database, "database"},
                                          {&r.table, "table"},
                                          {c == QLatin1String("import") ? &r.file : &r.output,
                                           c == QLatin1String("import") ? "file" : "output"}}) {
            if (problem.isEmpty())
                problem = need(*value, name);
        }
        return problem;
    }
    if (c == QLatin1String("run")) {
        problem = need(r.database, "database");
        return problem.isEmpty() ? need(r.file, "file") : problem;
    }
    // copy: a table (to another database, or from a saved server), or a whole database.
    problem = need(r.database, "database");
    if (!problem.isEmpty())
        return problem;
    if (!r.newDatabase.isEmpty()) {
        if (!r.table.isEmpty() || !r.fromHostName.isEmpty() || !r.toDatabase.isEmpty())
            return msgf(kEitherMessage, option("new-database"), option("table"));
        return {};
    }
    if (r.table.isEmpty())
        return msgf(kEitherMessage, option("table"), option("new-database"));
    if (!batchRowsFromText(r.batch.toUtf8().toStdString()))
        return msgf(kBadValueMessage, option("batch"), r.batch);
    return need(r.toDatabase, "to-database");
}

}  // namespace

ParseResult parseArguments(const QStringList& arguments) {
    ParseResult result;
    if (arguments.isEmpty()) {
        result.error = msg(kNoCommandMessage);
        return result;
    }
    Request request;
    request.command = arguments.first();
    if (request.command == QLatin1String("--help") || request.command == QLatin1String("-h"))
        request.command = QStringLiteral("help");
    if (request.command == QLatin1String("--version"))
        request.command = QStringLiteral("version");
    if (std::find(kCommands.begin(), kCommands.end(), request.command) == kCommands.end()) {
        result.error = msgf(kUnknownCommandMessage, request.command);
        return result;
    }
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(QLatin1String("--"))) {
            result.error = msgf(kUnknownOptionMessage, request.command, argument);
            return result;
        }
        const qsizetype equals = argument.indexOf(u'=');
        const QString name = argument.mid(2, equals < 0 ? -1 : equals - 2);
        const auto spec = std::find_if(optionSpecs().begin(), optionSpecs().end(), [&](const OptionSpec& s) {
            return name == QLatin1String(s.name) && takes(s.commands, request.command);
        });
        if (spec == optionSpecs().end()) {
            result.error = msgf(kUnknownOptionMessage, request.command, argument);
            return result;
        }
        QString value;
        if (spec->takesValue) {
            if (equals >= 0) {
                value = argument.mid(equals + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                result.error = msgf(kNeedsValueMessage, argument);
                return result;
            }
        } else if (equals >= 0) {
            result.error = msgf(kUnknownOptionMessage, request.command, argument);
            return result;
        }
        spec->apply(request, value);
    }
    if (request.port && *request.port == 0) {
        result.error = msgf(kBadValueMessage, option("port"), QStringLiteral("0"));
        return result;
    }
    result.error = missingPart(request);
    if (result.error.isEmpty())
        result.request = std::move(request);
    return result;
}

QString usageText() {
    return QStringLiteral(
        "Usage: dbkeeper-cli COMMAND [OPTIONS]\n"
        "\n"
        "Commands:\n"
        "  export  --database DB --table T | --query SQL | --query-file FILE  --output FILE\n"
        "          [--encoding sjis|utf8] [--separator comma|tab|TEXT] [--quote double|single|TEXT]\n"
        "  import  --database DB --table T --file CSV [--replace] [--low-priority] [--no-convert]\n"
        "          [--server-file] [--separator S] [--enclosure E] [--escape E] [--line-end L]\n"
        "          [--skip-lines N]\n"
        "  dump    --database DB --table T --output FILE\n"
        "  copy    --database DB --table T --to-database DB2 [--to-table T2] [--from-host-name NAME]\n"
        "          [--type TYPE] [--batch ROWS] [--no-data] [--log FILE]\n"
        "  copy    --database DB --new-database NEW\n"
        "  run     --database DB --file SCRIPT\n"
        "  hosts   the saved servers of Host.DAT and FOLDER.DAT\n"
        "\n"
        "Server: --host-name NAME (a saved server), or --host H [--port P] [--user U] [--socket S]\n"
        "        with the password from --password-file FILE, MYSQL_PWD or a prompt.\n"
        "Every command: --dir DIR (start-up directory), --yes, --quiet.\n"
        "See dbkeeper-cli(1).\n");
}

}  // namespace dbk::cli
