#include "run/job_file.h"

#include <array>
#include <cstring>
#include <vector>

#include "files/paths.h"
#include "files/platform_fs.h"
#include "text/utf8.h"

namespace rowsmith::run {

namespace {

namespace fs = files::fs;

// The keys in the order the writer puts them.
enum Key : int {
    kSource,
    kDestination,
    kLevels,
    kMasks,
    kSort,
    kStructure,
    kCreateFolders,
    kExisting,
    kIntervalOn,
    kInterval,
    kTemplateOn,
    kTemplate,
    kLineEnds,
    kEncoding,
    kLegacyEncoding,
    kOutputEncoding,
    kKeyCount
};

constexpr std::array<std::string_view, kKeyCount> kKeyNames = {
    "source",         "destination", "levels",          "masks",          "sort",        "structure",
    "create-folders", "existing",    "interval-on",     "interval",       "template-on", "template",
    "line-ends",      "encoding",    "legacy-encoding", "output-encoding"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The length of the valid UTF-8 character at `i` (1 for ASCII), 0 when the bytes there are not one.
std::size_t Utf8CharAt(std::string_view v, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(v[i]);
    const std::size_t n = c < 0x80                 ? 1
                          : c >= 0xC2 && c <= 0xDF ? 2
                          : c >= 0xE0 && c <= 0xEF ? 3
                          : c >= 0xF0 && c <= 0xF4 ? 4
                                                   : 0;
    if (n <= 1 || i + n > v.size()) return n == 1 ? 1 : 0;
    return text::ValidUtf8Prefix(v.substr(i, n)) == n ? n : 0;
}

// ---- Writing

// Whether the value reads back unchanged from a plain "key = value" line. Invalid UTF-8 is quoted
// too: it would read back, but the file should stay text that any editor keeps intact.
bool FitsPlain(std::string_view v) {
    if (v.empty()) return true;
    if (IsBlank(v.front()) || IsBlank(v.back()) || v.front() == '"') return false;
    for (const char c : v)
        if (IsControl(static_cast<unsigned char>(c))) return false;
    return text::IsValidUtf8(v);
}

// Whether the value is lines that a heredoc carries verbatim: it breaks at LF, and holds no CR (a
// reader drops the CR of a CR LF) and no other control character but the tab.
bool FitsHeredoc(std::string_view v) {
    if (v.find('\n') == std::string_view::npos) return false;
    for (const char c : v) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (IsControl(u) && c != '\n' && c != '\t') return false;
    }
    return text::IsValidUtf8(v);
}

// END, END1, END2 ...: the first that no line of the value equals.
std::string HeredocMark(std::string_view v) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t lf = v.find('\n', start);
        lines.push_back(v.substr(start, lf == std::string_view::npos ? std::string_view::npos : lf - start));
        if (lf == std::string_view::npos) break;
        start = lf + 1;
    }
    for (int n = 0;; ++n) {
        const std::string mark = n == 0 ? std::string("END") : "END" + std::to_string(n);
        bool taken = false;
        for (const std::string_view line : lines) taken = taken || line == mark;
        if (!taken) return mark;
    }
}

std::string Quote(std::string_view v) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string r = "\"";
    for (std::size_t i = 0; i < v.size();) {
        const unsigned char c = static_cast<unsigned char>(v[i]);
        const std::size_t n = Utf8CharAt(v, i);
        if (c == '\\' || c == '"') {
            r += '\\';
            r += static_cast<char>(c);
        } else if (c == '\n') {
            r += "\\n";
        } else if (c == '\r') {
            r += "\\r";
        } else if (c == '\t') {
            r += "\\t";
        } else if (IsControl(c) || n == 0) {
            r += "\\x";
            r += kHex[c >> 4];
            r += kHex[c & 15];
        } else {
            r.append(v.substr(i, n));
            i += n;
            continue;
        }
        ++i;
    }
    r += '"';
    return r;
}

void PutValue(std::string& r, Key key, std::string_view v) {
    const std::string_view name = kKeyNames[key];
    if ((key == kTemplate || key == kInterval) && FitsHeredoc(v)) {
        const std::string mark = HeredocMark(v);
        r.append(name).append(" <<").append(mark).append("\n").append(v).append("\n").append(mark).append(
            "\n");
        return;
    }
    r.append(name).append(" = ").append(FitsPlain(v) ? std::string(v) : Quote(v)).append("\n");
}

std::string_view YesNo(bool on) {
    return on ? "yes" : "no";
}

// ---- Reading

// The text's lines without their line ends (the CR of a CR LF is part of the end).
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // an editor's byte order mark
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
    }
    return lines;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A quoted value (starting at its opening quote, trailing blanks already dropped); false with `why`.
