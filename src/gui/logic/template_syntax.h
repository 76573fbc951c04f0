#pragma once
// The template editor's reading of a template without a widget: coloured spans that follow the
// evaluator's own scanning, the mistakes worth underlining, and the words to offer while typing.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::gui {

enum class SyntaxKind : uint8_t {
    Text,          // plain text outside tags, written as it is
    TagBrace,      // "{{" and "}}"
    Name,          // the name a tag starts from (line, originalline, eol ...)
    ModifierWord,  // a word of the modifier chain
    Separator,     // "|" between modifiers, ":" before arguments, "," between them
    Argument,      // an argument's text
    RawLiteral,    // {{1"..."1}} and quoted values {{"..."}} {{'...'}}: taken without evaluation
    CutMarker,     // <cut> or <cut/> in an assigned text
    Comment,       // text the engine ignores: {{ note}}, {{[option]}}, what follows a closing ' ...
    Error,         // a problem's text (see CheckTemplate)
};

std::string_view SyntaxKindName(SyntaxKind kind);

// A byte range of the UTF-8 template.
struct SyntaxSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
    SyntaxKind kind = SyntaxKind::Text;
    bool operator==(const SyntaxSpan&) const = default;
};

struct SyntaxProblem {
    std::size_t offset = 0;
    std::size_t length = 0;
    std::string message;
};

// Spans in text order, without gaps or overlaps, covering the whole text (none for an empty text).
std::vector<SyntaxSpan> HighlightTemplate(std::string_view text);
// What the engine would do differently from what the text seems to ask for, in text order: a "{{"
// never closed (it and everything after it is written as text), a raw literal never closed (the
// output ends where it begins) and modifier words no modifier accepts (they change nothing). A
// stray "}}" is ordinary text to the engine and is not reported.
std::vector<SyntaxProblem> CheckTemplate(std::string_view text);

// 1-based line and column (in characters) of a byte offset, for messages.
struct LineColumn {
    int32_t line = 1;
    int32_t column = 1;
};
LineColumn LineColumnOf(std::string_view text, std::size_t offset);
// "3:14 unknown modifier "caseupr"", or "No problems".
std::string ProblemSummary(std::string_view text, const std::vector<SyntaxProblem>& problems);

// --- completion ---

enum class CompletionPlace : uint8_t {
    None,
    Name,      // right after "{{"
    Modifier,  // right after a "|" inside a tag
};

struct CompletionContext {
    CompletionPlace place = CompletionPlace::None;
    std::string prefix;     // the word typed so far, up to the cursor
    std::size_t start = 0;  // byte offset where it begins (the cursor minus its length)
};

struct CompletionItem {
    std::string word;  // what the list shows
    std::string description;
    // False for a row that stands for a family of words (the digit intervals "3-10"): shown for its
    // description, nothing to insert.
    bool insertable = true;
    bool operator==(const CompletionItem&) const = default;
};

// Where the cursor (a byte offset) stands. A prefix holds letters, digits and "_".
CompletionContext CompletionAt(std::string_view text, std::size_t cursor);
// The words that contain the prefix (letter case ignored): those that begin with it first, then the
// rest, each group alphabetical, each word once. Names are the built-in names and the variables the
// engine and the run set; modifier words are the registry's exact and prefix rows, and its pattern
// rows while the prefix is empty or could begin such a word.
std::vector<CompletionItem> CompletionsFor(const CompletionContext& context);

}  // namespace rowsmith::gui
