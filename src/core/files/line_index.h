#pragma once
// The lines of a whole file counted as the run's reader splits and decodes them, with where a line
// starts remembered every so often (a mark), so that any line can be read again from the mark before
// it instead of keeping the file's text in memory.

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "files/line_ends.h"
#include "files/platform_fs.h"
#include "text/encoding.h"

namespace rowsmith::files {

// How far apart the marks lie: a line is read from the mark before it, so this bounds the bytes read
// for one line (beyond the line itself); 16 bytes a mark.
inline constexpr int64_t kMarkBytes = int64_t{64} << 10;

// A UTF-8 sequence begun but cut off by the end of what was read (the next block may complete it).
bool IsCutUtf8(std::string_view tail);

struct LineMark {
    int64_t line = 1;  // the line that starts at `at`
    int64_t at = 0;    // its file offset
};

// What a count checks besides the line ends, as the reader would while reading the lines.
enum class CountCheck : uint8_t {
    None,      // the bytes are taken as they are (bytes, UTF-8 with a mark or named)
    Validate,  // a guessed UTF-8: a byte that is not UTF-8 proves the guess wrong
    Decode,    // decoded, the text thrown away: bytes that do not decode fail (or prove a guess wrong)
};

struct LineCountOptions {
    CountCheck Check = CountCheck::None;
    bool WrongOnFailure = false;  // Decode: bytes that do not decode prove a guess wrong, not the file
    int64_t MaxBytes = std::numeric_limits<int64_t>::max();  // more gives TooBig
    int64_t MarkBytes = kMarkBytes;
    const std::atomic<bool>* Cancel = nullptr;  // looked at between blocks
    // Between blocks: the file offset reached and the lines ended so far.
    std::function<void(int64_t offset, int64_t lines)> Progress;
};

struct LineIndex {
    int64_t Lines = 0;
    LineEnds Rule = LineEnds::Auto;  // as files::LineSplitter decided it (Auto: no line end at all)
    std::vector<LineMark> Marks;     // ascending; the first is line 1 (after a byte order mark)
    int64_t End = 0;                 // the file offset after the last byte counted
    bool TooBig = false;
    bool Failed = false;  // a read failed (Error says why)
    bool WrongGuess = false;
    bool Cancelled = false;
    int Error = 0;
    std::string DecodeError;
    bool Complete() const { return !TooBig && !Failed && !WrongGuess && !Cancelled && DecodeError.empty(); }
    // The mark whose block (up to the next mark) holds line `n` (1-based).
    std::size_t BlockOf(int64_t n) const;
};

// Counts the lines of `file` in `e` (a byte order mark of `e` is skipped) under `mode`. Only line
// ends are looked for: LF units, each ending a line or not by the file's rule, so `e` must have
// text::LineFeedsAreUnits. Reads by position; the file's own position is left alone.
void CountLines(fs::File& file, const text::Encoding& e, LineEnds mode, const LineCountOptions& options,
                LineIndex& out);

// The lines of a counted file read by number, a mark's block at a time: the block is read whole and
// its lines are served from it, so lines read forward or backward cost one read a block, and memory
// holds one block. The file must not change after the count: a block that no longer holds the lines
// counted in it fails.
class IndexedLines {
public:
    IndexedLines(fs::File& file, const text::Encoding& e, const LineIndex& index);
    // Line `n` (1..Lines), valid until the next call; false when its block cannot be read.
    bool Get(int64_t n, std::string_view& line, LineEnd& end);
    int Error() const { return error_; }

private:
    bool Load(std::size_t block);

    fs::File& file_;
    text::Encoding encoding_;
    const LineIndex& index_;
    bool decode_ = false;
    text::Decoder decoder_;
    std::string raw_, text_;
    std::vector<std::size_t> starts_;  // of each line of the block, and where the text ends
    std::vector<LineEnd> ends_;
    std::size_t block_ = static_cast<std::size_t>(-1);
    int64_t first_ = 0;  // the block's first line
    int error_ = 0;
};

// The lines of a file from a mark on, decoded and split as the run does, the file's rule already
// known (the count's). A line longer than `limit` bytes of text ends the reading (TooLong).
class LinesFrom {
public:
    LinesFrom(fs::File& file, const text::Encoding& e, LineEnds rule, int64_t limit);
    bool Start(const LineMark& mark);
    // The number of the line returned last.
    int64_t Number() const { return number_; }
    bool TooLong() const { return too_long_; }
    // The next line (valid until the next call); false at the end, on a failure or a too long line.
    bool Next(std::string_view& line, LineEnd& end);

private:
    fs::File& file_;
    text::Encoding encoding_;
    LineSplitter splitter_;
    std::size_t limit_;
    text::Decoder decoder_;
    bool decode_ = false;
    std::string raw_;
    std::string text_;
    std::size_t pos_ = 0;
    std::size_t searched_ = 0;
    int64_t offset_ = 0;
    int64_t number_ = 0;
    bool eof_ = false;
    bool too_long_ = false;
};

}  // namespace rowsmith::files
