#include "controller/MainController.h"

#include "base/MessageBoxes.h"
#include "base/SettingsStore.h"
#include "base/ViewerContext.h"
#include "settings/SonarSetup.h"
#include <keldar/gui/MainWindow.h>

#include <QMetaObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Keldar::OndrixLumivane {

using Ondrix::OndrixSonar;

void registerMetaTypes()
{
    qRegisterMetaType<MainController::VisibleSonars>("std::unordered_map<uint32_t, O::OndrixSonar::DeviceInfo>");
    qRegisterMetaType<MainController::VisibleSonars>("Keldar::Ondrix::Utilities::ConnectionManager::VisibleSonars");
    qRegisterMetaType<Ondrix::DeviceInfo>("Ondrix::OndrixSonar::DeviceInfo");
    qRegisterMetaType<Ondrix::OndrixImage>("O::OndrixImage");
    qRegisterMetaType<Ondrix::OndrixImage>("Keldar::Ondrix::OndrixImage");
    qRegisterMetaType<DataProcessing::Orientation::Attitude>("DataProcessing::Orientation::Attitude");
    qRegisterMetaType<DataProcessing::Orientation::Attitude>("Keldar::DataProcessing::Orientation::Attitude");
    qRegisterMetaType<std::string>("std::string");
    qRegisterMetaType<Ondrix::TemperatureStatus>("Ondrix::TemperatureStatus");
    qRegisterMetaType<Ondrix::TemperatureStatus>("Keldar::Ondrix::TemperatureStatus");
    qRegisterMetaType<Ondrix::EnvironmentalConditions>("Ondrix::EnvironmentalConditions");
    qRegisterMetaType<Ondrix::EnvironmentalConditions>("Keldar::Ondrix::EnvironmentalConditions");
    qRegisterMetaType<Ondrix::SsblPauseReason>("Ondrix::SsblPauseReason");
    qRegisterMetaType<Ondrix::SsblPauseReason>("Keldar::Ondrix::SsblPauseReason");
    qRegisterMetaType<Ondrix::SonarCapabilities>("Keldar::Ondrix::SonarCapabilities");
    qRegisterMetaType<Ondrix::OperationParameters>("Keldar::Ondrix::OperationParameters");
    qRegisterMetaType<Ondrix::ModelSpec>("Keldar::Ondrix::ModelSpec");
    qRegisterMetaType<Ondrix::Frequency>("Keldar::Ondrix::Frequency");
    qRegisterMetaType<Logging::Bookmark>("Logging::Bookmark");
    qRegisterMetaType<std::int64_t>("int64_t");
    qRegisterMetaType<std::int32_t>("int32_t");
    qRegisterMetaType<std::uint32_t>("uint32_t");
    qRegisterMetaType<std::uint8_t>("uint8_t");
    registerVideoExportMetaTypes();
}

namespace {
constexpr int standardToastMs = 2500;
// Longer than the sonars' status interval.
constexpr std::chrono::milliseconds autoConnectSettling{1500};

QString savedSonarGroup(std::uint32_t serialNumber)
{
    return QStringLiteral("SavedSonar-%1").arg(serialNumber);
}

bool generalSetting(const char* key)
{
    const auto settings = openSettingsStore();
    settings->beginGroup(QStringLiteral("GeneralSettings"));
    return settings->value(QLatin1String(key), false).toBool();
}
} // namespace

struct MainController::Private
{
    explicit Private(const NetworkSettings& network)
        : connectionManager(network)
    {
    }

    Ondrix::Utilities::ConnectionManager connectionManager;
    Connection visibleSonarsConnection;
    std::size_t lastVisibleCount = 0;
    // Every connected sonar; the window shows the first.
    std::vector<std::unique_ptr<OndrixSonar>> sonars;
    [[nodiscard]] OndrixSonar* sonar() const { return sonars.empty() ? nullptr : sonars.front().get(); }
    std::uint8_t bandwidthLimit = 100;
    double speedOfSound = 0.0;
    double salinity = 0.0;
    bool autoFrequency = false;
    // The connected sonar's own water and bandwidth; what it lacks comes from
    // the defaults above.
    Settings::OwnChoices own;
    std::function<void()> disconnectAll;
    std::optional<std::uint32_t> connectWhenSeen;

