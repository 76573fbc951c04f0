#pragma once
// The copy pipeline: the bytes of begun copies move on a helper thread, in table order, while the run
// looks at and prepares the next rows (one core waits in the kernel for each copy).

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "files/text_file.h"
#include "run/processing_run.h"

namespace rowsmith::run {

// Whether an error means that no later row could be written either (the destination is full).
bool StopsTheRun(int error);

// Moves the bytes of begun copies (files::BeginCopy) on a helper thread, in the order they were
// begun, while the run looks at and prepares the next rows; the results come back in that order.
// A copy that fills the file system stops it: the copies begun after it are abandoned unrun, so
// that, as in a run without the helper, nothing after the stopping row is written.
class CopyWorker {
public:
    struct Job {
        files::PendingCopy Copy;
        RowReport Report;
        uint16_t Status = 0;
        int Error = 0;
        bool Done = false;
        bool Abandoned = false;
    };
    static constexpr std::size_t kMaxInFlight = 48;  // not yet run; two open files each

    ~CopyWorker() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
            abandon_ = true;
        }
        work_.notify_all();
        if (thread_.joinable()) thread_.join();
        // Whatever was never run (a run that ended early) leaves its destination as it was.
        for (auto& job : jobs_)
            if (!job->Done) files::AbandonCopy(job->Copy);
    }
    // A cancelled run stops after the copy now moving: the copies begun after it are abandoned unrun.
    void AbandonRest() {
        std::lock_guard<std::mutex> lock(mutex_);
        abandon_ = true;
    }
    bool Idle() {
        std::lock_guard<std::mutex> lock(mutex_);
        return jobs_.empty();
    }
    void Hand(std::unique_ptr<Job> job) {
        if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
        std::unique_lock<std::mutex> lock(mutex_);
        if (jobs_.size() - next_ >= kMaxInFlight) {
            WakeHelper(lock);
            ++waiting_;
            done_.wait(lock, [this] { return jobs_.size() - next_ < kMaxInFlight; });
            --waiting_;
        }
        jobs_.push_back(std::move(job));
        // Waking costs a system call and a switch: a sleeping helper is woken once a few jobs wait.
        if (jobs_.size() - next_ >= kWakeBatch) WakeHelper(lock);
    }
    // The oldest job once it is finished (waiting for it when `wait`), else null.
    std::unique_ptr<Job> Next(bool wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wait && !(jobs_.empty() || jobs_.front()->Done)) {
            WakeHelper(lock);
            ++waiting_;
            done_.wait(lock, [this] { return jobs_.empty() || jobs_.front()->Done; });
            --waiting_;
        }
        if (jobs_.empty() || !jobs_.front()->Done) return nullptr;
        std::unique_ptr<Job> job = std::move(jobs_.front());
        jobs_.pop_front();
        --next_;
        return job;
    }

private:
    static constexpr std::size_t kWakeBatch = 8;

    void WakeHelper(std::unique_lock<std::mutex>& lock) {
        if (!sleeping_ || next_ >= jobs_.size()) return;
        sleeping_ = false;  // one wake-up is enough
        lock.unlock();
        work_.notify_one();
        lock.lock();
    }

    void Loop();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable work_, done_;
    std::deque<std::unique_ptr<Job>> jobs_;  // begun, in row order; finished ones at the front
    std::size_t next_ = 0;                   // the first job not yet run
    bool quit_ = false;
    bool abandon_ = false;
    bool sleeping_ = false;  // the helper waits for work
    int waiting_ = 0;        // the run waits for the helper
};

}  // namespace rowsmith::run
