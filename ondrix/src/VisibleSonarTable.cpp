#include <keldar/ondrix/VisibleSonarTable.h>

#include <keldar/core/DottedQuadValue.h>
#include <keldar/ondrix/ModelSpecs.h>
#include <keldar/ondrix/ProtocolLayout.h>

#include <algorithm>
#include <tuple>

namespace Keldar::Ondrix::Utilities {

namespace {

// Address, mask, model, firmware and capabilities come from the first datagram
// only; later ones refresh the connectable state.
DeviceInfo firstInfo(const StatusFields& f)
{
    namespace L = ProtocolLayout::Status;
    DeviceInfo info;
    info.ipAddress = DottedQuadValue(f.ipAddress, false).toString(false);
    info.subnetMask = DottedQuadValue(f.subnetMask, false).toString(false);
    info.modelNumber = f.partNumber;
    info.serialNumber = f.serialNumber;
    info.firmwareVersion = std::to_string(f.firmwareVersion);
    info.spec = ModelSpecs::getModelSpec(f.partNumber);
    info.connectable = f.connectionRefusal == 0 && info.spec.name != "Unknown";
    info.capabilities =
        SonarCapabilities{(f.statusWord & L::firstCapabilityBit) != 0, (f.statusWord & L::secondCapabilityBit) != 0};
    return info;
}

bool sameListing(const DeviceInfo& a, const DeviceInfo& b)
{
    return a.ipAddress == b.ipAddress && a.connectable == b.connectable && a.modelNumber == b.modelNumber &&
           a.firmwareVersion == b.firmwareVersion;
}

} // namespace

VisibleSonarTable::VisibleSonarTable()
    : VisibleSonarTable(Limits{})
{
}

VisibleSonarTable::VisibleSonarTable(Limits limits)
    : m_limits(limits)
{
    m_limits.regularStatuses = std::max<std::size_t>(1, m_limits.regularStatuses);
}

bool VisibleSonarTable::isRegular(const Entry& entry, std::int64_t nowNs) const
{
    if (entry.heard < m_limits.regularStatuses) {
        return false;
    }
    // The oldest of the last few arrivals sits where the next one will go.
    const std::int64_t oldest = entry.recent[entry.heard % m_limits.regularStatuses];
    return nowNs - oldest <= m_limits.regularWindow.count();
}

std::map<VisibleSonarTable::Key, VisibleSonarTable::Entry>::iterator VisibleSonarTable::victimFor(std::uint32_t sender,
                                                                                                  std::int64_t nowNs)
{
    std::map<std::uint32_t, std::size_t> perSender;
    for (const auto& [key, entry] : m_entries) {
        ++perSender[key.second];
    }
    const bool senderFull = perSender[sender] >= m_limits.perSender;
    if (!senderFull && m_entries.size() < m_limits.capacity) {
        return m_entries.end(); // room without evicting
    }
    // A sender at its bound makes room among its own; otherwise the heaviest
    // sender gives up its least recently heard irregular entry.
    auto victim = m_entries.end();
    std::tuple<std::size_t, std::int64_t> best{0, 0};
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if ((senderFull && it->first.second != sender) || isRegular(it->second, nowNs)) {
            continue;
        }
        const std::tuple<std::size_t, std::int64_t> rank{perSender[it->first.second], -it->second.info.lastSeen};
        if (victim == m_entries.end() || rank > best) {
            victim = it;
            best = rank;
        }
    }
    return victim;
}

bool VisibleSonarTable::add(const Status::Message& message, std::uint32_t sender, std::int64_t nowNs)
{
    const StatusFields f = message.fields();
    const Key key{f.serialNumber, sender};
    bool changed = false;
    auto found = m_entries.find(key);
    if (found == m_entries.end()) {
        std::size_t fromSender = 0;
        for (const auto& item : m_entries) {
            fromSender += item.first.second == sender ? 1 : 0;
        }
        if (m_entries.size() >= m_limits.capacity || fromSender >= m_limits.perSender) {
            const auto victim = victimFor(sender, nowNs);
            if (victim == m_entries.end()) {
                ++m_ignored.refused;
                return false;
            }
            const std::uint32_t evictedSerial = victim->first.first;
            m_entries.erase(victim);
            ++m_ignored.evicted;
            changed = relist(evictedSerial, nowNs);
        }
        Entry entry;
        entry.info = firstInfo(f);
        entry.info.senderAddress = sender;
        entry.firstHeard = nowNs;
        entry.recent.assign(m_limits.regularStatuses, 0);
        found = m_entries.emplace(key, std::move(entry)).first;
    } else {
        found->second.info.connectable = f.connectionRefusal == 0 && found->second.info.spec.name != "Unknown";
    }
    Entry& entry = found->second;
    entry.info.lastSeen = nowNs;
    entry.recent[entry.heard % m_limits.regularStatuses] = nowNs;
    ++entry.heard;
    return relist(f.serialNumber, nowNs) || changed;
}

bool VisibleSonarTable::relist(std::uint32_t serial, std::int64_t nowNs)
{
    // The entries of one serial number are neighbours in the map.
    const Entry* best = nullptr;
    std::uint32_t bestSender = 0;
    std::pair<bool, std::int64_t> bestRank{false, 0};
    for (auto it = m_entries.lower_bound({serial, 0}); it != m_entries.end() && it->first.first == serial; ++it) {
        // Regular first, then the one heard first.
        const std::pair<bool, std::int64_t> rank{isRegular(it->second, nowNs), -it->second.firstHeard};
        if (best == nullptr || rank > bestRank) {
            best = &it->second;
            bestSender = it->first.second;
            bestRank = rank;
        }
    }
    const auto listed = m_listing.find(serial);
    if (best == nullptr) {
        if (listed == m_listing.end()) {
            return false;
        }
        m_listing.erase(listed);
        m_listedSender.erase(serial);
        return true;
    }
    const bool changed =
        listed == m_listing.end() || m_listedSender[serial] != bestSender || !sameListing(listed->second, best->info);
    if (changed) {
        m_listing[serial] = best->info;
        m_listedSender[serial] = bestSender;
    } else {
        listed->second.lastSeen = best->info.lastSeen;
    }
    return changed;
}

bool VisibleSonarTable::expire(std::int64_t nowNs)
{
    const auto removed = std::erase_if(
        m_entries, [&](const auto& item) { return nowNs - item.second.info.lastSeen >= m_limits.expiry.count(); });
    if (removed == 0) {
        return false;
    }
    rebuildListing(nowNs);
    return true;
}

void VisibleSonarTable::rebuildListing(std::int64_t nowNs)
{
    std::vector<std::uint32_t> serials;
    serials.reserve(m_listing.size() + m_entries.size());
    for (const auto& item : m_listing) {
        serials.push_back(item.first);
    }
    for (const auto& item : m_entries) {
        serials.push_back(item.first.first);
    }
    for (const std::uint32_t serial : serials) {
        relist(serial, nowNs);
    }
}

} // namespace Keldar::Ondrix::Utilities
