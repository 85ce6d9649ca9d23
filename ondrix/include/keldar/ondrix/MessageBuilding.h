#pragma once

#include <keldar/ondrix/ModelNumber.h>
#include <keldar/ondrix/SonarTypes.h>
#include <keldar/ondrix/StatusFields.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Writers of whole messages, header included. The host-side builders make
// what the viewer sends; the sonar-side builders make what a sonar sends, for
// the simulator and for tests.
namespace Keldar::Ondrix::MessageBuilding {

// ---- Host to sonar ----

// `serialNumber`: the sonar's serial; its low 16 bits address the message.
// `onDemand`: true in any ping control other than continuous.
std::vector<std::byte> buildFireRequest(const OperationParameters& parameters, std::uint32_t serialNumber,
                                        bool onDemand);

// The zero-payload form, which asks the sonar for its current configuration.
std::vector<std::byte> buildUserConfig(std::uint32_t serialNumber);
// Address and mask as the u32 values of the wire.
std::vector<std::byte> buildUserConfig(std::uint32_t serialNumber, bool dhcp, std::uint32_t ipAddress,
                                       std::uint32_t subnetMask);

// ---- Sonar to host ----

// One image as a sonar would report it. `samples` holds one byte per sample
// (beams x ranges of them, row by row); with `fourBitSamples` they are
// quantised to their high nibble and packed two to a byte, the earlier sample
// in the low nibble. Temperature in degrees Celsius, pressure in bar: the
// units the sonar uses.
struct ImageDescription
{
    std::uint16_t sourceId = 0; // low 16 bits of the sonar's serial number
    ModelNumber partNumber = ModelNumber::Unknown;
    std::uint16_t beams = 0;
    std::uint16_t ranges = 0;
    double range = 0.0;
    double gain = 0.0;
    double frequency = 0.0;
    std::vector<std::int16_t> bearings; // written as given; normally `beams` entries
    std::vector<std::uint8_t> samples;
    bool fourBitSamples = false;
    double temperature = 0.0;
    double pressure = 0.0;
    double echoValue = 0.0;
    double attitudeFirst = 0.0;  // version-2 ping results only
    double attitudeSecond = 0.0; // version-2 ping results only
    // Unused bytes between the bearing table and the samples; real sonars may
    // leave a gap, and the image offset always counts from the message start.
    std::size_t gapBeforeImage = 0;
};

std::vector<std::byte> buildSimplePingResult(const ImageDescription& image, std::uint16_t version = 1);
std::vector<std::byte> buildSimplePingResultV2(const ImageDescription& image);
std::vector<std::byte> buildFullFireResult(const ImageDescription& image);

// The configuration a sonar reports back.
std::vector<std::byte> buildUserConfigReply(std::uint16_t sourceId, ModelNumber partNumber, bool dhcp,
                                            std::uint32_t ipAddress, std::uint32_t subnetMask);

// A 142-byte status datagram carrying every field the host reads.
std::vector<std::byte> buildStatusDatagram(const StatusFields& fields);

// Packs 8-bit samples into 4-bit pairs as a sonar does (an odd count leaves
// the last high nibble zero).
std::vector<std::uint8_t> packFourBitSamples(const std::vector<std::uint8_t>& samples);

} // namespace Keldar::Ondrix::MessageBuilding
