#include "log_time.h"

#include <cstdio>

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
}

struct CivilDate {
    int year;
    unsigned month;
    unsigned day;
};

CivilDate CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const int year = static_cast<int>(yearOfEra + era * 400) + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(int year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Two decimal digits at `at`, or -1.
int TwoDigits(std::string_view text, std::size_t at) {
    const char high = text[at];
    const char low = text[at + 1];
    if (high < '0' || high > '9' || low < '0' || low > '9') return -1;
    return (high - '0') * 10 + (low - '0');
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t by) {
    return value / by - (value % by != 0 && (value < 0) != (by < 0) ? 1 : 0);
}

}  // namespace

std::optional<LogTime> LogTime::Parse(std::string_view text) {
    if (text.size() != kLength || text[2] != '/' || text[5] != '/' || text[8] != ' ' ||
        text[11] != ':' || text[14] != ':') {
        return std::nullopt;
    }
    const int month = TwoDigits(text, 0);
    const int day = TwoDigits(text, 3);
    const int shortYear = TwoDigits(text, 6);
    const int hour = TwoDigits(text, 9);
    const int minute = TwoDigits(text, 12);
    const int second = TwoDigits(text, 15);
    if (month < 1 || month > 12 || shortYear < 0 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60) {  // 60: a leap second
        return std::nullopt;
    }
    const int year = shortYear >= 69 ? 1900 + shortYear : 2000 + shortYear;
    if (day < 1 || static_cast<unsigned>(day) > DaysInMonth(year, static_cast<unsigned>(month))) {
        return std::nullopt;
    }
    const std::int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return LogTime(days * kSecondsPerDay + hour * 3600 + minute * 60 + second);
}

std::int64_t LogTime::Hour() const { return FloorDiv(seconds_, 3600); }

std::int64_t LogTime::Day() const { return FloorDiv(seconds_, kSecondsPerDay); }

std::string LogTime::DateText() const {
    const CivilDate date = CivilFromDays(Day());
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", date.year, date.month, date.day);
    return text;
}

std::string LogTime::HourText() const {
    char text[16];
    std::snprintf(text, sizeof text, " %02d:00", static_cast<int>(Hour() - Day() * 24));
    return DateText() + text;
}

std::string LogTime::Text() const {
    const std::int64_t secondOfDay = seconds_ - Day() * kSecondsPerDay;
    char text[16];
    std::snprintf(text, sizeof text, " %02d:%02d:%02d", static_cast<int>(secondOfDay / 3600),
                  static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
    return DateText() + text;
}
