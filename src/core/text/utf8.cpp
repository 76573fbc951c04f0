#include "text/utf8.h"

#include <cstring>

namespace rowsmith::text {

namespace {
thread_local CharModel current_model = CharModel::Utf8;

// The length of a valid sequence starting at text[pos], else 0 (overlong forms, surrogates and values
// past U+10FFFF are not valid).
std::size_t ValidSequenceAt(std::string_view text, std::size_t pos) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const unsigned char c = b(0);
    if (c < 0x80) return 1;
    const std::size_t left = text.size() - pos;
    const auto cont = [&](std::size_t i) { return (b(i) & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF) return left >= 2 && cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || !cont(1) || !cont(2)) return 0;
        if (c == 0xE0 && b(1) < 0xA0) return 0;   // overlong
        if (c == 0xED && b(1) >= 0xA0) return 0;  // surrogate
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (left < 4 || !cont(1) || !cont(2) || !cont(3)) return 0;
        if (c == 0xF0 && b(1) < 0x90) return 0;
        if (c == 0xF4 && b(1) >= 0x90) return 0;
        return 4;
    }
    return 0;
}
}  // namespace

CharModel CurrentCharModel() { return current_model; }
void SetCharModel(CharModel model) { current_model = model; }

std::size_t ValidUtf8Prefix(std::string_view text) {
    std::size_t pos = 0;
    const std::size_t n = text.size();
    while (pos < n) {
        // ASCII runs go eight bytes a step: most text is mostly ASCII.
        while (pos + 8 <= n) {
            uint64_t w;
            std::memcpy(&w, text.data() + pos, 8);
            if (w & 0x8080808080808080ULL) break;
            pos += 8;
        }
        if (pos >= n) break;
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const std::size_t n = ValidSequenceAt(text, pos);
        if (n == 0) break;
        pos += n;
    }
    return pos;
}

bool IsValidUtf8(std::string_view text) { return IsAscii(text) || ValidUtf8Prefix(text) == text.size(); }

std::size_t CharLengthAt(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    const std::size_t n = ValidSequenceAt(text, pos);
    return n == 0 ? 1 : n;
}

char32_t DecodeAt(std::string_view text, std::size_t& pos) {
    if (pos >= text.size()) return 0;
    const auto c = static_cast<unsigned char>(text[pos]);
    const std::size_t n = c < 0x80 ? 1 : ValidSequenceAt(text, pos);
    if (n == 1) {
        ++pos;
        return c;
    }
    if (n == 0) {
        ++pos;
        return kStrayByteBase + c;
    }
    char32_t v = c & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < n; ++i) v = (v << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
    pos += n;
    return v;
}

char32_t DecodeBefore(std::string_view text, std::size_t& end) {
    // A valid sequence is at most four bytes: try the longest start that ends exactly at `end`.
    for (std::size_t back = 4; back >= 2; --back) {
        if (end < back) continue;
        const std::size_t start = end - back;
        if (ValidSequenceAt(text, start) == back) {
            std::size_t p = start;
            const char32_t c = DecodeAt(text, p);
            end = start;
            return c;
        }
    }
    --end;
    const auto c = static_cast<unsigned char>(text[end]);
    return c < 0x80 ? c : kStrayByteBase + c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (IsStrayByte(c)) {
        out.push_back(static_cast<char>(c - kStrayByteBase));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::size_t CountChars(std::string_view text) {
    if (!CountsCodePoints(text)) return text.size();
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) pos += CharLengthAt(text, pos);
    return count;
}

std::size_t ByteOffsetOfChar(std::string_view text, std::size_t index) {
    if (!CountsCodePoints(text)) return index < text.size() ? index : text.size();
    std::size_t pos = 0;
    while (index > 0 && pos < text.size()) {
        pos += CharLengthAt(text, pos);
        --index;
    }
    return pos;
}

std::string_view CharSubstr(std::string_view text, std::size_t first, std::size_t count) {
    const std::size_t start = ByteOffsetOfChar(text, first);
    if (count == std::string_view::npos) return text.substr(start);
    const std::string_view rest = text.substr(start);
    return rest.substr(0, ByteOffsetOfChar(rest, count));
}

std::u32string ToCodePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) out.push_back(DecodeAt(text, pos));
    return out;
}

std::string FromCodePoints(std::u32string_view points) {
    std::string out;
    out.reserve(points.size());
    for (char32_t c : points) AppendUtf8(out, c);
    return out;
}

}  // namespace rowsmith::text
