#pragma once
// Line expansion as `rowsmith-cli expand` and the golden tests run it: lines from a stream or a file
// (each with its own line end), kept by an optional interval text, each expanded through a template against one context.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/text_file.h"
#include "run/processing_run.h"
#include "template/context.h"
#include "template/evaluator.h"

namespace rowsmith::run {

// While a line is expanded the size bound is at least this many times its length (and never less
// than the context's own), so that a real long line always fits, repeated a few times.
inline constexpr std::size_t kLineBoundFactor = 8;
std::size_t LineSizeBound(std::size_t line_length);

// SetVariable(context, "line", line), then ExpandTemplate(template, context, 1), with the size bound
// raised for the line (see kLineBoundFactor).
class ContextLineExpander : public LineExpander {
  public:
    explicit ContextLineExpander(tmpl::TemplateContext& context) : context_(context) {}
    std::string ExpandLine(std::string_view template_text, std::string_view line) override;
    // The same, appended to out; the template is parsed once while it stays the same.
    void ExpandLineAppend(std::string_view template_text, std::string_view line, std::string& out);
    std::string TakeBoundReason() override { return tmpl::TakeBoundReason(context_); }
    void SetLineEnd(std::string_view eol) override;
    bool CanSaveState() const override { return true; }
    void SaveState() override;
    void RestoreState() override;
    const tmpl::TemplateContext& Context() const { return context_; }

  private:
    tmpl::TemplateContext& context_;
    std::unique_ptr<tmpl::TemplateContext> saved_;
    tmpl::PreparedTemplate prepared_;
    int32_t line_slot_ = 0;
    uint64_t line_epoch_ = 0;
    int32_t eol_slot_ = 0;
    uint64_t eol_epoch_ = 0;
};

// The engine's own expander behind a LineExpander (appending straight to the output), or null.
class StandaloneLineExpander;
ContextLineExpander* DirectExpander(LineExpander* expander);

// A LineExpander with a template record of its own: variables and counters carry on across every
// line it expands, as the program's one record does.
class StandaloneLineExpander : public LineExpander {
  public:
    StandaloneLineExpander() : inner_(record_.Context) {}
    std::string ExpandLine(std::string_view template_text, std::string_view line) override {
        return inner_.ExpandLine(template_text, line);
    }
    std::string TakeBoundReason() override { return inner_.TakeBoundReason(); }
    void SetLineEnd(std::string_view eol) override { inner_.SetLineEnd(eol); }
    bool CanSaveState() const override { return true; }
    void SaveState() override { inner_.SaveState(); }
    void RestoreState() override { inner_.RestoreState(); }
    tmpl::TemplateContext& Context() { return record_.Context; }
    ContextLineExpander& Inner() { return inner_; }

  private:
    tmpl::TemplateRecordT record_;
    ContextLineExpander inner_;
};

inline constexpr std::string_view kDefaultTemplate = "{{originalline}}{{eol}}";

struct ExpandLinesOptions {
    std::string TemplateText = std::string(kDefaultTemplate);
    bool IntervalActive = false;
    std::string IntervalText;
    // Which LF ends a line, and the "eol" each line gets (see files::LineEnds).
    files::LineEnds LineEnds = files::LineEnds::Auto;
    // How each input's bytes become text (default: detected per input), and what the output is
    // written in (none: each input's own encoding, with its byte order mark).
    files::EncodingChoice Encodings = DetectedEncodings();
    std::optional<text::Encoding> OutputEncoding;
    static files::EncodingChoice DetectedEncodings() {
        files::EncodingChoice c;
        c.Detect = true;
        return c;
    }
    // When set, told each kept line's number in the input and its text before it is expanded.
    std::function<void(int64_t, std::string_view)> BeforeLine;
};

struct ExpandLinesResult {
    bool Ok = true;      // the input could be read completely
    std::string Reason;  // why not
    bool WriteFailed = false;
    int64_t LinesRead = 0;
    int64_t LinesExpanded = 0;
    // Lines whose expansion met a bound (a tag yielded the empty text instead), and the first of them.
    int64_t BoundHits = 0;
    // A character the output encoding cannot hold stopped the output at this line (0: none).
    int64_t UnwritableLine = 0;
    std::string UnwritableReason;
    int64_t FirstBoundLine = 0;
    std::string FirstBoundReason;
};

ExpandLinesResult ExpandLines(std::istream& in, std::ostream& out, const ExpandLinesOptions& options,
                              LineExpander& expander);
ExpandLinesResult ExpandLinesOfFile(std::string_view path, std::ostream& out,
                                    const ExpandLinesOptions& options, LineExpander& expander);

// One piece of an interval that can be walked while the lines stream past: lines Start..End, or
// Start to the last line when OpenEnd.
struct StreamPiece {
    int32_t Start = 1;
    int32_t End = 0;
    bool OpenEnd = false;
};
// Whether the interval selects the same lines, in file order and without repeats, whatever the line
// count (no piece counts from the end, none runs downward, each starts after the previous ends).
bool PlanStreamingInterval(std::string_view interval, std::vector<StreamPiece>& pieces);

}  // namespace rowsmith::run
