// Key/value lines: settings-style text fed to ArrayOfFiles::AddKeyValueLine in several calls, then
// every row written back as a line (code 95).

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "tables/string_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    rowsmith::fuzz::FuzzInput in(data, size);
    const uint8_t options = in.Byte();
    rowsmith::tables::ArrayOfFiles table;
    table.KeyValueDataMode = options & 1;
    int64_t lines = 0;
    while (!in.AtEnd()) {
        const std::string_view text = in.Text();
        for (std::size_t p = text.find("\r\n"); p != std::string_view::npos; p = text.find("\r\n", p + 2))
            ++lines;
        ++lines;
        table.AddKeyValueLine(text);
    }
    // Each line adds at most one row; the first key line may add the implied "[Options]" header too.
    FUZZ_CHECK(table.RowCount <= lines + 1);
    std::size_t total = 0;
    for (int32_t row = 1; row <= table.RowCount; ++row)
        total += table.GetCell(row, rowsmith::tables::kCodeKeyValueLine).size();
    // Written-back lines hold the parsed texts plus a few quotes, separators and comment markers.
    FUZZ_CHECK(total <= 2 * size + 16 * static_cast<std::size_t>(table.RowCount) + 16);
    return 0;
}
