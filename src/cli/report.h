#pragma once
// The run report: every row's outcome as a CSV file (row, outcome, source, destination, lines, reason).

#include <string>

#include "cli/options.h"
#include "files/text_file.h"
#include "run/processing_run.h"

namespace rowsmith::cli {

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
