#include <keldar/ondrix/OndrixSonar.h>

#include <keldar/core/DottedQuadValue.h>
#include <keldar/core/Units/Bar.h>
#include <keldar/core/Units/Celsius.h>
#include <keldar/ondrix/BadlyFormedMessageError.h>
#include <keldar/ondrix/ConnectionError.h>
#include <keldar/ondrix/MainSocketThread.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/ProtocolLayout.h>
#include <keldar/ondrix/StatusSocketThread.h>

#include <atomic>
#include <climits>
#include <mutex>
#include <optional>

namespace Keldar::Ondrix {

using Clock = std::chrono::steady_clock;

namespace {

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

double celsiusToKelvin(double celsius)
{
    static const DataProcessing::Units::Temperature::Celsius unit;
    return unit.toSI(celsius);
}

double barToPascal(double bar)
{
    static const DataProcessing::Units::Pressure::Bar unit;
    return unit.toSI(bar);
}

} // namespace

struct OndrixSonarPrivate
{
    DeviceInfo info;
    const Status::StatusSocketThread* listener = nullptr;
    std::uint16_t port = OndrixSonar::defaultPort;
    std::chrono::milliseconds connectWait = OndrixSonar::defaultConnectWait;

    // Parameters and ping control: written by the application's thread, read
    // whole by the session thread for every fire request.
    mutable std::mutex parameterMutex;
    OperationParameters parameters;
    std::optional<PingControl> pingControl;

    // Only the status listener thread touches these.
    int lastMainState = INT_MAX;
    int lastPauseReason = 7;
    int lastTemperatureState = 2;
    bool transmitFailureReported = false;

    std::atomic<std::int64_t> lastStatusTime{0};
    std::atomic<std::uint64_t> foreignStatuses{0};
    // Set first thing in the destructor: a watchdog tick that starts after it
    // returns at once instead of trying another (2 s) reconnection.
    std::atomic<bool> destroying{false};
    // Abandons a reconnection attempt in progress when the device goes.
    std::shared_ptr<std::atomic<bool>> cancelConnect = std::make_shared<std::atomic<bool>>(false);
    // Continuous imaging lives on one fire request per result: if a result is
    // ever lost (a corrupted stream, a sonar that skipped a request), nothing
    // would ask again. The watchdog re-asks after this long without a result.
    std::atomic<std::int64_t> lastResultTime{0};
    std::int64_t lastStallFire = 0; // listener thread only

    // Shared ownership lets a caller keep the session alive while it queues a
    // message, even if the watchdog drops it at that moment; the last holder
    // destroys (and joins) it.
    mutable std::mutex sessionMutex;
    std::shared_ptr<MainSocketThread> session;

    Connection statusConnection;
    Connection tickConnection;

    OperationParameters snapshot() const
    {
        std::lock_guard lock(parameterMutex);
        return parameters;
    }

    std::shared_ptr<MainSocketThread> currentSession() const
    {
        std::lock_guard lock(sessionMutex);
        return session;
    }

