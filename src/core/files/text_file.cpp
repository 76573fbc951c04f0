#include "files/text_file.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "files/paths.h"
#include "tables/string_table.h"
#include "text/utf8.h"

namespace rowsmith::files {

namespace {

constexpr std::size_t kWriteBuffer = 1 << 20;
constexpr int kMaxUniqueTries = 1000000;

uint16_t IoStatus(int error) { return error == 0 ? 0 : static_cast<uint16_t>(error > 0xFFFF ? 0xFFFF : error); }

}  // namespace

bool SourceSet::Has(uint64_t device, uint64_t inode) const {
    const auto it = ids_.find(Key{device, inode});
    if (it == ids_.end()) return false;
    fs::PathFacts now;
    return fs::GetFacts(it->second, now) && now.exists && now.device == device && now.inode == inode;
}

int ForceFolders(std::string_view folder) {
    if (folder.empty()) return 1;
    const std::string path = Normalise(folder);
    // The deepest folder existing means every folder above it exists: one look instead of one per level.
    if (fs::FolderExists(path)) return 1;
    const std::size_t root_len = RootEnd(path) - 1;
    std::string prefix = path.substr(0, root_len);
    bool created = false;
    std::size_t pos = root_len;
    while (pos < path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        if (next > pos) {
            prefix = Join(prefix, std::string_view(path).substr(pos, next - pos));
            if (!fs::FolderExists(prefix)) {
                const int err = fs::MakeFolder(prefix);
                if (err != 0 && !(err == EEXIST && fs::FolderExists(prefix))) return created ? -2 : -1;
                if (err == 0) created = true;
            }
        }
        pos = next + 1;
    }
    return created ? 0 : 1;
}

namespace {

// The first of `name`, then "_1", "_2", ... before its extension, that `taken` says is free. The split
// is at the last "." of the name (a name that only starts with a dot has no extension).
template <class Taken>
std::string FirstFreeName(const std::string& name, const Taken& taken) {
    if (!taken(name)) return name;
    std::size_t dot = name.rfind('.');
    if (dot == 0) dot = std::string::npos;
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    std::string candidate;
    for (int n = 1; n <= kMaxUniqueTries; ++n) {
        candidate = base + "_" + std::to_string(n) + ext;
        if (!taken(candidate)) return candidate;
    }
    return candidate;
}

}  // namespace

std::string MakeUniqueName(std::string_view path) {
    if (!fs::PathExists(path)) return std::string(path);
    // A dot in a folder name does not count: only the name part is numbered.
    const std::string folder = FolderPart(path);
    return folder + FirstFreeName(NamePart(path), [&](const std::string& n) { return fs::PathExists(folder + n); });
}

// ---------------------------------------------------------------- destinations

DestinationRoot::DestinationRoot(std::string root) : root_(root.empty() ? std::string() : Normalise(root)) {}

namespace {

// The part of `folder` below `root` ("" for root itself); false when it is not below it.
bool BelowRoot(const std::string& root, const std::string& folder, std::string& relative) {
    if (root.empty()) return false;
    if (folder == root) {
        relative.clear();
        return true;
    }
    const std::string with_slash = root.back() == '/' ? root : root + "/";
    if (folder.compare(0, with_slash.size(), with_slash) != 0) return false;
    relative = folder.substr(with_slash.size());
    return true;
}

// Status bits for a folder that could not be opened or made.
uint16_t FolderFailure(int error) {
    if (error == EXDEV) return kStatusOutside | kStatusError | kStatusStop;
    return kStatusFolderFailed | kStatusError | kStatusStop;
}

}  // namespace

uint16_t DestinationRoot::Place(std::string_view path, uint8_t flags, std::shared_ptr<const fs::Folder>& folder,
                                std::string& name, int& error) {
    error = 0;
    name = NamePart(path);
    std::string folder_path = FolderPart(path);
    if (folder_path.empty()) folder_path = fs::CurrentFolder();
    folder_path = Normalise(folder_path);
    if (cached_ && folder_path == cached_path_) {
        folder = cached_;
        return 0;
    }
    auto made = std::make_shared<fs::Folder>();
    std::string relative;
    // No root, or a destination elsewhere (a caller's own file): its folder by its path.
    const bool below = BelowRoot(root_, folder_path, relative);
    const uint16_t status = below ? OpenBelowRoot(relative, flags, *made, error) : OpenByPath(folder_path, flags, *made, error);
    if (status & kStatusStop) return status;
    if (below) uses_.push_back({row_, relative, false});
    cached_path_ = folder_path;
    cached_ = made;
    folder = std::move(made);
    return status;
}

uint16_t DestinationRoot::OpenByPath(const std::string& folder_path, uint8_t flags, fs::Folder& out, int& error) {
    uint16_t status = 0;
    if (!(flags & kNoCreateFolders)) {
        const int r = ForceFolders(folder_path);
        if (r < 0) {
            error = fs::LastError();
            return FolderFailure(error);
        }
        if (r == 0) status |= kStatusFoldersCreated;
    }
    if (!fs::OpenFolderHandle(folder_path, out)) {
        error = fs::LastError();
        return FolderFailure(error);
    }
    return status;
}

uint16_t DestinationRoot::OpenBelowRoot(const std::string& relative, uint8_t flags, fs::Folder& out, int& error) {
    uint16_t status = 0;
    // The root as the user named it; it is created like any folder when it is missing.
    if (!root_folder_.IsOpen()) {
        status = OpenByPath(root_, flags, root_folder_, error);
        if (status & kStatusStop) return status;
    }
    if (fs::OpenBeneath(root_folder_, relative, out)) return status;
    error = fs::LastError();
    if (error != ENOENT || (flags & kNoCreateFolders)) return FolderFailure(error);
    status |= MakeFoldersBelowRoot(relative, error);
    if (status & kStatusStop) return status;
    if (!fs::OpenBeneath(root_folder_, relative, out)) {
        error = fs::LastError();
        return FolderFailure(error);
    }
    return status;
}

uint16_t DestinationRoot::MakeFoldersBelowRoot(const std::string& relative, int& error) {
    // Made one level at a time, each beneath the root, so that no link can lead a new folder out.
    uint16_t status = 0;
    std::size_t pos = 0;
    while (pos <= relative.size()) {
        std::size_t slash = relative.find('/', pos);
        if (slash == std::string::npos) slash = relative.size();
        const std::string prefix = relative.substr(0, slash);
        const std::string parent = pos == 0 ? std::string() : relative.substr(0, pos - 1);
        pos = slash + 1;
        fs::Folder level;
        if (fs::OpenBeneath(root_folder_, prefix, level)) continue;
        fs::Folder above;
        if (fs::LastError() != ENOENT || !fs::OpenBeneath(root_folder_, parent, above)) {
            error = fs::LastError();
            return FolderFailure(error);
        }
        const int err = fs::MakeFolderAt(above, NamePart(prefix));
        if (err != 0 && err != EEXIST) {
            error = err;
            return FolderFailure(error);
        }
        if (err == 0) {
            status |= kStatusFoldersCreated;
            uses_.push_back({row_, prefix, true});
        }
    }
    return status;
}

void DestinationRoot::RemoveFoldersMadeAfter(int32_t row, const std::vector<const DestinationRoot*>& all) {
    int error = 0;
    if (row <= 0 || root_.empty() || (!root_folder_.IsOpen() && (OpenByPath(root_, kNoCreateFolders, root_folder_, error) & kStatusStop)))
        return;
    // A folder stays when any row up to the stop made or used it, or anything beneath it.
    auto used_by_earlier = [&](const std::string& folder) {
        std::string beneath;
        for (const DestinationRoot* root : all)
            for (const FolderUse& use : root->uses_)
                if (use.Row <= row && BelowRoot(folder, use.Relative, beneath)) return true;
        return false;
    };
    std::vector<std::string> later;
    for (const DestinationRoot* root : all)
        for (const FolderUse& use : root->uses_)
            if (use.Made && use.Row > row && !use.Relative.empty() && !used_by_earlier(use.Relative))
                later.push_back(use.Relative);
    // The deepest first, so that a folder emptied of its own made folders goes too.
    std::sort(later.begin(), later.end(), [](const std::string& a, const std::string& b) {
        const auto depth = [](const std::string& t) { return std::count(t.begin(), t.end(), '/'); };
        return depth(a) != depth(b) ? depth(a) > depth(b) : a < b;
    });
    later.erase(std::unique(later.begin(), later.end()), later.end());
    for (const std::string& folder : later) {
        const std::size_t slash = folder.rfind('/');
        fs::Folder parent;
        if (!fs::OpenBeneath(root_folder_, slash == std::string::npos ? std::string() : folder.substr(0, slash), parent))
            continue;
        fs::RemoveEmptyFolderAt(parent, NamePart(folder));  // one that holds anything stays
    }
    cached_.reset();
    cached_path_.clear();
}

namespace {

// The first free name in `folder` formed from `name` with "_1", "_2", ... before its extension.
std::string UniqueNameAt(const fs::Folder& folder, const std::string& name) {
    fs::PathFacts f;
    return FirstFreeName(name, [&](const std::string& n) { return fs::GetFactsAt(folder, n, false, f); });
}

// Why the existing entry `name` of `folder` may not be replaced; empty when it may. Both the entry and
// what a link leads to are checked, so no alias of a source passes.
std::string Refusal(const fs::Folder& folder, const std::string& name, const fs::PathFacts& entry,
                    const WriteRules& rules) {
    fs::PathFacts target = entry;
    const bool have_target = !entry.is_symlink || fs::GetFactsAt(folder, name, true, target);
    auto is_own = [&](const fs::PathFacts& f) {
        return rules.HasOwn && f.device == rules.OwnDevice && f.inode == rules.OwnInode;
    };
    auto is_source = [&](const fs::PathFacts& f) { return rules.Sources && rules.Sources->Has(f.device, f.inode); };
    if (is_own(entry) || (have_target && is_own(target))) return "the destination is the source file itself";
    if (is_source(entry) || (have_target && is_source(target)))
        return "the destination is another source file of this run";
    if (entry.is_folder || (have_target && target.is_folder)) return "the destination is a folder";
    if (!entry.is_symlink && !entry.is_file) return "the destination is not a regular file";
    if (have_target && fs::IsReadOnly(target)) return "the existing destination is read-only";
    if (have_target && !fs::CanWriteAt(folder, name)) return "this user may not write the existing destination";
    return std::string();
}

// Looks at the destination before anything is written: its folders, then overwrite, rename or
// refusal when it exists. `name` may change (rename mode). `entry_out` gets the existing entry's facts.
// Whether the entry, or what it leads to, is the row's own source.
bool IsOwnSource(const fs::Folder& folder, const std::string& name, const fs::PathFacts& entry,
                 const WriteRules& rules) {
    if (!rules.HasOwn) return false;
    if (entry.device == rules.OwnDevice && entry.inode == rules.OwnInode) return true;
    fs::PathFacts target;
    return entry.is_symlink && fs::GetFactsAt(folder, name, true, target) && target.device == rules.OwnDevice &&
           target.inode == rules.OwnInode;
}

// The rules for a destination that exists: own source, rename, overwrite or refusal. `name` may
// change (rename mode); 0 for a name that is free.
uint16_t LookAtDestination(const fs::Folder& folder, std::string& name, uint8_t flags, const WriteRules& rules,
                           std::string& reason, fs::PathFacts& entry) {
    if (!fs::GetFactsAt(folder, name, false, entry)) return 0;  // a new file
    // Whatever the mode, no row writes onto its own source (rename mode would only copy it beside).
    if (IsOwnSource(folder, name, entry, rules)) {
        reason = "the destination is the source file itself";
        return kStatusError | kStatusStop;
    }
    if (flags & kRename) {
        name = UniqueNameAt(folder, name);
        return kStatusNewName;
    }
    if (flags & kOverwrite) {
        reason = Refusal(folder, name, entry, rules);
        if (!reason.empty()) return kStatusError | kStatusStop;
        return kStatusDeleted;
    }
    reason = "the destination exists (neither overwrite nor rename)";
    return kStatusExists | kStatusStop;
}

uint16_t PreparePlace(const std::string& path, uint8_t flags, const WriteRules& rules,
                      std::shared_ptr<const fs::Folder>& folder, std::string& name, std::string& reason,
                      fs::PathFacts& entry_out, int& error) {
    reason.clear();
    DestinationRoot none;
    DestinationRoot& root = rules.Root ? *rules.Root : none;
    uint16_t status = root.Place(path, flags, folder, name, error);
    if (status & kStatusStop) return status;
    // Deciding at the commit saves a look per row; the commit applies the same rules to a taken name.
    if (rules.DecideAtCommit && !(flags & kSkipIdentical)) return status;
    return status | LookAtDestination(*folder, name, flags, rules, reason, entry_out);
}

// The output could not be made: when the destination was not looked at, its own state may say
// better why (a read-only file, a folder in its place) than the failed creation does.
void ExplainFailedCreation(const fs::Folder& folder, const std::string& name, uint8_t flags, const WriteRules& rules,
                           std::string& reason) {
    if (!rules.DecideAtCommit || !reason.empty()) return;
    std::string looked = name;
    fs::PathFacts entry;
    const uint16_t st = LookAtDestination(folder, looked, flags, rules, reason, entry);
    if (!(st & kStatusStop)) reason.clear();
}

// A fresh temporary name beside the destination (hidden, unique to this process and call).
std::string TemporaryName() {
    static std::atomic<uint64_t> counter{0};
    static const uint64_t salt = [] {
        std::random_device rd;
        return (static_cast<uint64_t>(rd()) << 32) ^ static_cast<uint64_t>(getpid());
    }();
    char name[64];
    std::snprintf(name, sizeof name, ".rowsmith-%016llx.tmp",
                  static_cast<unsigned long long>(salt + counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL));
    return name;
}

// Creates the output file in `folder`: without a name where the file system can, else under a
// temporary name (`temp`).
bool CreateOutput(fs::File& file, const fs::Folder& folder, uint32_t mode, std::string& temp) {
    temp.clear();
    if (file.CreateUnnamed(folder, mode)) return true;
    const int err = file.Error();
    if (err != EOPNOTSUPP && err != EISDIR && err != EINVAL) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = TemporaryName();
        if (file.CreateNewAt(folder, temp, mode)) return true;
        if (file.Error() != EEXIST) break;
    }
    temp.clear();
    return false;
}

// Removes what the output left behind: nothing for a file without a name; a temporary name only while
// it is still this very file (it is checked on the open descriptor, so the file stays open until here).
void DropOutput(fs::File& file, const fs::Folder* folder, std::string& temp) {
    if (!temp.empty() && folder) {
        fs::PathFacts mine;
        if (file.IsOpen() && file.GetFacts(mine)) fs::DeleteIfSame(*folder, temp, mine.device, mine.inode);
    }
    temp.clear();
    if (file.IsOpen()) file.Close();
}

// Gives the complete output its final name. A new name is taken only if it is still free; when it was
// taken meanwhile, the rules are applied to what took it, as if it had been there from the start. A
// file to be replaced is checked once more just before it is. `replaced_mode` is set from the file
// replaced; `reason` says why a name was refused. The file stays open (its bits may still be set).
bool Commit(fs::File& file, const fs::Folder& folder, std::string& name, std::string& temp, uint8_t flags,
            const WriteRules& rules, bool replaces, std::string& reason, uint32_t* replaced_mode) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!replaces) {
            const bool ok = temp.empty() ? file.LinkAt(folder, name) : fs::RenameAt(folder, temp, name, false);
            if (ok) {
                temp.clear();
                return true;
            }
            const int err = temp.empty() ? file.Error() : fs::LastError();
            if (err != EEXIST) {
                errno = err;
                return false;
            }
            // Taken meanwhile (another program, another run, an earlier row of this one), or never
            // looked at: the rules of the look before writing apply now.
            fs::PathFacts entry;
            if (!fs::GetFactsAt(folder, name, false, entry)) continue;  // gone again
            if (IsOwnSource(folder, name, entry, rules)) {
                reason = "the destination is the source file itself";
                errno = EPERM;
                return false;
            }
            if (flags & kRename) {
                name = UniqueNameAt(folder, name);
                continue;
            }
            if (!(flags & kOverwrite)) {
                reason = "the destination exists (neither overwrite nor rename)";
                errno = EEXIST;
                return false;
            }
            replaces = true;
        }
        fs::PathFacts entry;
        if (fs::GetFactsAt(folder, name, false, entry)) {
            reason = Refusal(folder, name, entry, rules);
            if (!reason.empty()) {
                errno = EPERM;
                return false;
            }
            if (replaced_mode) {
                fs::PathFacts target = entry;
                if (!entry.is_symlink || fs::GetFactsAt(folder, name, true, target)) *replaced_mode = target.mode;
                file.SetMode(*replaced_mode);
            }
        } else {
            replaces = false;  // gone meanwhile: the name is taken as a new one
            continue;
        }
        if (temp.empty()) {
            // A file without a name gets a temporary one first: a rename is what replaces atomically.
            bool named = false;
            for (int t = 0; t < 100 && !named; ++t) {
                temp = TemporaryName();
                named = file.LinkAt(folder, temp);
                if (!named && file.Error() != EEXIST) break;
            }
            if (!named) {
                const int err = file.Error();
                temp.clear();
                errno = err;
                return false;
            }
        }
        if (fs::RenameAt(folder, temp, name, true)) {
            temp.clear();
            return true;
        }
        const int err = fs::LastError();
        DropOutput(file, &folder, temp);
        errno = err;
        return false;
    }
    errno = EEXIST;
    return false;
}

}  // namespace

