#pragma once

#include <QTimer>
#include <QTreeWidget>
#include <string>

namespace dbk {

class ViewHost;

// The object tree: the connected server's databases and tables, and the administration
// branch for administrators. It connects at its initial update, keeps the session alive,
// and sets the document's context on every selection.
class CLeftView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CLeftView(ViewHost& host, QWidget* parent = nullptr);

    // Clears the tree, runs the connect procedure and lists the databases.
    void initialUpdate();
    // Adds a database node under the databases root (create database, copies, console).
    void addDatabaseNode(const std::string& name);
    QTimer& keepAliveTimer() { return keepAlive_; }

private:
    ViewHost& host_;
    QTimer keepAlive_;
};

}  // namespace dbk
