#pragma once

#include <keldar/ondrix/ModelNumber.h>

#include <cstdint>

namespace Keldar::Ondrix {

// The fields of a status datagram that the host reads, in the sonar's own
// units (degrees Celsius, bar). Addresses are the raw u32 values.
struct StatusFields
{
    std::uint32_t serialNumber = 0;
    ModelNumber partNumber = ModelNumber::Unknown;
    std::uint32_t statusWord = 0;
    std::uint16_t firmwareVersion = 0;
    std::uint32_t ipAddress = 0;
    std::uint32_t subnetMask = 0;
    std::uint32_t connectionRefusal = 0; // 0: the sonar accepts a connection
    double internalTemperature = 0.0;
    double waterTemperature = 0.0;
    double pressure = 0.0;

    bool operator==(const StatusFields&) const = default;
};

} // namespace Keldar::Ondrix
