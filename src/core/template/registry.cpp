#include "template/registry.h"

#include <stdexcept>

#include "text/chars.h"

namespace rowsmith::tmpl {

std::string_view MatchKindName(MatchKind kind) {
    switch (kind) {
        case MatchKind::Exact:
            return "exact";
        case MatchKind::Prefix:
            return "prefix";
        case MatchKind::Pattern:
            return "pattern";
    }
    return "exact";
}

void ModifierRegistry::AddExact(std::string_view word, ModifierHandler handler,
                                std::string_view description) {
    const int32_t index = static_cast<int32_t>(rows_.size());
    rows_.push_back({text::LowerCase(word), MatchKind::Exact, handler, std::string(description), nullptr});
    exact_.emplace(rows_.back().Word, index);  // a later row of the same word never wins
}

void ModifierRegistry::AddPrefix(std::string_view word, ModifierHandler handler,
                                 std::string_view description) {
    tested_.push_back(static_cast<int32_t>(rows_.size()));
    rows_.push_back({text::LowerCase(word), MatchKind::Prefix, handler, std::string(description), nullptr});
}

void ModifierRegistry::AddPattern(std::string_view name, WordTest accepts, ModifierHandler handler,
                                  std::string_view description) {
    tested_.push_back(static_cast<int32_t>(rows_.size()));
    rows_.push_back({std::string(name), MatchKind::Pattern, handler, std::string(description), accepts});
}

void ModifierRegistry::MarkPure(std::string_view word) {
    const std::string lower = text::LowerCase(word);
    bool any = false;
    for (ModifierRow& r : rows_)
        if (r.Kind != MatchKind::Pattern && r.Word == lower) r.Pure = any = true;
    if (!any) throw std::logic_error("MarkPure: no modifier row for the word \"" + lower + "\"");
}

int32_t ModifierRegistry::Find(std::string_view lower_word) const {
    int32_t best = -1;
    if (const auto it = exact_.find(std::string(lower_word)); it != exact_.end()) best = it->second;
    // Prefix and pattern rows are few; the first of them that accepts, if it comes earlier, wins.
    for (int32_t i : tested_) {
        if (best >= 0 && i > best) break;
        const ModifierRow& r = rows_[static_cast<std::size_t>(i)];
        const bool accepts = r.Kind == MatchKind::Prefix ? lower_word.substr(0, r.Word.size()) == r.Word
                                                         : (r.Accepts != nullptr && r.Accepts(lower_word));
        if (accepts) return i;
    }
    return best;
}

}  // namespace rowsmith::tmpl
