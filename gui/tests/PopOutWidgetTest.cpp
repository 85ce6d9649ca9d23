#include "WidgetTestApplication.h"

#include <keldar/testing/WaitUntil.h>

#include <keldar/gui/BasicPopOutWidget.h>
#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/PopOutWidgetButton.h>

#include <QAbstractAnimation>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using Keldar::GUI::Widgets::AddOns::FloatingWidgetHandle;
using Keldar::GUI::Widgets::Buttons::PopOutWidgetButton;
using Keldar::GUI::Widgets::Containers::BasicPopOutWidget;

using Keldar::Testing::waitUntil;

namespace {

TEST(PopOutPlacement, BelowAControlAlignsNearEndsByDefault)
{
    const QPoint at =
        BasicPopOutWidget::computePosition(QRect(100, 50, 40, 30), QSize(800, 600), QSize(200, 100),
                                           BasicPopOutWidget::BelowControl, BasicPopOutWidget::AlignNearEnds, 4);
    EXPECT_EQ(at, QPoint(100, 84));
}

TEST(PopOutPlacement, EachSideOfTheControl)
{
    const QRect control(300, 200, 40, 30);
    const QSize area(800, 600);
    const QSize size(100, 60);
    using P = BasicPopOutWidget;
    EXPECT_EQ(P::computePosition(control, area, size, P::RightOfControl, P::AlignNearEnds, 5), QPoint(345, 200));
    EXPECT_EQ(P::computePosition(control, area, size, P::LeftOfControl, P::AlignNearEnds, 5), QPoint(195, 200));
    EXPECT_EQ(P::computePosition(control, area, size, P::AboveControl, P::AlignNearEnds, 5), QPoint(300, 135));
    EXPECT_EQ(P::computePosition(control, area, size, P::BelowControl, P::AlignNearEnds, 5), QPoint(300, 235));
}

TEST(PopOutPlacement, HintsAlignFarEndsAndCentres)
{
    using P = BasicPopOutWidget;
    const QRect control(300, 200, 40, 30);
    EXPECT_EQ(P::computePosition(control, {800, 600}, {100, 60}, P::AboveControl, P::AlignFarEnds, 0),
              QPoint(240, 140));
    EXPECT_EQ(P::computePosition(control, {800, 600}, {100, 60}, P::AboveControl, P::AlignCentres, 0),
              QPoint(270, 140));
    EXPECT_EQ(P::computePosition(control, {800, 600}, {100, 60}, P::RightOfControl, P::AlignCentres, 0),
              QPoint(340, 185));
}

TEST(PopOutPlacement, AboveAControlNearTheRightEdgeShiftsLeftToFit)
{
    using P = BasicPopOutWidget;
    const QPoint at =
        P::computePosition(QRect(1800, 1000, 40, 40), {1920, 1080}, {300, 200}, P::AboveControl, P::AlignNearEnds, 5);
    EXPECT_EQ(at, QPoint(1540, 795));
}

TEST(PopOutPlacement, FarEndHintFallsBackToNearEnd)
{
    using P = BasicPopOutWidget;
    const QPoint at =
        P::computePosition(QRect(10, 100, 40, 40), {800, 600}, {300, 60}, P::BelowControl, P::AlignFarEnds, 0);
    EXPECT_EQ(at, QPoint(10, 140));
}

TEST(PopOutPlacement, CentredInTheWindowWhenNothingFits)
{
    using P = BasicPopOutWidget;
    const QPoint at =
        P::computePosition(QRect(1800, 1000, 40, 40), {1920, 1080}, {2000, 200}, P::AboveControl, P::AlignNearEnds, 5);
    EXPECT_EQ(at, QPoint(-40, 795));
    const QPoint side =
        P::computePosition(QRect(10, 500, 40, 40), {800, 600}, {100, 590}, P::RightOfControl, P::AlignCentres, 0);
    EXPECT_EQ(side, QPoint(50, 5));
}

TEST(PopOutBubble, ArrowPointsAtTheControlFromTheFacingSide)
{
    using P = BasicPopOutWidget;
    const QRegion below = P::bubbleShape({100, 50}, P::BelowControl, {50, -5});
    EXPECT_TRUE(below.contains(QPoint(50, 2))) << "arrow near its tip";
    EXPECT_FALSE(below.contains(QPoint(10, 3))) << "the strip beside the arrow is cut away";
    EXPECT_TRUE(below.contains(QPoint(10, 20)));
    EXPECT_FALSE(below.contains(QPoint(0, 7))) << "corners are cut";
    EXPECT_FALSE(below.contains(QPoint(99, 49)));

    const QRegion right = P::bubbleShape({100, 50}, P::RightOfControl, {-5, 25});
    EXPECT_TRUE(right.contains(QPoint(2, 25)));
    EXPECT_FALSE(right.contains(QPoint(2, 5)));
    EXPECT_TRUE(right.contains(QPoint(95, 45)));
}

TEST(PopOutBubble, ArrowStaysOnTheBodyWhenTheControlIsBeyondIt)
{
    using P = BasicPopOutWidget;
    const QRegion shape = P::bubbleShape({100, 50}, P::AboveControl, {400, 60});
    EXPECT_TRUE(shape.boundingRect().right() < 100);
    EXPECT_TRUE(shape.contains(QPoint(88, 46))) << "arrow pushed to the end of the edge";
    EXPECT_FALSE(shape.contains(QPoint(50, 46)));
}

class PopOutWidgetTest : public WidgetTest
{
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        window = std::make_unique<QWidget>();
        window->resize(800, 600);
        button = new PopOutWidgetButton(window.get());
        button->setGeometry(700, 550, 40, 30);
        popOut = new BasicPopOutWidget(button, BasicPopOutWidget::AboveControl, 6, window.get());
        popOut->resize(200, 100);
        handle = new FloatingWidgetHandle(popOut);
        handle->setGeometry(20, 10, 30, 10);
        popOut->setDragHandle(handle);
        window->show();
    }

