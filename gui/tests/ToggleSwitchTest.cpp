#include "WidgetTestApplication.h"

#include <keldar/testing/WaitUntil.h>

#include <keldar/gui/ToggleSwitch.h>

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

using Keldar::GUI::Widgets::Controls::ToggleSwitch;

using Keldar::Testing::waitUntil;

namespace {

class ToggleSwitchTest : public WidgetTest
{
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        toggle = std::make_unique<ToggleSwitch>();
        toggle->resize(35, 20);
    }

    void press(int x = 17) { sendMouse(toggle.get(), QEvent::MouseButtonPress, {x, 10}, {x, 10}); }
    void moveTo(int x) { sendMouse(toggle.get(), QEvent::MouseMove, {x, 10}, {x, 10}, Qt::NoButton); }
    void release(int x = 17)
    {
        sendMouse(toggle.get(), QEvent::MouseButtonRelease, {x, 10}, {x, 10}, Qt::LeftButton, Qt::NoButton);
    }

    // The snap is judged on the value where the drag left the knob.
    void dragTo(int value)
    {
        press(5);
        moveTo(12);
        toggle->setValue(value);
        release(12);
    }

    std::unique_ptr<ToggleSwitch> toggle;
};

} // namespace

TEST_F(ToggleSwitchTest, IsAZeroToHundredSliderThatIsOnOnlyAtHundred)
{
    EXPECT_EQ(toggle->minimum(), 0);
    EXPECT_EQ(toggle->maximum(), 100);
    EXPECT_EQ(toggle->maximumWidth(), 35);
    EXPECT_EQ(toggle->property("class").toString(), "toggleSwitch");
    toggle->setValue(99);
    EXPECT_FALSE(toggle->isEnabled());
    toggle->setValue(100);
    EXPECT_TRUE(toggle->isEnabled());
}

TEST_F(ToggleSwitchTest, ClickFlipsAndReportsAtOnce)
{
    QSignalSpy toggled(toggle.get(), &ToggleSwitch::toggled);
    press();
    release();
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_TRUE(toggled.at(0).at(0).toBool());
    ASSERT_TRUE(waitUntil([&] { return toggle->value() == 100; }));
    EXPECT_TRUE(toggle->isEnabled());

    press();
    release();
    ASSERT_EQ(toggled.count(), 2);
    EXPECT_FALSE(toggled.at(1).at(0).toBool());
    ASSERT_TRUE(waitUntil([&] { return toggle->value() == 0; }));
}

TEST_F(ToggleSwitchTest, ValueIsAnimatedRatherThanJumped)
{
    press();
    release();
    EXPECT_LT(toggle->value(), 100) << "the knob should still be travelling";
    ASSERT_TRUE(waitUntil([&] { return toggle->value() == 100; }));
}

TEST_F(ToggleSwitchTest, DragReleasedAt49EndsOff)
{
    toggle->setState(true);
    QSignalSpy toggled(toggle.get(), &ToggleSwitch::toggled);
    dragTo(49);
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_FALSE(toggled.at(0).at(0).toBool());
    ASSERT_TRUE(waitUntil([&] { return toggle->value() == 0; }));
}

TEST_F(ToggleSwitchTest, DragReleasedAt50EndsOn)
{
    QSignalSpy toggled(toggle.get(), &ToggleSwitch::toggled);
    dragTo(50);
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_TRUE(toggled.at(0).at(0).toBool());
    ASSERT_TRUE(waitUntil([&] { return toggle->value() == 100; }));
}

TEST_F(ToggleSwitchTest, DraggingTheKnobAcrossTurnsItOn)
{
    press(4);
    moveTo(20);
    moveTo(40);
    EXPECT_EQ(toggle->value(), 100) << "the knob follows the pointer while dragged";
    release(40);
    EXPECT_TRUE(toggle->isEnabled());
}

TEST_F(ToggleSwitchTest, ClickOnAHalfWaySwitchTurnsItOff)
{
    toggle->setValue(60);
    QSignalSpy toggled(toggle.get(), &ToggleSwitch::toggled);
    press();
    release();
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_FALSE(toggled.at(0).at(0).toBool());
}

TEST_F(ToggleSwitchTest, SetStateJumpsAndReports)
{
    QSignalSpy toggled(toggle.get(), &ToggleSwitch::toggled);
    toggle->setState(true);
    EXPECT_EQ(toggle->value(), 100);
    toggle->setState(false);
    EXPECT_EQ(toggle->value(), 0);
    ASSERT_EQ(toggled.count(), 2);
    EXPECT_TRUE(toggled.at(0).at(0).toBool());
    EXPECT_FALSE(toggled.at(1).at(0).toBool());
}

TEST_F(ToggleSwitchTest, ImmutableSwitchIgnoresTheUser)
{
    toggle->setImmutable(true);
    EXPECT_FALSE(toggle->QWidget::isEnabled());
    QSignalSpy toggled(toggle.get(), &ToggleSwitch::toggled);
    press();
    release();
    QTest::keyClick(toggle.get(), Qt::Key_Space);
    EXPECT_EQ(toggled.count(), 0);
    EXPECT_EQ(toggle->value(), 0);
    toggle->setImmutable(false);
    EXPECT_TRUE(toggle->QWidget::isEnabled());
}

TEST_F(ToggleSwitchTest, WheelDoesNotMoveTheKnob)
{
    QWheelEvent wheel(QPointF(17, 10), QPointF(17, 10), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(toggle.get(), &wheel);
    EXPECT_EQ(toggle->value(), 0);
}
