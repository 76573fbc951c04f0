#include "files/path_list.h"

#include "files/paths.h"

namespace rowsmith::files {

bool SplitPathList(std::string_view text, bool nul, std::vector<std::string>& paths, std::string& error) {
    paths.clear();
    const char sep = nul ? '\0' : '\n';
    std::size_t pos = 0;
    std::size_t line = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(sep, pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view entry = text.substr(pos, end - pos);
        pos = end + 1;
        ++line;
        if (!nul) {
            if (!entry.empty() && entry.back() == '\r') entry.remove_suffix(1);
            if (entry.find('\0') != std::string_view::npos) {
                error =
                    "line " + std::to_string(line) + " holds a NUL byte (a NUL-separated list needs --null)";
                return false;
            }
        }
        if (!entry.empty()) paths.emplace_back(entry);
    }
    return true;
}

ListedPathPlacer::ListedPathPlacer(std::string source_root, std::string base)
    : source_(std::move(source_root)), base_(std::move(base)) {
    prefix_ = source_;
    if (prefix_.empty() || prefix_.back() != '/') prefix_ += '/';
}

ListedPathKind ListedPathPlacer::FolderKind(const std::string& folder, std::string& link) {
    if (folder.size() <= prefix_.size()) return ListedPathKind::Inside;  // the source itself
    if (auto it = folders_.find(folder); it != folders_.end()) {
        link = it->second.second;
        return it->second.first;
    }
    // The folder above decides first: a link there hides everything below it.
    const std::string parent = folder.substr(0, folder.rfind('/', folder.size() - 2) + 1);
    ListedPathKind kind = FolderKind(parent, link);
    if (kind == ListedPathKind::Inside) {
        fs::PathFacts f;
        fs::GetFacts(std::string_view(folder).substr(0, folder.size() - 1), f);
        if (f.present && f.is_symlink) {
            kind = ListedPathKind::BehindLink;
            link = folder.substr(0, folder.size() - 1);
        } else if (!f.is_folder) {
            kind = ListedPathKind::Missing;
        }
    }
    folders_.emplace(folder, std::pair{kind, link});
    return kind;
}

ListedPath ListedPathPlacer::Place(std::string_view path) {
    ListedPath r;
    r.Full = Resolve(path, base_);
    if (r.Full.size() <= prefix_.size() || r.Full.compare(0, prefix_.size(), prefix_) != 0) {
        r.Kind = ListedPathKind::Outside;
        return r;
    }
    const std::size_t slash = r.Full.rfind('/');
    r.Folder = r.Full.substr(0, slash + 1);
    r.Name = r.Full.substr(slash + 1);
    r.Kind = FolderKind(r.Folder, r.Link);
    if (r.Kind != ListedPathKind::Inside) return r;
    // The scan's own look at an item: links followed, the name deciding the hidden attribute.
    r.HasFacts = fs::GetItemFacts(r.Folder, r.Name, r.Facts);
    if (!r.Facts.present) r.Kind = ListedPathKind::Missing;
    return r;
}

}  // namespace rowsmith::files