bool Unquote(std::string_view v, std::string& out, std::string& why) {
    out.clear();
    for (std::size_t i = 1; i < v.size(); ++i) {
        const char c = v[i];
        if (c == '"') {
            if (i + 1 == v.size()) return true;
            why = "nothing may follow the closing quote";
            return false;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == v.size()) break;
        switch (v[i]) {
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x': {
                const int high = i + 1 < v.size() ? HexDigit(v[i + 1]) : -1;
                const int low = i + 2 < v.size() ? HexDigit(v[i + 2]) : -1;
                if (high < 0 || low < 0) {
                    why = "\\x needs two hexadecimal digits";
                    return false;
                }
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                why = std::string("unknown escape \"\\") + v[i] + "\" (known: \\\\ \\\" \\n \\r \\t \\xHH)";
                return false;
        }
    }
    why = "the quoted value has no closing quote";
    return false;
}

bool ParseLevels(std::string_view v, int& out) {
    if (v.empty() || v.size() > 16) return false;
    int n = 0;
    for (const char c : v) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
        if (n > 255) return false;
    }
    out = n;
    return true;
}

// One of two words; false when the value is neither.
bool ParseChoice(std::string_view v, std::string_view on_word, std::string_view off_word, bool& out) {
    if (v == on_word) return out = true, true;
    if (v == off_word) return out = false, true;
    return false;
}

// Stores the value of `key`; false with `why` naming the key and what it takes.
bool Assign(Job& job, Key key, std::string value, std::string& why) {
    const std::string quoted = "\"" + value + "\"";
    auto choice = [&](std::string_view a, std::string_view b, bool& out) {
        if (ParseChoice(value, a, b, out)) return true;
        why = std::string(kKeyNames[key]) + " must be " + std::string(a) + " or " + std::string(b) +
              ", not " + quoted;
        return false;
    };
    bool on = false;
    switch (key) {
        case kSource:
            job.Source = std::move(value);
            return true;
        case kDestination:
            job.Destination = std::move(value);
            return true;
        case kLevels:
            if (ParseLevels(value, job.Levels)) return true;
            why = "levels must be a whole number from 0 to 255, not " + quoted;
            return false;
        case kMasks:
            job.Masks = std::move(value);
            return true;
        case kSort:
            job.Sort = std::move(value);
            return true;
        case kStructure:
            if (!choice("keep", "flat", on)) return false;
            job.Flat = !on;
            return true;
        case kCreateFolders:
            return choice("yes", "no", job.CreateFolders);
        case kExisting:
            return choice("overwrite", "rename", job.Overwrite);
        case kIntervalOn:
            return choice("yes", "no", job.IntervalOn);
        case kInterval:
            job.Interval = std::move(value);
            return true;
        case kTemplateOn:
            return choice("yes", "no", job.TemplateOn);
        case kTemplate:
            job.Template = std::move(value);
            return true;
        case kLineEnds:
            if (files::ParseLineEnds(value, job.LineEnds)) return true;
            why = "line-ends must be auto, crlf or lf, not " + quoted;
            return false;
        case kEncoding:
            job.Encoding = std::move(value);
            return true;
        case kLegacyEncoding:
            job.LegacyEncoding = std::move(value);
            return true;
        case kOutputEncoding:
            job.OutputEncoding = std::move(value);
            return true;
        case kKeyCount:
            break;
    }
    return false;
}

std::string LowerAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string ErrorText(int error) {
    return error ? std::string(std::strerror(error)) : std::string("unknown error");
}

}  // namespace

std::string FormatJob(const Job& job) {
    std::string r = "# Rowsmith job\n";
    PutValue(r, kSource, job.Source);
    PutValue(r, kDestination, job.Destination);
    r.append("levels = ").append(std::to_string(job.Levels)).append("\n");
    PutValue(r, kMasks, job.Masks);
    PutValue(r, kSort, job.Sort);
    r.append("structure = ").append(job.Flat ? "flat" : "keep").append("\n");
    r.append("create-folders = ").append(YesNo(job.CreateFolders)).append("\n");
    r.append("existing = ").append(job.Overwrite ? "overwrite" : "rename").append("\n");
    r.append("interval-on = ").append(YesNo(job.IntervalOn)).append("\n");
    PutValue(r, kInterval, job.Interval);
    r.append("template-on = ").append(YesNo(job.TemplateOn)).append("\n");
    PutValue(r, kTemplate, job.Template);
    r.append("line-ends = ").append(files::LineEndsWord(job.LineEnds)).append("\n");
    PutValue(r, kEncoding, job.Encoding);
    PutValue(r, kLegacyEncoding, job.LegacyEncoding);
    PutValue(r, kOutputEncoding, job.OutputEncoding);
    return r;
}

