#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Keldar::Ondrix::NetworkAddressCheck {

// Addresses and masks as numbers whose most significant byte is the first
// octet of the dotted quad.
struct Subnet
{
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
};

enum class Verdict {
    Acceptable,
    // Usable, but no interface of this computer is on that subnet: the
    // viewer may not reach the sonar once it has restarted.
    OutsideLocalSubnets,
    // The rest leave the sonar unreachable and must not be sent.
    InvalidMask,
    Unspecified,
    NetworkAddress,
    BroadcastAddress,
    Multicast,
    Loopback,
    NotAnAddress,
};

// Whether a static address and mask can be given to a sonar; `local` are the
// subnets of this computer's interfaces.
Verdict check(const std::string& address, const std::string& mask, const std::vector<Subnet>& local);

// A run of one bits followed by zero bits, neither 0.0.0.0 nor
// 255.255.255.255 (a /32 leaves no other host on the sonar's subnet).
bool isUsableMask(std::uint32_t mask);

// True for the verdicts that must stop the change.
bool isRefused(Verdict verdict);

// The IPv4 subnets of this computer's interfaces that are up, loopback
// excluded.
std::vector<Subnet> localSubnets();

} // namespace Keldar::Ondrix::NetworkAddressCheck
