// Encodings and characters: whatever bytes come in, a decoding that succeeds encodes back to the same
// bytes, any split into blocks gives the same result as the whole, and the character routines keep
// text byte for byte (stray bytes included) and valid UTF-8 valid.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "text/encoding.h"
#include "text/unicase.h"
#include "text/utf8.h"

namespace {

using namespace rowsmith::text;

constexpr const char* kNames[] = {"utf-8", "utf-16le", "utf-16be", "utf-32le", "utf-32be",
                                  "windows-1252", "koi8-r", "shift_jis"};

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    rowsmith::fuzz::FuzzInput in(data, size);
    const uint8_t which = in.Byte();
    const uint8_t split = in.Byte();
    const std::string_view text = in.Text();

    Encoding e;
    std::string error;
    Check(ParseEncodingName(kNames[which % std::size(kNames)], e, error));
    std::string whole;
    if (DecodeText(text, e, whole, error)) {
        Check(IsValidUtf8(whole));
        std::string back;
        Check(EncodeText(whole, e, back, error));
        Check(back == text);
        // The same in two blocks, split anywhere.
        Decoder d;
        Check(d.Open(e, error));
        const std::size_t at = text.empty() ? 0 : split % (text.size() + 1);
        std::string pieces;
        Check(d.Feed(text.substr(0, at), false, pieces, error));
        Check(d.Feed(text.substr(at), true, pieces, error));
        Check(pieces == whole);
    }
    // Detection never fails and names something a decoder can open.
    const Encoding guess = DetectEncoding(text, true);
    Decoder probe;
    Check(probe.Open(guess, error));

    // Characters: code points there and back keep every byte; case keeps valid text valid.
    Check(FromCodePoints(ToCodePoints(text)) == text);
    Check(CountChars(text) <= text.size());
    if (IsValidUtf8(text)) {
        Check(IsValidUtf8(UnicodeUpper(text)));
        Check(IsValidUtf8(UnicodeLower(text)));
        Check(IsValidUtf8(UnicodeTitleFirst(text)));
        Check(IsValidUtf8(CharSubstr(text, split % 7, split % 5)));
    }
    return 0;
}
