// The modifiers for links and HTML: link texts and addresses, tag attributes, HTML-safe names,
// no-break spaces and line breaks, boxes and buttons, lists rendered as tables, colours and the
// mouse-over attributes. They assemble markup around the value; the fixed texts are kept exactly,
// the rest is plain, minimal HTML.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "template/context.h"
#include "template/engine_adapters.h"
#include "template/evaluator.h"
#include "template/modifier_support.h"
#include "template/modifiers_paths.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/colours.h"
#include "text/lists.h"
#include "text/markup.h"
#include "text/numbers.h"
#include "text/options.h"
#include "text/search.h"
#include "text/spans.h"
#include "text/split.h"
#include "text/strings.h"
#include "text/utf8.h"

namespace rowsmith::tmpl {

namespace {

constexpr std::string_view kSingle = text::kSingleMarker;

std::string Trimmed(std::string_view s) {
    return text::TrimRightOfSet(text::Blanks(), text::TrimLeftOfSet(text::Blanks(), s));
}

bool IsTagNameEnd(char c) {
    return c == ' ' || c == '>' || c == '\t' || c == '\r' || c == '\n' || c == '/';
}

// The first "<a ...>" (letter case ignored): its 0-based start and the position after its ">".
bool FindLinkTag(std::string_view v, std::size_t& start, std::size_t& end) {
    for (std::size_t i = 0; i + 2 < v.size(); ++i) {
        if (v[i] != '<' || (v[i + 1] != 'a' && v[i + 1] != 'A') || !IsTagNameEnd(v[i + 2])) continue;
        const std::size_t close = v.find('>', i);
        if (close == std::string_view::npos) return false;
        start = i;
        end = close + 1;
        return true;
    }
    return false;
}

// The name of the first opening tag of the text ("" when there is none).
std::string FirstTagName(std::string_view v) {
    for (std::size_t i = 0; i + 1 < v.size(); ++i) {
        if (v[i] != '<' || !text::IsAsciiLetter(v[i + 1])) continue;
        std::size_t e = i + 1;
        while (e < v.size() && !IsTagNameEnd(v[e])) ++e;
        return std::string(v.substr(i + 1, e - i - 1));
    }
    return {};
}

bool HasTag(std::string_view v) {
    return !FirstTagName(v).empty();
}

// A text for a single-quoted script string inside a double-quoted attribute.
std::string ScriptQuoted(std::string_view s) {
    std::string r;
    for (char c : s) {
        if (c == '\\' || c == '\'') {
            r += '\\';
            r += c;
        } else if (c == '"') {
            r += "&quot;";
        } else {
            r += c;
        }
    }
    return r;
}

std::string Link(std::string_view address, std::string_view link_text) {
    std::string r = "<a href=\"";
    r += address;
    r += "\">";
    r += link_text;
    r += "</a>";
    return r;
}

// --- links ---

void LinkText(ModifierCall& call) {
    std::string& v = call.Value();
    const std::string text = call.Text(1);
    std::size_t start = 0, end = 0;
    if (FindLinkTag(v, start, end)) {
        const std::size_t close = text::FindBytes("</a>", v, end, false);
        std::string r;
        if (close != std::string::npos)
            r = v.substr(0, end) + text + v.substr(close);
        else
            r = v + text;
        AssignBounded(call, std::move(r));
        return;
    }
    if (call.HasOption("donothing") || call.HasOption("skip")) return;
    if (call.HasOption("append")) return AssignBounded(call, v + text);
    if (call.HasOption("delete")) return v.clear();
    if (call.HasOption("makelink")) return AssignBounded(call, Link(v, text));
    if (call.HasOption("makelink2")) return AssignBounded(call, Link(text, text));
    if (call.HasOption("makelinkifnotnil")) {
        if (!v.empty()) AssignBounded(call, Link(v, text));
        return;
    }
    if (call.HasOption("makelink2ifnotnil")) {
        if (!v.empty()) AssignBounded(call, Link(text, text));
        return;
    }
    v = text;
}

void AddHrefAndLinkText(ModifierCall& call) {
    const std::string& v = call.Value();
    if (v.empty()) return;
    const std::string text = call.Present(1) ? call.Text(1) : v;
    AssignBounded(call, Link(v, text));
}

void AddHrefAndLink(ModifierCall& call) {
    const std::string address = call.Text(1);
    if (address.empty()) return;
    const std::string& v = call.Value();
    AssignBounded(call, Link(address, v.empty() ? std::string_view("Click here") : std::string_view(v)));
}

// --- tag attributes ---

void SetTagOption(ModifierCall& call) {
    const std::string tag = call.TextOr(3, "a");
    const std::string option = call.TextOr(2, "class");
    AssignBounded(call, text::SetTagAttribute(tag, option, call.Text(1), text::TagFlags(call.OptionsText()),
                                              call.Value()));
}

void GetTagOption(ModifierCall& call) {
    call.Value() = text::GetTagAttribute(call.Value(), call.TextOr(3, "a"), call.TextOr(2, "class"));
}

void HtmlLegal(ModifierCall& call) {
    const std::string v = call.Value();
    if (v.empty()) {
        call.Value() = "_";
        return;
    }
    // One output character for every character of the value; only ASCII ones can stay.
    const bool chars = text::CountsCodePoints(v);
    std::string r(chars ? text::CountChars(v) : v.size(), '_');
    for (std::size_t i = 0, k = 0; i < v.size(); ++k) {
        const char c = v[i];
        i += chars ? text::CharLengthAt(v, i) : 1;
        if (text::IsDigit(c) || text::IsAsciiLetter(c))
            r[k] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        else if (c == '!' || c == '-')
            r[k] = c;
    }
    if (r[0] == '_') r[0] = '-';
    call.Value() = std::move(r);
}

void DeleteTag(ModifierCall& call) {
    int32_t length = 0, position = 0;
    if (text::FindEnclosed("<", ">", call.Value(), 0, length, position))
        call.Value().erase(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(length));
}

// --- spaces and line breaks ---

void Nbsp(ModifierCall& call) {
    AssignBounded(call, text::SpacesToNbsp(call.Value()));
}
void NbspBetweenWords(ModifierCall& call) {
    AssignBounded(call, text::NbspBetweenWords(call.Value()));
}
void NoBr(ModifierCall& call) {
    call.Value() = text::NoBreak(call.Value());
}
void NbspNumber(ModifierCall& call) {
    AssignBounded(call, text::NbspInNumbers(call.Value()));
}

void BreaksAround(ModifierCall& call, bool in_front) {
    std::string& v = call.Value();
    if (v.empty()) return;
    const int32_t count = call.FetchOr(1, "1").Integer;
    if (count <= 0) return;
    constexpr std::string_view kBr = "<br>";
    if (!FitsTextBound(call.Context(), v.size() + static_cast<std::size_t>(count) * kBr.size())) {
        v.clear();
        return;
    }
    const std::string breaks = text::RepeatText(kBr, count);
    if (in_front)
        v.insert(0, breaks);
    else
        v += breaks;
}

void HtmlReturn(ModifierCall& call) {
    BreaksAround(call, false);
}
void PreHtmlReturn(ModifierCall& call) {
    BreaksAround(call, true);
}

void Nb(ModifierCall& call) {
    if (call.Value().empty()) call.Value() = "<font size=\"1px\">&nbsp;</font>";
}

// --- boxes and buttons ---

void Box(ModifierCall& call) {
    AssignBounded(call, "<table border=\"0\" cellpadding=\"" + call.TextOr(1, "5") +
                            "\" cellspacing=\"0\" width=\"100%\"><tr><td>" + call.Value() +
                            "</td></tr></table>");
}

void ColorBox(ModifierCall& call) {
    AssignBounded(call, "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" width=\"1\" bgcolor=\"" +
                            call.Text(1) + "\"><tr><td>" + call.Value() + "</td></tr></table>");
}

void AsButton(ModifierCall& call) {
    AssignBounded(call, "<input type=\"button\" value=\"" + call.Value() +
                            "\" onclick=\"document.location='" + call.Text(1) + "'; return false;\">");
}

// --- lists as tables ---

constexpr std::string_view kPercentRow =
    "<tr><td>{{percentname}}</td><td width=\"100%\"><table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" "
    "width=\"{{percentwidth}}%\"><tr><td bgcolor=\"#a0a0a0\">&nbsp;</td></tr></table></td>"
    "<td align=\"right\">{{percentvalue}}</td></tr>";

struct PercentItem {
    std::string Name;
    std::string NumberText;
    double Number = 0;
};

// "name:number"; the number is what follows the last colon (names may hold colons themselves).
PercentItem ParsePercentItem(std::string_view item) {
    PercentItem p;
    const std::size_t colon = item.rfind(':');
    p.Name = colon == std::string_view::npos ? std::string() : Trimmed(item.substr(0, colon));
    p.NumberText = Trimmed(colon == std::string_view::npos ? item : item.substr(colon + 1));
    p.Number = text::ReadNumber(p.NumberText, 0);
    return p;
}

std::string PercentRow(ModifierCall& call, const PercentItem& p, double maximum) {
    TemplateContext& c = call.Context();
    double width = p.Number / maximum * 100;
    if (!std::isfinite(width) || width < 0) width = 0;
    if (width > 100) width = 100;
    SetVariable(c, "percentname", p.Name);
    SetVariable(c, "percentvalue", p.NumberText);
    SetVariable(c, "percentwidth", text::IntText(static_cast<int64_t>(std::lround(width))));
    return call.ExpandBuiltIn(kPercentRow);
}

void PercentBox(ModifierCall& call) {
    const double maximum = call.FetchOr(1, "100").Float;
    if (!(maximum > 0)) return;  // no divisor: the value stays as it was
    AssignBounded(call, PercentRow(call, ParsePercentItem(call.Value()), maximum));
}

void SplitAsPercent(ModifierCall& call) {
    const std::string separator = call.TextOr(1, ",");
    std::vector<PercentItem> items;
    for (std::string_view item : text::CutItems(call.Value(), separator, kSingle, 0, {}, {}))
        if (!Trimmed(item).empty()) items.push_back(ParsePercentItem(item));
    if (items.empty()) return;
    double maximum = 0;
    for (const PercentItem& p : items) maximum = std::max(maximum, p.Number);
    if (!(maximum > 0)) return;
    std::string out = "<tablE width=\"100%\">";
    for (const PercentItem& p : items)
        if (!AppendBounded(call.Context(), out, PercentRow(call, p, maximum))) return call.Value().clear();
    if (!AppendBounded(call.Context(), out, "</table>")) return call.Value().clear();
    call.Value() = std::move(out);
}

void Split(ModifierCall& call) {
    TemplateContext& c = call.Context();
    if (call.Value().empty()) return;
    const std::string list = call.Value();
    const std::string separator = call.TextOr(1, ",");
    const std::string span = call.TextOr(2, "1of1");
    const std::vector<std::string_view> items = text::CutItems(list, separator, kSingle, 0, {}, {});
    const int32_t count = static_cast<int32_t>(items.size());
    const bool last_is_least = call.HasOption("lastisleast");
    const text::PartOfLengthT part =
        text::PartOfLength(last_is_least ? span + " of lastisleast" : span, count, true);
    const std::size_t of = text::ByteFold().Of(span).find("of");
    const int32_t block = text::ReadInt(std::string_view(span).substr(0, of));

    std::string bullet = "&bull;";
    if (call.Present(4)) bullet = "<img src=\"" + call.Text(4) + "\" border=\"0\">";
    const std::string item_default = "<tr><td valign=\"top\">" + bullet + "</td><td>{{Item}}</td></tr>";

    std::string out = "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\">";
    for (int32_t i = std::max(part.First, 1); i <= part.Last && i <= count; ++i) {
        SetVariable(c, "Item", items[static_cast<std::size_t>(i - 1)]);
        SetVariable(c, "ItemCount", text::IntText(count));
        SetVariable(c, "ItemNumber", text::IntText(i));
        SetVariable(c, "ItemBlock", text::IntText(block));
        SetVariable(c, "itisthefirstitem", i == 1 ? " " : "");
        SetVariable(c, "itisthelastitem", i == count ? " " : "");
        SetVariable(c, "itisthelastoutput", i == part.Last || i == count ? " " : "");
        if (!AppendBounded(c, out, call.TextOr(3, item_default))) return call.Value().clear();
    }
    if (!AppendBounded(c, out, "</table>")) return call.Value().clear();
    SetVariable(c, "LastItem", items.back());
    SetVariable(c, "LastItemCount", text::IntText(count));
    call.Value() = std::move(out);
}

void SplitAsLinkTable(ModifierCall& call) {
    const TemplateContext& c = call.Context();
    std::vector<std::string> items;
    for (std::string_view item : text::CutItems(call.Value(), call.TextOr(1, ","), kSingle, 0, {}, {})) {
        std::string t = Trimmed(item);
        if (!t.empty()) items.push_back(std::move(t));
    }
    if (items.empty()) return;
    const int32_t n = static_cast<int32_t>(items.size());
    const int32_t columns = std::clamp(call.FetchOr(2, "1").Integer, 1, n);
    const std::vector<int32_t> sizes = text::DivideLengthSizes(n, columns, call.HasOption("lastisleast"));
    if (sizes.empty()) return;
    const bool nbsp = call.HasOption("nbsp");
    const bool nobr = call.HasOption("nobr") || call.HasOption("nobreak");
    const bool between_words = call.HasOption("nbspbetweenwords") || call.HasOption("nobreakbetweenwords") ||
                               call.HasOption("nobrbetweenwords");
    auto cell = [&](const std::string& address) {
        std::string shown = pathwords::NoHttp(address);
        if (between_words) shown = text::NbspBetweenWords(shown);
        if (nbsp) shown = text::SpacesToNbsp(shown);
        if (nobr) shown = text::NoBreak(shown);
        return "<td>" + Link(pathwords::AddHttp(address), shown) + "</td>";
    };
    std::vector<int32_t> first(sizes.size(), 0);
    for (std::size_t j = 1; j < sizes.size(); ++j) first[j] = first[j - 1] + sizes[j - 1];
    const int32_t rows = *std::max_element(sizes.begin(), sizes.end());
    // Column by column, so that a column reads down the list.
    std::string out = "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\">";
    for (int32_t r = 0; r < rows; ++r) {
        if (!AppendBounded(c, out, "<tr>")) return call.Value().clear();
        for (std::size_t j = 0; j < sizes.size(); ++j) {
            const std::string piece =
                r < sizes[j] ? cell(items[static_cast<std::size_t>(first[j] + r)]) : "<td></td>";
            if (!AppendBounded(c, out, piece)) return call.Value().clear();
        }
        if (!AppendBounded(c, out, "</tr>")) return call.Value().clear();
    }
    if (!AppendBounded(c, out, "</table>")) return call.Value().clear();
    call.Value() = std::move(out);
}

// Cuts at spaces and after "<br>" (outside tags and <nobr> spans) into columns of about equal visible
// length.
void DivideTextEqually(ModifierCall& call) {
    const std::string v = call.Value();
    const int32_t columns = call.FetchOr(1, "2").Integer;
    if (columns < 1 || v.empty()) return;
    struct Cut {
        std::size_t End;   // the piece before ends here
        std::size_t Next;  // the piece after starts here
    };
    std::vector<Cut> cuts;
    bool nobr = false;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '<') {
            const std::size_t close = v.find('>', i);
            if (close == std::string::npos) break;
            const std::string name =
                text::LowerCase(FirstTagName(std::string_view(v).substr(i, close - i + 1)));
            const bool closing = i + 1 < v.size() && v[i + 1] == '/';
            if (!closing && name == "nobr") nobr = true;
            if (closing && text::StartsWith("</nobr", v.substr(i, close - i + 1))) nobr = false;
            if (!closing && name == "br" && !nobr) cuts.push_back({close + 1, close + 1});
            i = close;
        } else if (v[i] == ' ' && !nobr) {
            cuts.push_back({i, i + 1});
        }
    }
    // Visible length (in characters) up to each cut, measured piece by piece.
    auto visible = [](std::string_view piece) {
        return static_cast<int64_t>(text::CountChars(text::VisibleText(piece)));
    };
    std::vector<int64_t> reach(cuts.size());
    int64_t total = 0;
    std::size_t from = 0;
    for (std::size_t k = 0; k < cuts.size(); ++k) {
        total += visible(std::string_view(v).substr(from, cuts[k].End - from));
        reach[k] = total;
        total += static_cast<int64_t>(cuts[k].Next - cuts[k].End);
        from = cuts[k].Next;
    }
    total += visible(std::string_view(v).substr(from));

