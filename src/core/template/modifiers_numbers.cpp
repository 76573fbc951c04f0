// Modifiers for numbers and counters: arithmetic on the value, rounding and number tests, padding,
// counters kept in variables, and counting over the rows of the context's string table.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tables/string_table.h"
#include "template/conditions.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/form_gauge.h"
#include "text/lists.h"
#include "text/numbers.h"
#include "text/split.h"
#include "text/strings.h"
#include "text/utf8.h"

namespace rowsmith::tmpl {

namespace {

double ValueNumber(const std::string& value) {
    return text::ReadNumber(value, 0);
}

// Truncation toward zero that saturates at the 64-bit range; NaN gives 0.
int64_t SaturatingTrunc(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (x <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(std::trunc(x));
}

// The nearest integer, halves to the even neighbour.
int64_t RoundHalfEven(double x) {
    if (std::isnan(x)) return 0;
    const double floor = std::floor(x);
    const double fraction = x - floor;
    double r = floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0)) r = floor + 1;
    return SaturatingTrunc(r);
}

// text::ReadInt of the texts counters hold (decimal digits, perhaps after a "-"), read directly;
// anything else takes the general reading, which goes through a floating-point conversion.
int32_t ReadCounterInt(std::string_view s) {
    const std::size_t first = (!s.empty() && s[0] == '-') ? 1 : 0;
    const std::size_t digits = s.size() - first;
    if (digits == 0 || digits > 15) return text::ReadInt(s);
    int64_t v = 0;
    for (std::size_t i = first; i < s.size(); ++i) {
        const unsigned d = static_cast<unsigned char>(s[i]) - static_cast<unsigned>('0');
        if (d > 9) return text::ReadInt(s);
        v = v * 10 + d;
    }
    if (first) v = -v;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return 0;
    return static_cast<int32_t>(v);
}

// text::LeadingZeros(n, width, "0") written into out without intermediate texts.
void AssignLeadingZeros(std::string& out, int64_t n, int64_t width) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, n);
    const std::size_t sign = n < 0 ? 1 : 0;
    const std::size_t digits = static_cast<std::size_t>(res.ptr - buf) - sign;
    const int64_t room = width - static_cast<int64_t>(sign);
    const std::size_t zeros = room > static_cast<int64_t>(digits) ? static_cast<std::size_t>(room) - digits : 0;
    out.assign(sign + zeros, '0');
    if (sign) out[0] = '-';
    out.append(buf + sign, digits);
}

// --- Counters in variables ---

// "dec" adds as well: a negative step counts down.
void Increment(ModifierCall& c) {
    if (!c.Present(1)) return;
    // Counters run once a line: names and steps as written are read in place.
    std::string name_store;
    std::string_view name;
    if (!c.LiteralText(1, name)) name = name_store = c.Text(1);
    if (name.empty() || name.front() == '|') return;
    int32_t slot = 0;
    const std::string current = c.ExpandNameTag(name, &slot);
    std::string_view step_text;
    std::string step_store;
    if (!c.Present(2)) {
        step_text = "1";  // the default holds no tag
    } else if (!c.LiteralText(2, step_text)) {
        step_text = step_store = c.Text(2);
        slot = 0;  // the step's expansion may have changed the variables
    }
    const int64_t sum = int64_t{ReadCounterInt(current)} + ReadCounterInt(step_text);
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, sum).ptr;
    c.SetNamedVariable(name, std::string_view(buf, static_cast<std::size_t>(end - buf)), slot);
}

// --- Arithmetic ---

enum class Op { Add, Subtract, Multiply, Divide };

template <Op O>
void Arithmetic(ModifierCall& c) {
    const int32_t operand = c.Integer(1);
    std::string& value = c.Value();
    const double x = ValueNumber(value);
    double r = 0;
    switch (O) {
        case Op::Add:
            r = x + operand;
            break;
        case Op::Subtract:
            r = x - operand;
            break;
        case Op::Multiply:
            r = x * operand;
            break;
        case Op::Divide:
            if (operand == 0) return;  // cannot complete: the value stays
            r = x / operand;
            break;
    }
    value = text::ShortFloatText(r);
}

void Div(ModifierCall& c) {
    const int64_t divisor = c.Integer(1);
    if (divisor == 0) return;
    std::string& value = c.Value();
    value = text::IntText(int64_t{text::ReadInt(value)} / divisor);
}

void Mod(ModifierCall& c) {
    const int64_t divisor = c.Integer(1);
    if (divisor == 0) return;
    std::string& value = c.Value();
    value = text::IntText(int64_t{text::ReadInt(value)} % divisor);
}

// --- Rounding ---

