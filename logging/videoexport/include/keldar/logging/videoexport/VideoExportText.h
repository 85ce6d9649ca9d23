#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace Keldar::Logging::VideoExport {

// "hh:mm:ss" of the video time at the start of frame `framesWritten`.
std::string relativeTimestampText(std::int64_t framesWritten);

// The entry's time in the IANA zone `timeZone` (the computer's zone when
// empty), as "ddd d MMM yyyy HH:mm:ss", e.g. "Tue 14 Nov 2023 22:13:20".
std::string absoluteTimestampText(std::int64_t msSinceEpoch, const std::string& timeZone);

// The sonar line: model name and serial number, "Rostrel A (51001)".
std::string sonarDetailsText(const std::string& modelName, std::int64_t serialNumber);

// The log's path with "_exported" added and the extension ".avi", made unique
// so that a second export never overwrites the first.
std::filesystem::path exportedVideoPath(const std::filesystem::path& logPath);

} // namespace Keldar::Logging::VideoExport
