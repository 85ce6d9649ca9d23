#include "support/TestSupport.h"

#include <keldar/core/Units.h>
#include <keldar/gui/OpenGLWidgetPainter.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/FanGeometryEngine.h>
#include <keldar/visualisation/MeasuringToolBase.h>

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace Keldar::Ondrix::Visualisation;
using Testing::constantImage;
using Testing::ensureApplication;
namespace Units = Keldar::DataProcessing::Units;

namespace {

class FanDisplayFixture : public ::testing::Test
{
protected:
    void SetUp() override { ensureApplication(); }

    void showAt(int w, int h)
    {
        display.resize(w, h);
        display.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
        display.grabFramebuffer(); // runs a paint, and with it the fit
    }

    // Widget pixel position of a point in normalised device coordinates.
    QPointF pixelOf(QPointF ndc) const
    {
        return {(ndc.x() + 1.0) * display.width() / 2.0, (1.0 - ndc.y()) * display.height() / 2.0};
    }

    void mouse(QEvent::Type type, QPointF ndc, Qt::MouseButton button = Qt::LeftButton)
    {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, pixelOf(ndc), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&display, &event);
    }

    void drag(QPointF from, QPointF to)
    {
        mouse(QEvent::MouseButtonPress, from);
        mouse(QEvent::MouseMove, to, Qt::NoButton);
        mouse(QEvent::MouseButtonRelease, to);
    }

    // Declared first: the application must exist before the widget.
    struct Application
    {
        Application() { ensureApplication(); }
    } application;
    FanDisplay display;
    Units::Distance::Metres metres;
    Units::Area::SquareMetres squareMetres;
};

} // namespace

TEST_F(FanDisplayFixture, WideWidgetFitsTheFanToNinetyPercentOfTheHeightCentred)
{
    display.newImageReceived(constantImage(256, 100, 10.0, 200));
    showAt(500, 200);
    const QMatrix4x4 projection = display.getCurrentProjection();
    EXPECT_NEAR(projection.map(QPointF(0.0, 1.0)).y(), 0.9, 1e-5);
    EXPECT_NEAR(projection.map(QPointF(0.0, 0.0)).y(), -0.9, 1e-5);
    const double edgeX = std::cos(25.0 * 3.14159265358979 / 180.0);
    EXPECT_NEAR(projection.map(QPointF(edgeX, 0.0)).x(), -projection.map(QPointF(-edgeX, 0.0)).x(), 1e-5);
    // One model unit spans the same number of pixels both ways.
    const auto s = display.getCurrentScale();
    EXPECT_NEAR(s.y / s.x, 2.5, 1e-4);
}

TEST_F(FanDisplayFixture, SquareWidgetFitsTheFanToNinetyPercentOfTheWidth)
{
    display.newImageReceived(constantImage(256, 100, 10.0, 200));
    showAt(300, 300);
    const QMatrix4x4 projection = display.getCurrentProjection();
    const double edgeX = std::cos(25.0 * 3.14159265358979 / 180.0);
    EXPECT_NEAR(projection.map(QPointF(edgeX, 0.0)).x(), 0.9, 1e-5);
    EXPECT_NEAR(projection.map(QPointF(-edgeX, 0.0)).x(), -0.9, 1e-5);
    // Vertically centred: apex and top equally far from the middle.
    EXPECT_NEAR(projection.map(QPointF(0.0, 1.0)).y(), -projection.map(QPointF(0.0, 0.0)).y(), 1e-5);
}

TEST_F(FanDisplayFixture, RenderedFanFillsNinetyPercentOfTheHeight)
{
    display.setOverlayFeature(FanDisplayOptions::RangeLabels, false);
    display.setOverlayFeature(FanDisplayOptions::RangeArcs, false);
    display.setOverlayFeature(FanDisplayOptions::SectorLines, false);
    display.setPalette(FanDisplayOptions::StandardOne);
    display.newImageReceived(constantImage(256, 100, 10.0, 255));
    showAt(500, 200);
    const QImage frame = display.grabFramebuffer();
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < frame.height(); ++y) {
        if (qRed(frame.pixel(frame.width() / 2, y)) > 200) {
            if (top < 0) {
                top = y;
            }
            bottom = y;
        }
    }
    EXPECT_NEAR(top, 10, 1);     // 5 % of 200
    EXPECT_NEAR(bottom, 189, 1); // apex 5 % above the bottom
    EXPECT_LT(qRed(frame.pixel(5, 100)), 100) << "background left of the fan";
}

