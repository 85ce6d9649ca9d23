#include <keldar/gui/MainWindow.h>
#include <keldar/gui/Toast.h>
#include <keldar/gui/ToastDisplayManager.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using Keldar::GUI::Helpers::Widgets::ToastDisplayManager;
using Keldar::GUI::Widgets::MainWindow;
using Keldar::GUI::Widgets::Notifications::AffirmativeButton;
using Keldar::GUI::Widgets::Notifications::Toast;
using Keldar::GUI::Widgets::Notifications::ToastLocation;
using Keldar::GUI::Widgets::Notifications::ToastType;

namespace {

constexpr int AnimationSettleMs = 2000;

// Waits until the toast's slides have brought it to rest at the given top.
bool waitForTop(const Toast* toast, int top)
{
    return QTest::qWaitFor([&] { return toast->pos().y() == top; }, AnimationSettleMs);
}

class ToastWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(1000, 700);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    MainWindow window;
};

// A window whose toasts are (wrongly) made in another widget.
class ForeignParentWindow : public MainWindow
{
public:
    QWidget other;

protected:
    QWidget* toastParent() override { return &other; }
};

} // namespace

TEST_F(ToastWindow, StackedToastsAtTheTopSitBelowEachOther)
{
    Toast* first = window.newToast(ToastType::Info, "first", 0);
    Toast* second = window.newToast(ToastType::Success, "second", 0);
    Toast* third = window.newToast(ToastType::Error, "third", 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(third, nullptr);
    const int h = first->height();
    EXPECT_TRUE(waitForTop(first, 8));
    EXPECT_TRUE(waitForTop(second, 8 + h + 8));
    EXPECT_TRUE(waitForTop(third, 8 + 2 * (h + 8)));
    EXPECT_EQ(first->x(), (window.width() - first->width()) / 2);
}

TEST_F(ToastWindow, OthersSlideUpWhenTheFirstFadesOut)
{
    Toast* first = window.newToast(ToastType::Default, "first", 0);
    Toast* second = window.newToast(ToastType::Default, "second", 0);
    Toast* third = window.newToast(ToastType::Default, "third", 0);
    const int h = first->height();
    ASSERT_TRUE(waitForTop(third, 8 + 2 * (h + 8)));
    QSignalSpy hidden(first, &Toast::hidden);
    first->dismiss();
    ASSERT_TRUE(hidden.wait(AnimationSettleMs));
    EXPECT_TRUE(first->isHidden());
    EXPECT_TRUE(waitForTop(second, 8));
    EXPECT_TRUE(waitForTop(third, 8 + h + 8));
}

TEST_F(ToastWindow, BottomToastsStackUpwardsFromTheBottomEdge)
{
    window.setToastLocation(ToastLocation::BottomRight, 8);
    Toast* first = window.newToast(ToastType::Warning, "first", 0);
    Toast* second = window.newToast(ToastType::Warning, "second", 0);
    const int h = first->height();
    const int parentHeight = window.height();
    EXPECT_TRUE(waitForTop(first, parentHeight - 8 - h));
    EXPECT_TRUE(waitForTop(second, parentHeight - (8 + h + 8) - h));
    EXPECT_EQ(first->x(), window.width() - 8 - first->width());
}

TEST_F(ToastWindow, EachEdgeKeepsItsOwnStack)
{
    Toast* top = window.newToast(ToastType::Info, "top", 0);
    window.setToastLocation(ToastLocation::BottomCentre, 8);
    Toast* bottom = window.newToast(ToastType::Info, "bottom", 0);
    EXPECT_TRUE(waitForTop(top, 8));
    EXPECT_TRUE(waitForTop(bottom, window.height() - 8 - bottom->height())) << "not queued behind the toast at the top";
}

TEST_F(ToastWindow, InitialOffsetMovesTheStack)
{
    window.setToastLocation(ToastLocation::TopLeft, 50);
    Toast* first = window.newToast(ToastType::Info, "first", 0);
    EXPECT_TRUE(waitForTop(first, 50));
    EXPECT_EQ(first->x(), 8);
    window.getToastDisplayManager()->setInitialOffset(20);
    EXPECT_TRUE(waitForTop(first, 20));
}

TEST_F(ToastWindow, TimedToastDisappearsByItself)
{
    Toast* toast = window.newToast(ToastType::Info, "brief", 100);
    ASSERT_NE(toast, nullptr);
    QSignalSpy dismissed(toast, &Toast::dismissed);
    QSignalSpy hidden(toast, &Toast::hidden);
    ASSERT_TRUE(hidden.wait(AnimationSettleMs));
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_TRUE(toast->isHidden());
}

TEST_F(ToastWindow, ZeroDurationStaysUntilDismissedByAll)
{
    Toast* toast = window.newToast(ToastType::Info, "stays", 0);
    ASSERT_NE(toast, nullptr);
    EXPECT_FALSE(toast->isDisplayTimerActive());
    // A timed toast shown after it comes and goes; this one is still there.
    Toast* timed = window.newToast(ToastType::Info, "timed", MainWindow::StandardToastDuration);
    ASSERT_NE(timed, nullptr);
    QSignalSpy timedHidden(timed, &Toast::hidden);
    ASSERT_TRUE(timedHidden.wait(MainWindow::StandardToastDuration + AnimationSettleMs));
    EXPECT_TRUE(toast->isVisible());
    QSignalSpy hidden(toast, &Toast::hidden);
    window.dismissAllToasts();
    ASSERT_TRUE(hidden.wait(AnimationSettleMs));
    EXPECT_TRUE(toast->isHidden());
}

TEST_F(ToastWindow, ZeroDurationStaysUntilItsCloseButton)
{
    Toast* toast = window.newToast(ToastType::Default, "stays", 0);
    ASSERT_NE(toast->getCloseButton(), nullptr);
    QSignalSpy dismissed(toast, &Toast::dismissed);
    QSignalSpy hidden(toast, &Toast::hidden);
    toast->getCloseButton()->click();
    toast->getCloseButton()->click(); // a second click while leaving changes nothing
    ASSERT_TRUE(hidden.wait(AnimationSettleMs));
    EXPECT_EQ(dismissed.count(), 1);
}

TEST_F(ToastWindow, AffirmativeButtonFadesOutAndReports)
{
    Toast* toast = window.newToast(ToastType::Info, "An update is available", 0, AffirmativeButton::Update);
    ASSERT_NE(toast->getAffirmativeButton(), nullptr);
    EXPECT_EQ(toast->getAffirmativeButton()->text(), "Update");
    QSignalSpy affirmative(toast, &Toast::affirmative);
    QSignalSpy dismissed(toast, &Toast::dismissed);
    QSignalSpy hidden(toast, &Toast::hidden);
    toast->getAffirmativeButton()->click();
    ASSERT_TRUE(hidden.wait(AnimationSettleMs));
    EXPECT_EQ(affirmative.count(), 1);
    EXPECT_EQ(dismissed.count(), 0);
}

TEST_F(ToastWindow, ButtonTextsAndStyleClassFollowTheArguments)
{
    Toast* custom = window.newToast(ToastType::Warning, std::string("wide"), 0, AffirmativeButton::Custom,
                                    std::string("Retry"), false);
    EXPECT_EQ(custom->getAffirmativeButton()->text(), "Retry");
    EXPECT_EQ(custom->getCloseButton(), nullptr);
    EXPECT_EQ(custom->property("class").toString(), " warning");
    Toast* wide = window.newToast(ToastType::Error, std::wstring(L"w\u00e9de"), 0, AffirmativeButton::Yes);
    EXPECT_EQ(wide->getLabel()->text(), QString(QChar('w')) + QChar(0xE9) + "de");
    EXPECT_EQ(wide->getAffirmativeButton()->text(), "Yes");
    Toast* plain = window.newToast(ToastType::Default, "plain", 0, AffirmativeButton::None, "", false);
    EXPECT_EQ(plain->getAffirmativeButton(), nullptr);
    EXPECT_TRUE(plain->getLabel()->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(plain->property("class").toString(), " default");
    EXPECT_GE(plain->width(), 400);
}

TEST_F(ToastWindow, HiddenToastsAreDroppedOnTheNextDisplay)
{
    Toast* first = window.newToast(ToastType::Info, "gone soon", 0);
    QPointer<Toast> watch(first);
    QSignalSpy hidden(first, &Toast::hidden);
    first->hide();
    ASSERT_TRUE(hidden.wait(AnimationSettleMs));
    Toast* second = window.newToast(ToastType::Info, "next", 0);
    EXPECT_TRUE(waitForTop(second, 8)) << "the hidden toast no longer takes a place";
    const auto listed = window.getToastDisplayManager()->getToasts();
    ASSERT_EQ(listed.size(), 1U);
    EXPECT_EQ(listed.front(), second);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, 1000)) << "deleted once hidden";
}