    std::vector<std::string> parts;
    std::size_t start = 0, next_cut = 0;
    for (int32_t j = 1; j < columns && next_cut < cuts.size(); ++j) {
        const int64_t target = total * j / columns;
        std::size_t best = next_cut;
        for (std::size_t k = next_cut; k < cuts.size(); ++k) {
            if (std::llabs(reach[k] - target) < std::llabs(reach[best] - target)) best = k;
            if (reach[k] > target) break;
        }
        parts.push_back(v.substr(start, cuts[best].End - start));
        start = cuts[best].Next;
        next_cut = best + 1;
    }
    parts.push_back(v.substr(start));
    const std::string width = text::IntText(100 / static_cast<int64_t>(parts.size()));
    std::string out = "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" width=\"100%\"><tr>";
    for (const std::string& part : parts)
        if (!AppendBounded(call.Context(), out,
                           "<td valign=\"top\" width=\"" + width + "%\">" + part + "</td>"))
            return call.Value().clear();
    if (!AppendBounded(call.Context(), out, "</tr></table>")) return call.Value().clear();
    call.Value() = std::move(out);
}

// --- picture borders ---

std::string CornerCell(const TemplateContext& c, std::string_view base, std::string_view suffix) {
    const std::string picture = pathwords::ExistingPicture(c, base, suffix);
    return picture.empty() ? std::string("<td></td>") : "<td><img src=\"" + picture + "\" border=\"0\"></td>";
}

