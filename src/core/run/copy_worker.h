#pragma once
// The commit pipeline: the bytes of begun copies move, and rewritten outputs held whole in memory are
// written and named, on a helper thread, in table order, while the run looks at and prepares the next
// rows (one core waits in the kernel for each file made).

#include <condition_variable>
#include <cstdint>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "files/text_file.h"
#include "run/processing_run.h"

namespace rowsmith::run {

// Whether an error means that no later row could be written either (the destination is full).
bool StopsTheRun(int error);

// Moves the bytes of begun copies (files::BeginCopy), and writes and names outputs (a writer whose
// text is complete), on a helper thread, in the order they were handed over, while the run looks at
// and prepares the next rows; the results come back in that order. A job that fills the file system
// stops it: the jobs handed over after it are abandoned unrun, so that, as in a run without the
// helper, nothing after the stopping row is written. Names are taken at the commit, so rename-mode
// names and collisions come out as one row after the other gives them.
class CopyWorker {
public:
    struct Job {
        files::PendingCopy Copy;                     // a copy, unless Write is set
        std::unique_ptr<files::TWriteTextFile> Write;  // an output to close (write its rest, name it)
        bool Closed = false;                         // Write: it was closed and named
        RowReport Report;
        uint16_t Status = 0;
        int Error = 0;
        bool Done = false;
        bool Abandoned = false;
    };
    static constexpr std::size_t kMaxInFlight = 48;  // not yet run; two open files each
    // An output is handed over only when what it still holds in memory is this small: the jobs in
    // flight hold at most kMaxInFlight times it.
    static constexpr std::size_t kMaxHeldBytes = 256 << 10;

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
            if (!job->Done) Abandon(*job);
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
            // Waits until half the queue has run, not one slot: one sleep and one wake-up per many jobs.
            WakeHelper(lock);
            waiting_ = Waiting::ForRoom;
            done_.wait(lock, [this] { return RoomAgain(); });
            waiting_ = Waiting::No;
        }
        jobs_.push_back(std::move(job));
        // Waking costs a system call and a switch: a sleeping helper is woken once a few jobs wait.
        if (jobs_.size() - next_ >= kWakeBatch) WakeHelper(lock);
    }
    // A writer for the run's next output: one given back (its buffers kept), else a new one. Used by
    // the run's thread only, as is GiveBack.
    std::unique_ptr<files::TWriteTextFile> TakeWriter() {
        if (spare_writers_.empty()) return std::make_unique<files::TWriteTextFile>();
        std::unique_ptr<files::TWriteTextFile> w = std::move(spare_writers_.back());
        spare_writers_.pop_back();
        return w;
    }
    void GiveBack(std::unique_ptr<files::TWriteTextFile> w) {
        if (!w || spare_writers_.size() >= kMaxInFlight) return;
        w->TrimBuffer(kMaxHeldBytes);  // kept writers hold no more than the jobs in flight may
        spare_writers_.push_back(std::move(w));
    }
    // The oldest job once it is finished (waiting for it when `wait`), else null.
    std::unique_ptr<Job> Next(bool wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wait && !(jobs_.empty() || jobs_.front()->Done)) {
            WakeHelper(lock);
            waiting_ = Waiting::ForOldest;
            done_.wait(lock, [this] { return OldestDone(); });
            waiting_ = Waiting::No;
        }
        if (jobs_.empty() || !jobs_.front()->Done) return nullptr;
        std::unique_ptr<Job> job = std::move(jobs_.front());
        jobs_.pop_front();
        --next_;
        return job;
    }

private:
    static constexpr std::size_t kWakeBatch = 8;
    enum class Waiting : uint8_t { No, ForRoom, ForOldest };

    bool RoomAgain() const { return jobs_.size() - next_ <= kMaxInFlight / 2; }
    bool OldestDone() const { return jobs_.empty() || jobs_.front()->Done; }
    // Whether what the run waits for has come: the helper wakes it only then.
    bool WaiterMayGo() const {
        return (waiting_ == Waiting::ForRoom && RoomAgain()) || (waiting_ == Waiting::ForOldest && OldestDone());
    }

    void WakeHelper(std::unique_lock<std::mutex>& lock) {
        if (!sleeping_ || next_ >= jobs_.size()) return;
        sleeping_ = false;  // one wake-up is enough
        lock.unlock();
        work_.notify_one();
        lock.lock();
    }

    void Loop();
    static void Abandon(Job& job) {
        if (job.Write) job.Write->Discard();
        else files::AbandonCopy(job.Copy);
    }

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable work_, done_;
    std::deque<std::unique_ptr<Job>> jobs_;  // begun, in row order; finished ones at the front
    std::size_t next_ = 0;                   // the first job not yet run
    bool quit_ = false;
    bool abandon_ = false;
    bool sleeping_ = false;  // the helper waits for work
    std::vector<std::unique_ptr<files::TWriteTextFile>> spare_writers_;
    Waiting waiting_ = Waiting::No;  // what the run waits for (it is the one thread that waits)
};

}  // namespace rowsmith::run
