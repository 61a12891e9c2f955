#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "conn/text_codec.h"
#include "monitor/system_variables.h"

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace dbk {

class Session;

// The server's variables with a one-line explanation of the selected one.
class SystemVariablesForm : public QDialog {
    Q_OBJECT
public:
    explicit SystemVariablesForm(Session& session, QWidget* parent = nullptr);

    QTableWidget* variableList() const { return list_; }
    QLineEdit* explanationField() const { return explanation_; }
    QPushButton* okButton() const { return okButton_; }
    // Selects the row of a variable; false when the list has none of that name.
    bool selectVariable(const QString& name);

private:
    // The encoding of the session the form shows.
    ServerEncoding encoding_ = ServerEncoding::Utf8;
    void showExplanation(int row);

    std::vector<ServerVariable> variables_;
    QTableWidget* list_;
    QLineEdit* explanation_;
    QPushButton* okButton_;
};

}  // namespace dbk
