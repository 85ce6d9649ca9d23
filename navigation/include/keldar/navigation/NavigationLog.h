#pragma once

#include <keldar/navigation/GeoTiff.h>
#include <keldar/navigation/NavigationTrack.h>

#include <cstdint>
#include <string>

namespace Keldar::Logging {
class LogFileInterface;
namespace Frames {
struct LoggedFrame;
}
} // namespace Keldar::Logging

namespace Keldar::Navigation {

/// Recordings keep navigation as a data source of its own (type
/// KD_LogDataSourceType_Navigation) whose entries are the accepted NMEA
/// sentences verbatim, data type nmeaSentenceType, stamped with the time they
/// arrived; the same parser reads them back.
constexpr std::uint32_t nmeaSentenceType = 0;
constexpr const char* navigationSourceName = "NMEA 0183";

/// The navigation recorded in a log; empty when it has none. Sentences that
/// do not parse are passed over.
NavigationTrack readNavigationTrack(const Logging::LogFileInterface& file);

/// Whether the log has a navigation source.
bool hasNavigationSource(const Logging::LogFileInterface& file);

/// The mounting kept as properties of the navigation source (double values
/// under these keys); zero where the log has none.
constexpr const char* headingOffsetKey = "mountingHeadingOffset";
constexpr const char* leverArmForwardKey = "mountingForward";
constexpr const char* leverArmStarboardKey = "mountingStarboard";
Mounting recordedMounting(const Logging::LogFileInterface& file);

/// A frame with the position and heading interpolated at its time; empty
/// when the track has no position or no heading near it.
std::optional<GeoFrame> placeFrame(const Logging::Frames::LoggedFrame& frame, const NavigationTrack& track,
                                   const Mounting& mounting);

} // namespace Keldar::Navigation
