// dbk_process_form_shot HOST PORT USER PASSWORD SECONDS
//
// Shows the process form on a server for SECONDS seconds while a few extra connections come
// and go and read tables, so that the chart has something to draw; then exits. The script
// tools/process_form_screenshot.sh takes its picture with ImageMagick's import under Xvfb.

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "conn/session.h"
#include "monitor/process_form.h"
#include "shot_session.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    dbk::Session session;
    if (const int status = shot::openSession(session, argc, argv, "dbk_process_form_shot"))
        return status;
    dbk::ProcessForm form(session);
    // Narrow ranges, so that the small numbers of a quiet server show as movement.
    const char* ranges[] = {"10", "4", "10", "400", "40"};
    for (int trace = 0; trace < 5; ++trace)
        form.rangeField(trace)->setText(QString::fromLatin1(ranges[trace]));
    form.move(0, 0);
    form.show();

    // Every half second the number of extra connections follows a saw tooth of one to six;
    // each reads a table of the sample shop, and now and then the tables are flushed.
    std::deque<dbk::Connection> load;
    int beat = 0;
    QTimer traffic;
    QObject::connect(&traffic, &QTimer::timeout, [&] {
        ++beat;
        const size_t wanted = 1 + static_cast<size_t>(beat / 2 % 6);
        while (load.size() > wanted)
            load.pop_front();
        if (load.size() < wanted) {
            dbk::Connection c;
            if (c.open(session.connection().params()))
                load.push_back(std::move(c));
        }
        const char* tables[] = {"customers", "products", "orders", "access_log"};
        for (size_t i = 0; i < load.size(); ++i)
            load[i].exec(std::string("SELECT COUNT(*) FROM shop.") + tables[(i + size_t(beat)) % 4]);
        if (beat % 24 == 0 && !load.empty())
            load.front().exec("FLUSH TABLES");
    });
    traffic.start(500);
    QTimer::singleShot(shot::showMilliseconds(argv), &app, &QApplication::quit);
    return app.exec();
}
