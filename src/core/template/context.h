#pragma once
// The template context: the variables of the tag language, its delimiters, counters, dates and
// formatting settings, the protected tags of a template replacement, and the one record that pairs
// the program's search-and-replace record with its context.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/dates.h"
#include "text/replace.h"

namespace rowsmith::tables {
class ArrayOfFiles;
}

namespace rowsmith::tmpl {

class ModifierRegistry;

// Bounds of every expansion (see evaluator.h): nesting depth of expansions inside expansions, the
// size of any expansion result or tag value (also the widest padding or counter), and the tags one
// tag of an outermost expansion may evaluate.
inline constexpr int32_t kMaxNestingDepth = 64;
inline constexpr std::size_t kMaxTextSize = std::size_t{64} << 20;
inline constexpr int64_t kTagBudget = 100'000;

struct TemplateVariable {
    std::string Name;  // lower case
    std::string Value;
    std::string Comment;
    uint8_t Kind = 0;
};

struct RepresenterRecT {
    std::string Text;  // the protected tag, delimiters included
};

namespace detail {
struct EngineState;  // template/engine_state.h, the engine's private header
struct EngineStateDeleter {
    void operator()(EngineState* state) const;
};
// Holds the evaluator's working state (nesting depth, tag budget, the last bound met, reusable
// buffers, parse cache) without this header knowing it. A copied context starts with a fresh one,
// since the state belongs to the expansions running on the original.
class EngineSlot {
  public:
    EngineSlot() = default;
    EngineSlot(const EngineSlot&) {}
    EngineSlot& operator=(const EngineSlot&) { return *this; }
    EngineSlot(EngineSlot&&) noexcept = default;
    EngineSlot& operator=(EngineSlot&&) noexcept = default;
    // Const as well: a modifier that meets a bound notes it through a const context.
    EngineState& Get() const;

  private:
    mutable std::unique_ptr<EngineState, EngineStateDeleter> state_;
};

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return a == b; }
};
}  // namespace detail

// Receives the steps of the tags an expansion evaluates, for `rowsmith-cli expand --trace` and the
// window's preview (template/trace.h collects and prints them). For each tag: TraceTag when it
// starts, TraceName once the name has given its value, TraceModifier after each modifier; the steps
// of expansions a step needs (a name, an argument, a value holding tags) come before that step, one
// depth deeper. depth is 1 for the tags of an outermost expansion. The "original" and "uncut"
// prefixes of a name show as the modifiers they become. Texts are only valid during the call.
class TraceSink {
  public:
    enum class NameKind : uint8_t {
        Variable,   // a variable's value (expanded up to its "<cut>"; empty with "original"/"uncut")
        Builtin,    // a built-in name (date, numbernow, cell ...)
        Literal,    // a quoted tag: name is empty
        Empty,      // an empty name ({{|:text}}): the value starts empty
        Undefined,  // an unknown name: value is what the undefined-name rule gives; no modifier
                    // follows under the default rule (the tag yields nothing) nor under the rules
                    // that put out text in place of the whole tag
        Comment,    // {{ comment}} or {{[option]}}: nothing is put out
    };
    virtual ~TraceSink() = default;
    virtual void TraceTag(int32_t depth, std::string_view tag) = 0;
    virtual void TraceName(int32_t depth, NameKind kind, std::string_view name, std::string_view value) = 0;
    // arguments as written (they are not expanded again for the trace).
    virtual void TraceModifier(int32_t depth, std::string_view word, std::string_view arguments,
                               std::string_view value) = 0;
};

// The current working folder with a trailing "/": where relative names resolve by default.
std::string DefaultFolder();

struct TemplateContext : text::ReplaceTemplateHooks {
    uint8_t ReplacementIsTemplate = 0;
    std::vector<RepresenterRecT> Representers = std::vector<RepresenterRecT>(1);
    int32_t RepresenterCount = 0;
    std::vector<TemplateVariable> Variables = std::vector<TemplateVariable>(1);
    uint8_t UndefinedNamePolicy = 3;
    int64_t Size = 0;
    int64_t SizeReference = 0;
    int32_t LetterBase = 0;
    int32_t LetterIndex = 0;
    std::shared_ptr<std::vector<int32_t>> RandomOrder;
    int32_t ToggleCounter = 0;
    std::shared_ptr<text::DateInfoT> RunDate = std::make_shared<text::DateInfoT>();
    std::shared_ptr<text::DateInfoT> NowDate = RunDate;
    int32_t CurrentRow = 1;
    int32_t PictureNumber = 0;
    int32_t NumberOriginal = 0;
    int32_t NumberNow = 0;
    int32_t NumberOfAll = 1;
    int32_t NumberInThisFile = 1;
    int32_t NumberUntilNow = 0;
    int32_t NumberSinceLastReset = 0;
    std::string DefaultWebAddress = "https://example.org/";
    std::string RootFolder = DefaultFolder();
    std::string TemplateFolder = DefaultFolder();
    std::string RootAddress;
    std::string LetterAlphabet = " ";
    std::string Digits = "0123456789";
    uint8_t DigitMode = 0;
    uint8_t AlternativeNumberLayout = 0;
    uint8_t PadWithDigit = 1;
    char PadCharacter = '0';
    uint8_t TripleSlashShortcuts = 0;
    char GroupSeparator = 0;
    tables::ArrayOfFiles* Table = nullptr;  // not owned
    int32_t VariableCount = 0;
    std::string OpenDelimiter = "{{";
    std::string CloseDelimiter = "}}";
    // (evaluated name, tag text, modifier text, out value); unset: the value is cleared.
    std::function<void(std::string_view, std::string_view, std::string_view, std::string&)> OnUndefinedName;
    // (out value, value, modifier text, option text); called after every modifier when set.
    std::function<void(std::string&, std::string_view, std::string_view, std::string_view)> OnModifierApplied;
    // (out value, value); performs "dic" when set.
    std::function<void(std::string&, std::string_view)> OnDictionary;

