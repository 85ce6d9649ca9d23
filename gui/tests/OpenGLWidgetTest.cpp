#include <keldar/gui/OpenGLWidget.h>
#include <keldar/gui/OpenGLWidgetPainter.h>

#include <QApplication>
#include <QOpenGLContext>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using Keldar::GUI::Widgets::Bases::OpenGLWidget;
using Keldar::GUI::Widgets::Bases::OpenGLWidgetPainter;
using Painter = OpenGLWidgetPainter;

namespace {

// GL complaints (shader compile errors, textures freed in the wrong context)
// arrive as warnings; every painter test fails if one appears.
QStringList& glWarnings()
{
    static QStringList warnings;
    return warnings;
}

void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && !message.startsWith("QStandardPaths")) {
        glWarnings() << message;
    }
}

class ProbeWidget : public OpenGLWidget
{
public:
    using OpenGLWidget::rotate;
    using OpenGLWidget::scale;
    using OpenGLWidget::translate;

    std::function<void(OpenGLWidgetPainter&)> draw;
    int initialiseCalls = 0;

protected:
    void initialise() override { ++initialiseCalls; }
    void paintGL() override
    {
        auto* gl = getGLFunctions();
        gl->glClearColor(0.F, 0.F, 0.F, 1.F);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        if (draw) {
            draw(*getPainter());
        }
    }
};

// Extent of the pixels brighter than the threshold in the chosen channel.
struct Extent
{
    int left = -1;
    int right = -1;
    int top = -1;
    int bottom = -1;
    int count = 0;
    bool empty() const { return count == 0; }
};

Extent litExtent(const QImage& image, QRect area = {}, int channel = -1)
{
    if (area.isNull()) {
        area = image.rect();
    }
    Extent e;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int value = channel == 0 ? c.red() : channel == 1 ? c.green() : channel == 2 ? c.blue() : c.value();
            if (value < 128) {
                continue;
            }
            if (e.count == 0) {
                e = {x, x, y, y, 0};
            }
            e.left = std::min(e.left, x);
            e.right = std::max(e.right, x);
            e.top = std::min(e.top, y);
            e.bottom = std::max(e.bottom, y);
            ++e.count;
        }
    }
    return e;
}

class PainterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        widget.resize(400, 200);
        widget.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
        ASSERT_TRUE(QTest::qWaitFor([&] { return widget.getPainter() != nullptr; }, 2000));
        widget.scale(1.F, 1.F, 1.F, true);
    }

    void TearDown() override
    {
        EXPECT_TRUE(glWarnings().isEmpty()) << glWarnings().join('\n').toStdString();
        glWarnings().clear();
    }

    QImage render(std::function<void(OpenGLWidgetPainter&)> draw)
    {
        widget.draw = std::move(draw);
        return widget.grabFramebuffer();
    }

    ProbeWidget widget;
};

QImage solidImage(int w, int h, const QColor& colour)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

} // namespace

TEST(TransformRotation, WrapsByOneTurnAtMost)
{
    ProbeWidget widget;
    widget.rotate(350.F, true);
    widget.rotate(30.F, false);
    EXPECT_FLOAT_EQ(widget.getCurrentRotation(), 20.F);
    widget.rotate(-10.F, true);
    EXPECT_FLOAT_EQ(widget.getCurrentRotation(), 350.F);
    widget.rotate(360.F, true);
    EXPECT_FLOAT_EQ(widget.getCurrentRotation(), 360.F);
    widget.rotate(10.F, true);
    widget.rotate(-30.F, false);
    EXPECT_FLOAT_EQ(widget.getCurrentRotation(), 340.F);
}

TEST(TransformState, StartsZeroWithIdentityProjection)
{
    ProbeWidget widget;
    EXPECT_FLOAT_EQ(widget.getCurrentRotation(), 0.F);
    EXPECT_EQ(widget.getCurrentScale(), (Keldar::Vec3<float>{0.F, 0.F, 0.F}));
    EXPECT_EQ(widget.getCurrentTranslation(), (Keldar::Vec3<float>{0.F, 0.F, 0.F}));
    EXPECT_TRUE(widget.getCurrentProjection().isIdentity());
}

TEST(TransformState, RelativeScaleMultipliesAndRelativeTranslationAdds)
{
    ProbeWidget widget;
    widget.scale(2.F, 3.F, 1.F, true);
    widget.scale(0.5F, 2.F, 1.F, false);
    EXPECT_EQ(widget.getCurrentScale(), (Keldar::Vec3<float>{1.F, 6.F, 1.F}));
    widget.translate(0.25F, -0.5F, 0.F, true);
    widget.translate(0.25F, 0.25F, 0.F, false);
    EXPECT_EQ(widget.getCurrentTranslation(), (Keldar::Vec3<float>{0.5F, -0.25F, 0.F}));
}

