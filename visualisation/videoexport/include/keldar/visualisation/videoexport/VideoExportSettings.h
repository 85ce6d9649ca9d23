#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Keldar::DataProcessing::Units {
class AbstractUnit;
}

namespace Keldar::Ondrix::Visualisation::VideoExport {

enum TimestampType : std::int32_t { RelativeTimestamp = 0, AbsoluteTimestamp = 1, NoTimestamp = 2 };

// "MPEG-4 in AVI" plays everywhere on a desktop; "H.264 in MP4" in browsers
// and on phones, for sharing.
enum VideoFormat : std::int32_t { Mpeg4Avi = 0, H264Mp4 = 1 };

// The video export's options: the options dialog fills the text, format and
// pause choices, the export panel the range and the controller the distance
// unit.
struct VideoExportSettings
{
    std::int32_t startIndex = 0; // first frame of the log, inclusive
    std::int32_t endIndex = 0;   // last frame, inclusive
    std::int32_t timestampType = RelativeTimestamp;
    // IANA identifier, for absolute stamps; the zone recorded in the log when
    // empty.
    std::string timeZone;
    const DataProcessing::Units::AbstractUnit* distanceUnit = nullptr;
    bool sonarDetails = false;
    std::int32_t format = Mpeg4Avi;
    // A gap between entries longer than this lasts only this long in the
    // video; 0 keeps every gap.
    std::int64_t maxPauseMs = 0;
    // x264's speed preset for H.264 ("ultrafast" when empty): faster presets
    // cost less processor time and make larger files.
    std::string preset;
};

class VideoExportError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Absolute stamps with no zone the formatter knows: the chosen one is unknown,
// or none was chosen and the recording's is unknown or missing. Nothing is
// written; the message tells the user to choose one.
class UnknownTimeZoneError : public VideoExportError
{
public:
    using VideoExportError::VideoExportError;
};

} // namespace Keldar::Ondrix::Visualisation::VideoExport
