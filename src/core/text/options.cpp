#include "text/options.h"

#include "text/chars.h"
#include "text/search.h"

namespace rowsmith::text {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsOptionBreak(char c) {
    return c == '|' || c == ':';
}

}  // namespace

bool HasOptionWord(std::string_view word, std::string_view options) {
    if (word.empty()) return false;
    for (std::size_t at = FindBytes(word, options, 0, false); at != npos;
         at = FindBytes(word, options, at + 1, false)) {
        const std::size_t end = at + word.size();
        if ((at == 0 || IsOptionBreak(options[at - 1])) &&
            (end == options.size() || IsOptionBreak(options[end])))
            return true;
    }
    return false;
}

std::string OptionValue(std::string_view name, std::string_view options, char terminator, char separator) {
    if (name.empty()) return {};
    auto is_break = [&](char c) { return IsOptionBreak(c) || c == terminator || c == separator; };
    for (std::size_t at = FindBytes(name, options, 0, false); at != npos;
         at = FindBytes(name, options, at + 1, false)) {
        const std::size_t end = at + name.size();
        if (at > 0 &&
            (!is_break(options[at - 1]) || (options[at - 1] == separator && separator != terminator)))
            continue;
        if (end < options.size() && !is_break(options[end])) continue;
        std::size_t stop = options.find(terminator, end);
        if (stop == npos) stop = options.size();
        const std::string_view part = options.substr(at, stop - at);
        const std::size_t sep = part.find(separator);
        if (sep == npos) return {};
        const std::string_view value = part.substr(sep + 1);
        if (EqualsIgnoreCase(value, "&verbar;")) return "|";
        if (EqualsIgnoreCase(value, "&comma;")) return ",";
        return std::string(value);
    }
    return {};
}

int StripFlags(std::string_view options) {
    int flags = 0;
    if (HasOptionWord("casesensitive", options)) flags |= kStripCaseSensitive;
    if (HasOptionWord("exclude", options)) flags |= kStripExclude;
    if (HasOptionWord("leave", options)) flags |= kStripLeave;
    if (HasOptionWord("repeat", options)) flags |= kStripRepeat;
    return flags;
}

int TagFlags(std::string_view options) {
    int flags = 0;
    if (HasOptionWord("append", options)) flags |= kTagAppend;
    if (HasOptionWord("dontcreateclass", options)) flags |= kTagDontCreate;
    if (HasOptionWord("leave", options)) flags |= kTagLeave;
    if (HasOptionWord("onlyfirst", options)) flags |= kTagOnlyFirst;
    if (HasOptionWord("createtag", options)) flags |= kTagCreateTag;
    if (HasOptionWord("casesensitive", options)) flags |= kTagCaseSensitive;
    return flags;
}

}  // namespace rowsmith::text