uint16_t PrepareDestination(std::string& path, uint8_t flags) {
    std::shared_ptr<const fs::Folder> folder;
    std::string name, reason;
    fs::PathFacts entry;
    int error = 0;
    const uint16_t status = PreparePlace(path, flags, WriteRules{}, folder, name, reason, entry, error);
    if (!(status & kStatusStop)) path = Join(FolderPart(path), name);
    return status;
}

uint16_t CopyFile(std::string_view source, std::string_view destination, uint8_t flags, std::string* written) {
    return CopyFile(source, destination, flags, written, KnownFacts{});
}

uint16_t CopyFile(std::string_view source, std::string_view destination, uint8_t flags, std::string* written,
                  const KnownFacts& known, const WriteRules* rules) {
    PendingCopy copy;
    uint16_t status = 0;
    const bool begun = BeginCopy(source, destination, flags, known, copy, status, rules);
    if (written) *written = copy.Destination;
    if (!begun) return status;
    status = FinishCopy(copy);
    if (written) *written = copy.Destination;
    return status;
}

bool BeginCopy(std::string_view source, std::string_view destination, uint8_t flags, const KnownFacts& known,
               PendingCopy& copy, uint16_t& status, const WriteRules* rules) {
    std::string dest = Resolve(destination, FolderPart(source));
    copy.Destination = dest;
    copy.Flags = flags;
    if (SamePath(source, dest)) {
        status = kStatusError | kStatusStop;
        copy.Reason = "the destination is the source file itself";
        return false;
    }
    copy.Rules = rules ? *rules : WriteRules{};
    fs::PathFacts& src_facts = copy.SourceFacts;
    // The source is opened first, so that an unreadable one changes nothing at the destination; only a
    // regular file is taken (a pipe would wait for a writer), and its facts come from the descriptor.
    if (known.SourceFile && known.SourceFile->IsOpen()) {
        copy.In = std::move(*known.SourceFile);
        src_facts = *known.Source;
    } else if (!copy.In.OpenSource(source, src_facts)) {
        status = kStatusError | kStatusStop;
        copy.Reason = copy.In.NotRegular() ? "the source is not a regular file"
                      : copy.In.Error() == ENOENT ? "the source file no longer exists"
                                                  : "the source cannot be read: " + std::string(std::strerror(copy.In.Error()));
        return false;
    }
    if (!copy.Rules.HasOwn) {
        copy.Rules.HasOwn = true;
        copy.Rules.OwnDevice = src_facts.device;
        copy.Rules.OwnInode = src_facts.inode;
    }
    int error = 0;
    fs::PathFacts entry;
    status = PreparePlace(dest, flags, copy.Rules, copy.Folder, copy.Name, copy.Reason, entry, error);
    if (copy.Folder) copy.Destination = Join(FolderPart(dest), copy.Name);
    if ((flags & kSkipIdentical) && (status & kStatusDeleted)) {
        fs::PathFacts target = entry;
        if (entry.is_symlink) fs::GetFactsAt(*copy.Folder, copy.Name, true, target);
        if (target.is_file && NamePart(source) == copy.Name && src_facts.size == target.size &&
            src_facts.write_ns == target.write_ns) {
            copy.In.Close();
            status = kStatusExists;
            return false;
        }
    }
    if (status & kStatusStop) {
        copy.In.Close();
        errno = error;
        return false;
    }
    copy.Replaces = (status & kStatusDeleted) != 0;
    if (!CreateOutput(copy.Out, *copy.Folder, src_facts.mode, copy.Temp)) {
        const int err = copy.Out.Error();
        ExplainFailedCreation(*copy.Folder, copy.Name, flags, copy.Rules, copy.Reason);
        fs::SetLastError(err);
        copy.In.Close();
        status |= kStatusError;
        errno = err;
        return false;
    }
    copy.Status = status;
    return true;
}

