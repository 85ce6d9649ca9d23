#include <keldar/navigation/NavigationLog.h>

#include <keldar/logging/LogFileInterface.h>
#include <keldar/logging/frames/LoggedFrame.h>

#include <string_view>
#include <variant>

namespace Keldar::Navigation {

namespace {

Logging::EntryIndexFilter navigationFilter(const Logging::LogFileInterface& file)
{
    Logging::EntryIndexFilter filter;
    for (const auto& source : file.getDataSources()) {
        if (source.type == KD_LogDataSourceType_Navigation) {
            filter.dataSources.push_back(source.id);
        }
    }
    filter.dataTypes.push_back(nmeaSentenceType);
    return filter;
}

} // namespace

bool hasNavigationSource(const Logging::LogFileInterface& file)
{
    return !navigationFilter(file).dataSources.empty();
}

Mounting recordedMounting(const Logging::LogFileInterface& file)
{
    Mounting mounting;
    for (const auto& source : file.getDataSources()) {
        if (source.type != KD_LogDataSourceType_Navigation) {
            continue;
        }
        const auto read = [&](const char* key, double& into) {
            const auto value = file.getDataSourceProperty(source.id, key);
            if (value && std::holds_alternative<double>(*value)) {
                into = std::get<double>(*value);
            }
        };
        read(headingOffsetKey, mounting.headingOffset);
        read(leverArmForwardKey, mounting.forward);
        read(leverArmStarboardKey, mounting.starboard);
        break;
    }
    return mounting;
}

std::optional<GeoFrame> placeFrame(const Logging::Frames::LoggedFrame& frame, const NavigationTrack& track,
                                   const Mounting& mounting)
{
    const auto pose = track.poseAt(frame.timestamp);
    if (!pose.position || !pose.heading) {
        return std::nullopt;
    }
    GeoFrame geo;
    geo.timestampMs = frame.timestamp;
    geo.beams = frame.image.getWidth();
    geo.ranges = frame.image.getHeight();
    geo.samples = frame.image.getData();
    geo.bearings = Logging::Frames::bearingsInDegrees(frame.image);
    geo.range = frame.image.getRange();
    geo.position = *pose.position;
    geo.heading = *pose.heading;
    geo.mounting = mounting;
    return geo;
}

NavigationTrack readNavigationTrack(const Logging::LogFileInterface& file)
{
    NavigationTrack track;
    const auto filter = navigationFilter(file);
    if (filter.dataSources.empty()) {
        return track;
    }
    const auto index = file.getEntryIndex(filter);
    // In batches: a long survey's sentences need not all be in memory at once.
    constexpr int batch = 4096;
    std::size_t at = 0;
    while (at < index.size()) {
        const auto entries = file.readEntries(index[at], index.back(), filter, batch);
        if (entries.empty()) {
            break;
        }
        for (const auto& entry : entries) {
            const std::string_view text(reinterpret_cast<const char*>(entry.payload.data()), entry.payload.size());
            const auto result = parseNmea(text);
            if (result.verdict == NmeaVerdict::Accepted) {
                track.add(result.fix, entry.timestamp);
            }
        }
        at += entries.size();
    }
    return track;
}

} // namespace Keldar::Navigation
