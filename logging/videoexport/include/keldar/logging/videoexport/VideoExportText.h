#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace Keldar::Logging::VideoExport {

// "hh:mm:ss" of the log time at the start of frame `framesWritten`, with
// `cutMs` of shortened pauses added back.
std::string relativeTimestampText(std::int64_t framesWritten, std::int64_t cutMs = 0);

// The entry's time in the IANA zone `timeZone` (the computer's zone when
// empty), as "ddd d MMM yyyy HH:mm:ss", e.g. "Tue 14 Nov 2023 22:13:20".
std::string absoluteTimestampText(std::int64_t msSinceEpoch, const std::string& timeZone);

// The zone the stamps are formatted in for a zone name: the name itself when
// the time-zone database holds it, the matching "Etc/GMT" zone for a whole-hour
// fixed offset named as Qt names it ("UTC+05:00" is "Etc/GMT-5"), else none.
std::optional<std::string> formatterTimeZone(const std::string& name);

// The sonar line: model name and serial number, "Rostrel A (51001)".
std::string sonarDetailsText(const std::string& modelName, std::int64_t serialNumber);

// The log's path with "_exported" added and the extension (".avi", ".mp4"),
// made unique so that a second export never overwrites the first.
std::filesystem::path exportedVideoPath(const std::filesystem::path& logPath, const std::string& extension = ".avi");

} // namespace Keldar::Logging::VideoExport
