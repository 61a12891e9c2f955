#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/dbkeeper_app.h"
#include "app/main_frame.h"

namespace {

const char kUsage[] =
    "usage: dbkeeper [--start-in-data-dir] [--smoke-test] [--version] [--help]\n"
    "  --start-in-data-dir  keep the address book in ${XDG_DATA_HOME:-~/.local/share}/TolvaneDbkeeper\n"
    "                       (created if missing) instead of the current directory\n"
    "  --smoke-test         open the main window and the login form, close them and exit\n"
    "  --version            print the version and exit\n";

bool hasOption(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0)
            return true;
    }
    return false;
}

// The menu entry starts the program here, as ./run does.
bool enterDataDirectory() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/TolvaneDbkeeper");
    if (!QDir().mkpath(path) || !QDir::setCurrent(path)) {
        std::fprintf(stderr, "dbkeeper: cannot use %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Closes every modal window as soon as it is up (the login form, then the message that no
// login took place) and prints its class, so that a packaged program can be tried without a
// server or a person.
void closeModalWindowsAsTheyOpen(QObject* owner) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            std::printf("smoke test: %s shown\n", modal->metaObject()->className());
            std::fflush(stdout);
            modal->close();
        }
    });
    timer->start(50);
}

}  // namespace

int main(int argc, char** argv) {
    if (hasOption(argc, argv, "--version")) {
        std::printf("dbkeeper %s\n", DBK_VERSION);
        return 0;
    }
    if (hasOption(argc, argv, "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("tolvane-dbkeeper"));
    if (hasOption(argc, argv, "--start-in-data-dir") && !enterDataDirectory())
        return 1;
    const bool smokeTest = hasOption(argc, argv, "--smoke-test");
    if (smokeTest)
        closeModalWindowsAsTheyOpen(&application);
    dbk::CDbkeeperApp app;
    if (!app.start())
        return 1;
    if (smokeTest) {
        if (!app.mainFrame()->isVisible())
            return 1;
        if (QApplication::windowIcon().pixmap(32, 32).isNull()) {
            std::fprintf(stderr, "smoke test: the icons cannot be drawn (Qt's SVG plugins are missing)\n");
            return 1;
        }
        std::printf("smoke test: main window shown\n");
        QTimer::singleShot(0, &application, &QApplication::quit);
    }
    return QApplication::exec();
}