bool MoveCopyBytes(PendingCopy& copy) {
    const fs::PathFacts& src_facts = copy.SourceFacts;
    bool ok = fs::CopyContents(copy.In, copy.Out);
    int err = ok ? 0 : fs::LastError();
    // Times and permission bits go through the open file (no path look-ups); the bits are best effort.
    // A file created with the source's bits has them already, unless the umask took some away; a file
    // that replaces another takes that one's bits at the commit.
    if (ok && !fs::File::CreatedWithMode(src_facts.mode)) copy.Out.SetMode(src_facts.mode);
    if (ok && !copy.Out.SetTimes(src_facts.access_ns, src_facts.write_ns)) err = copy.Out.Error(), ok = false;
    copy.In.Close();
    copy.MoveError = ok ? 0 : (err != 0 ? err : EIO);
    return ok;
}

uint16_t CommitCopy(PendingCopy& copy) {
    bool ok = copy.MoveError == 0;
    int err = copy.MoveError;
    if (ok) {
        std::string name = copy.Name;
        uint32_t mode = copy.SourceFacts.mode;
        ok = Commit(copy.Out, *copy.Folder, name, copy.Temp, copy.Flags, copy.Rules, copy.Replaces, copy.Reason,
                    &mode);
        if (!ok) err = errno;
        if (name != copy.Name) {
            copy.Name = name;
            copy.Destination = Join(FolderPart(copy.Destination), name);
            copy.Status |= kStatusNewName;
        }
    }
    if (ok && !copy.Out.Close()) {
        // The name is given already; a failing close of a local file system has nothing to undo.
        err = copy.Out.Error();
        ok = false;
    }
    if (!ok) {
        DropOutput(copy.Out, copy.Folder.get(), copy.Temp);
        errno = err;
        fs::SetLastError(err);
        return copy.Status | kStatusError;
    }
    return copy.Status | kStatusCopied;
}

