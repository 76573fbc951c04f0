#pragma once
// Runs the command line in-process, as a shell would start it, and keeps its exit status and
// both output streams.

#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace rowsmith::cli {

// The last line of an output (the summary line of a run), without its line break.
inline std::string LastLine(std::string s) {
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s.substr(s.rfind('\n') + 1);
}

struct CliResult {
    int code = -1;
    std::string out, err;
};

inline CliResult Cli(std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), "rowsmith-cli");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::istringstream in(input);
    std::ostringstream out, err;
    CliResult r;
    r.code = Main(static_cast<int>(args.size()), argv.data(), in, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace rowsmith::cli
