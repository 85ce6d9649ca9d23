#include <keldar/gui/Fade.h>
#include <keldar/gui/Slide.h>

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using Keldar::GUI::Animations::Fade;
using Keldar::GUI::Animations::Slide;

namespace {

qreal opacityOf(const QWidget& widget) {
    const auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget.graphicsEffect());
    return effect != nullptr ? effect->opacity() : -1.0;
}

}  // namespace

TEST(FadeOut, HidesTheTargetAndReportsBothEndings) {
    QWidget widget;
    widget.show();
    Fade fade(&widget, 0.0, 1.0, 30, true);
    QSignalSpy hidden(&fade, &Fade::targetHidden);
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    fade.fadeOut();
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_TRUE(widget.isHidden());
    EXPECT_TRUE(fade.isFadedOut());
}

TEST(FadeOut, WithoutHidingKeepsTheTargetVisible) {
    QWidget widget;
    widget.show();
    Fade fade(&widget, 0.0, 1.0, 30, false);
    QSignalSpy hidden(&fade, &Fade::targetHidden);
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    fade.fadeOut();
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_EQ(hidden.count(), 0);
    EXPECT_TRUE(widget.isVisible());
}

TEST(FadeOut, ToANonZeroLowerOpacityNeverHides) {
    QWidget widget;
    widget.show();
    Fade fade(&widget, 0.3, 1.0, 30, true);
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    fade.fadeOut();
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_TRUE(widget.isVisible());
    EXPECT_NEAR(opacityOf(widget), 0.3, 1e-6);
    EXPECT_TRUE(fade.isFadedOut());
}

TEST(FadeInterruption, FadeInDuringFadeOutNeverHidesTheWidget) {
    QWidget widget;
    widget.show();
    // Long enough that the fade-out is still running on a loaded machine.
    Fade fade(&widget, 0.0, 1.0, 800, true);
    QSignalSpy hidden(&fade, &Fade::targetHidden);
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    fade.fadeOut();
    ASSERT_TRUE(QTest::qWaitFor([&] { return opacityOf(widget) < 1.0; }, 5000)) << "the fade-out never began";
    ASSERT_EQ(fade.state(), QAbstractAnimation::Running);
    fade.fadeIn();
    ASSERT_TRUE(finished.wait(5000));
    QTest::qWait(900);  // past the end the interrupted fade-out would have had
    EXPECT_EQ(hidden.count(), 0);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(widget.isVisible());
    EXPECT_NEAR(opacityOf(widget), 1.0, 1e-6);
    EXPECT_FALSE(fade.isFadedOut());
}

TEST(FadeInterruption, RepeatedFadeOutsReportTheEndOnce) {
    QWidget widget;
    widget.show();
    Fade fade(&widget, 0.0, 1.0, 60, true);
    QSignalSpy hidden(&fade, &Fade::targetHidden);
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    fade.fadeOut();
    fade.fadeOut();
    ASSERT_TRUE(finished.wait(2000));
    QTest::qWait(50);
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_EQ(finished.count(), 1);
}

TEST(FadeIn, ShowsAHiddenTargetAndEndsAtTheUpperOpacity) {
    QWidget widget;
    Fade fade(&widget, 0.0, 0.8, 30, true);
    EXPECT_NEAR(opacityOf(widget), 0.8, 1e-6) << "the effect starts at the upper opacity";
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    fade.fadeIn();
    EXPECT_TRUE(widget.isVisible());
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_NEAR(opacityOf(widget), 0.8, 1e-6);
}

TEST(SlideDirections, InwardSlideFromBelowEndsWhereTheWidgetWas) {
    QWidget parent;
    auto* child = new QWidget(&parent);
    child->move(30, 40);
    Slide slide(child, 2, 10, 40);
    slide.slide();
    EXPECT_EQ(slide.startValue().toPoint(), QPoint(30, 50));
    EXPECT_EQ(slide.endValue().toPoint(), QPoint(30, 40));
    QSignalSpy finished(&slide, &QAbstractAnimation::finished);
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_EQ(child->pos(), QPoint(30, 40));
}

TEST(SlideDirections, EveryDirectionMovesTheRightWay) {
    struct Case {
        int direction;
        QPoint start;
        QPoint end;
    };
    const QPoint at(100, 100);
    const Case cases[] = {
        {0, {107, 100}, at}, {1, {93, 100}, at}, {2, {100, 107}, at}, {4, {100, 93}, at},
        {9, at, {107, 100}}, {8, at, {93, 100}}, {12, at, {100, 107}}, {10, at, {100, 93}},
    };
    for (const Case& c : cases) {
        QWidget parent;
        auto* child = new QWidget(&parent);
        child->move(at);
        Slide slide(child, c.direction, 7, 1000);
        slide.slide();
        EXPECT_EQ(slide.startValue().toPoint(), c.start) << "direction " << c.direction;
        EXPECT_EQ(slide.endValue().toPoint(), c.end) << "direction " << c.direction;
    }
}

TEST(SlideRestart, RestartingAnInwardSlideDoesNotDrift) {
    QWidget parent;
    auto* child = new QWidget(&parent);
    child->move(10, 10);
    Slide slide(child, Slide::FromAbove, 20, 200);
    slide.slide();
    QTest::qWait(30);  // mid-way: the widget is somewhere above its place
    slide.slide();
    QSignalSpy finished(&slide, &QAbstractAnimation::finished);
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_EQ(child->pos(), QPoint(10, 10));
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
