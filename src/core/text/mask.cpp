#include "text/mask.h"

#include "text/chars.h"

namespace rowsmith::text {

namespace {

// Matches one bracketed set at mask[mi] ('[' already seen at mi) against c. Returns the position after
// the set, or npos when the set is not closed (then "[" is an ordinary character).
std::size_t MatchSet(std::string_view mask, std::size_t mi, unsigned char c, bool& matched) {
    std::size_t i = mi + 1;
    bool negate = false;
    if (i < mask.size() && mask[i] == '!') {
        negate = true;
        ++i;
    }
    const std::size_t first = i;
    bool hit = false;
    const unsigned char lc = LowerChar(c);
    while (i < mask.size() && (mask[i] != ']' || i == first)) {
        unsigned char lo = LowerChar(static_cast<unsigned char>(mask[i]));
        unsigned char hi = lo;
        if (i + 2 < mask.size() && mask[i + 1] == '-' && mask[i + 2] != ']') {
            hi = LowerChar(static_cast<unsigned char>(mask[i + 2]));
            // Ranges compare both forms of the character so that "[A-Z]" and "[a-z]" act alike.
            const unsigned char uc = UpperChar(c);
            const unsigned char ulo = static_cast<unsigned char>(mask[i]);
            const unsigned char uhi = static_cast<unsigned char>(mask[i + 2]);
            if ((lc >= lo && lc <= hi) || (uc >= ulo && uc <= uhi) || (c >= ulo && c <= uhi)) hit = true;
            i += 3;
            continue;
        }
        if (lc == lo) hit = true;
        ++i;
    }
    if (i >= mask.size()) return std::string_view::npos;
    matched = negate ? !hit : hit;
    return i + 1;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    // Iterative matcher with one backtrack point for the last "*": linear in practice, never exponential.
    std::size_t n = 0, m = 0;
    std::size_t star_m = std::string_view::npos, star_n = 0;
    while (n < name.size()) {
        if (m < mask.size()) {
            const char mc = mask[m];
            if (mc == '*') {
                star_m = ++m;
                star_n = n;
                continue;
            }
            if (mc == '?') {
                ++m;
                ++n;
                continue;
            }
            if (mc == '[') {
                bool matched = false;
                const std::size_t after = MatchSet(mask, m, static_cast<unsigned char>(name[n]), matched);
                if (after != std::string_view::npos) {
                    if (matched) {
                        m = after;
                        ++n;
                        continue;
                    }
                } else if (LowerChar(name[n]) == '[') {
                    ++m;
                    ++n;
                    continue;
                }
            } else if (LowerChar(mc) == LowerChar(name[n])) {
                ++m;
                ++n;
                continue;
            }
        }
        if (star_m == std::string_view::npos) return false;
        m = star_m;
        n = ++star_n;
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

bool MatchesMaskList(std::string_view name, std::string_view masks, char separator) {
    std::size_t pos = 0;
    while (pos <= masks.size()) {
        std::size_t next = masks.find(separator, pos);
        if (next == std::string_view::npos) next = masks.size();
        std::string_view mask = masks.substr(pos, next - pos);
        // Blanks typed around a mask ("*.txt | *.csv") are not part of it.
        while (!mask.empty() && mask.front() == ' ') mask.remove_prefix(1);
        while (!mask.empty() && mask.back() == ' ') mask.remove_suffix(1);
        if (!mask.empty() && MatchesMask(name, mask)) return true;
        pos = next + 1;
    }
    return false;
}

}  // namespace rowsmith::text
