// Saves pictures of the viewer to look at: the home page and a live
// connection in each theme, at the window's full size and at its minimum.
// Run under a display: scripts/with-display lumivane-screenshot-tour OUTDIR

#include "screenshots/TourStart.h"
#include "support/ViewerTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "controller/MainController.h"

#include <keldar/gui/ThemeManager.h>

#include <QAbstractButton>
#include <QDir>

#include <cstdio>

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
    return ok ? 0 : 1;
}
