#pragma once

#include <QDialog>
#include <string>

#include "schema/structure_editor.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace dbk {

class Session;

// "プライマリキー・インデックス追加": a primary key, index or unique key over columns chosen in
// order. OK closes it once the server took the key.
class AddKeyForm : public QDialog {
    Q_OBJECT
public:
    // Names are bytes in the session's character set; keyName presets the name box (PRIMARY for a primary
    // key).
    AddKeyForm(Session& session, const std::string& database, const std::string& table, KeyKind kind,
               const std::string& keyName, QWidget* parent = nullptr);

    QLineEdit* keyNameEdit() const { return keyName_; }
    QLineEdit* tableTypeEdit() const { return tableType_; }
    QListWidget* candidateList() const { return candidates_; }
    QListWidget* keyColumnList() const { return keyColumns_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* addAllButton() const { return addAll_; }
    QPushButton* removeButton() const { return remove_; }
    QPushButton* removeAllButton() const { return removeAll_; }
    QPushButton* createButton() const { return create_; }

    // ">", ">>", "<", "<<".
    void moveSelected(QListWidget* from, QListWidget* to);
    void moveAll(QListWidget* from, QListWidget* to);
    // "作成".
    void create();

private:
    Session& session_;
    std::string database_;
    std::string table_;
    KeyKind kind_;
    QLineEdit* keyName_;
    QLineEdit* tableType_;
    QListWidget* candidates_;
    QListWidget* keyColumns_;
    QPushButton* add_;
    QPushButton* addAll_;
    QPushButton* remove_;
    QPushButton* removeAll_;
    QPushButton* create_;
};

}  // namespace dbk
