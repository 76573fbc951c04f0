#include "cli/commands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/options.h"
#include "template/registry.h"
#include "text/encoding.h"

namespace rowsmith::cli {

namespace {

constexpr const char* kIntro =
    "Rowsmith changes text files in batches, line by line.\n"
    "\n"
    "Every file below SOURCE that matches the masks is copied to DEST, or read as lines (each file with its\n"
    "own line ends and encoding), filtered by a line interval (\"3-10;-1\") and rewritten through a template\n"
    "(\"{{line|trim|caseupper}}{{eol}}\").\n";

constexpr const char* kFooter =
    "\nExamples:\n"
    "  rowsmith-cli run src out --levels 2 --masks '*.txt|*.csv'        copy a tree\n"
    "  rowsmith-cli run src out --interval '1-3;-1'                    first three and last line\n"
    "  rowsmith-cli run src out --template '{{line|caseupper}}{{eol}}'  upper-case every line\n"
    "  rowsmith-cli run src out --line-ends crlf                       give every line a CR LF end\n"
    "  rowsmith-cli run --job tidy.rowsmith --dry-run                  what a saved job would do\n"
    "  rowsmith-cli list src --levels 1 --columns Filename,Size,FinalDestinationPath\n"
    "  find src -name '*.log' -mtime -1 | rowsmith-cli run src out --files-from - --interval -1\n"
    "                                                                  last line of each log changed today\n"
    "  rowsmith-cli list src --levels 9 --format paths --null | xargs -0 wc -l\n"
    "  rowsmith-cli interval '1-3;7;9-8' --count 10\n"
    "  printf 'a b\\n' | rowsmith-cli expand --template '{{line|caseupper}}{{eol}}'\n"
    "\nExit status: 0 all done, 1 usage error, 2 some files were not processed (skipped, in a folder that\n"
    "cannot be listed, or cancelled by a signal or a closed pipe; for expand: a bound of the engine changed\n"
    "a line), 4 an I/O error stopped the command.\n";

constexpr const char* kIntervalHelp =
    "Line interval: pieces separated by \";\", each a number or a span: 3 (line 3), 3-5, 5-3 (downward),\n"
    "3- (to the end), -1 (the last line), -3- (the last three), 1--2 (all but the last), 0-3 (= 1-3).\n"
    "Pieces are walked in the order written; overlapping pieces repeat lines.";

constexpr const char* kLineEndsHelp =
    "Line ends: auto (default) decides per file from its first line end: after a CR LF only CR LF ends a\n"
    "line, after a lone LF every LF does; {{eol}} is each line's own end (none for a last line without one).\n"
    "crlf and lf split as named and end every output line that way.";

constexpr const char* kEncodingHelp =
    "How the bytes are read as text: auto (default) decides per file: a byte order mark, else UTF-8 when the\n"
    "file is valid UTF-8, else the legacy code page (a file with NUL bytes is read as bytes); utf-8,\n"
    "utf-16le, utf-16be, utf-32le, utf-32be, any code page name (latin1, windows-1251, koi8-r, shift_jis ...),\n"
    "or bytes: one byte one character, never converted (the case tables of --codepage).";

template <typename Options>
void AddTextOptions(CLI::App* sub, Options& o, bool& lf) {
    sub->add_option("--line-ends", o.line_ends, kLineEndsHelp)->check(CLI::IsMember({"auto", "crlf", "lf"}, CLI::ignore_case));
    sub->add_flag("--lf", lf, "Same as --line-ends lf");
    sub->add_option("--encoding", o.encoding, kEncodingHelp);
    sub->add_option("--legacy-encoding", o.legacy_encoding,
                    "The code page of files that are not UTF-8 under --encoding auto (default windows-1252)");
    sub->add_option("--output-encoding", o.output_encoding,
                    "same (default: each file in its own encoding, with its byte order mark), or an encoding's name; "
                    "a character it cannot hold skips the file");
}

void AddSourceOptions(CLI::App* sub, std::string& source, std::string* destination, int& levels, std::string& masks,
                      std::string& sort, bool& flat) {
    sub->add_option("SOURCE", source, "The source folder")->required();
    if (destination) sub->add_option("DEST", *destination, "The destination folder (a relative path is taken from the current folder, like SOURCE)");
    sub->add_option("--levels", levels, "Subfolder levels to descend, 0 to 255 (default 0: only SOURCE itself)")
        ->check(CLI::Range(0, 255));
    sub->add_option("--masks", masks, "File masks separated by \"|\" (default \"*.*\": names with a dot)");
    sub->add_option("--sort", sort, "Sort text: keys such as filename, -filesize, filepath, joined by \"^\"");
    sub->add_flag("--flat", flat, "Put every file straight into DEST instead of keeping SOURCE's subfolders");
}

constexpr const char* kFilesFromHelp =
    "Process the paths in FILE (\"-\": standard input) instead of scanning SOURCE: one a line, each inside\n"
    "SOURCE (relative ones from the current folder, as find prints them), kept in DEST's subfolders as\n"
    "scanned; one CR ending a line is dropped, empty lines are skipped, a path listed twice is taken once "
    "(the\n"
    "first); --levels and --masks do not filter them; a path outside SOURCE or behind a link to a folder "
    "stops\n"
    "the command before anything is written";

// What --version prints: the program, then what this build includes.
std::string VersionText() {
    std::string v = std::string("rowsmith-cli ") + ROWSMITH_VERSION + "\n";
    v += "template engine: " + std::to_string(tmpl::StandardModifiers().Rows().size()) + " modifier words\n";
    v += "encodings: " + text::EncodingLibraryVersion() + "\n";
#if defined(__clang__)
    v += "compiler: clang " __clang_version__;
#elif defined(__GNUC__)
    v += "compiler: GCC " __VERSION__;
#else
    v += "compiler: unknown";
#endif
#ifdef ROWSMITH_BUILD_TYPE
    if (*ROWSMITH_BUILD_TYPE) v += std::string(", build type ") + ROWSMITH_BUILD_TYPE;
#endif
    return v;
}

}  // namespace

int Main(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err) {
    Io io{in, out, err, err.rdbuf() == std::cerr.rdbuf() && isatty(2) == 1};

    CLI::App app{kIntro, "rowsmith-cli"};
    app.footer(kFooter);
    app.set_version_flag(
        "--version", std::function<std::string()>(VersionText),
        "Print the version and what the build includes (modifier words, encodings library), then exit");
    app.require_subcommand(1);

    RunOptions run;
    std::string run_template, run_template_file, run_interval;
    CLI::App* run_cmd = app.add_subcommand("run", "Copy or rewrite every listed file of SOURCE into DEST");
    AddSourceOptions(run_cmd, run.source, &run.destination, run.levels, run.masks, run.sort, run.flat);
    // Required unless a job file names them: checked after parsing.
    run_cmd->get_option("SOURCE")->required(false);
    run_cmd->add_option("--job", run.job,
                        "Start from the settings saved in this job file; SOURCE, DEST and every option given here "
                        "override its values")
        ->type_name("FILE");
    auto* run_int = run_cmd->add_option("--interval", run_interval, std::string("Keep only these lines. ") + kIntervalHelp);
    auto* run_t = run_cmd->add_option("--template", run_template, "Rewrite each kept line through this template");
    auto* run_tf = run_cmd->add_option("--template-file", run_template_file, "Read the template from this file (exact bytes)");
    run_t->excludes(run_tf);
    run_cmd->add_flag("--no-create-folders", run.no_create_folders, "Do not create missing destination folders");
    run_cmd->add_flag("--rename", run.rename, "When a destination exists, write name_1.txt, name_2.txt, ... instead of overwriting");
    bool run_lf = false, ex_lf = false;
    AddTextOptions(run_cmd, run, run_lf);
    run_cmd->add_option("--codepage", run.codepage, "Case tables: the locale's (default) or cp1252 for legacy files");
    run_cmd->add_flag("--dry-run", run.dry_run, "Print each row's mode and final destination; write nothing");
    run_cmd->add_flag("--quiet", run.quiet, "No progress display");
    run_cmd->add_option("--jobs", run.jobs,
                        "Threads (default: one per core): files of 256 KiB and more on average side by side, "
                        "a file of 8 MiB and more in pieces. Only where the result cannot tell: copies, --interval "
                        "alone, and templates that keep no state from line to line; names, reports and stops stay "
                        "those of one file after another. 1: one after another")
        ->type_name("N")
        ->check(CLI::Range(1, 256));
    run_cmd->add_option("--report", run.report, "Write every row's outcome to this CSV file");
    run_cmd->add_option("--files-from", run.files_from, kFilesFromHelp)->type_name("FILE");
    run_cmd->add_flag("--null", run.null_separated,
                      "The --files-from list is NUL-separated (find -print0, list --format paths --null), "
                      "taken byte for byte: no CR is dropped");

    ListOptions list;
    CLI::App* list_cmd = app.add_subcommand("list", "Print the file list that a run of SOURCE would process");
    AddSourceOptions(list_cmd, list.source, &list.destination, list.levels, list.masks, list.sort, list.flat);
    list_cmd->add_option("--columns", list.columns,
                         "Columns by name, comma-separated (Number, #orig, Full path, Filename, FilenameNAME, "
                         "FilenameEXT, Path, FinalDestinationPath, Size, Date, Time, DateCreated, ...)");
    list_cmd
        ->add_option("--format", list.format,
                     "tsv (default), csv, html, or paths: each listed file's full path alone, one a line "
                     "(--columns does not apply)")
        ->check(CLI::IsMember({"tsv", "csv", "html", "paths"}));
    list_cmd->add_option("--files-from", list.files_from, kFilesFromHelp)->type_name("FILE");
    list_cmd->add_flag(
        "--null", list.null_separated,
        "NUL-separated paths: the --files-from list is read so, and --format paths ends each path "
        "with NUL instead of LF (for xargs -0; names with line breaks need it)");
    list_cmd->add_option("--codepage", list.codepage, "Case tables: the locale's (default) or cp1252");

    ExpandOptions expand;
    std::string ex_template, ex_template_file, ex_interval;
    CLI::App* expand_cmd =
        app.add_subcommand("expand", "Rewrite lines of FILEs (or standard input) through a template to standard output");
    auto* ex_t = expand_cmd->add_option("--template", ex_template, "The template (default \"{{originalline}}{{eol}}\")");
    auto* ex_tf = expand_cmd->add_option("--template-file", ex_template_file, "Read the template from this file");
    ex_t->excludes(ex_tf);
    auto* ex_int = expand_cmd->add_option("--interval", ex_interval, std::string("Keep only these lines. ") + kIntervalHelp);
    AddTextOptions(expand_cmd, expand, ex_lf);
    expand_cmd->add_flag("--trace", expand.trace, "On stderr, for each line: every tag, its value after the name and after each modifier");
    expand_cmd->add_option("--codepage", expand.codepage, "Case tables: the locale's (default) or cp1252");
    expand_cmd->add_option("FILE", expand.files, "Input files (standard input when none)");

    IntervalOptions interval;
    CLI::App* interval_cmd =
        app.add_subcommand("interval", std::string("Print the numbers an interval text selects, one a line. ") + kIntervalHelp);
    interval_cmd->add_option("TEXT", interval.text, "The interval text")->required();
    interval_cmd->add_option("--count", interval.count, "How many lines the file has")->required()->check(CLI::Range(int64_t{0}, int64_t{2147483647}));

    CLI::App* modifiers_cmd = app.add_subcommand("modifiers", "List every modifier word of the template language");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // CLI11 reports --help and --version as "errors" with exit code 0.
        const int code = app.exit(e, out, err);
        if (code != 0) return kExitUsage;
        // Help that never reached its reader is no success either.
        out.flush();
        if (!out) {
            err << "rowsmith-cli: writing to standard output failed\n";
            return kExitIoError;
        }
        return kExitOk;
    }

