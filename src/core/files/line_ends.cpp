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

// The set bits of a mask, inline: without a popcnt target std::popcount becomes a library call,
// which took more time than the searches themselves.
inline int CountBits(uint32_t x) {
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    return static_cast<int>((((x + (x >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24);
}

}  // namespace

WholeLines CountWholeLines(std::string_view text, bool split_all, std::size_t from, int64_t most) {
    WholeLines w;
    if (most <= 0) return w;
    const char* const p = text.data();
    const std::size_t n = text.size();
    std::size_t i = from;
    bool cr = i > 0 && i <= n && p[i - 1] == '\r';
    for (; i + 32 <= n; i += 32) {
        uint32_t m = LineEndMask(p + i, split_all, cr);
        cr = p[i + 31] == '\r';
        if (m == 0) continue;
        const int count = CountBits(m);
        if (w.Lines + count >= most) {
            // The wanted last end lies in these 32 bytes: drop the ends before it.
            for (int64_t skip = most - w.Lines; --skip > 0;) m &= m - 1;
            w.Lines = most;
            w.Bytes = i + static_cast<std::size_t>(std::countr_zero(m)) + 1;
            return w;
        }
        w.Lines += count;
        w.Bytes = i + static_cast<std::size_t>(32 - std::countl_zero(m));
    }
    for (; i < n; ++i) {
        if (p[i] == '\n' && (split_all || cr)) {
            ++w.Lines;
            w.Bytes = i + 1;
            if (w.Lines == most) return w;
        }
        cr = p[i] == '\r';
    }
    return w;
}

}  // namespace rowsmith::files
