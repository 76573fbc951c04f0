#include "template/state_use.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "template/evaluator.h"
#include "template/registry.h"
#include "text/chars.h"

namespace rowsmith::tmpl {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// How deep the walk follows tags inside names, arguments and quoted texts (for ExpandsLine only;
// a tag there already makes the template stateful). Beyond it a line expansion is assumed.
constexpr int kMaxWalkDepth = 16;

struct AllowedRow {
    std::string_view Word;  // as registered (lower case); the readable name for a pattern row
    MatchKind Kind;
};

using MK = MatchKind;

// Rows whose handlers were read and found to use only the value, their arguments as fetched (which
// are literal here, so nothing is expanded), fixed defaults, the size bounds, the character tables
// and the delimiters: no variable, counter, toggle, date, random number, table, callback or file.
// The Pure rows of the engine qualify on their own and need not be listed.
constexpr AllowedRow kAllowedRows[] = {
    // Core: "append" adds (or, first in a nameless or quoted tag, assigns) its literal argument text;
    // "original" takes the raw value; "uncut" expands the raw value, which in a stateless template
    // is the line (counted by ExpandsLine) or a text without tags; positions pick characters.
    {"append", MK::Exact},
    {"a", MK::Exact},
    {"original", MK::Exact},
    {"uncut", MK::Exact},
    {"<digits and ->", MK::Pattern},
    // Case, letters and words: byte or Unicode tables on the value and fixed word lists; "casegod"
    // and "inthepast" replace with a record of their own. Not "caserandom" (random) nor "dic"
    // (the context's dictionary hook).
    {"casefirstupper", MK::Exact},
    {"caseupperfirst", MK::Exact},
    {"caseenglish", MK::Exact},
    {"caseintelligent", MK::Exact},
    {"caseinvert", MK::Exact},
    {"casegod", MK::Exact},
    {"eleet", MK::Exact},
    {"eleettonormal", MK::Exact},
    {"reverse", MK::Prefix},
    {"onlyinitials", MK::Exact},
    {"onlynumbers", MK::Exact},
    {"onlyletters", MK::Exact},
    {"onlylettersandnumbers", MK::Exact},
    {"onlynumbersandletters", MK::Exact},
    {"nospace", MK::Prefix},
    {"replacespace", MK::Prefix},
    {"scrubthe", MK::Exact},
    {"thetofront", MK::Exact},
    {"brackettofront", MK::Exact},
    {"alphabeticalgroup", MK::Exact},
    {"alphabetgroup", MK::Exact},
    {"multipl", MK::Prefix},
    {"dupe", MK::Prefix},
    {"inthepast", MK::Exact},
    // Cutting, copying, inserting, replacing, padding, positions and list items: text routines on
    // the value and the arguments ("cut" also reads the delimiters, fixed for a run).
    {"prepend", MK::Exact},
    {"surround", MK::Exact},
    {"insert", MK::Exact},
    {"replace", MK::Exact},
    {"delete", MK::Exact},
    {"del", MK::Exact},
    {"cut", MK::Exact},
    {"copyfrom", MK::Exact},
    {"copyuntil", MK::Exact},
    {"deletefrom", MK::Exact},
    {"copybetween", MK::Exact},
    {"deletebetween", MK::Exact},
    {"delbetween", MK::Exact},
    {"deletebeginning", MK::Exact},
    {"deletestarting", MK::Exact},
    {"deleteending", MK::Exact},
    {"deletetrailing", MK::Exact},
    {"notlongerthan", MK::Exact},
    {"getnumber", MK::Exact},
    {"leading", MK::Exact},
    {"pos", MK::Exact},
    {"position", MK::Exact},
    {"posexist", MK::Prefix},
    {"positionexist", MK::Prefix},
    {"item", MK::Exact},
    {"items", MK::Exact},
    {"xthitem", MK::Exact},
    {"xthitems", MK::Exact},
    {"xthpart", MK::Exact},
    {"xthparts", MK::Exact},
    {"part", MK::Exact},
    {"parts", MK::Exact},
    {"numberofitems", MK::Exact},
    {"countitems", MK::Exact},
    {"itemexist", MK::Prefix},
    {"deleteitem", MK::Prefix},
    {"nextsgn", MK::Exact},
    {"sort", MK::Prefix},
    // Numbers: arithmetic, rounding, tests and lengths of the value. Not "inc"/"dec" (variables)
    // nor the table counts.
    {"+", MK::Exact},
    {"-", MK::Exact},
    {"*", MK::Exact},
    {"/", MK::Exact},
    {"div", MK::Exact},
    {"mod", MK::Exact},
    {"trunc", MK::Exact},
    {"round", MK::Exact},
    {"roundupeven", MK::Exact},
    {"roundupodd", MK::Exact},
    {"rounddowneven", MK::Exact},
    {"rounddownodd", MK::Exact},
    {"isnumber", MK::Exact},
    {"isanumber", MK::Exact},
    {"lengthoftext", MK::Exact},
    {"numberblock", MK::Exact},
    {"numbersblock", MK::Exact},
    {"perfectseries", MK::Exact},
    // Conditions on the value itself (empty, not empty, starts, ends) with their six actions; the
    // condition ("if": sets "LastEquation") and file-system suffixes stay out.
    {"exist", MK::Exact},
    {"exists", MK::Exact},
    {"cycle", MK::Exact},
    {"replaceifnotnil", MK::Prefix},
    {"replaceifyes", MK::Prefix},
    {"replaceifnil", MK::Prefix},
    {"replaceifno", MK::Prefix},
    {"replaceifstart", MK::Prefix},
    {"replaceifend", MK::Prefix},
    {"appendifnotnil", MK::Prefix},
    {"appendifyes", MK::Prefix},
    {"appendifnil", MK::Prefix},
    {"appendifno", MK::Prefix},
    {"appendifstart", MK::Prefix},
    {"appendifend", MK::Prefix},
    {"surroundifnotnil", MK::Prefix},
    {"surroundifyes", MK::Prefix},
    {"surroundifnil", MK::Prefix},
    {"surroundifno", MK::Prefix},
    {"surroundifstart", MK::Prefix},
    {"surroundifend", MK::Prefix},
    {"prependifnotnil", MK::Prefix},
    {"prependifyes", MK::Prefix},
    {"prependifnil", MK::Prefix},
    {"prependifno", MK::Prefix},
    {"prependifstart", MK::Prefix},
    {"prependifend", MK::Prefix},
    {"insertbeforeextensionifnotnil", MK::Prefix},
    {"insertbeforeextensionifyes", MK::Prefix},
    {"insertbeforeextensionifnil", MK::Prefix},
    {"insertbeforeextensionifno", MK::Prefix},
    {"insertbeforeextensionifstart", MK::Prefix},
    {"insertbeforeextensionifend", MK::Prefix},
    {"insertifnotnil", MK::Prefix},
    {"insertifyes", MK::Prefix},
    {"insertifnil", MK::Prefix},
    {"insertifno", MK::Prefix},
    {"insertifstart", MK::Prefix},
    {"insertifend", MK::Prefix},
    // Paths and web addresses as pure text (no resolving against the root folder, no file system):
    // name and folder parts, separators, "http://" and "www." handling.
    {"onlyfilename", MK::Exact},
    {"onlyfilenamename", MK::Exact},
    {"filenamewithoutext", MK::Exact},
    {"onlypath", MK::Exact},
    {"legal", MK::Exact},
    {"slash", MK::Exact},
    {"slashes", MK::Exact},
    {"backslash2slash", MK::Prefix},
    {"backslashtoslash", MK::Prefix},
    {"backslash", MK::Exact},
    {"backslashes", MK::Exact},
    {"slash2backslash", MK::Prefix},
    {"slashtobackslash", MK::Prefix},
    {"notrailingslash", MK::Prefix},
    {"noendingslash", MK::Prefix},
    {"withendingslash", MK::Prefix},
    {"withtrailingslash", MK::Prefix},
    {"addhttp", MK::Exact},
    {"addwww", MK::Exact},
    {"addhttpwww", MK::Exact},
    {"nohttp", MK::Exact},
    {"nohttpwww", MK::Exact},
    {"onlyroot", MK::Exact},
    {"onlydomain", MK::Exact},
};

// Names whose values a tag reads without any other line being able to change them: the line (set
// by the run before each line), and the line ends ("eol" also set by the run, from the line itself).
constexpr std::string_view kLineName = "line";
constexpr std::string_view kLineEnds[] = {"eol", "crlf", "cr", "lf"};

bool IsLineEnd(std::string_view lookup) {
    return std::find(std::begin(kLineEnds), std::end(kLineEnds), lookup) != std::end(kLineEnds);
}

// The standard rows the list above names, resolved once: for each row index, whether it is allowed.
const std::vector<bool>& AllowedStandardRows() {
    static const std::vector<bool> allowed = [] {
        const ModifierRegistry& reg = StandardModifiers();
        std::vector<bool> a(reg.Rows().size(), false);
        for (std::size_t i = 0; i < a.size(); ++i) {
            const ModifierRow& r = reg.Rows()[i];
            if (r.Pure) a[i] = true;
            for (const AllowedRow& w : kAllowedRows)
                if (r.Kind == w.Kind && r.Word == w.Word) a[i] = true;
        }
        return a;
    }();
    return allowed;
}

bool HasCutMarker(std::string_view text) {
    for (std::size_t i = text.find('<'); i != npos; i = text.find('<', i + 1))
        if (i + 4 <= text.size() && text::EqualsIgnoreCase(text.substr(i + 1, 3), "cut")) return true;
    return false;
}

bool HasTripleSlash(std::string_view text) {
    return text.find("///") != npos;
}

std::string Quote(std::string_view s) {
    std::string q = "\"";
    q.append(s);
    q += '"';
    return q;
}

// Why a name other than the line and the line ends is not known to be fixed.
std::string NameReason(std::string_view lookup) {
    static constexpr std::string_view kDates[] = {"date", "today", "time", "timenow"};
    static constexpr std::string_view kCounters[] = {
        "size",           "length",       "numberoriginal",   "numbernow", "numberofall", "numberinthisfile",
        "numberuntilnow", "numbersincelastreset", "letter",    "char"};
    static constexpr std::string_view kTable[] = {"cell", "uncutcell", "includedcount", "gridincludedcount"};
    const auto in = [&](const auto& list) { return std::find(std::begin(list), std::end(list), lookup) != std::end(list); };
    const std::string name = "the name " + Quote(lookup);
    if (in(kDates)) return name + " reads the date a context is made with";
    if (in(kCounters)) return name + " reads a counter";
    if (lookup == "numberrandom") return name + " reads a random order";
    if (in(kTable)) return name + " reads the table";
    if (lookup == "nameoflastrepresenter") return name + " reads the name of the tag before it";
    return "the variable " + Quote(lookup) + " may be changed by another line";
}

// Why a modifier row is not allowed, by the standard word it was registered with.
std::string ModifierReason(std::string_view lower, const ModifierRow* row) {
    const std::string what = "the modifier " + Quote(lower);
    if (!row) return what + " is no known modifier";
    const std::string_view w = row->Word;
    const auto is = [&](std::initializer_list<std::string_view> words) {
        return std::find(words.begin(), words.end(), w) != words.end();
    };
    if (is({"inc", "dec"})) return what + " keeps a counter";
    if (is({"toggle", "togglecolor", "toggletagbackgroundcolor", "ttbc"})) return what + " advances the toggle counter";
    if (is({"togglerowcolor"})) return what + " reads the line counter of the file";
    if (is({"def", "deff"})) return what + " defines a variable";
    if (is({"caserandom"})) return what + " draws random numbers";
    if (is({"piconmouseover", "omo"})) return what + " may draw a random picture number";
    if (is({"dic", "dictionary"})) return what + " asks the context's dictionary";
    if (is({"is"}) || (w.size() > 2 && w.substr(w.size() - 2) == "if"))
        return what + " evaluates a condition (and sets \"LastEquation\")";
    if (w.find("ifnotexist") != npos || is({"checkexist", "template", "listfolder", "scanfolder", "readfolder",
                                             "getext", "getextorname"}))
        return what + " looks at the file system";
    if (is({"countvalue", "countdifferentvalue", "countdifferingvalue", "getdifferingcolumnitems"}))
        return what + " reads the table";
    if (is({"split", "splitaspercent", "splitaslinktable", "percentbox", "goodfilename", "directoryurl", "next"}))
        return what + " sets variables";
    return what + " is not known to keep no state";
}

// Walks the tags; the first reason found is kept, but the walk goes on for ExpandsLine.
struct Judge {
    const TemplateContext& c;
    const ModifierRegistry& reg;
    StateUse& r;

