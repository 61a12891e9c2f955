#pragma once

#include <QString>
#include <QStringList>

#include "cli/cli_options.h"
#include "transfer/csv_export.h"

namespace dbk::cli {

// The export form's format for the options: the list's separators and quotes by name, anything
// else as the user's own text (in the file's code).
CsvFormat exportFormat(const Request& request);

// The whole command line: parses the arguments, runs the job and says how it went (messages on
// standard error, the list of saved servers on standard output). Returns the exit status.
// Expects the client library started and nothing but a QCoreApplication (if any) around it.
int runCli(const QStringList& arguments);

}  // namespace dbk::cli