std::string EdgeCell(const TemplateContext& c, std::string_view base, std::string_view suffix) {
    const std::string picture = pathwords::ExistingPicture(c, base, suffix);
    return picture.empty() ? std::string("<td></td>") : "<td background=\"" + picture + "\"></td>";
}

void TableBorder(ModifierCall& call) {
    const TemplateContext& c = call.Context();
    const std::string base = call.Text(1);
    if (base.empty()) return;
    const std::string_view word = call.LowerWord();
    const bool closes_only = word.find("end") != std::string_view::npos;
    const bool opens_only = !closes_only && (word.find("start") != std::string_view::npos ||
                                             word.find("begin") != std::string_view::npos);
    std::string out;
    if (!closes_only) {
        out = "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\"><tr>" +
              CornerCell(c, base, "_top_left") + EdgeCell(c, base, "_top") +
              CornerCell(c, base, "_top_right") + "</tr><tr>" + EdgeCell(c, base, "_side_left") + "<td>";
    }
    out += call.Value();
    if (!opens_only) {
        out += "</td>" + EdgeCell(c, base, "_side_right") + "</tr><tr>" +
               CornerCell(c, base, "_bottom_left") + EdgeCell(c, base, "_bottom") +
               CornerCell(c, base, "_bottom_right") + "</tr></table>";
    }
    AssignBounded(call, std::move(out));
}

