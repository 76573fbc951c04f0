// Key/value mode of the string table: settings-style lines ("[Section]", "key=value // comment",
// multi-line values between lone double quotes) become rows, and rows are written back as lines.

#include <algorithm>

#include "tables/string_table.h"
#include "text/chars.h"

namespace rowsmith::tables {

namespace {

std::string Trim(std::string_view s) {
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string_view::npos) return {};
    const std::size_t b = s.find_last_not_of(" \t");
    return std::string(s.substr(a, b - a + 1));
}

std::string WithoutQuotes(std::string_view s) {
    std::string r;
    for (char c : s)
        if (c != '"') r += c;
    return r;
}

struct ParsedLine {
    bool section = false;
    bool has_comment = false;
    bool empty_comment = false;
    bool opens_value = false;
    bool data_line = false;
    std::string name;     // section name or key
    std::string value;
    std::string comment;
};

}  // namespace

void ArrayOfFiles::AddKeyValueLine(std::string_view text) {
    std::size_t pos = 0;
    for (;;) {
        const std::size_t crlf = text.find("\r\n", pos);
        if (crlf == std::string_view::npos) {
            HandleKeyValueLine(text.substr(pos));
            return;
        }
        HandleKeyValueLine(text.substr(pos, crlf - pos));
        pos = crlf + 2;
    }
}