uint16_t FinishCopy(PendingCopy& copy) {
    MoveCopyBytes(copy);
    return CommitCopy(copy);
}

void AbandonCopy(PendingCopy& copy) {
    DropOutput(copy.Out, copy.Folder.get(), copy.Temp);
    copy.In.Close();
}

std::string DestinationStatusReason(uint16_t status, int error) {
    std::string r;
    if (status & kStatusOutside)
        return "the destination folder lies behind a link that leads out of the destination";
    if (status & kStatusFolderFailed)
        r = (error == ENOTDIR) ? "the destination folder cannot be created: a file is in its way"
                               : "the destination folder cannot be created";
    else if (status & kStatusExists)
        r = "the destination exists (neither overwrite nor rename)";
    else if ((status & kStatusError) && (status & kStatusStop))
        r = "the existing destination cannot be replaced";
    else
        r = "writing the destination failed";
    if (error != 0 && error != ENOTDIR) {
        r += ": ";
        r += std::strerror(error);
    }
    return r;
}

// ---------------------------------------------------------------- reader

bool TReadTextFile::Open(std::string_view path) {
    fs::PathFacts facts;
    const bool have = fs::GetFacts(path, facts);
    if (!have) facts.exists = false;
    return Open(path, facts);
}

bool TReadTextFile::Open(std::string_view path, const fs::PathFacts& facts) {
    fs::File* const adopt = adopt_;
    adopt_ = nullptr;
    FileSize = 0;
    ResetLines();
    Opened = 0;
    encoding_ = text::Encoding{text::EncodingKind::Bytes, false, {}};
    mode_ = Mode::Pass;
    FileName = path;
    caption_ = "Reading:" + FileName;
    text::ApplyGaugeSettings(Progress, text::GaugeUse::Reading);
    if (!facts.exists) {
        LastIOStatus = 2;
        return false;
    }
    FileSize = facts.size;
    Remaining = FileSize;
    if (adopt && adopt->IsOpen()) {
        file_ = std::move(*adopt);
    } else if (!file_.OpenSource(path, opened_facts_)) {
        LastIOStatus = file_.NotRegular() ? IoStatus(EINVAL) : IoStatus(file_.Error());
        fs::SetLastError(LastIOStatus);
        return false;
    } else {
        // What was opened counts, not what was looked at before.
        FileSize = opened_facts_.size;
        Remaining = FileSize;
    }
    LastIOStatus = 0;
    Opened = 1;
    ShowProgress = 1;
    return StartText(nullptr);
}