void Trunc(ModifierCall& c) {
    c.Value() = text::IntText(SaturatingTrunc(ValueNumber(c.Value())));
}
void Round(ModifierCall& c) {
    c.Value() = text::IntText(RoundHalfEven(ValueNumber(c.Value())));
}

template <int64_t (*F)(double)>
void ParityRounding(ModifierCall& c) {
    c.Value() = text::IntText(F(ValueNumber(c.Value())));
}

// --- Tests, lengths and formatting ---

void IsNumber(ModifierCall& c) {
    c.Value() = text::IsANumber(c.Value()) ? " " : "";
}

void LeadingZero(ModifierCall& c) {
    const int64_t width = c.Integer(1);
    std::string& value = c.Value();
    // A padded result wider than the bound yields nothing, as every large result does.
    if (!FitsWidthBound(c.Context(), width)) {
        value.clear();
        return;
    }
    AssignLeadingZeros(value, ReadCounterInt(value), width);
}

void LengthOfText(ModifierCall& c) {
    c.Value() = text::IntText(static_cast<int64_t>(text::CountChars(c.Value())));
}

void NumberBlock(ModifierCall& c) {
    std::string& value = c.Value();
    value = text::IntText(text::NumbersBlock(text::ReadInt(value), c.Integer(1)));
}

void PerfectSeries(ModifierCall& c) {
    const std::string separator = c.TextOr(1, ",");
    std::string& value = c.Value();
    if (separator.empty()) return;
    std::string tidy = text::ReplaceAll(value, separator + separator, separator, false);
    tidy = text::StripLeading(separator, tidy);
    value = text::StripTrailing(separator, tidy);
}

// --- Counting over the table ---

// Calls f(row) for every included row with CurrentRow set to it; CurrentRow is restored afterwards.
// The table may change under the expansions, so its size is read anew for every row.
template <typename F>
void ForEachIncludedRow(TemplateContext& context, tables::ArrayOfFiles& table, F&& f) {
    const int32_t saved = context.CurrentRow;
    for (int32_t row = 1; row <= table.RowCount; ++row) {
        const tables::DataRecT* r = table.Row(row);
        if (r == nullptr || r->Included == 0) continue;
        context.CurrentRow = row;
        f(row);
    }
    context.CurrentRow = saved;
}

void CountValue(ModifierCall& c) {
    TemplateContext& context = c.Context();
    std::string& value = c.Value();
    if (context.Table == nullptr) {
        value += "0";
        return;
    }
    const std::string condition = c.FetchRaw(1).Text;
    int64_t count = 0;
    ForEachIncludedRow(context, *context.Table, [&](int32_t) {
        if (EvaluateCondition(condition, context, c.EvaluateNested())) ++count;
    });
    value = text::IntText(count);
}

// The different texts an expression yields over the table, each as first met, with how often.
struct DifferingValuesT {
    std::vector<std::string> Entries;
    std::vector<int64_t> Counts;
    std::size_t Bytes = 0;  // of the entries together
};

void CountEntry(DifferingValuesT& list, std::unordered_map<std::string, std::size_t>& index,
                std::string_view entry) {
    std::string key = text::LowerCase(entry);
    if (const auto it = index.find(key); it != index.end()) {
        ++list.Counts[it->second];
        return;
    }
    if (list.Entries.size() == list.Entries.capacity()) list.Entries.reserve(list.Entries.size() + 20);
    index.emplace(std::move(key), list.Entries.size());
    list.Entries.emplace_back(entry);
    list.Counts.push_back(1);
    list.Bytes += entry.size();
}

// Byte 5 splits when the value holds it, else the value of the option "additionalsplit"; "" is none.
std::string DifferingSeparator(const ModifierCall& c, std::string_view value) {
    if (value.find(text::kItemSeparator) != std::string_view::npos)
        return std::string(1, text::kItemSeparator);
    return c.GetOptionValue("additionalsplit");
}

DifferingValuesT CollectDifferingValues(ModifierCall& c, std::string_view expression,
                                        const std::string* condition, std::string_view separator) {
    TemplateContext& context = c.Context();
    tables::ArrayOfFiles& table = *context.Table;
    DifferingValuesT list;
    std::unordered_map<std::string, std::size_t> index;
    // A record of its own, shown through the views the table's records use (none: nothing is shown).
    text::TFormGauge gauge;
    gauge.views = table.SortProgress.views;
    gauge.clock = table.SortProgress.clock;
    ForEachIncludedRow(context, table, [&](int32_t row) {
        gauge.UpdateFraction("Creating list of differing items...", "", row, table.RowCount);
        if (condition && !EvaluateCondition(*condition, context, c.EvaluateNested())) return;
        const std::string result = ExpandIfTags(expression, context, c.EvaluateNested());
        if (text::EqualsIgnoreCase(result, "<excluded>")) return;
        if (separator.empty()) {
            CountEntry(list, index, result);
            return;
        }
        std::size_t from = 0;
        while (true) {
            const std::size_t at = result.find(separator, from);
            const std::size_t end = at == std::string::npos ? result.size() : at;
            CountEntry(list, index, std::string_view(result).substr(from, end - from));
            if (at == std::string::npos) break;
            from = at + separator.size();
        }
    });
    gauge.Finish();
    return list;
}