    // A connection waits up to the connect wait for the sonar to answer: it
    // is made on its own thread so that the window stays responsive, and its
    // result is handed over here.
    std::thread connector;
    std::mutex connectorMutex;
    std::unique_ptr<OndrixSonar> connected;
    // The connection under way was given up (a log was opened meanwhile).
    bool connectAbandoned = false;
    // Each connection made is numbered: a result that comes after another
    // connection has started is not that connection's.
    std::uint64_t attempt = 0;

    QPointer<Toast> tooHotToast;
    QPointer<Toast> overheatedToast;
    QPointer<Toast> insufficientPowerToast;
    QPointer<Toast> offlineToast;

    // Data rate: touched by whichever session thread delivers raw messages.
    std::mutex rateMutex;
    std::int64_t rateSecond = 0;
    double rateTotal = 0.0;

    // The newest table of visible sonars not yet handed on: datagrams from
    // many sonars (or a flood of made-up ones) must not queue a copy of the
    // whole table each on the GUI thread.
    std::mutex visibleMutex;
    std::optional<VisibleSonars> pendingVisible;
    bool visibleDeliveryDue = false;
    std::chrono::steady_clock::time_point nextVisibleDelivery;

    // The newest image not yet handed to the display. A slow display skips to
    // it instead of working through a queue of stale images.
    std::mutex imageMutex;
    std::optional<Ondrix::OndrixImage> pendingImage;
    std::uint64_t imagesReceived = 0;
    std::uint64_t imagesShown = 0;
};

MainController::MainController(const NetworkSettings& network, QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>(network))
{
    registerMetaTypes();

    connect(this, &MainController::newVisibleSonarsList, this, &MainController::autoConnect);
    connect(this, &MainController::newTemperatureStatus, this, &MainController::temperatureStatusChanged);
    connect(this, &MainController::newSsblPauseReason, this, &MainController::pausedInSsbl);
    connect(this, &MainController::sonarOffline, this, &MainController::showOfflineToast);
    connect(this, &MainController::sonarReconnected, this, &MainController::dismissOfflineToast);
    connect(this, &MainController::sonarReconnectFailed, this, &MainController::giveUpReconnecting);
    connect(this, &MainController::transmitCircuitFailure, this, &MainController::reportTransmitFailure);

    d->visibleSonarsConnection = d->connectionManager.visibleSonarsChanged.connect(
        [this](const VisibleSonars& list) { visibleSonarsArrived(list); });
    initialiseLogSide();
}

MainController::~MainController()
{
    // The listener thread must not report into a controller being taken apart.
    d->visibleSonarsConnection.disconnect();
    if (d->connector.joinable()) {
        d->connector.join();
    }
    d->connected.reset();
    if (d->disconnectAll) {
        d->disconnectAll();
    }
    // The sonars must go before the connection manager they listen through.
    d->sonars.clear();
}

void MainController::startListening()
{
    d->connectionManager.startListening();
}

void MainController::connectWhenSeen(std::uint32_t serialNumber)
{
    d->connectWhenSeen = serialNumber;
    autoConnect(d->connectionManager.getVisibleSonars());
}

MainController::VisibleSonars MainController::getVisibleSonars() const
{
    return d->connectionManager.getVisibleSonars();
}

bool MainController::isConnected() const
{
    return d->sonar() != nullptr;
}

bool MainController::isConnecting() const
{
    return arbiter.state() == SourceState::Connecting;
}

OndrixSonar* MainController::getSonar() const
{
    return d->sonar();
}

std::size_t MainController::connectedSonarCount() const
{
    return d->sonars.size();
}

std::uint64_t MainController::imagesReceived() const
{
    std::lock_guard lock(d->imageMutex);
    return d->imagesReceived;
}

std::uint64_t MainController::imagesShown() const
{
    std::lock_guard lock(d->imageMutex);
    return d->imagesShown;
}

std::uint64_t MainController::ignoredStatusCount() const
{
    return d->connectionManager.ignoredStatuses().total();
}

