#include <keldar/ondrix/NetworkAddressCheck.h>

#include <keldar/core/DottedQuadValue.h>

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <stdexcept>

namespace Keldar::Ondrix::NetworkAddressCheck {

namespace {

bool parse(const std::string& text, std::uint32_t& value)
{
    try {
        const DottedQuadValue quad(text, true);
        value = quad.toUint32_t(false);
        // The parser truncates octets to 8 bits: "300" must not pass as 44.
        return quad.toString(true) == text;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

bool isUsableMask(std::uint32_t mask)
{
    if (mask == 0U || mask == 0xFFFFFFFFU) {
        return false;
    }
    // Inverted, the host part must be a run of low one bits: adding one
    // carries through all of them and shares no bit with the run.
    const std::uint32_t host = ~mask;
    return (host & (host + 1U)) == 0U;
}

bool isRefused(Verdict verdict)
{
    return verdict != Verdict::Acceptable && verdict != Verdict::OutsideLocalSubnets;
}

Verdict check(const std::string& addressText, const std::string& maskText, const std::vector<Subnet>& local)
{
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    if (!parse(maskText, mask) || !isUsableMask(mask)) {
        return Verdict::InvalidMask;
    }
    if (!parse(addressText, address)) {
        return Verdict::NotAnAddress;
    }
    if (address == 0U) {
        return Verdict::Unspecified;
    }
    if ((address >> 24U) == 127U) {
        return Verdict::Loopback;
    }
    // 224.0.0.0/4 is multicast; 240.0.0.0/4 above it is reserved and no
    // more a host's address.
    if ((address >> 28U) >= 0xEU) {
        return Verdict::Multicast;
    }
    const std::uint32_t host = address & ~mask;
    // A /31 has no network or broadcast address: both of its addresses are hosts.
    if (mask != 0xFFFFFFFEU) {
        if (host == 0U) {
            return Verdict::NetworkAddress;
        }
        if (host == ~mask) {
            return Verdict::BroadcastAddress;
        }
    }
    const bool reachable = std::any_of(local.begin(), local.end(), [&](const Subnet& subnet) {
        return (address & subnet.mask) == (subnet.address & subnet.mask);
    });
    return reachable ? Verdict::Acceptable : Verdict::OutsideLocalSubnets;
}

std::vector<Subnet> localSubnets()
{
    std::vector<Subnet> subnets;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        return subnets;
    }
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0U || (entry->ifa_flags & IFF_LOOPBACK) != 0U) {
            continue;
        }
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        const auto* mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        subnets.push_back({ntohl(address->sin_addr.s_addr), ntohl(mask->sin_addr.s_addr)});
    }
    ::freeifaddrs(interfaces);
    return subnets;
}

} // namespace Keldar::Ondrix::NetworkAddressCheck
