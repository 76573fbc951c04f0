#include "template/context.h"

#include "files/platform_fs.h"
#include "template/evaluator.h"
#include "text/chars.h"
#include "text/search.h"
#include "text/spans.h"

namespace rowsmith::tmpl {

namespace {

// Lower-cases into a small buffer when the name fits, so that lookups do not allocate.
class LowerName {
  public:
    explicit LowerName(std::string_view name) {
        if (name.size() <= sizeof buf_) {
            for (std::size_t i = 0; i < name.size(); ++i) buf_[i] = text::LowerChar(name[i]);
            view_ = std::string_view(buf_, name.size());
        } else {
            long_ = text::LowerCase(name);
            view_ = long_;
        }
    }
    std::string_view view() const { return view_; }

  private:
    char buf_[64];
    std::string long_;
    std::string_view view_;
};

void RebuildIndex(TemplateContext& c) {
    c.VariableIndex.clear();
    c.ItemSlots.fill(0);
    const int32_t n = std::min<int32_t>(c.VariableCount, static_cast<int32_t>(c.Variables.size()) - 1);
    for (int32_t i = 1; i <= n; ++i) {
        const std::string& name = c.Variables[static_cast<std::size_t>(i)].Name;
        if (name.empty()) continue;
        c.VariableIndex.emplace(name, i);  // the first slot of a name wins, as a linear search would
        for (std::size_t k = 0; k < kItemVariableNames.size(); ++k)
            if (name == kItemVariableNames[k] && c.ItemSlots[k] == 0) c.ItemSlots[k] = i;
    }
    c.AnyItemSlots = false;
    for (const int32_t slot : c.ItemSlots) c.AnyItemSlots = c.AnyItemSlots || slot != 0;
    c.IndexedCount = c.VariableCount;
    ++c.VariableEpoch;
}

void NoteItemSlot(TemplateContext& c, int32_t index) {
    if (!AnyItemSlot(c)) return;
    for (int32_t s : c.ItemSlots)
        if (s == index) {
            ++c.ItemVersion;
            return;
        }
}

}  // namespace

std::string DefaultFolder() {
    std::string f = files::fs::CurrentFolder();
    if (f.empty()) f = "/";
    if (f.back() != '/') f += '/';
    return f;
}

void InitTemplateContext(TemplateContext& context) {
    // The evaluator's state survives: an initialisation may happen while an expansion runs.
    detail::EngineSlot engine = std::move(context.Engine);
    const uint64_t epoch = context.VariableEpoch;
    TraceSink* const trace = context.Trace;  // wiring, like the engine
    context = TemplateContext();
    context.Engine = std::move(engine);
    context.Trace = trace;
    context.VariableEpoch = epoch + 1;
    auto date = std::make_shared<text::DateInfoT>(text::DecodeDateInfo(text::NowDateValue()));
    context.RunDate = date;
    context.NowDate = date;
    SetVariable(context, "found", "");
    SetVariable(context, "crlf", "\r\n");
    SetVariable(context, "cr", "\r");
    SetVariable(context, "lf", "\n");
    // The current line's end; a run sets it per line, and the format's CR LF stands until then.
    SetVariable(context, "eol", "\r\n");
}

int32_t FindVariable(TemplateContext& c, std::string_view name) {
    if (name.empty()) return 0;
    if (c.IndexedCount != c.VariableCount) RebuildIndex(c);
    const LowerName lower(name);
    const auto it = c.VariableIndex.find(lower.view());
    if (it == c.VariableIndex.end()) return 0;
    const int32_t i = it->second;
    // A slot changed behind the store's back makes the index stale: look again.
    if (i < static_cast<int32_t>(c.Variables.size()) &&
        c.Variables[static_cast<std::size_t>(i)].Name == lower.view())
        return i;
    RebuildIndex(c);
    const auto again = c.VariableIndex.find(lower.view());
    return again == c.VariableIndex.end() ? 0 : again->second;
}

void SetVariableAt(TemplateContext& c, int32_t index, std::string_view value) {
    if (index < 1 || index >= static_cast<int32_t>(c.Variables.size())) return;
    TemplateVariable& v = c.Variables[static_cast<std::size_t>(index)];
    CopyInto(v.Value, value);
    v.Comment.clear();
    NoteItemSlot(c, index);
}

void SetVariable(TemplateContext& c, std::string_view full_name, std::string_view value) {
    const std::size_t bar = full_name.find('|');
    const std::string_view name = full_name.substr(0, bar);
    const std::string_view comment =
        bar == std::string_view::npos ? std::string_view() : full_name.substr(bar + 1);
    int32_t index = FindVariable(c, name);
    if (index == 0) {
        if (c.IndexedCount != c.VariableCount) RebuildIndex(c);
        ++c.VariableCount;
        c.Variables.resize(static_cast<std::size_t>(c.VariableCount) + 1);
        index = c.VariableCount;
        TemplateVariable& v = c.Variables[static_cast<std::size_t>(index)];
        v.Name = text::LowerCase(name);
        v.Kind = 0;
        if (!v.Name.empty()) {
            c.VariableIndex.emplace(v.Name, index);
            for (std::size_t k = 0; k < kItemVariableNames.size(); ++k)
                if (v.Name == kItemVariableNames[k]) {
                    c.ItemSlots[k] = index;
                    c.AnyItemSlots = true;
                }
        }
        c.IndexedCount = c.VariableCount;
    }
    TemplateVariable& v = c.Variables[static_cast<std::size_t>(index)];
    v.Comment.assign(comment);
    v.Value.assign(value);
    NoteItemSlot(c, index);
}

std::string GetVariableValue(TemplateContext& c, std::string_view name) {
    const std::string* v = VariableValue(c, name);
    return v ? *v : std::string();
}

const std::string* VariableValue(TemplateContext& c, std::string_view name) {
    const int32_t i = FindVariable(c, name);
    return i ? &c.Variables[static_cast<std::size_t>(i)].Value : nullptr;
}

std::string WrapInDelimiters(const TemplateContext& c, std::string_view text) {
    std::string r;
    r.reserve(c.OpenDelimiter.size() + text.size() + c.CloseDelimiter.size());
    r.append(c.OpenDelimiter).append(text).append(c.CloseDelimiter);
    return r;
}

std::string TranslateDelimiters(const TemplateContext& c, std::string_view text) {
    if (c.OpenDelimiter == "{{" && c.CloseDelimiter == "}}") return std::string(text);
    std::string r = text::ReplaceEverywhere("{{", c.OpenDelimiter, text);
    return text::ReplaceEverywhere("}}", c.CloseDelimiter, r);
}

void ClearRepresenters(TemplateContext& c) {
    c.Representers.assign(1, RepresenterRecT());
    c.RepresenterCount = 0;
}

std::string ProtectTags(TemplateContext& c, std::string_view text) {
    ClearRepresenters(c);
    std::string out;
    int32_t from = 1;
    int32_t length = 0, position = 0;
    // A placeholder holds no delimiter, so the next tag is searched after it.
    while (text::FindEnclosedFrom(c.OpenDelimiter, c.CloseDelimiter, text, 0, from, length, position)) {
        out.append(
            text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(position - from)));
        ++c.RepresenterCount;
        c.Representers.push_back({std::string(
            text.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(length)))});
        out += '\x02';
        out += std::to_string(c.RepresenterCount);
        out += '\x03';
        from = position + length;
    }
    out.append(text.substr(std::min(text.size(), static_cast<std::size_t>(from - 1))));
    return out;
}