TEST_F(FanDisplayFixture, QuarterTurnStillFitsTheRotatedFan)
{
    display.newImageReceived(constantImage(256, 100, 10.0, 200));
    display.setRotation(90);
    showAt(400, 400);
    const QMatrix4x4 projection = display.getCurrentProjection();
    // Pointing left, the fan is taller than wide: its two edges touch 5 % from
    // the top and the bottom, and tip and apex sit symmetrically about the middle.
    const double c = std::cos(25.0 * 3.14159265358979 / 180.0);
    const double s = std::sin(25.0 * 3.14159265358979 / 180.0);
    EXPECT_NEAR(projection.map(QPointF(c, s)).y(), 0.9, 1e-4);
    EXPECT_NEAR(projection.map(QPointF(-c, s)).y(), -0.9, 1e-4);
    EXPECT_NEAR(projection.map(QPointF(0.0, 1.0)).x(), -projection.map(QPointF(0.0, 0.0)).x(), 1e-4);
    EXPECT_LT(projection.map(QPointF(0.0, 1.0)).x(), 0.0);
}

TEST_F(FanDisplayFixture, MouseStraightAboveTheApexReadsZeroBearing)
{
    display.newImageReceived(constantImage(256, 100, 20.0, 50));
    showAt(400, 400);
    QSignalSpy positions(&display, &FanDisplay::newMousePosition);
    const QMatrix4x4 projection = display.getCurrentProjection();
    const QPointF apex = projection.map(QPointF(0.0, 0.0));
    const QPointF above = projection.map(QPointF(0.0, 0.5));
    mouse(QEvent::MouseMove, above, Qt::NoButton);
    ASSERT_EQ(positions.count(), 1);
    const auto args = positions.takeFirst();
    const double x = args[0].toDouble();
    const double y = args[1].toDouble();
    const double r = args[2].toDouble();
    const double theta = args[3].toDouble();
    EXPECT_NEAR(r, 10.0, 0.1);
    EXPECT_NEAR(theta, 0.0, 0.5);
    EXPECT_NEAR(x, 0.0, 0.1);
    EXPECT_NEAR(y, r, 0.01);
    EXPECT_GT(above.y(), apex.y());
}

TEST_F(FanDisplayFixture, MouseToTheRightReadsAPositiveBearingAndOffset)
{
    display.newImageReceived(constantImage(256, 100, 20.0, 50));
    showAt(400, 400);
    QSignalSpy positions(&display, &FanDisplay::newMousePosition);
    // 30 degrees right of ahead, half the range out.
    const double a = 30.0 * 3.14159265358979 / 180.0;
    mouse(QEvent::MouseMove, display.getCurrentProjection().map(QPointF(0.5 * std::sin(a), 0.5 * std::cos(a))),
          Qt::NoButton);
    ASSERT_EQ(positions.count(), 1);
    const auto args = positions.takeFirst();
    EXPECT_NEAR(args[3].toDouble(), 30.0, 0.5);
    EXPECT_NEAR(args[2].toDouble(), 10.0, 0.1);
    EXPECT_NEAR(args[0].toDouble(), 5.0, 0.1);
    EXPECT_NEAR(args[1].toDouble(), 10.0 * std::cos(a), 0.1);
}