void ArrayOfFiles::HandleKeyValueLine(std::string_view raw) {
    if (OpenValueRow != -1) {
        DataRecT* open = Row(OpenValueRow);
        const std::string t = Trim(raw);
        if (t == "\"") {
            if (ValueSeparator.empty() && (!open || StoredCell(*open, kCodeFilename).empty())) return;  // opens it
            OpenValueRow = -1;
            ValueSeparator.clear();
            return;
        }
        if (open) {
            std::string v = StoredCell(*open, kCodeFilename);
            v += ValueSeparator;
            v.append(raw);
            StoreCell(*open, kCodeFilename, v);
            StoreCell(*open, kCodePath, text::LowerCase(v));
        }
        ValueSeparator = "\r\n";
        return;
    }

    ParsedLine p;
    std::string line = Trim(raw);
    // Comments start at a leading "//" or at the first " //"; one blank after the marker is dropped.
    std::size_t marker = std::string::npos;
    std::size_t marker_len = 0;
    if (line.rfind("//", 0) == 0) {
        marker = 0;
        marker_len = 2;
    } else if (const std::size_t m = line.find(" //"); m != std::string::npos) {
        marker = m;
        marker_len = 3;
    }
    if (marker != std::string::npos) {
        p.has_comment = true;
        std::string c = line.substr(marker + marker_len);
        if (!c.empty() && c[0] == ' ') c.erase(0, 1);
        p.empty_comment = Trim(c).empty();
        p.comment = c;
        line = Trim(line.substr(0, marker));
    }
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        p.section = true;
        p.name = Trim(line.substr(1, line.size() - 2));
    } else if (!line.empty()) {
        if (KeyValueDataMode && CurrentSection == "data") {
            line = "param=" + line;
            p.data_line = true;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            p.name = Trim(WithoutQuotes(line));
        } else {
            p.name = Trim(WithoutQuotes(line.substr(0, eq)));
            if (eq + 1 == line.size()) {
                p.opens_value = true;
            } else {
                std::string v = Trim(line.substr(eq + 1));
                // One leading and one trailing double quote go, each on its own (as entries do).
                if (!v.empty() && v.front() == '"') v.erase(0, 1);
                if (!v.empty() && v.back() == '"') v.pop_back();
                p.value = v;
            }
        }
    }
    const bool comment_only = line.empty() && p.has_comment;

    if (p.section) {
        CurrentSection = text::LowerCase(p.name);
        int32_t number = 0, highest = 0;
        for (int32_t i = 1; i <= RowCount; ++i) {
            const DataRecT& r = Rows[static_cast<std::size_t>(i)];
            if (StoredCell(r, kCodeFilenameName) != "[]") continue;
            const int32_t n = static_cast<int32_t>(CellAsInteger64(StoredCell(r, kCodeSeparator)));
            highest = std::max(highest, n);
            if (StoredCell(r, kCodeFilenameLower) == CurrentSection) number = n;
        }
        CurrentSectionNumber = number ? number : highest + 1;
    } else if (!comment_only && CurrentSectionNumber == 0) {
        HandleKeyValueLine("[Options]");
    }

    // The section name as written in its header, for the rows of that section.
    std::string section_name = p.section ? p.name : std::string();
    if (!p.section) {
        for (int32_t i = 1; i <= RowCount; ++i) {
            const DataRecT& r = Rows[static_cast<std::size_t>(i)];
            if (StoredCell(r, kCodeFilenameName) == "[]" && StoredCell(r, kCodeFilenameLower) == CurrentSection) {
                section_name = StoredCell(r, kCodeExtLower);
                break;
            }
        }
    }

    const std::string lower_key = text::LowerCase(p.name);
    int32_t target = 0;
    if (!comment_only && !p.data_line) {
        for (int32_t i = 1; i <= RowCount && !target; ++i) {
            const DataRecT& r = Rows[static_cast<std::size_t>(i)];
            if (StoredCell(r, kCodeFilenameLower) != CurrentSection) continue;
            const bool is_header = StoredCell(r, kCodeFilenameName) == "[]";
            if (p.section ? is_header : (!is_header && StoredCell(r, kCodeData) == lower_key)) target = i;
        }
    }
    DataRecT* row;
    if (target) {
        row = Row(target);
    } else {
        row = &AddRow();
        row->Kind = 3;
        StoreCell(*row, kCodeFilenameExt, raw);
    }
    StoreCell(*row, kCodeExtLower, section_name);
    StoreCell(*row, kCodeSeparator, std::to_string(CurrentSectionNumber));
    StoreCell(*row, kCodeFilenameLower, CurrentSection);
    if (p.section) {
        StoreCell(*row, kCodeData, "");
        StoreCell(*row, kCodeFullPath, "");
        StoreCell(*row, kCodePath, "");
        StoreCell(*row, kCodeFilename, "");
        StoreCell(*row, kCodeFilenameName, "[]");
    } else {
        StoreCell(*row, kCodeData, lower_key);
        StoreCell(*row, kCodeFullPath, p.name);
        StoreCell(*row, kCodePath, text::LowerCase(p.value));
        StoreCell(*row, kCodeFilename, p.value);
        StoreCell(*row, kCodeFilenameName, p.opens_value ? "\"\"" : (p.data_line ? "b" : ""));
    }
    if (p.has_comment) StoreCell(*row, kCodeNameLower, p.empty_comment ? std::string() : p.comment);
    if (p.opens_value) {
        OpenValueRow = target ? target : RowCount;
        ValueSeparator.clear();
        StoreCell(*row, kCodeFilename, "");
        StoreCell(*row, kCodePath, "");
    }
}

std::string ArrayOfFiles::KeyValueWriteBack(const DataRecT& r) const {
    const std::string kind = StoredCell(r, kCodeFilenameName);
    const std::string key = StoredCell(r, kCodeFullPath);
    const std::string value = StoredCell(r, kCodeFilename);
    std::string out;
    if (kind == "[]") {
        out = "[" + StoredCell(r, kCodeExtLower) + "]";
    } else if (!key.empty()) {
        out = key + "=";
        if (kind == "\"\"")
            out += "\"\r\n" + value + "\r\n\"";
        else if (value.find(' ') != std::string::npos)
            out += "\"" + value + "\"";
        else
            out += value;
    } else if (kind == "b") {
        const bool blank_edge = !value.empty() && (value.front() == ' ' || value.back() == ' ');
        out = blank_edge ? "\"" + value + "\"" : value;
    }
    const std::string comment = StoredCell(r, kCodeNameLower);
    if (!comment.empty()) {
        if (!out.empty()) out += ' ';
        out += "// " + comment;
    }
    return out;
}

}  // namespace rowsmith::tables
