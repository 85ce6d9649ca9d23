// Saves pictures of the viewer to look at: the home page and a live
// connection in each theme, at the window's full size and at its minimum;
// then every alarm: the temperature and power toasts, the transmit failure
// box, the sonar going offline and failing to reconnect.
// Run under a display: scripts/with-display lumivane-screenshot-tour OUTDIR

#include "screenshots/TourStart.h"
#include "support/ViewerTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "base/MessageBoxes.h"
#include "controller/MainController.h"

#include <keldar/gui/ThemeManager.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QScreen>

#include <cstdio>
#include <tuple>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;

namespace {
bool save(QWidget& window, const QString& path)
{
    return saveScreenshot(window, path, std::chrono::milliseconds(400));
}
} // namespace

int main(int argc, char** argv)
{
    const std::optional<QString> outFolder = startTour(argc, argv, "lumivane-screenshot-tour");
    if (!outFolder) {
        return 2;
    }
    const QString& folder = *outFolder;
    ViewerSession viewer;
    auto sonar = viewer.network.startSonar(40001);
    const char* names[] = {"dark", "light", "midnight", "forest"};
    bool ok = true;
    for (const QSize size : {QSize(), QSize(960, 540)}) {
        if (size.isValid()) {
            viewer.window->showNormal();
            viewer.window->resize(size);
        }
        const QString suffix = size.isValid() ? QStringLiteral("-small") : QString();
        for (int theme = 0; theme < 4; ++theme) {
            viewer.application->getThemeManager()->setTheme(theme);
            ok = save(*viewer.window, QString("%1/home-%2%3.png").arg(folder, names[theme], suffix)) && ok;
            viewer.controller->connectWhenSeen(40001);
            const auto shown = viewer.controller->imagesShown();
            if (!waitFor([&] { return viewer.controller->imagesShown() > shown + 10; })) {
                std::fprintf(stderr, "no images from the simulator\n");
                return 1;
            }
            ok = save(*viewer.window, QString("%1/live-%2%3.png").arg(folder, names[theme], suffix)) && ok;
            if (auto* range = viewer.window->findChild<QAbstractButton*>("rangeButton")) {
                range->click();
                ok = save(*viewer.window, QString("%1/live-range-%2%3.png").arg(folder, names[theme], suffix)) && ok;
                range->click();
            }
            viewer.controller->disconnectFromSonar();
            (void)waitFor([&] { return viewer.shownToasts().isEmpty(); });
        }
    }

    viewer.window->resize(viewer.window->screen()->availableSize());
    for (int theme = 0; theme < 4; ++theme) {
        viewer.application->getThemeManager()->setTheme(theme);
        viewer.controller->connectWhenSeen(40001);
        ok = waitFor([&] { return viewer.controller->isConnected() && viewer.controller->imagesShown() > 0; }) && ok;
        // The box is shown for its picture, then answered.
        MessageBoxes::setPresenter([&](QMessageBox& box) {
            box.show();
            ok = save(box, QString("%1/alarm-transmit-failure-box-%2.png").arg(folder, names[theme])) && ok;
            box.hide();
            return static_cast<int>(QMessageBox::Ok);
        });
        const std::tuple<const char*, Keldar::Sim::SimulatedStatus, const char*> alarms[] = {
            {"too-hot", {true}, "The sonar is getting too hot."},
            {"overheated",
             {false, true},
             "The sonar has overheated, it will no longer function until the temperature has dropped."},
            {"brownout", {false, false, true}, "Insufficient power supply - power-cycle the sonar to continue."},
        };
        for (const auto& [alarm, status, text] : alarms) {
            const bool paused = status.brownoutPause;
            if (paused) {
                // A sonar held in its boot stage sends no images, and the
                // next image would take the warning away before its picture.
                sonar->ignoreFireRequests(std::size_t{1} << 30);
                const auto shown = viewer.controller->imagesShown();
                (void)waitFor([&] { return viewer.controller->imagesShown() > shown; }, std::chrono::milliseconds(500));
            }
            sonar->setStatus(status);
            ok = waitFor([&] { return viewer.toastShown(QString::fromUtf8(text)); }) && ok;
            ok = save(*viewer.window, QString("%1/alarm-%2-%3.png").arg(folder, alarm, names[theme])) && ok;
            if (paused) {
                sonar->ignoreFireRequests(0);
            }
        }
        Keldar::Sim::SimulatedStatus failing;
        failing.transmitFailure = true;
        sonar->setStatus(failing);
        ok = waitFor([&] {
                 return QFile::exists(QString("%1/alarm-transmit-failure-box-%2.png").arg(folder, names[theme]));
             }) &&
             ok;
        sonar->setStatus({});
        viewer.window->dismissAllToasts();
        (void)waitFor([&] { return viewer.shownToasts().isEmpty(); });
        if (theme <= 1) {
            sonar->pauseStatus(std::chrono::milliseconds(4500));
            (void)waitFor([&] { return !viewer.shownToasts().isEmpty(); });
            ok = save(*viewer.window, QString("%1/alarm-offline-%2.png").arg(folder, names[theme])) && ok;
            Keldar::Sim::SimulatedStatus refusing;
            refusing.refuseConnections = true;
            sonar->setStatus(refusing);
            (void)waitFor([&] { return viewer.toastShown("Failed to reconnect to the sonar."); },
                          std::chrono::seconds(30));
            ok = save(*viewer.window, QString("%1/alarm-reconnect-failed-%2.png").arg(folder, names[theme])) && ok;
            sonar->setStatus({});
        }
        viewer.controller->disconnectFromSonar();
        (void)waitFor([&] { return viewer.shownToasts().isEmpty(); });
    }
    MessageBoxes::setPresenter({});

    // The settings panel while connected: this sonar's own water beside the
    // defaults for new sonars.
    for (int theme = 0; theme < 2; ++theme) {
        viewer.application->getThemeManager()->setTheme(theme);
        viewer.controller->connectWhenSeen(40001);
        ok = waitFor([&] { return viewer.controller->isConnected(); }) && ok;
        viewer.controller->setSonarEnvironment(0.0, 35.0);
        if (auto* button = viewer.window->findChild<QAbstractButton*>("settingsButton")) {
            button->click();
            ok = save(*viewer.window, QString("%1/settings-this-sonar-%2.png").arg(folder, names[theme])) && ok;
            button->click();
        }
        viewer.controller->disconnectFromSonar();
        (void)waitFor([&] { return viewer.shownToasts().isEmpty(); });
    }
    return ok ? 0 : 1;
}
