#include "text/encoding.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/uvernum.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rowsmith::text {

namespace {

using Byte = unsigned char;
constexpr bool kLittleHost = std::endian::native == std::endian::little;

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

template <class... Args>
std::string Format(const char* format, Args... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

// ---- Converter names ------------------------------------------------------------------------------

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenConverter(std::string_view name) {
    // An empty name would open the platform default and a comma would add converter options.
    if (name.empty() || name.size() > 64 || name.find_first_of(std::string_view(",\0", 2)) != name.npos)
        return {};
    const std::string z(name);
    UErrorCode err = U_ZERO_ERROR;
    UConverter* c = ucnv_open(z.c_str(), &err);
    if (U_FAILURE(err)) {
        if (c) ucnv_close(c);
        return {};
    }
    return ConverterPtr(c);
}

struct NameInfo {
    bool Known = false;
    std::string Canonical;
    UConverterType Type = UCNV_UNSUPPORTED_CONVERTER;
    int MaxCharSize = 0;
};

std::string InternalName(UConverter* c) {
    UErrorCode err = U_ZERO_ERROR;
    const char* n = ucnv_getName(c, &err);
    return U_SUCCESS(err) && n ? n : "";
}

NameInfo ComputeNameInfo(std::string_view name) {
    NameInfo info;
    const ConverterPtr c = OpenConverter(name);
    if (!c) return info;
    info.Known = true;
    info.Type = ucnv_getType(c.get());
    info.MaxCharSize = ucnv_getMaxCharSize(c.get());
    const std::string internal = InternalName(c.get());
    // The most familiar name that still opens this very converter (an alias may belong to several).
    for (const char* standard : {"MIME", "IANA", "WINDOWS", "JAVA"}) {
        UErrorCode err = U_ZERO_ERROR;
        const char* s = ucnv_getStandardName(internal.c_str(), standard, &err);
        if (U_FAILURE(err) || !s) continue;
        const std::string candidate = Lower(s);
        const ConverterPtr again = OpenConverter(candidate);
        if (again && InternalName(again.get()) == internal) {
            info.Canonical = candidate;
            return info;
        }
    }
    info.Canonical = Lower(internal);
    return info;
}

// Detection asks for the same legacy name once per file: remember the answers.
NameInfo LookUpName(std::string_view name) {
    static std::mutex mutex;
    static std::unordered_map<std::string, NameInfo> cache;
    const std::string key(name);
    {
        std::lock_guard lock(mutex);
        if (auto it = cache.find(key); it != cache.end()) return it->second;
    }
    NameInfo info = ComputeNameInfo(name);
    std::lock_guard lock(mutex);
    if (cache.size() > 512) cache.clear();
    cache.emplace(key, info);
    return info;
}

bool UtfKindOf(UConverterType type, EncodingKind& kind) {
    switch (type) {
        case UCNV_UTF8:
            kind = EncodingKind::Utf8;
            return true;
        case UCNV_UTF16_LittleEndian:
            kind = EncodingKind::Utf16LE;
            return true;
        case UCNV_UTF16_BigEndian:
            kind = EncodingKind::Utf16BE;
            return true;
        case UCNV_UTF32_LittleEndian:
            kind = EncodingKind::Utf32LE;
            return true;
        case UCNV_UTF32_BigEndian:
            kind = EncodingKind::Utf32BE;
            return true;
        default:
            return false;
    }
}

const char* KindName(EncodingKind kind) {
    switch (kind) {
        case EncodingKind::Utf8:
            return "UTF-8";
        case EncodingKind::Utf16LE:
            return "UTF-16LE";
        case EncodingKind::Utf16BE:
            return "UTF-16BE";
        case EncodingKind::Utf32LE:
            return "UTF-32LE";
        case EncodingKind::Utf32BE:
            return "UTF-32BE";
        case EncodingKind::Bytes:
            return "bytes";
        case EncodingKind::Legacy:
            break;
    }
    return "";
}

// ---- UTF-8 scanning -------------------------------------------------------------------------------

// The length (1..4) of the valid sequence at p, 0 when it is not valid, -1 when every byte up to `end`
// is valid but `end` cuts the sequence. Overlong forms, surrogates and values past U+10FFFF are invalid.
inline int SequenceAt(const Byte* p, const Byte* end, char32_t& cp) {
    const Byte c = p[0];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    const std::ptrdiff_t left = end - p;
    const auto cont = [](Byte b) { return (b & 0xC0) == 0x80; };
    if (c < 0xC2) return 0;
    if (c < 0xE0) {
        if (left < 2) return -1;
        if (!cont(p[1])) return 0;
        cp = (char32_t(c & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (c < 0xF0) {
        const Byte lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        if (left < 2) return -1;
        if (p[1] < lo || p[1] > hi) return 0;
        if (left < 3) return -1;
        if (!cont(p[2])) return 0;
        cp = (char32_t(c & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        return 3;
    }
    if (c < 0xF5) {
        const Byte lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        if (left < 2) return -1;
        if (p[1] < lo || p[1] > hi) return 0;
        if (left < 3) return -1;
        if (!cont(p[2])) return 0;
        if (left < 4) return -1;
        if (!cont(p[3])) return 0;
        cp = (char32_t(c & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) | (char32_t(p[2] & 0x3F) << 6) |
             (p[3] & 0x3F);
        return 4;
    }
    return 0;
}

inline bool AsciiWord(const Byte* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return (w & 0x8080808080808080ULL) == 0;
}

// The length of the longest prefix made of whole valid sequences.
std::size_t ValidPrefix(const Byte* p0, std::size_t n) {
    const Byte* p = p0;
    const Byte* end = p0 + n;
    for (;;) {
#if defined(__SSE2__)
        while (end - p >= 16 && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) == 0)
            p += 16;
#endif
        while (end - p >= 8 && AsciiWord(p)) p += 8;
        if (p == end) break;
        char32_t cp;
        const int len = SequenceAt(p, end, cp);
        if (len <= 0) break;
        p += len;
    }
    return static_cast<std::size_t>(p - p0);
}

inline char* PutUtf8(char* d, char32_t c) {
    if (c < 0x80) {
        *d++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *d++ = static_cast<char>(0xC0 | (c >> 6));
        *d++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *d++ = static_cast<char>(0xE0 | (c >> 12));
        *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *d++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *d++ = static_cast<char>(0xF0 | (c >> 18));
        *d++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *d++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return d;
}

std::string DescribeCharacter(char32_t c) {
    const std::string code = Format("U+%04X", static_cast<unsigned>(c));
    // A control, a space or a format character in quotes would show nothing useful.
    if (!u_isgraph(static_cast<UChar32>(c))) return "the character " + code;
    char glyph[4];
    const char* end = PutUtf8(glyph, c);
    return "the character \"" + std::string(glyph, static_cast<std::size_t>(end - glyph)) + "\" (" + code +
           ")";
}

// ---- Scanning cores -------------------------------------------------------------------------------
// A core converts as much of [p, p + n) as it can into `d` and tells where and why it stopped.

enum class Stop : uint8_t { End, Cut, Bad, Refused };
struct Scan {
    std::size_t Used = 0;
    Stop How = Stop::End;
    uint32_t Value = 0;  // the bad byte, unit or value; the refused code point
};

Scan ValidateUtf8(const Byte* p, std::size_t n, char*& d) {
    const std::size_t ok = ValidPrefix(p, n);
    std::memcpy(d, p, ok);
    d += ok;
    if (ok == n) return {n, Stop::End, 0};
    char32_t cp;
    return {ok, SequenceAt(p + ok, p + n, cp) < 0 ? Stop::Cut : Stop::Bad, p[ok]};
}

inline Scan Cut(const Byte* p0, const Byte* p, char* d, char*& dst) {
    dst = d;
    return {static_cast<std::size_t>(p - p0), Stop::Cut, 0};
}
inline Scan Bad(const Byte* p0, const Byte* p, char* d, char*& dst, uint32_t value) {
    dst = d;
    return {static_cast<std::size_t>(p - p0), Stop::Bad, value};
}

template <bool BigEndian>
inline uint32_t Unit16(const Byte* p) {
    return BigEndian ? (uint32_t(p[0]) << 8) | p[1] : p[0] | (uint32_t(p[1]) << 8);
}

template <bool BigEndian>
Scan DecodeUtf16(const Byte* p0, std::size_t n, char*& dst) {
    const Byte* p = p0;
    const Byte* end = p0 + n;
    char* d = dst;
    for (;;) {
#if defined(__SSE2__)
        // Sixteen ASCII units a step, narrowed by a saturating pack that changes none of them.
        const __m128i high_bits = _mm_set1_epi16(static_cast<short>(0xFF80));
        while (end - p >= 32) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
            if constexpr (BigEndian) {
                a = _mm_or_si128(_mm_slli_epi16(a, 8), _mm_srli_epi16(a, 8));
                b = _mm_or_si128(_mm_slli_epi16(b, 8), _mm_srli_epi16(b, 8));
            }
            const __m128i any = _mm_and_si128(_mm_or_si128(a, b), high_bits);
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF) break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(a, b));
            d += 16;
            p += 32;
        }
#endif
        if constexpr (kLittleHost) {
            // Four ASCII units a step: the high bytes are zero and the low ones below 0x80.
            constexpr uint64_t mask = BigEndian ? 0x80FF80FF80FF80FFULL : 0xFF80FF80FF80FF80ULL;
            while (end - p >= 8) {
                uint64_t w;
                std::memcpy(&w, p, 8);
                if (w & mask) break;
                if constexpr (BigEndian) w >>= 8;
                const uint32_t four = static_cast<uint32_t>(
                    (w & 0xFF) | ((w >> 8) & 0xFF00) | ((w >> 16) & 0xFF0000) | ((w >> 24) & 0xFF000000));
                std::memcpy(d, &four, 4);
                d += 4;
                p += 8;
            }
        }
        // One unit at a time through a run of other characters, back to the wide steps after ASCII.
        for (;;) {
            if (p == end) {
                dst = d;
                return {n, Stop::End, 0};
            }
            if (end - p < 2) return Cut(p0, p, d, dst);
            const uint32_t u = Unit16<BigEndian>(p);
            p += 2;
            if (u < 0x80) {
                *d++ = static_cast<char>(u);
                break;
            }
            if (u < 0xD800 || u > 0xDFFF) {
                d = PutUtf8(d, u);
                continue;
            }
            p -= 2;
            if (u >= 0xDC00) return Bad(p0, p, d, dst, u);
            if (end - p < 4) return Cut(p0, p, d, dst);
            const uint32_t low = Unit16<BigEndian>(p + 2);
            if (low < 0xDC00 || low > 0xDFFF) return Bad(p0, p, d, dst, u);
            d = PutUtf8(d, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
            p += 4;
        }
    }
}

template <bool BigEndian>
Scan DecodeUtf32(const Byte* p0, std::size_t n, char*& dst) {
    const Byte* p = p0;
    const Byte* end = p0 + n;
    char* d = dst;
    Scan r{n, Stop::End, 0};
    for (;;) {
        if constexpr (kLittleHost) {
            constexpr uint64_t mask = BigEndian ? 0x80FFFFFF80FFFFFFULL : 0xFFFFFF80FFFFFF80ULL;
            constexpr int shift = BigEndian ? 24 : 0;
            while (end - p >= 8) {
                uint64_t w;
                std::memcpy(&w, p, 8);
                if (w & mask) break;
                d[0] = static_cast<char>(w >> shift);
                d[1] = static_cast<char>(w >> (32 + shift));
                d += 2;
                p += 8;
            }
        }
        if (p == end) break;
        if (end - p < 4) {
            r = {static_cast<std::size_t>(p - p0), Stop::Cut, 0};
            break;
        }
        const uint32_t v =
            BigEndian ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
                      : (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
            r = {static_cast<std::size_t>(p - p0), Stop::Bad, v};
            break;
        }
        d = PutUtf8(d, v);
        p += 4;
    }
    dst = d;
    return r;
}

// A single-byte code page as two tables, built once per converter from what round-trips through ICU.
struct SingleByteTable {
    std::array<std::array<char, 4>, 256> Utf8{};  // the UTF-8 form of each byte value
    std::array<uint8_t, 256> Length{};            // 0: the byte is no character here
    std::size_t MaxLength = 1;
    bool Ascii = true;  // 0x00..0x7F stand for themselves, both ways
    // The byte of each BMP code point (-1: none), as pages of 256 found through PageOf; page 0 is empty.
    std::vector<std::array<int16_t, 256>> Pages;
    std::array<uint16_t, 256> PageOf{};
    std::unordered_map<char32_t, Byte> Astral;

    int ByteOf(char32_t c) const {
        if (c < 0x10000) return Pages[PageOf[c >> 8]][c & 0xFF];
        const auto it = Astral.find(c);
        return it == Astral.end() ? -1 : it->second;
    }
};

// Null when some byte stands for more than one character (the general path handles those).
std::shared_ptr<const SingleByteTable> BuildSingleByteTable(UConverter* c) {
    auto t = std::make_shared<SingleByteTable>();
    t->Pages.emplace_back();
    t->Pages[0].fill(-1);
    for (int b = 0; b < 256; ++b) {
        const char in = static_cast<char>(b);
        const char* src = &in;
        UChar units[8];
        UChar* ut = units;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_resetToUnicode(c);
        ucnv_toUnicode(c, &ut, units + 8, &src, &in + 1, nullptr, true, &err);
        const std::ptrdiff_t count = ut - units;
        bool ok = U_SUCCESS(err) && count > 0;
        char32_t cp = 0;
        if (ok) {
            if (count == 1 && !U16_IS_SURROGATE(units[0]))
                cp = units[0];
            else if (count == 2 && U16_IS_LEAD(units[0]) && U16_IS_TRAIL(units[1]))
                cp = U16_GET_SUPPLEMENTARY(units[0], units[1]);
            else
                return nullptr;
            // A byte read through a fallback would be written back as another byte: not a character.
            char back[8];
            char* bt = back;
            const UChar* us = units;
            err = U_ZERO_ERROR;
            ucnv_resetFromUnicode(c);
            ucnv_fromUnicode(c, &bt, back + 8, &us, ut, nullptr, true, &err);
            ok = U_SUCCESS(err) && bt - back == 1 && static_cast<Byte>(back[0]) == b;
        }
        if (!ok) {
            if (b < 0x80) t->Ascii = false;
            continue;
        }
        if (b < 0x80 && cp != static_cast<char32_t>(b)) t->Ascii = false;
        const char* end = PutUtf8(t->Utf8[b].data(), cp);
        t->Length[b] = static_cast<uint8_t>(end - t->Utf8[b].data());
        t->MaxLength = std::max<std::size_t>(t->MaxLength, t->Length[b]);
        if (cp < 0x10000) {
            uint16_t& page = t->PageOf[cp >> 8];
            if (page == 0) {
                page = static_cast<uint16_t>(t->Pages.size());
                t->Pages.emplace_back();
                t->Pages.back().fill(-1);
            }
            t->Pages[page][cp & 0xFF] = static_cast<int16_t>(b);
        } else {
            t->Astral[cp] = static_cast<Byte>(b);
        }
    }
    ucnv_reset(c);
    return t;
}

// The table of a canonical single-byte name, built on first use and shared by every thread after.
std::shared_ptr<const SingleByteTable> SingleByteTableFor(const std::string& canonical) {
    static std::mutex mutex;
    static std::unordered_map<std::string, std::shared_ptr<const SingleByteTable>> cache;
    std::lock_guard lock(mutex);
    if (auto it = cache.find(canonical); it != cache.end()) return it->second;
    std::shared_ptr<const SingleByteTable> table;
    if (const ConverterPtr c = OpenConverter(canonical)) {
        UErrorCode err = U_ZERO_ERROR;
        ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
        ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
        ucnv_setFallback(c.get(), false);
        if (U_SUCCESS(err)) table = BuildSingleByteTable(c.get());
    }
    cache.emplace(canonical, table);
    return table;
}

Scan DecodeTable(const SingleByteTable& t, const Byte* p0, std::size_t n, char*& dst) {
    const Byte* p = p0;
    const Byte* end = p0 + n;
    char* d = dst;
    for (;;) {
        if (t.Ascii) {
#if defined(__SSE2__)
            while (end - p >= 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                if (_mm_movemask_epi8(v) != 0) break;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d), v);
                d += 16;
                p += 16;
            }
#endif
            while (end - p >= 8 && AsciiWord(p)) {
                std::memcpy(d, p, 8);
                d += 8;
                p += 8;
            }
        }
        for (;;) {
            if (p == end) {
                dst = d;
                return {n, Stop::End, 0};
            }
            const Byte b = *p;
            if (t.Length[b] == 0) return Bad(p0, p, d, dst, b);
            std::memcpy(d, t.Utf8[b].data(), 4);  // the output has room past the longest form
            d += t.Length[b];
            ++p;
            if (b < 0x80) break;
        }
    }
}

// Reads UTF-8 and hands each character to a sink (ASCII eight bytes a step where the sink can).
template <class Sink>
Scan EncodeUtf8(const Byte* p0, std::size_t n, Sink& out_sink) {
    // A local copy keeps the write position in a register: stores through char* could alias it.
    Sink sink = out_sink;
    const auto stop = [&](Scan r) {
        out_sink = sink;
        return r;
    };
    const Byte* p = p0;
    const Byte* end = p0 + n;
    for (;;) {
        if (sink.FastAscii()) {
#if defined(__SSE2__)
            if constexpr (requires { sink.Ascii16(_mm_setzero_si128()); })
                while (end - p >= 16) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                    if (_mm_movemask_epi8(v) != 0) break;
                    sink.Ascii16(v);
                    p += 16;
                }
#endif
            while (end - p >= 8 && AsciiWord(p)) {
                sink.Ascii8(p);
                p += 8;
            }
        }
        // One character at a time through a run of other characters, back to the wide steps after ASCII.
        for (;;) {
            if (p == end) return stop({n, Stop::End, 0});
            const auto used = static_cast<std::size_t>(p - p0);
            char32_t c = *p;
            int len = 1;
            if (c >= 0xC2 && c < 0xE0 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
                // Two-byte sequences (most letters of alphabetic scripts) without the call.
                c = (char32_t(c & 0x1F) << 6) | (p[1] & 0x3F);
                len = 2;
            } else if (c >= 0x80) {
                len = SequenceAt(p, end, c);
                if (len == 0) return stop({used, Stop::Bad, *p});
                if (len < 0) return stop({used, Stop::Cut, *p});
            }
            if (!sink.Put(c)) return stop({used, Stop::Refused, c});
            p += len;
            if (len == 1) break;
        }
    }
}

template <bool BigEndian>
struct Utf16Sink {
    char* D;
    static bool FastAscii() { return kLittleHost; }
    void Ascii8(const Byte* p) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        const auto spread = [](uint64_t x) {
            x = (x | (x << 16)) & 0x0000FFFF0000FFFFULL;
            x = (x | (x << 8)) & 0x00FF00FF00FF00FFULL;
            return BigEndian ? x << 8 : x;
        };
        const uint64_t a = spread(w & 0xFFFFFFFF), b = spread(w >> 32);
        std::memcpy(D, &a, 8);
        std::memcpy(D + 8, &b, 8);
        D += 16;
    }
#if defined(__SSE2__)
    void Ascii16(__m128i v) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i lo = BigEndian ? _mm_unpacklo_epi8(zero, v) : _mm_unpacklo_epi8(v, zero);
        const __m128i hi = BigEndian ? _mm_unpackhi_epi8(zero, v) : _mm_unpackhi_epi8(v, zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 16), hi);
        D += 32;
    }
#endif
    void Unit(uint32_t u) {
        D[BigEndian ? 1 : 0] = static_cast<char>(u & 0xFF);
        D[BigEndian ? 0 : 1] = static_cast<char>(u >> 8);
        D += 2;
    }
    bool Put(char32_t c) {
        if (c < 0x10000) {
            Unit(c);
        } else {
            Unit(0xD800 + ((c - 0x10000) >> 10));
            Unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        return true;
    }
};

template <bool BigEndian>
struct Utf32Sink {
    char* D;
    static bool FastAscii() { return true; }
    void Ascii8(const Byte* p) {
        for (int i = 0; i < 8; ++i) Put(p[i]);
    }
    bool Put(char32_t c) {
        for (int i = 0; i < 4; ++i) D[BigEndian ? 3 - i : i] = static_cast<char>((c >> (8 * i)) & 0xFF);
        D += 4;
        return true;
    }
};

struct TableSink {
    char* D;
    const SingleByteTable* T;
    // Held here rather than read through T after every store.
    const std::array<int16_t, 256>* Pages;
    const uint16_t* PageOf;
    bool FastAscii() const { return T->Ascii; }
#if defined(__SSE2__)
    void Ascii16(__m128i v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D), v);
        D += 16;
    }
