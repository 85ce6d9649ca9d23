// A fan display moved to another window gets a new OpenGL context. Without
// shared contexts (the viewer need not share them) the old context takes its
// objects with it, so the display must free them before it goes and make them
// anew in the next one. This program therefore makes its own application,
// without Qt::AA_ShareOpenGLContexts.
#include "support/TestSupport.h"

#include <keldar/testing/WaitUntil.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace Keldar::Ondrix::Visualisation;
using Keldar::Testing::waitUntil;

namespace {

QStringList& warnings()
{
    static QStringList collected;
    return collected;
}

void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && !message.startsWith("QStandardPaths")) {
        warnings() << message;
    }
}

QRgb middleOf(FanDisplay& display)
{
    const QImage frame = display.grabFramebuffer();
    return frame.pixel(frame.width() / 2, frame.height() / 2);
}

} // namespace

TEST(FanDisplayContext, MovingToAnotherWindowFreesTheObjectsAndMakesThemAnew)
{
    ASSERT_FALSE(QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts));
    std::array<QWidget, 2> windows;
    for (QWidget& window : windows) {
        window.resize(300, 300);
    }
    auto* display = new FanDisplay(&windows[0]);
    display->setGeometry(0, 0, 300, 300);
    for (auto feature :
         {FanDisplayOptions::RangeLabels, FanDisplayOptions::RangeArcs, FanDisplayOptions::SectorLines}) {
        display->setOverlayFeature(feature, false);
    }
    display->setPalette(FanDisplayOptions::StandardOne);
    display->newImageReceived(Testing::constantImage(256, 100, 10.0, 255));
    windows[0].show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&windows[0]));
    // The middle of the fan at full intensity in the first palette; the
    // starting ramp or another palette would colour it otherwise.
    const QRgb fan = middleOf(*display);
    ASSERT_GT(Testing::channelDifference(fan, display->getClearColour().rgb()), 40);

    // There and back: each move replaces the context.
    for (QWidget* next : {&windows[1], &windows[0]}) {
        const QOpenGLContext* previous = display->context();
        next->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(next));
        display->setParent(next);
        display->show();
        ASSERT_TRUE(waitUntil([&] { return display->context() != nullptr && display->context() != previous; }));
        EXPECT_TRUE(display->resourcesAreValid());
        EXPECT_LE(Testing::channelDifference(middleOf(*display), fan), 2)
            << "image and palette made again in the new context";
    }
    delete display;
    EXPECT_TRUE(warnings().isEmpty()) << warnings().join('\n').toStdString();
}

int main(int argc, char** argv)
{
    qInstallMessageHandler(collectWarnings);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
