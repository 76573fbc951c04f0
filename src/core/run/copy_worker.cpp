#include "run/copy_worker.h"

#include <cerrno>

namespace rowsmith::run {

bool StopsTheRun(int error) { return error == ENOSPC || error == EDQUOT; }

void CopyWorker::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (!(quit_ || next_ < jobs_.size())) {
            sleeping_ = true;
            work_.wait(lock, [this] { return quit_ || next_ < jobs_.size(); });
            sleeping_ = false;
        }
        if (next_ >= jobs_.size()) return;
        Job* job = jobs_[next_].get();  // stays put: the deque only grows at the back meanwhile
        const bool abandon = abandon_;
        lock.unlock();
        if (abandon) {
            Abandon(*job);
            job->Abandoned = true;
        } else if (job->Write) {
            job->Closed = job->Write->Close();
            job->Error = job->Closed ? 0 : job->Write->LastIOStatus;
        } else {
            errno = 0;
            job->Status = files::FinishCopy(job->Copy);
            job->Error = (job->Status & files::kStatusCopied) ? 0 : files::fs::LastError();
        }
        lock.lock();
        if (!abandon && StopsTheRun(job->Error)) abandon_ = true;
        job->Done = true;
        ++next_;
        if (WaiterMayGo()) done_.notify_all();
    }
}

}  // namespace rowsmith::run
