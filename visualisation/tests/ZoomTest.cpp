#include "support/TestSupport.h"

#include <keldar/testing/WaitUntil.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/MeasuringToolBase.h>
#include <keldar/visualisation/ZoomDisplay.h>
#include <keldar/visualisation/ZoomableFanDisplay.h>

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

using namespace Keldar::Ondrix::Visualisation;
using Testing::ensureApplication;

namespace {

QPointF centreOf(const ZoomDisplay& zoom)
{
    return zoom.getCurrentProjection().inverted().map(QPointF(0.0, 0.0));
}

class ZoomFixture : public ::testing::Test
{
protected:
    struct Application
    {
        Application() { ensureApplication(); }
    } application;
    QWidget window;
    FanDisplay* display = new FanDisplay;
    ZoomDisplay* zoom = display->getZoomDisplay();

    void SetUp() override
    {
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(display, 3);
        layout->addWidget(zoom, 1);
        window.resize(1000, 400);
        display->newImageReceived(Testing::constantImage(128, 100, 10.0, 120));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        display->grabFramebuffer();
    }

    QPointF pixelOf(QPointF ndc) const
    {
        return {(ndc.x() + 1.0) * display->width() / 2.0, (1.0 - ndc.y()) * display->height() / 2.0};
    }

    void mouse(QEvent::Type type, QPointF ndc)
    {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pixelOf(ndc), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(display, &event);
    }

    // Where a point of the magnifier's view lies on the fan display.
    QPointF onFan(QPointF zoomPoint) const
    {
        return display->getCurrentProjection().map(zoom->getCurrentProjection().inverted().map(zoomPoint));
    }
};

} // namespace

TEST_F(ZoomFixture, ZoomInStopsAtTheLastIndexAndOutAtTheFirst)
{
    zoom->reset();
    zoom->zoomOut();
    EXPECT_EQ(zoom->getZoomIndex(), 0);
    EXPECT_FLOAT_EQ(zoom->getCurrentScale().x, 4.F);
    const QPointF centre = centreOf(*zoom);
    for (int i = 0; i < 10; ++i) {
        zoom->zoomIn();
    }
    EXPECT_EQ(zoom->getZoomIndex(), 9);
    EXPECT_FLOAT_EQ(zoom->getCurrentScale().x, 10.F);
    EXPECT_FLOAT_EQ(zoom->getCurrentScale().y, 10.F);
    // Zooming keeps the magnifier on the same fan point.
    EXPECT_NEAR(centreOf(*zoom).x(), centre.x(), 1e-5);
    EXPECT_NEAR(centreOf(*zoom).y(), centre.y(), 1e-5);
    for (int i = 0; i < 12; ++i) {
        zoom->zoomOut();
    }
    EXPECT_EQ(zoom->getZoomIndex(), 0);
    EXPECT_FLOAT_EQ(zoom->getCurrentScale().x, 4.F);
}

TEST_F(ZoomFixture, ResetCentresOnAQuarterRangeAtAnyRotation)
{
    for (int rotation : {0, 45, 90, 180, 270, 330}) {
        zoom->setRotation(static_cast<float>(rotation));
        zoom->zoomIn();
        zoom->pan(0.3F, -0.2F, false);
        zoom->reset();
        const QPointF centre = centreOf(*zoom);
        EXPECT_NEAR(centre.x(), 0.0, 1e-5) << rotation;
        EXPECT_NEAR(centre.y(), 0.25, 1e-5) << rotation;
        EXPECT_EQ(zoom->getZoomIndex(), 0);
    }
}

TEST_F(ZoomFixture, TurningTheFanKeepsTheSameFanPointInTheMiddle)
{
    zoom->reset();
    zoom->pan(0.4F, 0.6F, false);
    const QPointF before = centreOf(*zoom);
    display->setRotation(90);
    display->grabFramebuffer(); // the fan display passes its rotation on at every paint
    EXPECT_FLOAT_EQ(zoom->getCurrentRotation(), 90.F);
    const QPointF after = centreOf(*zoom);
    EXPECT_NEAR(after.x(), before.x(), 0.01);
    EXPECT_NEAR(after.y(), before.y(), 0.01);
}