    // --- Engine settings beyond the record ---
    // The modifiers in force; null means the standard registry (StandardModifiers()).
    const ModifierRegistry* Modifiers = nullptr;
    std::size_t MaxTextSize = kMaxTextSize;
    int32_t MaxNestingDepth = kMaxNestingDepth;
    int64_t TagBudget = kTagBudget;
    // Told every step of every tag while set (not owned); null costs one test per tag.
    TraceSink* Trace = nullptr;

    // --- Bookkeeping of the variable store (kept in step by SetVariable) ---
    std::unordered_map<std::string, int32_t, detail::NameHash, detail::NameEqual> VariableIndex;
    int32_t IndexedCount = 0;
    // Slots of the item variables that tags restore, and a counter bumped whenever one is set.
    std::array<int32_t, 7> ItemSlots{};
    bool AnyItemSlots = false;  // some ItemSlots entry is set (asked on every variable write)
    uint64_t ItemVersion = 0;
    // Bumped whenever slots may have been renumbered (initialisation, a repaired index), so that
    // remembered slot numbers can be trusted without comparing names.
    uint64_t VariableEpoch = 0;
    detail::EngineSlot Engine;

    // text::ReplaceTemplateHooks
    void InitForReplace() override;
    void ClearReplacementTemplateFlag() override { ReplacementIsTemplate = 0; }
    bool ReplacementIsTemplateFlag() const override { return ReplacementIsTemplate != 0; }
    std::string ProtectReplacementTags(std::string_view replacement) override;
    std::string RestoreReplacementTags(std::string_view protected_text) override;
    int32_t FindReplaceVariable(std::string_view name) override;
    std::string ReplaceVariableValue(int32_t index) override;
    void SetReplaceVariable(std::string_view name, std::string_view value) override;
};

// s = v for the short texts that every line moves (values, names): into the room s has, past the
// general assign's checks. A view into s itself takes the general way.
inline void CopyInto(std::string& s, std::string_view v) {
    const char* const b = s.data();
    if (v.size() <= s.capacity() && (v.data() + v.size() < b || v.data() > b + s.capacity())) {
        s.clear();
        s.append(v.data(), v.size());
    } else {
        s.assign(v.data(), v.size());
    }
}

// Whether any item variable exists (most expansions never meet one).
inline bool AnyItemSlot(const TemplateContext& c) {
    return c.AnyItemSlots;
}

// The item variables, in lower case, in the order of ItemSlots.
inline constexpr std::array<std::string_view, 7> kItemVariableNames = {
    "itisthefirstitem", "itisthelastitem", "itisthelastoutput", "item",
    "itemcount",        "itemnumber",      "itemblock"};

// Defaults for every field, the date record refreshed to now, then "found", "crlf", "cr", "lf", "eol".
void InitTemplateContext(TemplateContext& context);
// Slot of the variable (names compared after lower-casing); 0 for an empty or unknown name.
int32_t FindVariable(TemplateContext& context, std::string_view name);
// "name|comment": the slot is reused or appended; value and comment are overwritten.
void SetVariable(TemplateContext& context, std::string_view full_name, std::string_view value);
// Sets the value of an existing slot and clears its comment (what SetVariable does once it has it).
void SetVariableAt(TemplateContext& context, int32_t index, std::string_view value);
std::string GetVariableValue(TemplateContext& context, std::string_view name);
// The value of a variable without copying; null when there is none (valid until variables change).
const std::string* VariableValue(TemplateContext& context, std::string_view name);
std::string WrapInDelimiters(const TemplateContext& context, std::string_view text);
// Built-in texts are written with "{{" and "}}"; other delimiters replace them.
std::string TranslateDelimiters(const TemplateContext& context, std::string_view text);
void ClearRepresenters(TemplateContext& context);
// Every balanced tag becomes byte 2, its decimal index, byte 3.
std::string ProtectTags(TemplateContext& context, std::string_view text);
// Puts the tags back (placeholders with no stored tag stay as they are), then expands the text when
// HasTemplateWork.
std::string RestoreTags(TemplateContext& context, std::string_view text);
bool HasTemplateWork(const TemplateContext& context);

// The program's one template record: its search-and-replace record and the context it carries.
struct TemplateRecordT {
    text::ReplaceT Replace;
    TemplateContext Context;

    TemplateRecordT();
    TemplateRecordT(const TemplateRecordT&) = delete;
    TemplateRecordT& operator=(const TemplateRecordT&) = delete;
};
// InitReplace with the context (which initialises the context too).
void InitTemplateRecord(TemplateRecordT& record);

}  // namespace rowsmith::tmpl