#endif
    void Ascii8(const Byte* p) {
        std::memcpy(D, p, 8);
        D += 8;
    }
    bool Put(char32_t c) {
        const int b = c < 0x10000 ? Pages[PageOf[c >> 8]][c & 0xFF] : T->ByteOf(c);
        if (b < 0) return false;
        *D++ = static_cast<char>(b);
        return true;
    }
};

struct UnitSink {
    char16_t* D;
    static bool FastAscii() { return true; }
    void Ascii8(const Byte* p) {
        for (int i = 0; i < 8; ++i) *D++ = p[i];
    }
    bool Put(char32_t c) {
        if (c < 0x10000) {
            *D++ = static_cast<char16_t>(c);
        } else {
            *D++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            *D++ = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        return true;
    }
};

template <class Sink, class T, class... Extra>
auto SinkCore(Extra... extra) {
    return [=](const Byte* p, std::size_t n, T*& d) {
        Sink sink{d, extra...};
        const Scan r = EncodeUtf8(p, n, sink);
        d = sink.D;
        return r;
    };
}

// Where a stream stopped: Offset is absolute (from the stream's start).
struct Halt {
    Stop How = Stop::End;
    int64_t Offset = 0;
    uint32_t Value = 0;
};

// Runs a core over a character cut by the previous block's end (`tail`) and `in`, growing `out` by at
// most `per_byte` elements per input byte. `done` counts the input bytes dealt with.
template <class Out, class Core>
Halt Drive(std::string& tail, int64_t& done, std::string_view in, bool last, Out& out, std::size_t per_byte,
           Core core) {
    using T = typename Out::value_type;
    const std::size_t old = out.size();
    out.resize(old + (in.size() + tail.size()) * per_byte + 16);
    T* d = out.data() + old;
    const auto finish = [&](Halt h) {
        out.resize(static_cast<std::size_t>(d - out.data()));
        return h;
    };
    if (!tail.empty()) {
        // Four more bytes complete any character, so the join needs no more.
        std::string join = tail;
        join.append(in.substr(0, 4));
        const Scan r = core(reinterpret_cast<const Byte*>(join.data()), join.size(), d);
        if (r.How == Stop::Bad || r.How == Stop::Refused) {
            done += static_cast<int64_t>(r.Used);
            return finish({r.How, done, r.Value});
        }
        if (r.Used < tail.size()) {  // still cut, and all of `in` is in the join
            if (last) return finish({Stop::Cut, done, static_cast<Byte>(join[0])});
            tail = std::move(join);
            return finish({});
        }
        done += static_cast<int64_t>(r.Used);
        in.remove_prefix(r.Used - tail.size());
        tail.clear();
    }
    const Scan r = core(reinterpret_cast<const Byte*>(in.data()), in.size(), d);
    done += static_cast<int64_t>(r.Used);
    if (r.How == Stop::Cut && !last) {
        tail.assign(in.substr(r.Used));
        return finish({});
    }
    return finish({r.How, done, r.Value});
}

// Checks a converted stream against what it must equal: the input runs ahead, the check catches up.
template <class T>
class Matcher {
  public:
    void Add(const T* p, std::size_t n) {
        if (head_ > 4096 && head_ * 2 > pending_.size()) {
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(head_));
            head_ = 0;
        }
        pending_.insert(pending_.end(), p, p + n);
    }
    // Moves over `got` while it matches; false at the first difference, where Position() then is.
    bool Check(const T* got, std::size_t n) {
        const std::size_t avail = pending_.size() - head_;
        const std::size_t k = std::min(n, avail);
        const T* differs =
            std::mismatch(got, got + k, pending_.begin() + static_cast<std::ptrdiff_t>(head_)).first;
        const auto same = static_cast<std::size_t>(differs - got);
        head_ += same;
        matched_ += static_cast<int64_t>(same);
        return same == n;
    }
    bool AtEnd() const { return head_ == pending_.size(); }
    int64_t Position() const { return matched_; }
    // What is expected next (AtEnd() false), and after it if there is more.
    T Next(std::size_t ahead = 0) const {
        return head_ + ahead < pending_.size() ? pending_[head_ + ahead] : T{};
    }

