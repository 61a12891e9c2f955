#pragma once

#include <QIcon>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>
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

    explicit CLeftView(ViewHost& host, QWidget* parent = nullptr);

    // Clears the tree, runs the connect procedure and lists the databases.
    void initialUpdate();
    // Adds a database node under the databases root unless one has that name already; the
    // node of that name, or nullptr without a root.
    QTreeWidgetItem* addDatabaseNode(const std::string& name);
    // Adds a table node under its database node unless one has that name already; the node
    // of that name, or nullptr when the database has no node.
    QTreeWidgetItem* addTableNode(const std::string& database, const std::string& table);
    QTreeWidgetItem* databaseNode(const std::string& name) const;
    QTreeWidgetItem* tableNode(const std::string& database, const std::string& table) const;
    // Makes the node the selected one, as a click would (the context and the right pane follow).
    void selectNode(QTreeWidgetItem* item);
    // Renames a table node; the context follows when it is the selected one.
    void renameTableNode(QTreeWidgetItem* item, const std::string& name);
    // Appends a node (text as bytes) under `parent`, or at the top when it is null.
    QTreeWidgetItem* insertNode(QTreeWidgetItem* parent, const std::string& text, int image,
                                int fixedId = object_tree::kNotFixed);
    // Gives a node another name (bytes).
    void setNodeText(QTreeWidgetItem* item, const std::string& text);

    // The context menu of the selected node, as the right button shows it.
    QMenu* buildContextMenu(QWidget* parent);
    // Shows that menu at a point of the screen, or under the selected node (from the keyboard:
    // the Menu key or Shift+F10). The menu shown already when one is open.
    QMenu* popUpContextMenu(std::optional<QPoint> globalPos = std::nullopt);
    // The context menu while it is shown, else nullptr.
    QMenu* openContextMenu() const;
    // The widget the context menus belong to (the tree itself unless set).
    void setContextMenuParent(QWidget* parent) { menuParent_ = parent; }

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
    // The name of the database a node belongs to ("" above the databases): the node itself
    // for a database, the nearest database above it otherwise.
    static std::string databaseOf(const QTreeWidgetItem* item);

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
    // The tree is empty or about to be rebuilt: nothing is selected any more.
    void forgetSelection();
    void applyColour(QTreeWidgetItem* item);

    ViewHost& host_;
    QTimer keepAlive_;
    QTreeWidgetItem* databasesRoot_ = nullptr;
    bool ready_ = false;
    QIcon images_[3];
    QWidget* menuParent_ = this;
    QPointer<QMenu> openMenu_;
};

}  // namespace dbk
