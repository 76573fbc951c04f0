#pragma once
// The modifier registry: rows of word, match kind, handler and description, tested in a fixed order
// (the first row that accepts a word applies it), and ModifierCall, everything a handler may use.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "template/arguments.h"

namespace rowsmith::tmpl {

struct TemplateContext;
namespace detail {
struct TagState;
}

// What one modifier application sees: the value (in and out), its word, its arguments and options,
// the tag it belongs to, and expansion against the same context (nesting depth carried along).
class ModifierCall {
  public:
    ModifierCall(detail::TagState& tag, const ArgumentTable& arguments, std::string_view word,
                 std::string_view lower_word, int32_t position, TemplateContext& context, int evaluate_nested)
        : tag_(tag),
          args_(arguments),
          word_(word),
          lower_word_(lower_word),
          position_(position),
          context_(context),
          nested_(evaluate_nested) {}

    std::string& Value();
    // The word after its own tags were expanded, as written and lower-cased.
    std::string_view Word() const { return word_; }
    std::string_view LowerWord() const { return lower_word_; }
    // 1 for the first modifier of the tag (implicit "uncut" and "original" count).
    int32_t Position() const { return position_; }
    TemplateContext& Context() const { return context_; }
    int EvaluateNested() const { return nested_; }

    // --- arguments (n: 1..10 a slot, -1 all slots joined, 0 the options) ---
    CommandOptionsRecT Fetch(int n) const;     // expanded
    CommandOptionsRecT FetchRaw(int n) const;  // as written
    // Slot n when present, else the default text (written with "{{" "}}"), translated and expanded.
    CommandOptionsRecT FetchOr(int n, std::string_view default_text) const;
    // Shorthands for the text of Fetch / FetchOr.
    std::string Text(int n) const { return Fetch(n).Text; }
    std::string TextOr(int n, std::string_view default_text) const { return FetchOr(n, default_text).Text; }
    bool Present(int n) const;
    // Fetch(n).Integer, read once for a slot that needs no expanding.
    int32_t Integer(int n) const;
    // The text Fetch(n) would give when slot n needs no expanding (a view of the parse); else false.
    bool LiteralText(int n, std::string_view& text) const;
    int32_t ArgumentCount() const { return args_.Count; }
    bool HasOption(std::string_view name) const;
    std::string GetOptionValue(std::string_view name) const;
    std::string_view OptionsText() const { return args_.Options; }
    // Everything after the ":" as written, and its expansion.
    std::string_view WholeArgumentText() const { return args_.WholeText; }
    std::string ExpandedWholeArgumentText() const;
    const ArgumentTable& Arguments() const { return args_; }

    // --- the tag ---
    std::string_view TagName() const;  // the evaluated name (before lower-casing)
    const std::string& RawValue() const;
    std::string_view VariableComment() const;
    bool IsFirstOfEmptyName() const;
    // Assigns like the tag's name does: remembers the raw value and expands it up to "<cut>".
    void AssignValue(std::string_view text);

    // --- expansion against the same context ---
    // The text expanded (only when nesting is on and it holds a tag, as everywhere in the language).
    std::string Expand(std::string_view text) const;
    // The text expanded unconditionally (a built-in template), delimiters translated first.
    std::string ExpandBuiltIn(std::string_view text_with_braces) const;
    bool ContainsTags(std::string_view text) const;

    // --- a variable named by an argument ("inc:n") ---
    // The same as expanding open delimiter + name + close delimiter; a plain name (letters, digits,
    // "_") of a variable whose value holds no tag and no "<cut" is read without parsing a tag, its
    // slot resolved once per parsed modifier (guarded by the context's VariableEpoch).
    // `slot`, when given, is the variable's slot where it was read without parsing (else 0); it holds
    // the variable until something else is expanded.
    std::string ExpandNameTag(std::string_view name, int32_t* slot = nullptr) const;
    // The same as SetVariable(context, name, value), through the slot resolved as above; `slot` is
    // one ExpandNameTag gave for this name with nothing expanded since (0: look it up).
    void SetNamedVariable(std::string_view name, std::string_view value, int32_t slot = 0) const;

  private:
    detail::TagState& tag_;
    const ArgumentTable& args_;
    std::string_view word_;
    std::string_view lower_word_;
    int32_t position_;
    TemplateContext& context_;
    int nested_;
};

using ModifierHandler = void (*)(ModifierCall&);
using WordTest = bool (*)(std::string_view lower_word);

enum class MatchKind : uint8_t {
    Exact,    // the word itself
    Prefix,   // every word that begins with it
    Pattern,  // every word the row's test accepts
};

std::string_view MatchKindName(MatchKind kind);

struct ModifierRow {
    std::string Word;  // lower case; for a pattern row a readable name of the pattern
    MatchKind Kind = MatchKind::Exact;
    ModifierHandler Handler = nullptr;
    std::string Description;
    WordTest Accepts = nullptr;  // pattern rows
    // The handler reads only the value, its literal arguments and fixed settings: it reads and sets
    // no variable and expands nothing, so the evaluator may defer the name it records for the tag.
    bool Pure = false;
};

class ModifierRegistry {
  public:
    void AddExact(std::string_view word, ModifierHandler handler, std::string_view description);
    void AddPrefix(std::string_view word, ModifierHandler handler, std::string_view description);
    void AddPattern(std::string_view name, WordTest accepts, ModifierHandler handler,
                    std::string_view description);

    // Marks the rows of the word (exact or prefix) as Pure; a word without a row is a programming error.
    void MarkPure(std::string_view word);

    // The first row (in registration order) that accepts the lower-case word; -1 when none does.
    int32_t Find(std::string_view lower_word) const;
    const ModifierRow& Row(int32_t index) const { return rows_[static_cast<std::size_t>(index)]; }
    const std::vector<ModifierRow>& Rows() const { return rows_; }

  private:
    std::vector<ModifierRow> rows_;
    std::unordered_map<std::string, int32_t> exact_;  // word -> first exact row
    std::vector<int32_t> tested_;                     // prefix and pattern rows, in order
};

// Every family, registered in the fixed test order (modifiers_all.cpp); built on first use.
const ModifierRegistry& StandardModifiers();
void RegisterAllModifiers(ModifierRegistry& registry);

// The families. Each lives in its own file and registers its rows in its own order;
// RegisterAllModifiers calls them in the fixed test order.
void RegisterCoreModifiers(ModifierRegistry& registry);       // modifiers_core.cpp
void RegisterConditionModifiers(ModifierRegistry& registry);  // conditions and definitions
void RegisterCaseModifiers(ModifierRegistry& registry);       // case, letters and words
void RegisterCuttingModifiers(ModifierRegistry& registry);    // cutting, copying, inserting, replacing
void RegisterNumberModifiers(ModifierRegistry& registry);     // numbers and counters
void RegisterPathModifiers(ModifierRegistry& registry);       // paths, web addresses and HTML

}  // namespace rowsmith::tmpl
