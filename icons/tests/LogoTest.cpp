// The logos carry the element ids the window and the logo widgets colour, and
// each id'd part really changes colour when it is addressed.

#include "IconTestSupport.h"

#include <QDomDocument>
#include <QPainter>
#include <QSvgRenderer>

#include <gtest/gtest.h>

using namespace Keldar::Icons::Testing;

namespace {

const QColor foreground(0xf0, 0xf0, 0xf0);
const QColor accent(0xe0, 0x40, 0x10);

QDomElement findById(const QDomElement& element, const QString& id)
{
    if (element.attribute(QStringLiteral("id")) == id)
        return element;
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QDomElement found = findById(child, id);
        if (!found.isNull())
            return found;
    }
    return {};
}

// Sets the fill of one element and its descendants, as the handler's per-id
// override does.
void fillElement(QDomElement element, const QColor& colour)
{
    if (element.attribute(QStringLiteral("fill")) != QLatin1String("none"))
        element.setAttribute(QStringLiteral("fill"), colour.name());
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        fillElement(child, colour);
}

QByteArray colourIds(const QString& path, const QColor& whole, const QList<QPair<QString, QColor>>& byId)
{
    QDomDocument document;
    EXPECT_TRUE(document.setContent(recolour(readResource(path), whole, whole)));
    for (const auto& [id, colour] : byId) {
        QDomElement element = findById(document.documentElement(), id);
        EXPECT_FALSE(element.isNull()) << path.toStdString() << " lacks id " << id.toStdString();
        fillElement(element, colour);
    }
    return document.toByteArray(-1);
}

// Renders at a useful width (logos are wide) into a transparent image.
QImage renderWide(const QByteArray& svg, int width)
{
    QSvgRenderer renderer(svg);
    QSizeF size = renderer.defaultSize();
    size.scale(width, width, Qt::KeepAspectRatio);
    QImage image(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return image;
}

class Logos : public ::testing::Test
{
protected:
    void SetUp() override { ensureGuiApplication(); }
};

TEST_F(Logos, LumivaneLogoHasTheElementsTheWindowColours)
{
    QDomDocument document;
    ASSERT_TRUE(document.setContent(readResource(":/keldar-icons/Logos/LumivaneLogo.svg")));
    for (const char* id : {"text", "text2", "logo"})
        EXPECT_FALSE(findById(document.documentElement(), id).isNull()) << id;
}

TEST_F(Logos, LumivaneLogoShowsForegroundTextAndAccentMark)
{
    const QByteArray svg = colourIds(":/keldar-icons/Logos/LumivaneLogo.svg", foreground,
                                     {{"text", foreground}, {"text2", accent}, {"logo", accent}});
    const QImage image = renderWide(svg, 600);
    const InkCount inForeground = countInk(image, foreground);
    const InkCount inAccent = countInk(image, accent);
    EXPECT_GT(inForeground.matching, 200);
    EXPECT_GT(inAccent.matching, inForeground.matching) << "the name and the mark outweigh the small word";
    // Only edge pixels between the two parts may blend.
    EXPECT_GT(inForeground.matching + inAccent.matching, inForeground.visible * 95 / 100);
}

TEST_F(Logos, EachLumivaneElementChangesOnlyItsOwnPixels)
{
    const QString path = QStringLiteral(":/keldar-icons/Logos/LumivaneLogo.svg");
    for (const char* id : {"text", "text2", "logo"}) {
        const QImage image = renderWide(colourIds(path, foreground, {{id, accent}}), 600);
        const InkCount ink = countInk(image, accent);
        EXPECT_GT(ink.matching, 100) << id << " is not drawn or not recoloured";
        EXPECT_LT(ink.matching, ink.visible * 3 / 4) << id << " recoloured more than itself";
    }
}

TEST_F(Logos, KeldarLogoSecondColourElementsAreNamedForTheLogoWidget)
{
    // The logo widget paints elements whose id starts with "second" in the
    // second colour and everything else in the first.
    QDomDocument document;
    ASSERT_TRUE(document.setContent(readResource(":/keldar-icons/Logos/KeldarLogo.svg")));
    EXPECT_FALSE(findById(document.documentElement(), "secondColour").isNull());
    EXPECT_FALSE(findById(document.documentElement(), "firstColour").isNull());
}

TEST_F(Logos, KeldarLogoShowsBothColours)
{
    const QByteArray svg = colourIds(":/keldar-icons/Logos/KeldarLogo.svg", foreground, {{"secondColour", accent}});
    const QImage image = renderWide(svg, 400);
    const InkCount first = countInk(image, foreground);
    const InkCount second = countInk(image, accent);
    EXPECT_GT(first.matching, 200);
    EXPECT_GT(second.matching, 50);
    EXPECT_GT(first.matching + second.matching, first.visible * 95 / 100);
}

TEST_F(Logos, OndrixLogoIsOneColourThroughout)
{
    for (const QColor& colour : {foreground, accent}) {
        const QImage image =
            renderWide(recolour(readResource(":/keldar-icons/Logos/OndrixLogo.svg"), colour, colour), 400);
        const InkCount ink = countInk(image, colour);
        ASSERT_GT(ink.visible, 200);
        EXPECT_EQ(ink.matching, ink.visible);
    }
}

// Capture branding scales a logo to cover a square and the fan display sizes it
// from its height; a degenerate or tall logo would swamp the picture.
TEST_F(Logos, LogosAreWiderThanTall)
{
    for (const char* path : {":/keldar-icons/Logos/KeldarLogo.svg", ":/keldar-icons/Logos/OndrixLogo.svg",
                             ":/keldar-icons/Logos/LumivaneLogo.svg"}) {
        QSvgRenderer renderer(readResource(path));
        ASSERT_TRUE(renderer.isValid()) << path;
        const QSize size = renderer.defaultSize();
        EXPECT_GT(size.width(), 2 * size.height()) << path;
        EXPECT_LT(size.width(), 8 * size.height()) << path;
    }
}

} // namespace
