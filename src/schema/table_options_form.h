#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "schema/table_options.h"

class QLineEdit;
class QPushButton;

namespace dbk {

class Session;

// A table's options, one per row, each changed by its own button and shown again from the
// server's table status afterwards.
class TableOptionsForm : public QDialog {
    Q_OBJECT
public:
    TableOptionsForm(Session& session, const std::string& database, const std::string& table,
                     QWidget* parent = nullptr);

    // The box of an option ("AUTO_INCREMENT", "COMMENT" ...).
    QLineEdit* box(const QString& option) const;
    QPushButton* button(OptionButton which) const { return buttons_.at(which); }

    // Reads the table status into the boxes.
    void load();
    // Sends the button's statement; then the boxes are read again.
    void press(OptionButton which);

private:
    void display(const TableOptionValues& values);

    Session& session_;
    std::string database_;
    std::string table_;
    std::map<QString, QLineEdit*> boxes_;
    std::map<OptionButton, QPushButton*> buttons_;
    std::map<OptionButton, QLineEdit*> boxOfButton_;
};

}  // namespace dbk
