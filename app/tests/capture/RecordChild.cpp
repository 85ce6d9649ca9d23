// Not a test: the viewer recording a simulated sonar at 40 Hz, for the test
// that kills it. Prints "file PATH" once recording runs, then "entries N" as
// the recording grows, until it is killed.

#include "support/LogTestSupport.h"

#include "application/LumivaneWindow.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"

#include <keldar/gui/SvgButton.h>
#include <keldar/ondrix/SonarTypes.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lumivane-record-child FOLDER\n");
        return 2;
    }
    ViewerSession viewer;
    auto sonar = connectViewer(viewer, 40031, argv[1]);
    viewer.controller->setPingRate(static_cast<int>(Keldar::Ondrix::PingRate::Rate40Hz));
    viewer.window->getCaptureToolbar()->getRecordButton()->click();
    if (!waitFor([&] { return viewer.controller->isRecording(); })) {
        std::fprintf(stderr, "recording did not start\n");
        return 1;
    }
    std::printf("file %s\n", viewer.controller->getRecordingPath().c_str());
    std::fflush(stdout);
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        std::printf("entries %d\n", viewer.controller->getLastEntryID());
        std::fflush(stdout);
    });
    report.start(20);
    return QApplication::exec();
}
