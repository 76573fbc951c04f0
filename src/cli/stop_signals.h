#pragma once
// The signals that stop a command cleanly, and the watch over standard output.
//
// Ctrl+C, kill, a closed terminal and a reader that went away (SIGINT, SIGTERM, SIGHUP, SIGPIPE) let
// the run finish its current file and print its summary instead of killing the process mid-write. A
// write to standard output that fails stops the command too: a closed pipe (EPIPE) is the reader
// saying it has seen enough, the same as its SIGPIPE; any other failure (a full disk, an I/O error)
// means output was lost.

#include <iosfwd>

#include "cli/options.h"

namespace rowsmith::cli {

// While it lives, the stop signals are caught instead of ending the process. `all` false catches only
// SIGPIPE (commands that have no run to finish keep the default Ctrl+C), so that a write to a closed
// pipe fails with EPIPE.
class StopSignals {
public:
    explicit StopSignals(bool all);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first stop signal that arrived while the guard lived (0: none).
    static int Arrived();
};

class OutputWatch {
public:
    explicit OutputWatch(std::ostream& out) : out_(out) {}

    // Around each write: Before clears errno so that After can name the write's own error.
    void Before();
    // False once a write (or flush) has failed; the first failure is kept.
    bool After();
    bool Flush();

    bool Failed() const { return failed_; }
    // A failure that counts as the cancel of a stop signal rather than as lost output: a closed pipe,
    // or a failure after a hang-up.
    bool CountsAsCancel() const;
    // Names a lost-output failure on err: "rowsmith-cli: <lead>writing to standard output failed[: reason]".
    void Explain(Io& io, const char* lead = "") const;
    // kExitOk, kExitSkipped (cancel) or kExitIoError (with the message).
    int ExitCode(Io& io) const;

private:
    std::ostream& out_;
    bool failed_ = false;
    int error_ = 0;        // errno of the failed write, 0 when unknown
    int signal_seen_ = 0;  // the stop signal already there when the write failed
};

}  // namespace rowsmith::cli