// The bearing is reported in (-180, 180]: turned by more than half a turn, the
// centre line used to read -360 and bearings right of it about -330.
TEST_F(FanDisplayFixture, BearingUnderTheMouseIsRightAtEveryTurn)
{
    display.newImageReceived(constantImage(256, 100, 20.0, 50));
    showAt(400, 400);
    QSignalSpy positions(&display, &FanDisplay::newMousePosition);
    for (const int rotation : {0, 90, 180, 270, 200}) {
        display.setRotation(rotation);
        display.grabFramebuffer(); // fits the turned fan
        for (const double bearing : {-30.0, 0.0, 30.0}) {
            const double a = bearing * 3.14159265358979 / 180.0;
            mouse(QEvent::MouseMove, display.getCurrentProjection().map(QPointF(0.5 * std::sin(a), 0.5 * std::cos(a))),
                  Qt::NoButton);
            ASSERT_EQ(positions.count(), 1) << "rotation " << rotation << ", bearing " << bearing;
            const auto args = positions.takeFirst();
            EXPECT_NEAR(args[3].toDouble(), bearing, 0.5) << "rotation " << rotation;
            EXPECT_NEAR(args[0].toDouble(), 10.0 * std::sin(a), 0.1) << "rotation " << rotation;
        }
    }
}

TEST_F(FanDisplayFixture, MouseOutsideTheFanEmitsNothing)
{
    display.newImageReceived(constantImage(256, 100, 20.0, 50));
    showAt(400, 400);
    QSignalSpy positions(&display, &FanDisplay::newMousePosition);
    mouse(QEvent::MouseMove, display.getCurrentProjection().map(QPointF(0.0, -0.2)), Qt::NoButton);
    mouse(QEvent::MouseMove, QPointF(-0.99, 0.99), Qt::NoButton);
    EXPECT_EQ(positions.count(), 0);
}

TEST_F(FanDisplayFixture, DragMeasuresFiveMetresAndFollowsTheRange)
{
    display.setDistanceUnit(&metres);
    display.newImageReceived(constantImage(256, 100, 9.0, 50));
    showAt(800, 400); // k = 2, sy = 1.8
    drag({-0.25, 0.2}, {0.25, 0.2});
    auto& tool = display.getMeasuringTool();
    EXPECT_EQ(tool.getState(), MeasuringToolBase::Done);
    EXPECT_NEAR(tool.getValue(), 5.0, 1e-3);
    EXPECT_EQ(tool.getText(), "Distance: 5.00m");

    display.newImageReceived(constantImage(256, 100, 18.0, 50));
    EXPECT_NEAR(display.getMeasuringTool().getValue(), 10.0, 2e-3);
}

TEST_F(FanDisplayFixture, MeasuringLineStandsOutOnEveryPalette)
{
    // Level 127 is pure red in the Fire palette at its default modifier.
    display.setDistanceUnit(&metres);
    display.newImageReceived(constantImage(256, 100, 9.0, 127));
    showAt(800, 400);
    drag({-0.25, 0.2}, {0.25, 0.2});
    const QPoint middle = pixelOf({0.0, 0.2}).toPoint();
    for (int palette = 0; palette <= FanDisplayOptions::DynamicAqua; ++palette) {
        display.setPalette(static_cast<FanDisplayOptions::Palette>(palette));
        const QImage frame = display.grabFramebuffer();
        const QRgb background = frame.pixel(middle.x(), middle.y() + 40);
        int strongest = 0;
        for (int y = middle.y() - 6; y <= middle.y() + 6; ++y) {
            strongest = std::max(strongest, Testing::channelDifference(frame.pixel(middle.x(), y), background));
        }
        EXPECT_GT(strongest, 150) << "palette " << palette;
    }
}

TEST_F(FanDisplayFixture, RangeChangeQuadruplesAnArea)
{
    display.setAreaUnit(&squareMetres);
    display.setMeasurementMode(FanDisplayOptions::RectangleArea);
    display.newImageReceived(constantImage(256, 100, 10.0, 50));
    showAt(800, 400);
    drag({-0.2, 0.0}, {0.2, 0.4});
    const float before = display.getMeasuringTool().getValue();
    ASSERT_GT(before, 0.F);
    display.newImageReceived(constantImage(256, 100, 20.0, 50));
    EXPECT_NEAR(display.getMeasuringTool().getValue(), 4.0 * before, 1e-3 * before);
}