    QPoint expectedDockedPosition() const { return {540, 550 - 100 - 6}; }

    [[nodiscard]] bool showAndSettle()
    {
        popOut->showPopOut();
        return waitUntil([&] { return popOut->getState() == int(BasicPopOutWidget::Shown); });
    }

    // Every fade and slide has come to rest, so nothing can move it any more.
    [[nodiscard]] bool animationsSettled()
    {
        return waitUntil([&] {
            const auto animations = popOut->findChildren<QAbstractAnimation*>();
            return std::all_of(animations.begin(), animations.end(),
                               [](const QAbstractAnimation* a) { return a->state() == QAbstractAnimation::Stopped; });
        });
    }

    void dragHandleBy(const QPoint& delta)
    {
        const QPoint start(300, 300);
        sendMouse(handle, QEvent::MouseButtonPress, {5, 5}, start);
        sendMouse(handle, QEvent::MouseMove, {5, 5}, start + delta / 2, Qt::NoButton);
        sendMouse(handle, QEvent::MouseMove, {5, 5}, start + delta, Qt::NoButton);
        sendMouse(handle, QEvent::MouseButtonRelease, {5, 5}, start + delta, Qt::LeftButton, Qt::NoButton);
    }

    std::unique_ptr<QWidget> window;
    PopOutWidgetButton* button = nullptr;
    BasicPopOutWidget* popOut = nullptr;
    FloatingWidgetHandle* handle = nullptr;
};

} // namespace

TEST_F(PopOutWidgetTest, StartsHiddenDockedAndInverted)
{
    EXPECT_FALSE(popOut->isVisible());
    EXPECT_TRUE(popOut->isDocked());
    EXPECT_EQ(popOut->getState(), int(BasicPopOutWidget::Hidden));
    EXPECT_EQ(popOut->property("class").toString(), "inverted");
    EXPECT_EQ(button->getPopOutWidget(), popOut);
    EXPECT_EQ(popOut->getPopOutControl(), button);
}

TEST_F(PopOutWidgetTest, ShowingSlidesInToItsPlaceBesideTheControl)
{
    popOut->showPopOut();
    EXPECT_EQ(popOut->getState(), int(BasicPopOutWidget::Showing));
    EXPECT_TRUE(popOut->isVisible());
    ASSERT_TRUE(waitUntil([&] { return popOut->getState() == int(BasicPopOutWidget::Shown); }));
    ASSERT_TRUE(waitUntil([&] { return popOut->pos() == expectedDockedPosition(); }));
    EXPECT_FALSE(popOut->mask().isEmpty()) << "docked pop-outs are shaped as a bubble";
    ASSERT_TRUE(animationsSettled());
    EXPECT_EQ(popOut->graphicsEffect(), nullptr) << "shown opaque: nothing beneath shows through";
}

