#pragma once

#include <cstdint>
#include <string>

namespace Keldar::Chrono {

// Wall-clock milliseconds since 1970-01-01 00:00 UTC.
std::int64_t msSinceUnixEpoch();

// Formats `msSinceEpoch` in the IANA zone `timeZone` (the computer's own zone
// when empty) with strftime-style specifiers, e.g. "%Y-%m-%d %H:%M:%S"; %S
// carries the milliseconds. An unknown zone gives "Invalid timezone".
std::string getDateTimeString(const std::string& format, std::int64_t msSinceEpoch, const std::string& timeZone);

// Whether getDateTimeString can format in the IANA zone `timeZone`.
bool isKnownTimeZone(const std::string& timeZone);

} // namespace Keldar::Chrono
