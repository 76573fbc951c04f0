#include "gui/logic/main_window_logic.h"

#include <algorithm>

#include "files/paths.h"
#include "run/run_plan.h"

namespace rowsmith::gui {

bool StartEnabled(bool pair_valid, int32_t file_count) {
    return pair_valid && file_count > 0;
}

uint8_t DestinationModeFor(ControlStateT keep_structure) {
    return keep_structure.IsOn() ? 0 : files::kDestinationFlat;
}

bool PathColumnShown(int levels) {
    return levels >= 1;
}

bool OptionEditEnabled(ControlStateT check_box) {
    return check_box.IsOn();
}

files::LineEnds LineEndsForChoice(int index) {
    if (index < 0 || index >= static_cast<int>(kLineEndsChoices.size())) return files::LineEnds::Auto;
    return kLineEndsChoices[static_cast<std::size_t>(index)].value;
}

std::string EncodingForText(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return "auto";
    auto same_no_case = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            char x = a[i], y = b[i];
            if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
            if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
            if (x != y) return false;
        }
        return true;
    };
    for (const EncodingChoiceT& c : kEncodingChoices)
        if (same_no_case(text, c.caption)) return c.name;
    return std::string(text);
}

run::RunSettings BuildRunSettings(const RunInputsT& in) {
    run::RunSettings s;
    // An enabled edit counts even when empty: the run then decides by the text.
    s.IntervalActive = in.interval_edit_enabled;
    s.IntervalText = in.interval_text;
    s.TemplateActive = in.template_edit_enabled;
    s.TemplateText = in.template_text;
    s.DestinationFlags = run::MakeDestinationFlags(in.create_folders.IsOn(), in.overwrite.IsOn());
    s.LineEnds = LineEndsForChoice(in.line_ends_choice);
    s.Encoding = EncodingForText(in.encoding_text);
    return s;
}

std::string EncodingProblem(const run::RunSettings& settings) {
    // The run's own reading of the names, so that the window refuses exactly what the run would skip.
    const tables::ArrayOfFiles no_files, no_lines;
    return run::MakeRunPlan(no_files, no_lines, settings, false).EncodingError;
}

std::string OutcomeText(const run::RunSummary& summary) {
    return run::SummaryLine(summary);
}

std::string ListedText(int32_t count) {
    return std::to_string(count) + (count == 1 ? " file listed" : " files listed");
}

std::string StatusLine(std::string_view encoding_problem, bool list_outdated, std::string_view message) {
    if (!encoding_problem.empty()) return std::string(encoding_problem);
    if (!list_outdated) return std::string(message);
    if (message.empty()) return kListOutdatedText;
    return std::string(message) + " - " + kListOutdatedText;
}

std::string OpenProblemText(OpenOutcome outcome, std::string_view what, std::string_view target) {
    switch (outcome) {
        case OpenOutcome::Opened:
            return {};
        case OpenOutcome::NoHandler:
            return "No program is registered to open " + std::string(what) + " (xdg-mime has no default): " +
                   std::string(target);
        case OpenOutcome::Failed:
            return "Could not start a program to open " + std::string(what) + ": " + std::string(target);
    }
    return {};
}

std::vector<int> FitColumnWidths(const std::vector<int>& contents, int available, int min_width, int keep) {
    long long total = 0;
    for (int w : contents) total += std::max(w, 0);
    if (total <= available || contents.empty()) return contents;
    if (keep >= 0 && keep < static_cast<int>(contents.size())) {
        const auto k = static_cast<std::size_t>(keep);
        const int kept = std::min(contents[k], std::max(available, 0) / 2);
        std::vector<int> others = contents;
        others.erase(others.begin() + keep);
        std::vector<int> out = FitColumnWidths(others, available - kept, min_width);
        out.insert(out.begin() + keep, kept);
        return out;
    }
    // The common width: columns narrower than it keep their width, the others share what is left.
    std::vector<int> sorted = contents;
    std::sort(sorted.begin(), sorted.end());
    long long left = std::max(available, 0);
    long long cap = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const long long share = left / static_cast<long long>(sorted.size() - i);
        if (sorted[i] > share) {
            cap = share;
            break;
        }
        left -= sorted[i];
    }
    cap = std::max<long long>(cap, min_width);
    std::vector<int> out;
    out.reserve(contents.size());
    for (int w : contents) out.push_back(static_cast<int>(std::min<long long>(w, cap)));
    return out;
}

