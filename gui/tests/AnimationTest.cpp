#include <keldar/gui/Fade.h>
#include <keldar/gui/Slide.h>

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QOpenGLWidget>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <keldar/testing/WaitUntil.h>

using Keldar::GUI::Animations::Fade;
using Keldar::GUI::Animations::Slide;
using Keldar::Testing::waitUntil;

namespace {

// Without an effect the widget is drawn fully opaque.
qreal opacityOf(const QWidget& widget)
{
    const auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget.graphicsEffect());
    return effect != nullptr ? effect->opacity() : 1.0;
}

} // namespace

TEST(FadeOut, HidesTheTargetAndReportsBothEndings)
{
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

TEST(FadeOut, WithoutHidingKeepsTheTargetVisible)
{
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

TEST(FadeOut, ToANonZeroLowerOpacityNeverHides)
{
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

TEST(FadeInterruption, FadeInDuringFadeOutNeverHidesTheWidget)
{
    QWidget widget;
    widget.show();
    // Long enough that the fade-out is still running on a loaded machine.
    Fade fade(&widget, 0.0, 1.0, 800, true);
    QSignalSpy hidden(&fade, &Fade::targetHidden);
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    fade.fadeOut();
    ASSERT_TRUE(waitUntil([&] { return opacityOf(widget) < 1.0; })) << "the fade-out is under way";
    ASSERT_EQ(fade.state(), QAbstractAnimation::Running);
    fade.fadeIn();
    // A stale fade-out ending would run on this same finished signal.
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(hidden.count(), 0);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(widget.isVisible());
    EXPECT_NEAR(opacityOf(widget), 1.0, 1e-6);
    EXPECT_FALSE(fade.isFadedOut());
}

TEST(FadeInterruption, RepeatedFadeOutsReportTheEndOnce)
{
    QWidget widget;
    widget.show();
    Fade fade(&widget, 0.0, 1.0, 60, true);
    QSignalSpy hidden(&fade, &Fade::targetHidden);
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    fade.fadeOut();
    fade.fadeOut();
    // Both endings, had the first been kept, would run on this one signal.
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_EQ(finished.count(), 1);
}

TEST(FadeIn, ShowsAHiddenTargetAndEndsAtTheUpperOpacity)
{
    QWidget widget;
    Fade fade(&widget, 0.0, 0.8, 30, true);
    EXPECT_NEAR(opacityOf(widget), 0.8, 1e-6) << "the effect starts at the upper opacity";
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    fade.fadeIn();
    EXPECT_TRUE(widget.isVisible());
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_NEAR(opacityOf(widget), 0.8, 1e-6);
}

// An opacity effect renders its widget through an off-screen pixmap on every
// paint: at full opacity it is removed.
TEST(FadeEffect, RemovedAtFullOpacityAndPutBackForTheNextFadeOut)
{
    QWidget widget;
    widget.show();
    Fade fade(&widget, 0.0, 1.0, 30, true);
    EXPECT_EQ(widget.graphicsEffect(), nullptr) << "starts at the upper opacity, 1";
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    fade.fadeOut();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_NE(widget.graphicsEffect(), nullptr) << "fading needs the effect";
    EXPECT_NEAR(opacityOf(widget), 0.0, 1e-6);
    fade.fadeIn();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2; }));
    EXPECT_EQ(widget.graphicsEffect(), nullptr);
    EXPECT_FALSE(fade.isFadedOut());
}

// A graphics effect on a container draws its OpenGL widgets blank (the viewer's
// zoom panel holds the magnifier): such a container never gets one, and only
// shows and hides at the ends of its fades.
TEST(FadeEffect, NeverOnAContainerHoldingAnOpenGLWidget)
{
    QWidget container;
    Fade fade(&container, 0.0, 0.95, 60, true);
    new QOpenGLWidget(&container); // given its OpenGL widget after the fade was made
    container.show();
    bool effectSeen = false;
    QObject::connect(&fade, &QVariantAnimation::valueChanged,
                     [&] { effectSeen = effectSeen || container.graphicsEffect() != nullptr; });
    QSignalSpy finished(&fade, &Fade::fadeFinished);
    QSignalSpy hidden(&fade, &Fade::targetHidden);
    fade.fadeOut();
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_TRUE(container.isHidden());
    fade.fadeIn();
    EXPECT_TRUE(container.isVisible());
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_FALSE(effectSeen);
    EXPECT_EQ(container.graphicsEffect(), nullptr);
}

TEST(SlideDirections, InwardSlideFromBelowEndsWhereTheWidgetWas)
{
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

TEST(SlideDirections, EveryDirectionMovesTheRightWay)
{
    struct Case
    {
        int direction;
        QPoint start;
        QPoint end;
    };
    const QPoint at(100, 100);
    const Case cases[] = {
        {0, {107, 100}, at}, {1, {93, 100}, at}, {2, {100, 107}, at},  {4, {100, 93}, at},
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

TEST(SlideRestart, RestartingAnInwardSlideDoesNotDrift)
{
    QWidget parent;
    auto* child = new QWidget(&parent);
    child->move(10, 10);
    Slide slide(child, Slide::FromAbove, 20, 200);
    slide.slide();
    // Mid-way: the widget is somewhere above its place.
    ASSERT_TRUE(waitUntil([&] { return child->pos() != QPoint(10, -10); }));
    ASSERT_NE(child->pos(), QPoint(10, 10));
    slide.slide();
    QSignalSpy finished(&slide, &QAbstractAnimation::finished);
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_EQ(child->pos(), QPoint(10, 10));
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
