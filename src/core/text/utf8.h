#pragma once
// Characters as the text model counts them: code points of UTF-8 text, or single bytes in `bytes`
// mode. The model in force is per thread (a run decides it per file); ASCII text is the same in both.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace rowsmith::text {

enum class CharModel : uint8_t { Utf8, Bytes };

// The model of this thread (Utf8 until set).
CharModel CurrentCharModel();
void SetCharModel(CharModel model);
// Sets a model for a scope and restores the one before.
class CharModelScope {
public:
    explicit CharModelScope(CharModel model) : before_(CurrentCharModel()) { SetCharModel(model); }
    ~CharModelScope() { SetCharModel(before_); }
    CharModelScope(const CharModelScope&) = delete;
    CharModelScope& operator=(const CharModelScope&) = delete;

private:
    CharModel before_;
};

// Every byte below 128 (eight bytes a step). Inline: every routine asks it of every value.
inline bool IsAscii(std::string_view text) {
    const char* p = text.data();
    std::size_t n = text.size();
    uint64_t high = 0;
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        high |= w;
        p += 8;
        n -= 8;
        if (high & 0x8080808080808080ULL) return false;
    }
    while (n--) high |= static_cast<unsigned char>(*p++);
    return (high & 0x8080808080808080ULL) == 0;
}
bool IsValidUtf8(std::string_view text);
// The length of the longest prefix that is valid UTF-8 and ends on a character boundary.
std::size_t ValidUtf8Prefix(std::string_view text);

// Whether positions in this text count code points rather than bytes: the model is Utf8 and the text
// is not all ASCII. Routines take their byte path when it is false.
inline bool CountsCodePoints(std::string_view text) { return CurrentCharModel() == CharModel::Utf8 && !IsAscii(text); }

// A byte that starts no valid UTF-8 sequence is one character of its own, carried as U+DC80..U+DCFF
// (its value + 0xDC00), and written back as that byte: text that was not valid stays byte for byte.
inline constexpr char32_t kStrayByteBase = 0xDC00;
inline bool IsStrayByte(char32_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// The byte length of the character at `pos` (1 for a stray byte, 0 at the end).
std::size_t CharLengthAt(std::string_view text, std::size_t pos);
// The character at `pos`; `pos` moves past it. At the end it returns 0 and does not move.
char32_t DecodeAt(std::string_view text, std::size_t& pos);
// The character that ends at `end` (> 0); `end` moves to its start.
char32_t DecodeBefore(std::string_view text, std::size_t& end);
void AppendUtf8(std::string& out, char32_t c);

// The number of characters in the current model.
std::size_t CountChars(std::string_view text);
// The byte offset where the 0-based character `index` starts in the current model (the text's size
// when index is at or past the end).
std::size_t ByteOffsetOfChar(std::string_view text, std::size_t index);
// Characters [first, first + count) (0-based, clamped) in the current model.
std::string_view CharSubstr(std::string_view text, std::size_t first, std::size_t count = std::string_view::npos);

std::u32string ToCodePoints(std::string_view text);
std::string FromCodePoints(std::u32string_view points);

}  // namespace rowsmith::text
