#include <mysql.h>

#include <QCoreApplication>

#include "cli/cli_jobs.h"
#include "cli/terminal.h"

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    dbk::cli::installInterruptHandler();
    if (mysql_library_init(0, nullptr, nullptr) != 0)
        return dbk::cli::kExitFailed;
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const int status = dbk::cli::runCli(arguments);
    mysql_library_end();
    return status;
}
