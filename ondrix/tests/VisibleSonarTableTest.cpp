#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/VisibleSonarTable.h>

#include <gtest/gtest.h>

#include <map>
#include <random>

using Keldar::Ondrix::StatusFields;
using Keldar::Ondrix::Status::Message;
using Keldar::Ondrix::Utilities::VisibleSonarTable;

namespace {

constexpr std::int64_t ms = 1'000'000;

std::uint32_t loopback(std::uint8_t last)
{
    return 0x7F000000U | last;
}

Message status(std::uint32_t serial, std::uint32_t claimedAddress = 0x0200007F, std::uint32_t refusal = 0)
{
    StatusFields f;
    f.serialNumber = serial;
    f.partNumber = static_cast<Keldar::Ondrix::ModelNumber>(1032);
    f.ipAddress = claimedAddress;
    f.subnetMask = 0x000000FF;
    f.connectionRefusal = refusal;
    const auto bytes = Keldar::Ondrix::MessageBuilding::buildStatusDatagram(f);
    return Message(bytes);
}

} // namespace

// Two sonars heard every half second, one of them through a forwarding
// computer, under a flood of made-up serial numbers from several senders:
// both, and a third switched on during the flood, stay listed after every
// datagram, the table stays bounded, and what it
// turned away is counted.
TEST(VisibleSonarTable, RegularSonarsSurviveAFloodOfNewcomersFromSeveralSenders)
{
    VisibleSonarTable table;
    const auto& limits = table.limits();
    std::mt19937 random(7);
    std::int64_t now = 0;
    constexpr std::uint32_t direct = 40001, forwarded = 40002, latecomer = 40003;
    for (; now < 1200 * ms; now += 500 * ms) {
        table.add(status(direct), loopback(2), now);
        table.add(status(forwarded, 0x0300007F), loopback(1), now); // claims 127.0.0.3, sent from .1
    }
    ASSERT_EQ(table.sonars().size(), 2U);
    EXPECT_EQ(table.sonars().at(forwarded).ipAddress, "127.0.0.3");

    // About 5000 a second for 10 s; a few repeat so that they compete as
    // equals that are heard more than once. First from 200 senders, each
    // holding as few entries as a real sonar's (only being heard regularly
    // protects it), then from four.
    for (int i = 0; i < 50000; ++i) {
        now += ms / 5;
        if (i % 2500 == 0) {
            table.add(status(direct), loopback(2), now);
            table.add(status(forwarded, 0x0300007F), loopback(1), now);
        }
        // A sonar switched on during the flood: the flooding senders hold
        // more entries than its own, so they give up theirs first.
        if (i >= 25000 && i % 2500 == 1) {
            table.add(status(latecomer, 0x0400007F), loopback(4), now);
        }
        if (i > 25000) {
            ASSERT_EQ(table.sonars().count(latecomer), 1U) << "after " << i << " flood datagrams";
        }
        const std::uint32_t serial = (i % 10 == 0) ? 1000 + random() % 10 : random();
        table.add(status(serial), loopback(static_cast<std::uint8_t>(10 + i % (i < 25000 ? 200 : 4))), now);
        ASSERT_EQ(table.sonars().count(direct), 1U) << "after " << i << " flood datagrams";
        ASSERT_EQ(table.sonars().count(forwarded), 1U) << "after " << i << " flood datagrams";
        ASSERT_LE(table.entryCount(), limits.capacity);
    }
    const auto ignored = table.ignored();
    EXPECT_GT(ignored.evicted, 40000U);

    // A spoofer claiming a listed serial from elsewhere does not replace it.
    table.add(status(direct, 0x0900007F), loopback(9), now);
    EXPECT_EQ(table.sonars().at(direct).ipAddress, "127.0.0.2");

    // Silent sonars go at the expiry, the listed ones with them.
    EXPECT_TRUE(table.expire(now + limits.expiry.count()));
    EXPECT_TRUE(table.sonars().empty());
}

// One sender holds at most its share; a newcomer from it pushes out its own
// least recently heard entry, and a sonar from another sender still gets in
// when the table is full.
TEST(VisibleSonarTable, OneSenderCannotFillTheTable)
{
    VisibleSonarTable::Limits limits;
    limits.capacity = 8;
    limits.perSender = 3;
    VisibleSonarTable table(limits);
    std::int64_t now = 0;
    for (std::uint32_t serial = 1; serial <= 6; ++serial) {
        EXPECT_TRUE(table.add(status(serial), loopback(10), now += ms));
    }
    std::map<std::uint32_t, bool> listed;
    for (const auto& item : table.sonars()) {
        listed[item.first] = true;
    }
    EXPECT_EQ(listed, (std::map<std::uint32_t, bool>{{4, true}, {5, true}, {6, true}}));
    for (std::uint8_t sender = 11; sender < 14; ++sender) {
        for (std::uint32_t serial = 100U * sender; serial < 100U * sender + 3; ++serial) {
            table.add(status(serial), loopback(sender), now += ms);
        }
    }
    EXPECT_EQ(table.entryCount(), 8U);
    EXPECT_TRUE(table.add(status(40001), loopback(2), now += ms));
    EXPECT_EQ(table.sonars().count(40001), 1U);
    EXPECT_EQ(table.entryCount(), 8U);

    // Every entry regular: a newcomer finds no room, and is counted.
    VisibleSonarTable full(limits);
    for (int round = 0; round < 3; ++round) {
        for (std::uint32_t serial = 1; serial <= limits.capacity; ++serial) {
            full.add(status(serial), loopback(static_cast<std::uint8_t>(serial)), now += ms);
        }
    }
    EXPECT_FALSE(full.add(status(77), loopback(20), now));
    EXPECT_EQ(full.sonars().count(77), 0U);
    EXPECT_EQ(full.sonars().size(), limits.capacity);
    EXPECT_EQ(full.ignored().refused, 1U);
    EXPECT_EQ(full.ignored().evicted, 0U);
}

// Only what a person sees counts as a change: the first datagram and a
// change of the connectable state, not a repeat.
TEST(VisibleSonarTable, ReportsAppearancesAndConnectableChangesOnly)
{
    VisibleSonarTable table;
    EXPECT_TRUE(table.add(status(5), loopback(2), ms));
    EXPECT_FALSE(table.add(status(5), loopback(2), 2 * ms));
    EXPECT_TRUE(table.add(status(5, 0x0200007F, 1), loopback(2), 3 * ms));
    EXPECT_FALSE(table.sonars().at(5).connectable);
    EXPECT_EQ(table.sonars().at(5).lastSeen, 3 * ms);
    EXPECT_FALSE(table.expire(3 * ms + table.limits().expiry.count() - 1));
    EXPECT_EQ(table.sonars().size(), 1U);
}
