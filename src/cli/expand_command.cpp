// rowsmith-cli expand: every line of the FILEs (or of standard input) through a template to standard
// output, with one template context for the whole invocation.

#include <ostream>

#include "cli/file_list_setup.h"
#include "cli/options.h"
#include "run/expand_lines.h"

namespace rowsmith::cli {

int ExpandCommand(const ExpandOptions& o, Io& io) {
    if (o.trace) {
        io.err << "rowsmith-cli: --trace is not available yet\n";
        return kExitUsage;
    }
    if (!ApplyCodepage(o.codepage, io)) return kExitUsage;

    run::ExpandLinesOptions options;
    if (o.template_file) {
        if (!ReadWholeFile(*o.template_file, options.TemplateText, io, "template file")) return kExitUsage;
    } else if (o.template_text) {
        options.TemplateText = *o.template_text;
    } else if (o.lf) {
        // Unix line ends in, Unix line ends out: the default template reproduces the input.
        options.TemplateText = "{{originalline}}{{lf}}";
    }
    options.IntervalActive = o.interval.has_value();
    options.IntervalText = o.interval.value_or("");
    options.UnixLineEnds = o.lf;

    run::StandaloneLineExpander expander;
    int status = kExitOk;
    if (o.files.empty()) {
        const run::ExpandLinesResult r = run::ExpandLines(io.in, io.out, options, expander);
        if (r.WriteFailed) {
            io.err << "rowsmith-cli: cannot write the output\n";
            return kExitIoError;
        }
        if (!r.Ok) {
            io.err << "rowsmith-cli: standard input: " << r.Reason << "\n";
            status = kExitSkipped;
        }
    } else {
        for (const std::string& file : o.files) {
            const run::ExpandLinesResult r = run::ExpandLinesOfFile(file, io.out, options, expander);
            if (r.WriteFailed) {
                io.err << "rowsmith-cli: cannot write the output\n";
                return kExitIoError;
            }
            if (!r.Ok) {
                io.err << "rowsmith-cli: " << file << ": " << r.Reason << "\n";
                status = kExitSkipped;
            }
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
