// The one place that fills the standard modifier registry, family by family, in the fixed test
// order. The first row that accepts a word applies it, so the order of prefix rows matters:
// - conditions come before every family with a word that a conditional action begins with
//   ("replaceif..." before any "replace" prefix, "appendif..." after the exact "append" is harmless);
// - inside a family a longer prefix goes before a shorter one it begins with: "getextorname" before
//   "getext", "posexist" before "pos" (were "pos" a prefix), "leadingzero" before "leading",
//   "itemexist" before "item", "insertbeforeextension..." before "insert...";
// - the digit-interval pattern (core) accepts only words of digits and "-" holding a digit, so the
//   arithmetic word "-" of the number family stays free.

#include "template/registry.h"

namespace rowsmith::tmpl {

void RegisterAllModifiers(ModifierRegistry& registry) {
    RegisterCoreModifiers(registry);
    // Conditions and definitions ("replaceif...", "is", "def", "toggle", ...):
    RegisterConditionModifiers(registry);
    // Case, letters and words ("caseupper", "trim", "reverse"..., "multipl"..., ...):
    RegisterCaseModifiers(registry);
    // Cutting, copying, inserting and replacing ("prepend", "replace", "copyfrom", "item", ...):
    RegisterCuttingModifiers(registry);
    // Numbers and counters ("inc", "+", "-", "round", "leadingzero"..., ...):
    RegisterNumberModifiers(registry);
    // Paths, web addresses and HTML ("onlyfilename", "getextorname"..., "addhttp", "split", ...):
    RegisterPathModifiers(registry);
}

const ModifierRegistry& StandardModifiers() {
    static const ModifierRegistry registry = [] {
        ModifierRegistry r;
        RegisterAllModifiers(r);
        return r;
    }();
    return registry;
}

}  // namespace rowsmith::tmpl
