#include "text/compare.h"

#include "text/chars.h"

namespace rowsmith::text {

int CompareNatural(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Skip leading zeros but keep the last digit, so that a run of zeros reads as "0".
            while (i + 1 < a.size() && a[i] == '0' && IsDigit(a[i + 1])) ++i;
            while (j + 1 < b.size() && b[j] == '0' && IsDigit(b[j + 1])) ++j;
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && IsDigit(a[ei])) ++ei;
            while (ej < b.size() && IsDigit(b[ej])) ++ej;
            if (ei - i != ej - j) return (ei - i) < (ej - j) ? 1 : 2;
            for (; i < ei; ++i, ++j)
                if (a[i] != b[j])
                    return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? 1 : 2;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? 1 : 2;
        ++i;
        ++j;
    }
    const bool a_done = i >= a.size();
    const bool b_done = j >= b.size();
    if (a_done && b_done) return 0;
    return a_done ? 1 : 2;
}

int ParseCompareOperator(std::string& text) {
    static constexpr struct {
        std::string_view text;
        int op;
    } kOperators[] = {
        // Two-character operators first, so that "<>" is not read as "<".
        {"<>", kCompareNotEqual},      {">=", kCompareEqualOrAfter},  {"=>", kCompareEqualOrAfter},
        {"<=", kCompareEqualOrBefore}, {"=<", kCompareEqualOrBefore}, {">", kCompareAfter},
        {"<", kCompareBefore},         {"=", kCompareEqual},
    };
    for (const auto& o : kOperators) {
        if (text.compare(0, o.text.size(), o.text) == 0) {
            text.erase(0, o.text.size());
            return o.op;
        }
    }
    return kCompareEqual;
}

bool CompareBy(std::string_view a, int op, std::string_view b, bool case_sensitive) {
    const int c = case_sensitive ? CompareNatural(a, b) : CompareNatural(LowerCase(a), LowerCase(b));
    switch (op) {
        case kCompareEqual:
            return c == 0;
        case kCompareAfter:
            return c == 2;
        case kCompareBefore:
            return c == 1;
        case kCompareNotEqual:
            return c != 0;
        case kCompareEqualOrAfter:
            return c != 1;
        case kCompareEqualOrBefore:
            return c != 2;
        default:
            return false;
    }
}

}  // namespace rowsmith::text