// --- colours ---

void Lighter(ModifierCall& call, double sign) {
    std::string& v = call.Value();
    if (v.empty()) return;
    const double amount = call.FetchOr(1, "1").Float;
    v = text::ColorToText(text::LightenColor(text::ColorFromText(Trimmed(v)), sign * amount));
}

void LighterWord(ModifierCall& call) {
    Lighter(call, 1);
}
void DarkerWord(ModifierCall& call) {
    Lighter(call, -1);
}

void Saturation(ModifierCall& call) {
    std::string& v = call.Value();
    if (v.empty() || !call.Present(1)) return;
    v = text::ColorToText(text::SaturateColor(text::ColorFromText(Trimmed(v)), call.Fetch(1).Float));
}

void Hue(ModifierCall& call) {
    std::string& v = call.Value();
    if (v.empty() || !call.Present(1)) return;
    v = text::ColorToText(text::ShiftHue(text::ColorFromText(Trimmed(v)), call.Fetch(1).Float));
}

void ToggleColorBy(ModifierCall& call, int64_t number) {
    if (number % 2 != 0) return;
    const CommandOptionsRecT arg = call.Fetch(1);
    std::string& v = call.Value();
    if (!arg.Present) {
        v = text::ColorToText(text::LightenColor(text::ColorFromText(Trimmed(v)), 1));
    } else if (arg.IsNumber) {
        v = text::ColorToText(text::LightenColor(text::ColorFromText(Trimmed(v)), std::fabs(arg.Float)));
    } else {
        v = arg.Text;
    }
}

