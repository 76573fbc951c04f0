#include "cli/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ostream>

namespace rowsmith::cli {

namespace {

volatile std::sig_atomic_t g_arrived = 0;

void OnStopSignal(int sig) {
    if (g_arrived == 0) g_arrived = sig;
}

constexpr int kAllSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

struct Saved {
    struct sigaction old[4];
    bool set[4];
};
Saved g_saved{};

}  // namespace

StopSignals::StopSignals(bool all) {
    g_arrived = 0;
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int i = 0; i < 4; ++i) {
        g_saved.set[i] = all || kAllSignals[i] == SIGPIPE;
        if (g_saved.set[i]) sigaction(kAllSignals[i], &sa, &g_saved.old[i]);
    }
}

StopSignals::~StopSignals() {
    for (int i = 0; i < 4; ++i)
        if (g_saved.set[i]) sigaction(kAllSignals[i], &g_saved.old[i], nullptr);
}

int StopSignals::Arrived() { return g_arrived; }

void OutputWatch::Before() {
    if (!failed_) errno = 0;
}

bool OutputWatch::After() {
    if (failed_) return false;
    if (out_) return true;
    failed_ = true;
    error_ = errno;
    signal_seen_ = StopSignals::Arrived();
    return false;
}

bool OutputWatch::Flush() {
    Before();
    out_.flush();
    return After();
}

bool OutputWatch::CountsAsCancel() const {
    // A hang-up takes the terminal that stdout wrote to; Ctrl+C or kill leave stdout as it was, so a
    // full disk seen after them is still lost output.
    return failed_ && (error_ == EPIPE || signal_seen_ == SIGPIPE || signal_seen_ == SIGHUP);
}

void OutputWatch::Explain(Io& io, const char* lead) const {
    io.err << "rowsmith-cli: " << lead << "writing to standard output failed";
    if (error_ != 0) io.err << ": " << std::strerror(error_);
    io.err << '\n';
}

int OutputWatch::ExitCode(Io& io) const {
    if (!failed_) return kExitOk;
    if (CountsAsCancel()) return kExitSkipped;
    Explain(io);
    return kExitIoError;
}

}  // namespace rowsmith::cli
