#pragma once

#include <keldar/ondrix/ModelNumber.h>
#include <keldar/ondrix/ModelSpec.h>

#include <cstdint>
#include <string>

namespace Keldar::Ondrix {

// The sonar's two operating frequencies, as sent in the fire request.
enum class Frequency : std::uint8_t {
    Low = 1,
    High = 2,
};

// Maximum ping rate codes of the fire request; the codes are not in rate order.
enum class PingRate : std::uint8_t {
    Rate10Hz = 0,
    Rate15Hz = 1,
    Rate40Hz = 2,
    Rate5Hz = 3,
    Rate2Hz = 4,
};

// Continuous: every ping result asks for the next ping. Any other value: a
// ping is made only on request.
enum class PingControl : std::uint8_t {
    Continuous = 0,
    OnDemand = 1,
};

// Status word bits 14-15.
enum class TemperatureStatus : std::uint8_t {
    Good = 0,
    OverheatWarning = 1,
    NotReported = 2,
    Overheated = 3,
};

// Status word bits 3-5 while the sonar is held in its boot stage; only these
// two reasons are reported to the user.
enum class SsblPauseReason : std::uint8_t {
    MagSwitch = 0,
    Brownout = 6,
};

// Everything the next fire request is built from.
struct OperationParameters
{
    double range = 2.5; // metres
    double gain = 50.0; // percent
    Frequency frequency = Frequency::Low;
    PingRate pingRate = PingRate::Rate15Hz;
    std::uint8_t bandwidth = 255; // network speed limit code
    bool lowPowerMode = false;
    bool gainAssist = false;
    bool gainBoost = true;
    bool fullBeams = false;
    double speedOfSound = 0.0; // stored only, never sent
    double salinity = 0.0;     // stored only, never sent
    std::uint8_t gamma = 128;

    bool operator==(const OperationParameters&) const = default;
};

// SI units: pascal and kelvin. The echo value is 0 when the reading came from
// a status datagram rather than a ping result.
struct EnvironmentalConditions
{
    double pressure = 0.0;
    double temperature = 0.0;
    double echoValue = 0.0;

    bool operator==(const EnvironmentalConditions&) const = default;
};

// Equipment flags of the status word: bit 30, then bit 31.
struct SonarCapabilities
{
    bool hasAhrs = false;
    bool hasPressureSensor = false;

    bool operator==(const SonarCapabilities&) const = default;
};

// One visible sonar as learnt from its status datagrams.
struct DeviceInfo
{
    std::string ipAddress = "no ip";
    std::string subnetMask = "no subnet";
    ModelNumber modelNumber = static_cast<ModelNumber>(0xFFFF);
    std::uint32_t serialNumber = 0; // 0: not filled from a datagram yet
    std::string firmwareVersion = "N/A";
    bool connectable = false;
    std::int64_t lastSeen = 0; // steady clock, nanoseconds
    // The IPv4 address (host order) its statuses came from, which need not be
    // the one it claims (a vehicle's computer may forward them); 0 unknown.
    std::uint32_t senderAddress = 0;
    ModelSpec spec;
    SonarCapabilities capabilities;
};

} // namespace Keldar::Ondrix
