#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "conn/connection.h"

namespace dbk {

// Counts the rows of a big table on a connection of its own while the window goes on: the
// record list shows the statistics' estimate meanwhile. The answer arrives on the thread that
// started the count.
class BackgroundCount : public QObject {
    Q_OBJECT
public:
    explicit BackgroundCount(QObject* parent = nullptr) : QObject(parent) {}
    ~BackgroundCount() override;
    BackgroundCount(const BackgroundCount&) = delete;
    BackgroundCount& operator=(const BackgroundCount&) = delete;

    // Sends `statement` (a count) over a new connection opened with `params`; a count still
    // running is cancelled first. With a `keyScan` (the key columns of the same rows in key
    // order) the rows are counted by reading their keys instead, and the key of every
    // `anchorEvery`-th row is kept: a jump then starts near its page.
    void start(const ConnectParams& params, const std::string& statement, const std::string& keyScan = {},
               long long anchorEvery = 0);
    // Stops the count (KILL QUERY on its connection) and waits until its thread ended; nothing
    // arrives from it afterwards.
    void cancel();
    // A count was started and its answer has not arrived.
    bool running() const { return job_ && !job_->delivered; }
    // The statement of the count started last.
    const std::string& statement() const { return statement_; }
    // The keys of rows 0, anchorEvery, 2 × anchorEvery, … of the count that arrived last.
    std::vector<std::vector<std::optional<std::string>>> takeAnchors() { return std::move(anchors_); }

signals:
    // The count of statement() arrived.
    void counted(long long rows);
    // The count could not be read (the connection or the statement failed).
    void failed();

private:
    struct Job {
        ConnectParams params;
        std::string statement;
        std::string keyScan;
        long long anchorEvery = 0;
        std::atomic<unsigned long> threadId{0};
        std::atomic<bool> finished{false};
        std::atomic<bool> cancelled{false};
        bool delivered = false;  // touched on the starting thread only
    };
    std::shared_ptr<Job> job_;
    std::thread thread_;
    std::string statement_;
    std::vector<std::vector<std::optional<std::string>>> anchors_;
};

}  // namespace dbk