TEST(TransformProjection, RotatesThenScalesThenTranslates)
{
    ProbeWidget widget;
    widget.rotate(90.F, true);
    widget.scale(2.F, 3.F, 1.F, true);
    widget.translate(0.5F, 0.25F, 0.F, true);
    // (1, 0) turns to (0, 1), scales to (0, 3), moves to (0.5, 3.25).
    const QVector4D mapped = widget.getCurrentProjection() * QVector4D(1.F, 0.F, 0.F, 1.F);
    EXPECT_NEAR(mapped.x(), 0.5F, 1e-5);
    EXPECT_NEAR(mapped.y(), 3.25F, 1e-5);
    widget.translate(0.F, 0.F, 0.F, true);
    const QVector4D moved = widget.getCurrentProjection() * QVector4D(1.F, 0.F, 0.F, 1.F);
    EXPECT_NEAR(moved.x(), 0.F, 1e-5) << "a later change rebuilds the cached projection";
    EXPECT_NEAR(moved.y(), 3.F, 1e-5);
}

TEST_F(PainterTest, RunsOnAnOpenGL21CompatibleContext)
{
    const QSurfaceFormat format = widget.context()->format();
    EXPECT_GE(format.majorVersion() * 10 + format.minorVersion(), 21);
    EXPECT_NE(format.profile(), QSurfaceFormat::CoreProfile);
    EXPECT_EQ(widget.initialiseCalls, 1);
}

TEST_F(PainterTest, SetFontWithUnknownIndexFailsAndKeepsTheCurrentFont)
{
    widget.makeCurrent();
    Painter& painter = *widget.getPainter();
    EXPECT_EQ(painter.getCurrentFont(), 0);
    const int added = painter.addFont(QFont("DejaVu Sans", 20), Qt::yellow);
    EXPECT_FALSE(painter.setFont(added + 1));
    EXPECT_FALSE(painter.setFont(-1));
    EXPECT_EQ(painter.getCurrentFont(), 0);
    EXPECT_TRUE(painter.setFont(added));
    EXPECT_EQ(painter.getCurrentFont(), added);
    widget.doneCurrent();
}

TEST_F(PainterTest, OneAtlasPerFontAndColour)
{
    widget.makeCurrent();
    Painter& painter = *widget.getPainter();
    const int before = painter.getFontCount();
    const QFont font("DejaVu Sans", 18);
    const int red = painter.addFont(font, Qt::red);
    EXPECT_EQ(painter.addFont(font, QColor(255, 0, 0)), red);
    EXPECT_EQ(painter.getFontCount(), before + 1);
    const int blue = painter.addFont(font, Qt::blue);
    const int translucentRed = painter.addFont(font, QColor(255, 0, 0, 128));
    const int bigger = painter.addFont(QFont("DejaVu Sans", 30), Qt::red);
    EXPECT_NE(blue, red);
    EXPECT_NE(translucentRed, red);
    EXPECT_NE(bigger, red);
    EXPECT_EQ(painter.getFontCount(), before + 4);
    widget.doneCurrent();
}

TEST_F(PainterTest, AtlasHoldsEveryGlyphInsideItsTexture)
{
    widget.makeCurrent();
    Painter& painter = *widget.getPainter();
    for (const QFont& font :
         {QFont("DejaVu Sans", 8), QFont("DejaVu Sans Mono", 26), QFont("DejaVu Serif", 40, QFont::Bold)}) {
        const auto* atlas = painter.getFontAtlas(painter.addFont(font, Qt::white));
        ASSERT_NE(atlas, nullptr);
        const int height = atlas->image.height();
        EXPECT_EQ(atlas->image.width(), Painter::AtlasWidth);
        EXPECT_EQ(height & (height - 1), 0) << "power of two";
        for (const auto& glyph : atlas->glyphs) {
            EXPECT_GE(glyph.bottom, 0.F) << font.family().toStdString() << " " << glyph.character;
            EXPECT_LE(glyph.top, 1.F) << font.family().toStdString() << " " << glyph.character;
            EXPECT_GT(glyph.top, glyph.bottom);
            EXPECT_GE(glyph.left, 0.F);
            EXPECT_LE(glyph.right, 1.F);
            EXPECT_GT(glyph.advance, 0);
        }
    }
    EXPECT_EQ(painter.getFontAtlas(99), nullptr);
    widget.doneCurrent();
}

