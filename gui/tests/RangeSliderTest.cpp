#include "WidgetTestApplication.h"

#include <keldar/gui/RangeSlider.h>

#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QTest>

using Keldar::GUI::Widgets::Controls::RangeSlider;

namespace {

// Opens access to the style option the slider itself uses, so the tests find
// the handles where the style draws them.
class ProbedSlider : public RangeSlider
{
public:
    using RangeSlider::RangeSlider;

    QPoint handleCentre(int value) const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        option.sliderPosition = value;
        option.sliderValue = value;
        return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this).center();
    }
};

class RangeSliderTest : public WidgetTest
{
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        slider = std::make_unique<ProbedSlider>(Qt::Horizontal);
        slider->setRange(0, 100);
        slider->resize(400, 30);
        slider->setSpan(20, 80);
    }

    void press(const QPoint& at, Qt::MouseButton button = Qt::LeftButton)
    {
        sendMouse(slider.get(), QEvent::MouseButtonPress, at, at, button, button);
    }
    void moveTo(const QPoint& at) { sendMouse(slider.get(), QEvent::MouseMove, at, at, Qt::NoButton); }
    void release(const QPoint& at)
    {
        sendMouse(slider.get(), QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::NoButton);
    }
    void drag(int fromValue, int toValue)
    {
        const QPoint from = slider->handleCentre(fromValue);
        const QPoint to(slider->handleCentre(toValue).x(), from.y());
        press(from);
        moveTo(to);
        release(to);
    }

    std::unique_ptr<ProbedSlider> slider;
};

} // namespace

TEST_F(RangeSliderTest, SetSpanOrdersTheValues)
{
    QSignalSpy span(slider.get(), &RangeSlider::spanChanged);
    slider->setSpan(90, 10);
    EXPECT_EQ(slider->getLowerValue(), 10);
    EXPECT_EQ(slider->getUpperValue(), 90);
    ASSERT_EQ(span.count(), 1);
    EXPECT_EQ(span.at(0).at(0).toInt(), 10);
    EXPECT_EQ(span.at(0).at(1).toInt(), 90);
}

TEST_F(RangeSliderTest, SetSpan80And20GivesLower20Upper80)
{
    slider->setSpan(0, 100);
    QSignalSpy lower(slider.get(), &RangeSlider::lowerValueChanged);
    QSignalSpy upper(slider.get(), &RangeSlider::upperValueChanged);
    slider->setSpan(80, 20);
    EXPECT_EQ(slider->getLowerValue(), 20);
    EXPECT_EQ(slider->getUpperValue(), 80);
    ASSERT_EQ(lower.count(), 1);
    EXPECT_EQ(lower.at(0).at(0).toInt(), 20);
    ASSERT_EQ(upper.count(), 1);
    EXPECT_EQ(upper.at(0).at(0).toInt(), 80);
}

TEST_F(RangeSliderTest, SetSpanClampsToTheRange)
{
    slider->setSpan(-50, 500);
    EXPECT_EQ(slider->getLowerValue(), 0);
    EXPECT_EQ(slider->getUpperValue(), 100);
}

TEST_F(RangeSliderTest, UnchangedValuesEmitNothing)
{
    QSignalSpy lower(slider.get(), &RangeSlider::lowerValueChanged);
    QSignalSpy upper(slider.get(), &RangeSlider::upperValueChanged);
    QSignalSpy span(slider.get(), &RangeSlider::spanChanged);
    slider->setSpan(20, 80);
    slider->setUpperValue(90);
    EXPECT_EQ(lower.count(), 0);
    EXPECT_EQ(upper.count(), 1);
    EXPECT_EQ(span.count(), 1);
}

TEST_F(RangeSliderTest, ShrinkingTheRangeReclampsTheSpan)
{
    slider->setRange(0, 50);
    EXPECT_EQ(slider->getLowerValue(), 20);
    EXPECT_EQ(slider->getUpperValue(), 50);
}