  private:
    std::vector<T> pending_;
    std::size_t head_ = 0;
    int64_t matched_ = 0;
};

ConverterPtr OpenStrict(const std::string& canonical) {
    ConverterPtr c = OpenConverter(canonical);
    if (!c) return c;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    ucnv_setFallback(c.get(), false);
    if (U_FAILURE(err)) c.reset();
    return c;
}

// How a Decoder or Encoder does its work, resolved from an Encoding.
enum class Path : uint8_t { Copy, Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Table, Icu };

struct Plan {
    Path Way = Path::Copy;
    std::string Name;  // for messages
    std::shared_ptr<const SingleByteTable> Table;
};

bool MakePlan(const Encoding& e, Plan& plan, std::string& error) {
    plan = {};
    EncodingKind kind = e.Kind;
    if (kind == EncodingKind::Legacy) {
        Encoding parsed;
        if (!ParseEncodingName(e.Name, parsed, error)) return false;
        if (parsed.Kind == EncodingKind::Legacy) {
            plan.Name = parsed.Name;
            plan.Table = LookUpName(parsed.Name).MaxCharSize == 1 ? SingleByteTableFor(parsed.Name) : nullptr;
            plan.Way = plan.Table ? Path::Table : Path::Icu;
            return true;
        }
        kind = parsed.Kind;
    }
    plan.Name = KindName(kind);
    switch (kind) {
        case EncodingKind::Utf8:
            plan.Way = Path::Utf8;
            break;
        case EncodingKind::Utf16LE:
            plan.Way = Path::Utf16LE;
            break;
        case EncodingKind::Utf16BE:
            plan.Way = Path::Utf16BE;
            break;
        case EncodingKind::Utf32LE:
            plan.Way = Path::Utf32LE;
            break;
        case EncodingKind::Utf32BE:
            plan.Way = Path::Utf32BE;
            break;
        default:
            plan.Way = Path::Copy;
            break;
    }
    return true;
}

}  // namespace

