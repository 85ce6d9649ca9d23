#pragma once

#include <keldar/core/Attitude.h>
#include <keldar/ondrix/BadlyFormedMessageError.h>
#include <keldar/ondrix/MessageType.h>
#include <keldar/ondrix/ModelNumber.h>
#include <keldar/ondrix/OndrixImage.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Stateless readers of the sonar's binary messages; safe from any thread.
// Every function checks lengths before it reads and throws
// BadlyFormedMessageError rather than read past the end of the bytes.
namespace Keldar::Ondrix::MessageParsing {

// Pressure in pascal, temperature in kelvin; the echo value is passed on as sent.
struct ParsedSimpleFire
{
    OndrixImage image;
    double pressure = 0.0;
    double temperature = 0.0;
    double echoValue = 0.0;
};

struct ParsedSimpleFireV2
{
    OndrixImage image;
    double pressure = 0.0;
    double temperature = 0.0;
    double echoValue = 0.0;
    // The sonar reports two components; the third is always 0.
    DataProcessing::Orientation::Attitude attitude{};
};

struct ParsedFullFire
{
    OndrixImage image;
    double pressure = 0.0;
    double temperature = 0.0;
    double echoValue = 0.0;
};

// Header fields. All four reject a wrong magic and anything shorter than a header.
MessageType getMessageType(const std::vector<std::byte>& message);
int getMessageVersion(const std::vector<std::byte>& message);
ModelNumber getModelNumber(const std::vector<std::byte>& message);
std::uint16_t getSerialNumber(const std::vector<std::byte>& message);

// The caller picks the parser from the header: id 0x23 version 2, id 0x23 any
// other version, id 0x22. The parsers themselves do not look at id or version.
ParsedSimpleFire parseSimplePingResult(const std::vector<std::byte>& message);
ParsedSimpleFireV2 parseSimplePingResultV2(const std::vector<std::byte>& message);
ParsedFullFire parseFullFireResult(const std::vector<std::byte>& message);

// The sonar's network configuration, as its user-configuration message
// (id 0x55) reports it.
struct NetworkConfiguration
{
    bool dhcp = false;
    std::string address; // dotted quad
    std::string mask;    // dotted quad

    bool operator==(const NetworkConfiguration&) const = default;
};

// Throws for a message shorter than the 28-byte layout or with a wrong magic.
NetworkConfiguration parseUserConfig(const std::vector<std::byte>& message);

// Turns packed 4-bit samples into one byte per sample, in place: the low
// nibble of each byte is the earlier sample, and each sample ends up in the
// high half of its output byte. n bytes become 2n.
void expandFourBitSamples(std::vector<std::uint8_t>& samples);
// The same into a caller-provided buffer of 2 * count bytes (no overlap).
void expandFourBitSamples(const std::uint8_t* packed, std::size_t count, std::uint8_t* out);

// What sits at the head of a receive buffer.
enum class FrameStatus {
    Incomplete, // too few bytes yet to tell, or the message is still arriving
    Complete,   // a whole message of `length` bytes is at the head
    Garbage,    // the head is not a message of this protocol
};

struct Frame
{
    FrameStatus status = FrameStatus::Incomplete;
    // Whole message, header included: set once the header is there (Complete,
    // or Incomplete with the rest still to come), 0 otherwise.
    std::size_t length = 0;
};

// A header announcing a larger message is garbage: a broken or hostile peer
// must not make a reader buffer without bound.
inline constexpr std::size_t maximumMessageSize = 16U * 1024U * 1024U;

// A message is complete when 16 bytes are there, the magic matches and
// payloadSize + 16 bytes are buffered.
Frame examineFrame(const std::byte* data, std::size_t size);
Frame examineFrame(const std::vector<std::byte>& buffer);

} // namespace Keldar::Ondrix::MessageParsing