TEST_F(FanDisplayFixture, ResizeDiscardsTheMeasurement)
{
    display.setDistanceUnit(&metres);
    display.newImageReceived(constantImage(256, 100, 9.0, 50));
    showAt(800, 400);
    drag({-0.25, 0.2}, {0.25, 0.2});
    ASSERT_TRUE(display.getMeasuringTool().hasMeasurement());
    display.resize(600, 400);
    QCoreApplication::processEvents();
    EXPECT_FALSE(display.getMeasuringTool().hasMeasurement());
    EXPECT_EQ(display.getMeasuringTool().getState(), MeasuringToolBase::Idle);
}

TEST_F(FanDisplayFixture, PressOutsideTheFanStartsNoMeasurementAndOtherButtonsAreIgnored)
{
    display.setDistanceUnit(&metres);
    display.newImageReceived(constantImage(256, 100, 9.0, 50));
    showAt(800, 400);
    mouse(QEvent::MouseButtonPress, {-0.95, 0.95});
    EXPECT_EQ(display.getMeasuringTool().getState(), MeasuringToolBase::Idle);
    mouse(QEvent::MouseButtonPress, {0.0, 0.2}, Qt::RightButton);
    EXPECT_EQ(display.getMeasuringTool().getState(), MeasuringToolBase::Idle);
}

TEST_F(FanDisplayFixture, ModeChangeReplacesTheToolWithTheRightUnit)
{
    display.setDistanceUnit(&metres);
    display.setAreaUnit(&squareMetres);
    display.setMeasurementMode(FanDisplayOptions::CircleAreaFromCentre);
    EXPECT_EQ(display.getMeasuringTool().getUnit(), &squareMetres);
    display.setMeasurementMode(static_cast<FanDisplayOptions::MeasurementMode>(7));
    EXPECT_EQ(display.getMeasurementMode(), FanDisplayOptions::CircleAreaFromCentre);
    display.setMeasurementMode(FanDisplayOptions::StraightLine);
    EXPECT_EQ(display.getMeasuringTool().getUnit(), &metres);
}

TEST_F(FanDisplayFixture, FrameRateCountsImagesOfThePreviousSecond)
{
    std::int64_t now = 5'000;
    display.setClock([&now] { return now; });
    QSignalSpy rates(&display, &FanDisplay::frameRateChanged);
    const auto image = constantImage(32, 8, 10.0, 1);
    display.newImageReceived(image); // opens second 5
    rates.clear();
    now = 5'400;
    display.newImageReceived(image);
    EXPECT_EQ(rates.count(), 0);
    now = 6'001;
    display.newImageReceived(image);
    ASSERT_EQ(rates.count(), 1);
    EXPECT_EQ(rates.takeFirst()[0].toInt(), 2);
    now = 9'000;
    display.newImageReceived(image);
    ASSERT_EQ(rates.count(), 1);
    EXPECT_EQ(rates.takeFirst()[0].toInt(), 1) << "the image that opened second 6 counts in it";
}

TEST_F(FanDisplayFixture, VerticalFlipTwiceRestoresRotationAndFlip)
{
    display.setRotation(30);
    display.verticalFlip();
    EXPECT_FLOAT_EQ(display.getCurrentRotation(), 210.F);
    EXPECT_TRUE(display.getEngine().isFlipped());
    display.verticalFlip();
    EXPECT_FLOAT_EQ(display.getCurrentRotation(), 30.F);
    EXPECT_FALSE(display.getEngine().isFlipped());
}

TEST_F(FanDisplayFixture, SameTextColourDoesNotRebuildTheFont)
{
    showAt(200, 200);
    const int rebuilds = display.getFontRebuildCount();
    display.setTextColour(QColor(128, 128, 128, 255));
    display.grabFramebuffer();
    EXPECT_EQ(display.getFontRebuildCount(), rebuilds);
    display.setTextColour(QColor(200, 10, 10));
    display.grabFramebuffer();
    EXPECT_EQ(display.getFontRebuildCount(), rebuilds + 1);
}

