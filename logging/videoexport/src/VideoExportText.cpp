#include <keldar/logging/videoexport/VideoExportText.h>

#include <keldar/core/Chrono.h>
#include <keldar/core/Filesystem.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace Keldar::Logging::VideoExport {

std::string relativeTimestampText(std::int64_t framesWritten, std::int64_t cutMs)
{
    // Exact thirtieths of a second: with the rounded frame period frame 30
    // would read 999 ms and show one second late.
    const std::int64_t t = framesWritten * 100 / 3 + cutMs;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(t / 3600000),
                  static_cast<long long>((t / 60000) % 60), static_cast<long long>((t / 1000) % 60));
    return text;
}

std::string absoluteTimestampText(std::int64_t msSinceEpoch, const std::string& timeZone)
{
    // Whole seconds, so that %S carries no fraction; the day of the month
    // comes without a leading zero.
    const std::int64_t seconds = msSinceEpoch - ((msSinceEpoch % 1000) + 1000) % 1000;
    std::string text = Chrono::getDateTimeString("%a %d %b %Y %H:%M:%S", seconds, timeZone);
    if (text.size() > 4 && text[4] == '0') {
        text.erase(4, 1);
    }
    if (const auto dot = text.rfind('.'); dot != std::string::npos) {
        text.erase(dot);
    }
    return text + " " + Chrono::getDateTimeString("%Ez", seconds, timeZone);
}

std::optional<std::string> formatterTimeZone(const std::string& name)
{
    if (name.empty()) {
        return std::nullopt;
    }
    if (Chrono::isKnownTimeZone(name)) {
        return name;
    }
    // Qt's names for whole-hour offsets: "UTC+05:00", "UTC-11:00". (Read by
    // hand: std::regex trips GCC 12's uninitialised-use warning under ASan.)
    const auto digit = [&](std::size_t at) { return std::isdigit(static_cast<unsigned char>(name[at])) != 0; };
    if (name.size() != 9 || name.compare(0, 3, "UTC") != 0 || (name[3] != '+' && name[3] != '-') || !digit(4) ||
        !digit(5) || name.compare(6, 3, ":00") != 0) {
        return std::nullopt;
    }
    const bool ahead = name[3] == '+';
    const int hours = (name[4] - '0') * 10 + (name[5] - '0');
    if (hours == 0) {
        return std::string("UTC");
    }
    // POSIX signs: "Etc/GMT-5" is five hours ahead of UTC.
    const std::string zone = "Etc/GMT" + std::string(ahead ? "-" : "+") + std::to_string(hours);
    if (Chrono::isKnownTimeZone(zone)) {
        return zone;
    }
    return std::nullopt;
}

namespace {

// "m:ss", or "h:mm:ss" from an hour.
std::string clockText(std::int64_t seconds)
{
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>((seconds / 60) % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

} // namespace

std::string exportProgressText(std::int64_t framesEncoded, std::int64_t framesExpected, double elapsedSeconds)
{
    constexpr std::int64_t framesPerSecond = 30;
    const std::int64_t done = std::clamp<std::int64_t>(framesEncoded, 0, framesExpected);
    std::string text =
        clockText(done / framesPerSecond) + " of " + clockText(framesExpected / framesPerSecond) + " of video";
    // A second and a few frames in, the pace means something.
    if (elapsedSeconds >= 1.0 && done >= framesPerSecond && done < framesExpected) {
        const double left = elapsedSeconds * static_cast<double>(framesExpected - done) / static_cast<double>(done);
        text += ", about " + clockText(static_cast<std::int64_t>(left + 0.5)) + " left";
    }
    return text;
}

StampZone stampTimeZone(const std::string& chosen, const std::optional<std::string>& recorded)
{
    if (!chosen.empty()) {
        if (const auto zone = formatterTimeZone(chosen)) {
            return {*zone, {}};
        }
        return {{}, "Unknown time zone: " + chosen};
    }
    if (!recorded || recorded->empty()) {
        return {{}, "The recording does not say which time zone it was made in: choose one for the time stamps."};
    }
    if (const auto zone = formatterTimeZone(*recorded)) {
        return {*zone, {}};
    }
    return {{}, "The recording's time zone \"" + *recorded + "\" is unknown: choose one for the time stamps."};
}

const std::vector<std::string>& h264Presets()
{
    // "placebo" is left out: hours for a minute of sonar video.
    static const std::vector<std::string> presets{"ultrafast", "superfast", "veryfast", "faster",  "fast",
                                                  "medium",    "slow",      "slower",   "veryslow"};
    return presets;
}

std::string sonarDetailsText(const std::string& modelName, std::int64_t serialNumber)
{
    return modelName + " (" + std::to_string(serialNumber) + ")";
}

std::filesystem::path exportedVideoPath(const std::filesystem::path& logPath, const std::string& extension)
{
    auto path = Filesystem::appendTextToFilename(logPath, "_exported");
    path.replace_extension(extension);
    return Filesystem::makeUniqueFilePath(path);
}

} // namespace Keldar::Logging::VideoExport
