#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Keldar::DataProcessing::Units {
class AbstractUnit;
}

namespace Keldar::Ondrix::Visualisation::VideoExport {

enum TimestampType : std::int32_t { RelativeTimestamp = 0, AbsoluteTimestamp = 1, NoTimestamp = 2 };

// The video export's options: the options dialog fills the text choices, the
// export panel the range and the controller the distance unit.
struct VideoExportSettings
{
    std::int32_t startIndex = 0; // first frame of the log, inclusive
    std::int32_t endIndex = 0;   // last frame, inclusive
    std::int32_t timestampType = RelativeTimestamp;
    std::string timeZone; // IANA identifier, for absolute stamps
    const DataProcessing::Units::AbstractUnit* distanceUnit = nullptr;
    bool sonarDetails = false;
};

class VideoExportError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace Keldar::Ondrix::Visualisation::VideoExport