// ---- Names, detection -----------------------------------------------------------------------------

std::string Encoding::Label() const {
    if (Kind == EncodingKind::Legacy) return Name;
    std::string label = KindName(Kind);
    if (Bom && Kind != EncodingKind::Bytes) label += " BOM";
    return label;
}

std::string EncodingLibraryVersion() { return std::string("ICU ") + U_ICU_VERSION; }

bool KnownEncodingName(std::string_view name, std::string* canonical) {
    const NameInfo info = LookUpName(name);
    if (info.Known && canonical) *canonical = info.Canonical;
    return info.Known;
}

bool ParseEncodingName(std::string_view name, Encoding& out, std::string& error) {
    const std::string lower = Lower(name);
    if (lower == "bytes") {
        out = {EncodingKind::Bytes, false, {}};
        return true;
    }
    std::string_view base = name;
    bool bom = false;
    for (std::string_view suffix : {" bom", "-bom", "_bom"})
        if (lower.size() > suffix.size() && lower.ends_with(suffix)) {
            base = name.substr(0, name.size() - suffix.size());
            bom = true;
            break;
        }
    const NameInfo info = LookUpName(base);
    if (!info.Known) {
        error = "unknown encoding \"" + std::string(name) + "\"";
        return false;
    }
    EncodingKind kind;
    if (UtfKindOf(info.Type, kind)) {
        out = {kind, bom, {}};
        return true;
    }
    if (info.Type == UCNV_UTF16 || info.Type == UCNV_UTF32) {
        const char* bits = info.Type == UCNV_UTF16 ? "16" : "32";
        error = "the encoding \"" + std::string(name) + "\" does not say its byte order: use utf-" + bits +
                "le or utf-" + bits + "be";
        return false;
    }
    if (bom) {
        error = "the encoding \"" + std::string(base) + "\" has no byte order mark (in \"" +
                std::string(name) + "\")";
        return false;
    }
    out = {EncodingKind::Legacy, false, info.Canonical};
    return true;
}

