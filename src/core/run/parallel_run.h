#pragma once
// Rows side by side: where the result cannot tell (copies, intervals alone, templates that keep no
// state from one line to the next), the run reads, expands and writes several files at once, one per
// thread, and lets each output take its name and each report go out in table order (RowTurns), so
// that names, reports, a full destination and a cancel come out as in a run of one row after another.

#include <string>

#include "run/processing_run.h"
#include "run/run_plan.h"
#include "tables/string_table.h"

namespace rowsmith::run {

// The average row size from which rows go side by side (RunHooks::LaneBytes for tests).
inline constexpr int64_t kLaneBytes = int64_t{256} << 10;

struct ParallelChoice {
    int Jobs = 1;                 // 1: one row after the other
    bool Stateless = false;       // the settings qualify, whatever the rows and the threads asked for
    bool RefuseLineTags = false;  // a line holding a tag sends its row, and those after it, to the run's context
    std::string Why;              // why one thread, when more were asked for
};

// How many threads the run can use for these settings (at most hooks.Jobs, one per row), and whether
// the settings would let rows go side by side at all.
ParallelChoice ChooseParallel(const RunPlan& plan, const RunSettings& settings, const RunHooks& hooks,
                              LineExpander* expander, const tables::ArrayOfFiles& list);

RunSummary RunRowsInParallel(const tables::ArrayOfFiles& list, tables::ArrayOfFiles& line_buffer,
                             LineExpander* expander, const RunSettings& settings, const RunHooks& hooks,
                             const RunPlan& plan, const ParallelChoice& choice);

}  // namespace rowsmith::run
