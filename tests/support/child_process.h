#pragma once
// Running a piece of a test in a child process: to set process limits (a small maximum file size)
// without touching the test runner, and to drop root so that permission checks apply when the tests
// run as root.

#include <functional>
#include <string>

namespace rowsmith::testing {

// RunInChild's result when a root process cannot switch to an ordinary user (no such capability).
constexpr int kCannotDropRoot = 250;

// Runs `body` in a forked child and returns its result (0..255), or -1 when the child died otherwise.
// With `as_ordinary_user`, a child of a root process first switches to the "nobody" user and group.
int RunInChild(const std::function<int()>& body, bool as_ordinary_user = false);

struct CapturedChild {
    int code = -1;       // as RunInChild's result
    std::string output;  // what the body put into its text
};

// RunInChild whose body also hands a text back to the parent (through a pipe, so that nothing is
// written to the trees a test compares). Lets the parent report what the child saw with EXPECTs.
CapturedChild RunCapturedInChild(const std::function<int(std::string& output)>& body,
                                 bool as_ordinary_user = false);

// Makes a folder (and the folders above it, up to /) reachable and writable for the child of
// RunInChild(..., true): the folder gets mode 0777, its parents gain search permission.
void OpenForOrdinaryUser(const std::string& folder);

}  // namespace rowsmith::testing
