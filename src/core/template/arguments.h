#pragma once
// The argument machinery of tags: a piece ("word:arg1,arg2,{{[option]}}") parsed into its word, ten
// argument slots, the whole argument text and the option list, and fetching arguments as
// CommandOptionsRecT, raw or expanded, with defaults.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rowsmith::tmpl {

struct TemplateContext;

inline constexpr int kArgumentSlots = 10;

// A fetched argument. For argument 0 the record carries the options instead.
struct CommandOptionsRecT {
    std::string Text;
    double Float = 0;      // the text read as a number; 0 when it is not one
    int32_t Integer = 0;   // Float truncated toward zero; -1 when out of range or unreadable
    uint8_t Present = 0;   // the slot was filled
    uint8_t IsNumber = 0;  // only digits, "-" first, at most one "."
    uint8_t OptionsPresent = 0;
    std::string OptionsText;  // the options joined by "|"
};

// Fills Float, Integer and IsNumber from the text. An empty text reads as 0 and integer 0.
CommandOptionsRecT MakeOptionsRec(std::string text, bool present);

struct ArgumentSlot {
    std::string Text;     // as written (`""` already turned into the empty text)
    uint8_t Present = 0;  // not empty as written
    uint8_t Literal = 1;  // holds no tag and no "///": never needs expanding
    // The number reading of Text, made on the first fetch that takes Text as it is: a parsed tag is
    // fetched on every line, and reading "6" of "lz:6" through the general number reading each time
    // was a tenth of a counter run. Text does not change after parsing, so neither does its reading.
    mutable uint8_t Read = 0;
    mutable uint8_t IsNumber = 0;
    mutable int32_t Integer = 0;
    mutable double Float = 0;
};

// The variable a modifier last named through its arguments ("inc:n"), valid while the context, its
// VariableEpoch and the name are the same (see ModifierCall::NamedVariableSlot).
struct NamedSlotCache {
    std::string Name;
    std::string Lower;  // Name lower-cased, as the variable store keeps names
    std::string Open;   // the delimiters Plain was decided with
    std::string Close;
    bool Plain = false;  // open + Name + close is the tag of a variable and nothing else
    int32_t Slot = 0;
    uint64_t Epoch = 0;
    const TemplateContext* Context = nullptr;
};

struct ArgumentTable {
    std::array<ArgumentSlot, kArgumentSlots> Slots{};
    int32_t Count = 0;      // slots filled, present or not
    std::string WholeText;  // everything after the ":" as written
    std::string Options;    // inner texts of {{[...]}} arguments joined by "|"
    bool HasColon = false;
    mutable NamedSlotCache Named;
};

struct ParsedPiece {
    std::string Word;  // as written, before the first ":" outside tags
    ArgumentTable Arguments;
};

// The first position at or after `from` (0-based) of c outside tags (open .. close, nested); npos
// when there is none. A close without an open before it is ordinary text.
std::size_t FindOutsideTags(std::string_view text, char c, std::string_view open, std::string_view close,
                            std::size_t from = 0);
// Whether text holds a balanced tag.
bool HasBalancedTag(std::string_view text, std::string_view open, std::string_view close);

// Splits at "," outside tags: options go to the option list, the rest fill up to ten slots.
void ParseArguments(std::string_view argument_text, std::string_view open, std::string_view close,
                    ArgumentTable& table);
ParsedPiece ParsePiece(std::string_view piece, std::string_view open, std::string_view close);

// Argument n: 1..10 a slot, -1 all slots (expanded ones joined by ",", empty ones skipped), 0 the
// options. Expanded fetches expand again on every call; raw ones give the text as written.
CommandOptionsRecT FetchArgument(const ArgumentTable& table, int n, bool expanded, TemplateContext& context,
                                 int evaluate_nested = 1);
// FetchArgument(table, n, true, ...).Integer, without making the record where slot n needs no
// expanding (the reading of its text is kept in the slot).
int32_t FetchArgumentInteger(const ArgumentTable& table, int n, TemplateContext& context, int evaluate_nested = 1);
// The text of an expanded fetch of slot n (1..10) when it needs no expanding: a view of the parsed
// text (empty for a slot beyond the count); false when it must be expanded.
bool LiteralArgumentText(const ArgumentTable& table, int n, int evaluate_nested, std::string_view& text);
// Slot n when present; otherwise the default (written with "{{" "}}") translated and expanded.
CommandOptionsRecT FetchArgumentOr(const ArgumentTable& table, int n, std::string_view default_text,
                                   TemplateContext& context, int evaluate_nested = 1);
// Whether the option list holds the option (a whole entry, letter case ignored; "name:value" counts).
bool HasOption(const ArgumentTable& table, std::string_view name);
// The value after "name:" ("&verbar;" reads "|", "&comma;" reads ","); empty when absent.
std::string GetOptionValue(const ArgumentTable& table, std::string_view name);

}  // namespace rowsmith::tmpl
