#include "text/dates.h"

#include <time.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "text/numbers.h"

namespace rowsmith::text {

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kNsPerSecond = 1000000000;
// 30 December 1899 counted from 1 January 1970.
constexpr int64_t kEpochOffsetDays = 25569;
// Whole 400-year cycles have a fixed length, which lets long day walks skip them.
constexpr int64_t kDaysPer400Years = 146097;
// Values further out would give years beyond the 32-bit range.
constexpr double kMaxDateValue = 3.6e11;

constexpr std::array<int32_t, 12> kMonthDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr std::array<std::array<int32_t, 12>, 2> kDaysBeforeMonth = {{
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
}};
// The last day of the sign that each month starts with.
constexpr std::array<int32_t, 12> kZodiacLimits = {20, 19, 20, 20, 20, 21, 22, 23, 23, 23, 22, 21};

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

int64_t FloorMod(int64_t a, int64_t b) {
    return a - FloorDiv(a, b) * b;
}

int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

std::string_view PickName(std::string_view list, int32_t index) {
    if (index < 1) return {};
    std::size_t start = 0;
    for (int32_t i = 1; i < index; ++i) {
        start = list.find(',', start);
        if (start == std::string_view::npos) return {};
        ++start;
    }
    const std::size_t end = list.find(',', start);
    return list.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

// ---- Conversions on the astronomical year numbering (year 0 = year -1 of the program's calendar).

int64_t AstronomicalYear(int64_t year) {
    return year > 0 ? year : (year == 0 ? 1 : year + 1);
}
int64_t CalendarYear(int64_t astronomical) {
    return astronomical > 0 ? astronomical : astronomical - 1;
}

// Days since 1 January 1970; the month may lie outside 1..12 and the day is counted linearly.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y += FloorDiv(m - 1, 12);
    m = FloorMod(m - 1, 12) + 1;
    if (m <= 2) --y;
    const int64_t era = FloorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * kDaysPer400Years + doe - 719468 + (d - 1);
}

void CivilFromDays(int64_t z, int64_t& y, int32_t& m, int32_t& d) {
    z += 719468;
    const int64_t era = FloorDiv(z, kDaysPer400Years);
    const int64_t doe = z - era * kDaysPer400Years;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

double ValueFromDayAndTime(int64_t days, double fraction) {
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

// ---- Calendar helpers in 64 bits, for dates already known to be valid.

bool Leap64(int64_t year) {
    if (year <= 0) year = 3 - year;
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t MonthLength(int32_t month, int64_t year) {
    return month == 2 && Leap64(year) ? 29 : kMonthDays[static_cast<std::size_t>(month - 1)];
}

int32_t DayOfYearValid(int32_t day, int32_t month, int64_t year) {
    return kDaysBeforeMonth[Leap64(year) ? 1 : 0][static_cast<std::size_t>(month - 1)] + day;
}

// Leap years from year 1 up to year y (y >= 0).
int64_t LeapYearsThrough(int64_t y) {
    return y / 4 - y / 100 + y / 400;
}

void AddYears64(int64_t& year, int64_t n) {
    int64_t r = year + n;
    if (year < 0 && r >= 0)
        ++r;
    else if (year > 0 && r <= 0)
        --r;
    if (r == 0) r = n < 0 ? -1 : 1;
    year = r;
}

void AddDays64(int32_t& day, int32_t& month, int32_t& year, int64_t n) {
    if (!IsValidDate(day, month, year)) return;
    if (n > 0) {
        for (;;) {
            const int64_t left = (Leap64(year) ? 366 : 365) - DayOfYearValid(day, month, year) + 1;
            if (n < left) break;
            n -= left;
            day = 1;
            month = 1;
            AddYears(year, 1);
            // From 1 January of year y, whole cycles stay on one side of year 0: any number for y >= 1,
            // at most -y / 400 for negative years (the leap pattern repeats every 400 years on both sides).
            if (n >= kDaysPer400Years) {
                int64_t cycles = n / kDaysPer400Years;
                if (year < 0) cycles = std::min<int64_t>(cycles, -static_cast<int64_t>(year) / 400);
                if (cycles > 0) {
                    n -= cycles * kDaysPer400Years;
                    int64_t y = year;
                    AddYears64(y, cycles * 400);
                    year = Clamp32(y);
                }
            }
        }
        for (; n > 0; --n) NextDay(day, month, year);
    } else if (n < 0) {
        n = -n;
        for (;;) {
            const int64_t before = DayOfYearValid(day, month, year);
            if (n < before) break;
            n -= before;
            day = 31;
            month = 12;
            AddYears(year, -1);
            // From 31 December of year y, whole cycles back stay on one side of year 0: at most y / 400
            // for positive years, any number for negative ones.
            if (n >= kDaysPer400Years) {
                int64_t cycles = n / kDaysPer400Years;
                if (year > 0) cycles = std::min<int64_t>(cycles, year / 400);
                if (cycles > 0) {
                    n -= cycles * kDaysPer400Years;
                    int64_t y = year;
                    AddYears64(y, -cycles * 400);
                    year = Clamp32(y);
                }
            }
        }
        for (; n > 0; --n) PreviousDay(day, month, year);
    }
}

}  // namespace

std::string_view MonthName(int32_t month) {
    return PickName(kMonthNames, month);
}
std::string_view WeekdayName(int32_t weekday) {
    return PickName(kWeekdayNames, weekday);
}
std::string_view ZodiacName(int32_t sign) {
    return PickName(kZodiacNames, sign);
}

// ---- Date-time values

double EncodeDateValue(int32_t day, int32_t month, int32_t year, int hour, int minute, int second,
                       int millisecond) {
    int64_t days = DaysFromCivil(AstronomicalYear(year), month, day) + kEpochOffsetDays;
    const int64_t ms = static_cast<int64_t>(hour) * 3600000 + static_cast<int64_t>(minute) * 60000 +
                       static_cast<int64_t>(second) * 1000 + millisecond;
    days += FloorDiv(ms, kMsPerDay);
    return ValueFromDayAndTime(days, static_cast<double>(FloorMod(ms, kMsPerDay)) / kMsPerDay);
}

double DateValueFromUnix(int64_t unix_ns, bool local) {
    const int64_t seconds = FloorDiv(unix_ns, kNsPerSecond);
    const int64_t sub_ns = unix_ns - seconds * kNsPerSecond;
    int64_t days = FloorDiv(seconds, 86400) + kEpochOffsetDays;
    int64_t second_of_day = FloorMod(seconds, 86400);
    if (local) {
        const time_t t = static_cast<time_t>(seconds);
        struct tm parts {};
        if (localtime_r(&t, &parts) != nullptr) {
            days =
                DaysFromCivil(static_cast<int64_t>(parts.tm_year) + 1900, parts.tm_mon + 1, parts.tm_mday) +
                kEpochOffsetDays;
            // A leap second (tm_sec 60) stays within its day.
            second_of_day = std::min<int64_t>(parts.tm_hour * 3600 + parts.tm_min * 60 + parts.tm_sec, 86399);
        }
    }
    const double fraction = static_cast<double>(second_of_day * kNsPerSecond + sub_ns) /
                            (86400.0 * static_cast<double>(kNsPerSecond));
    return ValueFromDayAndTime(days, fraction);
}

double DateValueFromUnix(std::chrono::system_clock::time_point t, bool local) {
    return DateValueFromUnix(
        std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count(), local);
}

double NowDateValue() {
    return DateValueFromUnix(std::chrono::system_clock::now(), true);
}

// ---- Decoding

namespace {

// The numeric fields of a date-time value: what both the full decoding and the fixed formats use.
void DecodeNumbers(double& value, DateInfoT& info) {
    if (!std::isfinite(value) || std::fabs(value) > kMaxDateValue) value = 0;
    const double whole = std::trunc(value);
    info.WholeDays = whole;
    info.DayFraction = value - whole;

    int64_t days = static_cast<int64_t>(whole);
    int64_t ms = static_cast<int64_t>(std::nearbyint(std::fabs(info.DayFraction) * kMsPerDay));
    if (ms >= kMsPerDay) {  // rounded up to the next midnight
        ms -= kMsPerDay;
        ++days;
    }
    int64_t astronomical = 0;
    CivilFromDays(days - kEpochOffsetDays, astronomical, info.Month, info.Day);
    info.Year = Clamp32(CalendarYear(astronomical));
    info.Hour = static_cast<uint16_t>(ms / 3600000);
    info.Minute = static_cast<uint16_t>(ms / 60000 % 60);
    info.Second = static_cast<uint16_t>(ms / 1000 % 60);
    info.Millisecond = static_cast<uint16_t>(ms % 1000);
}

void PutTwoDigits(char* at, int v) {
    at[0] = static_cast<char>('0' + v / 10 % 10);
    at[1] = static_cast<char>('0' + v % 10);
}

}  // namespace

bool FormatFixedDateTime(std::string_view format, std::string_view fill, double value, std::string& out) {
    const bool date = format == "yyyy-mm-dd";
    if ((!date && format != "HH:ii:ss:l") || fill != "0") return false;
    DateInfoT info;
    DecodeNumbers(value, info);
    if (date) {
        // Other years pad or cut differently (signs, more digits): the general routine has them.
        if (info.Year < 1 || info.Year > 9999) return false;
        char buf[10] = {0, 0, 0, 0, '-', 0, 0, '-', 0, 0};
        PutTwoDigits(buf, info.Year / 100);
        PutTwoDigits(buf + 2, info.Year % 100);
        PutTwoDigits(buf + 5, info.Month);
        PutTwoDigits(buf + 8, info.Day);
        out.assign(buf, sizeof buf);
        return true;
    }
    char buf[12] = {0, 0, ':', 0, 0, ':', 0, 0, ':'};
    PutTwoDigits(buf, info.Hour);
    PutTwoDigits(buf + 3, info.Minute);
    PutTwoDigits(buf + 6, info.Second);
    // The milliseconds are not padded ("l" is a single letter).
    std::size_t n = 9;
    const int ms = info.Millisecond;
    if (ms >= 100) buf[n++] = static_cast<char>('0' + ms / 100);
    if (ms >= 10) buf[n++] = static_cast<char>('0' + ms / 10 % 10);
    buf[n++] = static_cast<char>('0' + ms % 10);
    out.assign(buf, n);
    return true;
}

DateInfoT DecodeDateInfo(double value) {
    DateInfoT info;
    DecodeNumbers(value, info);

    if (info.Year >= 1980 && info.Year <= 2107) {
        const uint32_t date = static_cast<uint32_t>((info.Year - 1980) << 9 | info.Month << 5 | info.Day);
        const uint32_t time = static_cast<uint32_t>(info.Hour << 11 | info.Minute << 5 | info.Second >> 1);
        info.FileDate = static_cast<int32_t>(date << 16 | time);
    }

    // A 12-hour clock: 0 is 12 am, 1..11 am, 12 is 12 pm, 13..23 are 1..11 pm.
    if (info.Hour == 0 || info.Hour == 24) {
        info.Hour12 = 12;
        info.AmPm = "am";
    } else if (info.Hour < 12) {
        info.Hour12 = info.Hour;
        info.AmPm = "am";
    } else if (info.Hour == 12) {
        info.Hour12 = 12;
        info.AmPm = "pm";
    } else {
        info.Hour12 = static_cast<uint16_t>(info.Hour - 12);
        info.AmPm = "pm";
    }

    if ((info.Day - 1) % 10 == 0)
        info.OrdinalSuffix = "st";
    else if ((info.Day - 2) % 10 == 0)
        info.OrdinalSuffix = "nd";
    else if ((info.Day - 3) % 10 == 0)
        info.OrdinalSuffix = "rd";
    else
        info.OrdinalSuffix = "th";

    info.Weekday = Weekday(info.Day, info.Month, info.Year);
    info.Zodiac = ZodiacSign(info.Day, info.Month);
    info.MonthName = MonthName(info.Month);
    info.DayName = WeekdayName(info.Weekday);
    info.ZodiacName = ZodiacName(info.Zodiac);
    return info;
}

DateInfoT DateInfoFromFileTime(int64_t unix_ns) {
    return DecodeDateInfo(DateValueFromUnix(unix_ns, true));
}

DateInfoT DateInfoFromFileTime(std::chrono::system_clock::time_point t) {
    return DecodeDateInfo(DateValueFromUnix(t, true));
}

DateInfoT DateInfoFromFileDate(int32_t packed) {
    const uint32_t bits = static_cast<uint32_t>(packed);
    const int32_t second = static_cast<int32_t>(bits & 31) * 2;
    const int32_t minute = static_cast<int32_t>(bits >> 5 & 63);
    const int32_t hour = static_cast<int32_t>(bits >> 11 & 31);
    const int32_t day = static_cast<int32_t>(bits >> 16 & 31);
    const int32_t month = static_cast<int32_t>(bits >> 21 & 15);
    const int32_t year = static_cast<int32_t>(bits >> 25) + 1980;
    double value = 0;
    if (IsValidDate(day, month, year) && hour < 24 && minute < 60 && second < 60)
        value = EncodeDateValue(day, month, year, hour, minute, second);
    return DecodeDateInfo(value);
}

// ---- Formatting

namespace {

bool IsNumericCode(char c) {
    switch (c) {
        case 'd':
        case 'm':
        case 'y':
        case 'H':
        case 'h':
        case 'i':
        case 's':
        case 'l':
        case 'a':
            return true;
        default:
            return false;
    }
}

bool IsTextCode(char c) {
    switch (c) {
        case 'D':
        case 'M':
        case 'z':
        case 'p':
        case 'c':
        case 'f':
        case 'F':
        case 'x':
        case 'X':
            return true;
        default:
            return false;
    }
}

std::string NumericCode(char c, const DateInfoT& info, int64_t width, std::string_view fill) {
    switch (c) {
        case 'd':
            return LeadingZeros(info.Day, width, fill);
        case 'm':
            return LeadingZeros(info.Month, width, fill);
        case 'y': {
            int64_t year = info.Year;
            if (width < 10) {
                int64_t modulus = 1;
                for (int64_t i = 0; i < width; ++i) modulus *= 10;
                year = year < 0 ? -(-year % modulus) : year % modulus;
            }
            return LeadingZeros(year, width, fill);
        }
        case 'H':
            return LeadingZeros(info.Hour, width, fill);
        case 'h':
            return LeadingZeros(info.Hour12, width, fill);
        case 'i':
            return LeadingZeros(info.Minute, width, fill);
        case 's':
            return LeadingZeros(info.Second, width, fill);
        case 'l':
            return PadText(IntText(info.Millisecond), fill, width, 1);
        default:
            return LeadingZeros(info.Reserved, width, fill);
    }
}

std::string TextCode(char c, const DateInfoT& info) {
    switch (c) {
        case 'D':
            return info.DayName;
        case 'M':
            return info.MonthName;
        case 'z':
            return info.ZodiacName;
        case 'p':
            return info.AmPm;
        case 'c':
            return info.OrdinalSuffix;
        case 'f':
        case 'F': {
            const int64_t ms = static_cast<int64_t>(info.Hour) * 3600000 + info.Minute * 60000 +
                               info.Second * 1000 + info.Millisecond;
            const std::string text = FloatText(static_cast<double>(ms) / kMsPerDay, 5);
            const std::size_t point = text.find('.');
            return point == std::string::npos ? std::string("00000") : text.substr(point + 1);
        }
        case 'x': {
            static const double kStart2323 = EncodeDateValue(1, 1, 2323);
            const double value = info.WholeDays + info.DayFraction;
            return ShortFloatText(1000.0 * (value - kStart2323) / 365.24221041666);
        }
        default: {  // 'X'
            static const double kStart2260 = EncodeDateValue(31, 1, 2260);
            const double value = info.WholeDays + info.DayFraction;
            return ShortFloatText((value - kStart2260) * 1.09927053);
        }
    }
}

}  // namespace

std::string FormatDateInfo(std::string_view format, const DateInfoT& info, std::string_view fill) {
    std::array<int64_t, 256> counts{};
    for (char c : format) ++counts[static_cast<unsigned char>(c)];
    std::array<std::size_t, 256> used{};
    std::array<std::string, 256> texts;
    std::array<bool, 256> have_text{};

    std::string out;
    out.reserve(format.size() + 16);
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        const auto key = static_cast<unsigned char>(c);
        if (IsNumericCode(c)) {
            out += NumericCode(c, info, counts[key], fill);
            while (i < format.size() && format[i] == c) ++i;
            continue;
        }
        if (IsTextCode(c)) {
            if (!have_text[key]) {
                texts[key] = TextCode(c, info);
                have_text[key] = true;
            }
            const std::size_t k = used[key]++;
            if (k < texts[key].size()) out += texts[key][k];
        } else {
            out += c;
        }
        ++i;
    }
    return out;
}

std::string FormatDateTime(std::string_view format, std::string_view fill, double value) {
    std::string out;
    if (FormatFixedDateTime(format, fill, value, out)) return out;
    return FormatDateInfo(format, DecodeDateInfo(value), fill);
}

// ---- Calendar arithmetic

bool IsLeapYear(int32_t year) {
    return Leap64(year);
}

int32_t DaysInMonth(int32_t month, int32_t year) {
    NormalizeMonth(month, year);
    return MonthLength(month, year);
}

int32_t DaysInYear(int32_t year) {
    return Leap64(year) ? 366 : 365;
}

int32_t DayOfYear(int32_t day, int32_t month, int32_t year) {
    NormalizeDay(day, month, year);
    return DayOfYearValid(day, month, year);
}

int32_t DaysLeftInYear(int32_t day, int32_t month, int32_t year) {
    NormalizeDay(day, month, year);
    return DaysInYear(year) - DayOfYearValid(day, month, year) + 1;
}

bool IsValidDate(int32_t day, int32_t month, int32_t year) {
    return month >= 1 && month <= 12 && day >= 1 && day <= MonthLength(month, year);
}

int CompareDates(int32_t day1, int32_t month1, int32_t year1, int32_t day2, int32_t month2, int32_t year2) {
    if (year1 != year2) return year1 > year2 ? 1 : 2;
    if (month1 != month2) return month1 > month2 ? 1 : 2;
    if (day1 != day2) return day1 > day2 ? 1 : 2;
    return 0;
}

void AddYears(int32_t& year, int32_t n) {
    int64_t y = year;
    AddYears64(y, n);
    year = Clamp32(y);
}

void NormalizeYear(int32_t& year) {
    if (year >= 1) return;
    int64_t y = year;
    AddYears64(y, (-y / 400 + 1) * 400);
    year = Clamp32(y);
}

void NormalizeMonth(int32_t& month, int32_t& year) {
    int64_t m = month;
    int64_t y = year;
    if (m < 1) {
        const int64_t borrowed = (12 - m) / 12;
        m += borrowed * 12;
        AddYears64(y, -borrowed);
    } else if (m > 12) {
        int64_t carried = m / 12;
        m %= 12;
        if (m == 0) {
            m = 12;
            --carried;
        }
        AddYears64(y, carried);
    }
    month = static_cast<int32_t>(m);
    year = Clamp32(y);
}

void NormalizeDay(int32_t& day, int32_t& month, int32_t& year) {
    NormalizeMonth(month, year);
    const int32_t length = MonthLength(month, year);
    if (day > length) {
        const int64_t extra = static_cast<int64_t>(day) - length;
        day = length;
        AddDays64(day, month, year, extra);
    } else if (day < 1) {
        const int64_t back = static_cast<int64_t>(day) - 1;
        day = 1;
        AddDays64(day, month, year, back);
    }
}

void NextDay(int32_t& day, int32_t& month, int32_t& year) {
    NormalizeMonth(month, year);
    if (day < MonthLength(month, year)) {
        ++day;
        return;
    }
    day = 1;
    if (++month > 12) {
        month = 1;
        AddYears(year, 1);
    }
}

void PreviousDay(int32_t& day, int32_t& month, int32_t& year) {
    NormalizeMonth(month, year);
    if (day > 1) {
        --day;
        return;
    }
    if (--month < 1) {
        month = 12;
        AddYears(year, -1);
    }
    day = MonthLength(month, year);
}

void AddDays(int32_t& day, int32_t& month, int32_t& year, int32_t n) {
    AddDays64(day, month, year, n);
}

int32_t Weekday(int32_t day, int32_t month, int32_t year) {
    NormalizeMonth(month, year);
    NormalizeYear(year);
    const int64_t y = static_cast<int64_t>(year) - 1;
    int64_t w = y + y / 4 - y / 100 + y / 400 + day;
    for (int32_t m = 1; m < month; ++m) w += MonthLength(m, year);
    w = FloorMod(w, 7);
    return w == 0 ? 7 : static_cast<int32_t>(w);
}

int32_t ZodiacSign(int32_t day, int32_t month) {
    if (month < 1 || month > 12) month = 1;
    if (day <= kZodiacLimits[static_cast<std::size_t>(month - 1)]) return month;
    return month == 12 ? 1 : month + 1;
}

DateDifferenceT DateDifference(int32_t day1, int32_t month1, int32_t year1, int32_t day2, int32_t month2,
                               int32_t year2) {
    DateDifferenceT r;
    if (!IsValidDate(day1, month1, year1) || !IsValidDate(day2, month2, year2)) return r;
    if (CompareDates(day1, month1, year1, day2, month2, year2) == 1) {
        std::swap(day1, day2);
        std::swap(month1, month2);
        std::swap(year1, year2);
    }
    int64_t y1 = year1;
    int64_t y2 = year2;
    if (y1 <= 0) {
        // Step over the missing year 0, then move both into positive years by whole cycles, which keeps
        // the leap pattern between them.
        y1 += 1;
        if (y2 <= 0) y2 += 1;
        const int64_t cycles = -y1 / 400 + 1;
        y1 += cycles * 400;
        y2 += cycles * 400;
    }
    int64_t years = y2 - y1;
    int64_t months = month2 - month1;
    if (month2 < month1) {
        months += 12;
        --years;
    } else if (month2 == month1 && day2 < day1) {
        months = 12;
        --years;
    }
    int64_t days = day2 - day1;
    if (day2 < day1) {
        days += MonthLength(month1, y1);
        --months;
    }
    const int64_t doy1 = DayOfYearValid(day1, month1, y1);
    const int64_t doy2 = DayOfYearValid(day2, month2, y2);
    if (y1 == y2) {
        r.TotalDays = doy2 - doy1;
    } else {
        const int64_t year_days = 365 * (y2 - y1) + LeapYearsThrough(y2 - 1) - LeapYearsThrough(y1 - 1);
        r.TotalDays = year_days - doy1 + doy2;
    }
    r.Years = Clamp32(years);
    r.Months = static_cast<int32_t>(months);
    r.Days = static_cast<int32_t>(days);
    r.TotalMonths = years * 12 + months;
    return r;
}

}  // namespace rowsmith::text
