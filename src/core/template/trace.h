#pragma once
// The tag trace: a TraceSink that collects every step of an expansion (tag, name, modifiers) with a
// bound on its size, and the text form `rowsmith-cli expand --trace` prints and the preview shows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "template/context.h"

namespace rowsmith::tmpl {

struct TraceStep {
    enum class Kind : uint8_t { Tag, Name, Modifier };
    Kind kind = Kind::Tag;
    int32_t depth = 1;
    TraceSink::NameKind name_kind = TraceSink::NameKind::Variable;  // name_kind only for Name
    std::string word;       // tag text (Tag), name (Name), modifier word (Modifier)
    std::string arguments;  // Modifier only
    std::string value;      // value after this step (empty for Tag)
    // Full lengths of the three texts; the collector keeps only the first MaxTextBytes of each, so
    // a long value still shows how long it really was. 0 means "as long as the text held".
    std::size_t word_size = 0;
    std::size_t arguments_size = 0;
    std::size_t value_size = 0;
};

// Collects the steps of every expansion run while it is the context's Trace. A template that
// expands itself many times over must not grow the trace without bound: beyond MaxSteps steps only
// Dropped counts, and each text is kept up to MaxTextBytes (far more than a trace line shows).
class CollectingTrace : public TraceSink {
  public:
    std::vector<TraceStep> Steps;
    std::size_t MaxSteps = 10000;
    std::size_t MaxTextBytes = 1024;
    std::size_t Dropped = 0;  // steps not kept because MaxSteps were reached

    // Forgets every step (before the next line, for example).
    void Clear();

    void TraceTag(int32_t depth, std::string_view tag) override;
    void TraceName(int32_t depth, NameKind kind, std::string_view name, std::string_view value) override;
    void TraceModifier(int32_t depth, std::string_view word, std::string_view arguments,
                       std::string_view value) override;

  private:
    TraceStep* Add();
    void Keep(std::string& into, std::size_t& size, std::string_view text) const;
};

// Escapes CR as \r, LF as \n, tab as \t, other bytes < 32 as \xNN, backslash stays; cuts values
// longer than max_len with "..." and the full length.
std::string VisibleText(std::string_view text, std::size_t max_len = 200);

// The steps as the CLI prints them, one step a line, indented two spaces per depth.
std::string FormatTrace(const std::vector<TraceStep>& steps);
// The same, followed by "... N more steps" when the collector dropped any.
std::string FormatTrace(const CollectingTrace& trace);

}  // namespace rowsmith::tmpl
