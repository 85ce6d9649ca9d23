#pragma once

#include <keldar/navigation/NavigationTrack.h>

#include <cstdint>
#include <string>

namespace Keldar::Logging {
class LogFileInterface;
}

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

} // namespace Keldar::Navigation