TEST_F(RangeSliderTest, DraggingTheLowerHandleMovesOnlyIt)
{
    QSignalSpy pressed(slider.get(), qOverload<RangeSlider::Handle>(&RangeSlider::sliderPressed));
    drag(20, 40);
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed.at(0).at(0).value<RangeSlider::Handle>(), RangeSlider::LowerHandle);
    EXPECT_NEAR(slider->getLowerValue(), 40, 1);
    EXPECT_EQ(slider->getUpperValue(), 80);
    EXPECT_EQ(slider->getPressedHandle(), RangeSlider::NoHandle);
}

TEST_F(RangeSliderTest, NoCrossingStopsTheLowerHandleAtTheUpper)
{
    slider->setHandleMovementMode(RangeSlider::NoCrossing);
    drag(20, 95);
    EXPECT_EQ(slider->getLowerValue(), 80);
    EXPECT_EQ(slider->getUpperValue(), 80);
}

TEST_F(RangeSliderTest, NoOverlappingKeepsTheHandlesAStepApart)
{
    slider->setHandleMovementMode(RangeSlider::NoOverlapping);
    drag(80, 5);
    EXPECT_EQ(slider->getUpperValue(), 21);
    EXPECT_EQ(slider->getLowerValue(), 20);
}

TEST_F(RangeSliderTest, NoOverlappingLowerHandleCannotMoveRightOfTen)
{
    slider->setHandleMovementMode(RangeSlider::NoOverlapping);
    slider->setSpan(10, 11);
    slider->setFocus();
    QTest::keyClick(slider.get(), Qt::Key_Right);
    EXPECT_EQ(slider->getLowerValue(), 10);
    EXPECT_EQ(slider->getUpperValue(), 11);
}

TEST_F(RangeSliderTest, FreeMovementLetsTheHandlesPassAndSwapRoles)
{
    slider->setHandleMovementMode(RangeSlider::FreeMovement);
    const QPoint from = slider->handleCentre(20);
    const QPoint to(slider->handleCentre(95).x(), from.y());
    press(from);
    moveTo(to);
    EXPECT_EQ(slider->getPressedHandle(), RangeSlider::UpperHandle) << "the dragged handle is now the upper one";
    release(to);
    EXPECT_EQ(slider->getLowerValue(), 80);
    EXPECT_NEAR(slider->getUpperValue(), 95, 1);
}

TEST_F(RangeSliderTest, KeysMoveTheHandlePressedLast)
{
    slider->setHandleMovementMode(RangeSlider::NoCrossing);
    drag(80, 70);
    EXPECT_NEAR(slider->getUpperValue(), 70, 1);
    const int upper = slider->getUpperValue();
    QTest::keyClick(slider.get(), Qt::Key_Right);
    EXPECT_EQ(slider->getUpperValue(), upper + 1);
    QTest::keyClick(slider.get(), Qt::Key_End);
    EXPECT_EQ(slider->getUpperValue(), 100);
    QTest::keyClick(slider.get(), Qt::Key_Home);
    EXPECT_EQ(slider->getUpperValue(), 20) << "no crossing: stops at the lower handle";
}

TEST_F(RangeSliderTest, InvertedAppearanceTurnsTheArrowKeysAround)
{
    slider->setInvertedAppearance(true);
    QTest::keyClick(slider.get(), Qt::Key_Right);
    EXPECT_EQ(slider->getLowerValue(), 19);
}

TEST_F(RangeSliderTest, CoincidingHandlesSplitByTheFirstMove)
{
    slider->setSpan(50, 50);
    const QPoint from = slider->handleCentre(50);
    press(from);
    moveTo(QPoint(slider->handleCentre(30).x(), from.y()));
    release(QPoint(slider->handleCentre(30).x(), from.y()));
    EXPECT_NEAR(slider->getLowerValue(), 30, 1);
    EXPECT_EQ(slider->getUpperValue(), 50);

    slider->setSpan(50, 50);
    press(from);
    moveTo(QPoint(slider->handleCentre(70).x(), from.y()));
    release(QPoint(slider->handleCentre(70).x(), from.y()));
    EXPECT_EQ(slider->getLowerValue(), 50);
    EXPECT_NEAR(slider->getUpperValue(), 70, 1);
}

