#include <keldar/logging/frames/LoggedFrame.h>

#include <keldar/ondrix/MessageParsing.h>

#include <string>
#include <utility>

namespace Keldar::Logging::Frames {

std::optional<LoggedFrame> parseSonarMessage(const std::vector<std::byte>& message, std::uint32_t dataType)
{
    namespace Parsing = Ondrix::MessageParsing;
    LoggedFrame frame;
    switch (dataType) {
    case 0:
        frame.image = Parsing::parseSimplePingResult(message).image;
        break;
    case 1: {
        auto parsed = Parsing::parseSimplePingResultV2(message);
        frame.image = std::move(parsed.image);
        frame.attitude = parsed.attitude;
        break;
    }
    case 2:
        frame.image = Parsing::parseFullFireResult(message).image;
        break;
    default:
        return std::nullopt;
    }
    return frame;
}

std::optional<LoggedFrame> parseLoggedFrame(const DataEntry& entry)
{
    if (entry.type > 2) {
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const std::byte*>(entry.payload.data());
    auto frame = parseSonarMessage(std::vector<std::byte>(bytes, bytes + entry.payload.size()), entry.type);
    frame->entryId = entry.entryId;
    frame->timestamp = entry.timestamp;
    return frame;
}

std::optional<std::uint32_t> dataTypeOf(Ondrix::MessageType type, int version)
{
    switch (type) {
    case Ondrix::MessageType::SimplePingResult:
        return version == 2 ? 1U : 0U;
    case Ondrix::MessageType::FullFireResult:
        return 2U;
    default:
        return std::nullopt;
    }
}

void checkConsistent(const LoggedFrame& frame)
{
    const auto& image = frame.image;
    const std::size_t samples = std::size_t{image.getWidth()} * image.getHeight();
    if (image.getData().size() != samples || image.getBearings().size() != image.getWidth()) {
        throw DamagedFrameError("frame " + std::to_string(frame.frame) + " (entry " + std::to_string(frame.entryId) +
                                ") is damaged: " + std::to_string(image.getWidth()) + " beams x " +
                                std::to_string(image.getHeight()) + " ranges but " +
                                std::to_string(image.getData().size()) + " samples and " +
                                std::to_string(image.getBearings().size()) + " bearings");
    }
}

std::vector<double> bearingsInDegrees(const Ondrix::OndrixImage& image)
{
    std::vector<double> degrees;
    degrees.reserve(image.getBearings().size());
    for (const std::int16_t bearing : image.getBearings()) {
        degrees.push_back(bearing / 100.0);
    }
    return degrees;
}

std::vector<double> rowRanges(const Ondrix::OndrixImage& image)
{
    std::vector<double> ranges(image.getHeight());
    for (std::size_t row = 0; row < ranges.size(); ++row) {
        ranges[row] = (static_cast<double>(row) + 0.5) * image.getRange() / image.getHeight();
    }
    return ranges;
}

} // namespace Keldar::Logging::Frames