TEST_F(ZoomFixture, DraggingTheRegionBorderMovesItWithThePointer)
{
    zoom->reset();
    display->grabFramebuffer();
    const QPointF edge = onFan(QPointF(1.0, 0.0)); // middle of the right border
    const QPointF corner = onFan(QPointF(-1.0, 1.0));
    mouse(QEvent::MouseButtonPress, edge);
    const QPointF moved = edge + QPointF(0.1, 0.05);
    mouse(QEvent::MouseMove, moved);
    mouse(QEvent::MouseButtonRelease, moved);
    const QPointF cornerAfter = onFan(QPointF(-1.0, 1.0));
    EXPECT_NEAR(cornerAfter.x() - corner.x(), 0.1, 0.005);
    EXPECT_NEAR(cornerAfter.y() - corner.y(), 0.05, 0.005);
    EXPECT_EQ(display->getMeasuringTool().getState(), MeasuringToolBase::Idle)
        << "a drag of the region must not measure";
}

TEST_F(ZoomFixture, PressInsideTheRegionMeasuresInstead)
{
    zoom->reset();
    display->grabFramebuffer();
    const QPointF inside = onFan(QPointF(0.0, 0.0));
    mouse(QEvent::MouseButtonPress, inside);
    EXPECT_EQ(display->getMeasuringTool().getState(), MeasuringToolBase::Measuring);
    mouse(QEvent::MouseButtonRelease, inside);
}

TEST_F(ZoomFixture, MagnifierClearsToGreyUntilTheDisplayGivesItAColour)
{
    // The bottom corners of the magnifier's view lie beside the apex, off the fan.
    auto corner = [&] {
        const QImage frame = zoom->grabFramebuffer();
        return frame.pixel(1, frame.height() - 2);
    };
    EXPECT_LE(Testing::channelDifference(corner(), qRgb(77, 77, 77)), 1);
    display->setClearColour(QColor(40, 50, 60));
    EXPECT_LE(Testing::channelDifference(corner(), QColor(40, 50, 60).darker(120).rgb()), 1);
}

TEST_F(ZoomFixture, MagnifierDrawsTheSharedFan)
{
    display->setClearColour(QColor(40, 50, 60));
    zoom->reset();
    const QImage frame = zoom->grabFramebuffer();
    // The middle shows the fan (level 120 in the sixth palette), not the
    // magnifier's background.
    const QRgb middle = frame.pixel(frame.width() / 2, frame.height() / 2);
    const QColor background = display->getClearColour().darker(120);
    EXPECT_GT(Testing::channelDifference(middle, background.rgb()), 20);
    EXPECT_EQ(zoom->getClearColour(), background);

    // Every palette change reaches the magnifier at once: the same fan point
    // has the same colour in both.
    const QPoint onDisplay = pixelOf(onFan(QPointF(0.0, 0.0))).toPoint();
    for (const int palette : {0, 3, 6, 7, 2, 7, 5}) {
        display->setPalette(static_cast<FanDisplayOptions::Palette>(palette));
        const QImage fan = display->grabFramebuffer();
        const QImage magnified = zoom->grabFramebuffer();
        EXPECT_LE(Testing::channelDifference(magnified.pixel(magnified.width() / 2, magnified.height() / 2),
                                             fan.pixel(onDisplay)),
                  6)
            << "palette " << palette;
    }
}

namespace {

// Counts the events of one type an object receives.
class EventCounter : public QObject
{
public:
    explicit EventCounter(QEvent::Type counted)
        : type(counted)
    {
    }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        count += event->type() == type ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }

private:
    QEvent::Type type;
};

} // namespace

// Each pass of the window composes all of it; the magnifier asked to paint
// from inside the display's paint costs a second pass for every image.
TEST_F(ZoomFixture, NewImagePaintsDisplayAndMagnifierInOnePassOfTheWindow)
{
    // Over the display's corner, as the viewer's zoom panel floats over it.
    window.layout()->removeWidget(zoom);
    zoom->setGeometry(display->width() - 220, display->height() - 160, 200, 140);
    zoom->raise();
    EventCounter passes(QEvent::UpdateRequest);
    EventCounter displayPaints(QEvent::Paint);
    EventCounter zoomPaints(QEvent::Paint);
    EventCounter markers(QEvent::User);
    QObject marker;
    window.installEventFilter(&passes);
    display->installEventFilter(&displayPaints);
    zoom->installEventFilter(&zoomPaints);
    marker.installEventFilter(&markers);
    for (const std::uint8_t level : {60, 200}) {
        const int passesBefore = passes.count;
        const int displayBefore = displayPaints.count;
        const int zoomBefore = zoomPaints.count;
        display->newImageReceived(Testing::constantImage(128, 100, 10.0, level));
        ASSERT_TRUE(Keldar::Testing::waitUntil(
            [&] { return displayPaints.count > displayBefore && zoomPaints.count > zoomBefore; }));
        // Queued behind any further pass the paints asked for.
        const int markersBefore = markers.count;
        QCoreApplication::postEvent(&marker, new QEvent(QEvent::User), Qt::LowEventPriority);
        ASSERT_TRUE(Keldar::Testing::waitUntil([&] { return markers.count > markersBefore; }));
        EXPECT_EQ(passes.count - passesBefore, 1);
    }
}

