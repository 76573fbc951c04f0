#pragma once
// The preview's work without a widget: which file it shows, reading only the lines it needs (decoded
// as the run decodes the file), and running the interval and template over them on a template record
// of its own, so that previewing never changes the variables and counters a run sees.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/line_ends.h"
#include "run/processing_run.h"
#include "tables/string_table.h"
#include "template/trace.h"
#include "text/encoding.h"

namespace rowsmith::gui {

// How many selected lines the preview shows, and how much of a file it reads at most when the
// interval needs the whole file (counting from the end, downward, repeating).
inline constexpr int32_t kPreviewRows = 20;
inline constexpr int64_t kPreviewByteCap = int64_t{16} << 20;
// A file larger than the byte cap whose interval counts from the end is scanned whole for its line
// count (only line ends are looked for, and only the bytes of the selected lines are kept), up to
// this size; a larger one gets no rows rather than rows a run would not write.
inline constexpr int64_t kPreviewCountCap = int64_t{512} << 20;
// The first block read, in which an "auto" encoding is detected: the size of the run reader's first
// block (files::TReadTextFile::BlockSize), so that a NUL byte or a byte order mark counts alike.
inline constexpr int64_t kPreviewHeadBytes = int64_t{1} << 20;
// Trace steps kept per line: a runaway template must not fill the memory of a tooltip.
inline constexpr std::size_t kPreviewTraceSteps = 400;

// The file list row the preview shows: the selected row when it holds a file, else the first file of
// the list; 0 when the list holds no file.
int32_t PreviewRowOf(const tables::ArrayOfFiles& list, int32_t selected_row);

struct PreviewRequestT {
    std::string file;           // full path; empty: there is nothing to preview
    run::RunSettings settings;  // interval, template and line ends as "Start" would use them
    int32_t max_rows = kPreviewRows;
    int64_t max_bytes = kPreviewByteCap;
    int64_t max_count_bytes = kPreviewCountCap;
    bool trace = true;
    // Set by another thread to stop the preview early (a newer one is wanted): the line count pass
    // over a large file looks at it between blocks. Null: never stopped.
    const std::atomic<bool>* cancel = nullptr;
};

struct PreviewRowT {
    int32_t line = 0;    // 1-based line number in the file
    std::string input;   // the line as the run reads it (decoded to UTF-8), without its line break
    files::LineEnd end = files::LineEnd::None;  // the line break it had in the file
    std::string output;  // what the run writes for it
    // The steps of the template's tags for this line (none without a template).
    tmpl::CollectingTrace trace;
};

struct PreviewT {
    std::vector<PreviewRowT> rows;
    bool ok = false;      // the file was read (rows may still be empty)
    bool copies = false;  // the settings copy files unchanged
    bool capped = false;  // the byte cap ended the read before the end of the file
    // The interval needed the line count of a file over the byte cap: the whole file was scanned for
    // it (line_count lines), and the rows were read where they lie.
    bool counted = false;
    int64_t line_count = 0;
    int64_t bytes_read = 0;
    // Which LF ended a line in what was read: Crlf or Lf once an LF was seen, else Auto.
    files::LineEnds rule = files::LineEnds::Auto;
    // The encoding the file was read in (detected under "auto"); Bytes lines were expanded one byte
    // one character, as the run expands them.
    text::Encoding encoding{text::EncodingKind::Bytes, false, {}};
    // One line for the panel: why nothing shows, or a note about what shows.
    std::string message;
};

// The preview of the first selected lines of the request's file. Never throws; a file that cannot
// be read, an encoding name that names none and bytes that do not decode in the chosen encoding give
// no rows and a message naming the reason.
PreviewT BuildPreview(const PreviewRequestT& request);

// A preview text as a widget may show it: control characters escaped as tmpl::VisibleText escapes
// them, and every byte that is not part of a UTF-8 character as \xNN (a file read as bytes, or an
// explicit UTF-8 file with odd bytes), so that the result is always valid UTF-8.
std::string DisplayText(std::string_view text);
// Only the bytes that are not UTF-8 escaped (for texts that are already escaped, such as a trace).
std::string EscapeNonUtf8(std::string_view text);

}  // namespace rowsmith::gui
