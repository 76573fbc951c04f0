// The modifiers for cutting, copying, inserting and replacing: text around the value, pieces cut out
// of it or copied from it, insertion at a column, replacement, padding, positions and list items.
// "append" and the digit-interval words belong to the core family.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "template/context.h"
#include "template/evaluator.h"
#include "template/modifier_support.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/lists.h"
#include "text/numbers.h"
#include "text/options.h"
#include "text/replace.h"
#include "text/search.h"
#include "text/sort_list.h"
#include "text/spans.h"
#include "text/split.h"
#include "text/strings.h"
#include "text/utf8.h"

namespace rowsmith::tmpl {

namespace {

constexpr std::string_view kSingle = text::kSingleMarker;

int Flags(const ModifierCall& call) {
    return text::StripFlags(call.OptionsText());
}

int CaseFlag(const ModifierCall& call) {
    return Flags(call) & text::kStripCaseSensitive;
}

// Yes is one space, no the empty text.
void SetTruth(std::string& value, bool yes) {
    value.assign(yes ? 1 : 0, ' ');
}

bool SameEntry(std::string_view a, std::string_view b, int case_flag) {
    return case_flag ? a == b : text::EqualsIgnoreCase(a, b);
}

// --- around the value ---

void Prepend(ModifierCall& call) {
    const std::string front = call.ExpandedWholeArgumentText();
    if (!FitsTextBound(call.Context(), front.size() + call.Value().size())) {
        call.Value().clear();
        return;
    }
    call.Value().insert(0, front);
}

void Surround(ModifierCall& call) {
    const std::string before = call.Text(1);
    const std::string after = call.Text(2);
    if (!FitsTextBound(call.Context(), before.size() + call.Value().size() + after.size())) {
        call.Value().clear();
        return;
    }
    call.Value().insert(0, before);
    call.Value() += after;
}

// --- inserting ---

struct InsertAStringT {
    int32_t Position = 0;
    std::string Fill = " ";
    bool Overlay = false;
    bool KeepCase = false;
};

// Inserts text into value at the record's position (0 appends, a negative position puts the text in
// a block of that many characters in front). Positions count characters. Returns false when the result
// would exceed `bound` (bytes).
bool InsertAString(std::string& value, std::string text, const InsertAStringT& how, std::size_t bound) {
    const int64_t p = how.Position;
    if (p == 0) {
        if (value.size() + text.size() > bound) return false;
        value += text;
        return true;
    }
    // Byte texts (and ASCII ones) count bytes; the character routines would give the same, slower.
    const bool chars = text::CountsCodePoints(value) || text::CountsCodePoints(text);
    auto count = [chars](std::string_view s) { return chars ? text::CountChars(s) : s.size(); };
    auto offset = [chars](std::string_view s, std::size_t i) {
        return chars ? text::ByteOffsetOfChar(s, i) : std::min(i, s.size());
    };
    if (p > 0) {
        const auto at = static_cast<std::size_t>(p - 1);
        const std::size_t value_chars = count(value);
        if (how.Overlay && at < value_chars) {
            const std::size_t from = offset(value, at);
            const std::size_t n = std::min(count(text), value_chars - at);
            const std::size_t len = offset(std::string_view(value).substr(from), n);
            if (how.KeepCase) text::TakeOverCase(text, std::string_view(value).substr(from, len));
            value.erase(from, len);
        }
        const std::size_t now = count(value);
        const std::size_t gap = at > now ? at - now : 0;
        if (value.size() + gap + text.size() > bound) return false;
        if (gap > 0) value += text::FillText(how.Fill, static_cast<int64_t>(gap));
        value.insert(gap > 0 ? value.size() : offset(value, at), text);
        return true;
    }
    const auto n = static_cast<std::size_t>(-p);
    const std::size_t text_chars = count(text);
    if (how.Overlay && n <= text_chars) {
        // n blanks go in front; the text then covers its own length from the front.
        const std::size_t covered = offset(value, text_chars - n);
        std::string front = std::string(n, ' ') + value.substr(0, covered);
        if (how.KeepCase) text::TakeOverCase(text, front);
        value.erase(0, covered);
        value.insert(0, text);
        return true;
    }
    const std::size_t gap = n > text_chars ? n - text_chars : 0;
    if (text.size() + gap + value.size() > bound) return false;
    value.insert(0, text + text::FillText(how.Fill, static_cast<int64_t>(gap)));
    return true;
}

void Insert(ModifierCall& call) {
    InsertAStringT how;
    how.Position = call.FetchOr(2, "1").Integer;
    how.Overlay = call.HasOption("overlay");
    how.KeepCase = call.HasOption("keepcase");
    if (!InsertAString(call.Value(), call.Text(1), how, call.Context().MaxTextSize)) {
        NoteSizeBound(call.Context());
        call.Value().clear();
    }
}

// --- replacing and deleting ---

// The replace engine ends with the empty text once a result would pass its own fixed bound
// (text::kMaxReplaceResult). A long line must still be rewritten whole, so a long text is done in
// pieces where that gives exactly the same: with one pass only (a one-character search, whose pass
// leaves none of it behind, or a replacement holding the search, which stops the passes) and cuts
// that no match reaches across. Pieces are small enough for the engine however much they grow.
std::size_t ReplacePieceSize(std::string_view search, std::string_view replacement, std::size_t value_size) {
    constexpr std::size_t kMaxMatches = 999'999'999;  // the engine's own count per call
    if (search.empty() || value_size >= kMaxMatches || search.size() > text::kMaxReplaceResult / 8) return 0;
    if (search.size() > 1 && text::FindText(search, replacement, 0) == 0) return 0;
    const std::size_t growth = std::max<std::size_t>(1, (replacement.size() + search.size() - 1) / search.size());
    return std::max(4 * search.size(), text::kMaxReplaceResult / (2 * growth));
}

void NoteReplaceBound(const TemplateContext& c) {
    NoteBoundHit(c, "a value would exceed the replace engine's bound of " +
                        std::to_string(text::kMaxReplaceResult) + " bytes");
}

// Empty (and the bound noted) when a bound is passed.
std::string ReplaceInPieces(const TemplateContext& c, std::string_view search, std::string_view replacement,
                            std::string_view value, std::size_t piece_size) {
    const std::size_t reach = search.size() - 1;
    const bool utf8 = text::CurrentCharModel() == text::CharModel::Utf8;
    std::string out;
    std::size_t from = 0;
    while (from < value.size()) {
        std::size_t cut = std::min(value.size(), from + piece_size);
        // A cut is safe where no match starts in the search's length before it, and, in the Utf8
        // model, where a character starts.
        for (;;) {
            while (utf8 && cut < value.size() && !text::IsCharBoundary(value, cut)) ++cut;
            if (cut >= value.size() || reach == 0) break;
            const std::size_t hit = text::FindBytes(search, value.substr(cut - reach, 2 * reach), 0, false);
            if (hit == std::string_view::npos) break;
            cut = cut - reach + hit + search.size();
        }
        const std::string piece =
            text::ReplaceEverywhereIgnoreCase(search, replacement, value.substr(from, cut - from));
        if (piece.empty() && !replacement.empty()) {  // a piece that grew past the engine's bound
            NoteReplaceBound(c);
            return {};
        }
        if (!AppendBounded(c, out, piece)) return {};
        from = cut;
    }
    return out;
}

void Replace(ModifierCall& call) {
    if (!call.Present(2)) {
        call.Value() = call.Text(1);
        return;
    }
    const std::string search = call.Text(1);
    const std::string replacement = call.Text(2);
    std::string& value = call.Value();
    const std::size_t piece_size = ReplacePieceSize(search, replacement, value.size());
    if (piece_size > 0 && value.size() > piece_size) {
        value = ReplaceInPieces(call.Context(), search, replacement, value, piece_size);
        return;
    }
    std::string result = text::ReplaceEverywhereIgnoreCase(search, replacement, value);
    // Matches replaced by a non-empty text leave a non-empty result: empty means a bound ended it.
    if (result.empty() && !value.empty() && !replacement.empty() && !search.empty())
        NoteReplaceBound(call.Context());
    value = std::move(result);
}

void Delete(ModifierCall& call) {
    std::string& v = call.Value();
    if (!call.Present(1) && !call.Present(2)) {
        v.clear();
        return;
    }
    int32_t position = call.Integer(1);
    if (position == 0) position = static_cast<int32_t>(std::min<std::size_t>(text::CountChars(v), INT32_MAX));
    text::CutSpan(v, position, call.Integer(2));
}

void Cut(ModifierCall& call) {
    const TemplateContext& c = call.Context();
    call.Value() = text::ItemsByInterval(call.Value(), "<cut>,<cut/>", ",", 0, c.CloseDelimiter,
                                         c.OpenDelimiter, "<cut/>", call.TextOr(1, "1"));
}

// --- copying from, until and between ---

void CopyFrom(ModifierCall& call) {
    const int flags = Flags(call) & (text::kOccurrenceCaseSensitive | text::kOccurrenceExclude |
                                     text::kOccurrenceLeaveWhole);
    call.Value() = text::TextFrom(call.Value(), call.Text(1), call.FetchOr(2, "1").Integer, flags);
}

void CopyUntil(ModifierCall& call) {
    const int flags = Flags(call) & (text::kOccurrenceCaseSensitive | text::kOccurrenceExclude |
                                     text::kOccurrenceLeaveWhole);
    call.Value() = text::TextUntil(call.Value(), call.Text(1), call.FetchOr(2, "1").Integer, flags);
}

void DeleteFrom(ModifierCall& call) {
    call.Value() = text::DeleteFrom(call.Text(1), call.Value(), call.FetchOr(2, "1").Integer, CaseFlag(call));
}

void CopyBetween(ModifierCall& call) {
    call.Value() = text::TextBetween(call.Value(), call.Text(1), call.Text(2), call.HasOption("exclude"));
}

// Every balanced pair keeps its delimiters and loses what lies between them; the search goes on
// after each emptied pair.
std::string EmptyEnclosed(std::string_view open, std::string_view close, std::string_view text) {
    std::string work(text);
    if (open.empty()) return work;
    const std::size_t close_size = close.empty() || close == kSingle ? open.size() : close.size();
    int32_t from = 1;
    int32_t length = 0, position = 0;
    while (
        text::FindEnclosedFrom(open, close, work, text::kEnclosedExcludeDelimiters, from, length, position)) {
        work.erase(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(length));
        from = position + static_cast<int32_t>(close_size);
    }
    return work;
}

void DeleteBetween(ModifierCall& call) {
    const std::string open = call.TextOr(1, " (");
    const std::string close = call.TextOr(2, ")");
    call.Value() = call.HasOption("exclude") ? EmptyEnclosed(open, close, call.Value())
                                             : text::DeleteEnclosed(open, close, call.Value());
}

void DeleteBeginning(ModifierCall& call) {
    const int flags = Flags(call) & (text::kStripCaseSensitive | text::kStripRepeat);
    call.Value() = text::StripLeading(call.Text(1), call.Value(), flags);
}

void DeleteEnding(ModifierCall& call) {
    const int flags = Flags(call) & (text::kStripCaseSensitive | text::kStripRepeat);
    call.Value() = text::StripTrailing(call.Text(1), call.Value(), flags);
}

// --- lengths, numbers, padding and positions ---

void NotLongerThan(ModifierCall& call) {
    call.Value() = text::ShortenText(call.Value(), call.Integer(1), call.TextOr(2, ".."));
}

void GetNumber(ModifierCall& call) {
    // The search record's byte positions cut the value directly (a digit run is whole characters).
    text::PosInfoT info;
    info.Mode = text::kSearchDigitRun;
    info.Occurrence = call.FetchOr(1, "1").Integer;
    text::SearchPosInfo(info, {}, call.Value());
    const auto at = static_cast<std::size_t>(info.FoundPosition - 1);
    call.Value() = info.FoundPosition == 0
                       ? std::string()
                       : call.Value().substr(at, static_cast<std::size_t>(info.FoundLength));
}

void Leading(ModifierCall& call) {
    const int32_t width = call.Integer(1);
    if (!FitsWidthBound(call.Context(), width)) {
        call.Value().clear();
        return;
    }
    AssignBounded(call, text::PadByWord(call.Value(), call.TextOr(2, " "), width, call.Text(3)));
}

void Pos(ModifierCall& call) {
    call.Value() = text::IntText(text::FindText(call.Text(1), call.Value(), CaseFlag(call)));
}

void PosExist(ModifierCall& call) {
    SetTruth(call.Value(), text::FindText(call.Text(1), call.Value(), CaseFlag(call)) > 0);
}

// --- list items ---

bool HoldsItemSeparator(std::string_view value) {
    return value.find(text::kItemSeparator) != std::string_view::npos;
}

void Items(ModifierCall& call) {
    std::string separators = call.TextOr(2, "|");
    std::string marker = call.Present(3) ? call.Text(3) : std::string(kSingle);
    if (HoldsItemSeparator(call.Value())) {
        separators.assign(1, text::kItemSeparator);
        marker = kSingle;
    }
    call.Value() = text::ItemsByInterval(call.Value(), separators, marker, CaseFlag(call), {}, {},
                                         call.TextOr(4, "|"), call.TextOr(1, "1"));
}

void NumberOfItems(ModifierCall& call) {
    const std::string separator =
        HoldsItemSeparator(call.Value()) ? std::string(1, text::kItemSeparator) : call.TextOr(1, "|");
    call.Value() = text::IntText(text::CountItems(call.Value(), separator));
}

// The entries of a list at one separator; an empty list has none.
std::vector<std::string_view> Entries(std::string_view list, std::string_view separator, int case_flag) {
    if (list.empty()) return {};
    return text::CutItems(list, separator, kSingle, case_flag, {}, {});
}

void ItemExist(ModifierCall& call) {
    const int case_flag = CaseFlag(call);
    const std::string item = call.Text(1);
    bool found = false;
    for (std::string_view entry : Entries(call.Value(), call.TextOr(2, "|"), case_flag))
        if (SameEntry(entry, item, case_flag)) found = true;
    SetTruth(call.Value(), found);
}

void DeleteItem(ModifierCall& call) {
    const int case_flag = CaseFlag(call);
    const std::string separator = call.TextOr(2, "|");
    const std::string unwanted_list = call.Text(1);
    const std::vector<std::string_view> unwanted = Entries(unwanted_list, separator, case_flag);
    if (unwanted.empty()) return;
    const std::string value = call.Value();
    std::string kept;
    bool first = true;
    for (std::string_view entry : Entries(value, separator, case_flag)) {
        if (std::any_of(unwanted.begin(), unwanted.end(),
                        [&](std::string_view u) { return SameEntry(entry, u, case_flag); }))
            continue;
        if (!first) kept += separator;
        kept += entry;
        first = false;
    }
    call.Value() = std::move(kept);
}

void NextSgn(ModifierCall& call) {
    const std::string value = call.Value();
    const std::vector<std::string_view> items =
        text::CutItems(value, call.TextOr(1, "|"), kSingle, 0, {}, {});
    const auto count = static_cast<int64_t>(items.size());
    int64_t index = call.FetchOr(2, "1").Integer;
    if (index == 0) index = count;
    if (index < 0) {
        index += count + 1;
        if (index < 1) return;  // before the first item: the value stays
    }
    call.Value() = index <= count ? std::string(items[static_cast<std::size_t>(index - 1)]) : std::string();
}

void Sort(ModifierCall& call) {
    std::string joiner = call.TextOr(1, "|");
    std::string separators = call.TextOr(2, "|");
    std::string divider = call.TextOr(3, ";");
    if (HoldsItemSeparator(call.Value())) {
        joiner.assign(1, text::kItemSeparator);
        separators = joiner;
        divider = "aaa";
    }
    call.Value() = text::SortTextList(call.Value(), joiner, separators, divider);
}

}  // namespace

void RegisterCuttingModifiers(ModifierRegistry& r) {
    r.AddExact("prepend", Prepend, "puts the expansion of the whole argument text in front");
    r.AddExact("surround", Surround, "argument 1 + value + argument 2");
    r.AddExact("insert", Insert,
               "inserts argument 1 at position argument 2 (default 1; 0 appends); options overlay, keepcase");
    r.AddExact("replace", Replace,
               "one argument: the value becomes it; two: every search text replaced, letter case ignored");
    r.AddExact("delete", Delete,
               "removes argument-2 characters from position argument 1 (0: the last); no argument: all");
    r.AddExact("del", Delete, "same as delete");
    r.AddExact("cut", Cut, "the parts between <cut> markers that argument 1 selects (default 1)");
    r.AddExact("copyfrom", CopyFrom,
               "from occurrence argument 2 of argument 1 to the end; options casesensitive, exclude, leave");
    r.AddExact(
        "copyuntil", CopyUntil,
        "from the start through occurrence argument 2 of argument 1; options casesensitive, exclude, leave");
    r.AddExact("deletefrom", DeleteFrom,
               "removes everything from occurrence argument 2 of argument 1 on; option casesensitive");
    r.AddExact("copybetween", CopyBetween, "the first part from argument 1 to argument 2; option exclude");
    r.AddExact("deletebetween", DeleteBetween,
               "removes every balanced pair of argument 1 (default \" (\") and argument 2 (default \")\")");
    r.AddExact("delbetween", DeleteBetween, "same as deletebetween");
    r.AddExact("deletebeginning", DeleteBeginning,
               "removes argument 1 from the start; options casesensitive, repeat");
    r.AddExact("deletestarting", DeleteBeginning, "same as deletebeginning");
    r.AddExact("deleteending", DeleteEnding,
               "removes argument 1 from the end; options casesensitive, repeat");
    r.AddExact("deletetrailing", DeleteEnding, "same as deleteending");
    r.AddExact("notlongerthan", NotLongerThan,
               "cuts the value to argument-1 characters ending in argument 2 (default \"..\")");
    r.AddExact("getnumber", GetNumber, "the argument-1-th run of digits (default 1)");
    r.AddExact(
        "leading", Leading,
        "pads to width argument 1 with argument 2 (default space) on side argument 3: left, right, both");
    r.AddExact("pos", Pos, "the position of argument 1 in the value, 0 when absent; option casesensitive");
    r.AddExact("position", Pos, "same as pos");
    r.AddPrefix("posexist", PosExist, "\" \" when argument 1 occurs in the value; option casesensitive");
    r.AddPrefix("positionexist", PosExist, "same as posexist");
    static constexpr std::string_view kItemWords[] = {"item",    "items",    "xthitem", "xthitems",
                                                      "xthpart", "xthparts", "part",    "parts"};
    for (std::string_view word : kItemWords)
        r.AddExact(word, Items,
                   "list items: 1 which (2, 2-4, 4-2), 2 separator (default |), 3 divider of alternatives, 4 "
                   "joiner");
    r.AddExact("numberofitems", NumberOfItems, "the number of items of the list at argument 1 (default |)");
    r.AddExact("countitems", NumberOfItems, "same as numberofitems");
    r.AddPrefix("itemexist", ItemExist, "\" \" when the list at argument 2 (default |) holds argument 1");
    r.AddPrefix("deleteitem", DeleteItem,
                "removes the entries listed in argument 1 from the list at argument 2");
    r.AddExact("nextsgn", NextSgn, "item argument 2 (default 1; 0 or -1 the last) of the list at argument 1");
    r.AddPrefix(
        "sort", Sort,
        "sorts the list at argument 2 (alternatives divided by argument 3) and joins it with argument 1");
}

}  // namespace rowsmith::tmpl
