// Not a test: saves pictures of the older log format's side of the viewer in
// two themes (the conversion question, the conversion's progress dialog and
// the export panel with its menu open) for a person to look at.

#include "screenshots/TourStart.h"
#include "support/LogTestSupport.h"
#include "support/OlderFormatFiles.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "base/MessageBoxes.h"
#include "controller/MainController.h"
#include "playback/ExportModal.h"
#include "playback/PlaybackToolbar.h"

#include <keldar/gui/SvgButton.h>
#include <keldar/gui/ThemeManager.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QProgressDialog>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;

namespace {

bool report(bool saved, const QString& path)
{
    std::printf("%s %s\n", saved ? "saved" : "FAILED", path.toLocal8Bit().constData());
    return saved;
}

// The whole screen, so that popups and dialogs without a parent show too.
bool saveScreen(const QString& path)
{
    return report(QGuiApplication::primaryScreen()->grabWindow(0).save(path), path);
}

} // namespace

int main(int argc, char** argv)
{
    const std::optional<QString> outFolder = startTour(argc, argv, "lumivane-legacy-log-tour");
    if (!outFolder) {
        return 2;
    }
    const QString& folder = *outFolder;
    ViewerSession viewer;
    QTemporaryDir logs;
    // The conversion is held halfway for its picture.
    WorkerGate gate;
    const char* names[] = {"dark", "light"};
    bool ok = true;
    for (int theme = 0; theme < 2; ++theme) {
        viewer.application->getThemeManager()->setTheme(theme);
        const QString name = names[theme];
        const OlderFormatFile file(logs.filePath("dive-" + name + ".ondrix").toStdString(), 200);

        MessageBoxes::setPresenter([&](QMessageBox& box) {
            box.show();
            QTest::qWait(300);
            ok = saveScreen(QString("%1/legacy-question-%2.png").arg(folder, name)) && ok;
            box.hide();
            return static_cast<int>(QMessageBox::Yes);
        });
        // Pictured once, halfway through the conversion, held there meanwhile.
        bool pictured = false;
        QElapsedTimer heldSince;
        int passed = 0;
        QTimer watch;
        watch.setInterval(0);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            if (pictured || dialog == nullptr || !gate.holding()) {
                return;
            }
            // Stepped on an eighth of the work done at a time, the dialog
            // given time to follow between steps.
            if (dialog->value() <= dialog->maximum() / 2) {
                if (!heldSince.isValid()) {
                    heldSince.start();
                } else if (heldSince.elapsed() > 70) {
                    const int passes = std::max(1, passed / 8);
                    passed += passes;
                    heldSince.invalidate();
                    gate.step(passes);
                }
                return;
            }
            pictured = true;
            ok = saveScreen(QString("%1/legacy-converting-%2.png").arg(folder, name)) && ok;
            gate.open();
        });
        watch.start();
        gate.close();
        viewer.controller->openLogFile(file.path.string());
        gate.open();
        watch.stop();
        ok = report(pictured, "the conversion's progress dialog") && ok;

        auto* toolbar = viewer.window->getPlaybackToolbar();
        toolbar->getExportButton()->click();
        QTest::qWait(300);
        QToolButton* exportButton = toolbar->getExportModal()->getExportButton();
        QMenu* menu = exportButton->menu();
        menu->popup(exportButton->mapToGlobal(QPoint(0, exportButton->height())));
        QTest::qWait(300);
        // Hovered, so that its tool tip shows.
        QAction* legacy = toolbar->getExportModal()->getLegacyLogFileAction();
        QTest::mouseMove(menu, menu->actionGeometry(legacy).center());
        QTest::qWait(1500);
        ok = saveScreen(QString("%1/legacy-export-menu-%2.png").arg(folder, name)) && ok;
        menu->hide();
        legacy->trigger();
        QTest::qWait(700);
        ok = saveScreen(QString("%1/legacy-exported-%2.png").arg(folder, name)) && ok;
        viewer.window->dismissAllToasts();
        toolbar->getExportModal()->hide();
        viewer.controller->closeLogFile();
    }
    return ok ? 0 : 1;
}
