#pragma once
// The run report: every row's outcome as a CSV file (row, outcome, source, destination, lines, reason).

#include <string>

#include "cli/options.h"
#include "files/text_file.h"
#include "run/processing_run.h"
#include "tables/string_table.h"

namespace rowsmith::cli {

// Whether `path` may take the report of a run over `list`; false with a message naming the report and
// why otherwise. The report's folder must exist (none is made for it); an existing report must be a
// writable regular file that is none of the run's source files; and it must not be where any row of
// the run writes.
bool CheckReportPath(const std::string& path, const tables::ArrayOfFiles& list, Io& io);

class RunReportWriter {
public:
    bool Open(const std::string& path, Io& io);
    void Add(const run::RowReport& r);
    bool Close(Io& io);

private:
    files::TWriteTextFile writer_;
    std::string path_;
    bool open_ = false;
};

// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& s);
const char* OutcomeWord(run::RowOutcome o);

}  // namespace rowsmith::cli