Encoding DetectEncoding(std::string_view head, bool whole, std::string_view legacy) {
    using namespace std::string_view_literals;
    struct Mark {
        std::string_view Bytes;
        EncodingKind Kind;
    };
    static constexpr Mark marks[] = {{"\xEF\xBB\xBF"sv, EncodingKind::Utf8},
                                     {"\xFF\xFE\0\0"sv, EncodingKind::Utf32LE},
                                     {"\0\0\xFE\xFF"sv, EncodingKind::Utf32BE},
                                     {"\xFF\xFE"sv, EncodingKind::Utf16LE},
                                     {"\xFE\xFF"sv, EncodingKind::Utf16BE}};
    for (const Mark& m : marks)
        if (head.starts_with(m.Bytes)) return {m.Kind, true, {}};
    if (head.find('\0') != head.npos) return {EncodingKind::Bytes, false, {}};
    const auto* p = reinterpret_cast<const Byte*>(head.data());
    const std::size_t ok = ValidPrefix(p, head.size());
    char32_t cp;
    if (ok == head.size() || (!whole && SequenceAt(p + ok, p + head.size(), cp) < 0)) return {};
    Encoding e;
    std::string error;
    if (!ParseEncodingName(legacy, e, error)) return {EncodingKind::Legacy, false, std::string(legacy)};
    e.Bom = false;  // the file has none, and writing must not add one
    return e;
}