void MainController::autoConnect(const VisibleSonars& list)
{
    const std::size_t previousCount = d->lastVisibleCount;
    d->lastVisibleCount = list.size();
    if (d->connectWhenSeen) {
        const auto found = list.find(*d->connectWhenSeen);
        if (found != list.end() && found->second.connectable) {
            const std::uint32_t serial = *d->connectWhenSeen;
            // Asked once: connected, or refused with a message.
            d->connectWhenSeen.reset();
            request(SourceRequest::ConnectOption, {serial, {}});
        }
        return;
    }
    // Auto-connect only takes an idle viewer.
    if (arbiter.answer(SourceRequest::AutoConnect) != SourceAnswer::Go) {
        return;
    }
    if (previousCount != 0 || list.size() != 1 || !list.begin()->second.connectable) {
        return;
    }
    if (!generalSetting("autoConnect")) {
        return;
    }
    // Sonars powered up together are heard one datagram at a time, so the
    // first of them always appears alone. Connect only if it is still alone
    // once every sonar on the network has had time to report.
    const std::uint32_t serial = list.begin()->first;
    QTimer::singleShot(autoConnectSettling, this, [this, serial] {
        const VisibleSonars now = d->connectionManager.getVisibleSonars();
        if (now.size() == 1 && now.begin()->first == serial && now.begin()->second.connectable) {
            request(SourceRequest::AutoConnect, {serial, {}});
        }
    });
}

void MainController::connectToSonar(uint32_t serialNumber)
{
    request(SourceRequest::ChooseSonar, {serialNumber, {}});
}

void MainController::startConnecting(std::uint32_t serialNumber)
{
    // Whatever was shown ends first, completely (a log is closed, a held
    // sonar let go with its parameters saved).
    endSource();
    if (d->connector.joinable()) {
        d->connector.join();
    }
    d->connectAbandoned = false;
    const std::uint64_t attempt = ++d->attempt;
    moveTo(SourceState::Connecting);
    emit connectingToSonar(serialNumber);
    d->connector = std::thread([this, serialNumber, attempt] {
        auto sonar = d->connectionManager.getSonar(serialNumber);
        {
            std::lock_guard lock(d->connectorMutex);
            d->connected = std::move(sonar);
        }
        // No payload: the destructor joins this thread and drops the result
        // before the connection manager goes.
        QMetaObject::invokeMethod(
            this, [this, attempt] { finishConnecting(attempt); }, Qt::QueuedConnection);
    });
}

void MainController::finishConnecting(std::uint64_t attempt)
{
    if (attempt != d->attempt) {
        return;
    }
    if (d->connector.joinable()) {
        d->connector.join();
    }
    std::unique_ptr<OndrixSonar> made;
    {
        std::lock_guard lock(d->connectorMutex);
        made = std::move(d->connected);
    }
    // Given up meanwhile (and already told), or the viewer is closing.
    if (d->connectAbandoned || arbiter.state() != SourceState::Connecting) {
        return;
    }
    if (!made) {
        moveTo(SourceState::Idle);
        emit connectionFailed();
        return;
    }
    if (d->connectWhenSeen == made->getSerialNumber()) {
        d->connectWhenSeen.reset();
    }
    d->sonars.push_back(std::move(made));
    ++arbiter.generation;
    moveTo(SourceState::Live);
    OndrixSonar& sonar = *d->sonar();
    {
        std::lock_guard lock(d->imageMutex);
        d->pendingImage.reset();
    }
    {
        // The first rate reported is this sonar's, not the last one's.
        std::lock_guard lock(d->rateMutex);
        d->rateSecond = 0;
        d->rateTotal = 0.0;
    }

    emit connectedToSonar();
    const Ondrix::ModelSpec& spec = sonar.getSpec();
    emit sonarDetails(sonar.getSerialNumber(), spec.name, sonar.getIP(), sonar.getSubnetMask());
    emit sonarSpec(spec);
    emit newFirmwareVersion(sonar.getFirmwareVersion());
    emit newSonarCapabilities(sonar.getCapabilities());
    emit newTransmitCircuitFailure(false);
    emit newSsblPauseReason(false, static_cast<Ondrix::SsblPauseReason>(7));

    connectSonarSignals(sonar);

    sonar.setBandwidth(d->bandwidthLimit);
    sonar.setEnvironment(d->speedOfSound, d->salinity);
    d->autoFrequency = false;
    restoreSavedParameters(sonar);
    emit autoFrequencyRestored(d->autoFrequency);
    sonar.beginImaging(Ondrix::PingControl::Continuous);

    showToast(ToastType::Success, QStringLiteral("Connected!"), standardToastMs);
}

