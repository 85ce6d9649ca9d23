#pragma once

// Shared ground for the viewer's tests: a private settings store, loopback
// ports, simulated sonars and a wait that reports its result.

#include <keldar/ondrix/ConnectionManager.h>
#include <keldar/sim/SimulatedSonar.h>

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QApplication;
class QProcess;
class QWidget;

namespace Keldar::OndrixLumivane::Testing {

/// The process's application object (the viewer's exception-catching one),
/// created on first use.
QApplication& application();

/// Points the viewer's settings store (and QStandardPaths) at a fresh
/// temporary folder for as long as it lives; the user's own settings are
/// never read or written.
class TemporarySettings
{
public:
    TemporarySettings();
    ~TemporarySettings();
    TemporarySettings(const TemporarySettings&) = delete;
    TemporarySettings& operator=(const TemporarySettings&) = delete;

    [[nodiscard]] QString path() const;

private:
    QTemporaryDir dir;
    // HOME points into the folder too, so that the documents folder (the
    // default log location) is a private one.
    QByteArray previousHome;
};

/// Processes events until `predicate` holds or `timeout` passes; returns
/// whether it held. Check the result: EXPECT_TRUE(waitFor(...)).
[[nodiscard]] bool waitFor(const std::function<bool()>& predicate,
                           std::chrono::milliseconds timeout = std::chrono::seconds(15));

/// Lets animations settle for `settle`, then saves a picture of `widget` and
/// prints where; false when it cannot be written. For the screenshot tours.
bool saveScreenshot(QWidget& widget, const QString& path, std::chrono::milliseconds settle);

/// A port on 127.0.0.1 that was free a moment ago.
[[nodiscard]] std::uint16_t freeUdpPort();
[[nodiscard]] std::uint16_t freeTcpPort();

/// One status port and one session port shared by the simulated sonars of a
/// test and the connection manager that listens for them, all on loopback.
struct LoopbackNetwork
{
    LoopbackNetwork();

    std::uint16_t statusPort;
    std::uint16_t sonarPort;

    [[nodiscard]] Ondrix::Utilities::ConnectionManager::Settings managerSettings() const;
    /// A simulator on 127.0.0.<host> that reports every 100 ms to this network.
    [[nodiscard]] Sim::SimulatedSonarConfig sonarConfig(std::uint32_t serialNumber, int host = 2) const;
    /// Started; stopped when the returned object goes away.
    [[nodiscard]] std::unique_ptr<Sim::SimulatedSonar> startSonar(std::uint32_t serialNumber, int host = 2) const;
};

/// Starts the real program `executable` connecting to `serialNumber` on
/// `network`, its settings under `configHome` (not the user's), with `extra`
/// ("NAME", "value") added to its environment; its output is the test's.
void startViewerProgram(QProcess& viewer, const QString& executable, const QString& configHome,
                        const LoopbackNetwork& network, std::uint32_t serialNumber,
                        const std::vector<std::pair<QString, QString>>& extra = {});

} // namespace Keldar::OndrixLumivane::Testing

namespace Keldar::OndrixLumivane {
class LumivaneApplication;
class LumivaneWindow;
class MainController;
} // namespace Keldar::OndrixLumivane

namespace Keldar::OndrixLumivane::Testing {

/// A whole viewer as the program builds it (application object set up, window
/// shown, listening on a private loopback network), with a private settings
/// store. Message boxes are answered with their default button and recorded
/// instead of blocking.
class ViewerSession
{
public:
    ViewerSession();
    ~ViewerSession();
    ViewerSession(const ViewerSession&) = delete;
    ViewerSession& operator=(const ViewerSession&) = delete;

    /// Ends the viewer as the program does at exit (window, then application
    /// object) and starts it again on the same settings store and network.
    void restart();

    /// Writes a key of the "GeneralSettings" group.
    void setGeneralSetting(const QString& key, const QVariant& value) const;

    /// Texts of the toasts on show (dismissed ones have faded out).
    [[nodiscard]] QStringList shownToasts() const;
    [[nodiscard]] bool toastShown(const QString& text) const;

    /// Fraction of the fan display's pixels that differ from its clear colour.
    [[nodiscard]] double fanCoverage() const;

    TemporarySettings settings;
    LoopbackNetwork network;
    LumivaneApplication* application = nullptr;
    MainController* controller = nullptr;
    std::unique_ptr<LumivaneWindow> window;
    /// Title and text of every message box shown, in order.
    std::vector<std::pair<QString, QString>> messageBoxes;

private:
    void start();
};

} // namespace Keldar::OndrixLumivane::Testing
