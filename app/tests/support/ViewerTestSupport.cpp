#include "support/ViewerTestSupport.h"

#include "application/ExceptionCatchingApplication.h"
#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "base/MessageBoxes.h"
#include "base/SettingsStore.h"

#include <keldar/gui/ToastDisplayManager.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>
#include <QUdpSocket>

#include <cstdio>
#include <stdexcept>

namespace Keldar::OndrixLumivane::Testing {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "lumivane-test";
    static char* argv[] = {name, nullptr};
    static auto* app = new ExceptionCatchingApplication(argc, argv);
    return *app;
}

TemporarySettings::TemporarySettings()
{
    if (!dir.isValid()) {
        throw std::runtime_error("cannot create a temporary settings folder");
    }
    QStandardPaths::setTestModeEnabled(true);
    for (const auto format : {QSettings::IniFormat, QSettings::NativeFormat}) {
        QSettings::setPath(format, QSettings::UserScope, dir.path());
        QSettings::setPath(format, QSettings::SystemScope, dir.path() + "/system");
    }
    previousHome = qgetenv("HOME");
    qputenv("HOME", dir.path().toLocal8Bit());
}

TemporarySettings::~TemporarySettings()
{
    qputenv("HOME", previousHome);
}

QString TemporarySettings::path() const
{
    return dir.path();
}

bool waitFor(const std::function<bool()>& predicate, std::chrono::milliseconds timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!predicate()) {
        if (clock.elapsed() > timeout.count()) {
            return predicate();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

bool saveScreenshot(QWidget& widget, const QString& path, std::chrono::milliseconds settle)
{
    (void)waitFor([] { return false; }, settle);
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", path.toLocal8Bit().constData());
    return saved;
}

std::uint16_t freeUdpPort()
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0)) {
        throw std::runtime_error("no free UDP port on loopback");
    }
    return socket.localPort();
}

std::uint16_t freeTcpPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        throw std::runtime_error("no free TCP port on loopback");
    }
    return server.serverPort();
}

LoopbackNetwork::LoopbackNetwork()
    : statusPort(freeUdpPort())
    , sonarPort(freeTcpPort())
{
}

Ondrix::Utilities::ConnectionManager::Settings LoopbackNetwork::managerSettings() const
{
    Ondrix::Utilities::ConnectionManager::Settings settings;
    settings.listenAddress = "127.0.0.1";
    settings.statusPort = statusPort;
    settings.sonarPort = sonarPort;
    return settings;
}

Sim::SimulatedSonarConfig LoopbackNetwork::sonarConfig(std::uint32_t serialNumber, int host) const
{
    Sim::SimulatedSonarConfig config;
    config.serialNumber = serialNumber;
    config.address = "127.0.0." + std::to_string(host);
    config.tcpPort = sonarPort;
    config.statusDestination = "127.0.0.1";
    config.statusPort = statusPort;
    config.statusInterval = std::chrono::milliseconds(100);
    config.seed = serialNumber;
    return config;
}

std::unique_ptr<Sim::SimulatedSonar> LoopbackNetwork::startSonar(std::uint32_t serialNumber, int host) const
{
    auto sonar = std::make_unique<Sim::SimulatedSonar>(sonarConfig(serialNumber, host));
    sonar->start();
    return sonar;
}

void startViewerProgram(QProcess& viewer, const QString& executable, const QString& configHome,
                        const LoopbackNetwork& network, std::uint32_t serialNumber,
                        const std::vector<std::pair<QString, QString>>& extra)
{
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    for (const auto& [name, value] : extra) {
        environment.insert(name, value);
    }
    viewer.setProcessEnvironment(environment);
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(executable,
                 {QStringLiteral("--connect"), QString::number(serialNumber), QStringLiteral("--listen-address"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("--status-port"), QString::number(network.statusPort),
                  QStringLiteral("--sonar-port"), QString::number(network.sonarPort)});
}

} // namespace Keldar::OndrixLumivane::Testing

namespace Keldar::OndrixLumivane::Testing {

ViewerSession::ViewerSession()
{
    start();
}

void ViewerSession::restart()
{
    window.reset();
    LumivaneApplication::destroyInstance();
    start();
}

void ViewerSession::start()
{
    Testing::application();
    MessageBoxes::setPresenter([this](QMessageBox& box) {
        messageBoxes.emplace_back(box.windowTitle(), box.text());
        return static_cast<int>(box.defaultButton() != nullptr ? box.standardButton(box.defaultButton())
                                                               : QMessageBox::Ok);
    });
    auto managerSettings = network.managerSettings();
    // Status is checked often so that silences and returns show quickly.
    managerSettings.tickPeriod = std::chrono::milliseconds(200);
    this->application = LumivaneApplication::instance();
    this->application->setup(static_cast<QApplication&>(Testing::application()), managerSettings);
    controller = this->application->getController();
    window = std::make_unique<LumivaneWindow>();
    this->application->start(window.get());
    if (!waitFor([this] { return window->isVisible(); })) {
        throw std::runtime_error("the window did not show");
    }
}

ViewerSession::~ViewerSession()
{
    window.reset();
    LumivaneApplication::destroyInstance();
    MessageBoxes::setPresenter({});
}

void ViewerSession::setGeneralSetting(const QString& key, const QVariant& value) const
{
    const auto store = openSettingsStore();
    store->beginGroup(QStringLiteral("GeneralSettings"));
    store->setValue(key, value);
    store->sync();
}

QStringList ViewerSession::shownToasts() const
{
    QStringList texts;
    for (const auto* toast : window->getToastDisplayManager()->getToasts()) {
        if (toast != nullptr && !toast->isHidden()) {
            texts << toast->getText();
        }
    }
    return texts;
}

bool ViewerSession::toastShown(const QString& text) const
{
    return shownToasts().contains(text);
}

double ViewerSession::fanCoverage() const
{
    auto* fan = window->getFanDisplay();
    const QImage picture = fan->grabFramebuffer();
    const QRgb background = fan->getClearColour().rgb();
    qint64 differing = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if ((picture.pixel(x, y) & 0xFFFFFFU) != (background & 0xFFFFFFU)) {
                ++differing;
            }
        }
    }
    const qint64 total = qint64(picture.width()) * picture.height();
    return total == 0 ? 0.0 : double(differing) / double(total);
}

} // namespace Keldar::OndrixLumivane::Testing
