#include <keldar/ondrix/NetworkAddressCheck.h>

#include <gtest/gtest.h>

namespace Keldar::Ondrix::NetworkAddressCheck {
namespace {

TEST(NetworkAddressCheck, RefusesWhatWouldLeaveTheSonarUnreachable)
{
    const std::vector<Subnet> local{{0xC0A80105U, 0xFFFFFF00U}}; // 192.168.1.5/24
    const struct
    {
        const char* address;
        const char* mask;
        Verdict verdict;
    } cases[] = {
        {"192.168.1.20", "255.255.255.0", Verdict::Acceptable},
        {"10.0.0.20", "255.0.0.0", Verdict::OutsideLocalSubnets},
        {"0.0.0.0", "255.255.255.0", Verdict::Unspecified},
        {"192.168.1.0", "255.255.255.0", Verdict::NetworkAddress},
        {"192.168.1.128", "255.255.255.128", Verdict::NetworkAddress},
        {"192.168.1.255", "255.255.255.0", Verdict::BroadcastAddress},
        {"192.168.1.254", "255.255.255.254", Verdict::Acceptable}, // a /31 has two hosts
        {"224.0.0.1", "255.255.255.0", Verdict::Multicast},
        {"255.255.255.255", "255.255.255.0", Verdict::Multicast},
        {"127.0.0.9", "255.0.0.0", Verdict::Loopback},
        {"192.168.1.20", "255.0.255.0", Verdict::InvalidMask},
        {"192.168.1.20", "0.255.255.255", Verdict::InvalidMask},
        {"192.168.1.20", "255.255.255.1", Verdict::InvalidMask},
        {"192.168.1.20", "0.0.0.0", Verdict::InvalidMask},
        {"192.168.1.20", "255.255.255.255", Verdict::InvalidMask},
        {"192.168.1.300", "255.255.255.0", Verdict::NotAnAddress},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(check(c.address, c.mask, local), c.verdict) << c.address << "/" << c.mask;
    }
    EXPECT_TRUE(isUsableMask(0x80000000U)); // /1
    EXPECT_FALSE(isRefused(Verdict::OutsideLocalSubnets));
    EXPECT_TRUE(isRefused(Verdict::Loopback));
    EXPECT_EQ(check("192.168.1.20", "255.255.255.0", {}), Verdict::OutsideLocalSubnets);
}

} // namespace
} // namespace Keldar::Ondrix::NetworkAddressCheck