void MainController::connectSonarSignals(OndrixSonar& sonar)
{
    std::vector<Connection> connections;
    // Figures still on their way from a sonar that has been let go must not
    // land on the next source's screen.
    const std::uint64_t generation = arbiter.generation.load();
    connections.emplace_back(sonar.newImage.connect([this](const Ondrix::OndrixImage& image) { imageArrived(image); }));
    connections.emplace_back(sonar.rawMessage.connect(
        [this](const std::vector<std::byte>& message, Ondrix::MessageType, int) { countData(message.size()); }));
    connections.emplace_back(
        sonar.newAttitude.connect([this, generation](const DataProcessing::Orientation::Attitude& attitude) {
            deliver(generation, [this, attitude] { emit newAttitude(attitude); });
        }));
    connections.emplace_back(sonar.initialParameters.connect(
        [this](const Ondrix::OperationParameters& parameters) { emit initialSonarParameters(parameters); }));
    connections.emplace_back(
        sonar.newNetworkConfig.connect([this](bool dhcp, const std::string& address, const std::string& mask) {
            emit newNetworkConfig(dhcp, address, mask);
        }));
    connections.emplace_back(sonar.newTemperatureStatus.connect(
        [this](Ondrix::TemperatureStatus status) { emit newTemperatureStatus(status); }));
    connections.emplace_back(sonar.newInternalTemperature.connect([this, generation](double temperature) {
        deliver(generation, [this, temperature] { emit newInternalTemperature(temperature); });
    }));
    connections.emplace_back(sonar.transmitCircuitFailure.connect([this] { emit transmitCircuitFailure(); }));
    connections.emplace_back(
        sonar.ssblPaused.connect([this](Ondrix::SsblPauseReason reason) { emit newSsblPauseReason(true, reason); }));
    connections.emplace_back(
        sonar.newEnvironmentalConditions.connect([this, generation](Ondrix::EnvironmentalConditions conditions) {
            deliver(generation, [this, conditions] { emit newEnvironmentalConditions(conditions); });
        }));
    connections.emplace_back(sonar.sonarOffline.connect([this] { emit sonarOffline(); }));
    connections.emplace_back(sonar.sonarReconnected.connect([this] { emit sonarReconnected(); }));
    connections.emplace_back(sonar.sonarReconnectFailed.connect([this] { emit sonarReconnectFailed(); }));

    d->disconnectAll = [connections = std::move(connections)] {
        for (const Connection& connection : connections) {
            connection.disconnect();
        }
    };
}

