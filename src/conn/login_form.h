#pragma once

#include <QDialog>
#include <QIcon>
#include <optional>
#include <string>

#include "conn/dbkeeper_doc.h"
#include "conn/folder_file.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace dbk {

// The login form with its address book: a tree of folders and saved hosts kept in the folder
// file, each host's values in the host file, both in `directory`.
class LoginForm : public QDialog {
    Q_OBJECT
public:
    enum Button { Connect, Cancel, CreateFolder, EditFolder, DeleteFolder, NewHost, EditHost, DeleteHost };
    // Roles of the tree items: the text as stored (bytes) and the image number.
    static constexpr int kBytesRole = Qt::UserRole;
    static constexpr int kImageRole = Qt::UserRole + 1;

    // Shows the preset values, then loads the tree; the last host loaded fills the fields.
    explicit LoginForm(const QString& directory, const LoginValues& preset = {}, QWidget* parent = nullptr);

    void setValues(const LoginValues& values);
    LoginValues values() const;

    // The login prompt of the document: the form in the current directory.
    static std::optional<LoginValues> prompt(const LoginValues& preset);

    QTreeWidget* tree() const { return tree_; }
    QTreeWidgetItem* root() const { return root_; }
    QPushButton* button(Button which) const { return buttons_[which]; }
    QLineEdit* userEdit() const { return userEdit_; }
    QLineEdit* passwordEdit() const { return passwordEdit_; }
    QLineEdit* hostEdit() const { return hostEdit_; }
    QLineEdit* portEdit() const { return portEdit_; }

    // The tree as the folder file holds it.
    FolderNode folderTree() const;
    // Inserts a node in sorted order under `parent` and selects it.
    QTreeWidgetItem* insertNode(QTreeWidgetItem* parent, const std::string& text, int image);
    static std::string nodeBytes(const QTreeWidgetItem* item);
    static int nodeImage(const QTreeWidgetItem* item);

private:
    void connectClicked();
    void createFolder();
    void editFolder();
    void deleteFolder();
    void newHost();
    void editHost();
    void deleteHost();
    void selectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void itemDoubleClicked(QTreeWidgetItem* item);
    void loadTree();
    void saveTree();
    bool fillFromHost(const std::string& name);
    void setNodeText(QTreeWidgetItem* item, const std::string& bytes);
    void updateIcon(QTreeWidgetItem* item, bool selected);
    bool portAcceptable();
    QString filePath(const char* name) const;

    QString directory_;
    QTreeWidget* tree_;
    QTreeWidgetItem* root_ = nullptr;
    QLineEdit* userEdit_;
    QLineEdit* passwordEdit_;
    QLineEdit* hostEdit_;
    QLineEdit* portEdit_;
    QPushButton* buttons_[8] = {};
    // The security setting of the saved host the fields came from (Preferred for typed ones).
    HostSecurity security_;
    QIcon images_[4];
};

}  // namespace dbk
