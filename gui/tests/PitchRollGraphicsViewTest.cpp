#include "WidgetTestApplication.h"

#include <keldar/gui/PitchRollGraphicsView.h>

#include <QFile>
#include <QImage>
#include <QSvgRenderer>

using Keldar::GUI::Widgets::GraphicsViews::PitchRollGraphicsView;

namespace {

class AttitudeTest : public WidgetTest
{
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        view = std::make_unique<PitchRollGraphicsView>();
        view->resize(240, 240);
        view->show();
    }

    QImage picture() const { return view->grab().toImage(); }

    static bool isSky(const QColor& colour) { return colour.blue() > colour.red() + 40; }
    static bool isGround(const QColor& colour) { return colour.red() > colour.blue() + 40; }

    std::unique_ptr<PitchRollGraphicsView> view;
};

} // namespace

TEST_F(AttitudeTest, PitchIsClampedToTwentyDegrees)
{
    view->setPitch(35.0f);
    EXPECT_FLOAT_EQ(view->getPitch(), 20.0f);
    view->setPitch(-35.0f);
    EXPECT_FLOAT_EQ(view->getPitch(), -20.0f);
    view->setPitch(7.5f);
    EXPECT_FLOAT_EQ(view->getPitch(), 7.5f);
}

TEST_F(AttitudeTest, RollIsStoredNegatedAndClamped)
{
    view->setRoll(10.0f);
    EXPECT_FLOAT_EQ(view->getRoll(), -10.0f);
    EXPECT_DOUBLE_EQ(view->getDialRotation(), 10.0);
    view->setRoll(-250.0f);
    EXPECT_FLOAT_EQ(view->getRoll(), 180.0f);
}

TEST_F(AttitudeTest, PitchMovesTheFaceAlongTheRotatedVertical)
{
    view->setPitch(10.0f);
    EXPECT_NEAR(view->getFaceOffset().x(), 0.0, 1e-9);
    EXPECT_NEAR(view->getFaceOffset().y(), 17.0, 1e-9);
    view->setRoll(90.0f);
    EXPECT_NEAR(view->getFaceOffset().x(), -17.0, 1e-9);
    EXPECT_NEAR(view->getFaceOffset().y(), 0.0, 1e-9);
}

TEST_F(AttitudeTest, FaceOffsetScalesWithTheWidget)
{
    view->resize(480, 360);
    view->setPitch(-10.0f);
    EXPECT_NEAR(view->getFaceOffset().y(), -17.0 * 1.5, 1e-6);
}

TEST_F(AttitudeTest, LevelShowsSkyAboveGroundBelow)
{
    const QImage image = picture();
    EXPECT_TRUE(isSky(image.pixelColor(60, 100)));
    EXPECT_TRUE(isGround(image.pixelColor(60, 140)));
}

TEST_F(AttitudeTest, NoseUpLowersTheHorizon)
{
    view->setPitch(20.0f);
    const QImage image = picture();
    // The horizon sits 34 units lower: just below the centre is still sky.
    EXPECT_TRUE(isSky(image.pixelColor(60, 140)));
    EXPECT_TRUE(isGround(image.pixelColor(60, 165)));
}

TEST_F(AttitudeTest, PositiveRollTurnsTheDialClockwiseOnScreen)
{
    view->setRoll(90.0f);
    const QImage image = picture();
    EXPECT_TRUE(isSky(image.pixelColor(160, 150)));
    EXPECT_TRUE(isGround(image.pixelColor(80, 150)));
}

TEST_F(AttitudeTest, CaseStaysFixedAndOutsideTheInstrumentIsTransparent)
{
    view->setRoll(45.0f);
    view->setPitch(20.0f);
    const QImage image = picture();
    // The level marker's centre dot is on the case, whatever the attitude.
    const QColor centre = image.pixelColor(120, 120);
    EXPECT_GT(centre.red(), 200);
    EXPECT_GT(centre.green(), 130);
    EXPECT_LT(centre.blue(), 80);
}

TEST(AttitudeGraphics, AllFourLayersAreValidAndCentred)
{
    for (const char* name : {"Back", "Face", "Ring", "Case"}) {
        const QString path = QStringLiteral(":/keldar-gui/widget-graphics/adiWidget/%1.svg").arg(name);
        ASSERT_TRUE(QFile::exists(path)) << name;
        QSvgRenderer renderer(path);
        ASSERT_TRUE(renderer.isValid()) << name;
        EXPECT_EQ(renderer.defaultSize().width(), renderer.defaultSize().height()) << name;
    }
}
