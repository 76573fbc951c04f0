#include "files/paths.h"

#include <vector>

#include "files/platform_fs.h"
#include "text/chars.h"

namespace rowsmith::files {

namespace {

bool Win(PathStyle s) { return s == PathStyle::Windows; }

std::string ToBackslashes(std::string_view p) {
    std::string r(p);
    for (char& c : r)
        if (c == '/') c = '\\';
    return r;
}

// The components after the root, empty ones dropped.
std::vector<std::string_view> Components(std::string_view rest, PathStyle style) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || IsSeparator(rest[i], style)) {
            if (i > start) out.push_back(rest.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

bool SameComponent(std::string_view a, std::string_view b, PathStyle style) {
    return Win(style) ? text::EqualsIgnoreCase(a, b) : a == b;
}

bool AllDots(std::string_view c) {
    if (c.empty()) return false;
    for (char ch : c)
        if (ch != '.') return false;
    return true;
}

}  // namespace

bool IsSeparator(char c, PathStyle style) { return c == '/' || (Win(style) && c == '\\'); }

char PreferredSeparator(PathStyle style) { return Win(style) ? '\\' : '/'; }

bool IsAbsolute(std::string_view p, PathStyle style) {
    if (Win(style)) {
        if (p.size() >= 3 && p[1] == ':' && (p[2] == '\\' || p[2] == '/')) return true;
        return p.size() >= 2 && ((p[0] == '\\' && p[1] == '\\') || (p[0] == '/' && p[1] == '/'));
    }
    return !p.empty() && p[0] == '/';
}

std::size_t RootEnd(std::string_view path, PathStyle style) {
    if (Win(style)) {
        const std::string p = ToBackslashes(path);
        const std::size_t scheme = p.find(":\\\\");
        if (scheme != std::string::npos) {
            const std::size_t slash = p.find('\\', scheme + 3);
            return slash == std::string::npos ? p.size() + 1 : slash + 2;
        }
        if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
            const std::size_t slash = p.find('\\', 3);
            return slash == std::string::npos ? p.size() + 1 : slash + 2;
        }
        if (p.size() >= 3 && p[1] == ':' && p[2] == '\\') return 4;
        const std::size_t slash = p.find('\\');
        return slash == std::string::npos ? p.size() + 1 : slash + 2;
    }
    const std::size_t scheme = path.find("://");
    if (scheme != std::string_view::npos) {
        const std::size_t slash = path.find('/', scheme + 3);
        return slash == std::string_view::npos ? path.size() + 1 : slash + 2;
    }
    if (!path.empty() && path[0] == '/') return 2;
    const std::size_t slash = path.find('/');
    return slash == std::string_view::npos ? path.size() + 1 : slash + 2;
}

std::string Root(std::string_view path, PathStyle style) {
    return std::string(path.substr(0, RootEnd(path, style) - 1));
}

std::string FolderPart(std::string_view path, PathStyle style) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1], style)) return std::string(path.substr(0, i));
    return {};
}

std::string NamePart(std::string_view path, PathStyle style) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1], style)) return std::string(path.substr(i));
    return std::string(path);
}

std::string Join(std::string_view left, std::string_view right, std::string_view mode, PathStyle style) {
    std::string r;
    if (left.empty()) {
        r = right;
    } else if (right.empty()) {
        r = left;
    } else {
        const bool left_sep = IsSeparator(left.back(), style);
        const bool right_sep = IsSeparator(right.front(), style);
        r.reserve(left.size() + right.size() + 1);
        r = left;
        if (left_sep && right_sep)
            r.append(right.substr(1));
        else if (left_sep || right_sep)
            r.append(right);
        else {
            r += PreferredSeparator(style);
            r.append(right);
        }
    }
    // Only Windows style has two separators to unify; in POSIX style "\" is an ordinary character.
    if (!Win(style)) return r;
    char keep = 0;
    if (mode == "\\" || mode == "/") {
        keep = mode[0];
    } else if (mode == kFirstSeparatorMode) {
        const std::size_t b = r.find('\\');
        const std::size_t f = r.find('/');
        if (b != std::string::npos && f != std::string::npos) keep = b < f ? '\\' : '/';
    }
    if (keep) {
        const char other = keep == '\\' ? '/' : '\\';
        for (char& c : r)
            if (c == other) c = keep;
    }
    return r;
}

std::string ProgramFolder(PathStyle style) { return Win(style) ? std::string("c:\\") : fs::CurrentFolder(); }

namespace {

// An absolute slash path that normalising leaves as it is: no empty component (doubled or trailing
// slash) and no component of dots only. Most paths of a run are such, and checking costs less than
// taking them apart.
bool AlreadyNormal(std::string_view p) {
    if (p.empty() || p[0] != '/') return false;
    if (p.size() == 1) return true;
    std::size_t start = 1;
    for (;;) {
        const std::size_t slash = p.find('/', start);
        const std::string_view c = p.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        if (c.empty() || c == "." || c == "..") return false;
        if (slash == std::string_view::npos) return true;
        start = slash + 1;
    }
}

}  // namespace