TEST(ToastRefusal, ToastOfAnotherParentIsRefusedAndDeleted)
{
    ForeignParentWindow window;
    window.resize(800, 600);
    EXPECT_EQ(window.newToast(ToastType::Info, "nowhere", 0), nullptr);
    EXPECT_TRUE(window.other.findChildren<Toast*>().isEmpty());

    QWidget stranger;
    auto* toast = new Toast(&stranger, ToastType::Info, "x", ToastLocation::TopCentre);
    QPointer<Toast> watch(toast);
    EXPECT_FALSE(window.getToastDisplayManager()->displayToast(toast, 0));
    EXPECT_TRUE(watch.isNull());
    EXPECT_TRUE(window.getToastDisplayManager()->getToasts().empty());
}

TEST_F(ToastWindow, ResizingTheWindowKeepsToastsAtTheirEdge)
{
    window.setToastLocation(ToastLocation::BottomRight, 8);
    Toast* toast = window.newToast(ToastType::Info, "edge", 0);
    ASSERT_TRUE(waitForTop(toast, window.height() - 8 - toast->height()));
    window.resize(900, 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.height() == 500; }, 2000));
    // The window system may confirm the new size in more than one step.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return toast->pos() == QPoint(900 - 8 - toast->width(), 500 - 8 - toast->height()); }, AnimationSettleMs))
        << "at " << toast->x() << "," << toast->y() << " in " << window.width() << "x" << window.height();
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
