// The sort text parser and the table sort: keys over column synonyms ("-filesize^alphabetical"),
// compared by the kind of their code, and a heapsort on a ternary heap over the 1-based rows.

#include <cmath>

#include "tables/string_table.h"
#include "text/chars.h"
#include "text/compare.h"
#include "text/dates.h"
#include "text/numbers.h"

namespace rowsmith::tables {

namespace {

constexpr std::size_t kMaxSortKeys = 50;

bool IsDateCode(int c) { return c == kCodeDate || c == kCodeDateAccessed || c == kCodeDateCreated; }
bool IsTimeCode(int c) { return c == kCodeTime || c == kCodeTimeAccessed || c == kCodeTimeCreated; }
bool IsIntegerCode(int c) {
    switch (c) {
        case kCodeRowNumberField:
        case kCodeRandom:
        case kCodeZodiac:
        case kCodeLengthName:
        case kCodeLengthExt:
        case kCodeLengthSeparator:
        case kCodeLengthFilename:
        case kCodeWeekday:
        case kCodeSize:
        case kCodePoolIndex:
        case kCodeOriginalNumber: return true;
        default: return false;
    }
}

bool HasCapital(std::string_view w) {
    for (char c : w)
        if (text::UpperLetters().Has(c)) return true;
    return false;
}

// A row's value under one key, computed once before sorting.
struct KeyValue {
    double number = 0;
    std::string text;
};

}  // namespace

std::vector<SortKey> ParseSortKeys(const ArrayOfFiles& table, std::string_view sort_text) {
    std::vector<SortKey> keys;
    std::size_t pos = 0;
    const std::string& sep = table.KeySeparator;
    while (pos < sort_text.size() && keys.size() < kMaxSortKeys) {
        SortKey key;
        if (sort_text[pos] == '-') {
            key.Descending = true;
            ++pos;
        }
        std::string_view word;
        if (sep.empty()) {
            word = sort_text.substr(pos, 1);
            pos += 1;
        } else {
            const std::size_t next = sort_text.find(sep, pos);
            const std::size_t end = next == std::string_view::npos ? sort_text.size() : next;
            word = sort_text.substr(pos, end - pos);
            pos = next == std::string_view::npos ? sort_text.size() : next + sep.size();
        }
        if (word.empty()) continue;
        key.CaseSensitive = HasCapital(word);
        const std::size_t bar = word.find('|');
        int code = -1;
        if (bar != std::string_view::npos) {
            key.IsCellKey = true;
            key.Expression = word.substr(bar + 1);
            const std::string_view column = word.substr(0, bar);
            code = table.CodeOfSynonym("cell:" + std::string(column));
            // The column may also be named by its own synonym or name.
            if (code < 0) code = table.CodeOfSynonym(column);
            if (code < 0) code = table.CodeOfName(column);
        } else {
            code = table.CodeOfSynonym(word);
        }
        key.Code = code < 0 ? kCodeOriginalNumber : code;
        keys.push_back(std::move(key));
    }
    SortKey last;
    last.Code = kCodeOriginalNumber;
    keys.push_back(last);
    return keys;
}

void ArrayOfFiles::ParseSortText() { SortKeys = ParseSortKeys(*this, SortText); }

void ArrayOfFiles::Sort() {
    ParseSortText();
    const int32_t n = RowCount;
    if (n < 2) return;

    // Every key of every row is computed once; the heap then compares prepared values.
    const std::size_t nk = SortKeys.size();
    std::vector<KeyValue> values(static_cast<std::size_t>(n + 1) * nk);
    for (int32_t row = 1; row <= n; ++row) {
        const DataRecT& r = Rows[static_cast<std::size_t>(row)];
        for (std::size_t k = 0; k < nk; ++k) {
            const SortKey& key = SortKeys[k];
            KeyValue& v = values[static_cast<std::size_t>(row) * nk + k];
            const FileInfoT* facts = r.Extra ? &r.Extra->Facts : nullptr;
            if (IsDateCode(key.Code) || IsTimeCode(key.Code)) {
                int64_t ns = 0;
                if (facts && facts->HasDates)
                    ns = key.Code == kCodeDate || key.Code == kCodeTime
                             ? facts->WriteNs
                             : (key.Code == kCodeDateAccessed || key.Code == kCodeTimeAccessed ? facts->AccessNs
                                                                                                : facts->CreationNs);
                const double value = facts && facts->HasDates ? text::DateValueFromUnix(ns) : 0;
                const double whole = std::floor(value);
                v.number = IsDateCode(key.Code) ? whole : value - whole;
            } else if (IsIntegerCode(key.Code)) {
                if (key.Code == kCodeOriginalNumber)
                    v.number = r.OriginalNumber;
                else if (key.Code == kCodeRowNumberField)
                    v.number = r.Number;
                else if (key.Code == kCodeSize)
                    v.number = facts && facts->Size >= 0 ? static_cast<double>(facts->Size) : 0;
                else
                    v.number = static_cast<double>(CellAsInteger64(GetCell(row, key.Code)));
            } else if (key.IsCellKey && TemplateContext) {
                std::string t = "{{|:" + GetCell(row, key.Code) + "|" + key.Expression + "}}";
                v.text = TemplateContext->ExpandTemplateText(t);
                if (!key.CaseSensitive) text::LowerCaseInPlace(v.text);
            } else {
                v.text = key.Code == kCodeData ? std::string(LineView(row)) : GetCell(row, key.Code);
                if (!key.CaseSensitive) text::LowerCaseInPlace(v.text);
            }
        }
    }
    auto is_text = [&](std::size_t k) {
        const int c = SortKeys[k].Code;
        return !(IsDateCode(c) || IsTimeCode(c) || IsIntegerCode(c));
    };
    std::vector<uint8_t> text_key(nk);
    for (std::size_t k = 0; k < nk; ++k) text_key[k] = is_text(k) ? 1 : 0;

    // perm[i] = the original row now standing at position i.
    std::vector<int32_t> perm(static_cast<std::size_t>(n + 1));
    for (int32_t i = 0; i <= n; ++i) perm[static_cast<std::size_t>(i)] = i;
    auto less = [&](int32_t ra, int32_t rb) {
        const KeyValue* a = &values[static_cast<std::size_t>(ra) * nk];
        const KeyValue* b = &values[static_cast<std::size_t>(rb) * nk];
        for (std::size_t k = 0; k < nk; ++k) {
            int c;
            if (text_key[k]) {
                if (NaturalCompare) {
                    const int r = text::CompareNatural(a[k].text, b[k].text);
                    c = r == 1 ? -1 : (r == 2 ? 1 : 0);
                } else {
                    const int r = a[k].text.compare(b[k].text);
                    c = r < 0 ? -1 : (r > 0 ? 1 : 0);
                }
            } else {
                c = a[k].number < b[k].number ? -1 : (a[k].number > b[k].number ? 1 : 0);
            }
            if (c != 0) return SortKeys[k].Descending ? c > 0 : c < 0;
        }
        return false;
    };

    text::ApplyGaugeSettings(SortProgress, text::GaugeUse::Sorting);
    const int64_t total_steps = static_cast<int64_t>(n) * 2;
    int64_t steps = 0;
    auto progress = [&] {
        ++steps;
        SortProgress.Update("Sorting...", "", static_cast<int32_t>(steps * 100 / std::max<int64_t>(1, total_steps)));
    };

    // Ternary heap over positions 1..size: children of i are 3i-1, 3i, 3i+1; the parent of i is (i+1) div 3.
    auto sift_down = [&](int32_t i, int32_t size) {
        for (;;) {
            int32_t largest = i;
            for (int64_t c = 3LL * i - 1; c <= 3LL * i + 1; ++c)
                if (c >= 1 && c <= size && c != i &&
                    less(perm[static_cast<std::size_t>(largest)], perm[static_cast<std::size_t>(c)]))
                    largest = static_cast<int32_t>(c);
            if (largest == i) return;
            std::swap(perm[static_cast<std::size_t>(i)], perm[static_cast<std::size_t>(largest)]);
            i = largest;
        }
    };
    for (int32_t i = (n + 1) / 3; i >= 1; --i) {
        sift_down(i, n);
        progress();
    }
    for (int32_t end = n; end > 1; --end) {
        std::swap(perm[1], perm[static_cast<std::size_t>(end)]);
        sift_down(1, end - 1);
        progress();
    }
    SortProgress.Finish();

    std::vector<DataRecT> sorted;
    sorted.reserve(Rows.capacity());
    sorted.emplace_back();
    for (int32_t i = 1; i <= n; ++i) sorted.push_back(std::move(Rows[static_cast<std::size_t>(perm[static_cast<std::size_t>(i)])]));
    Rows.swap(sorted);
}

}  // namespace rowsmith::tables