    template<typename Change>
    void change(Change&& apply)
    {
        std::lock_guard lock(parameterMutex);
        apply(parameters);
    }
};

OndrixSonar::OndrixSonar(DeviceInfo info, const Status::StatusSocketThread* listener, std::uint16_t port,
                         std::chrono::milliseconds connectWait)
    : d(std::make_unique<OndrixSonarPrivate>())
{
    d->info = std::move(info);
    d->listener = listener;
    d->port = port;
    d->connectWait = connectWait;
    d->lastStatusTime = nowNs();

    auto makeSession = [this] {
        auto session =
            std::make_shared<MainSocketThread>(MainSocketThread::Endpoint{d->info.ipAddress, d->info.serialNumber,
                                                                          d->port, d->connectWait, d->cancelConnect},
                                               [this] { return d->snapshot(); });
        return session;
    };

    // Session signals: parse and report. A malformed message is dropped here
    // rather than allowed to end the session thread.
    auto connectMainComms = [this](MainSocketThread& session) {
        connect(session.pingResultReceived, [this](const std::vector<std::byte>& message) {
            d->lastResultTime = nowNs();
            try {
                auto parsed = MessageParsing::parseSimplePingResult(message);
                newImage.emit(parsed.image);
                rawMessage.emit(message, MessageType::SimplePingResult, 1);
            } catch (const BadlyFormedMessageError&) {
            }
        });
        connect(session.pingResultV2Received, [this](const std::vector<std::byte>& message) {
            d->lastResultTime = nowNs();
            try {
                auto parsed = MessageParsing::parseSimplePingResultV2(message);
                newImage.emit(parsed.image);
                newAttitude.emit(parsed.attitude);
                rawMessage.emit(message, MessageType::SimplePingResult, 2);
            } catch (const BadlyFormedMessageError&) {
            }
        });
        connect(session.userConfigReceived, [this](const std::vector<std::byte>& message) {
            try {
                const auto config = MessageParsing::parseUserConfig(message);
                newNetworkConfig.emit(config.dhcp, config.address, config.mask);
            } catch (const BadlyFormedMessageError&) {
            }
        });
        session.startDispatching();
    };

    auto session = makeSession(); // throws ConnectionError on its own
    connectMainComms(*session);
    {
        std::lock_guard lock(d->sessionMutex);
        d->session = session;
    }

    if (listener == nullptr) {
        return;
    }

    d->statusConnection = connect(listener->statusReceived, [this](Status::Message message) {
        namespace L = ProtocolLayout::Status;
        const StatusFields f = message.fields();
        if (f.serialNumber != d->info.serialNumber) {
            return;
        }
        // Pinned to the address it was connected through: another sender
        // claiming its serial (a spoofer) neither resets its watchdog nor
        // changes its state.
        if (d->info.senderAddress != 0 && message.senderAddress() != d->info.senderAddress) {
            d->foreignStatuses.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        d->lastStatusTime = nowNs();

        const int state = static_cast<int>(f.statusWord & L::mainStateMask);
        if (state != d->lastMainState) {
            d->lastMainState = state;
            if (state == 1) {
                const int reason = static_cast<int>((f.statusWord >> L::pauseReasonShift) & L::pauseReasonMask);
                d->lastPauseReason = reason;
                if (reason == static_cast<int>(SsblPauseReason::MagSwitch) ||
                    reason == static_cast<int>(SsblPauseReason::Brownout)) {
                    ssblPaused.emit(static_cast<SsblPauseReason>(reason));
                }
            }
        }

        newInternalTemperature.emit(celsiusToKelvin(f.internalTemperature));

        const int temperatureState =
            static_cast<int>((f.statusWord >> L::temperatureStateShift) & L::temperatureStateMask);
        if (temperatureState != d->lastTemperatureState) {
            d->lastTemperatureState = temperatureState;
            newTemperatureStatus.emit(static_cast<TemperatureStatus>(temperatureState));
        }

        newEnvironmentalConditions.emit(
            EnvironmentalConditions{barToPascal(f.pressure), celsiusToKelvin(f.waterTemperature), 0.0});

        if ((f.statusWord & L::transmitFailureBit) != 0 && !d->transmitFailureReported) {
            d->transmitFailureReported = true;
            transmitCircuitFailure.emit();
        }
    });

    d->tickConnection = connect(listener->tick, [this, makeSession, connectMainComms] {
        if (d->destroying.load()) {
            return;
        }
        const auto elapsed = std::chrono::nanoseconds(nowNs() - d->lastStatusTime.load());
        std::shared_ptr<MainSocketThread> current = d->currentSession();

        // A session whose connection failed is as good as none: without this
        // the sonar would stay silent on TCP for as long as it keeps
        // broadcasting status.
        if (elapsed >= offlineAfter || (current && !current->isAlive())) {
            if (current) {
                sonarOffline.emit();
                {
                    std::lock_guard lock(d->sessionMutex);
                    d->session.reset();
                }
                current.reset(); // joins here unless a caller still holds it
            }
            return;
        }
        if (current) {
            bool continuous = false;
            {
                std::lock_guard lock(d->parameterMutex);
                continuous = d->pingControl == PingControl::Continuous;
            }
            const std::int64_t now = nowNs();
            const std::int64_t quietSince = std::max(d->lastResultTime.load(), d->lastStallFire);
            const bool stalled = now - quietSince >= std::chrono::nanoseconds(stalledAfter).count();
            // After a re-ask, one result came but the session still counts a
            // request as unanswered; when no second result follows soon, the
            // earlier request was lost and imaging waits for the next re-ask.
            const bool lateOneLost = current->awaitsLateResult() &&
                                     now - d->lastResultTime.load() >= std::chrono::nanoseconds(lateResultWait).count();
            if (continuous && (stalled || lateOneLost)) {
                d->lastStallFire = now;
                current->resendFire();
            }
            return;
        }
        std::shared_ptr<MainSocketThread> fresh;
        try {
            fresh = makeSession();
        } catch (const ConnectionError&) {
            sonarReconnectFailed.emit();
            return;
        }
        connectMainComms(*fresh);
        const OperationParameters parameters = d->snapshot();
        PingControl control = PingControl::Continuous;
        {
            std::lock_guard lock(d->parameterMutex);
            control = d->pingControl.value_or(PingControl::Continuous);
        }
        initialParameters.emit(parameters);
        d->lastResultTime = nowNs();
        fresh->setOnDemand(control != PingControl::Continuous);
        fresh->sendUserConfig();
        if (control == PingControl::Continuous) {
            fresh->sendFire();
        }
        {
            std::lock_guard lock(d->sessionMutex);
            d->session = fresh;
        }
        sonarReconnected.emit();
    });
}

OndrixSonar::~OndrixSonar()
{
    // Stop the status handling and the watchdog first (each disconnect waits
    // for a running call to finish), then end the session.
    d->destroying = true;
    d->cancelConnect->store(true);
    d->statusConnection.disconnect();
    d->tickConnection.disconnect();
    std::shared_ptr<MainSocketThread> session;
    {
        std::lock_guard lock(d->sessionMutex);
        session = std::move(d->session);
    }
    session.reset();
    disconnectAll();
}

void OndrixSonar::beginImaging(PingControl control)
{
    OperationParameters parameters;
    {
        std::lock_guard lock(d->parameterMutex);
        d->pingControl = control;
        parameters = d->parameters;
    }
    initialParameters.emit(parameters);
    d->lastResultTime = nowNs();
    if (const auto session = d->currentSession()) {
        session->setOnDemand(control != PingControl::Continuous);
        session->sendUserConfig();
        if (control == PingControl::Continuous) {
            session->sendFire();
        }
    }
}

void OndrixSonar::ping()
{
    if (const auto session = d->currentSession()) {
        session->sendFire();
    }
}

void OndrixSonar::setRange(double range)
{
    d->change([&](OperationParameters& p) {
        const ModelSpec& spec = d->info.spec;
        const bool first = p.frequency == Frequency::Low;
        const double minimum = first ? spec.firstMinimumRange : spec.secondMinimumRange;
        const double maximum = first ? spec.firstMaximumRange : spec.secondMaximumRange;
        p.range = range > maximum ? maximum : (range < minimum ? minimum : range);
    });
}

void OndrixSonar::setGain(double gain)
{
    d->change([&](OperationParameters& p) { p.gain = gain; });
}

void OndrixSonar::setFrequency(Frequency frequency)
{
    d->change([&](OperationParameters& p) { p.frequency = frequency; });
}

void OndrixSonar::setPingRate(PingRate rate)
{
    d->change([&](OperationParameters& p) { p.pingRate = rate; });
}

void OndrixSonar::setBandwidth(std::uint8_t bandwidth)
{
    d->change([&](OperationParameters& p) { p.bandwidth = bandwidth; });
}

void OndrixSonar::setGamma(std::uint8_t gamma)
{
    d->change([&](OperationParameters& p) { p.gamma = gamma; });
}

void OndrixSonar::setGainAssist(bool enabled)
{
    d->change([&](OperationParameters& p) { p.gainAssist = enabled; });
}

void OndrixSonar::setGainBoost(bool enabled)
{
    d->change([&](OperationParameters& p) { p.gainBoost = enabled; });
}

void OndrixSonar::setFullBeams(bool enabled)
{
    d->change([&](OperationParameters& p) { p.fullBeams = enabled; });
}

void OndrixSonar::setLowPowerMode(bool enabled)
{
    d->change([&](OperationParameters& p) { p.lowPowerMode = enabled; });
}

void OndrixSonar::setEnvironment(double speedOfSound, double salinity)
{
    d->change([&](OperationParameters& p) {
        p.speedOfSound = speedOfSound;
        p.salinity = salinity;
    });
}

void OndrixSonar::setNetworkConfiguration(bool dhcp, const std::string& address, const std::string& mask)
{
    // Convert first, so that bad text throws before anything is queued.
    const std::uint32_t addressValue = DottedQuadValue(address, true).toUint32_t(false);
    const std::uint32_t maskValue = DottedQuadValue(mask, true).toUint32_t(false);
    if (const auto session = d->currentSession()) {
        session->sendUserConfig(dhcp, addressValue, maskValue);
    }
}

double OndrixSonar::getRange() const
{
    return d->snapshot().range;
}
double OndrixSonar::getGain() const
{
    return d->snapshot().gain;
}
Frequency OndrixSonar::getFrequency() const
{
    return d->snapshot().frequency;
}
PingRate OndrixSonar::getPingRate() const
{
    return d->snapshot().pingRate;
}
std::uint8_t OndrixSonar::getBandwidth() const
{
    return d->snapshot().bandwidth;
}
std::uint8_t OndrixSonar::getGamma() const
{
    return d->snapshot().gamma;
}
bool OndrixSonar::gainAssistIsEnabled() const
{
    return d->snapshot().gainAssist;
}
bool OndrixSonar::gainBoostIsEnabled() const
{
    return d->snapshot().gainBoost;
}
bool OndrixSonar::fullBeamsIsEnabled() const
{
    return d->snapshot().fullBeams;
}
double OndrixSonar::getSpeedOfSound() const
{
    return d->snapshot().speedOfSound;
}
double OndrixSonar::getSalinity() const
{
    return d->snapshot().salinity;
}
OperationParameters OndrixSonar::getParameters() const
{
    return d->snapshot();
}

std::string OndrixSonar::getIP() const
{
    return d->info.ipAddress;
}
std::string OndrixSonar::getSubnetMask() const
{
    return d->info.subnetMask;
}
std::string OndrixSonar::getFirmwareVersion() const
{
    return d->info.firmwareVersion;
}
ModelNumber OndrixSonar::getModelNumber() const
{
    return d->info.modelNumber;
}
std::uint32_t OndrixSonar::getSerialNumber() const
{
    return d->info.serialNumber;
}

std::uint64_t OndrixSonar::foreignStatusCount() const
{
    return d->foreignStatuses.load(std::memory_order_relaxed);
}
SonarCapabilities OndrixSonar::getCapabilities() const
{
    return d->info.capabilities;
}
const ModelSpec& OndrixSonar::getSpec() const
{
    return d->info.spec;
}

bool OndrixSonar::hasSession() const
{
    return d->currentSession() != nullptr;
}

} // namespace Keldar::Ondrix