void ToggleRowColor(ModifierCall& call) {
    ToggleColorBy(call, call.Context().NumberInThisFile);
}

void ToggleColor(ModifierCall& call) {
    TemplateContext& c = call.Context();
    const int64_t number = c.ToggleCounter;
    c.ToggleCounter = c.ToggleCounter == INT32_MAX ? 0 : c.ToggleCounter + 1;
    ToggleColorBy(call, number);
}

constexpr int kFirstTagAppend = text::kTagAppend | text::kTagOnlyFirst;

void ToggleTagBackgroundColor(ModifierCall& call) {
    std::string& v = call.Value();
    const std::string option = call.TextOr(1, "bgColor");
    std::string tag = call.Text(2);
    if (tag.empty()) tag = FirstTagName(v);
    const std::string colour = text::GetTagAttribute(v, tag, option);
    if (colour.empty() || colour.find_first_of("{}|\"'") != std::string::npos) return;
    const std::string lighter = call.ExpandBuiltIn("{{\"" + colour + "\"|brighter:1.5|hue:-0.4}}");
    std::string r = text::SetTagAttribute(tag, "onmouseover", "this." + option + "='" + lighter + "'",
                                          kFirstTagAppend, v);
    r = text::SetTagAttribute(tag, "onmouseout", "this." + option + "='" + colour + "'", kFirstTagAppend, r);
    AssignBounded(call, std::move(r));
}

// --- mouse-over attributes ---

// Mouse-over attributes need a tag: a value of plain text is put into a <span> first.
std::string WithTag(std::string_view v) {
    if (HasTag(v)) return std::string(v);
    return "<span>" + std::string(v) + "</span>";
}