    void Stateful(std::string why) {
        if (!r.Stateless) return;
        r.Stateless = false;
        r.Why = std::move(why);
    }

    bool HoldsTag(std::string_view text) const { return ContainsTags(c, text) || HasTripleSlash(text); }

    // The tags of a nested text, for ExpandsLine (and Why, should nothing outside have set it).
    void Walk(std::string_view text, int depth) {
        if (!HoldsTag(text)) return;
        if (depth > kMaxWalkDepth) {
            Stateful("tags are nested too deeply to judge");
            r.ExpandsLine = true;
            return;
        }
        VisitTemplateTags(text, c, [&](const TagOutline& t) { Tag(t, depth); });
    }

    const TemplateVariable* Variable(std::string_view lower) const {
        for (int32_t i = 1; i <= c.VariableCount && static_cast<std::size_t>(i) < c.Variables.size(); ++i)
            if (c.Variables[static_cast<std::size_t>(i)].Name == lower) return &c.Variables[static_cast<std::size_t>(i)];
        return nullptr;
    }

    // A line end must be a variable whose value holds no tag: otherwise its value is expanded on each
    // use, or an undefined-name rule decides.
    void LineEnd(std::string_view lookup) {
        const TemplateVariable* v = Variable(lookup);
        if (!v) {
            if (lookup != "eol") Stateful("the variable " + Quote(lookup) + " is not defined in the context");
            return;  // "eol" is set by the run before each line
        }
        if (HoldsTag(v->Value)) Stateful("the variable " + Quote(lookup) + " holds a tag");
    }

