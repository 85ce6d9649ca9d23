#include <keldar/ondrix/ConnectionManager.h>

#include <keldar/ondrix/ConnectionError.h>
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
    VisibleSonarTable table;
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

    VisibleSonarTable::Limits limits;
    limits.expiry = d->settings.silenceExpiry;
    d->table = VisibleSonarTable(limits);

    connect(d->listener->statusReceived, [this](const Status::Message& message) {
        VisibleSonars snapshot;
        {
            std::lock_guard lock(d->tableMutex);
            if (!d->table.add(message, message.senderAddress(), nowNs())) {
                return;
            }
            snapshot = d->table.sonars();
        }
        visibleSonarsChanged.emit(snapshot);
    });

    connect(d->listener->tick, [this] {
        VisibleSonars snapshot;
        {
            std::lock_guard lock(d->tableMutex);
            if (!d->table.expire(nowNs())) {
                return;
            }
            snapshot = d->table.sonars();
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
    return d->table.sonars();
}

std::unique_ptr<OndrixSonar> ConnectionManager::getSonar(std::uint32_t serialNumber)
{
    DeviceInfo info;
    {
        std::lock_guard lock(d->tableMutex);
        const auto it = d->table.sonars().find(serialNumber);
        if (it == d->table.sonars().end()) {
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

ConnectionManager::IgnoredStatuses ConnectionManager::ignoredStatuses() const
{
    IgnoredStatuses result;
    result.malformed = d->listener->droppedDatagramCount();
    std::lock_guard lock(d->tableMutex);
    const auto ignored = d->table.ignored();
    result.refused = ignored.refused;
    result.evicted = ignored.evicted;
    return result;
}

} // namespace Keldar::Ondrix::Utilities
