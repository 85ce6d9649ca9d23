#include <keldar/core/Chrono.h>

#include <date/tz.h>

#include <chrono>
#include <exception>

namespace Keldar::Chrono {

std::int64_t msSinceUnixEpoch()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string getDateTimeString(const std::string& format, std::int64_t msSinceEpoch, const std::string& timeZone)
{
    const date::sys_time<std::chrono::milliseconds> instant{std::chrono::milliseconds(msSinceEpoch)};
    // The date library loads the zone database once, on first use, and shares it.
    const date::time_zone* zone = nullptr;
    try {
        zone = timeZone.empty() ? date::current_zone() : date::locate_zone(timeZone);
    } catch (const std::exception&) {
        if (!timeZone.empty()) {
            return "Invalid timezone";
        }
        // A machine without a configured local zone shows UTC rather than nothing.
        zone = date::locate_zone("UTC");
    }
    return date::format(format, date::make_zoned(zone, instant));
}

bool isKnownTimeZone(const std::string& timeZone)
{
    if (timeZone.empty()) {
        return false;
    }
    try {
        return date::locate_zone(timeZone) != nullptr;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace Keldar::Chrono
