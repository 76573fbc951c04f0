#include "text/utf8.h"
#include "text/replace.h"

#include <vector>

#include "text/numbers.h"
#include "text/split.h"

namespace rowsmith::text {

namespace {

constexpr int32_t kUnlimited = 999999999;

int CaseFlag(const PosInfoT& r) {
    return r.CaseSensitive ? 1 : 0;
}

// Whether the settings find a match anywhere in text (first match, no anchoring).
bool HasMatch(const PosInfoT& settings, std::string_view search, std::string_view text) {
    PosInfoT probe = settings;
    probe.Positions.clear();
    probe.Occurrence = 1;
    probe.Anchor = 0;
    probe.CollectAll = 0;
    return SearchPosInfo(probe, search, text) != 0;
}

// Each character of piece takes the case of the matched character at the same position.
void TransferCase(std::string& piece, std::string_view matched) {
    const CaseTables& t = Tables();
    const std::size_t n = std::min(piece.size(), matched.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto m = static_cast<unsigned char>(matched[i]);
        const auto c = static_cast<unsigned char>(piece[i]);
        if (t.lower_letters.Has(m))
            piece[i] = static_cast<char>(t.lower[c]);
        else if (t.upper_letters.Has(m))
            piece[i] = static_cast<char>(t.upper[c]);
    }
}

// The state of one ReplaceText call's passes.
struct Passes {
    Passes(ReplaceT& record, std::string_view s, std::string_view rep)
        : r(record), search(s), replacement(rep) {}
    ReplaceT& r;
    std::string_view search;
    std::string_view replacement;
    bool is_template = false;
    bool overwrite_mode = false;
    // Anchored and last-occurrence calls replace only the chosen match of a pass.
    bool chosen_only = false;
    uint8_t overlapping = 1;
    std::string protected_replacement;
    int32_t justified_index = 0;
    std::string justified_fill;
    bool too_big = false;  // the pass would have built a result beyond the bound

    std::string Piece(std::string_view matched) {
        std::string piece;
        if (is_template) {
            ReplaceTemplateHooks* h = r.Context;
            h->SetReplaceVariable("found", matched);
            if (justified_index)
                h->SetReplaceVariable("foundjustified",
                                      FillText(justified_fill, static_cast<int64_t>(CountChars(matched))));
            piece = h->RestoreReplacementTags(protected_replacement);
            // A template that produces what is searched for would feed the next pass for ever.
            if (HasMatch(r, search, piece)) r.StopRepeating = 1;
        } else {
            piece.assign(replacement);
        }
        if (r.KeepCase) TransferCase(piece, matched);
        return piece;
    }

    std::vector<PositionT> Matches(std::string_view text, int32_t remaining) {
        r.Overlapping = overwrite_mode ? overlapping : 0;
        SearchAll(r, search, text);
        std::vector<PositionT> m;
        if (chosen_only) {
            if (r.FoundPosition > 0) m.push_back({r.FoundPosition, r.FoundLength});
            return m;
        }
        const int32_t count = r.FoundCount;
        for (int32_t i = 1; i <= count && i < static_cast<int32_t>(r.Positions.size()); ++i) {
            if (static_cast<int32_t>(m.size()) >= remaining) break;
            m.push_back(r.Positions[static_cast<std::size_t>(i)]);
        }
        return m;
    }

    // Writes the pieces over the text from left to right; returns false when no replacement is left.
    bool OverwritePass(const std::string& cur, const std::vector<PositionT>& matches, int32_t& remaining,
                       std::string& next) {
        next = cur;
        int64_t allowed = 1;
        for (const PositionT& m : matches) {
            if (m.Position < allowed) continue;
            const std::size_t at = static_cast<std::size_t>(m.Position - 1);
            const std::string piece =
                Piece(std::string_view(cur).substr(at, static_cast<std::size_t>(m.Length)));
            for (std::size_t i = 0; i < piece.size(); ++i) {
                if (at + i < next.size())
                    next[at + i] = piece[i];
                else
                    next.push_back(piece[i]);
            }
            if (next.size() > kMaxReplaceResult) return false;
            allowed = r.StepOne ? m.Position + 1 : m.Position + static_cast<int64_t>(piece.size());
            if (--remaining <= 0) return false;
        }
        return true;
    }