TEST_F(FanDisplayFixture, SettingsRoundTripKeepsPaletteFlipColoursAndOverlays)
{
    FanDisplayOptions::DisplaySettings settings;
    settings.palette = FanDisplayOptions::DynamicAqua;
    settings.paletteModifier = 77;
    settings.horizontalFlip = true;
    settings.clearColour = QColor(10, 20, 30);
    settings.textColour = QColor(240, 240, 240);
    settings.rangeLabels = false;
    settings.rangeArcs = true;
    settings.sectorLines = false;
    settings.rotation = 45.F;
    display.configureFromSettings(settings);
    const auto back = display.getCurrentDisplaySettings();
    EXPECT_EQ(back.palette, FanDisplayOptions::DynamicAqua);
    EXPECT_EQ(back.paletteModifier, 77);
    EXPECT_TRUE(back.horizontalFlip);
    EXPECT_EQ(back.clearColour, QColor(10, 20, 30));
    EXPECT_EQ(back.textColour, QColor(240, 240, 240));
    EXPECT_FALSE(back.rangeLabels);
    EXPECT_TRUE(back.rangeArcs);
    EXPECT_FALSE(back.sectorLines);
    EXPECT_FLOAT_EQ(back.rotation, 45.F);
}

TEST_F(FanDisplayFixture, BrandingPutsBothLogosInTheTopCorners)
{
    display.setClearColour(QColor(0, 0, 0));
    display.newImageReceived(constantImage(256, 100, 10.0, 0));
    showAt(800, 480);
    auto litPixels = [](const QImage& frame, QRect area) {
        int lit = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                lit += qRed(frame.pixel(x, y)) > 128 ? 1 : 0;
            }
        }
        return lit;
    };
    const QRect topLeft(0, 0, 200, 50);
    const QRect topRight(600, 0, 200, 50);
    QImage frame = display.grabFramebuffer();
    EXPECT_EQ(litPixels(frame, topLeft), 0);
    EXPECT_EQ(litPixels(frame, topRight), 0);
    display.setBrandingColours(QColor(255, 255, 255), QColor(255, 255, 255), QColor(255, 255, 255));
    display.setBranding(true);
    frame = display.grabFramebuffer();
    EXPECT_GT(litPixels(frame, topLeft), 50);
    EXPECT_GT(litPixels(frame, topRight), 50);
}

TEST_F(FanDisplayFixture, BrandingKeepsItsShapeAndATwelfthOfTheHeightAfterResizes)
{
    display.setClearColour(QColor(0, 0, 0));
    display.newImageReceived(constantImage(256, 100, 10.0, 0));
    display.setBrandingColours(QColor(255, 255, 255), QColor(255, 255, 255), QColor(255, 255, 255));
    display.setBranding(true);
    // Lit extent of the top-left logo (the fan stays clear of that corner).
    auto logoExtent = [](const QImage& frame) {
        QPoint last(-1, -1);
        for (int y = 0; y < frame.height() / 4; ++y) {
            for (int x = 0; x < frame.width() / 2; ++x) {
                if (qRed(frame.pixel(x, y)) > 128) {
                    last = QPoint(std::max(last.x(), x), std::max(last.y(), y));
                }
            }
        }
        return last;
    };
    showAt(800, 480);
    const QPoint first = logoExtent(display.grabFramebuffer());
    ASSERT_GT(first.x(), 0);
    ASSERT_GT(first.y(), 0);

    showAt(1600, 480); // wider only: the logo must not be stretched
    const QPoint wider = logoExtent(display.grabFramebuffer());
    // The left margin is a fixed share of the width, so the right edge moves by it.
    EXPECT_NEAR(wider.x(), first.x() + 0.025 * 800, 3);
    EXPECT_NEAR(wider.y(), first.y(), 1);

    showAt(800, 960); // twice as tall: the logo follows in both directions
    const QPoint taller = logoExtent(display.grabFramebuffer());
    EXPECT_NEAR(taller.y(), 2 * first.y(), 0.1 * first.y() + 2);
    EXPECT_NEAR(taller.x() - 0.025 * 800, 2 * (first.x() - 0.025 * 800), 0.1 * first.x() + 4);

    display.makeCurrent();
    EXPECT_EQ(display.getPainter()->getCachedImageCount(), 2U) << "replaced logos leave no textures behind";
    display.doneCurrent();
}
