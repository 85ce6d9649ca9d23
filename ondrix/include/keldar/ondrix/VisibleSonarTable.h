#pragma once

#include <keldar/ondrix/OndrixSonar.h>
#include <keldar/ondrix/StatusMessage.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Keldar::Ondrix::Utilities {

/// The sonars heard from their status datagrams, bounded so that a flood of
/// made-up serial numbers cannot push out a sonar that is really there.
///
/// Entries are kept per serial number and sending address. A sonar heard
/// regularly (at least `regularStatuses` datagrams within its last
/// `regularWindow`) is never evicted; a newcomer that finds the table full
/// takes the place of the least recently heard irregular entry of the sender
/// holding the most entries, so that newcomers compete among themselves and a
/// flooding sender mostly evicts its own. One sender holds at most
/// `perSender` entries. The sending address need not be the one the status
/// claims: a vehicle's computer may forward its sonars' statuses.
///
/// Not thread-safe: its owner guards it.
class VisibleSonarTable
{
public:
    using VisibleSonars = std::unordered_map<std::uint32_t, DeviceInfo>;

    struct Limits
    {
        std::size_t capacity = 64;
        std::size_t perSender = 32;
        std::size_t regularStatuses = 3;
        std::chrono::nanoseconds regularWindow = std::chrono::seconds(5);
        /// An entry silent this long goes at the next expire().
        std::chrono::nanoseconds expiry = std::chrono::seconds(3);
    };

    /// Datagrams the table did not list.
    struct Ignored
    {
        std::uint64_t refused = 0; ///< newcomers with no room (everyone in their way was regular)
        std::uint64_t evicted = 0; ///< entries pushed out by a newcomer
    };

    VisibleSonarTable();
    explicit VisibleSonarTable(Limits limits);

    /// A status datagram from `sender` (an IPv4 address in host order) heard at
    /// `nowNs` on the steady clock. True when the listing changed: a sonar
    /// appeared, went or changed its connectable state.
    bool add(const Status::Message& message, std::uint32_t sender, std::int64_t nowNs);
    /// Drops the entries silent for the expiry; true when any went.
    bool expire(std::int64_t nowNs);

    /// One entry per serial number; when two senders claim the same serial
    /// the one heard regularly, then the one heard first, is listed.
    [[nodiscard]] const VisibleSonars& sonars() const { return m_listing; }
    [[nodiscard]] Ignored ignored() const { return m_ignored; }
    [[nodiscard]] std::size_t entryCount() const { return m_entries.size(); }
    [[nodiscard]] const Limits& limits() const { return m_limits; }

private:
    using Key = std::pair<std::uint32_t, std::uint32_t>; // serial, sender

    struct Entry
    {
        DeviceInfo info;
        std::int64_t firstHeard = 0;
        // The last regularStatuses arrival times, as a ring.
        std::vector<std::int64_t> recent;
        std::size_t heard = 0;
    };

    [[nodiscard]] bool isRegular(const Entry& entry, std::int64_t nowNs) const;
    // The entry a newcomer from `sender` may replace; end() when none may go.
    std::map<Key, Entry>::iterator victimFor(std::uint32_t sender, std::int64_t nowNs);
    // Lists the best entry of `serial`, or none; true when the listing changed.
    bool relist(std::uint32_t serial, std::int64_t nowNs);
    void rebuildListing(std::int64_t nowNs);

    Limits m_limits;
    std::map<Key, Entry> m_entries;
    VisibleSonars m_listing;
    std::unordered_map<std::uint32_t, std::uint32_t> m_listedSender;
    Ignored m_ignored;
};

} // namespace Keldar::Ondrix::Utilities