void MainController::restoreSavedParameters(OndrixSonar& sonar)
{
    const auto settings = openSettingsStore();
    settings->beginGroup(savedSonarGroup(sonar.getSerialNumber()));
    // Water and bandwidth are the sonar's own only when remembered for it;
    // otherwise it keeps the defaults for new sonars, sent before this.
    d->own = Settings::readOwnChoices(*settings);
    if (d->own.bandwidth) {
        sonar.setBandwidth(*d->own.bandwidth);
    }
    if (d->own.water) {
        sonar.setEnvironment(d->own.water->speedOfSound, d->own.water->salinity);
    }
    announceSonarSetup();
    if (!settings->contains(QStringLiteral("range"))) {
        return;
    }
    auto number = [&](const char* key) { return settings->value(QLatin1String(key)); };
    // A store edited by hand must not put codes on the wire that the sonar
    // does not know: out-of-range codes are skipped. The frequency goes
    // first: the range is held to the limits of the frequency in use.
    const unsigned frequency = number("frequency").toUInt();
    if (frequency == static_cast<unsigned>(Ondrix::Frequency::Low) ||
        frequency == static_cast<unsigned>(Ondrix::Frequency::High)) {
        sonar.setFrequency(static_cast<Ondrix::Frequency>(frequency));
    }
    sonar.setRange(number("range").toDouble());
    sonar.setGain(number("gain").toDouble());
    const unsigned pingRate = number("pingRate").toUInt();
    if (pingRate <= static_cast<unsigned>(Ondrix::PingRate::Rate2Hz)) {
        sonar.setPingRate(static_cast<Ondrix::PingRate>(pingRate));
    }
    sonar.setGainAssist(number("gainAssist").toBool());
    sonar.setGainBoost(number("gainBoost").toBool());
    sonar.setFullBeams(number("fullBeams").toBool());
    sonar.setGamma(static_cast<std::uint8_t>(number("gamma").toUInt() & 0xFFU));
    d->autoFrequency = number("autoFrequency").toBool();
}

void MainController::saveParameters(const OndrixSonar& sonar)
{
    const auto settings = openSettingsStore();
    settings->beginGroup(savedSonarGroup(sonar.getSerialNumber()));
    settings->setValue(QStringLiteral("range"), sonar.getRange());
    settings->setValue(QStringLiteral("gain"), sonar.getGain());
    settings->setValue(QStringLiteral("frequency"), static_cast<unsigned>(sonar.getFrequency()));
    settings->setValue(QStringLiteral("pingRate"), static_cast<unsigned>(sonar.getPingRate()));
    settings->setValue(QStringLiteral("gainAssist"), sonar.gainAssistIsEnabled());
    settings->setValue(QStringLiteral("gainBoost"), sonar.gainBoostIsEnabled());
    settings->setValue(QStringLiteral("fullBeams"), sonar.fullBeamsIsEnabled());
    settings->setValue(QStringLiteral("gamma"), static_cast<unsigned>(sonar.getGamma()));
    settings->setValue(QStringLiteral("autoFrequency"), d->autoFrequency);
    // Only what is the sonar's own: the defaults stay the defaults' to change.
    Settings::writeOwnChoices(*settings, d->own);
    settings->sync();
}

void MainController::announceSonarSetup()
{
    if (d->sonar()) {
        emit sonarSetupChanged(Settings::setupOf(d->sonar()->getSerialNumber(), d->own,
                                                 Settings::Water{d->speedOfSound, d->salinity}, d->bandwidthLimit));
    }
}

void MainController::setSonarBandwidth(uint8_t limit)
{
    if (d->sonar()) {
        d->own.bandwidth = limit;
        d->sonar()->setBandwidth(limit);
        announceSonarSetup();
    }
}

void MainController::setSonarEnvironment(double speedOfSound, double salinity)
{
    if (d->sonar()) {
        d->own.water = Settings::Water{speedOfSound, salinity};
        d->sonar()->setEnvironment(speedOfSound, salinity);
        announceSonarSetup();
    }
}

void MainController::useDefaultsForSonar()
{
    if (!d->sonar()) {
        return;
    }
    d->own = {};
    d->sonar()->setBandwidth(d->bandwidthLimit);
    d->sonar()->setEnvironment(d->speedOfSound, d->salinity);
    // Forgotten at once, not at the disconnection: with "Save Sonar
    // Parameters" off the old values would come back at the next connection.
    const auto settings = openSettingsStore();
    settings->beginGroup(savedSonarGroup(d->sonar()->getSerialNumber()));
    Settings::writeOwnChoices(*settings, d->own);
    settings->sync();
    announceSonarSetup();
}

void MainController::disconnectFromSonar()
{
    if (arbiter.base() == SourceState::Connecting) {
        // Given up: the connection's result is dropped when it comes.
        d->connectAbandoned = true;
        moveTo(SourceState::Idle);
        emit connectingAbandoned();
        return;
    }
    if (!d->sonar()) {
        return;
    }
    // The recording is closed (and checked) before its sonar goes.
    stopRecordingOnDisconnection();
    if (d->disconnectAll) {
        d->disconnectAll();
        d->disconnectAll = nullptr;
    }
    if (generalSetting("saveSonarParams")) {
        saveParameters(*d->sonar());
    }
    d->sonars.clear();
    ++arbiter.generation;
    {
        std::lock_guard lock(d->imageMutex);
        d->pendingImage.reset();
    }
    moveTo(SourceState::Idle);
    emit disconnectedFromSonar();
}

