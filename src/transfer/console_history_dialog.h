#pragma once

#include <QDialog>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace dbk {

class ConsoleHistory;

// The console's history ("履歴"), newest first, narrowed by a search text; the chosen
// statement goes back into the console's statement field.
class ConsoleHistoryDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConsoleHistoryDialog(const ConsoleHistory& history, QWidget* parent = nullptr);

    // The statement of the chosen entry ("" when none is chosen).
    QString chosenStatement() const;

    QLineEdit* searchEdit() const { return search_; }
    QListWidget* list() const { return list_; }
    QPushButton* okButton() const { return okButton_; }

private:
    void fill();

    const ConsoleHistory& history_;
    std::vector<size_t> shown_;  // the entries the list shows, in its order
    QLineEdit* search_;
    QListWidget* list_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};

}  // namespace dbk