StatusWidthsT StatusPanelWidths(int bar_width) {
    if (bar_width < 0) bar_width = 0;
    return {bar_width / 4 * 3, bar_width / 4};
}

int PanelsTopMargin(int tab_top, int tab_height) {
    return tab_top + tab_height + kTabGap;
}

PresetPathsT PresetPaths(const std::vector<std::string>& arguments) {
    PresetPathsT p;
    if (!arguments.empty()) p.source = arguments[0];
    if (arguments.size() > 1) p.destination = arguments[1];
    return p;
}

std::string OutcomeWord(run::RowOutcome outcome) {
    switch (outcome) {
        case run::RowOutcome::Copied:
            return "copied";
        case run::RowOutcome::Rewritten:
            return "rewritten";
        case run::RowOutcome::Skipped:
            return "skipped";
        case run::RowOutcome::FolderCreated:
            return "folder";
        case run::RowOutcome::Cancelled:
            return "cancelled";
    }
    return "skipped";
}

std::string ShellQuote(std::string_view word) {
    auto plain = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-' || c == '.' || c == '/' || c == ',' || c == ':' || c == '+' || c == '@' || c == '%' ||
               c == '=';
    };
    bool all_plain = !word.empty();
    for (char c : word) all_plain = all_plain && plain(c);
    if (all_plain) return std::string(word);
    std::string out = "'";
    for (char c : word) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}

std::string CommandLineFor(const CommandInputsT& in) {
    const run::RunSettings& s = in.settings;
    std::string line =
        ShellQuote(in.program) + " run " + ShellQuote(in.source) + " " + ShellQuote(in.destination);
    // "--name=value" keeps values that begin with "-" (an interval such as "-1") from reading as options.
    auto option = [&line](const char* name, std::string_view value) {
        line += std::string(" ") + name + "=" + ShellQuote(value);
    };
    option("--levels", std::to_string(in.levels));
    option("--masks", in.masks);
    if (s.IntervalActive) option("--interval", s.IntervalText);
    if (s.TemplateActive) option("--template", s.TemplateText);
    if (in.flat) line += " --flat";
    if (s.DestinationFlags & 1) line += " --no-create-folders";
    if (!(s.DestinationFlags & 2)) line += " --rename";
    if (!in.sort.empty()) option("--sort", in.sort);
    // Auto and the default encodings are what the command does without them.
    if (s.LineEnds != files::LineEnds::Auto) option("--line-ends", files::LineEndsWord(s.LineEnds));
    if (s.Encoding != "auto") option("--encoding", s.Encoding);
    if (s.LegacyEncoding != run::RunSettings().LegacyEncoding) option("--legacy-encoding", s.LegacyEncoding);
    if (s.OutputEncoding != run::RunSettings().OutputEncoding) option("--output-encoding", s.OutputEncoding);
    return line;
}

// ---- Job files

run::Job JobFor(const CommandInputsT& in) {
    run::Job job;
    job.Source = in.source;
    job.Destination = in.destination;
    job.Levels = in.levels;
    job.Masks = in.masks;
    job.Sort = in.sort;
    job.Flat = in.flat;
    const run::RunSettings& s = in.settings;
    job.CreateFolders = (s.DestinationFlags & 1) == 0;
    job.Overwrite = (s.DestinationFlags & 2) != 0;
    job.IntervalOn = s.IntervalActive;
    job.Interval = s.IntervalText;
    job.TemplateOn = s.TemplateActive;
    job.Template = s.TemplateText;
    job.LineEnds = s.LineEnds;
    job.Encoding = s.Encoding;
    job.LegacyEncoding = s.LegacyEncoding;
    job.OutputEncoding = s.OutputEncoding;
    return job;
}

int LineEndsChoiceOf(files::LineEnds ends) {
    for (std::size_t i = 0; i < kLineEndsChoices.size(); ++i)
        if (kLineEndsChoices[i].value == ends) return static_cast<int>(i);
    return 0;
}

std::string EncodingTextFor(std::string_view name) {
    for (const EncodingChoiceT& c : kEncodingChoices)
        if (EncodingForText(c.caption) == EncodingForText(name)) return c.caption;
    return std::string(name);
}

std::string JobSavedText(std::string_view path) {
    return "Job saved to " + std::string(path);
}

std::string JobOpenedText(std::string_view path) {
    return "Job opened from " + std::string(path);
}

}  // namespace rowsmith::gui