TEST_F(PopOutWidgetTest, HidingFadesOutAndLeavesThePositionForNextTime)
{
    ASSERT_TRUE(showAndSettle());
    ASSERT_TRUE(waitUntil([&] { return popOut->pos() == expectedDockedPosition(); }));
    popOut->hidePopOut();
    EXPECT_EQ(popOut->getState(), int(BasicPopOutWidget::Hiding));
    ASSERT_TRUE(waitUntil([&] { return popOut->getState() == int(BasicPopOutWidget::Hidden); }));
    EXPECT_FALSE(popOut->isVisible());
    EXPECT_EQ(popOut->pos(), expectedDockedPosition());
}

TEST_F(PopOutWidgetTest, ButtonTogglesThePopOut)
{
    button->setChecked(true);
    EXPECT_TRUE(popOut->isVisible());
    ASSERT_TRUE(waitUntil([&] { return popOut->getState() == int(BasicPopOutWidget::Shown); }));
    button->setChecked(false);
    ASSERT_TRUE(waitUntil([&] { return !popOut->isVisible(); }));
}

TEST_F(PopOutWidgetTest, ToggledBackOnWhileFadingOutItStays)
{
    ASSERT_TRUE(showAndSettle());
    button->setChecked(true);
    button->setChecked(false);
    EXPECT_EQ(popOut->getState(), int(BasicPopOutWidget::Hiding));
    ASSERT_TRUE(waitUntil([&] { return popOut->pos() != expectedDockedPosition(); })) << "sliding out";
    button->setChecked(true);
    ASSERT_TRUE(waitUntil([&] { return popOut->getState() == int(BasicPopOutWidget::Shown); }));
    ASSERT_TRUE(animationsSettled());
    EXPECT_TRUE(popOut->isVisible());
    EXPECT_EQ(popOut->pos(), expectedDockedPosition()) << "an interrupted slide must not leave it lower";
}

TEST_F(PopOutWidgetTest, UndockedPopOutReturnsWhereItWasAfterAnInterruptedHide)
{
    ASSERT_TRUE(showAndSettle());
    dragHandleBy({-200, -150});
    const QPoint torn = popOut->pos();
    popOut->hidePopOut();
    ASSERT_TRUE(waitUntil([&] { return popOut->pos() != torn; })) << "sliding out";
    popOut->showPopOut();
    ASSERT_TRUE(waitUntil([&] { return popOut->getState() == int(BasicPopOutWidget::Shown); }));
    ASSERT_TRUE(animationsSettled());
    EXPECT_EQ(popOut->pos(), torn);
}

TEST_F(PopOutWidgetTest, DraggingTheHandleTearsItOff)
{
    ASSERT_TRUE(showAndSettle());
    ASSERT_TRUE(waitUntil([&] { return popOut->pos() == expectedDockedPosition(); }));
    QSignalSpy docked(popOut, &BasicPopOutWidget::dockedChanged);
    dragHandleBy({-200, -150});
    EXPECT_FALSE(popOut->isDocked());
    EXPECT_TRUE(handle->isActive());
    EXPECT_TRUE(popOut->mask().isEmpty());
    EXPECT_EQ(popOut->contentsMargins(), QMargins(10, 10, 10, 10));
    EXPECT_EQ(popOut->pos(), expectedDockedPosition() + QPoint(-200, -150));
    ASSERT_EQ(docked.count(), 1);
    EXPECT_FALSE(docked.at(0).at(0).toBool());
}

