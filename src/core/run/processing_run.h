#pragma once
// The processing run: walks the file list once and copies each file, or rewrites it line by line
// (interval selection, then the template or the line unchanged plus a line break). It needs nothing
// of a window: the settings come in a record and every row's outcome goes out through a callback.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "files/line_ends.h"
#include "tables/string_table.h"
#include "text/form_gauge.h"

namespace rowsmith::run {

// Turns one kept line into output text through a template (the template engine implements it).
class LineExpander {
public:
    virtual ~LineExpander() = default;
    // Sets the variable "line" and expands the template; the result carries its own line breaks.
    virtual std::string ExpandLine(std::string_view template_text, std::string_view line) = 0;
    // The line end of the lines that follow ("eol": the one each had in its file, or the forced one).
    virtual void SetLineEnd(std::string_view eol) {}
    // Keeps the template's state (variables, counters), so that a file read again from its start
    // (it proved to be in another encoding) is expanded as if read once. False when it cannot.
    virtual bool CanSaveState() const { return false; }
    virtual void SaveState() {}
    virtual void RestoreState() {}
    // Why a bound of the expansion changed a result (a tag that yielded the empty text instead),
    // for the last such event since the previous call; empty when none. Taking it clears it.
    virtual std::string TakeBoundReason() { return {}; }
};

struct RunSettings {
    bool IntervalActive = false;
    std::string IntervalText;
    bool TemplateActive = false;
    std::string TemplateText;
    uint8_t DestinationFlags = 2;
    // Which LF ends a line and what ends each output line (see files::LineEnds).
    files::LineEnds LineEnds = files::LineEnds::Auto;
    // How the files' bytes are read as text: "auto" (per file: a byte order mark, else UTF-8 when the
    // text is valid UTF-8, else LegacyEncoding), "bytes" (one byte one character, never decoded) or an
    // encoding's name. Each file is written back in its own encoding unless OutputEncoding names one.
    std::string Encoding = "auto";
    std::string LegacyEncoding = "windows-1252";
    std::string OutputEncoding = "same";
};

// DestinationFlags from the window's destination options.
uint8_t MakeDestinationFlags(bool create_folders, bool overwrite);

enum class RowOutcome : uint8_t { Copied, Rewritten, Skipped, FolderCreated, Cancelled };

struct RowReport {
    int32_t Row = 0;
    RowOutcome Outcome = RowOutcome::Skipped;
    std::string Source;
    std::string Destination;  // the path written (after renaming); the planned one when skipped
    std::string Reason;       // why a row was skipped
    int64_t Lines = 0;        // lines written (rewrite mode)
    std::string Encoding;     // rewrite mode: the encoding the source was read in ("UTF-8", "windows-1252", "bytes" ...)
    std::string LineEnds;     // rewrite mode: "CRLF", "LF" or "none" (the file has no line end)
};

struct RunSummary {
    int32_t Copied = 0;
    int32_t Rewritten = 0;
    int32_t Skipped = 0;
    int32_t Folders = 0;
    bool Cancelled = false;
    bool IoStopped = false;  // an I/O error that makes further rows pointless (the destination is full)
};

struct RunHooks {
    // Called once per row when its outcome is known.
    std::function<void(const RowReport&)> OnRow;
    // Polled between rows and between lines; true stops the run (the file being written is discarded).
    std::function<bool()> ShouldCancel;
    // Where the two progress records create their views (none: nothing is shown).
    text::GaugeViewFactory* Views = nullptr;
    // For tests: intervals that look back keep each file's text (LineWay::Compact) instead of
    // reading lines again where they lie, the way the indexed reading is checked against.
    bool KeepWholeText = false;
    // For tests: the size up to which the indexed way holds a file whole (below 0: the plan's own).
    int64_t HeldFileBytes = -1;
    // For tests: every line is expanded on its own, the way whole blocks of lines are checked against.
    bool LineByLine = false;
    // For tests: the size from which one file's lines are expanded side by side (below 0: the plan's own).
    int64_t SplitBytes = -1;
    // For tests: false keeps every row's writing on the run's own thread (no helper thread), the
    // way the pipelined run is checked against.
    bool Pipeline = true;
    // For tests: the average row size from which rows go side by side (below 0: the run's own).
    int64_t LaneBytes = -1;
    // Threads for rows side by side (1: one row after the other). More than one serves only where
    // the result cannot tell: copies, intervals alone and templates that keep no state from one
    // line to the next; each thread then expands through a template context of its own, made by
    // NewExpander, and the hooks are called one at a time in table order, from any of them.
    int Jobs = 1;
    std::function<std::unique_ptr<LineExpander>()> NewExpander;
};

// The mode the run takes for every row of these settings.
bool CopiesFiles(const RunSettings& settings);

RunSummary RunFiles(tables::ArrayOfFiles& file_list, tables::ArrayOfFiles& line_buffer, LineExpander* expander,
                    const RunSettings& settings, const RunHooks& hooks = {});

// "N copied, M rewritten, K skipped".
std::string SummaryLine(const RunSummary& s);

}  // namespace rowsmith::run
