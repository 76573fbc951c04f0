#include "files/line_ends.h"

#include <bit>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/chars.h"

namespace rowsmith::files {

bool ParseLineEnds(std::string_view word, LineEnds& out) {
    if (text::EqualsIgnoreCase(word, "auto"))
        out = LineEnds::Auto;
    else if (text::EqualsIgnoreCase(word, "crlf"))
        out = LineEnds::Crlf;
    else if (text::EqualsIgnoreCase(word, "lf"))
        out = LineEnds::Lf;
    else
        return false;
    return true;
}

std::string_view LineEndsWord(LineEnds ends) {
    switch (ends) {
        case LineEnds::Auto: return "auto";
        case LineEnds::Crlf: return "crlf";
        case LineEnds::Lf: return "lf";
    }
    return "auto";
}

namespace {

// Bit i set where p[i] (of 32 bytes) is an LF that ends a line: every LF, or only one right after a
// CR (`cr_before`: the byte before p is a CR).
inline uint32_t LineEndMask(const char* p, bool split_all, bool cr_before) {
#if defined(__SSE2__)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i lf = _mm_set1_epi8('\n');
    const uint32_t l = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, lf))) |
                       (static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, lf))) << 16);
    if (split_all || l == 0) return l;
    const __m128i cr = _mm_set1_epi8('\r');
    const uint32_t c = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, cr))) |
                       (static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, cr))) << 16);
#else
    uint32_t l = 0, c = 0;
    for (int i = 0; i < 32; ++i) {
        l |= static_cast<uint32_t>(p[i] == '\n') << i;
        c |= static_cast<uint32_t>(p[i] == '\r') << i;
    }
    if (split_all) return l;
#endif
    return l & ((c << 1) | (cr_before ? 1u : 0u));
}

}  // namespace

WholeLines CountWholeLines(std::string_view text, bool split_all, std::size_t from) {
    WholeLines w;
    const char* const p = text.data();
    const std::size_t n = text.size();
    std::size_t i = from;
    bool cr = i > 0 && i <= n && p[i - 1] == '\r';
    for (; i + 32 <= n; i += 32) {
        const uint32_t m = LineEndMask(p + i, split_all, cr);
        cr = p[i + 31] == '\r';
        if (m == 0) continue;
        w.Lines += std::popcount(m);
        w.Bytes = i + static_cast<std::size_t>(32 - std::countl_zero(m));
    }
    for (; i < n; ++i) {
        if (p[i] == '\n' && (split_all || cr)) {
            ++w.Lines;
            w.Bytes = i + 1;
        }
        cr = p[i] == '\r';
    }
    return w;
}

std::size_t WholeLinesPrefix(std::string_view text, bool split_all, int64_t n) {
    if (n <= 0) return 0;
    const char* const p = text.data();
    const std::size_t size = text.size();
    std::size_t i = 0;
    bool cr = false;
    for (; i + 32 <= size; i += 32) {
        uint32_t m = LineEndMask(p + i, split_all, cr);
        cr = p[i + 31] == '\r';
        const int count = std::popcount(m);
        if (count < n) {
            n -= count;
            continue;
        }
        while (--n > 0) m &= m - 1;  // drop the ends before the wanted one
        return i + static_cast<std::size_t>(std::countr_zero(m)) + 1;
    }
    for (; i < size; ++i) {
        if (p[i] == '\n' && (split_all || cr) && --n == 0) return i + 1;
        cr = p[i] == '\r';
    }
    return size;
}

}  // namespace rowsmith::files
