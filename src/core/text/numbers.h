#pragma once
// Lenient number reading, number writing and padding: the numeric routines that tables, templates
// and the progress display share. Numbers in texts always use "." as the decimal point.

#include <cstdint>
#include <string>
#include <string_view>

namespace rowsmith::text {

// Keeps "0"-"9" and ".", and "-" only while nothing has been kept yet; parses what was kept.
// An empty text gives 0 (not the default); nothing usable kept gives the default.
double ReadNumber(std::string_view text, double default_value);
double ReadNumberOrMinusOne(std::string_view text);
// ReadNumber with default 0, truncated toward zero; outside the 32-bit range gives 0.
int32_t ReadInt(std::string_view text);
// Only digits, "-" and "."; "-" only first; at most one "."; not empty.
bool IsANumber(std::string_view text);

std::string IntText(int64_t n);
// Fixed-point text with min(decimals, 11) decimals.
std::string FloatText(double x, int decimals);
// FloatText with 11 decimals, trailing zeros after the point (and a bare point) removed.
std::string ShortFloatText(double x);

// count characters (of the text model) made by repeating fill and cutting it; empty when count <= 0
// or fill is empty.
std::string FillText(std::string_view fill, int64_t count);
// Pads to width characters: mode 0 left, 1 right, 2 both (left gets the smaller half). Empty fill
// means " "; the fill "\r" means no padding.
std::string PadText(std::string_view text, std::string_view fill, int64_t width, int mode);
// IntText of n padded on the left; a negative n pads its digits to width - 1 behind the "-".
std::string LeadingZeros(int64_t n, int64_t width, std::string_view fill);

// --- Choosing and bounding ---
std::string ChooseText(bool flag, std::string_view a, std::string_view b);
int64_t ChooseInt(bool flag, int64_t a, int64_t b);
int32_t MaxInt(int32_t a, int32_t b);
int32_t MinInt(int32_t a, int32_t b);
double MaxFloat(double a, double b);
double MinFloat(double a, double b);
// MinInt(high, MaxInt(x, low)): high wins when low > high.
int32_t ClampInt(int32_t x, int32_t low, int32_t high);
// x within the closed span between a and b, in either order.
bool InRange(int64_t x, int64_t a, int64_t b);

// --- Digit runs and widths ---
struct DigitRunT {
    std::string Digits;  // empty when the character at the position is not a digit
    int32_t Next = 0;    // 1-based position after the run (the position itself when there is no run)
};
// The maximal run of digits starting at the 1-based character position.
DigitRunT DigitRunAt(std::string_view text, int32_t position);
// Characters of x's text: IntText of trunc(x) within +-2147483647, else the general float text.
int32_t DecimalWidth(double x);

// "left" 0, "right" 1, "leftandright" and "both" 2, anything else 0 (letter case ignored).
int PadModeFromWord(std::string_view word);
std::string PadByWord(std::string_view text, std::string_view fill, int64_t width, std::string_view word);

// Inserts `separator` every three digits left of the point ("1234567" -> "1,234,567"); a space
// instead where the neighbouring character is a space (padded columns). separator 0: unchanged.
// A text not shorter than limit (limit > 0) is unchanged; separators that would make the result
// longer than limit are dropped, nearest the point first. A leading sign ("-" or "+") is skipped, so
// "-123" gets no separator right after its sign. Lengths count characters; in the Utf8 model a
// separator byte from 128 up is written as the code point of that value.
std::string GroupThousands(std::string_view text, int64_t limit, char separator);

// The number rounded up to its block: block size 0 takes the next power of ten above the number's
// digits (7 -> 10, 345 -> 1000); a zero number gives the block size (or 10). A negative block size
// counts as its magnitude.
int64_t NumbersBlock(int64_t number, int64_t block_size);

// Parity roundings; the result saturates at the 64-bit range and NaN gives 0.
int64_t RoundUpEven(double x);
int64_t RoundUpOdd(double x);
int64_t RoundDownEven(double x);
int64_t RoundDownOdd(double x);

// --- Decimal texts of any length ---
// Operands: an optional leading "-" and digits; any other character is ignored and a text without
// digits counts as 0. Results have no leading zeros; zero is "0".
std::string AddDecimal(std::string_view a, std::string_view b);
// a - b; a leading "-" when b is larger.
std::string SubtractDecimal(std::string_view a, std::string_view b);
struct DecimalQuotientT {
    std::string Quotient;
    int32_t Remainder = 0;  // same sign as the dividend
};
// Truncating division. A divisor of 0 leaves the dividend as quotient with remainder 0.
DecimalQuotientT DivideDecimal(std::string_view a, int32_t divisor);

// --- Number systems ---
// The named digit alphabets 0..8 ("0123456789", octal, binary, hex, letters, "l" Roman, base 11 with
// ".", "human", base 62); empty for any other index.
std::string NumberSystemDigits(int index);
// Converts a decimal text into an alphabet (looked up by exact text among NumberSystemDigits).
// Roman: above 5000 the thousands, "'" and the remainder, each converted again; zero is "nil".
// bijective: spreadsheet-style numbering from zero (letters: 0 A, 25 Z, 26 AA). grouped: the hex
// bytes of the number (at least four) each converted and joined by "."; pad (0 = none) pads each group
// to the width of 255 in the alphabet. A leading "-" is kept in front of the converted magnitude;
// no digits, "human" and unknown alphabets give "".
std::string ConvertNumberText(std::string_view decimal, std::string_view alphabet, bool bijective = false,
                              bool grouped = false, char pad = 0);
// Upper-case hexadecimal text of n ("-" before negatives).
std::string IntToHex(int64_t n);

// n in base 2, most significant bit first, byte 1 for a 1-bit and byte 0 for a 0-bit; 0 gives "".
std::string NumberToMarker(uint64_t n);
// Every byte 1 is a 1-bit, every other byte a 0-bit; bits beyond 64 push the oldest out.
uint64_t MarkerToNumber(std::string_view text);

}  // namespace rowsmith::text
