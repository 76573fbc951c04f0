#pragma once
// What run and list share: checking SOURCE and DEST as the window does, and building the file list.

#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "files/text_file.h"
#include "tables/string_table.h"
#include "text/form_gauge.h"

namespace rowsmith::cli {

struct ListRequest {
    std::string source;
    std::string destination;  // may be empty for list
    int levels = 0;
    std::string masks = "*.*";
    bool flat = false;
    std::string sort;
    std::string codepage;
    bool destination_required = true;
    // The file list from this file ("-": standard input) instead of the scan; levels and masks do not
    // apply. NUL-separated with null_separated, else one path a line.
    std::string files_from;
    bool null_separated = false;
    const char* command = "run";  // names the command in messages
};

// Why a listed path that names nothing is skipped.
inline constexpr const char* kListedPathMissing = "the file does not exist";

// Builds the case tables for the code page; false (with a message) for an unknown one.
bool ApplyCodepage(const std::string& codepage, Io& io);

// Checks the text options (--encoding auto|NAME, --legacy-encoding NAME, --output-encoding same|NAME)
// and fills what is given; false with a message that names the option and the input.
bool CheckEncodings(const std::string& encoding, const std::string& legacy, const std::string& output, Io& io,
                    files::EncodingChoice* choice = nullptr, std::optional<text::Encoding>* output_encoding = nullptr);

// Validates the pair (source folder exists; destination resolvable, without wildcard characters and
// not the source itself), scans the source into the list and sorts it. Both paths are taken relative to
// the current folder. On failure prints a message naming the input and returns false. Each subfolder
// that cannot be listed is named on err and counted in `unlisted_folders`: its files are missing.
// With files_from the rows are the listed paths instead, each as the scan makes it, the first of
// duplicates kept; a path outside the source, or behind a link to a folder, fails the whole list (every
// one named), and the full paths of those that name nothing go to `missing` (for the caller to report).
bool BuildFileList(const ListRequest& req, Io& io, tables::ArrayOfFiles& list, text::GaugeViewFactory* views,
                   int* unlisted_folders = nullptr, std::vector<std::string>* missing = nullptr);

// The largest template file read: a template is typed by hand, and a bigger "file" is a mistake
// (a device, a log) that would otherwise be read until memory runs out.
constexpr int64_t kMaxWholeFileBytes = int64_t{16} << 20;

// Reads a whole regular file of at most kMaxWholeFileBytes (a template file); false with a message
// naming the file otherwise.
bool ReadWholeFile(const std::string& path, std::string& out, Io& io, const char* what);

}  // namespace rowsmith::cli
