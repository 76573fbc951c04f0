// Path arithmetic in both styles: Resolve, Normalise, RelativePath, FinalDestinationPath, Join and
// RootEnd on random texts, with the invariants that hold for every text of the style.

#include <cstdint>
#include <string>
#include <string_view>

#include "files/paths.h"
#include "fuzz_input.h"
#include "text/chars.h"

namespace {

using namespace rowsmith::files;

bool Same(std::string_view a, std::string_view b, PathStyle style) {
    return style == PathStyle::Windows ? rowsmith::text::EqualsIgnoreCase(a, b) : a == b;
}

bool AllDots(std::string_view c) {
    return !c.empty() && c.find_first_not_of('.') == std::string_view::npos;
}

bool HasDotComponent(std::string_view p, PathStyle style) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= p.size(); ++i)
        if (i == p.size() || IsSeparator(p[i], style)) {
            const std::string_view c = p.substr(start, i - start);
            // On Linux only "." and ".." are special; Windows style takes any run of dots.
            if (style == PathStyle::Windows ? AllDots(c) : (c == "." || c == "..")) return true;
            start = i + 1;
        }
    return false;
}

// A scheme marker anywhere in a text (":" and two separators) makes the root run to the host after it,
// so such texts keep dots and prefixes that the component rules below do not see.
bool HasScheme(std::string_view p, PathStyle style) {
    for (std::size_t i = 0; i + 2 < p.size(); ++i)
        if (p[i] == ':' && IsSeparator(p[i + 1], style) && IsSeparator(p[i + 2], style)) return true;
    return false;
}

void CheckStyle(PathStyle style, std::string_view mode, uint8_t destination_mode, std::string_view a,
                std::string_view b, std::string_view c) {
    const std::size_t root_end = RootEnd(a, style);
    FUZZ_CHECK(root_end >= 1 && root_end <= a.size() + 1);
    const std::string root = Root(a, style);
    FUZZ_CHECK(a.substr(0, root.size()) == root);
    FUZZ_CHECK(FolderPart(a, style) + NamePart(a, style) == a);

    const std::string joined = Join(a, b, mode, style);
    if (style == PathStyle::Posix) {
        // In POSIX style joining only inserts or drops one separator at the seam.
        FUZZ_CHECK(joined.size() + 1 >= a.size() + b.size() && joined.size() <= a.size() + b.size() + 1);
        FUZZ_CHECK(joined.compare(0, a.size(), a) == 0);
    }

    // Normalised paths are absolute and normalising them again changes nothing.
    const std::string na = Normalise(a, style);
    const std::string nb = Normalise(b, style);
    FUZZ_CHECK(IsAbsolute(na, style) && IsAbsolute(nb, style));
    FUZZ_CHECK(Normalise(na, style) == na);
    // Dot components go, except inside the root (a root ends only after a scheme's host, dots and all).
    FUZZ_CHECK(!HasDotComponent(std::string_view(na).substr(RootEnd(na, style) - 1), style));
    const std::string resolved = Resolve(a, b, style);
    FUZZ_CHECK(IsAbsolute(resolved, style) && Normalise(resolved, style) == resolved);

    // A relative path leads back from its base. Windows texts with characters a name may not hold
    // (a component "c:" reads as a drive) are outside the claim.
    const std::string relative = RelativePath(na, nb, style);
    const bool plain = !HasScheme(na, style) && !HasScheme(nb, style);
    if (plain &&
        (style == PathStyle::Posix || (!HasBadPathCharacters(na, style) && !HasBadPathCharacters(nb, style))))
        FUZZ_CHECK(Same(Resolve(relative, nb, style), na, style));
    // Below its base a path needs no "..". Roots that differ in form only give the path back whole.
    if (plain && IsInside(na, nb, style) && !IsAbsolute(relative, style))
        FUZZ_CHECK(!HasDotComponent(relative, style));

    // A listed file never maps outside its destination folder.
    const std::string destination_root = Resolve(c, a, style);
    const std::string final_path = FinalDestinationPath(a, b, c, destination_mode, style);
    const bool flat = destination_mode & kDestinationFlat;
    const bool names_file = destination_mode & kDestinationNamesFile;
    if (flat && names_file) {
        FUZZ_CHECK(final_path == destination_root);
    } else if ((!flat || !AllDots(NamePart(b, style))) && !HasScheme(a, style) && !HasScheme(b, style) &&
               !HasScheme(c, style)) {
        if (style == PathStyle::Posix || !HasBadPathCharacters(final_path, style))
            FUZZ_CHECK(IsInside(final_path, destination_root, style));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    rowsmith::fuzz::FuzzInput in(data, size);
    static constexpr std::string_view kModes[] = {kFirstSeparatorMode, "\\", "/", ""};
    const std::string_view mode = kModes[in.Byte() % 4];
    const uint8_t destination_mode = in.Byte() & 3;
    const std::string_view a = in.Text();
    const std::string_view b = in.Text();
    const std::string_view c = in.Text();
    CheckStyle(PathStyle::Windows, mode, destination_mode, a, b, c);
    CheckStyle(PathStyle::Posix, mode, destination_mode, a, b, c);
    return 0;
}
