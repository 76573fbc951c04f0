#include "gui/logic/main_window_logic.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::gui {
namespace {

TEST(MainWindowLogic, RunSettingsFromControlStates) {
    struct Case {
        const char* what;
        ControlStateT create, overwrite;
        uint8_t flags;
    } cases[] = {
        {"defaults: create folders, overwrite", {true, true}, {true, true}, 2},
        {"no folders", {false, true}, {true, true}, 1 | 2},
        {"rename", {true, true}, {false, true}, 4},
        {"no folders, rename", {false, true}, {false, true}, 1 | 4},
        // A checked but disabled box counts as unchecked.
        {"create disabled", {true, false}, {true, true}, 1 | 2},
        {"overwrite disabled", {true, true}, {true, false}, 4},
    };
    for (const Case& c : cases) {
        RunInputsT in;
        in.create_folders = c.create;
        in.overwrite = c.overwrite;
        EXPECT_EQ(BuildRunSettings(in).DestinationFlags, c.flags) << c.what;
    }

    // The edits count by their enabled state alone, empty or not; their texts pass unchanged.
    RunInputsT in;
    in.interval_edit_enabled = true;
    in.interval_text = "";
    in.template_edit_enabled = false;
    in.template_text = "{{line}} ";
    const run::RunSettings s = BuildRunSettings(in);
    EXPECT_TRUE(s.IntervalActive);
    EXPECT_EQ(s.IntervalText, "");
    EXPECT_FALSE(s.TemplateActive);
    EXPECT_EQ(s.TemplateText, "{{line}} ");
    // Untouched choices are the command line's defaults.
    EXPECT_EQ(s.LineEnds, files::LineEnds::Auto);
    EXPECT_EQ(s.Encoding, "auto");
    EXPECT_EQ(s.LegacyEncoding, "windows-1252");
    EXPECT_EQ(s.OutputEncoding, "same");
}

TEST(MainWindowLogic, LineEndsFromTheChoice) {
    struct {
        int index;
        files::LineEnds ends;
    } cases[] = {
        {0, files::LineEnds::Auto},
        {1, files::LineEnds::Crlf},
        {2, files::LineEnds::Lf},
        // A combo box with nothing chosen reads -1.
        {-1, files::LineEnds::Auto},
        {3, files::LineEnds::Auto},
    };
    for (const auto& c : cases) {
        RunInputsT in;
        in.line_ends_choice = c.index;
        EXPECT_EQ(BuildRunSettings(in).LineEnds, c.ends) << c.index;
    }
}

TEST(MainWindowLogic, EncodingFromTheChosenOrTypedText) {
    struct {
        const char* text;
        const char* encoding;
    } cases[] = {
        {"Auto", "auto"},
        {"UTF-8", "utf-8"},
        {"UTF-16 LE", "utf-16le"},
        {"UTF-16 BE", "utf-16be"},
        {"Bytes (one byte one character)", "bytes"},
        {"windows-1252", "windows-1252"},
        {"shift_jis", "shift_jis"},
        // Typed: a caption in another case is still that choice; blanks around a name go.
        {"auto", "auto"},
        {"utf-16 le", "utf-16le"},
        {"  UTF-8\t", "utf-8"},
        {"", "auto"},
        {"   ", "auto"},
        // Any other name goes to the run as typed (the run judges it), less its blanks.
        {" cp437 ", "cp437"},
        {"ISO-8859-15", "ISO-8859-15"},
        {"utf-16le", "utf-16le"},
        {"UTF16LE", "UTF16LE"},
        {"Bytes", "Bytes"},
    };
    for (const auto& c : cases) {
        RunInputsT in;
        in.encoding_text = c.text;
        EXPECT_EQ(BuildRunSettings(in).Encoding, c.encoding) << '"' << c.text << '"';
    }
}

TEST(MainWindowLogic, EncodingProblemsAreThoseTheRunWouldSkipWith) {
    auto problem = [](std::string_view text) {
        RunInputsT in;
        in.encoding_text = std::string(text);
        return EncodingProblem(BuildRunSettings(in));
    };
    // Every listed choice must be one the run can read.
    for (const EncodingChoiceT& c : kEncodingChoices) EXPECT_EQ(problem(c.caption), "") << c.caption;
    struct Case {
        const char* text;
        const char* says;  // "": no problem
    } cases[] = {
        {"", ""},
        {"cp1252", ""},
        {"xyz", "unknown encoding \"xyz\""},
        {"  xyz  ", "unknown encoding \"xyz\""},  // trimmed, as the run gets it
        {"utf-16", "byte order"},
    };
    for (const Case& c : cases) {
        const std::string got = problem(c.text);
        if (*c.says == '\0')
            EXPECT_EQ(got, "") << c.text;
        else
            EXPECT_NE(got.find(c.says), std::string::npos) << c.text << ": " << got;
    }
}

TEST(MainWindowLogic, EnablingRulesAndColumns) {
    EXPECT_FALSE(StartEnabled(true, 0));
    EXPECT_FALSE(StartEnabled(false, 5));
    EXPECT_TRUE(StartEnabled(true, 1));

    EXPECT_EQ(DestinationModeFor({true, true}), 0);
    EXPECT_EQ(DestinationModeFor({false, true}), 2);
    EXPECT_EQ(DestinationModeFor({true, false}), 2);

    EXPECT_FALSE(OptionEditEnabled({true, false}));
    EXPECT_TRUE(OptionEditEnabled({true, true}));

    struct {
        int levels;
        bool shown;
    } levels[] = {{-1, false}, {0, false}, {1, true}, {255, true}};
    for (const auto& c : levels) EXPECT_EQ(PathColumnShown(c.levels), c.shown) << c.levels;
}

TEST(MainWindowLogic, StatusBarAndTopMargin) {
    struct {
        int width, outcome, caption;
    } cases[] = {{1000, 750, 250}, {1003, 750, 250}, {3, 0, 0}, {-10, 0, 0}};
    for (const auto& c : cases) {
        const StatusWidthsT w = StatusPanelWidths(c.width);
        EXPECT_EQ(w.outcome, c.outcome) << c.width;
        EXPECT_EQ(w.caption, c.caption) << c.width;
    }
    EXPECT_EQ(PanelsTopMargin(kTabTop, 24), 40);

    run::RunSummary summary;
    summary.Copied = 2;
    summary.Rewritten = 1;
    summary.Skipped = 3;
    EXPECT_EQ(OutcomeText(summary), "2 copied, 1 rewritten, 3 skipped");
    EXPECT_EQ(OutcomeWord(run::RowOutcome::Skipped), "skipped");
    EXPECT_EQ(OutcomeWord(run::RowOutcome::Rewritten), "rewritten");
}

TEST(MainWindowLogic, PresetPathsKeepTheArgumentsAsGiven) {
    struct Case {
        std::vector<std::string> args;
        const char* source;
        const char* destination;
    } cases[] = {
        {{}, "", ""},
        {{"/Home/Me/Src"}, "/Home/Me/Src", ""},
        // Letter case, blanks and "=" stay: these are folder names, not key/value lines.
        {{"/data/A B=1", "../Out"}, "/data/A B=1", "../Out"},
        {{"a", "b", "c"}, "a", "b"},
    };
    for (const Case& c : cases) {
        const PresetPathsT p = PresetPaths(c.args);
        EXPECT_EQ(p.source, c.source);
        EXPECT_EQ(p.destination, c.destination);
    }
}

TEST(MainWindowLogic, ShellQuotingReadsBackUnchanged) {
    struct {
        const char* word;
        const char* quoted;
    } cases[] = {
        {"/home/me/src", "/home/me/src"},
        {"", "''"},
        {"a b", "'a b'"},
        {"*.txt|*.csv", "'*.txt|*.csv'"},
        {"it's", "'it'\\''s'"},
        {"{{line}}$HOME`x`", "'{{line}}$HOME`x`'"},
        {"-1", "-1"},
    };
    for (const auto& c : cases) EXPECT_EQ(ShellQuote(c.word), c.quoted) << c.word;
}

TEST(MainWindowLogic, CommandLineCarriesEveryOptionOfTheRun) {
    CommandInputsT in;
    in.source = "/data/My Src";
    in.destination = "/data/out";
    const std::string plain = CommandLineFor(in);
    EXPECT_EQ(plain, "rowsmith-cli run '/data/My Src' /data/out --levels=0 --masks='*.*'");

    in.program = "/opt/bin/rowsmith-cli";
    in.levels = 2;
    in.flat = true;
    in.sort = "-filename";
    in.settings.IntervalActive = true;
    in.settings.IntervalText = "-1";
    in.settings.TemplateActive = true;
    in.settings.TemplateText = "";  // enabled but empty: the run copies, and so does the command
    in.settings.DestinationFlags = 1 | 4;
    in.settings.LineEnds = files::LineEnds::Lf;
    in.settings.Encoding = "utf-16le";
    EXPECT_EQ(CommandLineFor(in),
              "/opt/bin/rowsmith-cli run '/data/My Src' /data/out --levels=2 --masks='*.*' --interval=-1 "
              "--template='' --flat --no-create-folders --rename --sort=-filename --line-ends=lf "
              "--encoding=utf-16le");
}

// A saved job holds what "Start" would do, and the window's controls give its values back.
TEST(MainWindowLogic, JobsCarryWhatStartWouldDo) {
    CommandInputsT in;
    in.source = "/data/in";
    in.destination = "/data/out";
    in.levels = 3;
    in.masks = "*.txt|*.csv";
    in.flat = true;
    in.sort = "-size";
    in.settings.IntervalActive = false;
    in.settings.IntervalText = "2-5";  // kept while unchecked
    in.settings.TemplateActive = true;
    in.settings.TemplateText = "{{line}}\n{{eol}}";
    in.settings.DestinationFlags = 1 | 4;  // no folders made, rename
    in.settings.LineEnds = files::LineEnds::Lf;
    in.settings.Encoding = "koi8-r";
    in.settings.OutputEncoding = "utf-8";
    const run::Job job = JobFor(in);
    EXPECT_EQ(job.Source, "/data/in");
    EXPECT_EQ(job.Levels, 3);
    EXPECT_TRUE(job.Flat);
    EXPECT_FALSE(job.CreateFolders);
    EXPECT_FALSE(job.Overwrite);
    EXPECT_FALSE(job.IntervalOn);
    EXPECT_EQ(job.Interval, "2-5");
    EXPECT_EQ(job.Template, "{{line}}\n{{eol}}");
    EXPECT_EQ(job.OutputEncoding, "utf-8");
    in.settings.DestinationFlags = 2;
    EXPECT_TRUE(JobFor(in).CreateFolders);
    EXPECT_TRUE(JobFor(in).Overwrite);

    for (std::size_t i = 0; i < kLineEndsChoices.size(); ++i)
        EXPECT_EQ(LineEndsChoiceOf(kLineEndsChoices[i].value), static_cast<int>(i));
    // Every name comes back through the combo's text: a choice by its caption, others as typed.
    for (const char* name : {"auto", "utf-8", "UTF-16LE", "bytes", "koi8-r", "ibm-437", "x-unknown"}) {
        const std::string text = EncodingTextFor(name);
        EXPECT_EQ(EncodingForText(text), EncodingForText(name)) << name;
    }
    EXPECT_EQ(EncodingTextFor("utf-16be"), "UTF-16 BE");
    EXPECT_EQ(EncodingTextFor("ibm-437"), "ibm-437");
}

TEST(MainWindowLogic, CommandLineCarriesLineEndsAndEncodings) {
    const std::string head = "rowsmith-cli run /s /d --levels=0 --masks='*.*'";
    struct {
        const char* what;
        files::LineEnds ends;
        const char* encoding;
        const char* legacy;
        const char* output;
        const char* tail;
    } cases[] = {
        {"defaults add nothing", files::LineEnds::Auto, "auto", "windows-1252", "same", ""},
        {"CR LF", files::LineEnds::Crlf, "auto", "windows-1252", "same", " --line-ends=crlf"},
        {"LF", files::LineEnds::Lf, "auto", "windows-1252", "same", " --line-ends=lf"},
        {"bytes", files::LineEnds::Auto, "bytes", "windows-1252", "same", " --encoding=bytes"},
        {"both", files::LineEnds::Crlf, "koi8-r", "windows-1252", "same", " --line-ends=crlf --encoding=koi8-r"},
        {"a typed name is quoted", files::LineEnds::Auto, "my code page", "windows-1252", "same",
         " --encoding='my code page'"},
        {"a name that looks like an option stays a value", files::LineEnds::Auto, "-x", "windows-1252", "same",
         " --encoding=-x"},
        {"legacy and output encodings other than the defaults", files::LineEnds::Auto, "auto", "latin1", "utf-8",
         " --legacy-encoding=latin1 --output-encoding=utf-8"},
    };
    for (const auto& c : cases) {
        CommandInputsT in;
        in.source = "/s";
        in.destination = "/d";
        in.settings.LineEnds = c.ends;
        in.settings.Encoding = c.encoding;
        in.settings.LegacyEncoding = c.legacy;
        in.settings.OutputEncoding = c.output;
        EXPECT_EQ(CommandLineFor(in), head + c.tail) << c.what;
    }
}

}  // namespace
}  // namespace rowsmith::gui

