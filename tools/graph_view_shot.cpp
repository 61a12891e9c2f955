// dbk_graph_view_shot HOST PORT USER PASSWORD SERVER.png DATABASE.png [DATABASE]
//
// Logs the main window in, selects the databases root and then one database (shop unless
// named) in the tree, and saves a picture of the window showing each page of the picture
// pane. The script tools/graph_view_screenshot.sh runs it under Xvfb against the sandbox.

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/main_frame.h"
#include "app/scripted_ui_services.h"
#include "browser/left_view.h"
#include "conn/dbkeeper_doc.h"

namespace {

void settle() {
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 7 && argc != 8) {
        std::fprintf(
            stderr,
            "usage: dbk_graph_view_shot HOST PORT USER PASSWORD SERVER.png DATABASE.png [DATABASE]\n");
        return 2;
    }
    const std::string database = argc == 8 ? argv[7] : "shop";
    dbk::ScopedScriptedUi ui;  // the character-set warning and the like are not shown
    dbk::CDbkeeperDoc doc;
    const dbk::LoginValues login{QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]),
                                 QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])};
    doc.setLoginPrompt([login](const dbk::LoginValues&) { return std::optional(login); });
    dbk::CMainFrame frame(doc);
    frame.resize(1100, 760);
    frame.move(0, 0);
    frame.show();
    frame.leftView()->initialUpdate();
    if (!doc.connection().isOpen()) {
        std::fprintf(stderr, "dbk_graph_view_shot: cannot log in\n");
        return 1;
    }
    const auto shoot = [&](QTreeWidgetItem* node, const char* path) {
        if (!node) {
            std::fprintf(stderr, "dbk_graph_view_shot: no such node for %s\n", path);
            return false;
        }
        frame.leftView()->setCurrentItem(node);
        settle();
        if (!frame.grab().save(QString::fromLocal8Bit(path))) {
            std::fprintf(stderr, "dbk_graph_view_shot: cannot write %s\n", path);
            return false;
        }
        return true;
    };
    const bool ok = shoot(frame.leftView()->databasesRoot(), argv[5]) &&
                    shoot(frame.leftView()->databaseNode(database), argv[6]);
    return ok ? 0 : 1;
}
