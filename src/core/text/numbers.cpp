#include "text/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "text/chars.h"
#include "text/utf8.h"

namespace rowsmith::text {

double ReadNumber(std::string_view text, double default_value) {
    if (text.empty()) return 0;
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if ((c >= '0' && c <= '9') || c == '.')
            kept += c;
        else if (c == '-' && kept.empty())
            kept += c;
    }
    if (kept.empty() || kept == "-") return default_value;
    // Read as far as the kept characters form a number: "1.2.3" reads 1.2, "-." reads the default.
    const char* begin = kept.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin) return default_value;
    return v;
}

double ReadNumberOrMinusOne(std::string_view text) {
    return ReadNumber(text, -1);
}

int32_t ReadInt(std::string_view text) {
    const double v = std::trunc(ReadNumber(text, 0));
    if (!(v >= -2147483648.0 && v <= 2147483647.0)) return 0;
    return static_cast<int32_t>(v);
}

bool IsANumber(std::string_view text) {
    if (text.empty()) return false;
    int points = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') continue;
        if (c == '-' && i == 0) continue;
        if (c == '.' && ++points == 1) continue;
        return false;
    }
    return true;
}

std::string IntText(int64_t n) {
    char buf[24];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, n);
    return std::string(buf, p);
}

std::string FloatText(double x, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 11) decimals = 11;
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
    std::string s(buf);
    if (s == "-0" || (s.size() > 1 && s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos))
        s.erase(0, 1);
    return s;
}