bool LineFeedsAreUnits(const Encoding& e) {
    Plan plan;
    std::string error;
    if (!MakePlan(e, plan, error)) return false;
    if (plan.Way == Path::Icu) return false;
    if (plan.Way != Path::Table) return true;
    const SingleByteTable& t = *plan.Table;
    for (int b = 0; b < 256; ++b) {
        const bool one = t.Length[b] == 1;
        const char c = t.Utf8[b][0];
        const bool breaks = one && (c == '\n' || c == '\r');
        if (breaks != (b == 0x0A || b == 0x0D) || (breaks && c != static_cast<char>(b))) return false;
    }
    return true;
}

std::string_view BomBytes(const Encoding& e) {
    using namespace std::string_view_literals;
    if (!e.Bom) return {};
    switch (e.Kind) {
        case EncodingKind::Utf8:
            return "\xEF\xBB\xBF"sv;
        case EncodingKind::Utf16LE:
            return "\xFF\xFE"sv;
        case EncodingKind::Utf16BE:
            return "\xFE\xFF"sv;
        case EncodingKind::Utf32LE:
            return "\xFF\xFE\0\0"sv;
        case EncodingKind::Utf32BE:
            return "\0\0\xFE\xFF"sv;
        default:
            return {};
    }
}

// ---- Decoder --------------------------------------------------------------------------------------

namespace {
// The general path: ICU decodes, and a second converter encodes the result again, which must give
// back the very bytes read (reverse fallbacks and irregular escapes fail here).
struct IcuDecoding {
    ConverterPtr Main, Back;
    std::vector<UChar> Units = std::vector<UChar>(8192);
    Matcher<char> Expect;
    char16_t High = 0;  // a lead surrogate whose trail is in the next batch
    int64_t Fed = 0;    // bytes given to Main
};
}  // namespace

// Whether a decoder's or encoder's state can take input: opened, and not failed before (then its
// first failure is told again).
template <typename State>
bool Usable(const State* s, const char* what, std::string& error) {
    if (!s) {
        error = std::string("the ") + what + " is not open";
        return false;
    }
    if (s->Failed) {
        error = s->Failure;
        return false;
    }
    return true;
}

struct Decoder::State {
    Plan How;
    std::string Tail;
    int64_t Done = 0;
    bool Failed = false;
    std::string Failure;
    std::unique_ptr<IcuDecoding> Icu;

    bool Fail(std::string message, int64_t offset, std::string& error) {
        Failed = true;
        Done = offset;
        Failure = std::move(message);
        error = Failure;
        return false;
    }
    bool FailAt(int64_t offset, const std::string& what, std::string& error) {
        return Fail(Format("%s at offset %" PRId64 " is not %s", what.c_str(), offset, How.Name.c_str()),
                    offset, error);
    }
    bool FeedIcu(std::string_view in, bool last, std::string& out, std::string& error);
    bool CheckBack(const UChar* units, std::size_t count, bool flush, std::string& error);
    bool FailMismatch(std::string& error) {
        const int64_t at = Icu->Expect.Position();
        if (Icu->Expect.AtEnd())
            return Fail(
                Format("the text before offset %" PRId64 " does not convert back to the same bytes in %s", at,
                       How.Name.c_str()),
                at, error);
        return FailAt(at, Format("byte 0x%02X", static_cast<Byte>(Icu->Expect.Next())), error);
    }
};

Decoder::Decoder() = default;
Decoder::~Decoder() = default;
Decoder::Decoder(Decoder&&) noexcept = default;
Decoder& Decoder::operator=(Decoder&&) noexcept = default;

bool Decoder::Open(const Encoding& e, std::string& error) {
    state_ = std::make_unique<State>();
    State& s = *state_;
    if (!MakePlan(e, s.How, error)) return s.Fail(error, 0, error);
    if (s.How.Way == Path::Icu) {
        s.Icu = std::make_unique<IcuDecoding>();
        s.Icu->Main = OpenStrict(s.How.Name);
        s.Icu->Back = OpenStrict(s.How.Name);
        if (!s.Icu->Main || !s.Icu->Back)
            return s.Fail("cannot open the converter for " + s.How.Name, 0, error);
    }
    return true;
}

int64_t Decoder::Offset() const {
    return state_ ? state_->Done : 0;
}