void MainController::countData(std::size_t bytes)
{
    const std::int64_t second =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::lock_guard lock(d->rateMutex);
    if (second != d->rateSecond) {
        emit newDataRate(static_cast<float>(d->rateTotal));
        d->rateSecond = second;
        d->rateTotal = 0.0;
    }
    d->rateTotal += static_cast<double>(bytes) / 1'000'000.0 * 8.0;
}

void MainController::visibleSonarsArrived(const VisibleSonars& list)
{
    bool notify = false;
    {
        std::lock_guard lock(d->visibleMutex);
        d->pendingVisible = list;
        notify = !d->visibleDeliveryDue;
        d->visibleDeliveryDue = true;
    }
    if (notify) {
        QMetaObject::invokeMethod(this, &MainController::showNewestVisibleSonars, Qt::QueuedConnection);
    }
}

void MainController::showNewestVisibleSonars()
{
    // The first change goes out at once; changes that follow it closely wait
    // for the interval and go out together.
    const auto now = std::chrono::steady_clock::now();
    if (now < d->nextVisibleDelivery) {
        QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(d->nextVisibleDelivery - now), this,
                           &MainController::showNewestVisibleSonars);
        return;
    }
    std::optional<VisibleSonars> list;
    {
        std::lock_guard lock(d->visibleMutex);
        list.swap(d->pendingVisible);
        d->visibleDeliveryDue = false;
    }
    d->nextVisibleDelivery = now + visibleSonarsInterval;
    if (list) {
        emit newVisibleSonarsList(std::move(*list));
    }
}

void MainController::imageArrived(Ondrix::OndrixImage image)
{
    bool notify = false;
    {
        std::lock_guard lock(d->imageMutex);
        ++d->imagesReceived;
        notify = !d->pendingImage.has_value();
        d->pendingImage = std::move(image);
    }
    if (notify) {
        QMetaObject::invokeMethod(this, &MainController::showNewestImage, Qt::QueuedConnection);
    }
}

void MainController::showNewestImage()
{
    std::optional<Ondrix::OndrixImage> image;
    {
        std::lock_guard lock(d->imageMutex);
        image.swap(d->pendingImage);
        if (image) {
            ++d->imagesShown;
        }
    }
    if (!image || !d->sonar()) {
        return;
    }
    dismissToast(d->insufficientPowerToast);
    emit newImage(*image);
}

MainController::Toast* MainController::showToast(ToastType type, const QString& text, int durationMs)
{
    auto* window = ViewerContext::instance()->getMainWindowBase();
    if (window == nullptr) {
        return nullptr;
    }
    return window->newToast(type, text, durationMs);
}

void MainController::remember(QPointer<Toast>& slot, Toast* toast)
{
    slot = toast;
    if (toast != nullptr) {
        QPointer<Toast>* where = &slot;
        connect(toast, &Toast::dismissed, this, [where, toast] {
            if (where->data() == toast) {
                *where = nullptr;
            }
        });
    }
}

void MainController::dismissToast(Toast* toast)
{
    if (toast != nullptr) {
        toast->dismiss();
    }
}

void MainController::temperatureStatusChanged(Ondrix::TemperatureStatus status)
{
    // Alarms still queued from a sonar that has just been let go are stale.
    if (!d->sonar()) {
        return;
    }
    switch (status) {
    case Ondrix::TemperatureStatus::OverheatWarning:
        remember(d->tooHotToast, showToast(ToastType::Warning, QStringLiteral("The sonar is getting too hot."), 0));
        dismissToast(d->overheatedToast);
        break;
    case Ondrix::TemperatureStatus::Overheated:
        remember(d->overheatedToast,
                 showToast(ToastType::Error,
                           QStringLiteral("The sonar has overheated, it will no longer function until the "
                                          "temperature has dropped."),
                           0));
        dismissToast(d->tooHotToast);
        break;
    default:
        if (d->overheatedToast) {
            dismissToast(d->overheatedToast);
        } else {
            dismissToast(d->tooHotToast);
        }
        break;
    }
}

