#include "browser/record_count.h"

#include <chrono>
#include <cstdlib>

#include "conn/cancel.h"

namespace dbk {

BackgroundCount::~BackgroundCount() {
    cancel();
}

void BackgroundCount::start(const ConnectParams& params, const std::string& statement,
                            const std::string& keyScan, long long anchorEvery) {
    cancel();
    statement_ = statement;
    anchors_.clear();
    auto job = std::make_shared<Job>();
    job->params = params;
    job->statement = statement;
    job->keyScan = keyScan;
    job->anchorEvery = anchorEvery;
    job_ = job;
    thread_ = std::thread([this, job] {
        Connection connection;
        bool ok = false;
        long long rows = 0;
        std::vector<std::vector<std::optional<std::string>>> anchors;
        if (connection.open(job->params)) {
            job->threadId = connection.threadId();
            if (!job->cancelled && !job->keyScan.empty()) {
                Result r = connection.stream(job->keyScan);
                while (r.ok() && r.next()) {
                    if (job->anchorEvery > 0 && rows % job->anchorEvery == 0)
                        anchors.push_back(r.row());
                    ++rows;
                }
                ok = r.ok() && !job->cancelled;
            } else if (!job->cancelled) {
                Result r = connection.query(job->statement);
                if (r.ok() && r.next()) {
                    rows = std::atoll(std::string(r.text(0U)).c_str());
                    ok = true;
                }
            }
        }
        job->finished = true;
        // The object outlives the thread (cancel() joins it); a call still queued when the
        // object goes is dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, job, ok, rows, anchors = std::move(anchors)]() mutable {
                if (job != job_ || job->cancelled || job->delivered)
                    return;
                job->delivered = true;
                anchors_ = std::move(anchors);
                if (ok)
                    emit counted(rows);
                else
                    emit failed();
            },
            Qt::QueuedConnection);
    });
}

void BackgroundCount::cancel() {
    if (!thread_.joinable())
        return;
    job_->cancelled = true;
    // The kill may come before the statement reached the server: it is sent again until the
    // thread ended.
    auto lastKill = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    while (!job_->finished) {
        const unsigned long id = job_->threadId;
        if (id != 0 && std::chrono::steady_clock::now() - lastKill > std::chrono::milliseconds(200)) {
            killRunningStatement(job_->params, id);
            lastKill = std::chrono::steady_clock::now();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    thread_.join();
    job_->delivered = true;
}

}  // namespace dbk