void TReadTextFile::ResetLines() {
    LinesRead = 0;
    BytesConsumed = 0;
    Remaining = FileSize;
    Percent = 0;
    PreviousPosition = 0;
    CurrentLine.clear();
    splitter_.Reset(Ends);
    last_end_ = LineEnd::None;
    pending_.clear();
    pending_pos_ = 0;
    raw_.clear();
    progress_batch_.Restart();
    EndReached = 0;
    read_failed_ = false;
    file_read_ = 0;
    validated_ = 0;
    wrong_guess_ = false;
    decode_error_.clear();
    ratio_ = 1.0;
    raw_total_ = text_total_ = 0;
}

text::Encoding FirstBlockEncoding(const EncodingChoice& choice, std::string_view head, bool whole) {
    if (choice.Detect) return text::DetectEncoding(head, whole, choice.Legacy);
    text::Encoding e = choice.Fixed;
    if (e.Kind != text::EncodingKind::Legacy && e.Kind != text::EncodingKind::Bytes) {
        text::Encoding marked = e;
        marked.Bom = true;
        e.Bom = head.starts_with(text::BomBytes(marked));
    }
    return e;
}

bool TReadTextFile::StartText(const text::Encoding* forced) {
    EncodingChoice choice = Encodings;
    if (forced) {
        choice.Detect = false;
        choice.Fixed = *forced;
    }
    const bool detect = choice.Detect;
    mode_ = Mode::Pass;
    if (!detect && choice.Fixed.Kind == text::EncodingKind::Bytes) {
        encoding_ = choice.Fixed;  // nothing is read ahead: bytes as they are
        return true;
    }
    // The first block decides, and a byte order mark is taken off (and written back by the caller).
    ReadRaw(raw_);
    if (read_failed_) return true;  // told through ReadFailed, as any failed read
    const text::Encoding e = FirstBlockEncoding(choice, raw_, EndReached != 0);
    const std::size_t skip = text::BomBytes(e).size();
    encoding_ = e;
    if (e.Kind == text::EncodingKind::Utf8 || e.Kind == text::EncodingKind::Bytes) {
        pending_.swap(raw_);
        raw_.clear();
        pending_pos_ = skip;
        // Detected UTF-8 without a mark stays a guess until the whole file has been seen.
        if (detect && e.Kind == text::EncodingKind::Utf8 && !e.Bom && !EndReached) {
            mode_ = Mode::Validate;
            validated_ = 0;
            CheckUtf8();
        }
        return true;
    }
    std::string error;
    if (!decoder_.Open(e, error)) {
        DecodeFailed(error);
        return true;
    }
    mode_ = Mode::Decode;
    const std::string_view body = std::string_view(raw_).substr(std::min(skip, raw_.size()));
    if (!decoder_.Feed(body, EndReached != 0, pending_, error)) {
        if (detect) {
            // Not text in this encoding, and nothing was read as lines yet: the file's bytes as they are.
            encoding_ = text::Encoding{text::EncodingKind::Bytes, false, {}};
            mode_ = Mode::Pass;
            pending_.swap(raw_);
            pending_pos_ = 0;
            raw_.clear();
            return true;
        }
        DecodeFailed(error);
        return true;
    }
    raw_total_ += static_cast<int64_t>(raw_.size());
    text_total_ += static_cast<int64_t>(pending_.size());
    if (text_total_ > 0) ratio_ = static_cast<double>(raw_total_) / static_cast<double>(text_total_);
    raw_.clear();
    return true;
}

void TReadTextFile::CheckUtf8() {
    const std::string_view fresh = std::string_view(pending_).substr(validated_);
    const std::size_t ok = text::ValidUtf8Prefix(fresh);
    if (ok < fresh.size() && (EndReached || !IsCutUtf8(fresh.substr(ok)))) {
        if (MayReread) {
            // Not UTF-8 after all: the file is read again as the legacy code page, whole.
            wrong_guess_ = true;
            EndReached = 1;
        } else {
            mode_ = Mode::Pass;  // it stays UTF-8; its odd bytes are kept as they are
        }
        return;
    }
    validated_ += ok;
    if (EndReached) mode_ = Mode::Pass;
}

void TReadTextFile::DecodeFailed(const std::string& error) {
    EndReached = 1;
    if (Encodings.Detect && MayReread && encoding_.Kind != text::EncodingKind::Bytes) {
        wrong_guess_ = true;  // read again as bytes
        return;
    }
    decode_error_ = error;
    read_failed_ = true;
    LastIOStatus = IoStatus(EILSEQ);
}

bool TReadTextFile::Reread() {
    if (!Opened || !file_.IsOpen()) return false;
    text::Encoding next{text::EncodingKind::Bytes, false, {}};
    if (encoding_.Kind == text::EncodingKind::Utf8) {
        std::string error;
        if (!text::ParseEncodingName(Encodings.Legacy, next, error)) next = text::Encoding{text::EncodingKind::Bytes, false, {}};
    }
    if (::lseek(file_.Descriptor(), 0, SEEK_SET) != 0) {
        read_failed_ = true;
        LastIOStatus = IoStatus(errno);
        return false;
    }
    ResetLines();
    return StartText(&next);
}

bool TReadTextFile::ReadBlock() {
    switch (mode_) {
        case Mode::Pass: return ReadRaw(pending_);
        case Mode::Validate: {
            const bool got = ReadRaw(pending_);
            if (read_failed_) return false;
            CheckUtf8();
            return got && !wrong_guess_;
        }
        case Mode::Decode: {
            const std::size_t before = pending_.size();
            ReadRaw(raw_);
            if (read_failed_) return false;
            std::string error;
            if (!decoder_.Feed(raw_, EndReached != 0, pending_, error)) {
                raw_.clear();
                DecodeFailed(error);
                return false;
            }
            raw_total_ += static_cast<int64_t>(raw_.size());
            text_total_ += static_cast<int64_t>(pending_.size() - before);
            if (text_total_ > 0) ratio_ = static_cast<double>(raw_total_) / static_cast<double>(text_total_);
            raw_.clear();
            return pending_.size() > before || !EndReached;
        }
    }
    return false;
}

