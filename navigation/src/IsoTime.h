#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace Keldar::Navigation {

/// "2026-12-08T10:58:01.250Z" for ms since the Unix epoch.
inline std::string isoTime(std::int64_t ms)
{
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds(ms)};
    const auto day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(time - day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ld.%03ldZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
                  static_cast<long>(clock.seconds().count()), static_cast<long>(clock.subseconds().count()));
    return text;
}

} // namespace Keldar::Navigation
