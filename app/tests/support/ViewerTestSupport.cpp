#include "support/ViewerTestSupport.h"

#include "application/ExceptionCatchingApplication.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>
#include <QUdpSocket>

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
}

TemporarySettings::~TemporarySettings() = default;

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

std::uint16_t freeUdpPort()
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, 0)) {
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

} // namespace Keldar::OndrixLumivane::Testing
