#include "text/encoding.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <string>
#include <vector>

namespace rowsmith::text {
namespace {

using namespace std::string_literals;

Encoding Utf(EncodingKind kind, bool bom = false) {
    return {kind, bom, {}};
}
Encoding Legacy(const char* name) {
    return {EncodingKind::Legacy, false, name};
}

// ICU's own whole-buffer conversion is the reference: byte order or table mistakes in the hand-written
// paths would survive a round trip but not this comparison.
std::string IcuConvert(const char* to, const char* from, const std::string& in) {
    std::string out(in.size() * 4 + 16, '\0');
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()), in.data(),
                                   static_cast<int32_t>(in.size()), &err);
    EXPECT_TRUE(U_SUCCESS(err)) << to << " " << u_errorName(err);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// Feeds `in` in the given pieces; returns false with the error of the first failing piece.
template <class Coder>
bool FeedPieces(Coder& coder, const std::string& in, const std::vector<std::size_t>& cuts, std::string& out,
                std::string& error) {
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const std::size_t to = i < cuts.size() ? cuts[i] : in.size();
        if (!coder.Feed(std::string_view(in).substr(from, to - from), i == cuts.size(), out, error))
            return false;
        from = to;
    }
    return true;
}

// Every way to cut the input once, and byte by byte.
std::vector<std::vector<std::size_t>> Splits(std::size_t n) {
    std::vector<std::vector<std::size_t>> all;
    for (std::size_t i = 0; i <= n; ++i) all.push_back({i});
    std::vector<std::size_t> each;
    for (std::size_t i = 1; i < n; ++i) each.push_back(i);
    all.push_back(each);
    return all;
}