    if (run_lf) run.line_ends = "lf";
    if (ex_lf) expand.line_ends = "lf";
    if (*run_cmd) {
        auto given = [&](const char* name) { return run_cmd->get_option(name)->count() > 0; };
        run.given.source = given("SOURCE");
        run.given.destination = given("DEST");
        if (run.job.empty() && (!run.given.source || !run.given.destination)) {
            err << "rowsmith-cli: run: " << (run.given.source ? "DEST" : "SOURCE")
                << " is required (or a --job file that gives it)\nRun with --help for more information.\n";
            return kExitUsage;
        }
        run.given.levels = given("--levels");
        run.given.masks = given("--masks");
        run.given.sort = given("--sort");
        run.given.line_ends = given("--line-ends") || run_lf;
        run.given.encoding = given("--encoding");
        run.given.legacy_encoding = given("--legacy-encoding");
        run.given.output_encoding = given("--output-encoding");
        if (*run_int) run.interval = run_interval;
        if (*run_t) run.template_text = run_template;
        if (*run_tf) run.template_file = run_template_file;
        if (run.null_separated && run.files_from.empty()) {
            err << "rowsmith-cli: run: --null describes a --files-from list, and none is given\n";
            return kExitUsage;
        }
        return RunCommand(run, io);
    }
    if (*list_cmd) {
        if (list.null_separated && list.files_from.empty() && list.format != "paths") {
            err << "rowsmith-cli: list: --null needs --files-from or --format paths\n";
            return kExitUsage;
        }
        return ListCommand(list, io);
    }
    if (*expand_cmd) {
        if (*ex_t) expand.template_text = ex_template;
        if (*ex_tf) expand.template_file = ex_template_file;
        if (*ex_int) expand.interval = ex_interval;
        return ExpandCommand(expand, io);
    }
    if (*interval_cmd) return IntervalCommand(interval, io);
    if (*modifiers_cmd) return ModifiersCommand(io);
    return kExitUsage;
}

}  // namespace rowsmith::cli
