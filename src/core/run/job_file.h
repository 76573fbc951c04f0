#pragma once
// Job files: every setting of a batch run as a small text file of "key = value" lines, which reads
// back to exactly the settings it was written from, so that a run can be saved and repeated.

#include <cstdint>
#include <string>
#include <string_view>

#include "files/line_ends.h"

namespace rowsmith::run {

// The settings of one run as the window shows them; the defaults are the window's.
struct Job {
    std::string Source, Destination;
    int Levels = 0;  // 0..255
    std::string Masks = "*.*";
    std::string Sort;   // as the command line's --sort takes it ("" none)
    bool Flat = false;  // false: keep the folder structure
    bool CreateFolders = true;
    bool Overwrite = true;  // false: rename to name_1, name_2
    bool IntervalOn = false;
    std::string Interval = "1--1000000";
    bool TemplateOn = false;
    std::string Template = "{{originalline}}{{eol}}";
    files::LineEnds LineEnds = files::LineEnds::Auto;
    std::string Encoding = "auto", LegacyEncoding = "windows-1252", OutputEncoding = "same";

    bool operator==(const Job&) const = default;
};

// The file's text: "# Rowsmith job", then every key in a fixed order.
std::string FormatJob(const Job& job);

struct JobParse {
    bool Ok = false;
    Job Value;          // the defaults overwritten by every key the text gives
    std::string Error;  // "NAME line N: problem" when not Ok
};
// `name` (the file's name) begins every message.
JobParse ParseJob(std::string_view text, std::string_view name = "job");

// A job is typed by hand or saved by the window; anything bigger is not a job file.
constexpr int64_t kMaxJobFileBytes = int64_t{1} << 20;

// Reads and parses a regular file of at most kMaxJobFileBytes. False with a message otherwise.
bool ReadJobFile(std::string_view path, Job& out, std::string& error);
// Writes the job to a temporary file in the target's folder and renames it over the target, so that
// the path holds the old job or the whole new one, never a part. False with a message otherwise.
bool WriteJobFile(std::string_view path, const Job& job, std::string& error);

}  // namespace rowsmith::run
