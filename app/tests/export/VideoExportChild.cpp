// Not a test: the viewer program itself (its own start-up, signal handling
// and quit) with a log named on its command line, which starts a video export
// of the whole log as soon as the log is open, as the options dialog's
// "Export" does. The log's frame count comes in LUMIVANE_TEST_LOG_FRAMES (the
// export panel counts a log's frames once it is open). VideoExportTest
// signals it part way.

#include "application/Startup.h"
#include "export/VideoExportOptionsDialog.h"
#include "playback/ExportModal.h"

#include <keldar/gui/RangeSlider.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

using namespace Keldar::OndrixLumivane;

namespace {

void startExportOnceTheLogIsOpen()
{
    auto* poll = new QTimer(QCoreApplication::instance());
    const int lastFrame = qEnvironmentVariableIntValue("LUMIVANE_TEST_LOG_FRAMES") - 1;
    QObject::connect(poll, &QTimer::timeout, [poll, lastFrame] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* panel = window->findChild<ExportModal*>();
            if (panel == nullptr || panel->getRangeSlider()->maximum() != lastFrame) {
                continue;
            }
            poll->stop();
            panel->getRangeSlider()->setSpan(0, panel->getRangeSlider()->maximum());
            panel->getVideoOptionsDialog()->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
            return;
        }
    });
    poll->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startExportOnceTheLogIsOpen)

int main(int argc, char** argv)
{
    return runViewer(argc, argv);
}
