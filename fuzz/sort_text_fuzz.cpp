// Sort texts and the table sort: ParseSortKeys on random texts, then ArrayOfFiles::Sort on a small
// random table. The sort must permute the rows, and sorting a sorted table must change nothing.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "tables/string_table.h"

namespace {

using namespace rowsmith::tables;

std::vector<int32_t> OriginalOrder(const ArrayOfFiles& table) {
    std::vector<int32_t> order;
    for (int32_t row = 1; row <= table.RowCount; ++row) order.push_back(table.Row(row)->OriginalNumber);
    return order;
}

// Keys whose value depends on where a row stands, or on chance, give no fixed order.
bool OrderIsFixed(const std::vector<SortKey>& keys) {
    for (const SortKey& k : keys)
        if (k.Code == kCodeNumber || k.Code == kCodeRandom || k.Code == kCodeAlphabetGroup) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    rowsmith::fuzz::FuzzInput in(data, size);
    const int rows = in.Byte() % 13;
    const uint8_t options = in.Byte();
    const uint8_t synonym_code = in.Byte();
    static constexpr std::string_view kSeparators[] = {"^", "", ",", "^^"};

    ArrayOfFiles table;
    table.NaturalCompare = options & 1;
    table.PathPooling = (options >> 1) & 1;
    table.KeySeparator = kSeparators[(options >> 2) & 3];
    const std::string_view sort_text = in.Text();
    const std::string_view synonym = in.Text();
    if (options & 16) table.AddSynonym(synonym_code % kCodeCount, synonym);

    for (int i = 0; i < rows; ++i) {
        table.AddRow();
        const int cells = in.Byte() % 4;
        for (int k = 0; k < cells; ++k) {
            int code = in.Byte() % kCodeCount;
            // The original number is the final tie-breaker; it stays unique.
            if (code == kCodeOriginalNumber) code = kCodeData;
            table.SetCell(table.RowCount, code, in.Text());
        }
        const uint8_t facts = in.Byte();
        if (facts & 3) {
            FileInfoT& f = table.Row(table.RowCount)->Ext().Facts;
            f.HasDates = facts & 1;
            // Seconds around the Unix epoch, both signs, in nanoseconds.
            f.WriteNs = static_cast<int64_t>(static_cast<int32_t>(in.Word32())) * 1000000000;
            f.CreationNs = f.WriteNs + 1;
            f.AccessNs = -f.WriteNs;
            f.Size = (facts & 2) ? static_cast<int64_t>(in.Word32()) : -2;
        }
    }

    const std::vector<SortKey> keys = ParseSortKeys(table, sort_text);
    FUZZ_CHECK(!keys.empty() && keys.size() <= 51);
    FUZZ_CHECK(keys.back().Code == kCodeOriginalNumber && !keys.back().Descending);
    for (const SortKey& k : keys) FUZZ_CHECK(k.Code >= 0 && k.Code <= kMaxCode);

    table.SortText = sort_text;
    table.Sort();
    FUZZ_CHECK(table.RowCount == rows);
    std::vector<int32_t> order = OriginalOrder(table);
    std::vector<int32_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < rows; ++i) FUZZ_CHECK(sorted[static_cast<std::size_t>(i)] == i + 1);

    if (OrderIsFixed(table.SortKeys)) {
        table.Sort();
        FUZZ_CHECK(OriginalOrder(table) == order);
    }
    return 0;
}