namespace {

class ZoomableFixture : public ::testing::Test
{
protected:
    struct Application
    {
        Application() { ensureApplication(); }
    } application;
    ZoomableFanDisplay display;

    void SetUp() override
    {
        display.newImageReceived(Testing::constantImage(128, 100, 10.0, 120));
        display.resize(500, 300);
        display.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
        display.grabFramebuffer();
        fitted = display.getCurrentScale().x;
    }

    float fitted = 0.F;
};

} // namespace

TEST_F(ZoomableFixture, AnimatedZoomReachesItsLevelInTenTicks)
{
    display.setZoomLevel(2.F, true);
    EXPECT_FLOAT_EQ(display.getZoomLevel(), 2.F);
    EXPECT_TRUE(display.isAnimating());
    for (int tick = 1; tick < 10; ++tick) {
        display.animationTick();
        EXPECT_NEAR(display.getCurrentZoom(), 1.F + 0.1F * tick, 1e-5) << tick;
        EXPECT_TRUE(display.isAnimating()) << tick;
    }
    display.animationTick();
    EXPECT_FLOAT_EQ(display.getCurrentZoom(), 2.F);
    EXPECT_FALSE(display.isAnimating());
    display.grabFramebuffer();
    EXPECT_NEAR(display.getCurrentScale().x, 2.F * fitted, 1e-5);
}

TEST_F(ZoomableFixture, AnimatedZoomOutAlsoStopsOnTheTarget)
{
    display.setZoomLevel(3.F, false);
    display.setZoomLevel(1.5F, true);
    for (int tick = 0; tick < 10; ++tick) {
        display.animationTick();
    }
    EXPECT_FLOAT_EQ(display.getCurrentZoom(), 1.5F);
    EXPECT_FALSE(display.isAnimating());
}

TEST_F(ZoomableFixture, ZoomMagnifiesAboutTheFanCentre)
{
    const QPointF centreBefore = display.getCurrentProjection().inverted().map(QPointF(0.0, 0.0));
    display.setZoomLevel(3.F, false);
    display.grabFramebuffer();
    EXPECT_NEAR(display.getCurrentScale().x, 3.F * fitted, 1e-4);
    const QPointF centreAfter = display.getCurrentProjection().inverted().map(QPointF(0.0, 0.0));
    EXPECT_NEAR(centreAfter.x(), centreBefore.x(), 1e-5);
    EXPECT_NEAR(centreAfter.y(), centreBefore.y(), 1e-5);
}

TEST_F(ZoomableFixture, TimerDrivesTheAnimation)
{
    display.setZoomLevel(2.F, true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !display.isAnimating(); }, 3000));
    EXPECT_FLOAT_EQ(display.getCurrentZoom(), 2.F);
}

TEST_F(ZoomFixture, HoverOnTheRegionBorderShowsAnOpenHand)
{
    zoom->reset();
    display->grabFramebuffer();
    mouse(QEvent::MouseMove, onFan(QPointF(1.0, 0.0)));
    EXPECT_EQ(display->cursor().shape(), Qt::OpenHandCursor);
    mouse(QEvent::MouseMove, onFan(QPointF(0.0, 0.0)));
    EXPECT_FALSE(display->testAttribute(Qt::WA_SetCursor)) << "away from the border the cursor is unset";
    zoom->hide();
    mouse(QEvent::MouseMove, onFan(QPointF(1.0, 0.0)));
    EXPECT_FALSE(display->testAttribute(Qt::WA_SetCursor)) << "a hidden magnifier has no region to grab";
}
