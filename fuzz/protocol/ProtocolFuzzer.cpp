// Arbitrary bytes through every message reader. Readers may reject input with
// BadlyFormedMessageError; anything else (a crash, a sanitizer report, another
// exception or a broken invariant) is a bug.
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/StatusMessage.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace Keldar::Ondrix;

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

template<typename Parse>
void tryParse(const std::vector<std::byte>& message, Parse parse)
{
    try {
        const auto parsed = parse(message);
        // Whatever was accepted must be backed by bytes of the message.
        require(parsed.image.getBearings().size() == parsed.image.getWidth());
        require(parsed.image.getData().size() <= 2 * message.size());
    } catch (const BadlyFormedMessageError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto* first = reinterpret_cast<const std::byte*>(data);
    const std::vector<std::byte> message(first, first + size);

    try {
        MessageParsing::getMessageType(message);
        MessageParsing::getMessageVersion(message);
        MessageParsing::getModelNumber(message);
        MessageParsing::getSerialNumber(message);
        const auto config = MessageParsing::parseUserConfig(message);
        require(config.address.size() <= 15 && config.mask.size() <= 15);
    } catch (const BadlyFormedMessageError&) {
    }

    // What the status listener does with every datagram.
    const Status::Message status(message);
    if (status.hasValidMagic()) {
        static_cast<void>(status.fields());
    }

    tryParse(message, MessageParsing::parseSimplePingResult);
    tryParse(message, MessageParsing::parseSimplePingResultV2);
    tryParse(message, MessageParsing::parseFullFireResult);

    const auto frame = MessageParsing::examineFrame(message);
    if (frame.status == MessageParsing::FrameStatus::Complete) {
        require(frame.length >= 16 && frame.length <= size && frame.length <= MessageParsing::maximumMessageSize);
    }
    return 0;
}
