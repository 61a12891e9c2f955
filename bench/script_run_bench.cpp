// Runs one SQL script through the script form, the way a user does (the run button, progress
// bar, one pending event let through per even percent), and prints the time and the program's
// peak memory. bench/script_run_bench.sh builds the script, starts a private server and compares
// the run with the command-line client on the same file.
//
//   script_run_bench --socket PATH | --host H --port P  [--user U] [--password W]
//                    --database NAME --file SCRIPT
#include <sys/resource.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/qt_ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "transfer/script_file_form.h"

namespace {

// The desktop's services, except that messages and the question are answered at once.
class UnattendedUi : public dbk::QtUiServices {
public:
    void message(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool askYesNo(const QString&) override { return true; }
};

long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    dbk::ConnectParams params;
    params.user = "root";
    std::string database;
    QString file;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--host")
            params.host = value;
        else if (option == "--port")
            params.port = static_cast<unsigned>(std::atoi(value));
        else if (option == "--socket")
            params.unixSocket = value;
        else if (option == "--user")
            params.user = value;
        else if (option == "--password")
            params.password = value;
        else if (option == "--database")
            database = value;
        else if (option == "--file")
            file = QString::fromLocal8Bit(value);
    }
    if (database.empty() || file.isEmpty()) {
        std::fprintf(stderr, "usage: %s --socket PATH --database NAME --file SCRIPT\n", argv[0]);
        return 2;
    }

    QApplication app(argc, argv);
    UnattendedUi ui;
    dbk::setUiServices(&ui);
    dbk::Session session;
    if (!session.open(params)) {
        std::fprintf(stderr, "cannot connect: %s\n", session.connection().errorLine().c_str());
        return 1;
    }
    const long rssBefore = peakResidentKilobytes();

    dbk::ScriptFileForm form(session);
    form.fileEdit()->setText(file);
    form.databaseEdit()->setText(dbk::fromShiftJis(database));
    form.show();
    QApplication::processEvents();

    const auto start = std::chrono::steady_clock::now();
    form.runButton()->click();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("seconds=%.3f errors=%d peak_rss_kb=%ld rss_before_run_kb=%ld\n", seconds,
                form.runner().errorCount(), peakResidentKilobytes(), rssBefore);
    dbk::setUiServices(nullptr);
    return form.runner().errorCount() == 0 ? 0 : 1;
}