bool TReadTextFile::ReadRaw(std::string& into) {
    // A small file needs no block of full size (the buffer is cleared when it grows).
    int64_t want = std::max<int64_t>(BlockSize, 1);
    const int64_t left = FileSize - file_read_;
    if (left >= 0 && left < want - 4096) want = left + 4096;
    const std::size_t old = into.size();
    into.resize(old + static_cast<std::size_t>(want));
    const int64_t n = file_.Read(into.data() + old, want);
    into.resize(old + static_cast<std::size_t>(std::max<int64_t>(n, 0)));
    if (n <= 0) {
        if (n < 0) {
            read_failed_ = true;
            LastIOStatus = IoStatus(file_.Error());
        }
        EndReached = 1;
        return false;
    }
    file_read_ += n;
    // A file that gave less than was asked and at least the size it had when it was opened is at its
    // end: the read that would return nothing is saved. Files that report no size (pseudo-files) and
    // reads cut short before the known size go on to the read that returns nothing.
    if (n < want && FileSize > 0 && file_read_ >= FileSize) EndReached = 1;
    return true;
}

bool TReadTextFile::FillUntilLineEnd() {
    // Searches only the bytes not yet searched, so a long line is scanned once however many blocks it spans.
    std::size_t searched = pending_pos_;
    for (;;) {
        const std::size_t from = std::max(searched, pending_pos_);
        const char* base = pending_.data();
        const void* hit = std::memchr(base + from, '\n', pending_.size() - from);
        if (hit) {
            const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
            if (splitter_.Ends(base, pending_pos_, lf)) return true;
            searched = lf + 1;
            if (searched < pending_.size()) continue;
        } else {
            searched = pending_.size();
        }
        if (EndReached) return false;
        if (pending_pos_ > 0 && pending_pos_ >= pending_.size() / 2) {
            pending_.erase(0, pending_pos_);
            searched -= pending_pos_;
            validated_ = validated_ > pending_pos_ ? validated_ - pending_pos_ : 0;
            pending_pos_ = 0;
        }
        if (!ReadBlock()) return false;
    }
}

void TReadTextFile::Consume(int64_t taken, int64_t lines) {
    PreviousPosition = BytesConsumed;
    // Decoded text is counted in the file's bytes, so that the share consumed ends at the file's size.
    BytesConsumed += ratio_ == 1.0 ? taken : static_cast<int64_t>(static_cast<double>(taken) * ratio_);
    Remaining = FileSize - BytesConsumed;
    LinesRead = static_cast<int32_t>(std::min<int64_t>(int64_t{LinesRead} + lines, 2147483647));
    Percent = FileSize > 0 ? static_cast<double>(BytesConsumed) / static_cast<double>(FileSize) * 100.0 : 0;
}

void TReadTextFile::Account(std::string_view line, int64_t terminator) {
    Consume(static_cast<int64_t>(line.size()) + terminator, 1);
    // A record without a view shows nothing, whatever it is fed. With one, it is fed in batches
    // (text::GaugeBatch) and at the file's last line.
    if (Progress.views && (progress_batch_.Count() || BytesConsumed >= FileSize)) FeedProgress(line);
}

void TReadTextFile::FeedProgress(std::string_view line) {
    Progress.UpdateCounted(caption_, line.substr(0, 100), static_cast<int32_t>(Percent), progress_batch_.Pending());
    progress_batch_.Fed(Progress);
}

bool TReadTextFile::ReadLineView(std::string_view& line) {
    if (!Opened || wrong_guess_) return false;
    if (EndReached && pending_pos_ >= pending_.size()) return false;
    if (FillUntilLineEnd()) {
        // Find the terminator again from the line's start (cheap: it is the first one that qualifies).
        std::size_t p = pending_pos_;
        for (;;) {
            const std::size_t lf = pending_.find('\n', p);
            if (splitter_.Ends(pending_.data(), pending_pos_, lf)) {
                std::size_t end = lf;
                int64_t term = 1;
                last_end_ = LineSplitter::EndAt(pending_.data(), pending_pos_, lf);
                if (last_end_ == LineEnd::Crlf) {
                    --end;
                    term = 2;
                }
                line = std::string_view(pending_).substr(pending_pos_, end - pending_pos_);
                pending_pos_ = lf + 1;
                Account(line, term);
                return true;
            }
            p = lf + 1;
        }
    }
    if (wrong_guess_ || pending_pos_ >= pending_.size()) return false;
    line = std::string_view(pending_).substr(pending_pos_);
    pending_pos_ = pending_.size();
    last_end_ = LineEnd::None;
    Account(line, 0);
    return true;
}

bool TReadTextFile::ReadLinesView(std::string_view& block, int64_t& lines, int64_t most) {
    if (!Opened || wrong_guess_ || Rule() == LineEnds::Auto) return false;
    if (EndReached && pending_pos_ >= pending_.size()) return false;
    lines = 0;
    if (!FillUntilLineEnd()) {
        // The last line, without an end.
        if (wrong_guess_ || pending_pos_ >= pending_.size()) return false;
        block = std::string_view(pending_).substr(pending_pos_);
        pending_pos_ = pending_.size();
        last_end_ = LineEnd::None;
        lines = 1;
        Account(block, 0);
        return true;
    }
    // Up to the last LF that ends a line: every line end the buffer holds is found once.
    const std::string_view rest = std::string_view(pending_).substr(pending_pos_);
    const WholeLines whole = CountWholeLines(rest, splitter_.SplitsAll(), 0, most);
    lines = whole.Lines;
    block = rest.substr(0, whole.Bytes);
    last_end_ = whole.LastEnd(rest);
    pending_pos_ += whole.Bytes;
    // Counted as the lines read one by one would be.
    Consume(static_cast<int64_t>(block.size()), lines);
    return true;
}

bool TReadTextFile::DrainToEnd() {
    if (!Opened) return false;
    while (!EndReached) {
        if (mode_ == Mode::Validate) {
            // The rest must still prove the file UTF-8; a character cut by a block waits for the next.
            pending_.erase(0, validated_);
            pending_pos_ = 0;
            validated_ = 0;
            ReadBlock();
        } else {
            // Undecoded: no line of the rest is wanted, only that it reads.
            pending_.clear();
            pending_pos_ = 0;
            ReadRaw(raw_);
            raw_.clear();
        }
    }
    pending_.clear();
    pending_pos_ = 0;
    return !read_failed_;
}

