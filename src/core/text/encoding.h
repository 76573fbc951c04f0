#pragma once
// The encodings of text files: each file is decoded to UTF-8 when read and written back in its own
// encoding, byte for byte where the text did not change. Converters come from ICU; nothing here throws.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace rowsmith::text {

enum class EncodingKind : uint8_t { Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Legacy, Bytes };

struct Encoding {
    EncodingKind Kind = EncodingKind::Utf8;
    bool Bom = false;  // the file starts with a byte order mark (kept on write); only for the UTF kinds
    std::string Name;  // for Legacy: the converter's canonical name, e.g. "windows-1252"; else empty
    // "UTF-8", "UTF-8 BOM", "UTF-16LE BOM", "UTF-32BE", "windows-1252", "bytes".
    std::string Label() const;
    bool operator==(const Encoding&) const = default;
};

// The library behind the converters and its version, as built against ("ICU 72.1").
std::string EncodingLibraryVersion();

// Whether ICU knows `name` under any alias, case and punctuation aside ("latin1", "cp1252", "koi8-r",
// "shift_jis", "utf8" ...). `canonical` gets one lower-case name per converter, the same for every
// alias: "windows-1252", "iso-8859-1", "koi8-r", "shift_jis", "utf-8", "utf-16le".
bool KnownEncodingName(std::string_view name, std::string* canonical = nullptr);

// An explicit choice: "utf-8", "utf-16le", "utf-16be", "utf-32le", "utf-32be" (any ICU alias of them,
// optionally followed by " bom" / "-bom"), "bytes", or a legacy name. Labels parse back to their
// encoding. "utf-16" and "utf-32" without a byte order are refused, as are unknown names (the error
// names the input). "auto" is the caller's.
bool ParseEncodingName(std::string_view name, Encoding& out, std::string& error);

// The encoding of a file from its first block (`whole`: the block is the entire file):
//  1. a byte order mark (UTF-32 marks before UTF-16 ones);
//  2. else a NUL byte: Bytes (not text);
//  3. else valid UTF-8, ASCII included: Utf8 (a sequence cut by the block's end counts unless `whole`);
//  4. else `legacy` (canonicalised; a name that parses to a UTF kind or "bytes" gives that kind, an
//     unknown one is kept as given so that opening a Decoder reports it).
Encoding DetectEncoding(std::string_view head, bool whole, std::string_view legacy = "windows-1252");

// The byte order mark of an encoding (empty when !Bom, and for Legacy and Bytes).
std::string_view BomBytes(const Encoding& e);

// Whether the file's line feeds and carriage returns are exactly its code units 0x0A and 0x0D (one,
// two or four bytes wide) and nothing else decodes to them: true for the UTF kinds, bytes and the
// single-byte code pages that keep them; false for EBCDIC pages, multi-byte and stateful code pages
// (where such a byte may belong to another character) and names that name no encoding.
bool LineFeedsAreUnits(const Encoding& e);

// Streaming decoding to UTF-8 of a file's bytes after its byte order mark. Blocks may split any
// sequence; a cut tail waits for the next Feed, and `last` flushes. Bytes that do not decode, or that
// would not encode back to the same bytes, fail (no substitution ever): "byte 0x81 at offset 1234 is
// not shift_jis", "an unpaired surrogate at offset 6 is not UTF-16LE". Offsets count from the first
// byte after the mark. Utf8 validates and copies; Bytes copies. Once failed, Feed keeps failing until
// the next Open. Each decoder owns its converter: use one per thread.
class Decoder {
  public:
    Decoder();
    ~Decoder();
    Decoder(Decoder&&) noexcept;
    Decoder& operator=(Decoder&&) noexcept;

    bool Open(const Encoding& e, std::string& error);
    // Appends the decoded text to `out`.
    bool Feed(std::string_view in, bool last, std::string& out, std::string& error);
    // Bytes decoded so far (not those of a cut character still waiting); after a failure, the offset
    // of the failure.
    int64_t Offset() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Streaming encoding of UTF-8 text into an encoding; no byte order mark (the caller writes BomBytes).
// Input may be split inside a sequence. A character the encoding cannot hold fails:
// `the character "€" (U+20AC) cannot be written in koi8-r` (controls and invisible characters as
// `the character U+0085 ...`). Bytes that are not UTF-8 (the model's stray bytes) are copied for Utf8
// and Bytes and fail for the others: `the byte 0xE9 (not a UTF-8 character) cannot be written in
// UTF-16LE`. Once failed, Feed keeps failing until the next Open.
class Encoder {
  public:
    Encoder();
    ~Encoder();
    Encoder(Encoder&&) noexcept;
    Encoder& operator=(Encoder&&) noexcept;

    bool Open(const Encoding& e, std::string& error);
    // Appends the encoded bytes to `out`.
    bool Feed(std::string_view utf8, bool last, std::string& out, std::string& error);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Whole-buffer forms (`bytes` without the mark; the output is replaced).
bool DecodeText(std::string_view bytes, const Encoding& e, std::string& utf8, std::string& error);
bool EncodeText(std::string_view utf8, const Encoding& e, std::string& bytes, std::string& error);

}  // namespace rowsmith::text