std::string Normalise(std::string_view path_in, PathStyle style) {
    if (!Win(style)) {
        // A folder path's one trailing slash is all that normalising would change.
        std::string_view p = path_in;
        if (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
        if (AlreadyNormal(p)) return std::string(p);
    }
    std::string path(path_in);
    if (!IsAbsolute(path, style)) path = Join(ProgramFolder(style), path, kFirstSeparatorMode, style);
    if (Win(style)) path = ToBackslashes(path);
    const std::size_t root_len = RootEnd(path, style) - 1;
    std::string root = path.substr(0, root_len);
    const std::vector<std::string_view> parts = Components(std::string_view(path).substr(root_len), style);
    std::vector<std::string_view> kept;
    kept.reserve(parts.size());
    for (std::string_view c : parts) {
        // On Linux only "." and ".." are special; "..." is an ordinary name there.
        if (Win(style) ? AllDots(c) : (c == "." || c == "..")) {
            // n dots remove themselves and the n - 1 components before them, never going above the root.
            std::size_t drop = c.size() - 1;
            while (drop-- > 0 && !kept.empty()) kept.pop_back();
            continue;
        }
        kept.push_back(c);
    }
    const char sep = PreferredSeparator(style);
    std::string r = root;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (!r.empty() && !IsSeparator(r.back(), style)) r += sep;
        r.append(kept[i]);
    }
    return r;
}

std::string Resolve(std::string_view relative, std::string_view base, PathStyle style) {
    if (IsAbsolute(relative, style)) return Normalise(relative, style);
    std::string r;
    if (relative.empty())
        r = base;
    else if (IsSeparator(relative.front(), style))
        r = Join(Root(base, style), relative, kFirstSeparatorMode, style);
    else
        r = Join(base, relative, kFirstSeparatorMode, style);
    return Normalise(r, style);
}

std::string RelativePath(std::string_view path, std::string_view base, PathStyle style) {
    const std::size_t pe = RootEnd(path, style) - 1;
    const std::size_t be = RootEnd(base, style) - 1;
    std::string proot(path.substr(0, pe));
    std::string broot(base.substr(0, be));
    if (Win(style)) {
        proot = text::LowerCase(ToBackslashes(proot));
        broot = text::LowerCase(ToBackslashes(broot));
    }
    if (proot != broot) return std::string(path);
    const auto pc = Components(path.substr(pe), style);
    const auto bc = Components(base.substr(be), style);
    std::size_t i = 0;
    while (i < pc.size() && i < bc.size() && SameComponent(pc[i], bc[i], style)) ++i;
    char sep = PreferredSeparator(style);
    for (char c : path)
        if (IsSeparator(c, style)) {
            sep = c;
            break;
        }
    std::string r;
    for (std::size_t j = i; j < bc.size(); ++j) {
        r += "..";
        r += sep;
    }
    for (std::size_t j = i; j < pc.size(); ++j) {
        if (j > i) r += sep;
        r.append(pc[j]);
    }
    return r;
}

bool SamePath(std::string_view a, std::string_view b, PathStyle style) {
    const std::string na = Normalise(a, style);
    const std::string nb = Normalise(b, style);
    return Win(style) ? text::EqualsIgnoreCase(na, nb) : na == nb;
}

bool IsInside(std::string_view path, std::string_view folder, PathStyle style) {
    const std::string p = Normalise(path, style);
    std::string f = Normalise(folder, style);
    if (Win(style) ? text::EqualsIgnoreCase(p, f) : p == f) return true;
    if (f.empty() || !IsSeparator(f.back(), style)) f += PreferredSeparator(style);
    if (p.size() < f.size()) return false;
    const std::string_view head = std::string_view(p).substr(0, f.size());
    return Win(style) ? text::EqualsIgnoreCase(head, f) : head == f;
}

std::string FinalDestinationPath(std::string_view source_root, std::string_view full_path,
                                 std::string_view destination, uint8_t mode, PathStyle style) {
    const std::string destination_root = Resolve(destination, source_root, style);
    if (mode & kDestinationFlat) {
        if (mode & kDestinationNamesFile) return destination_root;
        return Join(destination_root, NamePart(full_path, style), kFirstSeparatorMode, style);
    }
    const std::string full = Resolve(full_path, source_root, style);
    const std::string root = IsAbsolute(source_root, style)
                                 ? Normalise(source_root, style)
                                 : Resolve(source_root, ProgramFolder(style), style);
    std::string tail;
    // Whole components decide: a sibling such as "c:\testing" is not inside "c:\test", and its files
    // must not be mapped through ".." out of the destination.
    const bool inside = IsInside(full, root, style);
    if (inside) tail = RelativePath(full, root, style);
    // Roots that differ only in their form ("\\srv" above "\\srv\share\...", or a server named "..")
    // give the path back whole; joined as it is, it could climb out of the destination.
    if (!inside || IsAbsolute(tail, style)) tail = full.substr(RootEnd(full, style) - 1);
    return Join(destination_root, tail, kFirstSeparatorMode, style);
}

bool HasBadPathCharacters(std::string_view path, PathStyle style) {
    const std::size_t root_len = RootEnd(path, style) - 1;
    for (std::size_t i = root_len; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (c < 32) return true;
        switch (c) {
            case '"':
            case '|':
            case '*':
            case '?':
            case '<':
            case '>': return true;
            case ':':
                if (Win(style)) return true;
                break;
            default: break;
        }
    }
    return false;
}

}  // namespace rowsmith::files