bool Decoder::Feed(std::string_view in, bool last, std::string& out, std::string& error) {
    if (!Usable(state_.get(), "decoder", error)) return false;
    State& s = *state_;
    Halt h;
    switch (s.How.Way) {
        case Path::Copy:
            out.append(in);
            s.Done += static_cast<int64_t>(in.size());
            return true;
        case Path::Utf8:
            h = Drive(s.Tail, s.Done, in, last, out, 1, ValidateUtf8);
            break;
        case Path::Utf16LE:
            h = Drive(s.Tail, s.Done, in, last, out, 2, DecodeUtf16<false>);
            break;
        case Path::Utf16BE:
            h = Drive(s.Tail, s.Done, in, last, out, 2, DecodeUtf16<true>);
            break;
        case Path::Utf32LE:
            h = Drive(s.Tail, s.Done, in, last, out, 1, DecodeUtf32<false>);
            break;
        case Path::Utf32BE:
            h = Drive(s.Tail, s.Done, in, last, out, 1, DecodeUtf32<true>);
            break;
        case Path::Table: {
            const SingleByteTable& t = *s.How.Table;
            h = Drive(s.Tail, s.Done, in, last, out, t.MaxLength,
                      [&t](const Byte* p, std::size_t n, char*& d) { return DecodeTable(t, p, n, d); });
            break;
        }
        case Path::Icu:
            return s.FeedIcu(in, last, out, error);
    }
    switch (h.How) {
        case Stop::End:
            return true;
        case Stop::Cut:
            return s.FailAt(h.Offset, "an incomplete character", error);
        case Stop::Bad:
        case Stop::Refused:
            break;
    }
    switch (s.How.Way) {
        case Path::Utf16LE:
        case Path::Utf16BE:
            return s.FailAt(h.Offset, "an unpaired surrogate", error);
        case Path::Utf32LE:
        case Path::Utf32BE:
            return s.FailAt(h.Offset, Format("the value 0x%X", h.Value), error);
        default:
            return s.FailAt(h.Offset, Format("byte 0x%02X", h.Value), error);
    }
}

bool Decoder::State::CheckBack(const UChar* units, std::size_t count, bool flush, std::string& error) {
    const UChar* u = units;
    const UChar* end = units + count;
    for (;;) {
        char buf[8192];
        char* t = buf;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_fromUnicode(Icu->Back.get(), &t, buf + sizeof buf, &u, end, nullptr, flush, &err);
        if (!Icu->Expect.Check(buf, static_cast<std::size_t>(t - buf))) return FailMismatch(error);
        if (err == U_BUFFER_OVERFLOW_ERROR) continue;
        if (U_FAILURE(err)) return FailMismatch(error);
        return true;
    }
}

bool Decoder::State::FeedIcu(std::string_view in, bool last, std::string& out, std::string& error) {
    IcuDecoding& g = *Icu;
    const char* src = in.data();
    const char* const end = src + in.size();
    for (;;) {
        UChar* t = g.Units.data();
        const char* from = src;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_toUnicode(g.Main.get(), &t, g.Units.data() + g.Units.size(), &src, end, nullptr, last, &err);
        g.Expect.Add(from, static_cast<std::size_t>(src - from));
        g.Fed += src - from;
        const auto count = static_cast<std::size_t>(t - g.Units.data());
        if (!CheckBack(g.Units.data(), count, false, error)) return false;
        // The round trip passed, so the units pair up; a lead at the batch's end waits for its trail.
        const std::size_t old = out.size();
        out.resize(old + count * 3 + 4);
        char* d = out.data() + old;
        for (std::size_t i = 0; i < count; ++i) {
            const char16_t u = g.Units[i];
            if (g.High) {
                if (!U16_IS_TRAIL(u)) {
                    out.resize(old);
                    return FailAt(g.Expect.Position(), "an unpaired surrogate", error);
                }
                d = PutUtf8(d, U16_GET_SUPPLEMENTARY(g.High, u));
                g.High = 0;
            } else if (U16_IS_LEAD(u)) {
                g.High = u;
            } else if (U16_IS_TRAIL(u)) {
                out.resize(old);
                return FailAt(g.Expect.Position(), "an unpaired surrogate", error);
            } else {
                d = PutUtf8(d, u);
            }
        }
        out.resize(static_cast<std::size_t>(d - out.data()));
        if (err == U_BUFFER_OVERFLOW_ERROR) continue;
        if (U_FAILURE(err)) {
            // The bad sequence is behind `src`; it may have begun in an earlier block.
            char bad[32];
            int8_t len = sizeof bad;
            UErrorCode e2 = U_ZERO_ERROR;
            ucnv_getInvalidChars(g.Main.get(), bad, &len, &e2);
            if (U_FAILURE(e2)) len = 0;
            const int64_t at = g.Fed - len;
            if (err == U_TRUNCATED_CHAR_FOUND) return FailAt(at, "an incomplete character", error);
            return FailAt(at, Format("byte 0x%02X", len > 0 ? static_cast<Byte>(bad[0]) : 0u), error);
        }
        break;
    }
    if (last) {
        if (!CheckBack(nullptr, 0, true, error)) return false;
        if (!g.Expect.AtEnd()) return FailMismatch(error);
        if (g.High) return FailAt(g.Expect.Position(), "an unpaired surrogate", error);
    }
    Done = g.Expect.Position();
    return true;
}

// ---- Encoder --------------------------------------------------------------------------------------

namespace {
// The general path: the text goes to UTF-16 and through ICU, and a second converter decodes the
// result, which must give back the text (fallbacks from Unicode, private use ones included, fail).
struct IcuEncoding {
    ConverterPtr Main, Back;
    std::u16string Units;
    Matcher<char16_t> Expect;
};
}  // namespace

struct Encoder::State {
    Plan How;
    std::string Tail;
    int64_t Done = 0;
    bool Failed = false;
    std::string Failure;
    std::unique_ptr<IcuEncoding> Icu;