void Overlib(ModifierCall& call) {
    const std::string box = call.Text(1);
    if (box.empty()) {
        call.Value().clear();
        return;
    }
    const std::string options = call.TextOr(2, ", FGCOLOR, '#FaFaFa', BGCOLOR, '#a0a0a0'");
    std::string r =
        text::SetTagAttribute("", "onmouseover", "overlib('" + ScriptQuoted(box) + "'" + options + ")",
                              kFirstTagAppend, WithTag(call.Value()));
    r = text::SetTagAttribute("", "onmouseout", "nd()", kFirstTagAppend, r);
    AssignBounded(call, std::move(r));
}

std::string WithStatusText(std::string_view tag, std::string_view text, std::string_view v) {
    std::string r = text::SetTagAttribute(
        tag, "onmouseover", "window.status='" + ScriptQuoted(text) + "'; return true;", kFirstTagAppend, v);
    return text::SetTagAttribute(tag, "onmouseout", "window.status=''; return true;", kFirstTagAppend, r);
}

// The host of an address as written ("www." kept): what follows the scheme up to the first separator.
std::string RootHost(std::string_view address) {
    const std::string rest = pathwords::NoHttp(address);
    return rest.substr(0, rest.find_first_of("/\\?#:"));
}

bool IsLocalHost(ModifierCall& call, std::string_view host) {
    const std::string domains = call.ExpandBuiltIn("{{localdomains}}");
    const std::string h = text::LowerCase(host);
    for (std::string_view entry : text::CutItems(domains, ",| |;", "|", 0, {}, {})) {
        std::string d = text::LowerCase(Trimmed(entry));
        if (d.starts_with("www.")) d.erase(0, 4);
        if (d.empty()) continue;
        if (h == d || (h.size() > d.size() && h.ends_with(d) && h[h.size() - d.size() - 1] == '.'))
            return true;
    }
    return false;
}

void HideLink(ModifierCall& call) {
    const TemplateContext& c = call.Context();
    std::string& v = call.Value();
    std::size_t start = 0, end = 0;
    if (!FindLinkTag(v, start, end)) return;
    const std::string href = text::GetTagAttribute(v, "a", "href");
    const bool external = href.find("://") != std::string::npos;
    if ((call.HasOption("externalurlonly") || call.HasOption("externalurlsonly")) &&
        (!external || IsLocalHost(call, HostOfAddress(href))))
        return;
    std::string status;
    if (call.Present(2))
        status = call.FetchRaw(2).Text;
    else if (call.Present(1))
        status = call.Text(1);
    else
        status = "http://" + RootHost(external                ? href
                                      : c.RootAddress.empty() ? c.DefaultWebAddress
                                                              : c.RootAddress);
    AssignBounded(call, WithStatusText("a", status, v));
}

void OnMouseOverText(ModifierCall& call) {
    AssignBounded(call, WithStatusText("", call.Text(1), WithTag(call.Value())));
}

// Pictures get an <img> tag of their own when the value is only a file name.
std::string AsPicture(std::string_view v) {
    if (text::FindText("<img", v) > 0) return std::string(v);
    return "<img src=\"" + std::string(v) + "\" border=\"0\">";
}

void PicOnMouseOver(ModifierCall& call) {
    TemplateContext& c = call.Context();
    const std::string name = call.Text(1);
    std::string v = AsPicture(call.Value());
    int64_t number = c.PictureNumber;
    if (number == 0) number = std::uniform_int_distribution<int64_t>(0, 99999)(text::RandomEngine());
    const std::string picture_name = "pic" + text::LeadingZeros(number, 5, "0") + "_" + name;
    v = text::SetTagAttribute("img", "name", picture_name, text::kTagOnlyFirst, v);
    const std::string src = text::GetTagAttribute(v, "img", "src");
    const std::string over = pathwords::ExistingPicture(c, name, "_onmouseover");
    const std::string down = pathwords::ExistingPicture(c, name, "_onmousedown");
    const std::string up = pathwords::ExistingPicture(c, name, "_onmouseup");
    auto swap = [](std::string_view picture) { return "this.src='" + ScriptQuoted(picture) + "'"; };
    if (!over.empty()) {
        v = text::SetTagAttribute("img", "onmouseover", swap(over), kFirstTagAppend, v);
        v = text::SetTagAttribute("img", "onmouseout", swap(src), kFirstTagAppend, v);
    }
    if (!down.empty()) v = text::SetTagAttribute("img", "onmousedown", swap(down), kFirstTagAppend, v);
    if (!up.empty()) v = text::SetTagAttribute("img", "onmouseup", swap(up), kFirstTagAppend, v);
    AssignBounded(call, std::move(v));
}