void CountDifferentValue(ModifierCall& c) {
    TemplateContext& context = c.Context();
    std::string& value = c.Value();
    if (context.Table == nullptr) {
        value += "0";
        return;
    }
    const std::string expression = c.FetchRaw(1).Text;
    const std::string condition = c.FetchRaw(2).Text;
    const DifferingValuesT list = CollectDifferingValues(c, expression, c.Present(2) ? &condition : nullptr,
                                                         DifferingSeparator(c, value));
    c.Value() += text::IntText(static_cast<int64_t>(list.Entries.size()));
}

void GetDifferingColumnItems(ModifierCall& c) {
    TemplateContext& context = c.Context();
    const std::string expression = c.Value().empty() ? c.FetchRaw(1).Text : c.Value();
    if (context.Table == nullptr) {
        c.Value().clear();
        return;
    }
    const DifferingValuesT list =
        CollectDifferingValues(c, expression, nullptr, DifferingSeparator(c, c.Value()));
    std::string& value = c.Value();
    value.clear();
    if (!FitsTextBound(context, list.Bytes + list.Entries.size())) return;
    for (std::size_t i = 0; i < list.Entries.size(); ++i) {
        if (i > 0) value += '|';
        value += list.Entries[i];
    }
}

}  // namespace

void RegisterNumberModifiers(ModifierRegistry& r) {
    r.AddExact("inc", Increment, "adds the step (argument 2, default 1) to the variable named by argument 1");
    r.AddExact("dec", Increment, "adds like inc (a negative step counts down)");
    r.AddExact("+", Arithmetic<Op::Add>, "the value as a number plus the integer of argument 1");
    r.AddExact("-", Arithmetic<Op::Subtract>, "the value as a number minus the integer of argument 1");
    r.AddExact("*", Arithmetic<Op::Multiply>, "the value as a number times the integer of argument 1");
    r.AddExact("/", Arithmetic<Op::Divide>,
               "the value as a number divided by the integer of argument 1 (0 leaves the value)");
    r.AddExact("div", Div, "the value as an integer divided by argument 1, truncated (0 leaves the value)");
    r.AddExact("mod", Mod, "the remainder of div, with the sign of the value (0 leaves the value)");
    r.AddExact("trunc", Trunc, "the value as a number truncated toward zero");
    r.AddExact("round", Round, "the value rounded to the nearest integer, halves to even");
    r.AddExact("roundupeven", ParityRounding<text::RoundUpEven>, "up to the next even whole number");
    r.AddExact("roundupodd", ParityRounding<text::RoundUpOdd>, "up to the next odd whole number");
    r.AddExact("rounddowneven", ParityRounding<text::RoundDownEven>, "down to the next even whole number");
    r.AddExact("rounddownodd", ParityRounding<text::RoundDownOdd>, "down to the next odd whole number");
    r.AddExact("isnumber", IsNumber, "\" \" when the value is a number (digits, a leading \"-\", one \".\")");
    r.AddExact("isanumber", IsNumber, "same as isnumber");
    r.AddPrefix("leadingzero", LeadingZero,
                "the value as an integer padded with \"0\" to the width of argument 1");
    r.AddExact("lz", LeadingZero, "same as leadingzero");
    r.MarkPure("leadingzero");  // reads argument 1 and the size bound only
    r.MarkPure("lz");
    r.AddExact("lengthoftext", LengthOfText, "the number of characters of the value");
    r.AddExact("numberblock", NumberBlock, "the value as an integer rounded up to its block of argument 1");
    r.AddExact("numbersblock", NumberBlock, "same as numberblock");
    r.AddExact(
        "perfectseries", PerfectSeries,
        "tidies a list: doubled separators (argument 1, default \",\") become one, one at each end goes");
    r.AddPrefix("countvalue", CountValue, "the number of included table rows for which the condition holds");
    r.AddPrefix("countdifferentvalue", CountDifferentValue,
                "appends the number of different texts of expression argument 1 over the included rows where "
                "condition argument 2 holds");
    r.AddPrefix("countdifferingvalue", CountDifferentValue, "same as countdifferentvalue");
    r.AddPrefix("getdifferingcolumnitems", GetDifferingColumnItems,
                "the different texts the expression (the value, or argument 1) yields over the table, joined "
                "by \"|\"");
}

}  // namespace rowsmith::tmpl
