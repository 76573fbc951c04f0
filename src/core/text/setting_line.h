#pragma once
// One line of a settings text ("name = value // comment", "[section]") or one command-line word,
// taken apart into its pieces.

#include <string>
#include <string_view>

namespace rowsmith::text {

struct SettingLineT {
    std::string Name;
    std::string Value;
    std::string Section;
    std::string Comment;
    // "" plain, "\"\"" for "name=" (an explicitly empty value), "[]" section header, "b" parameter.
    std::string Kind;
    bool EmptyComment = false;  // a comment marker with a blank comment
};

// Splits the line; parameter_mode reads a command-line word, whose whole text is the value.
// True when a name, a comment or a section remains, and always in parameter mode.
bool ParseSettingLine(std::string_view line, bool parameter_mode, SettingLineT& out);

}  // namespace rowsmith::text