TEST_F(PainterTest, TextAlignmentAnchorsTheLineAtX)
{
    const auto draw = [&](std::uint8_t alignment) {
        return litExtent(render([=](Painter& p) { p.drawText(0.F, 0.F, 0, "HHHH", alignment, true); }));
    };
    const Extent left = draw(Painter::AlignLeft);
    const Extent right = draw(Painter::AlignRight);
    const Extent centred = draw(Painter::AlignHCentre);
    ASSERT_FALSE(left.empty());
    ASSERT_FALSE(right.empty());
    ASSERT_FALSE(centred.empty());
    // x = 0 is pixel column 200.
    EXPECT_GE(left.left, 199);
    EXPECT_LE(left.left, 204);
    EXPECT_LE(right.right, 200);
    EXPECT_GE(right.right, 196);
    EXPECT_NEAR((centred.left + centred.right) / 2.0, 200.0, 2.0);
    EXPECT_NEAR(right.right - right.left, left.right - left.left, 1);
}

TEST_F(PainterTest, TextVerticalAlignment)
{
    const auto draw = [&](std::uint8_t alignment) {
        return litExtent(render([=](Painter& p) { p.drawText(0.F, 0.F, 0, "HHHH", alignment, true); }));
    };
    const Extent bottom = draw(Painter::AlignLeft);
    const Extent top = draw(Painter::AlignTop);
    const Extent middle = draw(Painter::AlignVCentre);
    // y = 0 is pixel row 100; rows grow downwards.
    EXPECT_LE(bottom.bottom, 100);
    EXPECT_GE(top.top, 100);
    EXPECT_LT(middle.top, 100);
    EXPECT_GT(middle.bottom, 100);
}

TEST_F(PainterTest, TextKeepsItsPixelSizeUnderTheWidgetScaleAndTurnsWithIt)
{
    const Extent plain =
        litExtent(render([](Painter& p) { p.drawText(0.F, 0.F, 0, "HHHHHH", Painter::AlignHCentre); }));
    widget.scale(0.5F, 0.25F, 1.F, true);
    const Extent scaled =
        litExtent(render([](Painter& p) { p.drawText(0.F, 0.F, 0, "HHHHHH", Painter::AlignHCentre); }));
    EXPECT_EQ(plain.right - plain.left, scaled.right - scaled.left);
    EXPECT_EQ(plain.bottom - plain.top, scaled.bottom - scaled.top);

    widget.scale(1.F, 1.F, 1.F, true);
    widget.rotate(90.F, true);
    const Extent turned =
        litExtent(render([](Painter& p) { p.drawText(0.F, 0.F, 0, "HHHHHH", Painter::AlignHCentre); }));
    EXPECT_NEAR(turned.bottom - turned.top, plain.right - plain.left, 2) << "turned a quarter, same shape";
    EXPECT_NEAR(turned.right - turned.left, plain.bottom - plain.top, 2);
}

TEST_F(PainterTest, TextAnchorFollowsTheWidgetTransformUnlessIgnored)
{
    widget.translate(0.5F, 0.F, 0.F, true);
    const Extent moved =
        litExtent(render([](Painter& p) { p.drawText(0.F, 0.F, 0, "HH", Painter::AlignLeft, false); }));
    const Extent fixed = litExtent(render([](Painter& p) { p.drawText(0.F, 0.F, 0, "HH", Painter::AlignLeft, true); }));
    EXPECT_NEAR(moved.left - fixed.left, 100, 2) << "0.5 of the half-width of 200 pixels";
}

TEST_F(PainterTest, UnknownCharactersAdvanceLikeASpace)
{
    const Extent withSpace = litExtent(render([](Painter& p) { p.drawText(-0.5F, 0.F, 0, "H H", 0, true); }));
    const Extent withTilde = litExtent(render([](Painter& p) { p.drawText(-0.5F, 0.F, 0, "H~H", 0, true); }));
    const Extent withUtf8 = litExtent(render([](Painter& p) { p.drawText(-0.5F, 0.F, 0, "H\xC3\xA9H", 0, true); }));
    EXPECT_EQ(withTilde.right, withSpace.right);
    EXPECT_EQ(withUtf8.right, withSpace.right);
}

