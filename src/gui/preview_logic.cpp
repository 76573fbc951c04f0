#include "gui/preview_logic.h"

#include <algorithm>
#include <cstring>

#include "files/platform_fs.h"
#include "run/expand_lines.h"
#include "template/context.h"
#include "text/intervals.h"

namespace rowsmith::gui {

namespace {

constexpr std::size_t npos = std::string::npos;
constexpr int64_t kBlock = 64 << 10;

bool IsFileRow(const tables::ArrayOfFiles& list, int32_t row) {
    const tables::DataRecT* r = list.Row(row);
    if (r == nullptr) return false;
    if (r->Extra && (r->Extra->Facts.Attributes & files::fs::kAttrFolder)) return false;
    return !list.GetCell(row, tables::kCodeFullPath).empty();
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == npos ? path : path.substr(slash + 1);
}

std::string SizeText(int64_t bytes) {
    constexpr int64_t mib = int64_t{1} << 20;
    if (bytes >= mib && bytes % mib == 0) return std::to_string(bytes / mib) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// A line of the held text: where it starts, its length, the length of its line break and which one
// it is.
struct HeldLine {
    std::size_t at = 0;
    std::size_t length = 0;
    std::size_t terminator = 0;
    files::LineEnd end = files::LineEnd::None;
};

// Lines of a file read in blocks, split by the run's rule (files::LineSplitter: under auto the first
// LF of the file decides), holding at most `cap` bytes. The text stays in one buffer, so that held
// lines remain valid while more are read.
class CappedLines {
  public:
    CappedLines(int64_t cap, files::LineEnds mode) : cap_(std::max<int64_t>(cap, 0)), splitter_(mode) {}

    // Without waiting: a pipe put in the file's place must not hang the window.
    bool Open(const std::string& path) {
        files::fs::PathFacts facts;
        return file_.OpenSource(path, facts);
    }
    bool NotRegular() const { return file_.NotRegular(); }
    int Error() const { return file_.Error(); }

    // False at the end, after a read error, or when the cap leaves only part of a line.
    bool Next(HeldLine& line) {
        for (;;) {
            std::size_t lf = text_.find('\n', std::max(searched_, pos_));
            while (lf != npos) {
                if (splitter_.Ends(text_.data(), pos_, lf)) {
                    const files::LineEnd end = files::LineSplitter::EndAt(text_.data(), pos_, lf);
                    const std::size_t terminator = end == files::LineEnd::Crlf ? 2 : 1;
                    line = {pos_, lf + 1 - terminator - pos_, terminator, end};
                    pos_ = lf + 1;
                    searched_ = pos_;
                    return true;
                }
                lf = text_.find('\n', lf + 1);
            }
            searched_ = text_.size();
            if (!Fill()) {
                // What the cap cut off is not a whole line: it is left out rather than shown wrong.
                if (pos_ >= text_.size() || capped_ || failed_) return false;
                line = {pos_, text_.size() - pos_, 0, files::LineEnd::None};
                pos_ = text_.size();
                return true;
            }
        }
    }

    // The file's rule as far as read: Auto while no LF was seen.
    files::LineEnds Rule() const { return splitter_.Rule(); }
    const std::string& Text() const { return text_; }
    bool Capped() const { return capped_; }
    bool Failed() const { return failed_; }

  private:
    bool Fill() {
        if (eof_) return false;
        const int64_t room = cap_ - static_cast<int64_t>(text_.size());
        if (room <= 0) {
            // Full: the file goes on only if one more byte is there.
            char probe = 0;
            const int64_t got = file_.Read(&probe, 1);
            capped_ = got > 0;
            failed_ = got < 0;
            eof_ = true;
            return false;
        }
        const std::size_t old = text_.size();
        const int64_t want = std::min(kBlock, room);
        text_.resize(old + static_cast<std::size_t>(want));
        const int64_t got = file_.Read(text_.data() + old, want);
        text_.resize(old + static_cast<std::size_t>(std::max<int64_t>(got, 0)));
        if (got <= 0) {
            eof_ = true;
            failed_ = got < 0;
            return false;
        }
        return true;
    }

    files::fs::File file_;
    int64_t cap_;
    files::LineSplitter splitter_;
    std::string text_;
    std::size_t pos_ = 0;
    std::size_t searched_ = 0;
    bool eof_ = false;
    bool capped_ = false;
    bool failed_ = false;
};

}  // namespace

int32_t PreviewRowOf(const tables::ArrayOfFiles& list, int32_t selected_row) {
    if (selected_row >= 1 && selected_row <= list.RowCount && IsFileRow(list, selected_row))
        return selected_row;
    for (int32_t row = 1; row <= list.RowCount; ++row)
        if (IsFileRow(list, row)) return row;
    return 0;
}

namespace {

using SelectedLines = std::vector<std::pair<int32_t, HeldLine>>;

// The selected lines, in the order the run writes them; false when the run would need the whole file
// (counting from the end, downward or repeating pieces), which is then read up to the cap.
bool SelectLines(CappedLines& reader, const run::RunSettings& s, bool use_interval, std::size_t wanted,
                 SelectedLines& selected) {
    std::vector<run::StreamPiece> plan;
    const bool streaming = !use_interval || run::PlanStreamingInterval(s.IntervalText, plan);
    HeldLine line;
    if (streaming) {
        // The lines stream past: reading ends once enough of them are selected.
        if (!use_interval) plan.assign(1, run::StreamPiece{1, 0, true});
        std::size_t piece = 0;
        int32_t number = 0;
        while (selected.size() < wanted && piece < plan.size() && reader.Next(line)) {
            ++number;
            if (number < plan[piece].Start) continue;
            selected.emplace_back(number, line);
            if (!plan[piece].OpenEnd && number >= plan[piece].End) ++piece;
        }
        return true;
    }
    std::vector<HeldLine> lines;
    while (reader.Next(line)) lines.push_back(line);
    const int32_t count = static_cast<int32_t>(std::min<std::size_t>(lines.size(), 2147483647));
    text::LoopT loop;
    text::InitLoop(loop, s.IntervalText, 1, count);
    while (selected.size() < wanted && text::NextInLoop(loop)) {
        if (loop.Current < 1 || loop.Current > count) continue;
        selected.emplace_back(loop.Current, lines[static_cast<std::size_t>(loop.Current - 1)]);
    }
    return false;
}

// What Start would write for each selected line, through a template record of the preview's own,
// initialised as the window's is at start-up: whatever the template counts or defines here is gone
// when the preview is.
void ExpandRows(const PreviewRequestT& request, const SelectedLines& selected, const std::string& text,
                bool use_template, PreviewT& p) {
    const run::RunSettings& s = request.settings;
    tmpl::TemplateRecordT record;
    run::ContextLineExpander expander(record.Context);
    p.rows.reserve(selected.size());
    for (const auto& [number, held] : selected) {
        PreviewRowT row;
        row.line = number;
        row.input = text.substr(held.at, held.length);
        row.end = held.end;
        const std::string_view eol = files::OutputLineEnd(s.LineEnds, held.end);
        if (p.copies) {
            row.output = text.substr(held.at, held.length + held.terminator);
        } else if (!use_template) {
            row.output = row.input;
            row.output += eol;
        } else {
            row.trace.MaxSteps = kPreviewTraceSteps;
            record.Context.Trace = request.trace ? &row.trace : nullptr;
            // "eol" is the line's own end under auto (none for a last line without one), else the forced one.
            expander.SetLineEnd(eol);
            row.output = expander.ExpandLine(s.TemplateText, row.input);
            record.Context.Trace = nullptr;
        }
        p.rows.push_back(std::move(row));
    }
}

// The status line under the preview.
std::string PreviewMessage(const PreviewT& p, const std::string& path, int64_t max_bytes, bool streaming,
                           std::size_t wanted, files::LineEnds mode) {
    const std::string name = NameOf(path);
    // Under auto the file decided where its lines end; the rows alone do not tell.
    std::string decided;
    if (mode == files::LineEnds::Auto && p.rule == files::LineEnds::Crlf) decided = " (lines end at CR LF)";
    if (mode == files::LineEnds::Auto && p.rule == files::LineEnds::Lf) decided = " (lines end at every LF)";
    if (p.capped && !streaming)
        return "Only the first " + SizeText(max_bytes) + " of " + name +
               " were read: lines counted from the end are those of the part read";
    if (p.capped && p.rows.size() < wanted) return "Only the first " + SizeText(max_bytes) + " of " + name + " were read";
    if (p.rows.empty()) return p.bytes_read == 0 ? name + " is empty" : "The interval selects no line of " + name;
    if (p.copies) return name + " is copied unchanged: neither option is in effect";
    if (p.rows.size() == 1) return name + decided + ": the only selected line";
    return name + decided + (p.rows.size() < wanted ? ": all " : ": the first ") + std::to_string(p.rows.size()) +
           " selected lines";
}

}  // namespace

PreviewT BuildPreview(const PreviewRequestT& request) {
    PreviewT p;
    const run::RunSettings& s = request.settings;
    const std::string& path = request.file;
    if (path.empty()) {
        p.message = "No file to preview: populate the file list";
        return p;
    }
    files::fs::PathFacts facts;
    if (!files::fs::GetFacts(path, facts) || !facts.exists) {
        p.message = "Cannot read " + path + ": the file does not exist";
        return p;
    }
    CappedLines reader(request.max_bytes, s.LineEnds);
    if (!facts.is_file || !reader.Open(path)) {
        p.message = "Cannot read " + path + ": " +
                    (!facts.is_file || reader.NotRegular() ? std::string("it is not a file")
                                                           : std::string(std::strerror(reader.Error())));
        return p;
    }
    p.copies = run::CopiesFiles(s);
    const bool use_template = !p.copies && s.TemplateActive && !s.TemplateText.empty();
    const bool use_interval = !p.copies && s.IntervalActive;
    const std::size_t wanted = static_cast<std::size_t>(std::max(request.max_rows, 0));
    SelectedLines selected;
    const bool streaming = SelectLines(reader, s, use_interval, wanted, selected);
    p.bytes_read = static_cast<int64_t>(reader.Text().size());
    p.capped = reader.Capped();
    p.rule = reader.Rule();
    if (reader.Failed()) {
        p.message = "Cannot read " + path + ": " +
                    (reader.Error() ? std::string(std::strerror(reader.Error())) : std::string("read error"));
        return p;
    }
    p.ok = true;
    ExpandRows(request, selected, reader.Text(), use_template, p);
    p.message = PreviewMessage(p, path, request.max_bytes, streaming, wanted, s.LineEnds);
    return p;
}

}  // namespace rowsmith::gui
