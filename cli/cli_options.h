#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace dbk::cli {

// Exit statuses of dbkeeper-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;       // the job (or the connection) failed
inline constexpr int kExitUsage = 2;        // the command line cannot be run as given
inline constexpr int kExitCancelled = 130;  // stopped by Ctrl+C

// One command line, as typed (texts as the terminal gives them).
struct Request {
    QString command;     // export, import, dump, copy, run, hosts, help, version
    QString directory;   // the start-up directory: saved servers and logs ("" = working directory)
    bool yes = false;    // answers Yes to the questions whose safe answer is No
    bool quiet = false;  // no message when the job succeeded

    // The server: a saved one, or one named outright.
    QString hostName;
    QString host;
    std::optional<unsigned int> port;
    QString user;
    QString socket;
    QString passwordFile;

    QString database;
    QString table;
    QString query;      // export: a statement instead of a table
    QString queryFile;  // export: the statement read from a file
    QString output;     // export, dump
    QString file;       // import: the CSV file; run: the script

    // export
    QString encoding = QStringLiteral("sjis");    // sjis or utf8
    QString separator = QStringLiteral("comma");  // comma, tab or the user's text
    QString quote = QStringLiteral("double");     // double, single or the user's text

    // import: the fields in SQL notation as the form takes them; unset ones follow the file's
    // first line as the form's preview does.
    bool serverFile = false;
    bool lowPriority = false;
    bool replace = false;
    bool noConvert = false;
    std::optional<QString> fieldSeparator;
    std::optional<QString> enclosure;
    QString escape;
    std::optional<QString> lineEnd;
    QString skipLines;

    // copy
    QString toDatabase;
    QString toTable;
    QString fromHostName;
    QString newDatabase;
    QString type;
    QString batch = QStringLiteral("1000");
    bool noData = false;
    QString logFile;
};

struct ParseResult {
    std::optional<Request> request;
    QString error;  // why the line cannot be run (a usage error)
};

// Reads the arguments after the program's name. Options take their value as the next argument or
// after "=". Each command takes only its own options and needs its own required ones.
ParseResult parseArguments(const QStringList& arguments);

// The usage text.
QString usageText();

}  // namespace dbk::cli
