#pragma once

#include <QDialog>
#include <array>

class QLineEdit;
class QPushButton;

namespace dbk {

class Session;

// One thread of the server, with a button that stops it.
class ProcessDetailsForm : public QDialog {
    Q_OBJECT
public:
    ProcessDetailsForm(Session& session, long long processId, QWidget* parent = nullptr);

    static constexpr size_t kFieldCount = 8;
    // Process id, user, host, database, command, time, state, info.
    QLineEdit* field(size_t index) const { return fields_.at(index); }
    QPushButton* closeButton() const { return closeButton_; }
    QPushButton* stopButton() const { return stopButton_; }

private:
    void stopClicked();

    Session& session_;
    std::array<QLineEdit*, kFieldCount> fields_{};
    QPushButton* closeButton_;
    QPushButton* stopButton_;
};

}  // namespace dbk
