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

// A comment starts at a leading "//" or at the first " //"; one blank after the marker is dropped.
// Cuts the comment off `line` into `comment`; false when the line has none.
bool TakeComment(std::string& line, std::string& comment) {
    std::size_t marker = std::string::npos;
    std::size_t marker_len = 0;
    if (line.rfind("//", 0) == 0) {
        marker = 0;
        marker_len = 2;
    } else if (const std::size_t m = line.find(" //"); m != std::string::npos) {
        marker = m;
        marker_len = 3;
    }
    if (marker == std::string::npos) return false;
    comment = line.substr(marker + marker_len);
    if (!comment.empty() && comment[0] == ' ') comment.erase(0, 1);
    line = Trim(line.substr(0, marker));
    return true;
}

// One leading and one trailing double quote go, each on its own (as entries do).
std::string UnquotedValue(std::string_view text) {
    std::string v = Trim(text);
    if (!v.empty() && v.front() == '"') v.erase(0, 1);
    if (!v.empty() && v.back() == '"') v.pop_back();
    return v;
}

}  // namespace

struct ArrayOfFiles::KeyValueLine {
    bool section = false;
    bool has_comment = false;
    bool empty_comment = false;
    bool comment_only = false;
    bool opens_value = false;
    bool data_line = false;
    std::string name;        // section name or key
    std::string lower_name;  // the key as rows are matched by it
    std::string value;
    std::string comment;

    // In the data section of data mode every line is a value of its own ("param=" + line).
    static KeyValueLine Parse(std::string_view raw, bool in_data_section) {
        KeyValueLine p;
        std::string line = Trim(raw);
        if (TakeComment(line, p.comment)) {
            p.has_comment = true;
            p.empty_comment = Trim(p.comment).empty();
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            p.section = true;
            p.name = Trim(line.substr(1, line.size() - 2));
        } else if (!line.empty()) {
            if (in_data_section) {
                line = "param=" + line;
                p.data_line = true;
            }
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos) {
                p.name = Trim(WithoutQuotes(line));
            } else {
                p.name = Trim(WithoutQuotes(line.substr(0, eq)));
                if (eq + 1 == line.size())
                    p.opens_value = true;
                else
                    p.value = UnquotedValue(line.substr(eq + 1));
            }
        }
        p.comment_only = line.empty() && p.has_comment;
        p.lower_name = text::LowerCase(p.name);
        return p;
    }
};

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
        ContinueOpenValue(raw);
        return;
    }
    const KeyValueLine p = KeyValueLine::Parse(raw, KeyValueDataMode && CurrentSection == "data");
    if (p.section)
        EnterKeyValueSection(p.name);
    else if (!p.comment_only && CurrentSectionNumber == 0)
        HandleKeyValueLine("[Options]");  // settings before any header are options

    // The section name as written in its header, for the rows of that section.
    const std::string section_name = p.section ? p.name : KeyValueSectionName();
    // Comments and data lines always get a row of their own; a known header or key reuses its row.
    const int32_t target = p.comment_only || p.data_line ? 0 : FindKeyValueRow(p);
    DataRecT* row;
    if (target) {
        row = Row(target);
    } else {
        row = &AddRow();
        row->Kind = 3;
        StoreCell(*row, kCodeFilenameExt, raw);
    }
    StoreKeyValueRow(*row, p, section_name);
    if (p.opens_value) {
        OpenValueRow = target ? target : RowCount;
        ValueSeparator.clear();
        StoreCell(*row, kCodeFilename, "");
        StoreCell(*row, kCodePath, "");
    }
}

void ArrayOfFiles::ContinueOpenValue(std::string_view raw) {
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
}

void ArrayOfFiles::EnterKeyValueSection(std::string_view name) {
    CurrentSection = text::LowerCase(name);
    // A section seen before keeps its number; a new one comes after the highest.
    int32_t number = 0, highest = 0;
    for (int32_t i = 1; i <= RowCount; ++i) {
        const DataRecT& r = Rows[static_cast<std::size_t>(i)];
        if (StoredCell(r, kCodeFilenameName) != "[]") continue;
        const int32_t n = static_cast<int32_t>(CellAsInteger64(StoredCell(r, kCodeSeparator)));
        highest = std::max(highest, n);
        if (StoredCell(r, kCodeFilenameLower) == CurrentSection) number = n;
    }
    CurrentSectionNumber = number ? number : highest + 1;
}

std::string ArrayOfFiles::KeyValueSectionName() const {
    for (int32_t i = 1; i <= RowCount; ++i) {
        const DataRecT& r = Rows[static_cast<std::size_t>(i)];
        if (StoredCell(r, kCodeFilenameName) == "[]" && StoredCell(r, kCodeFilenameLower) == CurrentSection)
            return StoredCell(r, kCodeExtLower);
    }
    return {};
}

int32_t ArrayOfFiles::FindKeyValueRow(const KeyValueLine& p) const {
    // A header again is its section's header row; a key again is its row in the current section.
    for (int32_t i = 1; i <= RowCount; ++i) {
        const DataRecT& r = Rows[static_cast<std::size_t>(i)];
        if (StoredCell(r, kCodeFilenameLower) != CurrentSection) continue;
        const bool is_header = StoredCell(r, kCodeFilenameName) == "[]";
        if (p.section ? is_header : (!is_header && StoredCell(r, kCodeData) == p.lower_name)) return i;
    }
    return 0;
}

void ArrayOfFiles::StoreKeyValueRow(DataRecT& row, const KeyValueLine& p, std::string_view section_name) {
    StoreCell(row, kCodeExtLower, section_name);
    StoreCell(row, kCodeSeparator, std::to_string(CurrentSectionNumber));
    StoreCell(row, kCodeFilenameLower, CurrentSection);
    if (p.section) {
        StoreCell(row, kCodeData, "");
        StoreCell(row, kCodeFullPath, "");
        StoreCell(row, kCodePath, "");
        StoreCell(row, kCodeFilename, "");
        StoreCell(row, kCodeFilenameName, "[]");
    } else {
        StoreCell(row, kCodeData, p.lower_name);
        StoreCell(row, kCodeFullPath, p.name);
        StoreCell(row, kCodePath, text::LowerCase(p.value));
        StoreCell(row, kCodeFilename, p.value);
        StoreCell(row, kCodeFilenameName, p.opens_value ? "\"\"" : (p.data_line ? "b" : ""));
    }
    if (p.has_comment) StoreCell(row, kCodeNameLower, p.empty_comment ? std::string() : p.comment);
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
