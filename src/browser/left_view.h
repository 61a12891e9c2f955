#pragma once

#include <QIcon>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "browser/object_tree.h"

class QMenu;

namespace dbk {

class CDbkeeperDoc;
class ViewHost;

// The object tree: the connected server's databases and tables, and the administration
// branch for administrators. It connects at its initial update, keeps the session alive,
// and sets the document's context on every selection.
class CLeftView : public QTreeWidget {
    Q_OBJECT
public:
    // Roles of the items: the text as the server gave it (bytes), the image number, and the
    // message number of a fixed node (0 for names the server gave).
    static constexpr int kBytesRole = Qt::UserRole;
    static constexpr int kImageRole = Qt::UserRole + 1;
    static constexpr int kFixedRole = Qt::UserRole + 2;
    static constexpr int kKeepAliveMs = 60000;

    // What a double-click on a node opens. The node's database and table (bytes) go to the
    // form; a returned name becomes the node's new text (a table renamed in its editor).
    struct NodeTarget {
        object_tree::NodeKind kind;
        std::string database;
        std::string table;
    };
    using DoubleClickEntry = std::function<std::optional<std::string>(const NodeTarget&)>;

    explicit CLeftView(ViewHost& host, QWidget* parent = nullptr);

    // Clears the tree, runs the connect procedure and lists the databases.
    void initialUpdate();
    // Adds a database node under the databases root unless one has that name already.
    void addDatabaseNode(const std::string& name);
    // Appends a node (text as bytes) under `parent`, or at the top when it is null.
    QTreeWidgetItem* insertNode(QTreeWidgetItem* parent, const std::string& text, int image,
                                int fixedId = object_tree::kNotFixed);
    // Gives a node another name (bytes).
    void setNodeText(QTreeWidgetItem* item, const std::string& text);

    // The forms that double-clicks open, by node kind; later work installs them. Without an
    // entry a double-click only opens or closes the node.
    void setDoubleClickEntry(object_tree::NodeKind kind, DoubleClickEntry entry);

    // The context menu of the selected node, as the right button shows it.
    QMenu* buildContextMenu(QWidget* parent);

    QTreeWidgetItem* databasesRoot() const { return databasesRoot_; }
    QTreeWidgetItem* selectedNode() const { return currentItem(); }
    QTimer& keepAliveTimer() { return keepAlive_; }
    // The selection handling runs only while this is true.
    bool isReady() const { return ready_; }

    static std::string nodeBytes(const QTreeWidgetItem* item);
    static int nodeImage(const QTreeWidgetItem* item);
    static int nodeFixedId(const QTreeWidgetItem* item);
    static int nodeDepth(const QTreeWidgetItem* item);
    static object_tree::NodeKind kindOf(const QTreeWidgetItem* item);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CDbkeeperDoc& doc();
    void buildTree();
    void selectionChanged(QTreeWidgetItem* current);
    void selectDatabase(QTreeWidgetItem* item);
    void loadTables(QTreeWidgetItem* database);
    void nodeDoubleClicked(QTreeWidgetItem* item);
    void keepAliveTick();
    void applyColour(QTreeWidgetItem* item);

    ViewHost& host_;
    QTimer keepAlive_;
    QTreeWidgetItem* databasesRoot_ = nullptr;
    bool ready_ = false;
    QIcon images_[3];
    std::map<object_tree::NodeKind, DoubleClickEntry> doubleClickEntries_;
};

}  // namespace dbk