    bool Fail(std::string message, std::string& error) {
        Failed = true;
        Failure = std::move(message);
        error = Failure;
        return false;
    }
    bool FailStray(uint32_t byte, std::string& error) {
        return Fail(
            Format("the byte 0x%02X (not a UTF-8 character) cannot be written in %s", byte, How.Name.c_str()),
            error);
    }
    bool FailChar(char32_t c, std::string& error) {
        return Fail(DescribeCharacter(c) + " cannot be written in " + How.Name, error);
    }
    bool FailHalt(const Halt& h, std::string& error) {
        return h.How == Stop::Refused ? FailChar(h.Value, error) : FailStray(h.Value, error);
    }
    bool FailMismatch(std::string& error) {
        const Matcher<char16_t>& m = Icu->Expect;
        if (m.AtEnd()) return Fail("the text does not convert back to itself in " + How.Name, error);
        char32_t c = m.Next();
        if (U16_IS_LEAD(m.Next()) && U16_IS_TRAIL(m.Next(1))) c = U16_GET_SUPPLEMENTARY(m.Next(), m.Next(1));
        return FailChar(c, error);
    }
    bool CheckBack(const char* bytes, std::size_t n, bool flush, std::string& error);
    bool FeedIcu(std::string_view in, bool last, std::string& out, std::string& error);
};

Encoder::Encoder() = default;
Encoder::~Encoder() = default;
Encoder::Encoder(Encoder&&) noexcept = default;
Encoder& Encoder::operator=(Encoder&&) noexcept = default;

bool Encoder::Open(const Encoding& e, std::string& error) {
    state_ = std::make_unique<State>();
    State& s = *state_;
    if (!MakePlan(e, s.How, error)) return s.Fail(error, error);
    // Writing UTF-8 copies: the model's stray bytes go back as the bytes they stand for.
    if (s.How.Way == Path::Utf8) s.How.Way = Path::Copy;
    if (s.How.Way == Path::Icu) {
        s.Icu = std::make_unique<IcuEncoding>();
        s.Icu->Main = OpenStrict(s.How.Name);
        s.Icu->Back = OpenStrict(s.How.Name);
        if (!s.Icu->Main || !s.Icu->Back) return s.Fail("cannot open the converter for " + s.How.Name, error);
    }
    return true;
}

bool Encoder::Feed(std::string_view utf8, bool last, std::string& out, std::string& error) {
    if (!Usable(state_.get(), "encoder", error)) return false;
    State& s = *state_;
    Halt h;
    switch (s.How.Way) {
        case Path::Copy:
        case Path::Utf8:
            out.append(utf8);
            return true;
        case Path::Utf16LE:
            h = Drive(s.Tail, s.Done, utf8, last, out, 2, SinkCore<Utf16Sink<false>, char>());
            break;
        case Path::Utf16BE:
            h = Drive(s.Tail, s.Done, utf8, last, out, 2, SinkCore<Utf16Sink<true>, char>());
            break;
        case Path::Utf32LE:
            h = Drive(s.Tail, s.Done, utf8, last, out, 4, SinkCore<Utf32Sink<false>, char>());
            break;
        case Path::Utf32BE:
            h = Drive(s.Tail, s.Done, utf8, last, out, 4, SinkCore<Utf32Sink<true>, char>());
            break;
        case Path::Table:
            h = Drive(s.Tail, s.Done, utf8, last, out, 1,
                      SinkCore<TableSink, char>(s.How.Table.get(), s.How.Table->Pages.data(),
                                                s.How.Table->PageOf.data()));
            break;
        case Path::Icu:
            return s.FeedIcu(utf8, last, out, error);
    }
    return h.How == Stop::End || s.FailHalt(h, error);
}

bool Encoder::State::CheckBack(const char* bytes, std::size_t n, bool flush, std::string& error) {
    const char* src = bytes;
    const char* end = bytes + n;
    for (;;) {
        UChar buf[4096];
        UChar* t = buf;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_toUnicode(Icu->Back.get(), &t, buf + 4096, &src, end, nullptr, flush, &err);
        if (!Icu->Expect.Check(buf, static_cast<std::size_t>(t - buf))) return FailMismatch(error);
        if (err == U_BUFFER_OVERFLOW_ERROR) continue;
        if (U_FAILURE(err)) return FailMismatch(error);
        return true;
    }
}

bool Encoder::State::FeedIcu(std::string_view in, bool last, std::string& out, std::string& error) {
    IcuEncoding& g = *Icu;
    g.Units.clear();
    const Halt h = Drive(Tail, Done, in, last, g.Units, 1, SinkCore<UnitSink, char16_t>());
    if (h.How != Stop::End) return FailHalt(h, error);
    g.Expect.Add(g.Units.data(), g.Units.size());
    const UChar* u = g.Units.data();
    const UChar* const end = u + g.Units.size();
    for (;;) {
        char buf[16384];
        char* t = buf;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_fromUnicode(g.Main.get(), &t, buf + sizeof buf, &u, end, nullptr, last, &err);
        const auto made = static_cast<std::size_t>(t - buf);
        if (!CheckBack(buf, made, false, error)) return false;
        out.append(buf, made);
        if (err == U_BUFFER_OVERFLOW_ERROR) continue;
        if (U_FAILURE(err)) {
            UChar bad[8];
            int8_t len = 8;
            UErrorCode e2 = U_ZERO_ERROR;
            ucnv_getInvalidUChars(g.Main.get(), bad, &len, &e2);
            if (U_FAILURE(e2) || len <= 0) return FailMismatch(error);
            char32_t c = bad[0];
            if (len >= 2 && U16_IS_LEAD(bad[0]) && U16_IS_TRAIL(bad[1]))
                c = U16_GET_SUPPLEMENTARY(bad[0], bad[1]);
            return FailChar(c, error);
        }
        break;
    }
    if (last) {
        if (!CheckBack(nullptr, 0, true, error)) return false;
        if (!g.Expect.AtEnd()) return FailMismatch(error);
    }
    return true;
}

// ---- Whole buffers --------------------------------------------------------------------------------

bool DecodeText(std::string_view bytes, const Encoding& e, std::string& utf8, std::string& error) {
    utf8.clear();
    Decoder d;
    return d.Open(e, error) && d.Feed(bytes, true, utf8, error);
}

bool EncodeText(std::string_view utf8, const Encoding& e, std::string& bytes, std::string& error) {
    bytes.clear();
    Encoder enc;
    return enc.Open(e, error) && enc.Feed(utf8, true, bytes, error);
}

}  // namespace rowsmith::text
