#pragma once

#include <QDialog>
#include <array>

#include "monitor/replication.h"

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace dbk {

class Session;

// The server's replication from both sides: what it writes as a master and who follows it,
// what it follows as a slave; the slave threads can be started and stopped.
class ReplicationForm : public QDialog {
    Q_OBJECT
public:
    explicit ReplicationForm(Session& session, QWidget* parent = nullptr);

    // Reads both sides again (on opening, "更新", after start and stop).
    void refresh();

    // Log file, position, databases replicated, databases not replicated.
    QLineEdit* masterField(size_t index) const { return masterFields_.at(index); }
    QLineEdit* slaveField(SlaveField field) const { return slaveFields_.at(static_cast<size_t>(field)); }
    QTableWidget* slaveHostList() const { return slaveHosts_; }
    QPushButton* startButton() const { return startButton_; }
    QPushButton* stopButton() const { return stopButton_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

private:
    QWidget* buildMasterGroup();
    QWidget* buildSlaveGroup();
    void startClicked();
    void stopClicked();

    Session& session_;
    std::array<QLineEdit*, 4> masterFields_{};
    std::array<QLineEdit*, kSlaveFieldCount> slaveFields_{};
    QTableWidget* slaveHosts_;
    QPushButton* startButton_;
    QPushButton* stopButton_;
    QPushButton* refreshButton_;
    QPushButton* cancelButton_;
    bool refusalShown_ = false;
};

}  // namespace dbk
