#include "cli/file_list_setup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>
#include <unordered_set>
#include <vector>

#include "files/file_list.h"
#include "files/path_input.h"
#include "files/path_list.h"
#include "files/paths.h"
#include "files/platform_fs.h"
#include "files/scan.h"
#include "template/context.h"
#include "template/engine_adapters.h"
#include "text/chars.h"

namespace rowsmith::cli {

namespace {

// Closes a descriptor when the reading function leaves, whichever way.
struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

// A path edit of the command line: just a text.
class TextEdit final : public files::PathEditControl {
public:
    explicit TextEdit(std::string t) : text_(std::move(t)) {}
    std::string Text() const override { return text_; }
    int32_t Colour() const override { return 0xFFFFFF; }
    void SetColour(int32_t) override {}
    void SetHint(const std::string&) override {}
    void SetTextQuietly(const std::string& t) override { text_ = t; }

private:
    std::string text_;
};

std::string Absolute(const std::string& p) {
    if (p.empty()) return p;
    return files::Resolve(p, files::fs::CurrentFolder());
}

}  // namespace

bool ApplyCodepage(const std::string& codepage, Io& io) {
    if (text::BuildCharacterTables(codepage)) return true;
    io.err << "rowsmith-cli: unknown code page '" << codepage << "' (use cp1252, or leave it out for the locale's)\n";
    return false;
}

bool CheckEncodings(const std::string& encoding, const std::string& legacy, const std::string& output, Io& io,
                    files::EncodingChoice* choice, std::optional<text::Encoding>* output_encoding) {
    auto fail = [&](const char* option, const std::string& why) {
        io.err << "rowsmith-cli: " << option << ": " << why << "\n";
        return false;
    };
    files::EncodingChoice c;
    std::string error;
    c.Legacy = legacy;
    text::Encoding probe;
    if (!text::ParseEncodingName(legacy, probe, error)) return fail("--legacy-encoding", error);
    c.Detect = text::EqualsIgnoreCase(encoding, "auto");
    if (!c.Detect && !text::ParseEncodingName(encoding, c.Fixed, error)) return fail("--encoding", error);
    std::optional<text::Encoding> out;
    if (!text::EqualsIgnoreCase(output, "same")) {
        text::Encoding e;
        if (!text::ParseEncodingName(output, e, error)) return fail("--output-encoding", error);
        out = e;
    }
    if (choice) *choice = c;
    if (output_encoding) *output_encoding = out;
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& out, Io& io, const char* what) {
    auto fail = [&](const std::string& why) {
        io.err << "rowsmith-cli: cannot read the " << what << " '" << path << "': " << why << "\n";
        return false;
    };
    if (path.empty() || path.find('\0') != std::string::npos) return fail(std::strerror(ENOENT));
    // Without O_NONBLOCK, opening a pipe that has no writer would wait for one; the descriptor's own
    // facts are checked, so the file cannot be swapped between the check and the read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return fail(std::strerror(errno));
    const FdCloser closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0) return fail(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file");
    if (st.st_size > kMaxWholeFileBytes) return fail("it is larger than 16 MiB");
    const int fl = fcntl(fd, F_GETFL);
    if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    out.clear();
    out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(std::strerror(errno));
        }
        if (n == 0) break;
        // A file that grows while it is read is held to the same bound.
        if (static_cast<int64_t>(out.size()) + n > kMaxWholeFileBytes) return fail("it is larger than 16 MiB");
        out.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

namespace {

// The first existing path above `destination` (or `destination` itself) that is not a folder: a file
// in the way of every row's folder. Empty when there is none.
std::string FileInTheWay(const std::string& destination) {
    std::size_t pos = 0;
    while (pos < destination.size()) {
        std::size_t next = destination.find('/', pos + 1);
        if (next == std::string::npos) next = destination.size();
        const std::string prefix = destination.substr(0, next);
        pos = next;
        if (prefix.empty() || prefix == "/") continue;
        files::fs::PathFacts f;
        if (!files::fs::GetFacts(prefix, f)) {
            // A dangling link is in the way as much as a file; anything else missing ends the walk,
            // as nothing below it can exist.
            if (files::fs::PathExists(prefix)) return prefix;
            return {};
        }
        if (!f.is_folder) return prefix;
    }
    return {};
}

// The whole text of the list file, or of standard input for "-"; false with a message naming it.
bool ReadPathListText(const ListRequest& req, Io& io, std::string& text) {
    auto fail = [&](const std::string& why) {
        io.err << "rowsmith-cli: " << req.command << ": cannot read the file list '" << req.files_from
               << "': " << why << "\n";
        return false;
    };
    text.clear();
    char buf[1 << 16];
    if (req.files_from == "-") {
        while (io.in.read(buf, sizeof buf) || io.in.gcount() > 0)
            text.append(buf, static_cast<std::size_t>(io.in.gcount()));
        if (io.in.bad()) return fail("reading standard input failed");
        return true;
    }
    // Opened as named and waited on: a list is often a pipe (`--files-from <(find ...)`).
    const int fd = ::open(req.files_from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return fail(std::strerror(errno));
    const FdCloser closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0) return fail(std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return fail("it is a folder");
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(std::strerror(errno));
        }
        if (n == 0) return true;
        text.append(buf, static_cast<std::size_t>(n));
    }
}

// The rows of the listed paths, as the scan would have made them; false (each refused path named)
// when a path lies outside the source or behind a link to a folder.
bool AddListedPaths(const ListRequest& req, Io& io, tables::ArrayOfFiles& list,
                    std::vector<std::string>* missing) {
    std::string text, error;
    if (!ReadPathListText(req, io, text)) return false;
    std::vector<std::string> paths;
    if (!files::SplitPathList(text, req.null_separated, paths, error)) {
        io.err << "rowsmith-cli: " << req.command << ": the file list '" << req.files_from << "': " << error
               << "\n";
        return false;
    }
    text = std::string();
    // Relative paths are the current folder's, as SOURCE and DEST are, and as `find src` prints them.
    files::ListedPathPlacer placer(list.SourceRoot, files::fs::CurrentFolder());
    std::unordered_set<std::string> seen;
    std::vector<files::ListedPath> kept;
    kept.reserve(paths.size());
    // Refusals are all named (up to a bound: one wrong root would otherwise name every line).
    constexpr int kNamed = 20;
    int refused = 0;
    for (const std::string& path : paths) {
        files::ListedPath placed = placer.Place(path);
        if (placed.Kind == files::ListedPathKind::Outside ||
            placed.Kind == files::ListedPathKind::BehindLink) {
            if (++refused > kNamed) continue;
            io.err << "rowsmith-cli: " << req.command << ": " << path;
            if (placed.Kind == files::ListedPathKind::BehindLink)
                io.err << " lies behind the link " << placed.Link
                       << ", which the scan does not follow (links to folders are never entered)\n";
            else if (placed.Full == list.SourceRoot)
                io.err << " is SOURCE " << list.SourceRoot << " itself, not a file in it\n";
            else
                io.err << " is outside SOURCE " << list.SourceRoot << "\n";
            continue;
        }
        if (refused > 0 || !seen.insert(placed.Full).second) continue;
        kept.push_back(std::move(placed));
    }
    if (refused > 0) {
        if (refused > kNamed)
            io.err << "rowsmith-cli: " << req.command << ": " << refused - kNamed << " more paths refused\n";
        io.err << "rowsmith-cli: " << req.command
               << ": nothing was done: a file list may name only files below SOURCE\n";
        return false;
    }
    for (const files::ListedPath& p : kept) {
        if (p.Kind == files::ListedPathKind::Missing) {
            if (missing) missing->push_back(p.Full);
            continue;
        }
        files::AppendItemRow(list, p.Folder, p.Name, p.HasFacts ? &p.Facts : nullptr);
    }
    list.ShrinkToFit();
    return true;
}

}  // namespace