TEST_F(PainterTest, LinesFollowTheTransformUnlessIgnored)
{
    widget.translate(0.F, 0.5F, 0.F, true);
    const QImage image = render([](Painter& p) {
        p.drawLine(-1.F, 0.F, 1.F, 0.F, 3, Qt::green, false);
        p.drawLine(-1.F, 0.F, 1.F, 0.F, 1, Qt::red, true);
    });
    const Extent green = litExtent(image, {}, 1);
    const Extent red = litExtent(image, {}, 0);
    EXPECT_NEAR(green.top, 49, 2);
    EXPECT_GE(green.bottom - green.top, 2) << "width 3";
    EXPECT_NEAR(red.top, 100, 1);
    EXPECT_EQ(red.bottom - red.top, 0) << "width 1, and the earlier width was restored";
}

TEST_F(PainterTest, JoinedAndClosedPointsDrawAStripOrALoop)
{
    const std::vector<float> corners{-0.5F, -0.5F, 0.5F, -0.5F, 0.5F, 0.5F, -0.5F, 0.5F};
    const QRect leftEdge(95, 60, 10, 80); // the edge from the last corner back to the first
    const auto strip =
        litExtent(render([&](Painter& p) { p.drawLines(corners, 1, Qt::white, true, true, false); }), leftEdge);
    const auto loop =
        litExtent(render([&](Painter& p) { p.drawLines(corners, 1, Qt::white, true, true, true); }), leftEdge);
    const QRect rightEdge(295, 60, 10, 80);
    const auto segments =
        litExtent(render([&](Painter& p) { p.drawLines(corners, 1, Qt::white, true, false, false); }), rightEdge);
    EXPECT_TRUE(strip.empty());
    EXPECT_FALSE(loop.empty());
    EXPECT_TRUE(segments.empty()) << "unjoined: only the pairs (0,1) and (2,3), both horizontal";
}

TEST_F(PainterTest, CircleStaysRoundAgainstTheScaleAspect)
{
    // In normalised coordinates of a 400 x 200 widget, radius 0.5 spans 100
    // pixels across and 50 down, unless the scale corrects the aspect as a
    // display with square units does.
    const Extent stretched = litExtent(render([](Painter& p) { p.drawCircle({0.0, 0.0}, 0.5F, 1, Qt::white); }));
    EXPECT_NEAR(stretched.left, 100, 2);
    EXPECT_NEAR(stretched.right, 300, 2);
    EXPECT_NEAR(stretched.top, 50, 2);
    EXPECT_NEAR(stretched.bottom, 150, 2);
    widget.scale(0.5F, 1.F, 1.F, true);
    widget.translate(0.5F, 0.5F, 0.F, true); // ignored: circles use plain normalised coordinates
    const Extent round = litExtent(render([](Painter& p) { p.drawCircle({0.0, 0.0}, 0.5F, 1, Qt::white); }));
    EXPECT_NEAR(round.left, 150, 2);
    EXPECT_NEAR(round.right, 250, 2);
    EXPECT_NEAR(round.top, 50, 2);
    EXPECT_NEAR(round.bottom, 150, 2);
    EXPECT_NEAR(round.right - round.left, round.bottom - round.top, 2) << "round on screen";
}

TEST_F(PainterTest, ImageFillsItsQuadFromTheTopLeftCorner)
{
    const QImage red = solidImage(40, 20, Qt::red);
    const Extent e = litExtent(render([&](Painter& p) { p.drawImage(-1.F, 1.F, red); }), {}, 0);
    EXPECT_EQ(e.left, 0);
    EXPECT_EQ(e.top, 0);
    EXPECT_EQ(e.right, 39);
    EXPECT_EQ(e.bottom, 19);
    QImage halves(2, 2, QImage::Format_ARGB32);
    halves.setPixelColor(0, 0, Qt::red);
    halves.setPixelColor(1, 0, Qt::red);
    halves.setPixelColor(0, 1, Qt::blue);
    halves.setPixelColor(1, 1, Qt::blue);
    const QImage shown = render([&](Painter& p) { p.drawImage(-1.F, 1.F, 2.F, 2.F, halves); });
    EXPECT_EQ(shown.pixelColor(200, 20), QColor(Qt::red)) << "top row of the image at the top";
    EXPECT_EQ(shown.pixelColor(200, 180), QColor(Qt::blue));
}

