#include "text/dates.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <cstdlib>
#include <limits>
#include <string>

namespace rowsmith::text {
namespace {

struct Ymd {
    int32_t day, month, year;
};

TEST(Calendar, LeapYearsIncludeYearMinusOne) {
    const struct {
        int32_t year;
        bool leap;
    } cases[] = {{1900, false}, {2000, true}, {2004, true}, {2001, false},
                 {-1, true},    {-5, true},   {-2, false}};
    for (const auto& c : cases) EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;
}

TEST(Calendar, DaysInMonthNormalisesTheMonth) {
    const struct {
        int32_t month, year, days;
    } cases[] = {{2, 2000, 29},  {2, 1900, 28},  {4, 2023, 30},
                 {13, 2023, 31}, {14, 2023, 29},  // February 2024
                 {0, 2024, 31},                   // December 2023
                 {-10, 2024, 28}};
    for (const auto& c : cases) EXPECT_EQ(DaysInMonth(c.month, c.year), c.days) << c.month << "/" << c.year;
}

TEST(Calendar, DayOfYearAndDaysLeft) {
    const struct {
        Ymd date;
        int32_t day_of_year, left;
    } cases[] = {{{31, 12, 2023}, 365, 1},
                 {{31, 12, 2024}, 366, 1},
                 {{1, 3, 2024}, 61, 306},
                 {{1, 1, 2023}, 1, 365},
                 {{32, 12, 2023}, 1, 366}};  // normalised to 1 January 2024
    for (const auto& c : cases) {
        EXPECT_EQ(DayOfYear(c.date.day, c.date.month, c.date.year), c.day_of_year) << c.date.day;
        EXPECT_EQ(DaysLeftInYear(c.date.day, c.date.month, c.date.year), c.left) << c.date.day;
    }
}

TEST(Calendar, YearArithmeticSkipsYearZero) {
    const struct {
        int32_t year, n, expected;
    } cases[] = {{-1, 1, 1}, {1, -1, -1}, {-5, 10, 6}, {5, -10, -6}, {2000, 5, 2005}, {-3, -2, -5}};
    for (const auto& c : cases) {
        int32_t y = c.year;
        AddYears(y, c.n);
        EXPECT_EQ(y, c.expected) << c.year << " + " << c.n;
    }
    const struct {
        int32_t year, expected;
    } normalised[] = {{-1, 400}, {-400, 401}, {-401, 400}, {0, 400}, {5, 5}};
    for (const auto& c : normalised) {
        int32_t y = c.year;
        NormalizeYear(y);
        EXPECT_EQ(y, c.expected) << c.year;
    }
}

TEST(Calendar, NormalizeMonthCarriesAndBorrowsYears) {
    const struct {
        int32_t month, year, month_out, year_out;
    } cases[] = {{0, 2024, 12, 2023},  {-12, 2024, 12, 2022}, {13, 2024, 1, 2025},
                 {24, 2024, 12, 2025}, {25, 2024, 1, 2026},   {-11, 1, 1, -1}};
    for (const auto& c : cases) {
        int32_t m = c.month, y = c.year;
        NormalizeMonth(m, y);
        EXPECT_EQ(m, c.month_out) << c.month << "/" << c.year;
        EXPECT_EQ(y, c.year_out) << c.month << "/" << c.year;
    }
    int32_t d = 0, m = 3, y = 2024;
    NormalizeDay(d, m, y);
    EXPECT_EQ(d, 29);
    EXPECT_EQ(m, 2);
    d = 61, m = 1, y = 2023;
    NormalizeDay(d, m, y);
    EXPECT_EQ(d, 2);
    EXPECT_EQ(m, 3);
}

TEST(Calendar, NextAndPreviousDayAreInverse) {
    const struct {
        Ymd before, after;
    } cases[] = {{{31, 12, -1}, {1, 1, 1}},
                 {{28, 2, 2000}, {29, 2, 2000}},
                 {{28, 2, 1900}, {1, 3, 1900}},
                 {{31, 1, 2023}, {1, 2, 2023}},
                 {{31, 12, 2023}, {1, 1, 2024}}};
    for (const auto& c : cases) {
        Ymd d = c.before;
        NextDay(d.day, d.month, d.year);
        EXPECT_EQ(d.day, c.after.day);
        EXPECT_EQ(d.month, c.after.month);
        EXPECT_EQ(d.year, c.after.year);
        PreviousDay(d.day, d.month, d.year);
        EXPECT_EQ(d.day, c.before.day);
        EXPECT_EQ(d.month, c.before.month);
        EXPECT_EQ(d.year, c.before.year);
    }
}

// AddDays walks the calendar routines; the decoder counts days arithmetically. Both must agree.
TEST(Calendar, AddDaysAgreesWithDateValues) {
    const int32_t offsets[] = {0,       1,       59,      60,      61,       365,      366,
                               36525,   146097,  1000000, 2958465, -1,       -365,     -366,
                               -693593, -693594, -2000,   -146097, -1000000, 600000000};
    for (int32_t n : offsets) {
        int32_t d = 30, m = 12, y = 1899;
        AddDays(d, m, y, n);
        const DateInfoT expected = DecodeDateInfo(n);
        EXPECT_EQ(d, expected.Day) << n;
        EXPECT_EQ(m, expected.Month) << n;
        EXPECT_EQ(y, expected.Year) << n;
    }
    // Long walks skip whole 400-year cycles; they must land where the day count says, in both
    // directions and across year 0.
    const struct {
        Ymd start;
        int32_t n;
    } walks[] = {{{1, 1, -1000000}, 800000000},
                 {{15, 6, 3000000}, -2000000000},
                 {{29, 2, 2000}, 2000000000},
                 {{31, 12, -1}, 146097 * 3}};
    for (const auto& w : walks) {
        Ymd d = w.start;
        AddDays(d.day, d.month, d.year, w.n);
        if (d.year > 0 && w.start.year > 0) {
            EXPECT_EQ(
                DateDifference(w.start.day, w.start.month, w.start.year, d.day, d.month, d.year).TotalDays,
                std::abs(static_cast<int64_t>(w.n)));
        }
        AddDays(d.day, d.month, d.year, -w.n);
        EXPECT_EQ(d.day, w.start.day) << w.n;
        EXPECT_EQ(d.month, w.start.month) << w.n;
        EXPECT_EQ(d.year, w.start.year) << w.n;
    }
    int32_t d = 30, m = 2, y = 2001;  // invalid: left alone
    AddDays(d, m, y, 5);
    EXPECT_EQ(d, 30);
    EXPECT_EQ(m, 2);
}

TEST(Calendar, WeekdayAndZodiac) {
    const struct {
        Ymd date;
        int32_t weekday;
    } weekdays[] = {{{1, 1, 2001}, 1},  {{5, 3, 2007}, 1},  {{1, 1, 1900}, 1},
                    {{29, 2, 2000}, 2}, {{1, 1, 1}, 1},     {{31, 12, -1}, 7},
                    {{4, 7, 1776}, 4},  {{14, 2, 2010}, 7}, {{1, 1, -400}, 1}};
    for (const auto& c : weekdays)
        EXPECT_EQ(Weekday(c.date.day, c.date.month, c.date.year), c.weekday)
            << c.date.day << "." << c.date.month << "." << c.date.year;

    const struct {
        int32_t day, month, sign;
    } signs[] = {{20, 1, 1}, {21, 1, 2}, {19, 2, 2}, {20, 2, 3}, {21, 12, 12}, {22, 12, 1}, {15, 13, 1}};
    for (const auto& c : signs) EXPECT_EQ(ZodiacSign(c.day, c.month), c.sign) << c.day << "." << c.month;
}

TEST(Calendar, CompareDates) {
    EXPECT_EQ(CompareDates(1, 1, 2000, 1, 1, 2000), 0);
    EXPECT_EQ(CompareDates(1, 1, 2001, 31, 12, 2000), 1);
    EXPECT_EQ(CompareDates(31, 12, 2000, 1, 1, 2001), 2);
    EXPECT_EQ(CompareDates(2, 3, 2000, 1, 3, 2000), 1);
    EXPECT_EQ(CompareDates(1, 1, -1, 1, 1, 1), 2);
}

TEST(Calendar, DateDifference) {
    const struct {
        Ymd a, b;
        int32_t years, months, days;
        int64_t total_months, total_days;
    } cases[] = {
        {{15, 3, 2000}, {10, 3, 2001}, 0, 11, 26, 11, 360},
        {{10, 3, 2001}, {15, 3, 2000}, 0, 11, 26, 11, 360},  // either order
        {{1, 1, 2000}, {1, 1, 2000}, 0, 0, 0, 0, 0},
        {{31, 1, 2001}, {1, 3, 2001}, 0, 1, 1, 1, 29},
        {{29, 2, 2000}, {28, 2, 2004}, 3, 11, 28, 47, 1460},
        {{1, 1, -1}, {1, 1, 1}, 1, 0, 0, 12, 366},
        {{10, 5, -10}, {10, 5, -5}, 5, 0, 0, 60, 1827},
        {{1, 1, 1900}, {1, 1, 2000}, 100, 0, 0, 1200, 36524},
        {{30, 2, 2001}, {1, 1, 2000}, 0, 0, 0, 0, 0},  // invalid
    };
    for (const auto& c : cases) {
        const DateDifferenceT r = DateDifference(c.a.day, c.a.month, c.a.year, c.b.day, c.b.month, c.b.year);
        EXPECT_EQ(r.Years, c.years) << c.a.day << "." << c.a.month << "." << c.a.year;
        EXPECT_EQ(r.Months, c.months) << c.a.day << "." << c.a.month << "." << c.a.year;
        EXPECT_EQ(r.Days, c.days) << c.a.day << "." << c.a.month << "." << c.a.year;
        EXPECT_EQ(r.TotalMonths, c.total_months) << c.a.day << "." << c.a.month << "." << c.a.year;
        EXPECT_EQ(r.TotalDays, c.total_days) << c.a.day << "." << c.a.month << "." << c.a.year;
    }
}

TEST(DateFormat, Codes) {
    const double sample = EncodeDateValue(5, 3, 2007, 14, 7, 9, 250);
    const struct {
        const char* format;
        const char* expected;
    } cases[] = {
        {"yyyy-mm-dd", "2007-03-05"},
        {"HH:ii:ss:l", "14:07:09:250"},
        {"DDD d", "Mon 5"},
        {"d.m.yy", "5.3.07"},
        {"dcc MMM", "5th Mar"},
        {"dc", "5t"},
        {"d.m.yy d", "05.3.07 05"},  // padding counts every "d" in the format
        {"hh p", "02 p"},
        {"hh pp", "02 pm"},
        {"y", "7"},
        {"yyyyy", "02007"},
        {"zzzzzzzz", "Pisces"},  // a letter beyond the text gives nothing
        {"MMMMMMMMMM", "March"},
        {"a:H:ii:ss", "0:14:07:09"},
        {"fffff", "58830"},  // 14:07:09.250 is 0.588301 of a day
        {"Wk #1 [y]", "Wk #1 [7]"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.format, "0", sample), c.expected) << c.format;

    EXPECT_EQ(FormatDateTime("l", "0", EncodeDateValue(1, 1, 2000, 0, 0, 0, 5)), "5");
    EXPECT_EQ(FormatDateTime("lll", "0", EncodeDateValue(1, 1, 2000, 0, 0, 0, 5)), "500");
    EXPECT_EQ(FormatDateTime("fffff", "0", EncodeDateValue(1, 1, 2000)), "00000");
    EXPECT_EQ(FormatDateTime("dd/mm", "*", EncodeDateValue(5, 3, 2007)), "*5/*3");
}

TEST(DateFormat, StardatesCountFromTheirEpochs) {
    EXPECT_EQ(FormatDateTime("xxxx", "0", EncodeDateValue(1, 1, 2323)), "0");
    EXPECT_EQ(FormatDateTime("xxxxx", "0", EncodeDateValue(2, 1, 2323)), "2.737");
    EXPECT_EQ(FormatDateTime("x", "0", EncodeDateValue(1, 1, 2000)), "-");
    EXPECT_EQ(FormatDateTime("XXXX", "0", EncodeDateValue(1, 2, 2260)), "1.09");
    EXPECT_EQ(FormatDateTime("X", "0", EncodeDateValue(30, 1, 2260)), "-");
}

TEST(DateDecode, TwelveHourClock) {
    const struct {
        int hour, hour12;
        const char* am_pm;
    } cases[] = {{0, 12, "am"}, {1, 1, "am"}, {11, 11, "am"}, {12, 12, "pm"}, {13, 1, "pm"}, {23, 11, "pm"}};
    for (const auto& c : cases) {
        const DateInfoT info = DecodeDateInfo(EncodeDateValue(1, 1, 2020, c.hour));
        EXPECT_EQ(info.Hour, c.hour);
        EXPECT_EQ(info.Hour12, c.hour12) << c.hour;
        EXPECT_EQ(info.AmPm, c.am_pm) << c.hour;
    }
}

TEST(DateDecode, OrdinalSuffixByLastDigit) {
    const struct {
        int32_t day;
        const char* suffix;
    } cases[] = {{1, "st"},  {2, "nd"},  {3, "rd"},  {4, "th"},  {11, "st"}, {12, "nd"},
                 {13, "rd"}, {21, "st"}, {22, "nd"}, {23, "rd"}, {30, "th"}, {31, "st"}};
    for (const auto& c : cases)
        EXPECT_EQ(DecodeDateInfo(EncodeDateValue(c.day, 1, 2020)).OrdinalSuffix, c.suffix) << c.day;
}

TEST(DateDecode, FieldsAndEdges) {
    const DateInfoT info = DecodeDateInfo(EncodeDateValue(5, 3, 2007, 14, 7, 9, 250));
    EXPECT_EQ(info.Year, 2007);
    EXPECT_EQ(info.Weekday, 1);
    EXPECT_EQ(info.DayName, "Monday");
    EXPECT_EQ(info.Zodiac, 3);
    EXPECT_EQ(info.ZodiacName, "Pisces");
    EXPECT_EQ(info.Millisecond, 250);
    EXPECT_EQ(info.Reserved, 0);
    EXPECT_DOUBLE_EQ(info.WholeDays, 39146);
    EXPECT_NEAR(info.DayFraction, 0.5883015, 1e-6);
    const int32_t packed = (27 << 9 | 3 << 5 | 5) << 16 | (14 << 11 | 7 << 5 | 4);
    EXPECT_EQ(info.FileDate, packed);
    EXPECT_EQ(DecodeDateInfo(EncodeDateValue(31, 12, 1979)).FileDate, 0);

    // Before the epoch the fraction still counts forward from midnight.
    const DateInfoT before = DecodeDateInfo(-1.25);
    EXPECT_EQ(before.Day, 29);
    EXPECT_EQ(before.Month, 12);
    EXPECT_EQ(before.Year, 1899);
    EXPECT_EQ(before.Hour, 6);
    // A fraction that rounds to midnight belongs to the next day.
    const DateInfoT rounded = DecodeDateInfo(1.9999999999);
    EXPECT_EQ(rounded.Day, 1);
    EXPECT_EQ(rounded.Month, 1);
    EXPECT_EQ(rounded.Year, 1900);
    EXPECT_EQ(rounded.Hour, 0);

    const Ymd round_trips[] = {{1, 1, 1}, {31, 12, -1}, {29, 2, 2000}, {1, 1, -4713}};
    for (const Ymd& d : round_trips) {
        const DateInfoT back = DecodeDateInfo(EncodeDateValue(d.day, d.month, d.year));
        EXPECT_EQ(back.Day, d.day);
        EXPECT_EQ(back.Month, d.month);
        EXPECT_EQ(back.Year, d.year);
    }
}

TEST(DateDecode, PackedFileDates) {
    const int32_t packed = (27 << 9 | 3 << 5 | 5) << 16 | (14 << 11 | 7 << 5 | 4);
    const DateInfoT info = DateInfoFromFileDate(packed);
    EXPECT_EQ(FormatDateInfo("yyyy-mm-dd HH:ii:ss", info, "0"), "2007-03-05 14:07:08");
    // Invalid packed dates decode as the value 0.
    const int32_t invalid[] = {0, (27 << 9 | 13 << 5 | 5) << 16, (27 << 9 | 2 << 5 | 30) << 16,
                               (27 << 9 | 3 << 5 | 5) << 16 | 24 << 11};
    for (int32_t p : invalid)
        EXPECT_EQ(FormatDateInfo("yyyy-mm-dd", DateInfoFromFileDate(p), "0"), "1899-12-30") << p;
}

TEST(DateDecode, UnixTimesFollowTheTimeZone) {
    EXPECT_DOUBLE_EQ(DateValueFromUnix(0, false), 25569.0);
    EXPECT_DOUBLE_EQ(DateValueFromUnix(int64_t{86400 + 43200} * 1000000000, false), 25570.5);
    EXPECT_EQ(
        FormatDateInfo("yyyy-mm-dd HH:ii:ss:lll", DecodeDateInfo(DateValueFromUnix(-1000000, false)), "0"),
        "1969-12-31 23:59:59:999");

    const char* saved = getenv("TZ");
    const std::string old = saved ? saved : "";
    setenv("TZ", "EST5", 1);
    tzset();
    const int64_t noon_utc = int64_t{1700000000} * 1000000000;
    const double local = DateValueFromUnix(noon_utc, true);
    EXPECT_NEAR(DateValueFromUnix(noon_utc, false) - local, 5.0 / 24, 1e-9);
    EXPECT_EQ(DateInfoFromFileTime(noon_utc).Hour, DecodeDateInfo(local).Hour);
    if (saved)
        setenv("TZ", old.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}


// The file list's two fixed formats take a shortcut; it must write what the format language writes.
TEST(Formatting, FixedFormatsMatchTheGeneralRoutine) {
    const double one_ms = 1.0 / 86400000.0;
    const double values[] = {
        0,                                      // 30 December 1899, midnight
        1.5,                                    // noon
        EncodeDateValue(9, 12, 2026, 0, 19, 5, 680),
        EncodeDateValue(1, 1, 2000, 23, 59, 59, 999),
        EncodeDateValue(1, 1, 2000, 23, 59, 59, 999) + one_ms * 0.6,  // rounds up to the next midnight
        EncodeDateValue(29, 2, 2024, 7, 8, 9, 5),
        EncodeDateValue(31, 12, 1999, 12, 0, 0, 50),
        EncodeDateValue(1, 1, 1, 1, 2, 3, 4),        // year 1: padded to four digits
        EncodeDateValue(31, 12, 9999, 23, 59, 59, 999),
        EncodeDateValue(1, 1, 10000),              // five digits: the general routine cuts them
        EncodeDateValue(31, 12, -1, 6, 0, 0, 0),     // before year 1
        -1.25,                                  // 29 December 1899, 06:00
        -700000.75,
        1e300,                                  // out of range: read as 0
        std::numeric_limits<double>::quiet_NaN(),
    };
    for (const char* format : {"yyyy-mm-dd", "HH:ii:ss:l"}) {
        for (const double v : values) {
            std::string fixed;
            const bool took = FormatFixedDateTime(format, "0", v, fixed);
            const std::string general = FormatDateInfo(format, DecodeDateInfo(v), "0");
            if (took) EXPECT_EQ(fixed, general) << format << " " << v;
            EXPECT_EQ(FormatDateTime(format, "0", v), general) << format << " " << v;
        }
    }
    // Every millisecond width and every hour of a day.
    for (int ms = 0; ms < 1000; ms += 7)
        for (int hour = 0; hour < 24; hour += 5) {
            const double v = EncodeDateValue(15, 6, 2031, hour, ms % 60, (ms / 3) % 60, ms);
            std::string fixed;
            ASSERT_TRUE(FormatFixedDateTime("HH:ii:ss:l", "0", v, fixed));
            EXPECT_EQ(fixed, FormatDateInfo("HH:ii:ss:l", DecodeDateInfo(v), "0")) << v;
        }
    // Other formats and fills are left to the general routine.
    std::string untouched = "keep";
    EXPECT_FALSE(FormatFixedDateTime("dd.mm.yyyy", "0", 1.5, untouched));
    EXPECT_FALSE(FormatFixedDateTime("yyyy-mm-dd", " ", 1.5, untouched));
    EXPECT_FALSE(FormatFixedDateTime("yyyy-mm-dd", "0", EncodeDateValue(1, 1, 10000), untouched));
    EXPECT_EQ(untouched, "keep");
}

}  // namespace
}  // namespace rowsmith::text
