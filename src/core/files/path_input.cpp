#include "files/path_input.h"

#include "files/paths.h"
#include "files/platform_fs.h"
#include "text/chars.h"

namespace rowsmith::files {

void InitPathInput(PathInputT& reg) {
    reg.InvalidColour = 0xC0C0C0;
    reg.Count = 0;
    reg.FileFilter = "Any file (*.*)";
    reg.Reserved = 0;
    for (auto& e : reg.Entries) e = PathEntry{};
}

uint8_t PathKindFromEditName(std::string_view name) {
    const std::string lower = text::LowerCase(name);
    if (lower.rfind("editfolder", 0) == 0) return kPathKindFolder;
    if (lower.rfind("editfile", 0) == 0) return kPathKindFile;
    return 0;
}

int FindPathEntry(const PathInputT& reg, const PathEditControl* edit) {
    if (!edit) return 0;
    for (int i = 1; i <= reg.Count; ++i)
        if (reg.Entries[static_cast<std::size_t>(i)].Control == edit) return i;
    return 0;
}

int RegisterPathEdit(PathInputT& reg, PathEditControl* edit, uint8_t kind, std::function<void()> change_handler,
                     std::function<void()> double_click_handler) {
    if (!edit) return -1;
    int index = FindPathEntry(reg, edit);
    if (index == 0) {
        if (reg.Count >= kMaxPathEntries) return -1;
        index = ++reg.Count;
        PathEntry& e = reg.Entries[static_cast<std::size_t>(index)];
        e = PathEntry{};
        e.Control = edit;
        e.BaseEntry = -1;
        e.SavedChangeHandler = std::move(change_handler);
        e.SavedDoubleClickHandler = std::move(double_click_handler);
        e.NormalColour = edit->Colour();
    }
    reg.Entries[static_cast<std::size_t>(index)].Kind = kind;
    Revalidate(reg, index);
    return index;
}

bool SetRelative(PathInputT& reg, PathEditControl* base, PathEditControl* edit) {
    const int b = FindPathEntry(reg, base);
    const int e = FindPathEntry(reg, edit);
    if (!b || !e || b == e) return false;
    reg.Entries[static_cast<std::size_t>(e)].BaseEntry = b;
    Revalidate(reg, e);
    return true;
}

namespace {

std::string ResolvedWithDepth(const PathInputT& reg, int entry, int depth) {
    if (entry < 1 || entry > reg.Count) return {};
    const PathEntry& e = reg.Entries[static_cast<std::size_t>(entry)];
    if (!e.Control) return {};
    const std::string t = e.Control->Text();
    if (IsAbsolute(t)) return t;
    std::string base;
    // A chain of relative edits ends; a cycle of them resolves to nothing.
    if (e.BaseEntry > 0 && depth < kMaxPathEntries) base = ResolvedWithDepth(reg, e.BaseEntry, depth + 1);
    if (base.empty()) base = e.FallbackBase;
    if (base.empty()) base = ProgramFolder();
    if (!IsAbsolute(base)) {
        // A fallback base that is itself relative is taken against the program folder.
        base = Resolve(base, ProgramFolder());
    }
    return Resolve(t, base);
}

void RevalidateWithDepth(PathInputT& reg, int entry, int depth) {
    if (entry < 1 || entry > reg.Count || depth > kMaxPathEntries) return;
    PathEntry& e = reg.Entries[static_cast<std::size_t>(entry)];
    if (!e.Control) return;
    const std::string resolved = ResolvedWithDepth(reg, entry, 0);
    e.Valid = !resolved.empty() && (e.Kind == kPathKindFolder ? fs::FolderExists(resolved) : fs::FileExists(resolved));
    e.Control->SetColour(e.Valid ? e.NormalColour : reg.InvalidColour);
    e.Control->SetHint(resolved);
    for (int i = 1; i <= reg.Count; ++i)
        if (i != entry && reg.Entries[static_cast<std::size_t>(i)].BaseEntry == entry) RevalidateWithDepth(reg, i, depth + 1);
    if (e.SavedChangeHandler) e.SavedChangeHandler();
}

}  // namespace

std::string ResolvedPathOfEntry(const PathInputT& reg, int entry) { return ResolvedWithDepth(reg, entry, 0); }

std::string ResolvedPath(const PathInputT& reg, const PathEditControl* edit) {
    return ResolvedWithDepth(reg, FindPathEntry(reg, edit), 0);
}

void Revalidate(PathInputT& reg, int entry) { RevalidateWithDepth(reg, entry, 0); }

void PathTextChanged(PathInputT& reg, PathEditControl* edit) { Revalidate(reg, FindPathEntry(reg, edit)); }

std::string DialogStartFolder(const PathInputT& reg, const PathEditControl* edit) {
    const int e = FindPathEntry(reg, edit);
    if (!e) return DeepestExistingFolder("");
    const std::string resolved = ResolvedPathOfEntry(reg, e);
    return DeepestExistingFolder(resolved.empty() ? reg.Entries[static_cast<std::size_t>(e)].Control->Text() : resolved);
}

void PathChosenInDialog(PathInputT& reg, PathEditControl* edit, const std::string& chosen) {
    const int e = FindPathEntry(reg, edit);
    if (!e) return;
    const std::string before = edit->Text();
    if (!chosen.empty()) edit->SetTextQuietly(chosen);
    PathEntry& entry = reg.Entries[static_cast<std::size_t>(e)];
    if (entry.SavedDoubleClickHandler) entry.SavedDoubleClickHandler();
    if (edit->Text() != before) Revalidate(reg, e);
}

bool PassesPathCheck(std::string_view path) {
    if (!IsAbsolute(path)) return false;
    if (!fs::FolderExists(Root(path))) return false;
    return !HasBadPathCharacters(path);
}

namespace {

std::string SideText(PathInputT& reg, int entry, bool resolved_form, bool path_check) {
    if (entry < 1) return {};
    if (resolved_form) {
        std::string r = ResolvedPathOfEntry(reg, entry);
        if (path_check && !PassesPathCheck(r)) r.clear();
        return r;
    }
    const PathEntry& e = reg.Entries[static_cast<std::size_t>(entry)];
    return e.Valid && e.Control ? e.Control->Text() : std::string();
}

}  // namespace

bool ValidatePair(PathInputT& reg, PathEditControl* source, PathEditControl* destination, uint8_t options,
                  std::string& destination_out, std::string& source_out) {
    const int s = FindPathEntry(reg, source);
    const int d = FindPathEntry(reg, destination);
    destination_out.clear();
    source_out = SideText(reg, s, options & kPairResolvedSource, options & kPairPathCheck);
    if (source_out.empty()) return false;
    if (!(options & kPairKeepFallbackBase) && d > 0) reg.Entries[static_cast<std::size_t>(d)].FallbackBase = source_out;
    destination_out = SideText(reg, d, options & kPairResolvedDestination, options & kPairPathCheck);
    if (destination_out.empty()) return false;
    if ((options & kPairMustDiffer) && SamePath(source_out, destination_out)) return false;
    return true;
}

std::string DeepestExistingFolder(std::string_view text) {
    if (!IsAbsolute(text)) {
        std::string cwd = fs::CurrentFolder();
        if (cwd.empty() || cwd.back() != '/') cwd += '/';
        return cwd;
    }
    const std::string path = Normalise(text);
    std::string best = Root(path);
    if (!fs::FolderExists(best)) return {};
    std::size_t pos = best.size();
    std::string prefix = best;
    while (pos < path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        prefix = Join(prefix, std::string_view(path).substr(pos, next - pos));
        if (!fs::FolderExists(prefix)) break;
        best = prefix;
        pos = next + 1;
    }
    if (best.empty() || best.back() != '/') best += '/';
    return best;
}

}  // namespace rowsmith::files