TEST_F(RangeSliderTest, PointerFarOutsideReturnsTheHandle)
{
    // A style with a drag tolerance (the default style here has none).
    std::unique_ptr<QStyle> windows(QStyleFactory::create("Windows"));
    ASSERT_NE(windows, nullptr);
    slider->setStyle(windows.get());
    QStyleOptionSlider option;
    ASSERT_GE(windows->pixelMetric(QStyle::PM_MaximumDragDistance, &option, slider.get()), 0);
    const QPoint from = slider->handleCentre(20);
    press(from);
    moveTo(QPoint(slider->handleCentre(40).x(), from.y()));
    moveTo(QPoint(slider->handleCentre(40).x(), from.y() + 2000));
    EXPECT_EQ(slider->getLowerValue(), 20);
}

TEST_F(RangeSliderTest, RightButtonAndEmptyRangeAreIgnored)
{
    QSignalSpy pressed(slider.get(), qOverload<RangeSlider::Handle>(&RangeSlider::sliderPressed));
    press(slider->handleCentre(20), Qt::RightButton);
    EXPECT_EQ(pressed.count(), 0);
    slider->setRange(5, 5);
    press(slider->handleCentre(5));
    EXPECT_EQ(pressed.count(), 0);
}

TEST_F(RangeSliderTest, WithoutTrackingPositionsMoveAndValuesFollowOnRelease)
{
    slider->setTracking(false);
    QSignalSpy positions(slider.get(), &RangeSlider::lowerPositionChanged);
    const QPoint from = slider->handleCentre(20);
    const QPoint to(slider->handleCentre(40).x(), from.y());
    press(from);
    moveTo(to);
    EXPECT_EQ(slider->getLowerValue(), 20);
    EXPECT_NEAR(slider->getLowerPosition(), 40, 1);
    EXPECT_GE(positions.count(), 1);
    release(to);
    EXPECT_NEAR(slider->getLowerValue(), 40, 1);
}

TEST_F(RangeSliderTest, RangeColourDefaultsToDodgerBlue)
{
    EXPECT_EQ(slider->getRangeColour(), QColor(30, 144, 255));
    slider->setRangeColour(Qt::red);
    EXPECT_EQ(slider->getRangeColour(), QColor(Qt::red));
}

TEST_F(RangeSliderTest, StylesheetCanColourTheSpan)
{
    slider->setStyleSheet("qproperty-rangeColour: #AA672A;");
    slider->ensurePolished();
    EXPECT_EQ(slider->getRangeColour(), QColor("#AA672A"));
}

TEST_F(RangeSliderTest, BothHandlesAndTheSpanAreDrawnUnderAStylesheet)
{
    // Stylesheet styles repaint the whole slider with each handle; a second
    // handle must not wipe out the first one or the span.
    slider->setStyleSheet("QSlider { background: #000000; }"
                          "QSlider::groove:horizontal { background: #404040; height: 6px; }"
                          "QSlider::handle:horizontal { background: #00FF00; width: 12px; margin: -5px 0; }"
                          "QSlider::sub-page:horizontal { background: #FFFF00; }");
    slider->setRangeColour(QColor(255, 0, 0));
    const QImage image = slider->grab().toImage();
    const int y = slider->handleCentre(20).y();
    EXPECT_EQ(image.pixelColor(slider->handleCentre(20).x(), y), QColor(0, 255, 0));
    EXPECT_EQ(image.pixelColor(slider->handleCentre(80).x(), y), QColor(0, 255, 0));
    EXPECT_EQ(image.pixelColor(slider->handleCentre(50).x(), y), QColor(255, 0, 0));
}
