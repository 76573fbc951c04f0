#pragma once
// rowsmith-cli: the commands run, list, expand, interval and modifiers. Streams are parameters so that
// tests run the commands in-process.

#include <iosfwd>

namespace rowsmith::cli {

int Main(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace rowsmith::cli