bool TReadTextFile::CountLines(LineIndex& index) {
    if (!Opened || wrong_guess_ || read_failed_) return false;
    LineCountOptions o;
    if (mode_ == Mode::Validate && MayReread) {
        o.Check = CountCheck::Validate;
    } else if (mode_ == Mode::Decode) {
        o.Check = CountCheck::Decode;
        o.WrongOnFailure = Encodings.Detect && MayReread;  // as DecodeFailed decides
    }
    if (Progress.views) {
        // No line is taken apart: the record shows the share read and the lines counted.
        o.Progress = [this](int64_t offset, int64_t lines) {
            const int64_t fresh = std::max<int64_t>(lines - LinesRead, 1);
            LinesRead = static_cast<int32_t>(std::min<int64_t>(lines, 2147483647));
            const int64_t share = FileSize > 0 ? std::min<int64_t>(offset * 100 / FileSize, 100) : 100;
            Progress.UpdateCounted(caption_, std::string_view(), static_cast<int32_t>(share),
                                   static_cast<int32_t>(std::min<int64_t>(fresh, 2147483647)));
        };
    }
    files::CountLines(file_, encoding_, Ends, o, index);
    EndReached = 1;
    pending_.clear();
    pending_pos_ = 0;
    raw_.clear();
    validated_ = 0;
    progress_batch_.Restart();
    if (index.Failed) {
        read_failed_ = true;
        LastIOStatus = IoStatus(index.Error);
        return false;
    }
    if (index.WrongGuess) {
        wrong_guess_ = true;  // read again by the caller, like a guess proven wrong while reading lines
        return false;
    }
    if (!index.DecodeError.empty()) {
        DecodeFailed(index.DecodeError);
        return false;
    }
    LinesRead = static_cast<int32_t>(std::min<int64_t>(index.Lines, 2147483647));
    BytesConsumed = FileSize;
    Remaining = 0;
    Percent = 100;
    splitter_.Reset(index.Rule);
    Progress.Finish();
    return true;
}

int64_t TReadTextFile::EstimateLineCount() const {
    int64_t lines = LinesRead;
    const char* p = pending_.data() + pending_pos_;
    const char* const end = pending_.data() + pending_.size();
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!lf) {
            ++lines;  // text after the last terminator counts as a line
            break;
        }
        if (splitter_.SplitsAll() || (lf > pending_.data() + pending_pos_ && lf[-1] == '\r')) ++lines;
        p = lf + 1;
    }
    if (EndReached || file_read_ >= FileSize || file_read_ <= 0) return lines;
    return static_cast<int64_t>(static_cast<double>(lines) * static_cast<double>(FileSize) / static_cast<double>(file_read_));
}

bool TReadTextFile::ReadLine() {
    std::string_view v;
    if (!ReadLineView(v)) return false;
    CurrentLine.assign(v);
    return true;
}

bool TReadTextFile::ReadNonEmptyLine() {
    while (ReadLine())
        if (CurrentLine.find_first_not_of(" \t") != std::string::npos) return true;
    return false;
}

bool TReadTextFile::Close() {
    bool ok = true;
    if (file_.IsOpen()) ok = file_.Close();
    if (!ok) LastIOStatus = IoStatus(file_.Error());
    // Lines not yet counted (the file grew after it was opened) keep the last detail shown.
    if (progress_batch_.Pending() > 0) {
        const std::string last = Progress.detail;
        FeedProgress(last);
    }
    Progress.Finish();
    Opened = 0;
    return ok && !read_failed_;
}

// ---------------------------------------------------------------- writer

TWriteTextFile::~TWriteTextFile() { Discard(); }

bool TWriteTextFile::OpenForWriting(std::string_view path, uint8_t flags, const WriteRules* rules, bool defer) {
    Discard();
    create_failed_ = false;
    Reason.clear();
    rules_ = rules ? *rules : WriteRules{};
    const std::string p(path);
    int error = 0;
    fs::PathFacts entry;
    PrepareStatus = PreparePlace(p, flags, rules_, folder_, name_, Reason, entry, error);
    if (PrepareStatus & kStatusStop) {
        LastIOStatus = IoStatus(error);
        fs::SetLastError(error);
        return false;
    }
    FileName = Join(FolderPart(p), name_);
    Writes = 0;
    BytesWritten = 0;
    LineFill = 0;
    ItemPrefix.clear();
    HtmlFlag = 0;
    failed_ = false;
    encoding_ = false;
    encode_failed_ = false;
    flags_ = flags;
    buffer_.clear();
    replaces_ = (PrepareStatus & kStatusDeleted) != 0;
    replaced_mode_ = 0;
    LastIOStatus = 0;
    deferred_ = defer;
    if (!defer && !Create()) {
        folder_.reset();
        return false;
    }
    open_ = true;
    return true;
}

bool TWriteTextFile::Create() {
    deferred_ = false;
    if (CreateOutput(file_, *folder_, 0666, temp_)) return true;
    LastIOStatus = IoStatus(file_.Error());
    ExplainFailedCreation(*folder_, name_, flags_, rules_, Reason);
    fs::SetLastError(file_.Error());
    create_failed_ = true;
    failed_ = true;
    return false;
}

bool TWriteTextFile::Flush() {
    if (buffer_.empty() || failed_) return !failed_;
    if (deferred_ && !Create()) return false;
    if (!file_.Write(buffer_.data(), static_cast<int64_t>(buffer_.size()))) {
        failed_ = true;
        LastIOStatus = IoStatus(file_.Error());
    }
    buffer_.clear();
    return !failed_;
}

bool TWriteTextFile::SetEncoding(const text::Encoding& e, std::string& error) {
    encoding_ = e.Kind != text::EncodingKind::Utf8 && e.Kind != text::EncodingKind::Bytes;
    encode_failed_ = false;
    if (encoding_ && !encoder_.Open(e, error)) {
        encoding_ = false;
        return false;
    }
    const std::string_view bom = text::BomBytes(e);
    return bom.empty() || PutRaw(bom);
}

bool TWriteTextFile::Restart() {
    if (!open_) return false;
    buffer_.clear();
    failed_ = false;
    encode_failed_ = false;
    Writes = 0;
    BytesWritten = 0;
    LineFill = 0;
    if (deferred_) return true;  // nothing was written to a file yet
    if (::ftruncate(file_.Descriptor(), 0) != 0 || ::lseek(file_.Descriptor(), 0, SEEK_SET) != 0) {
        failed_ = true;
        LastIOStatus = IoStatus(errno);
        return false;
    }
    return true;
}

