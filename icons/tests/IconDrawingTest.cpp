// How the icons are drawn: on one grid, with colour only where the toolkit's
// SVG handler can replace it, and with their outlines marked as outlines.

#include "IconTestSupport.h"

#include <QDomDocument>
#include <QSvgRenderer>

#include <gtest/gtest.h>

using namespace Keldar::Icons::Testing;

namespace {

const QStringList drawable = {"path", "circle", "rect", "line", "polyline", "polygon", "ellipse"};

QStringList lineIconPaths()
{
    QStringList paths;
    for (const QString& path : iconPaths())
        if (!path.contains(QLatin1String("/Logos/")))
            paths << path;
    return paths;
}

QList<QDomElement> allElements(const QDomElement& root)
{
    QList<QDomElement> out{root};
    for (int i = 0; i < out.size(); ++i)
        for (QDomElement child = out[i].firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
            out << child;
    return out;
}

QDomDocument parse(const QString& path)
{
    QDomDocument document;
    EXPECT_TRUE(document.setContent(readResource(path))) << path.toStdString();
    return document;
}

class IconDrawing : public ::testing::Test
{
protected:
    void SetUp() override { ensureGuiApplication(); }
};

TEST_F(IconDrawing, LineIconsShareTheTwentyFourUnitGrid)
{
    for (const QString& path : lineIconPaths()) {
        QSvgRenderer renderer(readResource(path));
        EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 24, 24)) << path.toStdString();
        EXPECT_EQ(renderer.defaultSize(), QSize(24, 24)) << path.toStdString();
        const QDomElement root = parse(path).documentElement();
        EXPECT_EQ(root.attribute("stroke-width"), "2") << path.toStdString();
        EXPECT_EQ(root.attribute("stroke-linecap"), "round") << path.toStdString();
    }
}

// A style attribute or a style sheet outranks the attributes the handler writes,
// so a colour placed there would never follow the theme.
TEST_F(IconDrawing, NoColourHidesInStylesOrStyleSheets)
{
    for (const QString& path : iconPaths()) {
        for (const QDomElement& element : allElements(parse(path).documentElement())) {
            EXPECT_NE(element.tagName(), "style") << path.toStdString();
            EXPECT_FALSE(element.hasAttribute("style")) << path.toStdString();
            EXPECT_FALSE(element.hasAttribute("class")) << path.toStdString();
            EXPECT_FALSE(element.hasAttribute("color")) << path.toStdString();
            EXPECT_NE(element.attribute("fill"), "currentColor") << path.toStdString();
            EXPECT_FALSE(element.attribute("fill").startsWith("url(")) << path.toStdString();
            EXPECT_FALSE(element.attribute("stroke").startsWith("url(")) << path.toStdString();
        }
    }
}

// The handler fills every element that does not itself say fill="none": an
// outline relying on an inherited "none" would be painted solid.
TEST_F(IconDrawing, EveryShapeStatesItsOwnFillAndStroke)
{
    for (const QString& path : iconPaths()) {
        for (const QDomElement& element : allElements(parse(path).documentElement())) {
            if (!drawable.contains(element.tagName()))
                continue;
            EXPECT_TRUE(element.hasAttribute("fill"))
                << path.toStdString() << " <" << element.tagName().toStdString() << ">";
            EXPECT_TRUE(element.hasAttribute("stroke"))
                << path.toStdString() << " <" << element.tagName().toStdString() << ">";
        }
    }
}

TEST_F(IconDrawing, LineIconsAreDrawnWithStrokes)
{
    for (const QString& path : lineIconPaths()) {
        int stroked = 0;
        for (const QDomElement& element : allElements(parse(path).documentElement()))
            if (drawable.contains(element.tagName()) && element.attribute("stroke") != "none")
                ++stroked;
        EXPECT_GT(stroked, 0) << path.toStdString();
    }
}

// Content kept off the outer unit of the grid: a shape that runs into the edge is
// cut off by the button it sits in.
TEST_F(IconDrawing, LineIconsKeepAMarginInsideTheirBox)
{
    const int size = 48; // two pixels per grid unit
    for (const QString& path : lineIconPaths()) {
        const QImage image =
            render(recolour(readResource(path), Qt::black, Qt::black), size).convertToFormat(QImage::Format_ARGB32);
        int edgeInk = 0;
        for (int i = 0; i < size; ++i) {
            for (int border : {0, 1, size - 2, size - 1}) {
                edgeInk += qAlpha(image.pixel(i, border)) > 32;
                edgeInk += qAlpha(image.pixel(border, i)) > 32;
            }
        }
        EXPECT_EQ(edgeInk, 0) << path.toStdString();
    }
}

// A recognisable glyph covers a fair part of its box at button size; a blank
// or speck-sized icon means a broken path or a wrong transform.
TEST_F(IconDrawing, LineIconsFillAReadableShareOfTheirBox)
{
    for (const QString& path : lineIconPaths()) {
        const QImage image = render(recolour(readResource(path), Qt::black, Qt::black), 24);
        const InkCount ink = countInk(image, Qt::black);
        EXPECT_GE(ink.visible, 24) << path.toStdString();
        EXPECT_LE(ink.visible, 24 * 24 * 3 / 4) << path.toStdString();
    }
}

TEST_F(IconDrawing, FanOrientationIconsAreTurnedCopiesOfOneAnother)
{
    // Up turned a quarter clockwise is Right, a half is Down, three quarters is Left.
    const QImage up =
        render(recolour(readResource(":/keldar-icons/Ondrix/FanOrientationUp.svg"), Qt::black, Qt::black), 48);
    const struct
    {
        const char* path;
        int degrees;
    } cases[] = {{":/keldar-icons/Ondrix/FanOrientationRight.svg", 90},
                 {":/keldar-icons/Ondrix/FanOrientationDown.svg", 180},
                 {":/keldar-icons/Ondrix/FanOrientationLeft.svg", 270}};
    for (const auto& c : cases) {
        const QImage expected = up.transformed(QTransform().rotate(c.degrees)).convertToFormat(QImage::Format_ARGB32);
        const QImage actual =
            render(recolour(readResource(c.path), Qt::black, Qt::black), 48).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(expected.size(), actual.size());
        int differing = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 48; ++x)
                differing += std::abs(qAlpha(expected.pixel(x, y)) - qAlpha(actual.pixel(x, y))) > 96;
        EXPECT_LT(differing, 20) << c.path;
    }
}

} // namespace
