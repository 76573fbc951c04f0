#pragma once
// The main window's decisions without a widget: when "Start" is enabled, which columns and
// destination mode the settings give, the run settings from plain control states, the texts of the
// status bar and the command line's preset paths.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gui/logic/launch_command.h"
#include "run/job_file.h"
#include "run/processing_run.h"

namespace rowsmith::gui {

inline constexpr char kWindowCaption[] = "Quorra Rowsmith 1.0";
inline constexpr char kWindowOrder[] = "panel1,panel2,panel6,panel4";
inline constexpr char kDefaultMasks[] = "*.*";
inline constexpr char kDefaultInterval[] = "1--1000000";
inline constexpr char kDefaultTemplate[] = "{{originalline}}{{eol}}";
inline constexpr int32_t kPathsPanelColour = 0xFFDFDA;
inline constexpr int32_t kDestinationPanelColour = 0xF0B3A6;
inline constexpr int32_t kStartColour = 0x0000FF;
// Where the tab control sits and the gap between it and the panels below.
inline constexpr int kTabTop = 8;
inline constexpr int kTabGap = 8;

// A control as the rules see it: its own checked and enabled states.
struct ControlStateT {
    bool checked = false;
    bool enabled = true;
    // Checked and enabled, as IsChecked reads a check box or radio button.
    bool IsOn() const { return checked && enabled; }
};

// "Start" needs a usable source/destination pair and at least one listed file.
bool StartEnabled(bool pair_valid, int32_t file_count);
// The file list's destination mode: keep the structure (0) or flat (2).
uint8_t DestinationModeFor(ControlStateT keep_structure);
// The "Path" column shows only when the scan descends into subfolders.
bool PathColumnShown(int levels);
// An option edit is enabled exactly when its check box is on.
bool OptionEditEnabled(ControlStateT check_box);

// The "Line ends" choices in their order; the first is the default.
struct LineEndsChoiceT {
    const char* caption;
    files::LineEnds value;
};
inline constexpr std::array<LineEndsChoiceT, 3> kLineEndsChoices = {{
    {"Auto", files::LineEnds::Auto},
    {"Windows CR LF", files::LineEnds::Crlf},
    {"Unix LF", files::LineEnds::Lf},
}};
// The "Encoding" choices in their order, the first the default; any other name may be typed.
struct EncodingChoiceT {
    const char* caption;
    const char* name;  // as RunSettings::Encoding and --encoding take it
};
inline constexpr std::array<EncodingChoiceT, 10> kEncodingChoices = {{
    {"Auto", "auto"},
    {"UTF-8", "utf-8"},
    {"UTF-16 LE", "utf-16le"},
    {"UTF-16 BE", "utf-16be"},
    {"Bytes (one byte one character)", "bytes"},
    {"windows-1252", "windows-1252"},
    {"latin1", "latin1"},
    {"windows-1251", "windows-1251"},
    {"koi8-r", "koi8-r"},
    {"shift_jis", "shift_jis"},
}};
// The line ends of the choice at this index; Auto for an index outside the list (nothing chosen).
files::LineEnds LineEndsForChoice(int index);
// The encoding name of the "Encoding" text: a caption (any letter case) gives its name, anything else
// is a typed name, trimmed; blank means auto.
std::string EncodingForText(std::string_view text);

// What DoIt reads from the window.
struct RunInputsT {
    bool interval_edit_enabled = false;
    std::string interval_text;
    bool template_edit_enabled = false;
    std::string template_text;
    ControlStateT create_folders;
    ControlStateT overwrite;
    int line_ends_choice = 0;    // the "Line ends" index
    std::string encoding_text;   // the "Encoding" text, chosen or typed
};
run::RunSettings BuildRunSettings(const RunInputsT& inputs);
// Why the run cannot read files with the settings' encodings, as the run would skip every rewrite
// (`unknown encoding "xyz"`, or a name without its byte order such as "utf-16"); empty when it can.
std::string EncodingProblem(const run::RunSettings& settings);

// Status bar panel 0 after a run: "N copied, M rewritten, K skipped".
std::string OutcomeText(const run::RunSummary& summary);
// Status bar panel 0 after a Populate: "N files listed" ("1 file listed").
std::string ListedText(int32_t count);
inline constexpr char kListOutdatedText[] = "The file list is outdated: populate it again";
inline constexpr char kCommandCopiedText[] = "Command line copied";
inline constexpr char kCloseDuringRunQuestion[] = "A run is in progress. Stop it after the current file?";
// What status bar panel 0 shows: an encoding problem covers everything (Start refuses to run); an
// outdated list is said after the latest message, so that neither hides the other.
std::string StatusLine(std::string_view encoding_problem, bool list_outdated, std::string_view message);
// Why opening `target` seemed to do nothing, for the status bar; empty when it opened. `what` names
// the kind of thing ("help pages", "text/plain files").
std::string OpenProblemText(OpenOutcome outcome, std::string_view what, std::string_view target);

// Column widths that fit `available` pixels: the contents' widths when they all fit, else the
// widest columns are cut to one common width and the narrower keep theirs, so that no column (the
// last one, which holds the reasons, included) is pushed out of sight. A cut column keeps at least
// `min_width` even when the sum then exceeds `available`. The `keep` column (none when outside the
// list) keeps its whole width up to half of `available`, the others sharing the rest: its text is
// the one that must be read, the paths beside it can lose their middle.
std::vector<int> FitColumnWidths(const std::vector<int>& contents, int available, int min_width = 40,
                                 int keep = -1);

// Status bar panel widths for a bar of this width: three quarters and one quarter.
struct StatusWidthsT {
    int outcome = 0;
    int caption = 0;
};
StatusWidthsT StatusPanelWidths(int bar_width);
// The window layout's top margin below a tab control of this top and height.
int PanelsTopMargin(int tab_top, int tab_height);

// The preset texts of the two path edits: the first and second argument (the program path already
// dropped), exactly as given, "" when missing.
struct PresetPathsT {
    std::string source;
    std::string destination;
};
PresetPathsT PresetPaths(const std::vector<std::string>& arguments);

// The outcome of one row as the run report shows it.
std::string OutcomeWord(run::RowOutcome outcome);

// ---- Copy as command line

// A word as a POSIX shell reads it back unchanged: plain when it holds only characters no shell
// treats specially, else in single quotes (a quote inside becomes '\'').
std::string ShellQuote(std::string_view word);

// What "Start" would do, as the command line sees it. Paths should be absolute: the command may run
// in another folder.
struct CommandInputsT {
    std::string program = "rowsmith-cli";
    std::string source;
    std::string destination;
    int levels = 0;
    std::string masks = kDefaultMasks;
    bool flat = false;
    std::string sort;
    run::RunSettings settings;
};
// "rowsmith-cli run SOURCE DEST --levels=N --masks=M ..." with every option the settings need.
std::string CommandLineFor(const CommandInputsT& in);

// ---- Job files

// The job of what "Start" would do (the program is not part of it).
run::Job JobFor(const CommandInputsT& in);
// The "Line ends" index of a setting.
int LineEndsChoiceOf(files::LineEnds ends);
// The "Encoding" text that gives this name back through EncodingForText: a choice's caption when one
// has the name (any letter case), else the name itself.
std::string EncodingTextFor(std::string_view name);
inline constexpr char kJobFileFilter[] = "Rowsmith jobs (*.rowsmith);;All files (*)";
inline constexpr char kJobFileSuffix[] = "rowsmith";
// Status bar texts after saving and opening a job.
std::string JobSavedText(std::string_view path);
std::string JobOpenedText(std::string_view path);

}  // namespace rowsmith::gui
