#include "text/setting_line.h"

namespace rowsmith::text {

namespace {

// Blanks and control characters, as the settings format trims them.
bool IsTrimmed(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsTrimmed(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsTrimmed(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

bool ParseSettingLine(std::string_view line, bool parameter_mode, SettingLineT& out) {
    out = SettingLineT();
    std::string_view rest = Trim(line);

    // The comment: a whole line after a leading "//", else whatever follows the first " //".
    bool has_comment = false;
    std::string_view comment;
    if (rest.substr(0, 2) == "//") {
        has_comment = true;
        comment = rest.substr(2);
        rest = {};
    } else if (const auto at = rest.find(" //"); at != std::string_view::npos) {
        has_comment = true;
        comment = rest.substr(at + 3);
        rest = rest.substr(0, at);
    }
    if (has_comment) {
        if (!comment.empty() && comment.front() == ' ') comment.remove_prefix(1);
        out.Comment.assign(comment);
        out.EmptyComment = Trim(comment).empty();
        rest = Trim(rest);
    }

    const bool section = rest.size() >= 2 && rest.front() == '[' && rest.back() == ']';
    std::string text(rest);
    if (parameter_mode && !section && !text.empty()) text.insert(0, "param=");

    std::string name;
    const auto eq = text.find('=');
    if (eq != std::string::npos && eq + 1 == text.size()) {
        out.Kind = "\"\"";
        name = text.substr(0, eq);
    } else if (eq != std::string::npos) {
        std::string_view value = Trim(std::string_view(text).substr(eq + 1));
        if (!value.empty() && value.front() == '"') {
            value.remove_prefix(1);
            if (!value.empty() && value.back() == '"') value.remove_suffix(1);
        }
        out.Value.assign(value);
        name = text.substr(0, eq);
    } else {
        name = text;
    }
    std::string unquoted;
    for (char c : name)
        if (c != '"') unquoted += c;
    out.Name.assign(Trim(unquoted));

    if (section) {
        out.Section.assign(Trim(rest.substr(1, rest.size() - 2)));
        out.Name.clear();
        out.Value.clear();
        out.Kind = "[]";
    } else if (out.Name.empty()) {
        out.Value.clear();
        out.Kind.clear();
    }

    if (parameter_mode) {
        out.Name.clear();
        if (!section) out.Kind = "b";
        return true;
    }
    return !out.Name.empty() || !out.Comment.empty() || !out.Section.empty();
}

}  // namespace rowsmith::text
