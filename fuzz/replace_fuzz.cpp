// ReplaceText with random settings (case, whole words, anchoring, occurrence, quotes, search modes,
// delete before/after, overwrite, keep case, repeat and stop rules) on random texts. Every call must end
// quickly with a result within the size bound.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "text/replace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace rowsmith::text;
    rowsmith::fuzz::FuzzInput in(data, size);
    const uint8_t a = in.Byte();
    const uint8_t b = in.Byte();
    const uint8_t c = in.Byte();
    const uint8_t d = in.Byte();
    const uint8_t e = in.Byte();

    ReplaceT r;
    InitReplace(r);
    r.CaseSensitive = a & 1;
    r.MustEndWord = (a >> 1) & 1;
    r.MustStartWord = (a >> 2) & 1;
    r.SkipQuoted = (a >> 3) & 1;
    r.Overlapping = (a >> 4) & 1;
    r.DeleteBefore = (a >> 5) & 1;
    r.DeleteAfter = (a >> 6) & 1;
    r.Overwrite = (a >> 7) & 1;
    r.KeepCase = b & 1;
    r.StepOne = (b >> 1) & 1;
    r.ResultAsFileName = (b >> 2) & 1;
    r.Repeat = (b >> 3) & 1;
    r.Mode = static_cast<uint8_t>((b >> 4) % 5);
    r.Anchor = c % 3;
    r.Occurrence = static_cast<int8_t>(c) / 3 % 6;
    // 255 keeps the default (no limit); other values give small limits, 0 included.
    if (d != 255) r.MaxReplacements = d % 8;
    r.StopRepeating = e & 1;

    const std::string_view search = in.Text();
    const std::string_view replacement = in.Text();
    const std::string_view text = in.Text();
    const std::string_view quote_open = in.Text();
    const std::string_view quote_close = in.Text();
    const std::string_view set = in.Text();
    if (r.SkipQuoted) {
        r.QuoteOpen = quote_open;
        r.QuoteClose = quote_close;
    }
    if ((e >> 1) & 1) {
        r.AfterSet = CharSet::Of(set);
        r.BeforeSet = CharSet::Of(set);
    }
    r.SearchSet = CharSet::Of(set);
    r.SearchText = search;

    const std::string result = ReplaceText(r, search, replacement, text);
    FUZZ_CHECK(result.size() <= kMaxReplaceResult);
    if (!r.Changed && !r.ResultAsFileName) FUZZ_CHECK(result == text);

    (void)ReplaceEverywhere(search, replacement, text);
    (void)ReplaceEverywhereIgnoreCase(search, replacement, text);
    const std::string name = MakeFileName(text);
    FUZZ_CHECK(!name.empty());
    return 0;
}
