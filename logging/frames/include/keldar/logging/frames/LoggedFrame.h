#pragma once

#include <keldar/core/Attitude.h>
#include <keldar/logging/DataEntry.h>
#include <keldar/ondrix/MessageType.h>
#include <keldar/ondrix/OndrixImage.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Keldar::Logging::Frames {

/// One sonar image of a log or of a live sonar. `frame` is the position the
/// viewer's playback gives the entry (its scrub position), so the two can be
/// compared; for a live sonar it counts the images since connecting.
struct LoggedFrame
{
    std::int32_t frame = 0;
    std::int32_t entryId = 0;   // 0 for a live image, which is in no log
    std::int64_t timestamp = 0; // ms since the Unix epoch
    Ondrix::OndrixImage image;
    std::optional<DataProcessing::Orientation::Attitude> attitude; // version-2 ping results only
};

/// An image whose own counts do not describe its samples or bearings.
class DamagedFrameError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Parses a stored message by its data type code, as playback does: 0 a
/// version-1 ping result, 1 a version-2 one, 2 a full fire result. Empty for
/// other codes; throws BadlyFormedMessageError for a damaged message.
std::optional<LoggedFrame> parseSonarMessage(const std::vector<std::byte>& message, std::uint32_t dataType);
std::optional<LoggedFrame> parseLoggedFrame(const DataEntry& entry);

/// The data type code a recording stores a message of the session under:
/// 0 for a version-1 ping result, 1 for a later one, 2 for a full fire
/// result; empty for messages that are not images.
std::optional<std::uint32_t> dataTypeOf(Ondrix::MessageType type, int version);

/// Throws DamagedFrameError unless the image holds beams x ranges samples and
/// one bearing per beam: a message that says otherwise is not exported as if
/// it were whole.
void checkConsistent(const LoggedFrame& frame);

/// Bearings in degrees, 0 ahead, positive to the right.
std::vector<double> bearingsInDegrees(const Ondrix::OndrixImage& image);
/// The range of the middle of each sample row, the first row nearest the
/// sonar: where the display draws that row's samples.
std::vector<double> rowRanges(const Ondrix::OndrixImage& image);

} // namespace Keldar::Logging::Frames