void Fade(ModifierCall& call) {
    const std::string opacity = call.TextOr(1, "40");
    const std::string step = call.TextOr(2, "15");
    std::string v = AsPicture(call.Value());
    v = text::SetTagAttribute("img", "style", "filter:alpha(opacity=" + opacity + ")", kFirstTagAppend, v);
    v = text::SetTagAttribute("img", "onmouseover", "pWidgets(this,100,60," + step + ")", kFirstTagAppend, v);
    v = text::SetTagAttribute("img", "onmouseout", "pWidgets(this," + opacity + ",60," + step + ")",
                              kFirstTagAppend, v);
    AssignBounded(call, std::move(v));
}

// --- page navigation ---

constexpr int32_t kPagesPerBlock = 10;

// The value is the current page, "N of M" or "N/M" with the number of pages.
void Next(ModifierCall& call) {
    TemplateContext& c = call.Context();
    const std::string lowered = text::LowerCase(call.Value());
    std::size_t split = lowered.find("of");
    std::size_t after = split == std::string::npos ? std::string::npos : split + 2;
    if (split == std::string::npos && (split = lowered.find('/')) != std::string::npos) after = split + 1;
    const int64_t page = text::ReadInt(std::string_view(lowered).substr(0, split));
    if (page < 1) return;
    int64_t pages =
        after == std::string::npos ? page : text::ReadInt(std::string_view(lowered).substr(after));
    if (pages < page) pages = page;
    const std::string letters = call.TextOr(1, "PaN");
    const std::string separator = call.TextOr(3, " ");
    std::string out;
    bool fits = true;
    auto add = [&](std::string_view piece) {
        if (fits && !out.empty()) fits = AppendBounded(c, out, separator);
        if (fits) fits = AppendBounded(c, out, piece);
    };
    auto link_to = [&](int64_t target, std::string_view shown) {
        SetVariable(c, "pagenumber", text::IntText(target));
        add(Link(call.TextOr(2, "page{{pagenumber}}.htm"), shown));
    };
    const int64_t block_first = (page - 1) / kPagesPerBlock * kPagesPerBlock + 1;
    const int64_t block_last = std::min(pages, block_first + kPagesPerBlock - 1);
    for (std::size_t i = 0; i < letters.size() && fits; ++i) {
        switch (letters[i]) {
            case 'F':
            case 'S':
                link_to(1, "First");
                break;
            case 'f':
            case 's':
                if (page > 1) link_to(1, "First");
                break;
            case 'N':
                if (page < pages) link_to(page + 1, "Next");
                break;
            case 'P':
                if (page > 1) link_to(page - 1, "Previous");
                break;
            case 'a':
            case 't':
                for (int64_t k = block_first; k <= block_last; ++k) {
                    if (k == page)
                        add("<b>" + text::IntText(k) + "</b>");
                    else
                        link_to(k, text::IntText(k));
                }
                break;
            case 'n':
                if (block_last < pages) link_to(block_last + 1, "&raquo;");
                break;
            case 'p':
                if (block_first > 1) link_to(block_first - 1, "&laquo;");
                break;
            default:
                break;
        }
    }
    if (!fits) out.clear();
    AssignBounded(call, std::move(out));
}

}  // namespace