TEST_F(PainterTest, CachedImageKeepsItsFirstPosition)
{
    widget.makeCurrent();
    ASSERT_EQ(widget.getPainter()->getImageCacheMode(), Painter::ImageCacheMode::On);
    widget.doneCurrent();
    const QImage red = solidImage(40, 20, Qt::red);
    const QImage image = render([&](Painter& p) {
        p.drawImage(-0.5F, 0.5F, red);
        p.drawImage(0.5F, -0.5F, red);
    });
    EXPECT_EQ(image.pixelColor(110, 55), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(310, 155), QColor(Qt::black)) << "second draw reused the first quad";
    EXPECT_EQ(widget.getPainter()->getCachedImageCount(), 1U);
    const QImage again = render([&](Painter& p) { p.drawImage(0.5F, -0.5F, red); });
    EXPECT_EQ(again.pixelColor(110, 55), QColor(Qt::red)) << "later frames too";
}

TEST_F(PainterTest, ForgottenImageIsPlacedAnewByItsNextDraw)
{
    const QImage red = solidImage(40, 20, Qt::red);
    render([&](Painter& p) { p.drawImage(-0.5F, 0.5F, red); });
    widget.makeCurrent();
    EXPECT_TRUE(widget.getPainter()->forgetImage(red));
    EXPECT_FALSE(widget.getPainter()->forgetImage(red)) << "only one entry was held";
    EXPECT_EQ(widget.getPainter()->getCachedImageCount(), 0U);
    widget.doneCurrent();
    const QImage image = render([&](Painter& p) { p.drawImage(0.5F, -0.5F, red); });
    EXPECT_EQ(image.pixelColor(110, 55), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(310, 155), QColor(Qt::red));
}

TEST_F(PainterTest, UncachedImagesGoWhereTheyAreDrawn)
{
    widget.makeCurrent();
    widget.getPainter()->setImageCacheMode(Painter::ImageCacheMode::Off);
    widget.doneCurrent();
    const QImage red = solidImage(40, 20, Qt::red);
    const QImage image = render([&](Painter& p) {
        p.drawImage(-0.5F, 0.5F, red);
        p.drawImage(0.5F, -0.5F, red);
    });
    EXPECT_EQ(image.pixelColor(110, 55), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(310, 155), QColor(Qt::red));
    EXPECT_EQ(widget.getPainter()->getCachedImageCount(), 0U);
}

TEST_F(PainterTest, TranslucentImagesBlendAndBlendingIsRestored)
{
    const QImage half = solidImage(400, 200, QColor(255, 0, 0, 128));
    widget.makeCurrent();
    widget.getPainter()->setImageCacheMode(Painter::ImageCacheMode::Off);
    widget.doneCurrent();
    bool blendAfter = true;
    const QImage image = render([&](Painter& p) {
        p.drawImage(-1.F, 1.F, half);
        blendAfter = widget.getGLFunctions()->glIsEnabled(GL_BLEND) == GL_TRUE;
    });
    EXPECT_NEAR(image.pixelColor(200, 100).red(), 128, 3);
    EXPECT_FALSE(blendAfter);
}

TEST(PainterLifetime, NewContextMakesANewPainterWithoutLeaks)
{
    QWidget first;
    auto* widget = new ProbeWidget;
    widget->setParent(&first);
    first.resize(200, 100);
    first.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->getPainter() != nullptr; }, 2000));
    widget->makeCurrent();
    widget->getPainter()->addFont(QFont("DejaVu Sans", 22), Qt::green);
    widget->doneCurrent();
    const int fontsBefore = widget->getPainter()->getFontCount();
    EXPECT_EQ(fontsBefore, 2);

    QWidget second;
    second.resize(200, 100);
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    widget->setParent(&second);
    widget->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->initialiseCalls == 2; }, 2000));
    ASSERT_NE(widget->getPainter(), nullptr);
    EXPECT_EQ(widget->getPainter()->getFontCount(), 1) << "atlases belong to the old context";
    const QImage image = widget->grabFramebuffer();
    EXPECT_FALSE(image.isNull());

    // The context outlives the widget's own destructor (QOpenGLWidget deletes
    // it later); a handler the widget left on aboutToBeDestroyed would run on
    // freed members. This one is connected after the widget's, so runs after it.
    QOpenGLContext* context = widget->context();
    ASSERT_NE(context, nullptr);
    bool contextDestroyed = false;
    bool widgetStillListening = false;
    QObject::connect(context, &QOpenGLContext::aboutToBeDestroyed, [&] {
        contextDestroyed = true;
        widgetStillListening = QObject::disconnect(context, nullptr, widget, nullptr);
    });
    delete widget;
    EXPECT_TRUE(contextDestroyed);
    EXPECT_FALSE(widgetStillListening);
    EXPECT_TRUE(glWarnings().isEmpty()) << glWarnings().join('\n').toStdString();
    glWarnings().clear();
}

int main(int argc, char** argv)
{
    qInstallMessageHandler(collectWarnings);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