bool TWriteTextFile::Put(std::string_view text) {
    if (!encoding_) return PutRaw(text);
    if (!open_ || failed_) return false;
    encoded_.clear();
    std::string error;
    if (!encoder_.Feed(text, false, encoded_, error)) {
        failed_ = true;
        encode_failed_ = true;
        Reason = error;
        return false;
    }
    return PutRaw(encoded_);
}

bool TWriteTextFile::PutRaw(std::string_view text) {
    if (!open_ || failed_) return false;
    if (buffer_.size() + text.size() > kWriteBuffer) {
        if (!Flush()) return false;
        if (text.size() >= kWriteBuffer) {
            if (deferred_ && !Create()) return false;
            if (!file_.Write(text.data(), static_cast<int64_t>(text.size()))) {
                failed_ = true;
                LastIOStatus = IoStatus(file_.Error());
                return false;
            }
            return true;
        }
    }
    buffer_.append(text);
    return true;
}

bool TWriteTextFile::WriteText(std::string_view text) {
    if (MaximumLineLength > 0 && LineFill > 0) return WriteItem(text);
    ++Writes;
    if (!Put(text)) return false;
    BytesWritten += static_cast<int64_t>(text.size());
    LineFill += static_cast<int64_t>(text.size());
    return true;
}

bool TWriteTextFile::WriteLine(std::string_view text) {
    ++Writes;
    if (!Put(text) || !Put("\r\n")) return false;
    BytesWritten += static_cast<int64_t>(text.size()) + 2;
    LineFill = 0;
    return true;
}

bool TWriteTextFile::WriteItem(std::string_view text) {
    ++Writes;
    if (LineFill + static_cast<int64_t>(text.size()) > MaximumLineLength) {
        if (!Put("\r\n")) return false;
        BytesWritten += 2;
        LineFill = 0;
    } else {
        if (!Put(ItemPrefix)) return false;
        BytesWritten += static_cast<int64_t>(ItemPrefix.size());
        LineFill += static_cast<int64_t>(ItemPrefix.size());
    }
    if (!Put(text)) return false;
    BytesWritten += static_cast<int64_t>(text.size());
    LineFill += static_cast<int64_t>(text.size());
    return true;
}

bool TWriteTextFile::Close() {
    if (!open_) return false;
    bool ok = true;
    if (HtmlFlag) ok = WriteLine("</body>") && WriteLine("</html>");
    if (ok && encoding_) {
        // A character cut at the end of the text is no character: the encoder says so.
        encoded_.clear();
        std::string error;
        if (!encoder_.Feed({}, true, encoded_, error)) {
            encode_failed_ = true;
            Reason = error;
            ok = false;
        } else {
            ok = PutRaw(encoded_);
        }
    }
    ok = Flush() && ok;
    if (ok && deferred_) ok = Create();  // an empty output is a file too
    if (!ok || failed_) {
        if (LastIOStatus == 0) LastIOStatus = IoStatus(file_.Error() ? file_.Error() : EIO);
        Discard();
        return false;
    }
    // The file replaced passes its permission bits on (Commit sets them).
    std::string name = name_;
    if (!Commit(file_, *folder_, name, temp_, flags_, rules_, replaces_, Reason, &replaced_mode_)) {
        LastIOStatus = IoStatus(errno ? errno : EIO);
        Discard();
        return false;
    }
    if (name != name_) FileName = Join(FolderPart(FileName), name);
    name_ = name;
    open_ = false;
    if (!file_.Close()) {
        LastIOStatus = IoStatus(file_.Error());
        buffer_.clear();
        folder_.reset();
        return false;
    }
    folder_.reset();
    LastIOStatus = 0;
    return true;
}

void TWriteTextFile::Discard() {
    DropOutput(file_, folder_.get(), temp_);
    folder_.reset();
    buffer_.clear();
    open_ = false;
    deferred_ = false;
}

bool ProbeText(std::string_view path, const EncodingChoice& choice, TextFacts& facts) {
    TReadTextFile reader;
    reader.Ends = LineEnds::Auto;
    reader.Encodings = choice;
    reader.MayReread = true;
    reader.BlockSize = 64 << 10;
    if (!reader.Open(path)) return false;
    // The first line end decides; a file without one in its first MiB counts as having none.
    std::string_view line;
    while (reader.Rule() == LineEnds::Auto && reader.BytesConsumed < (1 << 20) && reader.ReadLineView(line)) {
    }
    if (reader.WrongGuess()) reader.Reread();
    const LineEnds rule = reader.Rule();
    facts.Encoding = reader.FileEncoding().Label();
    facts.LineEnds = rule == LineEnds::Crlf ? "CRLF" : rule == LineEnds::Lf ? "LF" : "none";
    reader.Close();
    return !reader.ReadFailed();
}

bool LoadTextFile(tables::ArrayOfFiles& table, std::string_view path, int code, LineEnds ends,
                  text::GaugeViewFactory* views) {
    table.Clear();
    table.Reserve(5000, true);
    TReadTextFile reader;
    reader.Ends = ends;
    reader.Progress.views = views;
    if (!reader.Open(path)) return false;
    if (code == tables::kCodeData && reader.FileSize > 0) table.ReserveText(static_cast<std::size_t>(reader.FileSize));
    std::string_view line;
    while (reader.ReadLineView(line)) table.AddLine(line, code);
    const bool ok = reader.Close();
    if (!ok) {
        table.Clear();
        return false;
    }
    table.ShrinkToFit();
    return true;
}

bool LoadTextFile(tables::ArrayOfFiles& table, TReadTextFile& reader, std::string_view path,
                  const fs::PathFacts& facts, int code, std::vector<LineEnd>* line_ends) {
    table.Clear();
    table.Reserve(5000, true);
    if (!reader.Open(path, facts)) return false;
    if (code == tables::kCodeData && reader.FileSize > 0) table.ReserveText(static_cast<std::size_t>(reader.FileSize));
    std::string_view line;
    do {
        table.Clear();
        if (line_ends) line_ends->clear();
        while (reader.ReadLineView(line)) {
            // Rows follow the lines the table keeps (it may filter some out).
            if (table.AddLine(line, code) && line_ends) line_ends->push_back(reader.LastEnd());
        }
    } while (reader.WrongGuess() && reader.Reread());
    if (!reader.Close()) {
        table.Clear();
        return false;
    }
    return true;
}

}  // namespace rowsmith::files
