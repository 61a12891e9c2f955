#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>

#include "app/messages.h"
#include "app/qt_ui_services.h"
#include "app/status_bar_panes.h"
#include "conn/dbkeeper_doc.h"
#include "conn/login_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QApplication::setApplicationName(QStringLiteral("TolvaneDbkeeper"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/dbkeeper.svg")));

    dbk::QtUiServices services;
    dbk::setUiServices(&services);
    if (mysql_library_init(0, nullptr, nullptr) != 0) {
        services.message(dbk::msg(104));
        return 1;
    }

    QMainWindow window;
    window.setWindowTitle(QString::fromUtf8(dbk::kApplicationTitle));
    dbk::StatusBarPanes panes(window.statusBar());
    window.resize(640, 480);
    window.show();

    dbk::CDbkeeperDoc doc;
    doc.setStatusPanes(&panes);
    doc.setLoginPrompt(&dbk::LoginForm::prompt);

    QTimer keepAlive;
    keepAlive.setInterval(60000);
    auto connectAndWatch = [&] {
        keepAlive.stop();
        if (doc.connect() == dbk::CDbkeeperDoc::kNotConnected) return;
        if (const std::string charset = doc.readServerCharacterSet(); dbk::CDbkeeperDoc::charsetGarbles(charset)) {
            services.message(dbk::CDbkeeperDoc::garblingWarning(charset));
        }
        keepAlive.start();
    };
    QObject::connect(&keepAlive, &QTimer::timeout, [&] {
        if (doc.keepAliveTick() == dbk::CDbkeeperDoc::KeepAlive::Lost) connectAndWatch();
    });
    QTimer::singleShot(0, connectAndWatch);
    const int status = app.exec();
    mysql_library_end();
    return status;
}
