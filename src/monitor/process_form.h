#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <vector>

#include "monitor/process_list.h"

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace dbk {

class LINE_CHART_CTRL;
class Session;

// The server's threads and status, read once a second: the thread list, seven counters and
// five of them charted, the flush buttons and the versions of server, client and protocol.
class ProcessForm : public QDialog {
    Q_OBJECT
public:
    explicit ProcessForm(Session& session, QWidget* parent = nullptr);

    static constexpr int kTickMs = 1000;
    static constexpr QSize kChartSize{320, 136};

    // One tick of the timer: status line, chart, counters and thread list.
    void tick();
    // Reads the thread list again ("更新").
    void refillThreads();

    QTableWidget* threadList() const { return list_; }
    LINE_CHART_CTRL* chart() const { return chart_; }
    // The fields in the order of counterFields().
    QLineEdit* counterField(size_t index) const { return counters_.at(index); }
    // The range field of a trace.
    QLineEdit* rangeField(int trace) const { return ranges_.at(static_cast<size_t>(trace)); }
    // The buttons in the order of flushButtons().
    QPushButton* flushButton(size_t index) const { return flushes_.at(index); }
    // Server, client and protocol version.
    QLineEdit* versionField(size_t index) const { return versions_.at(index); }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* closeButton() const { return closeButton_; }
    const QTimer& timer() const { return timer_; }

private:
    QWidget* buildStatusGroup();
    QWidget* buildResetGroup();
    void showCounters(const StatusCounters& counters);
    void fillThreads(const std::vector<ThreadRow>& threads);
    // The thread id shown in a row, and the one of the selected row ("" for none).
    QString threadIdAt(int row) const;
    QString selectedThreadId() const;
    void flushClicked(size_t index);
    void openDetails(int row);

    Session& session_;
    QTableWidget* list_;
    LINE_CHART_CTRL* chart_;
    std::array<QLineEdit*, 7> counters_{};
    std::array<QLineEdit*, 5> ranges_{};
    std::array<QPushButton*, 5> flushes_{};
    std::array<QLineEdit*, 3> versions_{};
    QPushButton* refreshButton_;
    QPushButton* closeButton_;
    QTimer timer_;
};

}  // namespace dbk