namespace rowsmith::gui {
namespace {

TEST(MainWindowLogic, StatusLineKeepsTheProblemFirstAndTheOutdatedListInSight) {
    struct Case {
        const char* problem;
        bool outdated;
        const char* message;
        const char* shown;
    } cases[] = {
        {"", false, "2 files listed", "2 files listed"},
        {"", false, "", ""},
        {"", true, "", "The file list is outdated: populate it again"},
        {"", true, "Command line copied", "Command line copied - The file list is outdated: populate it again"},
        // Start refuses to run with the problem: it covers both.
        {"unknown encoding \"x\"", true, "2 files listed", "unknown encoding \"x\""},
    };
    for (const Case& c : cases) EXPECT_EQ(StatusLine(c.problem, c.outdated, c.message), c.shown) << c.message;
    EXPECT_EQ(ListedText(0), "0 files listed");
    EXPECT_EQ(ListedText(1), "1 file listed");
    EXPECT_EQ(ListedText(12), "12 files listed");
}

TEST(MainWindowLogic, OpenProblemTextNamesWhatAndWhere) {
    EXPECT_EQ(OpenProblemText(OpenOutcome::Opened, "help pages", "file:///h.htm"), "");
    const std::string none = OpenProblemText(OpenOutcome::NoHandler, "text/plain files", "/d/a.txt");
    EXPECT_NE(none.find("No program is registered to open text/plain files"), std::string::npos) << none;
    EXPECT_NE(none.find("/d/a.txt"), std::string::npos) << none;
    const std::string failed = OpenProblemText(OpenOutcome::Failed, "help pages", "file:///h.htm");
    EXPECT_NE(failed.find("Could not start"), std::string::npos) << failed;
}

TEST(MainWindowLogic, FitColumnWidthsCutsOnlyTheWidestColumns) {
    struct Case {
        const char* what;
        std::vector<int> contents;
        int available;
        std::vector<int> widths;
    } cases[] = {
        {"all fit", {30, 80, 200}, 400, {30, 80, 200}},
        {"exactly", {30, 80, 200}, 310, {30, 80, 200}},
        // The narrow ones keep theirs; the two wide ones share the rest equally.
        {"two wide", {30, 500, 20, 600}, 450, {30, 200, 20, 200}},
        // A reason wider than a path still gets its share, not what the paths leave.
        {"wide last", {40, 700, 700, 900}, 640, {40, 200, 200, 200}},
        {"one wide among narrow", {50, 50, 1000}, 300, {50, 50, 200}},
        // No room: every column keeps the minimum readable width or its own when narrower.
        {"no room", {30, 300, 300}, 50, {30, 40, 40}},
        {"empty", {}, 100, {}},
    };
    for (const Case& c : cases) {
        const std::vector<int> got = FitColumnWidths(c.contents, c.available);
        EXPECT_EQ(got, c.widths) << c.what;
        if (c.what != std::string("no room")) {
            int sum = 0;
            for (int w : got) sum += w;
            EXPECT_LE(sum, std::max(c.available, 0)) << c.what;
        }
    }

    // The kept column: whole while it takes at most half, the columns beside it cut first.
    struct Kept {
        const char* what;
        std::vector<int> contents;
        int available;
        int keep;
        std::vector<int> widths;
    } kept[] = {
        {"all fit", {40, 300, 300, 230}, 900, 3, {40, 300, 300, 230}},
        {"paths cut, reason whole", {40, 300, 300, 230}, 640, 3, {40, 185, 185, 230}},
        {"reason wider than half", {40, 300, 300, 900}, 640, 3, {40, 140, 140, 320}},
        {"kept in the middle", {300, 100, 300}, 400, 1, {150, 100, 150}},
        {"keep outside the list", {300, 300}, 400, 5, {200, 200}},
    };
    for (const Kept& c : kept) EXPECT_EQ(FitColumnWidths(c.contents, c.available, 40, c.keep), c.widths) << c.what;
}

}  // namespace
}  // namespace rowsmith::gui