TEST_F(PopOutWidgetTest, DoubleClickOnTheHandleDocksItAgain)
{
    ASSERT_TRUE(showAndSettle());
    dragHandleBy({-200, -150});
    ASSERT_FALSE(popOut->isDocked());
    QTest::mouseDClick(handle, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(popOut->getState(), int(BasicPopOutWidget::Hiding));
    ASSERT_TRUE(waitUntil([&] { return popOut->isDocked(); }));
    ASSERT_TRUE(waitUntil([&] { return popOut->getState() == int(BasicPopOutWidget::Shown); }));
    ASSERT_TRUE(waitUntil([&] { return popOut->pos() == expectedDockedPosition(); }));
    EXPECT_TRUE(popOut->isVisible());
    EXPECT_FALSE(handle->isActive());
    EXPECT_FALSE(popOut->mask().isEmpty());

    // Re-armed: the next drag tears it off again.
    dragHandleBy({-50, -50});
    EXPECT_FALSE(popOut->isDocked());
}

TEST_F(PopOutWidgetTest, DoubleClickOnADockedHandleChangesNothing)
{
    ASSERT_TRUE(showAndSettle());
    const QPoint before = popOut->pos();
    QSignalSpy docked(popOut, &BasicPopOutWidget::dockedChanged);
    QTest::mouseDClick(handle, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(popOut->getState(), int(BasicPopOutWidget::Shown));
    ASSERT_TRUE(animationsSettled());
    EXPECT_TRUE(popOut->isVisible());
    EXPECT_TRUE(popOut->isDocked());
    EXPECT_EQ(popOut->pos(), before);
    EXPECT_EQ(docked.count(), 0);
}

TEST_F(PopOutWidgetTest, WithoutAHandleItCannotBeDragged)
{
    popOut->setDragHandle(nullptr);
    EXPECT_FALSE(popOut->draggingIsEnabled());
    ASSERT_TRUE(showAndSettle());
    ASSERT_TRUE(waitUntil([&] { return popOut->pos() == expectedDockedPosition(); }));
    sendMouse(popOut, QEvent::MouseButtonPress, {50, 50}, {300, 300});
    sendMouse(popOut, QEvent::MouseMove, {50, 50}, {100, 100}, Qt::NoButton);
    sendMouse(popOut, QEvent::MouseButtonRelease, {50, 50}, {100, 100}, Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(popOut->isDocked());
    EXPECT_EQ(popOut->pos(), expectedDockedPosition());
}

TEST_F(PopOutWidgetTest, DockedPopOutFollowsItsControlWhenTheWindowResizes)
{
    ASSERT_TRUE(showAndSettle());
    button->move(600, 350);
    window->resize(700, 400);
    ASSERT_TRUE(waitUntil([&] { return popOut->pos() == QPoint(440, 350 - 100 - 6); }));
}

// The viewer moves its pop-outs from the toolbars into the display area.
TEST_F(PopOutWidgetTest, MovedToAnotherParentItFollowsThatParentsResizes)
{
    auto* area = new QWidget(window.get());
    area->setGeometry(100, 0, 700, 600);
    area->show();
    popOut->setParent(area);
    ASSERT_TRUE(showAndSettle());
    // The button at (700, 550) lies at (600, 550) in the area.
    ASSERT_TRUE(waitUntil([&] { return popOut->pos() == QPoint(440, 550 - 100 - 6); }));
    button->move(600, 350);
    area->resize(650, 400);
    ASSERT_TRUE(waitUntil([&] { return popOut->pos() == QPoint(340, 350 - 100 - 6); }));
}

TEST_F(PopOutWidgetTest, OutlivesItsButtonWithoutPointingAtIt)
{
    ASSERT_TRUE(showAndSettle());
    delete button;
    EXPECT_EQ(popOut->getPopOutControl(), nullptr);
    window->resize(700, 500); // a docked pop-out would follow its button
    popOut->reposition();
    popOut->hidePopOut();
    ASSERT_TRUE(waitUntil([&] { return popOut->getState() == int(BasicPopOutWidget::Hidden); }));
    ASSERT_TRUE(showAndSettle());

    // A button that takes another pop-out lets go of the first.
    PopOutWidgetButton other(window.get());
    BasicPopOutWidget first(&other, BasicPopOutWidget::BelowControl, 6, window.get());
    BasicPopOutWidget second(&other, BasicPopOutWidget::BelowControl, 6, window.get());
    EXPECT_EQ(first.getPopOutControl(), nullptr);
    EXPECT_EQ(second.getPopOutControl(), &other);
}

TEST_F(WidgetTest, FloatingHandleIsAToolTippedGrip)
{
    FloatingWidgetHandle handle;
    EXPECT_EQ(handle.objectName(), "handle");
    EXPECT_EQ(handle.minimumSize(), QSize(8, 8));
    EXPECT_EQ(handle.toolTip(), "Click and drag to reposition this control. Double click to reset.");
    handle.applyActiveStyle();
    EXPECT_EQ(handle.property("class").toString(), "widgetHandleActive");
    handle.applyInactiveStyle();
    EXPECT_EQ(handle.property("class").toString(), "widgetHandleInactive");
    QSignalSpy dock(&handle, &FloatingWidgetHandle::dockWidget);
    QTest::mouseDClick(&handle, Qt::RightButton, {}, QPoint(4, 4));
    EXPECT_EQ(dock.count(), 0);
    QTest::mouseDClick(&handle, Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(dock.count(), 1);
}