void MainController::pausedInSsbl(bool paused, Ondrix::SsblPauseReason reason)
{
    if (!d->sonar() || !paused || reason != Ondrix::SsblPauseReason::Brownout) {
        return;
    }
    remember(d->insufficientPowerToast,
             showToast(ToastType::Error,
                       QStringLiteral("Insufficient power supply - power-cycle the sonar to continue."), 0));
}

void MainController::showOfflineToast()
{
    if (!d->sonar()) {
        return;
    }
    remember(d->offlineToast,
             showToast(ToastType::Error,
                       QStringLiteral("The sonar has been disconnected. Reconnect to continue operation."), 0));
}

void MainController::dismissOfflineToast()
{
    dismissToast(d->offlineToast);
}

void MainController::giveUpReconnecting()
{
    if (request(SourceRequest::SonarLost).answer != SourceAnswer::Go) {
        return;
    }
    showToast(ToastType::Error, QStringLiteral("Failed to reconnect to the sonar."), standardToastMs);
}

void MainController::reportTransmitFailure()
{
    if (!d->sonar()) {
        return;
    }
    emit newTransmitCircuitFailure(true);
    MessageBoxes::critical(ViewerContext::instance()->getMainWindowBase(), QStringLiteral("Transmit Circuit Failure"),
                           QStringLiteral("Critical! Internal hardware failure."));
}

void MainController::setRange(double range)
{
    if (auto* sonar = d->sonar()) {
        sonar->setRange(range);
    }
}

void MainController::setGain(double gain)
{
    if (auto* sonar = d->sonar()) {
        sonar->setGain(gain);
    }
}

void MainController::setFrequency(Ondrix::Frequency frequency)
{
    if (auto* sonar = d->sonar()) {
        sonar->setFrequency(frequency);
    }
}

void MainController::setGamma(int gamma)
{
    if (auto* sonar = d->sonar()) {
        sonar->setGamma(static_cast<std::uint8_t>(gamma));
    }
}

void MainController::setGainAssist(bool enabled)
{
    if (auto* sonar = d->sonar()) {
        sonar->setGainAssist(enabled);
    }
}

void MainController::setGainBoost(bool enabled)
{
    if (auto* sonar = d->sonar()) {
        sonar->setGainBoost(enabled);
    }
}

void MainController::setFullBeams(bool enabled)
{
    if (auto* sonar = d->sonar()) {
        sonar->setFullBeams(enabled);
    }
}

void MainController::setPingRate(int rate)
{
    if (d->sonar() && rate >= 0 && rate <= static_cast<int>(Ondrix::PingRate::Rate2Hz)) {
        d->sonar()->setPingRate(static_cast<Ondrix::PingRate>(rate));
    }
}

void MainController::setNetworkConfig(bool dhcpEnabled, std::string ipAddress, std::string subnetMask)
{
    if (auto* sonar = d->sonar()) {
        sonar->setNetworkConfiguration(dhcpEnabled, ipAddress, subnetMask);
    }
}

void MainController::setBandwidthLimit(uint8_t limit)
{
    d->bandwidthLimit = limit;
    // A default: it reaches the connected sonar only if it has none of its own.
    if (d->sonar() && !d->own.bandwidth) {
        d->sonar()->setBandwidth(limit);
        announceSonarSetup();
    }
}

void MainController::setEnvironmentParams(double speedOfSound, double salinity)
{
    d->speedOfSound = speedOfSound;
    d->salinity = salinity;
    if (d->sonar() && !d->own.water) {
        d->sonar()->setEnvironment(speedOfSound, salinity);
        announceSonarSetup();
    }
}

void MainController::setAutoFrequency(bool enabled)
{
    d->autoFrequency = enabled;
}

} // namespace Keldar::OndrixLumivane
