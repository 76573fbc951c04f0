#include "template/trace.h"

#include <algorithm>

namespace rowsmith::tmpl {

namespace {

// How many bytes of a cut text to show: max_len, moved back so that a UTF-8 character is not split
// (a terminal would show a replacement mark for the broken rest).
std::size_t CutPoint(std::string_view text, std::size_t max_len) {
    std::size_t cut = std::min(max_len, text.size());
    for (int back = 0; back < 3 && cut > 0 && cut < text.size(); ++back) {
        const unsigned char next = static_cast<unsigned char>(text[cut]);
        if ((next & 0xC0) != 0x80) break;
        --cut;
    }
    return cut;
}

// full_size is the length the text had before the collector kept only its start.
std::string Visible(std::string_view text, std::size_t max_len, std::size_t full_size) {
    full_size = std::max(full_size, text.size());
    const bool cut = full_size > max_len;
    const std::string_view shown = cut ? text.substr(0, CutPoint(text, max_len)) : text;
    std::string out;
    out.reserve(shown.size() + 24);
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char ch : shown) {
        const unsigned char b = static_cast<unsigned char>(ch);
        if (b == '\r') {
            out += "\\r";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\t') {
            out += "\\t";
        } else if (b < 32) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += ch;
        }
    }
    if (cut) {
        out += "... (";
        out += std::to_string(full_size);
        out += " bytes)";
    }
    return out;
}

void Quoted(std::string& out, const std::string& text, std::size_t full_size) {
    out += '"';
    out += Visible(text, 200, full_size);
    out += '"';
}

const char* NameLabel(TraceSink::NameKind kind) {
    switch (kind) {
        case TraceSink::NameKind::Variable:
            return "";
        case TraceSink::NameKind::Builtin:
            return " (built-in)";
        case TraceSink::NameKind::Literal:
            return "(quoted)";
        case TraceSink::NameKind::Empty:
            return "(empty name)";
        case TraceSink::NameKind::Undefined:
            return " (undefined)";
        case TraceSink::NameKind::Comment:
            return "(comment or option, yields nothing)";
    }
    return "";
}

}  // namespace

void CollectingTrace::Clear() {
    Steps.clear();
    Dropped = 0;
}

TraceStep* CollectingTrace::Add() {
    if (Steps.size() >= MaxSteps) {
        ++Dropped;
        return nullptr;
    }
    return &Steps.emplace_back();
}

void CollectingTrace::Keep(std::string& into, std::size_t& size, std::string_view text) const {
    size = text.size();
    into.assign(text.substr(0, std::min(text.size(), MaxTextBytes)));
}

void CollectingTrace::TraceTag(int32_t depth, std::string_view tag) {
    TraceStep* s = Add();
    if (!s) return;
    s->kind = TraceStep::Kind::Tag;
    s->depth = depth;
    Keep(s->word, s->word_size, tag);
}

void CollectingTrace::TraceName(int32_t depth, NameKind kind, std::string_view name, std::string_view value) {
    TraceStep* s = Add();
    if (!s) return;
    s->kind = TraceStep::Kind::Name;
    s->depth = depth;
    s->name_kind = kind;
    Keep(s->word, s->word_size, name);
    Keep(s->value, s->value_size, value);
}

void CollectingTrace::TraceModifier(int32_t depth, std::string_view word, std::string_view arguments,
                                    std::string_view value) {
    TraceStep* s = Add();
    if (!s) return;
    s->kind = TraceStep::Kind::Modifier;
    s->depth = depth;
    Keep(s->word, s->word_size, word);
    Keep(s->arguments, s->arguments_size, arguments);
    Keep(s->value, s->value_size, value);
}

std::string VisibleText(std::string_view text, std::size_t max_len) {
    return Visible(text, max_len, text.size());
}

// The format follows how a tag is written, so each line can be matched to a piece of the tag:
//   {{line|trim|caseupper}}      the tag as written
//     line = "  ab "             the value the name gives
//     |trim = "ab"               the value after each modifier, written as in the tag
//     |caseupper = "AB"
// A tag's steps sit two spaces under the tag, and a tag evaluated inside another (a name, an
// argument, a value holding tags) two spaces deeper, before the step that needed it. Values are
// quoted so that spaces and empty values show, and escaped so that every step stays on one line.
std::string FormatTrace(const std::vector<TraceStep>& steps) {
    std::string out;
    for (const TraceStep& s : steps) {
        const std::size_t depth = static_cast<std::size_t>(std::max(s.depth, 1));
        switch (s.kind) {
            case TraceStep::Kind::Tag:
                out.append(2 * (depth - 1), ' ');
                out += Visible(s.word, 200, s.word_size);
                break;
            case TraceStep::Kind::Name: {
                out.append(2 * depth, ' ');
                const bool named = s.name_kind == TraceSink::NameKind::Variable ||
                                   s.name_kind == TraceSink::NameKind::Builtin ||
                                   s.name_kind == TraceSink::NameKind::Undefined;
                if (named) out += Visible(s.word, 200, s.word_size);
                out += NameLabel(s.name_kind);
                if (s.name_kind != TraceSink::NameKind::Comment) {
                    out += " = ";
                    Quoted(out, s.value, s.value_size);
                }
                break;
            }
            case TraceStep::Kind::Modifier:
                out.append(2 * depth, ' ');
                out += '|';
                out += Visible(s.word, 200, s.word_size);
                if (!s.arguments.empty()) {
                    out += ':';
                    out += Visible(s.arguments, 200, s.arguments_size);
                }
                out += " = ";
                Quoted(out, s.value, s.value_size);
                break;
        }
        out += '\n';
    }
    return out;
}

std::string FormatTrace(const CollectingTrace& trace) {
    std::string out = FormatTrace(trace.Steps);
    if (trace.Dropped > 0) {
        out += "... ";
        out += std::to_string(trace.Dropped);
        out += trace.Dropped == 1 ? " more step\n" : " more steps\n";
    }
    return out;
}

}  // namespace rowsmith::tmpl