bool BuildFileList(const ListRequest& req, Io& io, tables::ArrayOfFiles& list, text::GaugeViewFactory* views,
                   int* unlisted_folders, std::vector<std::string>* missing) {
    if (unlisted_folders) *unlisted_folders = 0;
    if (missing) missing->clear();
    if (!ApplyCodepage(req.codepage, io)) return false;
    if (req.levels < 0 || req.levels > files::kMaxSubfolderLevels) {
        io.err << "rowsmith-cli: --levels " << req.levels << " is outside 0..255\n";
        return false;
    }
    const std::string source = Absolute(req.source);
    if (req.source.empty() || !files::fs::FolderExists(source)) {
        io.err << "rowsmith-cli: the source folder '" << req.source << "' does not exist"
               << (files::fs::FileExists(source) ? " (it is a file)" : "") << "\n";
        return false;
    }
    {
        std::vector<files::fs::FolderItem> probe;
        if (!files::fs::ListFolder(source, probe)) {
            io.err << "rowsmith-cli: the source folder '" << req.source << "' cannot be read: " << std::strerror(files::fs::LastError()) << "\n";
            return false;
        }
    }
    std::string destination;
    if (!req.destination.empty() || req.destination_required) {
        if (req.destination.empty()) {
            io.err << "rowsmith-cli: the destination is empty\n";
            return false;
        }
        destination = Absolute(req.destination);
        if (const std::string blocker = FileInTheWay(files::Normalise(destination)); !blocker.empty()) {
            if (files::SamePath(blocker, files::Normalise(destination)))
                io.err << "rowsmith-cli: the destination '" << req.destination << "' is a file, not a folder\n";
            else
                io.err << "rowsmith-cli: the destination '" << req.destination << "' lies below the file '"
                       << blocker << "', where no folder can be made\n";
            return false;
        }
        // The same pair check as the window's, on the resolved texts.
        files::PathInputT reg;
        files::InitPathInput(reg);
        TextEdit src_edit(source), dst_edit(destination);
        files::RegisterPathEdit(reg, &src_edit, files::kPathKindFolder);
        files::RegisterPathEdit(reg, &dst_edit, files::kPathKindFolder);
        files::SetRelative(reg, &src_edit, &dst_edit);
        std::string d, s;
        if (!files::ValidatePair(reg, &src_edit, &dst_edit, files::kPairWindowOptions, d, s)) {
            if (files::HasBadPathCharacters(destination))
                io.err << "rowsmith-cli: the destination '" << req.destination
                       << "' holds a character a path may not hold (* ? \" < > | or a control character)\n";
            else if (files::SamePath(source, destination))
                io.err << "rowsmith-cli: the destination '" << req.destination << "' is the source folder itself\n";
            else
                io.err << "rowsmith-cli: the destination '" << req.destination << "' cannot be used as a folder path\n";
            return false;
        }
        destination = d;
    }

    files::InitFileList(list);
    files::DefineFileColumns(list);
    list.SourceRoot = source;
    list.DestinationRoot = destination;
    list.DestinationMode = req.flat ? files::kDestinationFlat : 0;
    list.SubfolderLevels = req.levels;
    list.ScanFilter = files::MakeMaskFilter(req.masks);
    // Files in a subfolder that cannot be read are missed: the user is told which folder.
    list.UnlistedFolderCallback = [&io, unlisted_folders](const std::string& folder, int error) {
        if (unlisted_folders) ++*unlisted_folders;
        const std::string_view shown =
            folder.size() > 1 && folder.back() == '/' ? std::string_view(folder).substr(0, folder.size() - 1) : folder;
        if (error == files::kBeyondDeepestLevel)
            io.err << "rowsmith-cli: cannot list the folder '" << shown << "': it lies deeper than "
                   << files::kDeepestLevel << " levels below the source, where the scan stops\n";
        else
            io.err << "rowsmith-cli: cannot list the folder '" << shown << "': " << std::strerror(error) << "\n";
    };
    if (!req.files_from.empty()) {
        if (!AddListedPaths(req, io, list, missing)) return false;
    } else {
        files::Populate(list, source, views);
    }
    list.UnlistedFolderCallback = nullptr;
    if (!req.sort.empty()) {
        list.SortText = req.sort;
        // Cell keys ("filename|caseupper") are expanded by a template context of their own; it is
        // detached again so that the list's own column formatting stays as it is.
        tmpl::TemplateRecordT record;
        tmpl::ContextTemplateEvaluator evaluator(record.Context);
        if (req.sort.find('|') != std::string::npos) list.TemplateContext = &evaluator;
        list.Sort();
        list.TemplateContext = nullptr;
    }
    return true;
}

}  // namespace rowsmith::cli