JobParse ParseJob(std::string_view text, std::string_view name) {
    JobParse result;
    const std::vector<std::string_view> lines = SplitLines(text);
    std::array<std::size_t, kKeyCount> set_on{};  // the line that set each key, 0 when none did
    auto fail = [&](std::size_t line, const std::string& why) {
        result.Error = std::string(name) + " line " + std::to_string(line) + ": " + why;
        return result;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t line_no = i + 1;
        std::string_view rest = TrimBlanks(lines[i]);
        if (rest.empty() || rest.front() == '#') continue;
        std::size_t key_end = 0;
        while (key_end < rest.size() && !IsBlank(rest[key_end]) && rest[key_end] != '=' &&
               rest[key_end] != '<')
            ++key_end;
        const std::string_view key_name = rest.substr(0, key_end);
        if (key_name.empty()) return fail(line_no, "expected a setting (\"key = value\")");
        int key = 0;
        while (key < kKeyCount && kKeyNames[key] != key_name) ++key;
        if (key == kKeyCount) {
            std::string why = "unknown setting \"" + std::string(key_name) + "\"";
            const std::string lower = LowerAscii(key_name);
            for (const std::string_view known : kKeyNames)
                if (known == lower) why += " (settings are written in lower case: \"" + lower + "\")";
            return fail(line_no, why);
        }
        if (set_on[key] != 0)
            return fail(line_no, "\"" + std::string(key_name) + "\" is set twice (first on line " +
                                     std::to_string(set_on[key]) + ")");
        set_on[key] = line_no;
        rest = TrimBlanks(rest.substr(key_end));

        std::string value;
        if (!rest.empty() && rest.front() == '=') {
            rest = TrimBlanks(rest.substr(1));
            if (!rest.empty() && rest.front() == '"') {
                std::string why;
                if (!Unquote(rest, value, why)) return fail(line_no, std::string(key_name) + ": " + why);
            } else {
                value = rest;
            }
        } else if (rest.substr(0, 2) == "<<") {
            const std::string_view mark = TrimBlanks(rest.substr(2));
            if (mark.empty())
                return fail(line_no, std::string(key_name) + ": \"<<\" needs a closing mark after it");
            std::size_t end = i + 1;
            while (end < lines.size() && lines[end] != mark) ++end;
            if (end == lines.size())
                return fail(line_no, std::string(key_name) + ": the text that starts here has no line \"" +
                                         std::string(mark) + "\" to end it");
            for (std::size_t j = i + 1; j < end; ++j) {
                if (j > i + 1) value += '\n';
                value.append(lines[j]);
            }
            i = end;
        } else {
            return fail(line_no, "expected \"=\" or \"<<MARK\" after \"" + std::string(key_name) + "\"");
        }
        std::string why;
        if (!Assign(result.Value, static_cast<Key>(key), std::move(value), why)) return fail(line_no, why);
    }
    result.Ok = true;
    return result;
}

bool ReadJobFile(std::string_view path, Job& out, std::string& error) {
    auto fail = [&](const std::string& why) {
        error = "cannot read the job file '" + std::string(path) + "': " + why;
        return false;
    };
    fs::File file;
    fs::PathFacts facts;
    // OpenSource refuses a pipe or a device without waiting for it, and its facts are the open file's.
    if (!file.OpenSource(path, facts)) {
        if (file.NotRegular()) return fail(facts.is_folder ? "it is a folder" : "it is not a regular file");
        return fail(ErrorText(file.Error()));
    }
    if (facts.size > kMaxJobFileBytes) return fail("it is larger than 1 MiB");
    std::string text;
    char buffer[1 << 14];
    for (;;) {
        const int64_t n = file.Read(buffer, sizeof buffer);
        if (n < 0) return fail(ErrorText(file.Error()));
        if (n == 0) break;
        // A file that grows while it is read is held to the same bound.
        if (static_cast<int64_t>(text.size()) + n > kMaxJobFileBytes) return fail("it is larger than 1 MiB");
        text.append(buffer, static_cast<std::size_t>(n));
    }
    JobParse parsed = ParseJob(text, path);
    if (!parsed.Ok) {
        error = std::move(parsed.Error);
        return false;
    }
    out = std::move(parsed.Value);
    return true;
}

bool WriteJobFile(std::string_view path, const Job& job, std::string& error) {
    auto fail = [&](const std::string& why) {
        error = "cannot write the job file '" + std::string(path) + "': " + why;
        return false;
    };
    if (path.empty() || path.back() == '/') return fail("the path names no file");
    fs::PathFacts facts;
    const bool exists = fs::GetFacts(path, facts);
    if (exists && facts.is_folder) return fail("it is a folder");
    if (exists && !facts.is_file) return fail("it is not a regular file");

    const std::string text = FormatJob(job);
    fs::File file;
    std::string temporary;
    if (!file.CreateTemporary(files::FolderPart(path), temporary)) return fail(ErrorText(file.Error()));
    const bool written = file.Write(text.data(), static_cast<int64_t>(text.size())) && file.Sync();
    const int write_error = file.Error();
    if (!file.Close() || !written) {
        const int e = written ? file.Error() : write_error;
        fs::DeleteFile(temporary);
        return fail(ErrorText(e));
    }
    // A job saved again keeps who may read it.
    if (exists) fs::CopyPermissions(path, temporary);
    if (!fs::RenameReplace(temporary, path)) {
        const int e = fs::LastError();
        fs::DeleteFile(temporary);
        return fail(ErrorText(e));
    }
    return true;
}

}  // namespace rowsmith::run
