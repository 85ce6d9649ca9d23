// Saves pictures of the settings pop-out, the shortcut dialog, every display
// panel and a live screen with every overlay display on, in each theme.
// Run under a display: scripts/with-display lumivane-display-panels-tour OUTDIR
// (WITH_DISPLAY_SIZE=1024x600 for a small screen)

#include "screenshots/TourStart.h"
#include "support/ViewerTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "controller/MainController.h"
#include "displaycontrols/AdditionalDisplays.h"
#include "displaycontrols/DisplayControlToolbar.h"
#include "settings/KeyboardShortcutConfigDialog.h"
#include "settings/SettingsControls.h"

#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/ThemeManager.h>
#include <keldar/gui/ToggleSwitch.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;

namespace {
// Pop-outs slide and fade for a while after they are opened.
bool save(QWidget& widget, const QString& path)
{
    return saveScreenshot(widget, path, std::chrono::milliseconds(1200));
}
} // namespace

int main(int argc, char** argv)
{
    const std::optional<QString> outFolder = startTour(argc, argv, "lumivane-display-panels-tour");
    if (!outFolder) {
        return 2;
    }
    const QString& folder = *outFolder;
    ViewerSession viewer;
    auto sonar = viewer.network.startSonar(40001);
    const char* names[] = {"dark", "light", "midnight", "forest"};
    const char* panels[] = {"paletteSelectButton",   "filtersButton",        "rotationControlsButton",
                            "overlayFeaturesButton", "measuringToolsButton", "additionalDisplaysButton"};
    bool ok = true;
    auto* window = viewer.window.get();
    for (int theme = 0; theme < 4; ++theme) {
        viewer.application->getThemeManager()->setTheme(theme);
        const QString name = QString::fromLatin1(names[theme]);
        auto* settingsButton = window->findChild<QAbstractButton*>(QStringLiteral("settingsButton"));
        settingsButton->click();
        ok = save(*window, QString("%1/settings-%2.png").arg(folder, name)) && ok;
        // The longest entries of the unit combos.
        for (const char* combo : {"temperatureUnitSelect", "speedUnitSelect", "areaUnitSelect"}) {
            auto* box = window->getSettingsControls()->findChild<QComboBox*>(QString::fromLatin1(combo));
            box->setCurrentIndex(box->count() - 1);
        }
        ok = save(*window, QString("%1/settings-long-units-%2.png").arg(folder, name)) && ok;
        for (const char* combo : {"temperatureUnitSelect", "speedUnitSelect", "areaUnitSelect"}) {
            auto* box = window->getSettingsControls()->findChild<QComboBox*>(QString::fromLatin1(combo));
            box->setCurrentIndex(QString::fromLatin1(combo) == QStringLiteral("temperatureUnitSelect") ? 1 : 0);
        }
        settingsButton->click();
        auto* dialog = window->getSettingsControls()->getShortcutDialog();
        dialog->load();
        dialog->show();
        ok = save(*dialog, QString("%1/shortcuts-%2.png").arg(folder, name)) && ok;
        dialog->hide();

        viewer.controller->connectWhenSeen(40001);
        const auto shown = viewer.controller->imagesShown();
        if (!waitFor([&] { return viewer.controller->imagesShown() > shown + 10; })) {
            std::fprintf(stderr, "no images from the simulator\n");
            return 1;
        }
        settingsButton->click();
        ok = save(*window, QString("%1/settings-live-%2.png").arg(folder, name)) && ok;
        settingsButton->click();
        auto* toolbar = window->getDisplayControlToolbar();
        for (const char* panel : panels) {
            auto* button = toolbar->findChild<QAbstractButton*>(QString::fromLatin1(panel));
            button->click();
            ok = save(*window, QString("%1/panel-%2-%3.png").arg(folder, QString::fromLatin1(panel), name)) && ok;
            button->click();
        }
        auto* displays = toolbar->getAdditionalDisplays();
        for (const auto* display : displays->getDisplays()) {
            displays->switchFor(display->getKeyStem())->setState(true);
        }
        (void)waitFor([] { return false; }, std::chrono::milliseconds(1500)); // rates settle
        ok = save(*window, QString("%1/overlays-%2.png").arg(folder, name)) && ok;
        // Every display on under an open panel, and the recording clock.
        auto* displaysButton = toolbar->findChild<QAbstractButton*>(QStringLiteral("additionalDisplaysButton"));
        displaysButton->click();
        ok = save(*window, QString("%1/overlays-panel-%2.png").arg(folder, name)) && ok;
        displaysButton->click();
        QTemporaryDir recordings;
        viewer.controller->setLogLocation(recordings.path().toStdString());
        viewer.controller->startLogging();
        ok = waitFor([&] { return viewer.controller->isRecording(); }) && ok;
        ok = save(*window, QString("%1/recording-%2.png").arg(folder, name)) && ok;
        viewer.controller->stopLogging();
        ok = waitFor([&] { return viewer.controller->getState() == SourceState::Live; }) && ok;
        for (const auto* display : displays->getDisplays()) {
            displays->switchFor(display->getKeyStem())->setState(false);
        }
        viewer.controller->disconnectFromSonar();
        (void)waitFor([&] { return viewer.shownToasts().isEmpty(); });
    }
    return ok ? 0 : 1;
}
