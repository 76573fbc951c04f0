#pragma once
// Line intervals: the small, forgiving language ("3-10;-1") that selects line numbers, characters
// and list items, and the iterator LoopT that streams the selected numbers without holding a list.

#include <cstdint>
#include <string>
#include <string_view>

namespace rowsmith::text {

// What an iterator needs of a table: its row count and each row's inclusion flag. Implemented by the
// string table, so that this layer does not depend on it.
class IntervalRows {
public:
    virtual ~IntervalRows() = default;
    virtual int32_t IntervalRowCount() const = 0;
    virtual bool IntervalRowIncluded(int32_t row) const = 0;
};

enum IntervalKind : uint8_t { Upward = 0, Downward = 1, Invalid = 2 };

// The start number that stands for a missing start.
constexpr int32_t kMissingStart = -2147483647;

struct LoopT {
    int32_t Current = 0;
    uint8_t IsLast = 0;
    int32_t Lookahead = 0;
    uint8_t HasNext = 0;
    const IntervalRows* Table = nullptr;  // not owned
    std::string Text;
    int32_t Low = 0;
    int32_t High = 0;
    int32_t RangeStart = 0;
    int32_t RangeEnd = 0;
    uint8_t Kind = Upward;
    std::string Remaining;
    // Read position inside Remaining, so that taking a piece does not copy the rest of the text.
    std::size_t RemainingPos = 0;
};

void InitLoop(LoopT& loop, std::string_view text, int32_t low, int32_t high);
// Binds the loop to a table (rows 1..row count). The caller restarts once more afterwards.
void StartLoopOnTable(LoopT& loop, std::string_view text, const IntervalRows* table);
void RestartLoop(LoopT& loop);
bool NextInLoop(LoopT& loop);
bool AdvanceLoop(LoopT& loop);

// Parses one piece (a text without ";") and resolves it against low..high.
IntervalKind ParseIntervalPiece(std::string_view piece, int32_t low, int32_t high, int32_t& start, int32_t& end);
IntervalKind ResolveInterval(int32_t a, int32_t b, int32_t low, int32_t high, int32_t& start, int32_t& end);

// The characters of text (of the text model: code points of UTF-8 text in the Utf8 model) at the
// positions the intervals select, in the order produced.
std::string CharsByIntervals(std::string_view text, std::string_view intervals);

// The normalised interval text: runs of ";" become one, a lone ";" becomes empty, one trailing and
// one leading ";" are removed.
std::string NormaliseIntervalText(std::string_view text);

}  // namespace rowsmith::text