void RegisterHtmlModifiers(ModifierRegistry& r) {
    r.AddExact("linktext", LinkText,
               "sets the text of the value's link to argument 1 (options for plain values)");
    r.AddExact("addhrefandlinktext", AddHrefAndLinkText, "a link to the value with the text argument 1");
    r.AddExact("addhttpandlinktext", AddHrefAndLinkText, "a link to the value with the text argument 1");
    r.AddExact("addhrefandlink", AddHrefAndLink, "a link to the address argument 1 showing the value");
    r.AddExact("addhttpandlink", AddHrefAndLink, "a link to the address argument 1 showing the value");
    r.AddPrefix("tagoption", SetTagOption,
                "sets attribute argument 2 (class) of tag argument 3 (a) to argument 1");
    r.AddPrefix("settagoption", SetTagOption,
                "sets attribute argument 2 (class) of tag argument 3 (a) to argument 1");
    r.AddPrefix("gettagoption", GetTagOption,
                "the value of attribute argument 2 (class) of the first tag argument 3 (a)");
    r.AddExact("htmllegal", HtmlLegal, "the value made usable as an HTML file or anchor name");
    r.AddExact("htmlegal", HtmlLegal, "the value made usable as an HTML file or anchor name");
    r.AddPrefix("deletetag", DeleteTag, "removes the first tag of the value");
    r.AddPrefix("deletehtmltag", DeleteTag, "removes the first tag of the value");
    r.AddExact("nbsp", Nbsp, "spaces become &nbsp;");
    r.AddExact("nbspbetweenwords", NbspBetweenWords, "the spaces between words become &nbsp;");
    r.AddExact("nobr", NoBr, "protects the value against line breaks");
    r.AddExact("nobreak", NoBr, "protects the value against line breaks");
    r.AddPrefix("nbspnumber", NbspNumber, "the spaces inside numbers become &nbsp;");
    r.AddExact("htmlreturn", HtmlReturn, "a non-empty value gets argument 1 (1) times <br> appended");
    r.AddExact("htmreturn", HtmlReturn, "a non-empty value gets argument 1 (1) times <br> appended");
    r.AddExact("prehtmlreturn", PreHtmlReturn, "a non-empty value gets argument 1 (1) times <br> in front");
    r.AddExact("prehtmreturn", PreHtmlReturn, "a non-empty value gets argument 1 (1) times <br> in front");
    r.AddExact("nb", Nb, "an empty value becomes a small &nbsp;");
    r.AddExact("box", Box, "wraps the value in a one-cell table (1: cell padding, 5)");
    r.AddExact("colorbox", ColorBox, "wraps the value in a one-cell table of the colour argument 1");
    r.AddExact("asbutton", AsButton, "a button with the value as caption that opens the address argument 1");
    r.AddExact("percentbox", PercentBox, "name:number drawn as a bar of its share of argument 1 (100)");
    r.AddPrefix("splitaspercent", SplitAsPercent,
                "every name:number item of the list as a bar (1: separator)");
    r.AddExact("split", Split,
               "the list as an HTML table (1: separator, 2: span 1of1, 3: item template, 4: bullet picture)");
    r.AddExact("splitaslinktable", SplitAsLinkTable,
               "the list of addresses as a table of links (1: separator, 2: columns)");
    r.AddExact("dividetextequally", DivideTextEqually,
               "the HTML text cut into argument 1 (2) table columns of about equal length");
    r.AddPrefix(
        "tableborder", TableBorder,
        "a table with the border pictures of base name argument 1 around the value (\"end\": closing part)");
    r.AddExact("darker", DarkerWord, "the colour darker by argument 1 (1)");
    r.AddExact("lighter", LighterWord, "the colour lighter by argument 1 (1)");
    r.AddExact("brighter", LighterWord, "the colour lighter by argument 1 (1)");
    r.AddExact("saturation", Saturation, "the colour's saturation times argument 1 percent");
    r.AddExact("hue", Hue, "the colour's hue turned by argument 1");
    r.AddExact("togglerowcolor", ToggleRowColor,
               "on even lines of the file the colour is lightened or replaced");
    r.AddExact("togglecolor", ToggleColor, "every other use the colour is lightened or replaced");
    r.AddExact("toggletagbackgroundcolor", ToggleTagBackgroundColor,
               "mouse-over handlers that light up the tag's background colour");
    r.AddExact("ttbc", ToggleTagBackgroundColor,
               "mouse-over handlers that light up the tag's background colour");
    r.AddExact("overlib", Overlib, "a pop-up box with the text argument 1 on the first tag");
    r.AddExact("magicbox", Overlib, "a pop-up box with the text argument 1 on the first tag");
    r.AddExact("floatingbox", Overlib, "a pop-up box with the text argument 1 on the first tag");
    for (std::string_view word : {"hidelink", "hideurl", "cloaklink", "cloakurl", "cloak"})
        r.AddExact(word, HideLink, "the browser's status line shows a text instead of the link's address");
    r.AddExact("onmouseovertext", OnMouseOverText,
               "the status line shows argument 1 while the mouse is over");
    r.AddExact("omotext", OnMouseOverText, "the status line shows argument 1 while the mouse is over");
    r.AddExact("piconmouseover", PicOnMouseOver, "a picture that swaps to its mouse-over pictures");
    r.AddExact("omo", PicOnMouseOver, "a picture that swaps to its mouse-over pictures");
    r.AddExact("fade", Fade, "a picture that fades in under the mouse (1: opacity 40, 2: step 15)");
    r.AddExact("omofade", Fade, "a picture that fades in under the mouse (1: opacity 40, 2: step 15)");
    r.AddExact("next", Next, "navigation links for page N of M (1: letters, 2: page address, 3: separator)");
}

}  // namespace rowsmith::tmpl
