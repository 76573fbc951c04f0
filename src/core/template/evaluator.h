#pragma once
// ExpandTemplate: turns a template text into output by replacing every tag with its value (name or
// literal, then the modifier chain), against one TemplateContext.
//
// Bounds, so that every expansion ends quickly and in bounded memory:
// - Nesting: an expansion inside an expansion (a name, an argument, a value, a default, a built-in
//   template) goes one level deeper; beyond context.MaxNestingDepth levels (kMaxNestingDepth, 64)
//   the expansion yields the empty text. A variable defined as {{x}} therefore ends after 64 levels.
// - Size: a tag value larger than context.MaxTextSize (kMaxTextSize, 64 MiB; the line expanders
//   raise it with the line's length) becomes the empty text, a tag or text that would take an
//   expansion result past it is left out, and a text larger than that is not expanded at all.
//   Modifiers check the bound before building large results (see FitsTextBound); the widest
//   padding or counter is the same bound (FitsWidthBound).
// - Work: each tag of an outermost expansion may evaluate context.TagBudget tags (kTagBudget,
//   100,000), itself and all it needs included; a tag that needs more yields the empty text.
// A bound never changes a result silently: the engine notes why (TakeBoundReason), and only the
// tag that met it loses its text.
// The parse of a text (tags, pieces, argument slots) is cached per context, keyed by the text and
// the delimiters; everything the language evaluates still happens on every use.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "template/arguments.h"
#include "template/context.h"

namespace rowsmith::tmpl {

// evaluate_nested 1: names, arguments and assigned values holding tags are expanded when used;
// 0: they are taken as written. The output is cleared first.
void ExpandTemplate(std::string_view text, TemplateContext& context, int evaluate_nested,
                    std::string& output);
std::string ExpandTemplate(std::string_view text, TemplateContext& context, int evaluate_nested = 1);
// The same, appended to out (the size bound counts only what this expansion adds).
void ExpandTemplateAppend(std::string_view text, TemplateContext& context, int evaluate_nested,
                          std::string& out);

namespace detail {
struct ParsedTemplate;
}

// A template expanded again and again (the line template of a run): parsed once, and again only when
// its text or the context's delimiters change.
class PreparedTemplate {
  public:
    void Set(std::string_view text);
    const std::string& Text() const { return text_; }
    void ExpandAppend(TemplateContext& context, std::string& out, int evaluate_nested = 1);

  private:
    std::string text_;
    std::string open_;
    std::string close_;
    std::shared_ptr<const detail::ParsedTemplate> parse_;
};

// Whether the text holds the open delimiter (or "///" while those shortcuts are on).
bool ContainsTags(const TemplateContext& context, std::string_view text);
// Whether a value would not be taken as it is: it holds a tag or a cut marker ("<cut", any case).
bool HoldsTagOrCutMarker(const TemplateContext& context, std::string_view text);
// The text expanded when nesting is on and it holds a tag; otherwise the text itself.
std::string ExpandIfTags(std::string_view text, TemplateContext& context, int evaluate_nested = 1);
// Whether a result of this many bytes stays within the context's size bound; when not, the bound
// is noted (the caller then yields the empty text).
bool FitsTextBound(const TemplateContext& context, std::size_t bytes);
// The widest padding, counter or tally any tag may ask for: the size bound itself, so that widths
// grow with long lines as values do.
std::size_t WidthBound(const TemplateContext& context);
// Whether a padding to `width` characters is allowed (0 and below always are); notes it when not.
bool FitsWidthBound(const TemplateContext& context, int64_t width);

// Notes that a bound changed a result, with a readable reason; the last one noted is kept until
// TakeBoundReason takes it.
void NoteBoundHit(const TemplateContext& context, std::string reason);
// "a value would exceed the size bound of N bytes".
void NoteSizeBound(const TemplateContext& context);
std::string BudgetReason(const TemplateContext& context);
std::string NestingReason(const TemplateContext& context);
std::string WidthReason(const TemplateContext& context, uint64_t width);
// The reason of the last bound met since the previous call (empty when none), cleared.
std::string TakeBoundReason(TemplateContext& context);

// A number written as the built-in counters write it: `width` digits at least (a leading "-" takes
// one of them), in the context's digit alphabet, padded and grouped by its settings.
std::string FormatCounter(const TemplateContext& context, int64_t number, int64_t width);
// The width the "&" form gives: the number of characters of the reference written with width 0.
int64_t CounterWidthOf(const TemplateContext& context, int64_t reference);

// Drops every cached parse (the cache also limits itself).
void ClearParseCache(TemplateContext& context);

// One tag of a text as the evaluator parses it, for judging a template without expanding it. The
// views point into the parse and are valid only during the visit.
struct TagOutline {
    enum class Form : uint8_t {
        Nothing,  // {{ comment}} or {{[option]}}
        Quoted,   // {{"text"|...}} or {{'text'|...}}
        Named,
    };
    struct Modifier {
        std::string_view Word;   // as written
        std::string_view Lower;  // lower-cased; "append" for an empty word
        bool WordHasTags = false;
        bool WordHasTripleSlash = false;
        const ArgumentTable* Arguments = nullptr;
    };
    Form Kind = Form::Nothing;
    std::string_view Full;    // delimiters included
    std::string_view Quoted;  // the value of a quoted tag
    std::string_view NameWord;
    bool NameHasTags = false;
    bool NameHasTripleSlash = false;
    bool Ampersand = false;
    // Resolved only for a name without tags: the prefixes taken off and the rest lower-cased.
    bool Original = false;
    bool Uncut = false;
    std::string_view Lookup;
    const ArgumentTable* NameArguments = nullptr;
    std::vector<Modifier> Chain;
};
// Calls visit for every tag of the text in order, parsed with the context's delimiters as an
// expansion would parse it (carets rewritten into their tags, raw literals left out as plain text).
// Parses afresh: the context and its parse cache are not touched.
void VisitTemplateTags(std::string_view text, const TemplateContext& context,
                       const std::function<void(const TagOutline&)>& visit);

}  // namespace rowsmith::tmpl
