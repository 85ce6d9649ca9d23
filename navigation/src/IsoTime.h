#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace Keldar::Navigation {

/// A UTC time in calendar fields.
struct UtcFields
{
    int year;
    unsigned month;
    unsigned day;
    long hours;
    long minutes;
    long seconds;
    long milliseconds;
};

inline UtcFields utcFields(std::int64_t ms)
{
    using namespace std::chrono;
    const sys_time<std::chrono::milliseconds> time{std::chrono::milliseconds(ms)};
    const auto midnight = floor<days>(time);
    const year_month_day date(midnight);
    const hh_mm_ss clock(time - midnight);
    return {static_cast<int>(date.year()),
            static_cast<unsigned>(date.month()),
            static_cast<unsigned>(date.day()),
            static_cast<long>(clock.hours().count()),
            static_cast<long>(clock.minutes().count()),
            static_cast<long>(clock.seconds().count()),
            static_cast<long>(clock.subseconds().count())};
}

/// "2026-12-08T10:58:01.250Z" for ms since the Unix epoch.
inline std::string isoTime(std::int64_t ms)
{
    const auto t = utcFields(ms);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ld.%03ldZ", t.year, t.month, t.day, t.hours,
                  t.minutes, t.seconds, t.milliseconds);
    return text;
}

} // namespace Keldar::Navigation
