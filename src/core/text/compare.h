#pragma once
// Natural (number-aware) comparison and the comparison operators of conditions: "a9" sorts before
// "a10", "007" equals "7".

#include <string>
#include <string_view>

namespace rowsmith::text {

// 0 equal, 1 a before b, 2 a after b. Digit runs compare by value (leading zeros ignored), everything
// else by byte value; a text that ends first is the smaller.
int CompareNatural(std::string_view a, std::string_view b);

// Operator codes: 1 "=", 2 ">", 3 "<", 4 "<>", 5 ">=" or "=>", 6 "<=" or "=<".
enum CompareOperator : int {
    kCompareEqual = 1,
    kCompareAfter = 2,
    kCompareBefore = 3,
    kCompareNotEqual = 4,
    kCompareEqualOrAfter = 5,
    kCompareEqualOrBefore = 6,
};

// Reads the operator at the front of the text and removes it; without one the text is left untouched
// and the result is 1 (equal).
int ParseCompareOperator(std::string& text);

// CompareNatural of a and b under the operator, both lower-cased first unless case_sensitive; an
// unknown operator gives false.
bool CompareBy(std::string_view a, int op, std::string_view b, bool case_sensitive);

}  // namespace rowsmith::text
