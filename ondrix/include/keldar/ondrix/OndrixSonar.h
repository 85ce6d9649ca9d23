#pragma once

#include <keldar/core/Attitude.h>
#include <keldar/core/Signal.h>
#include <keldar/ondrix/MessageType.h>
#include <keldar/ondrix/ModelSpec.h>
#include <keldar/ondrix/OndrixImage.h>
#include <keldar/ondrix/SonarTypes.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Keldar::Ondrix {

namespace Status {
class StatusSocketThread;
}

struct OndrixSonarPrivate;

/// The application's handle on one connected sonar: holds the imaging
/// parameters, turns them into fire requests, reports images and status
/// through its signals, and replaces its TCP session by itself when the
/// sonar falls silent and comes back (or the session dies).
///
/// Threads: setters, getters, beginImaging and ping on the application's
/// thread; newImage, newAttitude, newNetworkConfig and rawMessage on the
/// session thread; the status signals, the offline/reconnect signals and the
/// initialParameters of a reconnection on the status listener thread.
class OndrixSonar : public Observer
{
public:
    using OperationParameters = Keldar::Ondrix::OperationParameters;
    using DeviceInfo = Keldar::Ondrix::DeviceInfo;
    using SonarCapabilities = Keldar::Ondrix::SonarCapabilities;
    using EnvironmentalConditions = Keldar::Ondrix::EnvironmentalConditions;
    using TemperatureStatus = Keldar::Ondrix::TemperatureStatus;
    using SsblPauseReason = Keldar::Ondrix::SsblPauseReason;
    using PingControl = Keldar::Ondrix::PingControl;
    using Frequency = Keldar::Ondrix::Frequency;
    using PingRate = Keldar::Ondrix::PingRate;
    using Attitude = DataProcessing::Orientation::Attitude;

    static constexpr std::uint16_t defaultPort = 52100;
    static constexpr std::chrono::milliseconds defaultConnectWait{2100};
    static constexpr std::chrono::milliseconds offlineAfter{3000};
    /// In continuous mode, a watchdog tick this long after the last ping
    /// result sends a fresh fire request: a lost result must not end imaging.
    static constexpr std::chrono::milliseconds stalledAfter{5000};
    /// After such a re-ask, how long a second result may take before the
    /// request that stalled imaging is taken as lost: several ping periods
    /// even at the slowest ping rate.
    static constexpr std::chrono::milliseconds lateResultWait{2000};

    /// Connects at once (waiting up to `connectWait`); throws ConnectionError
    /// when the sonar does not accept. `listener` must outlive this object.
    OndrixSonar(DeviceInfo info, const Status::StatusSocketThread* listener, std::uint16_t port = defaultPort,
                std::chrono::milliseconds connectWait = defaultConnectWait);
    ~OndrixSonar() override;
    OndrixSonar(const OndrixSonar&) = delete;
    OndrixSonar& operator=(const OndrixSonar&) = delete;

    Signal<const OperationParameters&> initialParameters;
    Signal<const OndrixImage&> newImage;
    Signal<const Attitude&> newAttitude;
    Signal<bool, const std::string&, const std::string&> newNetworkConfig;
    Signal<const std::vector<std::byte>&, MessageType, int> rawMessage;
    Signal<SsblPauseReason> ssblPaused;
    Signal<TemperatureStatus> newTemperatureStatus;
    Signal<double> newInternalTemperature; // kelvin
    Signal<EnvironmentalConditions> newEnvironmentalConditions;
    Signal<> transmitCircuitFailure;
    Signal<> sonarOffline;
    Signal<> sonarReconnected;
    Signal<> sonarReconnectFailed;

    void beginImaging(PingControl control);
    void ping();

    void setRange(double range);
    void setGain(double gain);
    void setFrequency(Frequency frequency);
    void setPingRate(PingRate rate);
    void setBandwidth(std::uint8_t bandwidth);
    void setGamma(std::uint8_t gamma);
    void setGainAssist(bool enabled);
    void setGainBoost(bool enabled);
    void setFullBeams(bool enabled);
    void setLowPowerMode(bool enabled);
    void setEnvironment(double speedOfSound, double salinity);
    /// Address and mask as dotted-quad text; throws as DottedQuadValue does
    /// for text that is not an address.
    void setNetworkConfiguration(bool dhcp, const std::string& address, const std::string& mask);

    [[nodiscard]] double getRange() const;
    [[nodiscard]] double getGain() const;
    [[nodiscard]] Frequency getFrequency() const;
    [[nodiscard]] PingRate getPingRate() const;
    [[nodiscard]] std::uint8_t getBandwidth() const;
    [[nodiscard]] std::uint8_t getGamma() const;
    [[nodiscard]] bool gainAssistIsEnabled() const;
    [[nodiscard]] bool gainBoostIsEnabled() const;
    [[nodiscard]] bool fullBeamsIsEnabled() const;
    [[nodiscard]] double getSpeedOfSound() const;
    [[nodiscard]] double getSalinity() const;
    /// All parameters at once, as the next fire request will carry them.
    [[nodiscard]] OperationParameters getParameters() const;

    [[nodiscard]] std::string getIP() const;
    [[nodiscard]] std::string getSubnetMask() const;
    [[nodiscard]] std::string getFirmwareVersion() const;
    [[nodiscard]] ModelNumber getModelNumber() const;
    [[nodiscard]] std::uint32_t getSerialNumber() const;
    /// Statuses carrying its serial from another sending address than the
    /// one it was connected through, ignored. From any thread.
    [[nodiscard]] std::uint64_t foreignStatusCount() const;
    [[nodiscard]] SonarCapabilities getCapabilities() const;
    [[nodiscard]] const ModelSpec& getSpec() const;

    /// Whether a TCP session is currently in place.
    [[nodiscard]] bool hasSession() const;

private:
    std::unique_ptr<OndrixSonarPrivate> d;
};

} // namespace Keldar::Ondrix
