// rowsmith-cli interval: the numbers an interval text selects from 1..count, one a line.

#include <ostream>

#include "cli/options.h"
#include "cli/stop_signals.h"
#include "text/intervals.h"

namespace rowsmith::cli {

int IntervalCommand(const IntervalOptions& o, Io& io) {
    if (o.count < 0 || o.count > 2147483647) {
        io.err << "rowsmith-cli: --count " << o.count << " is outside 0..2147483647\n";
        return kExitUsage;
    }
    StopSignals signals(false);
    OutputWatch watch(io.out);
    text::LoopT loop;
    text::InitLoop(loop, o.text, 1, static_cast<int32_t>(o.count));
    std::string buf;
    auto write = [&] {
        watch.Before();
        io.out << buf;
        buf.clear();
        return watch.After();
    };
    bool good = true;
    while (good && text::NextInLoop(loop)) {
        buf += std::to_string(loop.Current);
        buf += '\n';
        if (buf.size() > (1 << 16)) good = write();
    }
    if (good && write()) watch.Flush();
    return watch.ExitCode(io);
}

}  // namespace rowsmith::cli