    // Replaces the matches (pieces made from the last match to the first, as the record promises);
    // returns false when no replacement is left.
    bool ReplacePass(const std::string& cur, const std::vector<PositionT>& matches, int32_t& remaining,
                     std::string& next) {
        const std::size_t k = matches.size();
        // A plain replacement that would outgrow the bound is not built at all.
        if (!is_template && !r.DeleteBefore && !r.DeleteAfter) {
            std::size_t matched = 0;
            for (const PositionT& m : matches) matched += static_cast<std::size_t>(m.Length);
            if (cur.size() - matched + k * replacement.size() > kMaxReplaceResult) {
                too_big = true;
                return false;
            }
        }
        // A plain replacement is the same text for every match; only templates and case transfer
        // make a piece per match.
        const bool per_match = is_template || r.KeepCase;
        std::vector<std::string> pieces(per_match ? k : 0);
        for (std::size_t i = per_match ? k : 0; i-- > 0;) {
            const PositionT& m = matches[i];
            pieces[i] = Piece(std::string_view(cur).substr(static_cast<std::size_t>(m.Position - 1),
                                                           static_cast<std::size_t>(m.Length)));
        }
        remaining -= static_cast<int32_t>(k);
        // Blanks eaten before or after a match never reach into a neighbouring match.
        next.clear();
        std::size_t gap_start = 0;
        for (std::size_t i = 0; i <= k; ++i) {
            const std::size_t gap_end =
                i < k ? static_cast<std::size_t>(matches[i].Position - 1) : cur.size();
            std::size_t a = gap_start, b = gap_end;
            if (r.DeleteBefore && i < k)
                while (b > a && r.BeforeSet.Has(cur[b - 1])) --b;
            if (r.DeleteAfter && i > 0)
                while (a < b && r.AfterSet.Has(cur[a])) ++a;
            next.append(cur, a, b - a);
            if (i < k) {
                if (per_match)
                    next += pieces[i];
                else
                    next += replacement;
                gap_start = gap_end + static_cast<std::size_t>(matches[i].Length);
            }
            if (next.size() > kMaxReplaceResult) return false;
        }
        return remaining > 0;
    }
};

std::string RunPasses(ReplaceT& r, std::string_view search, std::string_view replacement,
                      std::string_view text, bool is_template, uint8_t overlapping) {
    Passes p(r, search, replacement);
    p.is_template = is_template;
    p.overlapping = overlapping;
    p.chosen_only = r.Occurrence == 0 || r.Anchor != 0;
    const bool plain = !is_template && r.Mode == kSearchText;
    // Equal lengths write in place; eating blanks needs the replacing mode.
    const bool same_length = plain && replacement.size() == search.size();
    p.overwrite_mode = r.Overwrite || (same_length && !r.DeleteBefore && !r.DeleteAfter);
    if (is_template) p.protected_replacement = r.Context->ProtectReplacementTags(replacement);
    if (r.Occurrence != 0) r.Occurrence = r.MaxReplacements;

    if (is_template) {
        p.justified_index = r.Context->FindReplaceVariable("foundjustified");
        if (p.justified_index) p.justified_fill = r.Context->ReplaceVariableValue(p.justified_index);
    } else if (r.Mode == kSearchText) {
        if (FindText(search, replacement, CaseFlag(r)) != 0) r.StopRepeating = 1;
    } else if (HasMatch(r, search, replacement)) {
        r.StopRepeating = 1;
    }
    if (!is_template && (p.overwrite_mode || same_length)) {
        if (replacement.empty() || StartsWith(replacement, search, CaseFlag(r))) r.StopRepeating = 1;
    }

    std::string cur(text);
    std::string next;
    int32_t remaining = r.MaxReplacements;
    const int64_t pass_limit = kReplacePassBase + 2 * static_cast<int64_t>(text.size());
    int64_t work = 0;
    for (int64_t pass = 0; pass < pass_limit && work <= kReplaceWorkBound; ++pass) {
        work += static_cast<int64_t>(cur.size()) + 1;
        const std::vector<PositionT> matches = p.Matches(cur, remaining);
        if (matches.empty()) break;
        r.Changed = 1;
        const bool more = p.overwrite_mode ? p.OverwritePass(cur, matches, remaining, next)
                                           : p.ReplacePass(cur, matches, remaining, next);
        if (p.too_big || next.size() > kMaxReplaceResult) return {};
        // Passes that keep growing the text feed themselves (each replacement forms a new match with
        // its neighbour): such a runaway yields the empty text long before the absolute bound.
        if (pass > 0 && next.size() > cur.size() && next.size() > 64 * text.size() + 65536) return {};
        const bool unchanged = next == cur;
        cur.swap(next);
        if (!more || unchanged || r.StopRepeating || !r.Repeat) break;
    }
    return cur;
}

}  // namespace

void InitReplace(ReplaceT& record, ReplaceTemplateHooks* context) {
    InitPosInfo(record);
    record.DeleteBefore = 0;
    record.DeleteAfter = 0;
    record.Overwrite = 0;
    record.KeepCase = 0;
    record.StepOne = 0;
    record.Changed = 0;
    record.MaxReplacements = kUnlimited;
    record.AfterSet = CharSet::Of(" ");
    record.BeforeSet = CharSet::Of(" ");
    record.StopRepeating = 0;
    record.ResultAsFileName = 0;
    record.Repeat = 1;
    record.Context = context;
    if (context) {
        context->ClearReplacementTemplateFlag();
        context->InitForReplace();
    }
}

std::string ReplaceText(ReplaceT& r, std::string_view search, std::string_view replacement,
                        std::string_view text) {
    const bool is_template = r.Context != nullptr && r.Context->ReplacementIsTemplateFlag();
    r.Changed = 0;
    // Quick test: nothing to do when the search text does not occur.
    if (!is_template && r.Mode == kSearchText && FindText(search, text, CaseFlag(r)) == 0)
        return std::string(text);

    const int32_t saved_occurrence = r.Occurrence;
    const int32_t saved_max = r.MaxReplacements;
    const uint8_t saved_overlapping = r.Overlapping;
    r.StopRepeating = 0;
    if (r.MaxReplacements <= 0) r.MaxReplacements = kUnlimited;
    if (r.Occurrence == 0 || r.Anchor == 2) r.MaxReplacements = 1;
    if (r.Anchor == 1) {
        r.MaxReplacements = 1;
        r.Occurrence = 1;
    }

    std::string result;
    if (r.Occurrence >= 2) {
        // Everything up to and including the match before the wanted one stays; the rest is replaced
        // from its first match on.
        r.Occurrence -= 1;
        if (SearchPosInfo(r, search, text) == 0) {
            result.assign(text);
        } else {
            const std::size_t cut = static_cast<std::size_t>(r.FoundPosition - 1 + r.FoundLength);
            r.Occurrence = 1;
            const uint8_t as_file_name = r.ResultAsFileName;
            r.ResultAsFileName = 0;
            std::string tail = ReplaceText(r, search, replacement, text.substr(std::min(cut, text.size())));
            r.ResultAsFileName = as_file_name;
            result.assign(text.substr(0, std::min(cut, text.size())));
            result += tail;
        }
    } else {
        result = RunPasses(r, search, replacement, text, is_template, saved_overlapping);
    }

    r.Occurrence = saved_occurrence;
    r.MaxReplacements = saved_max;
    r.Overlapping = saved_overlapping;
    if (!r.Changed && result != text) r.Changed = 1;
    if (r.ResultAsFileName) result = MakeFileName(result);
    return result;
}

std::string ReplaceEverywhere(std::string_view search, std::string_view replacement, std::string_view text) {
    // The quick test of the engine, without building a record.
    if (FindText(search, text, 1) == 0) return std::string(text);
    ReplaceT r;
    InitReplace(r);
    return ReplaceText(r, search, replacement, text);
}

std::string ReplaceEverywhereIgnoreCase(std::string_view search, std::string_view replacement,
                                        std::string_view text) {
    if (FindText(search, text, 0) == 0) return std::string(text);
    ReplaceT r;
    InitReplace(r);
    r.CaseSensitive = 0;
    return ReplaceText(r, search, replacement, text);
}

std::string MakeFileName(std::string_view text) {
    std::string s = ReplaceEverywhere(":", ";", text);
    s = ReplaceEverywhere("/", "(", s);
    s = ReplaceEverywhere("\\", ")", s);
    const CharSet& unsafe = UnsafeFileNameChars();
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 128 && unsafe.Has(c)) c = '_';
    if (s.empty()) s = "_.dat";
    return s;
}

}  // namespace rowsmith::text
