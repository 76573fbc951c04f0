#pragma once
// The options of each rowsmith-cli command as plain records, filled by the argument parser and read by
// the command functions (which need no parser of their own).

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace rowsmith::cli {

// The streams of one invocation.
struct Io {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // Whether err is a terminal (progress is shown only there).
    bool err_is_terminal = false;
};

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitSkipped = 2;
constexpr int kExitIoError = 4;

struct RunOptions {
    std::string source;
    std::string destination;
    int levels = 0;
    std::string masks = "*.*";
    std::optional<std::string> interval;
    std::optional<std::string> template_text;
    std::optional<std::string> template_file;
    bool flat = false;
    bool no_create_folders = false;
    bool rename = false;
    std::string sort;
    // The text model: which LF ends a line ("auto", "crlf", "lf"), the input encoding ("auto", a name
    // or "bytes"), the code page of legacy files, and the output's ("same" or a name).
    std::string line_ends = "auto";
    std::string encoding = "auto";
    std::string legacy_encoding = "windows-1252";
    std::string output_encoding = "same";
    std::string codepage;
    bool dry_run = false;
    bool quiet = false;
    int jobs = 0;  // 0: one per core
    std::string report;  // CSV of every row's outcome
    // The file list from this file ("-": standard input) instead of the scan, NUL-separated with
    // null_separated.
    std::string files_from;
    bool null_separated = false;
    // A job file: it gives every setting the command line leaves out. The flags --flat,
    // --no-create-folders and --rename only ever switch on; interval and template are given when set.
    std::string job;
    struct Given {
        bool source = false, destination = false, levels = false, masks = false, sort = false;
        bool line_ends = false, encoding = false, legacy_encoding = false, output_encoding = false;
    } given;
};

struct ListOptions {
    std::string source;
    std::string destination;
    int levels = 0;
    std::string masks = "*.*";
    std::string sort;
    bool flat = false;
    std::string columns;
    // tsv, csv, html, or paths: one full path a line (NUL after each with null_separated).
    std::string format = "tsv";
    std::string codepage;
    std::string files_from;
    bool null_separated = false;
};

struct ExpandOptions {
    std::optional<std::string> template_text;
    std::optional<std::string> template_file;
    std::optional<std::string> interval;
    // The text model: which LF ends a line ("auto", "crlf", "lf"), the input encoding ("auto", a name
    // or "bytes"), the code page of legacy files, and the output's ("same" or a name).
    std::string line_ends = "auto";
    std::string encoding = "auto";
    std::string legacy_encoding = "windows-1252";
    std::string output_encoding = "same";
    bool trace = false;
    std::string codepage;
    std::vector<std::string> files;  // empty: standard input
};

struct IntervalOptions {
    std::string text;
    int64_t count = 0;
};

int RunCommand(const RunOptions& o, Io& io);
int ListCommand(const ListOptions& o, Io& io);
int ExpandCommand(const ExpandOptions& o, Io& io);
int IntervalCommand(const IntervalOptions& o, Io& io);
int ModifiersCommand(Io& io);

}  // namespace rowsmith::cli