std::string ShortFloatText(double x) {
    std::string s = FloatText(x, 11);
    const auto point = s.find('.');
    if (point == std::string::npos) return s;
    while (s.size() > point + 1 && s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

std::string FillText(std::string_view fill, int64_t count) {
    if (count <= 0 || fill.empty()) return {};
    if (CountsCodePoints(fill)) {
        const auto per_fill = static_cast<int64_t>(CountChars(fill));
        const int64_t whole = count / per_fill;
        std::string r;
        r.reserve(static_cast<std::size_t>(whole + 1) * fill.size());
        for (int64_t i = 0; i < whole; ++i) r += fill;
        r += CharSubstr(fill, 0, static_cast<std::size_t>(count - whole * per_fill));
        return r;
    }
    std::string r;
    r.reserve(static_cast<std::size_t>(count));
    while (static_cast<int64_t>(r.size()) + static_cast<int64_t>(fill.size()) <= count) r += fill;
    r.append(fill.substr(0, static_cast<std::size_t>(count - static_cast<int64_t>(r.size()))));
    return r;
}

std::string PadText(std::string_view text, std::string_view fill, int64_t width, int mode) {
    if (fill == "\r") return std::string(text);
    if (fill.empty()) fill = " ";
    const int64_t missing = width - static_cast<int64_t>(CountChars(text));
    if (missing <= 0) return std::string(text);
    switch (mode) {
        case 1:
            return std::string(text) + FillText(fill, missing);
        case 2: {
            const int64_t left = missing / 2;
            return FillText(fill, left) + std::string(text) + FillText(fill, missing - left);
        }
        default:
            return FillText(fill, missing) + std::string(text);
    }
}

std::string LeadingZeros(int64_t n, int64_t width, std::string_view fill) {
    if (n < 0) {
        // The magnitude of INT64_MIN does not fit; its digits are written from the text.
        std::string digits = IntText(n).substr(1);
        return "-" + PadText(digits, fill, width - 1, 0);
    }
    return PadText(IntText(n), fill, width, 0);
}

// --- Choosing and bounding ---

std::string ChooseText(bool flag, std::string_view a, std::string_view b) {
    return std::string(flag ? a : b);
}
int64_t ChooseInt(bool flag, int64_t a, int64_t b) {
    return flag ? a : b;
}
int32_t MaxInt(int32_t a, int32_t b) {
    return a > b ? a : b;
}
int32_t MinInt(int32_t a, int32_t b) {
    return a < b ? a : b;
}
double MaxFloat(double a, double b) {
    return a > b ? a : b;
}
double MinFloat(double a, double b) {
    return a < b ? a : b;
}
int32_t ClampInt(int32_t x, int32_t low, int32_t high) {
    return MinInt(high, MaxInt(x, low));
}
bool InRange(int64_t x, int64_t a, int64_t b) {
    return a <= b ? (x >= a && x <= b) : (x >= b && x <= a);
}

// --- Digit runs and widths ---

DigitRunT DigitRunAt(std::string_view text, int32_t position) {
    DigitRunT run;
    run.Next = position;
    if (position < 1) return run;
    if (CountsCodePoints(text)) {
        // Digits are ASCII: the run's length in bytes is its length in characters.
        const std::size_t at = ByteOffsetOfChar(text, static_cast<std::size_t>(position) - 1);
        if (at >= text.size()) return run;
        std::size_t end = at;
        while (end < text.size() && IsDigit(text[end])) ++end;
        run.Digits.assign(text.substr(at, end - at));
        run.Next = position + static_cast<int32_t>(end - at);
        return run;
    }
    if (static_cast<std::size_t>(position) > text.size()) return run;
    std::size_t i = static_cast<std::size_t>(position) - 1;
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    run.Digits.assign(text.substr(start, i - start));
    run.Next = static_cast<int32_t>(i + 1);
    return run;
}

namespace {

// The general floating-point text: up to 15 significant digits, exponent as "E" with no "+" and no
// leading zeros (1E20, 1.5E-7).
std::string GeneralFloatText(double x) {
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", x);
    std::string s(buf);
    const auto e = s.find('E');
    if (e == std::string::npos) return s;
    std::string mantissa = s.substr(0, e);
    std::string exponent = s.substr(e + 1);
    bool negative = false;
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
        negative = exponent[0] == '-';
        exponent.erase(0, 1);
    }
    const auto nz = exponent.find_first_not_of('0');
    exponent = nz == std::string::npos ? "0" : exponent.substr(nz);
    return mantissa + "E" + (negative ? "-" : "") + exponent;
}

}  // namespace

int32_t DecimalWidth(double x) {
    if (x >= -2147483647.0 && x <= 2147483647.0)
        return static_cast<int32_t>(IntText(static_cast<int64_t>(std::trunc(x))).size());
    return static_cast<int32_t>(GeneralFloatText(x).size());
}

int PadModeFromWord(std::string_view word) {
    const std::string w = LowerCase(word);
    if (w == "left") return 0;
    if (w == "right") return 1;
    if (w == "leftandright" || w == "both") return 2;
    return 0;
}

std::string PadByWord(std::string_view text, std::string_view fill, int64_t width, std::string_view word) {
    return PadText(text, fill, width, PadModeFromWord(word));
}

namespace {

// GroupThousands over characters; a separator byte from 128 up is the code point of the same value.
std::string GroupThousandsOfChars(std::string_view text, int64_t limit, char separator) {
    const std::u32string chars = ToCodePoints(text);
    const auto length = static_cast<int64_t>(chars.size());
    if (limit > 0 && length >= limit) return std::string(text);
    const auto point = chars.find(U'.');
    const int64_t p = point == std::u32string::npos ? length : static_cast<int64_t>(point);
    const int64_t floor = (length > 0 && (chars[0] == U'-' || chars[0] == U'+')) ? 2 : 1;
    int64_t candidates = 0;
    for (int64_t pos = p - 2; pos > floor; pos -= 3) ++candidates;
    int64_t allowed = candidates;
    if (limit > 0) allowed = std::min(candidates, limit - length);
    if (allowed <= 0) return std::string(text);
    // The first kept separator, counted from the left; the others follow every three characters.
    const int64_t first = p - 2 - 3 * (candidates - allowed) - 3 * (allowed - 1);
    std::string r;
    r.reserve(text.size() + static_cast<std::size_t>(allowed) * 2);
    int64_t next = first;
    for (int64_t i = 1; i <= length; ++i) {
        if (i == next && allowed > 0) {
            const bool space = chars[static_cast<std::size_t>(i - 1)] == U' ' ||
                               chars[static_cast<std::size_t>(i - 2)] == U' ';
            AppendUtf8(r, space ? U' ' : static_cast<char32_t>(static_cast<unsigned char>(separator)));
            next += 3;
            --allowed;
        }
        AppendUtf8(r, chars[static_cast<std::size_t>(i - 1)]);
    }
    return r;
}

}  // namespace

std::string GroupThousands(std::string_view text, int64_t limit, char separator) {
    if (separator == 0) return std::string(text);
    if (CurrentCharModel() == CharModel::Utf8 &&
        (static_cast<unsigned char>(separator) >= 128 || !IsAscii(text)))
        return GroupThousandsOfChars(text, limit, separator);
    const int64_t length = static_cast<int64_t>(text.size());
    if (limit > 0 && length >= limit) return std::string(text);
    const auto point = text.find('.');
    const int64_t p = point == std::string_view::npos ? length : static_cast<int64_t>(point);
    // Insertion positions must lie above the first character, or above the sign.
    const int64_t floor = (length > 0 && (text[0] == '-' || text[0] == '+')) ? 2 : 1;
    int64_t candidates = 0;
    for (int64_t pos = p - 2; pos > floor; pos -= 3) ++candidates;
    int64_t allowed = candidates;
    if (limit > 0) allowed = std::min(candidates, limit - length);
    if (allowed <= 0) return std::string(text);
    // The kept separators are the leftmost ones: skip the (candidates - allowed) nearest the point.
    int64_t pos = p - 2 - 3 * (candidates - allowed);
    std::vector<int64_t> at;  // ascending positions
    for (int64_t i = 0; i < allowed; ++i, pos -= 3) at.push_back(pos);
    std::reverse(at.begin(), at.end());
    std::string r;
    r.reserve(text.size() + at.size());
    std::size_t next = 0;
    for (int64_t i = 1; i <= length; ++i) {
        if (next < at.size() && at[next] == i) {
            const bool space = text[i - 1] == ' ' || text[i - 2] == ' ';
            r += space ? ' ' : separator;
            ++next;
        }
        r += text[i - 1];
    }
    return r;
}

int64_t NumbersBlock(int64_t number, int64_t block_size) {
    if (block_size == std::numeric_limits<int64_t>::min()) return number;
    int64_t block = block_size < 0 ? -block_size : block_size;
    if (number == 0) return block == 0 ? 10 : block;
    if (number == block) return number;
    if (block == 0) {
        uint64_t magnitude = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
        int digits = 0;
        uint64_t power = 1;
        bool power_of_ten = true;
        for (uint64_t m = magnitude; m > 0; m /= 10) {
            if (m >= 10 && m % 10 != 0) power_of_ten = false;
            ++digits;
        }
        if (magnitude >= 10 && power_of_ten) return number;
        if (digits >= 19) return number;  // the block would not fit
        for (int i = 0; i < digits; ++i) power *= 10;
        block = static_cast<int64_t>(power);
    }
    if (number % block == 0) return number;
    const int64_t q = number / block;  // truncation: rounds toward zero, i.e. up for negatives
    const __int128 r = number > 0 ? static_cast<__int128>(q + 1) * block : static_cast<__int128>(q) * block;
    if (r > std::numeric_limits<int64_t>::max()) return number;
    return static_cast<int64_t>(r);
}

namespace {

// Saturating conversion of an integer-valued double.
int64_t Saturate(__int128 v) {
    if (v > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
    if (v < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

// trunc(x) as an integer wide enough for the +-1 steps; NaN counts as 0.
__int128 TruncWide(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9.3e18) return static_cast<__int128>(std::numeric_limits<int64_t>::max()) + 1;
    if (x <= -9.3e18) return static_cast<__int128>(std::numeric_limits<int64_t>::min()) - 1;
    return static_cast<__int128>(std::trunc(x));
}

bool IsWhole(double x) {
    return std::isfinite(x) && std::trunc(x) == x;
}
bool IsOdd(__int128 v) {
    return (v % 2) != 0;
}

}  // namespace

int64_t RoundUpEven(double x) {
    const __int128 t = TruncWide(x);
    if (IsWhole(x) && !IsOdd(t)) return Saturate(t);
    __int128 r = t + 1;
    if (IsOdd(r)) ++r;
    return Saturate(r);
}

int64_t RoundUpOdd(double x) {
    const __int128 t = TruncWide(x);
    if (IsWhole(x) && IsOdd(t)) return Saturate(t);
    __int128 r = t + 1;
    if (!IsOdd(r)) ++r;
    return Saturate(r);
}

int64_t RoundDownEven(double x) {
    const __int128 t = TruncWide(x);
    if (IsWhole(x) && !IsOdd(t)) return Saturate(t);
    __int128 r = t;
    if (IsOdd(r)) --r;
    return Saturate(r);
}

int64_t RoundDownOdd(double x) {
    const __int128 t = TruncWide(x);
    if (IsWhole(x) && IsOdd(t)) return Saturate(t);
    __int128 r = t;
    if (!IsOdd(r)) --r;
    return Saturate(r);
}

// --- Decimal texts of any length ---

namespace {

struct SignedDecimal {
    bool negative = false;
    bool has_digits = false;
    std::string digits;  // magnitude without leading zeros; "0" for zero
};

SignedDecimal ParseDecimal(std::string_view text) {
    SignedDecimal d;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    d.negative = i < text.size() && text[i] == '-';
    d.digits.reserve(text.size());
    for (char c : text) {
        if (!IsDigit(c)) continue;
        d.has_digits = true;
        if (d.digits.empty() && c == '0') continue;
        d.digits += c;
    }
    if (d.digits.empty()) {
        d.digits = "0";
        d.negative = false;
    }
    return d;
}

// Machine arithmetic is exact for magnitudes of up to 9 digits (sums stay within 32 bits).
constexpr std::size_t kShortDigits = 9;

int64_t ShortValue(const SignedDecimal& d) {
    int64_t v = 0;
    for (char c : d.digits) v = v * 10 + (c - '0');
    return d.negative ? -v : v;
}

int CompareMagnitudes(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string StripLeadingZeros(std::string s) {
    const auto nz = s.find_first_not_of('0');
    if (nz == std::string::npos) return "0";
    s.erase(0, nz);
    return s;
}

std::string AddMagnitudes(const std::string& a, const std::string& b) {
    std::string r;
    r.reserve(std::max(a.size(), b.size()) + 1);
    int carry = 0;
    for (std::size_t i = 0; i < a.size() || i < b.size() || carry; ++i) {
        int sum = carry;
        if (i < a.size()) sum += a[a.size() - 1 - i] - '0';
        if (i < b.size()) sum += b[b.size() - 1 - i] - '0';
        r += static_cast<char>('0' + sum % 10);
        carry = sum / 10;
    }
    std::reverse(r.begin(), r.end());
    return r;
}

// a - b for magnitudes with a >= b.
std::string SubtractMagnitudes(const std::string& a, const std::string& b) {
    std::string r;
    r.reserve(a.size());
    int borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        int d = (a[a.size() - 1 - i] - '0') - borrow;
        if (i < b.size()) d -= b[b.size() - 1 - i] - '0';
        borrow = d < 0 ? 1 : 0;
        if (d < 0) d += 10;
        r += static_cast<char>('0' + d);
    }
    std::reverse(r.begin(), r.end());
    return StripLeadingZeros(r);
}

std::string SignedText(bool negative, const std::string& magnitude) {
    return (negative && magnitude != "0") ? "-" + magnitude : magnitude;
}

std::string AddSigned(const SignedDecimal& a, const SignedDecimal& b) {
    if (a.digits.size() <= kShortDigits && b.digits.size() <= kShortDigits)
        return IntText(ShortValue(a) + ShortValue(b));
    if (a.negative == b.negative) return SignedText(a.negative, AddMagnitudes(a.digits, b.digits));
    const int c = CompareMagnitudes(a.digits, b.digits);
    if (c == 0) return "0";
    if (c > 0) return SignedText(a.negative, SubtractMagnitudes(a.digits, b.digits));
    return SignedText(b.negative, SubtractMagnitudes(b.digits, a.digits));
}

// Quotient and remainder of a magnitude by a positive divisor.
std::string DivideMagnitude(const std::string& a, uint64_t divisor, uint64_t& remainder) {
    std::string q;
    q.reserve(a.size());
    uint64_t rem = 0;
    for (char c : a) {
        rem = rem * 10 + static_cast<uint64_t>(c - '0');
        q += static_cast<char>('0' + rem / divisor);
        rem %= divisor;
    }
    remainder = rem;
    return StripLeadingZeros(q);
}

}  // namespace

std::string AddDecimal(std::string_view a, std::string_view b) {
    return AddSigned(ParseDecimal(a), ParseDecimal(b));
}

std::string SubtractDecimal(std::string_view a, std::string_view b) {
    SignedDecimal nb = ParseDecimal(b);
    if (nb.digits != "0") nb.negative = !nb.negative;
    return AddSigned(ParseDecimal(a), nb);
}

DecimalQuotientT DivideDecimal(std::string_view a, int32_t divisor) {
    const SignedDecimal d = ParseDecimal(a);
    DecimalQuotientT r;
    if (divisor == 0) {
        r.Quotient = SignedText(d.negative, d.digits);
        return r;
    }
    if (d.digits.size() <= kShortDigits) {
        const int64_t v = ShortValue(d);
        r.Quotient = IntText(v / divisor);
        r.Remainder = static_cast<int32_t>(v % divisor);
        return r;
    }
    const uint64_t magnitude = divisor < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(divisor))
                                           : static_cast<uint64_t>(divisor);
    uint64_t rem = 0;
    const std::string q = DivideMagnitude(d.digits, magnitude, rem);
    r.Quotient = SignedText(d.negative != (divisor < 0), q);
    r.Remainder = static_cast<int32_t>(d.negative ? -static_cast<int64_t>(rem) : static_cast<int64_t>(rem));
    return r;
}

// --- Number systems ---

namespace {

constexpr std::string_view kAlphabets[] = {
    "0123456789",
    "01234567",
    "01",
    "0123456789ABCDEF",
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
    "l",
    "0123456789.",
    "human",
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
};
constexpr int kDecimalIndex = 0;
constexpr int kHexIndex = 3;
constexpr int kRomanIndex = 5;
constexpr int kHumanIndex = 7;

int AlphabetIndex(std::string_view alphabet) {
    for (int i = 0; i < static_cast<int>(std::size(kAlphabets)); ++i)
        if (kAlphabets[i] == alphabet) return i;
    return -1;
}

// Magnitudes of up to 18 digits fit into 64 bits, with room for the bijective "+ 1".
bool FitsMachine(const std::string& digits) {
    return digits.size() <= 18;
}

uint64_t MachineValue(const std::string& digits) {
    uint64_t v = 0;
    for (char c : digits) v = v * 10 + static_cast<uint64_t>(c - '0');
    return v;
}

std::string Positional(const std::string& digits, std::string_view alphabet) {
    const uint64_t k = alphabet.size();
    std::string r;
    if (FitsMachine(digits)) {
        uint64_t n = MachineValue(digits);
        do {
            r += alphabet[n % k];
            n /= k;
        } while (n > 0);
    } else {
        std::string n = digits;
        do {
            uint64_t rem = 0;
            n = DivideMagnitude(n, k, rem);
            r += alphabet[rem];
        } while (n != "0");
    }
    std::reverse(r.begin(), r.end());
    return r;
}

std::string Bijective(const std::string& digits, std::string_view alphabet) {
    const uint64_t k = alphabet.size();
    std::string r;
    if (FitsMachine(digits)) {
        uint64_t n = MachineValue(digits) + 1;
        while (n > 0) {
            uint64_t rem = n % k;
            uint64_t q = n / k;
            if (rem == 0) {
                rem = k;
                --q;
            }
            r += alphabet[rem - 1];
            n = q;
        }
    } else {
        std::string n = AddMagnitudes(digits, "1");
        while (n != "0") {
            uint64_t rem = 0;
            std::string q = DivideMagnitude(n, k, rem);
            if (rem == 0) {
                rem = k;
                q = SubtractMagnitudes(q, "1");
            }
            r += alphabet[rem - 1];
            n = q;
        }
    }
    std::reverse(r.begin(), r.end());
    return r;
}

std::string RomanUpTo5000(int n) {
    if (n == 0) return "nil";
    static constexpr struct {
        int value;
        const char* text;
    } kPairs[] = {{1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
                  {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
    std::string r;
    for (const auto& p : kPairs)
        while (n >= p.value) {
            r += p.text;
            n -= p.value;
        }
    return r;
}

// Above 5000: Roman(thousands) "'" Roman(remainder). Unrolled into a loop over the trailing digit
// groups so that very long inputs cannot exhaust the stack.
std::string Roman(std::string digits) {
    std::vector<int> remainders;
    while (digits.size() > 4 || std::stoi(digits) > 5000) {
        remainders.push_back(std::stoi(digits.substr(digits.size() - 3)));
        digits.resize(digits.size() - 3);
    }
    std::string r = RomanUpTo5000(std::stoi(digits));
    for (auto it = remainders.rbegin(); it != remainders.rend(); ++it) r += "'" + RomanUpTo5000(*it);
    return r;
}

// One magnitude in one known alphabet, without grouping.
std::string ConvertMagnitude(const std::string& digits, int index, bool bijective) {
    if (index == kRomanIndex) return Roman(digits);
    const std::string_view alphabet = kAlphabets[index];
    if (bijective) return Bijective(digits, alphabet);
    if (index == kDecimalIndex) return digits;
    return Positional(digits, alphabet);
}

int HexValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

}  // namespace

std::string NumberSystemDigits(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kAlphabets))) return {};
    return std::string(kAlphabets[index]);
}

std::string ConvertNumberText(std::string_view decimal, std::string_view alphabet, bool bijective,
                              bool grouped, char pad) {
    const SignedDecimal d = ParseDecimal(decimal);
    if (!d.has_digits) return {};
    const int index = AlphabetIndex(alphabet);
    if (index < 0 || index == kHumanIndex) return {};
    std::string r;
    if (grouped) {
        std::string hex = Positional(d.digits, kAlphabets[kHexIndex]);
        if (hex.size() % 2 != 0) hex.insert(0, 1, '0');
        while (hex.size() < 8) hex.insert(0, "00");
        const std::size_t width = pad != 0 ? ConvertMagnitude("255", index, bijective).size() : 0;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const int value = HexValue(hex[i]) * 16 + HexValue(hex[i + 1]);
            std::string group = ConvertMagnitude(IntText(value), index, bijective);
            if (pad != 0) group = PadText(group, std::string(1, pad), static_cast<int64_t>(width), 0);
            if (i > 0) r += '.';
            r += group;
        }
    } else {
        r = ConvertMagnitude(d.digits, index, bijective);
    }
    return d.negative ? "-" + r : r;
}

std::string IntToHex(int64_t n) {
    return ConvertNumberText(IntText(n), kAlphabets[kHexIndex]);
}

std::string NumberToMarker(uint64_t n) {
    std::string r;
    for (; n > 0; n >>= 1) r += (n & 1) ? '\x01' : '\x00';
    std::reverse(r.begin(), r.end());
    return r;
}

uint64_t MarkerToNumber(std::string_view text) {
    uint64_t n = 0;
    for (char c : text) n = (n << 1) | (c == '\x01' ? 1u : 0u);
    return n;
}

}  // namespace rowsmith::text
