#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Keldar::Logging::VideoExport {

// "hh:mm:ss" of the log time at the start of frame `framesWritten`, with
// `cutMs` of shortened pauses added back.
std::string relativeTimestampText(std::int64_t framesWritten, std::int64_t cutMs = 0);

// The entry's time in the IANA zone `timeZone` (the computer's zone when
// empty), as "ddd d MMM yyyy HH:mm:ss" and the zone's offset at that time, e.g.
// "Wed 15 Nov 2023 07:13:20 +09:00": a stamp says which clock it reads.
std::string absoluteTimestampText(std::int64_t msSinceEpoch, const std::string& timeZone);

// The zone the stamps are formatted in for a zone name: the name itself when
// the time-zone database holds it, the matching "Etc/GMT" zone for a whole-hour
// fixed offset named as Qt names it ("UTC+05:00" is "Etc/GMT-5"), else none.
std::optional<std::string> formatterTimeZone(const std::string& name);

// The zone absolute stamps are written in: the chosen one when given, else
// the one the recording names. Either must be one the formatter knows; a
// recording's unknown or missing zone is never taken for UTC.
struct StampZone
{
    std::string zone;    // the formatter's name, empty when there is none
    std::string problem; // why there is none, for the user
};
StampZone stampTimeZone(const std::string& chosen, const std::optional<std::string>& recorded);

// x264's speed presets, fastest first; a faster one costs less processor
// time and makes a larger file of the same quality. The default is the one
// whose export costs about as much processor time as MPEG-4 in AVI: sonar
// speckle is costly to encode, and "veryfast" already takes over twice it.
const std::vector<std::string>& h264Presets();
inline constexpr const char* defaultH264Preset = "ultrafast";

// Where an export stands, in video time: "0:42 of 3:10 of video, about 1:05
// left". The time left is estimated from the pace so far and left out until
// there is a pace to go by.
std::string exportProgressText(std::int64_t framesEncoded, std::int64_t framesExpected, double elapsedSeconds);

// The sonar line: model name and serial number, "Rostrel A (51001)".
std::string sonarDetailsText(const std::string& modelName, std::int64_t serialNumber);

// The log's path with "_exported" added and the extension (".avi", ".mp4"),
// made unique so that a second export never overwrites the first.
std::filesystem::path exportedVideoPath(const std::filesystem::path& logPath, const std::string& extension = ".avi");

} // namespace Keldar::Logging::VideoExport