    // Judges one modifier and its arguments; true when its row is allowed and does not expand the
    // value (every allowed row but "uncut"), so that a line stays as it was read.
    bool Modifier(std::string_view word, std::string_view lower, bool dynamic, const ArgumentTable* args, int depth) {
        if (c.OnModifierApplied) Stateful("the context calls a hook after every modifier");
        bool keeps = false;
        if (dynamic) {
            Stateful("the modifier word " + Quote(word) + " is made by a tag");
            Walk(word, depth + 1);
        } else if (const int32_t row = reg.Find(lower); !IsStatelessModifierRow(reg, row)) {
            Stateful(ModifierReason(lower, row >= 0 ? &reg.Row(row) : nullptr));
        } else {
            const ModifierRow& found = reg.Row(row);
            keeps = found.Kind != MatchKind::Exact || found.Word != "uncut";
        }
        if (args) {
            if (HoldsTag(args->WholeText))
                Stateful("an argument of the modifier " + Quote(word) + " holds a tag");
            else if (HasCutMarker(args->WholeText))
                Stateful("an argument of the modifier " + Quote(word) + " holds \"<cut\"");
            Walk(args->WholeText, depth + 1);
        }
        return keeps;
    }

    void Chain(const TagOutline& t, bool original, bool uncut, bool line, int depth) {
        // The prefixes of a name apply the words "uncut" and "original" first.
        bool keeps = true;
        if (uncut) keeps = Modifier("uncut", "uncut", false, nullptr, depth) && keeps;
        if (original) keeps = Modifier("original", "original", false, nullptr, depth) && keeps;
        for (const TagOutline::Modifier& m : t.Chain)
            keeps = Modifier(m.Word, m.Lower, m.WordHasTags || m.WordHasTripleSlash, m.Arguments, depth) && keeps;
        // Without "original" the value was expanded when the name gave it; "uncut" expands it again.
        if (line && (!original || uncut || !keeps)) r.ExpandsLine = true;
    }

