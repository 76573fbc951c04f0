#include "gui/logic/launch_command.h"

#include <algorithm>
#include <iterator>

namespace rowsmith::gui {

namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// The escapes of a desktop file's string values.
std::string UnescapeDesktopValue(std::string_view v) {
    std::string out;
    out.reserve(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        switch (v[++i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                out += '\\';
                out += v[i];
        }
    }
    return out;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

void AppendFolders(std::vector<std::string>& out, std::string_view list) {
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string_view::npos) end = list.size();
        std::string_view entry = list.substr(start, end - start);
        while (entry.size() > 1 && entry.back() == '/') entry.remove_suffix(1);
        if (!entry.empty()) out.push_back(std::string(entry) + "/applications");
        start = end + 1;
    }
}

}  // namespace

std::string CutOpenCommand(std::string_view open_command) {
    std::size_t cut = open_command.find("\"%1\"");
    if (cut == std::string_view::npos) cut = open_command.find("%1");
    return std::string(open_command.substr(0, cut));
}

std::string BuildLaunchCommand(std::string_view open_command, std::string_view url) {
    std::string command = CutOpenCommand(open_command);
    command += ' ';
    command.append(url);
    return command;
}

std::string DesktopEntryExec(std::string_view desktop_file) {
    bool in_entry = false;
    std::size_t pos = 0;
    while (pos < desktop_file.size()) {
        std::size_t end = desktop_file.find('\n', pos);
        if (end == std::string_view::npos) end = desktop_file.size();
        const std::string_view line = Trim(desktop_file.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            in_entry = line == "[Desktop Entry]";
            continue;
        }
        if (!in_entry) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || Trim(line.substr(0, eq)) != "Exec") continue;
        return UnescapeDesktopValue(Trim(line.substr(eq + 1)));
    }
    return {};
}

std::string ExecToOpenCommand(std::string_view exec) {
    std::string out;
    bool placed = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] != '%' || i + 1 == exec.size()) {
            out += exec[i];
            continue;
        }
        const char code = exec[++i];
        if (code == '%') {
            out += '%';
        } else if (!placed && (code == 'u' || code == 'U' || code == 'f' || code == 'F')) {
            out += "\"%1\"";
            placed = true;
        }
        // Every other field code (icon, name, location and the deprecated ones) expands to nothing here.
    }
    return out;
}

std::vector<std::string> SplitCommand(std::string_view command) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    bool quoted = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (quoted) {
            if (c == '\\' && i + 1 < command.size()) {
                word += command[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == '"') {
            quoted = true;
            in_word = true;
        } else if (c == ' ' || c == '\t') {
            if (in_word) words.push_back(std::move(word));
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) words.push_back(std::move(word));
    return words;
}

std::vector<std::string> DesktopFileFolders(std::string_view xdg_data_home, std::string_view home,
                                            std::string_view xdg_data_dirs) {
    std::vector<std::string> out;
    if (!xdg_data_home.empty())
        AppendFolders(out, xdg_data_home.substr(0, xdg_data_home.find(':')));
    else if (!home.empty())
        AppendFolders(out, std::string(home) + "/.local/share");
    AppendFolders(out,
                  xdg_data_dirs.empty() ? std::string_view("/usr/local/share:/usr/share") : xdg_data_dirs);
    return out;
}

std::vector<std::string> HandlerTypesFor(std::string_view url) {
    const std::string lower = Lower(url.substr(0, std::min<std::size_t>(url.size(), 8)));
    if (lower.starts_with("https:")) return {"x-scheme-handler/https", "x-scheme-handler/http", "text/html"};
    if (lower.starts_with("http:")) return {"x-scheme-handler/http", "text/html"};
    return {"text/html", "x-scheme-handler/http"};
}

int ShowCommandValue(TUrlShowCmd command) {
    static constexpr int kValues[] = {0, 3, 6, 9, 5, 10, 3, 2, 7, 8, 4, 1};
    const auto i = static_cast<std::size_t>(command);
    return i < std::size(kValues) ? kValues[i] : 10;
}

std::vector<std::string> DesktopFileNames(std::string_view desktop_id) {
    std::vector<std::string> names;
    if (desktop_id.empty() || desktop_id.find('/') != std::string_view::npos) return names;
    names.emplace_back(desktop_id);
    const std::size_t dash = desktop_id.find('-');
    if (dash != std::string_view::npos && dash > 0) {
        std::string sub(desktop_id);
        sub[dash] = '/';
        names.push_back(std::move(sub));
    }
    return names;
}

LaunchPlanT PlanLaunch(std::string_view url,
                       const std::function<std::string(std::string_view)>& handler_exec) {
    if (handler_exec) {
        for (const std::string& type : HandlerTypesFor(url)) {
            const std::string exec = handler_exec(type);
            if (exec.empty()) continue;
            // The address is one argument whatever it contains, so it is not split with the command.
            std::vector<std::string> words = SplitCommand(CutOpenCommand(ExecToOpenCommand(exec)));
            if (words.empty()) continue;
            words.emplace_back(url);
            LaunchPlanT plan;
            plan.program = std::move(words.front());
            plan.arguments.assign(std::make_move_iterator(words.begin() + 1),
                                  std::make_move_iterator(words.end()));
            plan.from_handler = true;
            return plan;
        }
    }
    LaunchPlanT plan;
    plan.program = "xdg-open";
    std::string address(url);
    if (Lower(address.substr(0, 5)) == "file:") address = address.substr(0, address.find('?'));
    plan.arguments.push_back(std::move(address));
    return plan;
}

PagePathT SplitPagePath(std::string_view page) {
    const std::size_t q = page.find('?');
    if (q == std::string_view::npos) return {std::string(page), {}};
    return {std::string(page.substr(0, q)), std::string(page.substr(q + 1))};
}

}  // namespace rowsmith::gui