std::string RestoreTags(TemplateContext& c, std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('\x02', i);
        if (open == std::string_view::npos) break;
        const std::size_t close = text.find('\x03', open + 1);
        if (close == std::string_view::npos) break;
        const std::string_view digits = text.substr(open + 1, close - open - 1);
        int64_t n = 0;
        bool ok = !digits.empty() && digits.size() <= 9;
        for (char d : digits) {
            if (d < '0' || d > '9') {
                ok = false;
                break;
            }
            n = n * 10 + (d - '0');
        }
        ok = ok && n >= 1 && n <= c.RepresenterCount && n < static_cast<int64_t>(c.Representers.size());
        if (ok) {
            out.append(text.substr(i, open - i));
            out += c.Representers[static_cast<std::size_t>(n)].Text;
            i = close + 1;
        } else {
            // Not one of ours: kept as it stands.
            out.append(text.substr(i, open + 1 - i));
            i = open + 1;
        }
    }
    out.append(text.substr(std::min(i, text.size())));
    if (HasTemplateWork(c)) return ExpandTemplate(out, c, 1);
    return out;
}

bool HasTemplateWork(const TemplateContext& c) {
    return (c.RepresenterCount > 0 || c.TripleSlashShortcuts) && c.ReplacementIsTemplate;
}

// --- text::ReplaceTemplateHooks ---

void TemplateContext::InitForReplace() {
    InitTemplateContext(*this);
}

std::string TemplateContext::ProtectReplacementTags(std::string_view replacement) {
    return ProtectTags(*this, replacement);
}

std::string TemplateContext::RestoreReplacementTags(std::string_view protected_text) {
    return RestoreTags(*this, protected_text);
}

int32_t TemplateContext::FindReplaceVariable(std::string_view name) {
    return FindVariable(*this, name);
}

std::string TemplateContext::ReplaceVariableValue(int32_t index) {
    if (index < 1 || index >= static_cast<int32_t>(Variables.size())) return {};
    return Variables[static_cast<std::size_t>(index)].Value;
}

void TemplateContext::SetReplaceVariable(std::string_view name, std::string_view value) {
    SetVariable(*this, name, value);
}

// --- the program's record ---

TemplateRecordT::TemplateRecordT() {
    InitTemplateRecord(*this);
}

void InitTemplateRecord(TemplateRecordT& record) {
    text::InitReplace(record.Replace, &record.Context);
}

}  // namespace rowsmith::tmpl