    void Tag(const TagOutline& t, int depth) {
        switch (t.Kind) {
            case TagOutline::Form::Nothing:
                return;
            case TagOutline::Form::Quoted:
                if (HoldsTag(t.Quoted)) {
                    Stateful("the quoted text of " + Quote(t.Full) + " holds a tag");
                    if (!t.Chain.empty()) Walk(t.Quoted, depth + 1);  // "uncut" would expand it
                }
                Chain(t, false, false, false, depth);
                return;
            case TagOutline::Form::Named:
                break;
        }
        if (t.NameHasTags || t.NameHasTripleSlash) {
            Stateful("the name " + Quote(t.NameWord) + " is made by a tag");
            Walk(t.NameWord, depth + 1);
            // The name may come out as "line".
            r.ExpandsLine = true;
            Chain(t, false, false, false, depth);
            return;
        }
        const bool line = t.Lookup == kLineName;
        if (t.NameArguments && t.NameArguments->HasColon) {
            Stateful("the name " + Quote(t.NameWord) + " has arguments");
            Walk(t.NameArguments->WholeText, depth + 1);
        }
        if (t.Ampersand) Stateful("the name " + Quote(t.NameWord) + " has the \"&\" form");
        if (t.Lookup.empty())
            Stateful("the tag " + Quote(t.Full) + " has no name");
        else if (IsLineEnd(t.Lookup))
            LineEnd(t.Lookup);
        else if (!line)
            Stateful(NameReason(t.Lookup));
        Chain(t, t.Original, t.Uncut, line, depth);
    }
};

}  // namespace

