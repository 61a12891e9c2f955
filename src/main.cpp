#include <QApplication>

#include "app/dbkeeper_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    dbk::CDbkeeperApp app;
    if (!app.start())
        return 1;
    return QApplication::exec();
}
