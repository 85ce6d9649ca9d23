#include "WidgetTestApplication.h"

#include <keldar/gui/DraggableWidget.h>
#include <keldar/gui/DraggableWidgetGroup.h>

#include <QSignalSpy>

using Keldar::GUI::Widgets::Bases::DraggableWidget;
using Keldar::GUI::Widgets::Bases::DraggableWidgetGroup;

namespace {

class DraggableWidgetTest : public WidgetTest
{
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        parent = std::make_unique<QWidget>();
        parent->resize(300, 200);
        first = makeOverlay(QRect(10, 10, 50, 40));
        second = makeOverlay(QRect(150, 10, 50, 40));
        parent->show();
    }

    DraggableWidget* makeOverlay(const QRect& geometry)
    {
        auto* widget = new DraggableWidget(parent.get());
        widget->setGeometry(geometry);
        return widget;
    }

    // Drags by pointer positions in global coordinates, the way the widget reads them.
    static void drag(QWidget* handle, const QList<QPoint>& pointer)
    {
        sendMouse(handle, QEvent::MouseButtonPress, {5, 5}, pointer.first());
        for (int i = 1; i < pointer.size(); ++i)
            sendMouse(handle, QEvent::MouseMove, {5, 5}, pointer.at(i), Qt::NoButton);
        sendMouse(handle, QEvent::MouseButtonRelease, {5, 5}, pointer.last(), Qt::LeftButton, Qt::NoButton);
    }

    std::unique_ptr<QWidget> parent;
    DraggableWidget* first = nullptr;
    DraggableWidget* second = nullptr;
};

} // namespace

TEST_F(DraggableWidgetTest, FollowsThePointer)
{
    drag(first, {{100, 100}, {130, 120}});
    EXPECT_EQ(first->pos(), QPoint(40, 30));
}

TEST_F(DraggableWidgetTest, StaysInsideTheParentMinusTheMargins)
{
    first->setDragZoneMargins(5, 6, 7, 8);
    drag(first, {{100, 100}, {-500, -500}});
    EXPECT_EQ(first->pos(), QPoint(5, 6));
    drag(first, {{100, 100}, {1000, 1000}});
    EXPECT_EQ(first->pos(), QPoint(300 - 7 - 50, 200 - 8 - 40));
}

TEST_F(DraggableWidgetTest, PointerThatRanPastALimitMustComeBackFirst)
{
    // Clamped at the left edge after moving only 10 of the 100 pixels asked
    // for: the pointer has to return to 90 before the widget moves right.
    drag(first, {{100, 100}, {0, 100}, {120, 100}});
    EXPECT_EQ(first->pos(), QPoint(30, 10));
}

TEST_F(DraggableWidgetTest, MarginFormsAllSetTheSameRecord)
{
    first->setDragZoneMargins(4);
    EXPECT_EQ(first->getDragZoneMargins(), QMargins(4, 4, 4, 4));
    first->setDragZoneMargins(3, 9);
    EXPECT_EQ(first->getDragZoneMargins(), QMargins(3, 9, 3, 9));
    first->setDragZoneMargins(QMargins(1, 2, 3, 4));
    EXPECT_EQ(first->getDragZoneMargins(), QMargins(1, 2, 3, 4));
}