bool IsStatelessModifierRow(const ModifierRegistry& reg, int32_t row) {
    if (row < 0 || static_cast<std::size_t>(row) >= reg.Rows().size()) return false;
    const ModifierRegistry& standard = StandardModifiers();
    const std::vector<bool>& allowed = AllowedStandardRows();
    if (&reg == &standard) return allowed[static_cast<std::size_t>(row)];
    // Another registry: only a row with the very handler of an allowed standard row of its word and
    // kind counts; a word of the same spelling may run anything there.
    const ModifierRow& r = reg.Row(row);
    for (std::size_t i = 0; i < standard.Rows().size(); ++i) {
        const ModifierRow& s = standard.Rows()[i];
        if (allowed[i] && s.Kind == r.Kind && s.Word == r.Word && s.Handler == r.Handler &&
            (r.Kind != MatchKind::Pattern || s.Accepts == r.Accepts))
            return true;
    }
    return false;
}

StateUse DecideStateUse(std::string_view template_text, const TemplateContext& context) {
    StateUse r;
    r.Stateless = true;
    if (template_text.empty()) return r;
    Judge judge{context, context.Modifiers ? *context.Modifiers : StandardModifiers(), r};
    VisitTemplateTags(template_text, context, [&](const TagOutline& t) { judge.Tag(t, 0); });
    return r;
}

}  // namespace rowsmith::tmpl
