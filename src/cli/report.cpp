#include "cli/report.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
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

namespace {

// The folder with its links and ".." followed, as the system finds it; empty when it does not exist.
std::string RealFolder(const std::string& folder) {
    char buf[PATH_MAX];
    if (!::realpath(folder.empty() ? "/" : folder.c_str(), buf)) return {};
    return buf;
}

std::string InFolder(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

bool CheckReportPath(const std::string& path, const tables::ArrayOfFiles& list, Io& io) {
    auto refuse = [&](const std::string& why) {
        io.err << "rowsmith-cli: the report '" << path << "' " << why << "\n";
        return false;
    };
    const std::string resolved = files::Resolve(path, files::fs::CurrentFolder());
    const std::string folder = files::FolderPart(resolved);
    const std::string name = files::NamePart(resolved);
    files::fs::PathFacts facts;
    const bool exists = files::fs::GetFacts(resolved, facts);
    if (exists && facts.is_folder) return refuse("is a folder");
    if (name.empty() || name == "." || name == "..") return refuse("names no file");
    const std::string real_folder = RealFolder(folder);
    if (real_folder.empty() || !files::fs::FolderExists(real_folder))
        return refuse("cannot be written: its folder '" +
                      (folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder) +
                      "' does not exist");
    if (exists) {
        if (!facts.is_file) return refuse("is not a regular file");
        if ((facts.mode & 0222) == 0) return refuse("is read-only");
        for (int32_t row = 1; row <= list.RowCount; ++row) {
            const tables::DataRecT* r = list.Row(row);
            if (r && r->Extra && (r->Extra->Facts.Attributes & files::fs::kAttrFolder)) continue;
            const std::string source = list.GetCell(row, tables::kCodeFullPath);
            files::fs::PathFacts f;
            if (files::fs::GetFacts(source, f) && f.device == facts.device && f.inode == facts.inode)
                return refuse("is the source file '" + source + "' of this run");
        }
    }
    // Where the report is written, links followed: an existing report may be a link to elsewhere.
    std::string target = InFolder(real_folder, name);
    if (exists) {
        char buf[PATH_MAX];
        if (::realpath(resolved.c_str(), buf)) target = buf;
    }
    // Rows share few folders: each is looked up once. A folder that does not exist yet cannot hold
    // the report, whose folder exists.
    std::map<std::string, std::string> real_of;
    for (int32_t row = 1; row <= list.RowCount; ++row) {
        const std::string destination = list.GetCell(row, tables::kCodeFinalDestination);
        if (destination.empty() || files::NamePart(destination) != files::NamePart(target)) continue;
        const std::string dest_folder = files::FolderPart(destination);
        auto it = real_of.find(dest_folder);
        if (it == real_of.end()) it = real_of.emplace(dest_folder, RealFolder(dest_folder)).first;
        if (!it->second.empty() && InFolder(it->second, files::NamePart(destination)) == target)
            return refuse("is where the run writes '" + list.GetCell(row, tables::kCodeFullPath) + "'");
    }
    return true;
}

bool RunReportWriter::Open(const std::string& path, Io& io) {
    path_ = files::Resolve(path, files::fs::CurrentFolder());
    // Folders are never made for the report: a mistyped folder is an error, not a new tree.
    if (!writer_.OpenForWriting(path_, files::kOverwrite | files::kNoCreateFolders)) {
        io.err << "rowsmith-cli: cannot write the report '" << path << "'\n";
        return false;
    }
    open_ = true;
    return writer_.WriteLine("row,outcome,source,destination,lines,reason,encoding,line ends");
}

void RunReportWriter::Add(const run::RowReport& r) {
    if (!open_) return;
    writer_.WriteLine(std::to_string(r.Row) + "," + OutcomeWord(r.Outcome) + "," + CsvField(r.Source) + "," +
                      CsvField(r.Destination) + "," + std::to_string(r.Lines) + "," + CsvField(r.Reason) + "," +
                      CsvField(r.Encoding) + "," + r.LineEnds);
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