TEST_F(DraggableWidgetTest, ReportsTheStartAndEndOfAMoveOnce)
{
    QSignalSpy started(first, &DraggableWidget::widgetMoveStarted);
    QSignalSpy finished(first, &DraggableWidget::widgetMoveFinished);
    drag(first, {{100, 100}, {101, 100}, {105, 100}, {110, 100}});
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(DraggableWidgetTest, ClickWithoutMovingIsNotAMove)
{
    QSignalSpy started(first, &DraggableWidget::widgetMoveStarted);
    QSignalSpy finished(first, &DraggableWidget::widgetMoveFinished);
    drag(first, {{100, 100}});
    EXPECT_EQ(started.count(), 0);
    EXPECT_EQ(finished.count(), 0);
}

TEST_F(DraggableWidgetTest, DisabledDraggingLeavesTheWidgetAlone)
{
    first->disableDragging();
    EXPECT_EQ(first->cursor().shape(), Qt::ArrowCursor);
    drag(first, {{100, 100}, {150, 150}});
    EXPECT_EQ(first->pos(), QPoint(10, 10));
    first->enableDragging();
    EXPECT_EQ(first->cursor().shape(), Qt::OpenHandCursor);
}

TEST_F(DraggableWidgetTest, OnlyTheHandleStartsADrag)
{
    auto* handle = new QWidget(first);
    handle->setGeometry(0, 0, 50, 8);
    first->setDragHandle(handle);
    drag(first, {{100, 100}, {150, 150}});
    EXPECT_EQ(first->pos(), QPoint(10, 10));
    drag(handle, {{100, 100}, {150, 150}});
    EXPECT_EQ(first->pos(), QPoint(60, 60));
    EXPECT_EQ(handle->cursor().shape(), Qt::OpenHandCursor);
}

TEST_F(DraggableWidgetTest, WidgetIsItsOwnHandleAgainOnceTheHandleIsGone)
{
    auto* handle = new QWidget(first);
    first->setDragHandle(handle);
    delete handle;
    drag(first, {{100, 100}, {120, 130}});
    EXPECT_EQ(first->pos(), QPoint(30, 40));
    EXPECT_EQ(first->cursor().shape(), Qt::OpenHandCursor);
}

TEST_F(DraggableWidgetTest, GroupStopsAWidgetAtTheSpacingFromAnother)
{
    DraggableWidgetGroup group({first, second});
    group.setSpacing(10);
    drag(first, {{100, 100}, {400, 100}});
    EXPECT_EQ(first->x() + first->width() + 10, second->x());
    EXPECT_EQ(first->y(), 10);
}

TEST_F(DraggableWidgetTest, GroupStopsMovesInEveryDirection)
{
    second->setGeometry(10, 120, 50, 40);
    DraggableWidgetGroup group({first, second});
    group.setSpacing(6);
    drag(first, {{100, 100}, {100, 300}});
    EXPECT_EQ(first->y() + first->height() + 6, second->y());
    drag(second, {{100, 100}, {100, -300}});
    EXPECT_EQ(second->y(), first->y() + first->height() + 6) << "already at the limit, it stays";

    first->setGeometry(10, 10, 50, 40);
    second->setGeometry(200, 10, 50, 40);
    drag(second, {{100, 100}, {-300, 100}});
    EXPECT_EQ(second->x(), first->x() + first->width() + 6);
}

TEST_F(DraggableWidgetTest, HiddenMembersDoNotBlock)
{
    DraggableWidgetGroup group({first, second});
    second->hide();
    drag(first, {{100, 100}, {400, 100}});
    EXPECT_EQ(first->x(), 250);
}

TEST_F(DraggableWidgetTest, MembersAlreadyOverlappingAreIgnored)
{
    second->setGeometry(40, 20, 50, 40);
    DraggableWidgetGroup group({first, second});
    drag(first, {{100, 100}, {200, 100}});
    EXPECT_EQ(first->x(), 110) << "an overlapping neighbour must not pin the widget";
}

TEST_F(DraggableWidgetTest, MembersElsewhereDoNotBlock)
{
    second->setGeometry(150, 120, 50, 40);
    DraggableWidgetGroup group({first, second});
    drag(first, {{100, 100}, {300, 100}});
    EXPECT_EQ(first->x(), 210);
}

TEST_F(DraggableWidgetTest, ApplicationGroupKeepsItsMembersApart)
{
    DraggableWidgetGroup& group = DraggableWidgetGroup::applicationGroup();
    EXPECT_EQ(&group, &DraggableWidgetGroup::applicationGroup());
    group.add(first);
    group.add(second);
    drag(first, {{100, 100}, {400, 100}});
    EXPECT_EQ(first->geometry().right() + 1, second->x()) << "stopped at the other overlay";
    group.remove(first);
    group.remove(second);
}

TEST_F(WidgetTest, GroupKeepsOneEntryPerWidget)
{
    QWidget parent;
    auto* widget = new DraggableWidget(&parent);
    DraggableWidgetGroup group;
    group.add(widget);
    group.add(widget);
    EXPECT_EQ(group.getMembers().size(), 1);
    group.remove(widget);
    EXPECT_TRUE(group.getMembers().isEmpty());
    EXPECT_EQ(widget->getGroup(), nullptr);
}

TEST_F(WidgetTest, GroupHandsItsMarginsToNewMembers)
{
    QWidget parent;
    auto* widget = new DraggableWidget(&parent);
    DraggableWidgetGroup group;
    group.setZoneMargins(12, 3);
    group.add(widget);
    EXPECT_EQ(widget->getDragZoneMargins(), QMargins(12, 3, 12, 3));
    EXPECT_EQ(group.getZoneMargins(), QMargins(12, 3, 12, 3));
}

TEST_F(WidgetTest, MembersForgetAGroupThatIsGone)
{
    QWidget parent;
    auto* widget = new DraggableWidget(&parent);
    {
        DraggableWidgetGroup group({widget});
        EXPECT_NE(widget->getGroup(), nullptr);
    }
    EXPECT_EQ(widget->getGroup(), nullptr);
}

TEST_F(WidgetTest, MovedGroupKeepsItsMembers)
{
    QWidget parent;
    auto* widget = new DraggableWidget(&parent);
    DraggableWidgetGroup original({widget});
    original.setSpacing(4);
    DraggableWidgetGroup moved(std::move(original));
    EXPECT_EQ(widget->getGroup(), &moved);
    EXPECT_EQ(moved.getMembers().size(), 1);
    EXPECT_EQ(moved.getSpacing(), 4);
}

TEST_F(WidgetTest, GroupForgetsDestroyedWidgets)
{
    QWidget parent;
    auto* widget = new DraggableWidget(&parent);
    DraggableWidgetGroup group({widget, new DraggableWidget(&parent)});
    delete widget;
    EXPECT_EQ(group.getMembers().size(), 1);
}
