#include "template/engine_state.h"

namespace rowsmith::tmpl::detail {

void EngineStateDeleter::operator()(EngineState* state) const {
    delete state;
}

EngineState& EngineSlot::Get() const {
    // Made on first use, so that a copied context (which starts with an empty slot) costs nothing.
    if (!state_) state_.reset(new EngineState());
    return *state_;
}

}  // namespace rowsmith::tmpl::detail
