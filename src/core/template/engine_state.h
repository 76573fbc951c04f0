#pragma once
// The evaluator's private working state, kept in each context's EngineSlot: nesting depth, tag
// budget, the last bound met, the per-depth tag frames, the parse cache. Only the engine includes it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "template/context.h"

namespace rowsmith::tmpl::detail {

struct ParsedTemplate;  // the evaluator's parse of a text (evaluator.cpp)

// The value of the tag being evaluated and what its modifiers may read besides (ModifierCall).
struct TagState {
    std::string value;
    std::string raw;
    std::string name;
    std::string comment;
    bool empty_name = false;

    void Reset() {
        constexpr std::size_t kKeep = 1u << 20;
        for (std::string* s : {&value, &raw, &name, &comment}) {
            if (s->capacity() > kKeep)
                std::string().swap(*s);
            else
                s->clear();
        }
        empty_name = false;
    }
};

struct EngineState {
    int32_t depth = 0;
    int64_t budget = 0;
    bool exhausted = false;
    std::string bound_reason;  // the last bound that changed a result, until taken
    std::vector<std::unique_ptr<TagState>> frames;
    std::string cache_open;
    std::string cache_close;
    std::unordered_map<std::string, std::shared_ptr<const ParsedTemplate>, NameHash, NameEqual> cache;
    std::size_t cache_bytes = 0;
    int32_t last_name_slot = 0;  // slot of "nameoflastrepresenter", once known
    uint64_t last_name_epoch = 0;
    // A name that "nameoflastrepresenter" is still to receive: tags that go straight to the output
    // leave it here, since nothing can read the variable before the next tag or the end of the run.
    const std::string* pending_name = nullptr;
    std::vector<int32_t> simple_slots;  // scratch of the simple expansion
};

}  // namespace rowsmith::tmpl::detail
