#include "cli/report.h"

#include <cstring>
#include <ostream>

#include "files/paths.h"
#include "files/platform_fs.h"

namespace rowsmith::cli {

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string r = "\"";
    for (char c : s) {
        if (c == '"') r += '"';
        r += c;
    }
    r += '"';
    return r;
}

const char* OutcomeWord(run::RowOutcome o) {
    switch (o) {
        case run::RowOutcome::Copied: return "copied";
        case run::RowOutcome::Rewritten: return "rewritten";
        case run::RowOutcome::Skipped: return "skipped";
        case run::RowOutcome::FolderCreated: return "folder";
        case run::RowOutcome::Cancelled: return "cancelled";
    }
    return "";
}

bool RunReportWriter::Open(const std::string& path, Io& io) {
    path_ = files::Resolve(path, files::fs::CurrentFolder());
    if (!writer_.OpenForWriting(path_, files::kOverwrite)) {
        io.err << "rowsmith-cli: cannot write the report '" << path << "'\n";
        return false;
    }
    open_ = true;
    return writer_.WriteLine("row,outcome,source,destination,lines,reason");
}

void RunReportWriter::Add(const run::RowReport& r) {
    if (!open_) return;
    writer_.WriteLine(std::to_string(r.Row) + "," + OutcomeWord(r.Outcome) + "," + CsvField(r.Source) + "," +
                      CsvField(r.Destination) + "," + std::to_string(r.Lines) + "," + CsvField(r.Reason));
}

bool RunReportWriter::Close(Io& io) {
    if (!open_) return true;
    open_ = false;
    if (!writer_.Close()) {
        io.err << "rowsmith-cli: writing the report '" << path_ << "' failed\n";
        return false;
    }
    return true;
}

}  // namespace rowsmith::cli
