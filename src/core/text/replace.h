#pragma once
// The repeating search-and-replace engine: ReplaceT carries the search settings and the replace
// options, ReplaceText replaces pass after pass until no match is left (or a stop rule ends it).

#include <cstdint>
#include <string>
#include <string_view>

#include "text/chars.h"
#include "text/search.h"

namespace rowsmith::text {

// What the engine needs of a template context when the replacement text is a template. The template
// layer implements it; this layer only holds a pointer, so it never includes template headers.
class ReplaceTemplateHooks {
  public:
    virtual ~ReplaceTemplateHooks() = default;
    // InitReplace with a context: set the whole context to its defaults.
    virtual void InitForReplace() = 0;
    // InitReplace of any record: the replacement is plain text again.
    virtual void ClearReplacementTemplateFlag() = 0;
    virtual bool ReplacementIsTemplateFlag() const = 0;
    // Replaces every tag of the replacement text by a placeholder that no search text can match.
    virtual std::string ProtectReplacementTags(std::string_view replacement) = 0;
    // Puts the tags back and expands the text.
    virtual std::string RestoreReplacementTags(std::string_view protected_text) = 0;
    // The variable store: index (0 = none), value of an index, set by name.
    virtual int32_t FindReplaceVariable(std::string_view name) = 0;
    virtual std::string ReplaceVariableValue(int32_t index) = 0;
    virtual void SetReplaceVariable(std::string_view name, std::string_view value) = 0;
};

// Passes of one ReplaceText call end at this bound plus twice the text's length: every pass that
// shrinks the text removes at least one character, so the bound never cuts off a removable match
// there, while a rule that keeps rewriting the text still ends.
inline constexpr int64_t kReplacePassBase = 1000;
// The passes of one call also end once they have worked through this many bytes in all, so that a
// rule needing a pass per character on a long text still ends quickly (leaving matches behind).
inline constexpr int64_t kReplaceWorkBound = int64_t{1} << 26;
// A result that would grow beyond this many bytes ends the call with the empty text.
inline constexpr std::size_t kMaxReplaceResult = 64u << 20;

struct ReplaceT : PosInfoT {
    uint8_t DeleteBefore = 0;
    uint8_t DeleteAfter = 0;
    uint8_t Overwrite = 0;
    uint8_t KeepCase = 0;
    uint8_t StepOne = 0;
    uint8_t Changed = 0;
    int32_t MaxReplacements = 999999999;
    CharSet AfterSet = CharSet::Of(" ");
    CharSet BeforeSet = CharSet::Of(" ");
    ReplaceTemplateHooks* Context = nullptr;  // not owned; null for one-off records
    int32_t StopRepeating = 0;
    uint8_t ResultAsFileName = 0;
    uint8_t Repeat = 1;
};

// Sets the defaults; with a context, the record keeps it and the context is initialised as well.
void InitReplace(ReplaceT& record, ReplaceTemplateHooks* context = nullptr);
// Replaces in text; record.Changed tells whether anything happened.
std::string ReplaceText(ReplaceT& record, std::string_view search, std::string_view replacement,
                        std::string_view text);
std::string ReplaceEverywhere(std::string_view search, std::string_view replacement, std::string_view text);
std::string ReplaceEverywhereIgnoreCase(std::string_view search, std::string_view replacement,
                                        std::string_view text);
// ":" -> ";", "/" -> "(", "\" -> ")", other unsafe characters below 128 -> "_", empty -> "_.dat".
std::string MakeFileName(std::string_view text);

}  // namespace rowsmith::text
