#pragma once
// Date and time routines: a date-time value (days since 30 December 1899, the fraction being the time
// of day) decoded into DateInfoT and rendered through a small format language, plus calendar
// arithmetic on day, month and year numbers (proleptic Gregorian calendar without a year 0).

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace rowsmith::text {

// Name lists, comma-separated, picked by 1-based index.
inline constexpr std::string_view kMonthNames =
    "January,February,March,April,May,June,July,August,September,October,November,December";
inline constexpr std::string_view kWeekdayNames = "Monday,Tuesday,Wednesday,Thursday,Friday,Saturday,Sunday";
inline constexpr std::string_view kZodiacNames =
    "Capricorn,Aquarius,Pisces,Aries,Taurus,Gemini,Cancer,Leo,Virgo,Libra,Scorpio,Sagittarius";

// The index-th name (1-based); empty outside the list.
std::string_view MonthName(int32_t month);
std::string_view WeekdayName(int32_t weekday);
std::string_view ZodiacName(int32_t sign);

struct DateInfoT {
    int32_t FileDate = 0;  // packed DOS date (high word) and time (low word); 0 outside 1980..2107
    int32_t Day = 0;
    int32_t Month = 0;
    int32_t Year = 0;
    int32_t Weekday = 0;  // 1 Monday .. 7 Sunday
    int32_t Zodiac = 0;   // 1 Capricorn .. 12 Sagittarius
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint16_t Millisecond = 0;
    uint16_t Hour12 = 0;
    uint16_t Reserved = 0;  // never filled: the "a" format code prints it
    std::string MonthName;
    std::string DayName;
    std::string ZodiacName;
    std::string AmPm;
    std::string OrdinalSuffix;
    double WholeDays = 0;
    double DayFraction = 0;
};

// ---- Date-time values

// Encodes a date and a time of day. Days before 30 December 1899 keep the time as a positive
// distance from their midnight, so the value is day - fraction there (-1.25 is 29 December, 06:00).
double EncodeDateValue(int32_t day, int32_t month, int32_t year, int hour = 0, int minute = 0, int second = 0,
                       int millisecond = 0);
// A Unix time in nanoseconds as a date-time value, in local time (or UTC when local is false).
double DateValueFromUnix(int64_t unix_ns, bool local = true);
double DateValueFromUnix(std::chrono::system_clock::time_point t, bool local = true);
// The current local time as a date-time value.
double NowDateValue();

// ---- Decoding

DateInfoT DecodeDateInfo(double value);
// A file time (Unix nanoseconds or a clock time point), converted to local time first.
DateInfoT DateInfoFromFileTime(int64_t unix_ns);
DateInfoT DateInfoFromFileTime(std::chrono::system_clock::time_point t);
// A packed DOS date and time; an invalid one decodes as the value 0.
DateInfoT DateInfoFromFileDate(int32_t packed);

// ---- Formatting

// Codes: d m y H h i s l a (numbers, padded to the letter's count in the whole format) and
// D M z p c f F x X (texts, one character per occurrence). Every other character is copied.
std::string FormatDateInfo(std::string_view format, const DateInfoT& info, std::string_view fill);
std::string FormatDateTime(std::string_view format, std::string_view fill, double value);
// "yyyy-mm-dd" and "HH:ii:ss:l" with the fill "0" (the file list's date and time columns), written
// without the format machinery; false (out untouched) for any other format, fill or a year outside
// 1..9999, which FormatDateInfo handles. The result equals FormatDateInfo's.
bool FormatFixedDateTime(std::string_view format, std::string_view fill, double value, std::string& out);

// ---- Calendar arithmetic

bool IsLeapYear(int32_t year);
int32_t DaysInMonth(int32_t month, int32_t year);
int32_t DaysInYear(int32_t year);
int32_t DayOfYear(int32_t day, int32_t month, int32_t year);
int32_t DaysLeftInYear(int32_t day, int32_t month, int32_t year);
bool IsValidDate(int32_t day, int32_t month, int32_t year);
// 0 equal, 1 the first date is later, 2 the first date is earlier.
int CompareDates(int32_t day1, int32_t month1, int32_t year1, int32_t day2, int32_t month2, int32_t year2);

void AddYears(int32_t& year, int32_t n);
void NormalizeYear(int32_t& year);
void NormalizeMonth(int32_t& month, int32_t& year);
void NormalizeDay(int32_t& day, int32_t& month, int32_t& year);
void NextDay(int32_t& day, int32_t& month, int32_t& year);
void PreviousDay(int32_t& day, int32_t& month, int32_t& year);
void AddDays(int32_t& day, int32_t& month, int32_t& year, int32_t n);

// 1 Monday .. 7 Sunday.
int32_t Weekday(int32_t day, int32_t month, int32_t year);
// 1 Capricorn .. 12 Sagittarius.
int32_t ZodiacSign(int32_t day, int32_t month);

struct DateDifferenceT {
    int32_t Years = 0;
    int32_t Months = 0;
    int32_t Days = 0;
    int64_t TotalMonths = 0;
    int64_t TotalDays = 0;
};
// The distance between two dates in either order; all zero when either date is invalid.
DateDifferenceT DateDifference(int32_t day1, int32_t month1, int32_t year1, int32_t day2, int32_t month2,
                               int32_t year2);

}  // namespace rowsmith::text