TEST(DetectEncoding, Table) {
    struct Case {
        const char* what;
        std::string head;
        bool whole;
        const char* legacy;
        Encoding expected;
    } cases[] = {
        {"empty", "", true, "windows-1252", Utf(EncodingKind::Utf8)},
        {"ascii", "plain text\n", true, "windows-1252", Utf(EncodingKind::Utf8)},
        {"utf-8", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", true, "windows-1252", Utf(EncodingKind::Utf8)},
        {"utf-8 mark", "\xEF\xBB\xBFx", true, "windows-1252", Utf(EncodingKind::Utf8, true)},
        {"utf-32le mark", "\xFF\xFE\0\0x\0\0\0"s, true, "windows-1252", Utf(EncodingKind::Utf32LE, true)},
        {"utf-32be mark", "\0\0\xFE\xFF\0\0\0x"s, true, "windows-1252", Utf(EncodingKind::Utf32BE, true)},
        {"utf-16le mark", "\xFF\xFEx\0"s, true, "windows-1252", Utf(EncodingKind::Utf16LE, true)},
        {"utf-16be mark", "\xFE\xFF\0x"s, true, "windows-1252", Utf(EncodingKind::Utf16BE, true)},
        {"mark alone", "\xFF\xFE", true, "windows-1252", Utf(EncodingKind::Utf16LE, true)},
        {"nul", "ab\0cd"s, true, "windows-1252", Utf(EncodingKind::Bytes)},
        {"invalid utf-8", "caf\xE9", true, "windows-1252", Legacy("windows-1252")},
        {"cut 2-byte, more follows", "caf\xC3", false, "windows-1252", Utf(EncodingKind::Utf8)},
        {"cut 2-byte at file end", "caf\xC3", true, "windows-1252", Legacy("windows-1252")},
        {"cut 4-byte, more follows", "x\xF0\x9F\x98", false, "windows-1252", Utf(EncodingKind::Utf8)},
        {"overlong start is no cut", "x\xE0\x80", false, "windows-1252", Legacy("windows-1252")},
        {"invalid before the end", "\xC3\xA9\xFF\xC3", false, "windows-1252", Legacy("windows-1252")},
        {"legacy alias canonicalised", "\xE9", true, "latin1", Legacy("iso-8859-1")},
        {"legacy may be bytes", "\xE9", true, "bytes", Utf(EncodingKind::Bytes)},
        {"utf legacy drops its mark", "\xE9", true, "utf-16le bom", Utf(EncodingKind::Utf16LE)},
        {"unknown legacy kept", "\xE9", true, "nonsense", Legacy("nonsense")},
    };
    for (const Case& c : cases) EXPECT_EQ(DetectEncoding(c.head, c.whole, c.legacy), c.expected) << c.what;

    std::string error;
    Decoder d;
    EXPECT_FALSE(d.Open(DetectEncoding("\xE9", true, "nonsense"), error));
    EXPECT_EQ(error, "unknown encoding \"nonsense\"");
}

TEST(EncodingNames, KnownAliasesShareOneCanonicalName) {
    struct Case {
        const char* name;
        const char* canonical;
    } cases[] = {{"latin1", "iso-8859-1"},         {"ISO-8859-1", "iso-8859-1"},
                 {"cp1252", "windows-1252"},       {"WINDOWS-1252", "windows-1252"},
                 {"windows-1251", "windows-1251"}, {"KOI8-R", "koi8-r"},
                 {"shift_jis", "shift_jis"},       {"sjis", "shift_jis"},
                 {"cp932", "shift_jis"},           {"utf8", "utf-8"},
                 {"UTF-16LE", "utf-16le"},         {"euc-jp", "euc-jp"}};
    for (const Case& c : cases) {
        std::string canonical;
        EXPECT_TRUE(KnownEncodingName(c.name, &canonical)) << c.name;
        EXPECT_EQ(canonical, c.canonical) << c.name;
        EXPECT_TRUE(KnownEncodingName(canonical)) << "the canonical name opens again: " << canonical;
    }
    // The empty name would open ICU's default converter and a comma would pass it options.
    for (const char* name : {"klingon", "", "auto", "windows-1252,swaplfnl"})
        EXPECT_FALSE(KnownEncodingName(name)) << name;
}

TEST(EncodingNames, ParseAndLabel) {
    struct Case {
        const char* name;
        Encoding expected;
        const char* label;
    } cases[] = {
        {"utf-8", Utf(EncodingKind::Utf8), "UTF-8"},
        {"UTF8", Utf(EncodingKind::Utf8), "UTF-8"},
        {"utf-8 BOM", Utf(EncodingKind::Utf8, true), "UTF-8 BOM"},
        {"utf-16le", Utf(EncodingKind::Utf16LE), "UTF-16LE"},
        {"utf-16le-bom", Utf(EncodingKind::Utf16LE, true), "UTF-16LE BOM"},
        {"utf-16be", Utf(EncodingKind::Utf16BE), "UTF-16BE"},
        {"utf-32le bom", Utf(EncodingKind::Utf32LE, true), "UTF-32LE BOM"},
        {"UTF-32BE", Utf(EncodingKind::Utf32BE), "UTF-32BE"},
        {"Bytes", Utf(EncodingKind::Bytes), "bytes"},
        {"cp1252", Legacy("windows-1252"), "windows-1252"},
        {"sjis", Legacy("shift_jis"), "shift_jis"},
    };
    for (const Case& c : cases) {
        Encoding e, again;
        std::string error;
        ASSERT_TRUE(ParseEncodingName(c.name, e, error)) << c.name << ": " << error;
        EXPECT_EQ(e, c.expected) << c.name;
        EXPECT_EQ(e.Label(), c.label) << c.name;
        ASSERT_TRUE(ParseEncodingName(e.Label(), again, error)) << "labels parse back: " << e.Label();
        EXPECT_EQ(again, e);
    }
    struct Bad {
        const char* name;
        const char* error;
    } bad[] = {
        {"klingon", "unknown encoding \"klingon\""},
        {"auto", "unknown encoding \"auto\""},
        {"utf-16", "the encoding \"utf-16\" does not say its byte order: use utf-16le or utf-16be"},
        {"UTF-32", "the encoding \"UTF-32\" does not say its byte order: use utf-32le or utf-32be"},
        {"latin1 bom", "the encoding \"latin1\" has no byte order mark (in \"latin1 bom\")"},
    };
    for (const Bad& b : bad) {
        Encoding e;
        std::string error;
        EXPECT_FALSE(ParseEncodingName(b.name, e, error)) << b.name;
        EXPECT_EQ(error, b.error);
    }
}

TEST(EncodingNames, ByteOrderMarks) {
    struct Case {
        Encoding e;
        std::string mark;
    } cases[] = {{Utf(EncodingKind::Utf8, true), "\xEF\xBB\xBF"},
                 {Utf(EncodingKind::Utf16LE, true), "\xFF\xFE"},
                 {Utf(EncodingKind::Utf16BE, true), "\xFE\xFF"},
                 {Utf(EncodingKind::Utf32LE, true), "\xFF\xFE\0\0"s},
                 {Utf(EncodingKind::Utf32BE, true), "\0\0\xFE\xFF"s},
                 {Utf(EncodingKind::Utf16LE), ""},
                 {Legacy("koi8-r"), ""},
                 {Utf(EncodingKind::Bytes), ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(BomBytes(c.e), c.mark) << c.e.Label();
        // Detection finds the encoding from its own mark.
        if (!c.mark.empty()) {
            EXPECT_EQ(DetectEncoding(c.mark + "x", false), c.e) << c.e.Label();
        }
    }
}

// Long ASCII runs around the other characters so that the wide ASCII steps meet them at every
// alignment as the splits move.
std::string Padded(const std::string& middle) {
    return std::string(37, 'a') + middle + std::string(35, 'z') + "\n";
}

TEST(EncodingRoundTrip, EveryKindAtEverySplit) {
    struct Case {
        Encoding e;
        const char* icu_name;  // the reference converter; null: the bytes are the text
        std::string text;
    } cases[] = {
        {Utf(EncodingKind::Utf8), "UTF-8", Padded("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80")},
        {Utf(EncodingKind::Utf16LE), "UTF-16LE",
         Padded("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBD")},
        {Utf(EncodingKind::Utf16BE), "UTF-16BE",
         Padded("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF")},
        {Utf(EncodingKind::Utf32LE), "UTF-32LE", Padded("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80")},
        {Utf(EncodingKind::Utf32BE), "UTF-32BE", Padded("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80")},
        {Legacy("windows-1252"), "windows-1252",
         Padded("na\xC3\xAFve caf\xC3\xA9 \xE2\x80\x93 50 \xE2\x82\xAC")},
        {Legacy("koi8-r"), "koi8-r",
         Padded("\xD0\xA1\xD1\x8A\xD0\xB5\xD1\x88\xD1\x8C \xD0\xB5\xD1\x89\xD1\x91")},
        {Legacy("shift_jis"), "shift_jis",
         Padded("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E abc \xEF\xBD\xB1\xEF\xBD\xB2")},
        {Legacy("iso-2022-jp"), "iso-2022-jp",
         Padded("a\xE3\x81\x82\xE6\xBC\xA2"
                "b")},
        {Utf(EncodingKind::Bytes), nullptr, Padded("\xFF\xE9\0\x80"s)},
    };
    for (const Case& c : cases) {
        const std::string bytes = c.icu_name ? IcuConvert(c.icu_name, "UTF-8", c.text) : c.text;
        for (const auto& cuts : Splits(bytes.size())) {
            std::string text, error;
            Decoder d;
            ASSERT_TRUE(d.Open(c.e, error)) << error;
            ASSERT_TRUE(FeedPieces(d, bytes, cuts, text, error))
                << c.e.Label() << " cut " << cuts[0] << ": " << error;
            ASSERT_EQ(text, c.text) << c.e.Label() << " cut " << cuts[0];
            EXPECT_EQ(d.Offset(), static_cast<int64_t>(bytes.size()));
        }
        for (const auto& cuts : Splits(c.text.size())) {
            std::string out, error;
            Encoder enc;
            ASSERT_TRUE(enc.Open(c.e, error)) << error;
            ASSERT_TRUE(FeedPieces(enc, c.text, cuts, out, error))
                << c.e.Label() << " cut " << cuts[0] << ": " << error;
            ASSERT_EQ(out, bytes) << c.e.Label() << " cut " << cuts[0];
        }
    }
}

// A stray byte of the text model is written back as itself where the output is UTF-8 or bytes.
TEST(EncodingRoundTrip, StrayBytesCopiedToUtf8AndBytes) {
    for (const Encoding& e : {Utf(EncodingKind::Utf8, true), Utf(EncodingKind::Bytes)}) {
        std::string out, error;
        ASSERT_TRUE(EncodeText("a\xFF\xC3", e, out, error)) << error;
        EXPECT_EQ(out, "a\xFF\xC3");
    }
}

TEST(EncodingErrors, UndecodableBytes) {
    struct Case {
        Encoding e;
        std::string bytes;
        const char* error;
        int64_t offset;
    } cases[] = {
        {Utf(EncodingKind::Utf8),
         "ab\xFF"
         "c",
         "byte 0xFF at offset 2 is not UTF-8", 2},
        {Utf(EncodingKind::Utf8), "ab\xED\xA0\x80", "byte 0xED at offset 2 is not UTF-8", 2},
        {Utf(EncodingKind::Utf8), "ab\xE2\x82", "an incomplete character at offset 2 is not UTF-8", 2},
        {Utf(EncodingKind::Utf16LE), "a\0\0\xDC"s, "an unpaired surrogate at offset 2 is not UTF-16LE", 2},
        {Utf(EncodingKind::Utf16LE),
         "a\0\0\xD8"
         "b\0"s,
         "an unpaired surrogate at offset 2 is not UTF-16LE", 2},
        {Utf(EncodingKind::Utf16BE), "\0a\xD8\0"s, "an incomplete character at offset 2 is not UTF-16BE", 2},
        {Utf(EncodingKind::Utf16LE), "a\0b"s, "an incomplete character at offset 2 is not UTF-16LE", 2},
        {Utf(EncodingKind::Utf32LE), "a\0\0\0\0\0\x11\0"s, "the value 0x110000 at offset 4 is not UTF-32LE",
         4},
        {Utf(EncodingKind::Utf32BE), "\0\0\0a\0\0\xD8\0"s, "the value 0xD800 at offset 4 is not UTF-32BE", 4},
        {Utf(EncodingKind::Utf32BE), "\0\0\0a\0\0"s, "an incomplete character at offset 4 is not UTF-32BE",
         4},
        {Legacy("windows-1253"), "ab\xD2", "byte 0xD2 at offset 2 is not windows-1253", 2},
        // Read as "`" through a reverse fallback; "`" is written as 0x60.
        {Legacy("hp-roman8"), "ab\xA9", "byte 0xA9 at offset 2 is not hp-roman8", 2},
        {Legacy("shift_jis"),
         "ab\x81\x20"
         "c",
         "byte 0x81 at offset 2 is not shift_jis", 2},
        {Legacy("shift_jis"), "ab\x82", "an incomplete character at offset 2 is not shift_jis", 2},
        // ICU reads this pair through a reverse fallback: writing it back would give other bytes.
        {Legacy("shift_jis"), "ab\x87\x90", "byte 0x87 at offset 2 is not shift_jis", 2},
    };
    for (const Case& c : cases) {
        // Where the blocks are cut changes neither the error nor its offset.
        for (const auto& cuts : Splits(c.bytes.size())) {
            std::string text, error;
            Decoder d;
            ASSERT_TRUE(d.Open(c.e, error));
            EXPECT_FALSE(FeedPieces(d, c.bytes, cuts, text, error)) << c.error;
            EXPECT_EQ(error, c.error) << "cut " << cuts[0];
            EXPECT_EQ(d.Offset(), c.offset) << c.error;
            // A failed decoder stays failed.
            EXPECT_FALSE(d.Feed("ok", true, text, error));
            EXPECT_EQ(error, c.error);
        }
    }
}

TEST(EncodingErrors, UnwritableCharacters) {
    struct Case {
        Encoding e;
        std::string text;
        const char* error;
    } cases[] = {
        {Legacy("koi8-r"), "a\xE2\x82\xAC",
         "the character \"\xE2\x82\xAC\" (U+20AC) cannot be written in koi8-r"},
        {Legacy("koi8-r"), "a\xC2\x85", "the character U+0085 cannot be written in koi8-r"},
        // ICU drops an unmappable soft hyphen silently; it must fail like any other character.
        {Legacy("koi8-r"),
         "a\xC2\xAD"
         "b",
         "the character U+00AD cannot be written in koi8-r"},
        {Legacy("shift_jis"),
         "a\xC2\xAD"
         "b",
         "the character U+00AD cannot be written in shift_jis"},
        {Legacy("shift_jis"), "\\\xC2\xA5",
         "the character \"\xC2\xA5\" (U+00A5) cannot be written in shift_jis"},
        {Legacy("windows-1252"), "\xF0\x9F\x98\x80",
         "the character \"\xF0\x9F\x98\x80\" (U+1F600) cannot be written in windows-1252"},
        {Legacy("koi8-r"), "a\xE9", "the byte 0xE9 (not a UTF-8 character) cannot be written in koi8-r"},
        {Legacy("shift_jis"), "a\xE9",
         "the byte 0xE9 (not a UTF-8 character) cannot be written in shift_jis"},
        {Utf(EncodingKind::Utf16LE), "a\xED\xA0\x80",
         "the byte 0xED (not a UTF-8 character) cannot be written in UTF-16LE"},
        {Utf(EncodingKind::Utf32BE), "ab\xE2\x82",
         "the byte 0xE2 (not a UTF-8 character) cannot be written in UTF-32BE"},
    };
    for (const Case& c : cases)
        for (const auto& cuts : Splits(c.text.size())) {
            std::string out, error;
            Encoder enc;
            ASSERT_TRUE(enc.Open(c.e, error));
            EXPECT_FALSE(FeedPieces(enc, c.text, cuts, out, error)) << c.error;
            EXPECT_EQ(error, c.error) << "cut " << cuts[0];
            EXPECT_FALSE(enc.Feed("ok", true, out, error));
        }
}

// Whatever a legacy decoding accepts must encode back to the very same bytes.
TEST(EncodingRoundTrip, LegacyDecodingsEncodeBackExactly) {
    const auto check = [](const Encoding& e, const std::string& bytes, int& accepted) {
        std::string text, back, error;
        if (!DecodeText(bytes, e, text, error)) return;
        ++accepted;
        ASSERT_TRUE(EncodeText(text, e, back, error)) << e.Name << ": " << error;
        ASSERT_EQ(back, bytes) << e.Name;
    };
    struct Case {
        const char* name;
        int single_bytes_accepted;
    } pages[] = {{"windows-1252", 256}, {"iso-8859-1", 256},   {"koi8-r", 256},
                 {"windows-1251", 256}, {"windows-1253", 254}, {"hp-roman8", 251}};
    for (const Case& c : pages) {
        int accepted = 0;
        for (int b = 0; b < 256; ++b) check(Legacy(c.name), std::string(1, static_cast<char>(b)), accepted);
        EXPECT_EQ(accepted, c.single_bytes_accepted) << c.name;
    }
    int accepted = 0;
    for (int lead = 0x80; lead < 0x100; ++lead)
        for (int trail = 0x40; trail < 0x100; ++trail)
            check(Legacy("shift_jis"), {static_cast<char>(lead), static_cast<char>(trail)}, accepted);
    EXPECT_GT(accepted, 7000);  // the sweep did reach the double-byte characters
}

TEST(EncodingErrors, DecoderOffsetWaitsForCutCharacters) {
    std::string text, error;
    Decoder d;
    ASSERT_TRUE(d.Open(Utf(EncodingKind::Utf16LE), error));
    ASSERT_TRUE(d.Feed("a\0b"s, false, text, error));
    EXPECT_EQ(d.Offset(), 2);
    ASSERT_TRUE(d.Feed("\0"s, true, text, error));
    EXPECT_EQ(d.Offset(), 4);
    EXPECT_EQ(text, "ab");
}

}  // namespace
}  // namespace rowsmith::text
