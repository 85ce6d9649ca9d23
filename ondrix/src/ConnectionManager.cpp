#include <keldar/ondrix/ConnectionManager.h>

#include <keldar/core/DottedQuadValue.h>
#include <keldar/ondrix/ConnectionError.h>
#include <keldar/ondrix/ModelSpecs.h>
#include <keldar/ondrix/ProtocolLayout.h>
#include <keldar/ondrix/StatusSocketThread.h>

#include <algorithm>
#include <mutex>

namespace Keldar::Ondrix::Utilities {

namespace {

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

struct ConnectionManager::Private
{
    Settings settings;
    std::unique_ptr<Status::StatusSocketThread> listener;
    mutable std::mutex tableMutex;
    VisibleSonars table;
};

ConnectionManager::ConnectionManager()
    : ConnectionManager(Settings{})
{
}

ConnectionManager::ConnectionManager(Settings settings)
    : d(std::make_unique<Private>())
{
    d->settings = std::move(settings);
    d->listener = std::make_unique<Status::StatusSocketThread>(d->settings.listenAddress, d->settings.statusPort,
                                                               d->settings.tickPeriod);

    connect(d->listener->statusReceived, [this](Status::Message message) {
        namespace L = ProtocolLayout::Status;
        const StatusFields f = message.fields();
        VisibleSonars snapshot;
        {
            std::lock_guard lock(d->tableMutex);
            auto found = d->table.find(f.serialNumber);
            if (found == d->table.end()) {
                // Made-up serial numbers must not grow the table without end:
                // the sonar heard longest ago makes room.
                if (d->table.size() >= maxVisibleSonars) {
                    d->table.erase(std::min_element(d->table.begin(), d->table.end(), [](const auto& a, const auto& b) {
                        return a.second.lastSeen < b.second.lastSeen;
                    }));
                }
                found = d->table.emplace(f.serialNumber, DeviceInfo{}).first;
            }
            DeviceInfo& entry = found->second;
            entry.lastSeen = nowNs();
            const bool connectable = f.connectionRefusal == 0;
            if (entry.serialNumber != 0) {
                // Only the connectable state may change after the first datagram.
                const bool effective = connectable && entry.spec.name != "Unknown";
                if (effective == entry.connectable) {
                    return;
                }
                entry.connectable = effective;
            } else {
                entry.ipAddress = DottedQuadValue(f.ipAddress, false).toString(false);
                entry.subnetMask = DottedQuadValue(f.subnetMask, false).toString(false);
                entry.modelNumber = f.partNumber;
                entry.serialNumber = f.serialNumber;
                entry.firmwareVersion = std::to_string(f.firmwareVersion);
                entry.spec = ModelSpecs::getModelSpec(f.partNumber);
                entry.connectable = connectable && entry.spec.name != "Unknown";
                entry.capabilities = SonarCapabilities{(f.statusWord & L::firstCapabilityBit) != 0,
                                                       (f.statusWord & L::secondCapabilityBit) != 0};
            }
            snapshot = d->table;
        }
        visibleSonarsChanged.emit(snapshot);
    });

    connect(d->listener->tick, [this] {
        const std::int64_t now = nowNs();
        const std::int64_t limit = std::chrono::nanoseconds(expiry).count();
        VisibleSonars snapshot;
        {
            std::lock_guard lock(d->tableMutex);
            const auto removed =
                std::erase_if(d->table, [&](const auto& item) { return now - item.second.lastSeen >= limit; });
            if (removed == 0) {
                return;
            }
            snapshot = d->table;
        }
        visibleSonarsChanged.emit(snapshot);
    });
}

ConnectionManager::~ConnectionManager()
{
    d->listener->stop();
    disconnectAll();
}

void ConnectionManager::startListening()
{
    d->listener->start();
}

ConnectionManager::VisibleSonars ConnectionManager::getVisibleSonars() const
{
    std::lock_guard lock(d->tableMutex);
    return d->table;
}

std::unique_ptr<OndrixSonar> ConnectionManager::getSonar(std::uint32_t serialNumber)
{
    DeviceInfo info;
    {
        std::lock_guard lock(d->tableMutex);
        const auto it = d->table.find(serialNumber);
        if (it == d->table.end()) {
            return nullptr;
        }
        info = it->second;
    }
    try {
        return std::make_unique<OndrixSonar>(std::move(info), d->listener.get(), d->settings.sonarPort,
                                             d->settings.connectWait);
    } catch (const ConnectionError&) {
        return nullptr;
    }
}

const Status::StatusSocketThread& ConnectionManager::getStatusListener() const
{
    return *d->listener;
}

} // namespace Keldar::Ondrix::Utilities
