// rowsmith-cli expand: every line of the FILEs (or of standard input) through a template to standard
// output, with one template context for the whole invocation.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/file_list_setup.h"
#include "cli/options.h"
#include "run/expand_lines.h"
#include "template/trace.h"

namespace rowsmith::cli {

namespace {

// --trace: the steps of each kept line go to the error stream, under a header with the line's number
// and text. Only the context's trace is switched on; the lines are expanded exactly as without it,
// so standard output stays the same. A line's trace is printed when the next line starts (or at the
// end of its input), the collector is emptied for every line, so its bound holds per line.
class LineTracer {
  public:
    LineTracer(tmpl::TemplateContext& context, std::ostream& err) : context_(context), err_(err) {
        context_.Trace = &trace_;
    }
    ~LineTracer() {
        Flush();
        context_.Trace = nullptr;
    }
    void File(std::string_view path) {
        Flush();
        err_ << "file: \"" << tmpl::VisibleText(path) << "\"\n";
    }
    void Begin(int64_t number, std::string_view line) {
        Flush();
        // The line's end ({{eol}}) is set before the line is traced: it shows as the run sees it.
        header_ = "line " + std::to_string(number) + ": \"" + tmpl::VisibleText(line) + "\" eol \"" +
                  tmpl::VisibleText(tmpl::GetVariableValue(context_, "eol")) + "\"\n";
        pending_ = true;
    }
    void Flush() {
        if (!pending_) return;
        err_ << header_ << tmpl::FormatTrace(trace_);
        pending_ = false;
        trace_.Clear();
    }

  private:
    tmpl::TemplateContext& context_;
    std::ostream& err_;
    tmpl::CollectingTrace trace_;
    std::string header_;
    bool pending_ = false;
};

// A bound of the engine that changed a line's result is told once per input: the first line it hit
// (how many lines in all when more), and the input's exit status becomes "not all done".
bool ReportBoundHits(const run::ExpandLinesResult& r, std::string_view input, std::ostream& err) {
    if (r.BoundHits == 0) return false;
    err << "rowsmith-cli: ";
    if (!input.empty()) err << input << ": ";
    err << "line " << r.FirstBoundLine << ": " << r.FirstBoundReason << "; the tag yields empty text";
    if (r.BoundHits > 1) err << " (" << r.BoundHits << " lines met a bound)";
    err << "\n";
    return true;
}

// A character the output encoding cannot hold ended the input's output: told with its line.
bool ReportUnwritable(const run::ExpandLinesResult& r, const std::string& input, std::ostream& err) {
    if (r.UnwritableLine == 0) return false;
    err << "rowsmith-cli: ";
    if (!input.empty()) err << input << ": ";
    err << "line " << r.UnwritableLine << ": " << r.UnwritableReason << "; the output ends before that line\n";
    return true;
}

}  // namespace

// Exit status: 0 all done; 2 an input could not be read or a bound changed a line's result (both
// told on stderr); 4 the output could not be written.
int ExpandCommand(const ExpandOptions& o, Io& io) {
    if (!ApplyCodepage(o.codepage, io)) return kExitUsage;

    run::ExpandLinesOptions options;
    if (o.template_file) {
        if (!ReadWholeFile(*o.template_file, options.TemplateText, io, "template file")) return kExitUsage;
    } else if (o.template_text) {
        options.TemplateText = *o.template_text;
    }
    options.IntervalActive = o.interval.has_value();
    options.IntervalText = o.interval.value_or("");
    files::ParseLineEnds(o.line_ends, options.LineEnds);  // checked by the option parser
    if (!CheckEncodings(o.encoding, o.legacy_encoding, o.output_encoding, io, &options.Encodings,
                        &options.OutputEncoding))
        return kExitUsage;

    run::StandaloneLineExpander expander;
    std::optional<LineTracer> tracer;
    if (o.trace) {
        tracer.emplace(expander.Context(), io.err);
        options.BeforeLine = [&tracer](int64_t number, std::string_view line) {
            tracer->Begin(number, line);
        };
    }
    int status = kExitOk;
    if (o.files.empty()) {
        const run::ExpandLinesResult r = run::ExpandLines(io.in, io.out, options, expander);
        if (tracer) tracer->Flush();
        if (r.WriteFailed) {
            io.err << "rowsmith-cli: cannot write the output\n";
            return kExitIoError;
        }
        if (!r.Ok) {
            io.err << "rowsmith-cli: standard input: " << r.Reason << "\n";
            status = kExitSkipped;
        }
        if (ReportBoundHits(r, {}, io.err)) status = kExitSkipped;
        if (ReportUnwritable(r, {}, io.err)) status = kExitSkipped;
    } else {
        for (const std::string& file : o.files) {
            if (tracer) tracer->File(file);
            const run::ExpandLinesResult r = run::ExpandLinesOfFile(file, io.out, options, expander);
            if (tracer) tracer->Flush();
            if (r.WriteFailed) {
                io.err << "rowsmith-cli: cannot write the output\n";
                return kExitIoError;
            }
            if (!r.Ok) {
                io.err << "rowsmith-cli: " << file << ": " << r.Reason << "\n";
                status = kExitSkipped;
            }
            if (ReportBoundHits(r, file, io.err)) status = kExitSkipped;
            if (ReportUnwritable(r, file, io.err)) status = kExitSkipped;
        }
    }
    io.out.flush();
    if (!io.out) {
        io.err << "rowsmith-cli: cannot write the output\n";
        return kExitIoError;
    }
    return status;
}

}  // namespace rowsmith::cli
