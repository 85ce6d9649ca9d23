// Every icon follows the colours it is given: rewriting the fill and stroke
// attributes, as the toolkit does for the theme and the button state, changes
// every drawn pixel and leaves no authored colour behind.

#include "IconTestSupport.h"

#include <gtest/gtest.h>

using namespace Keldar::Icons::Testing;

namespace {

QStringList lineIconPaths()
{
    QStringList paths;
    for (const QString& path : iconPaths())
        if (!path.contains(QLatin1String("/Logos/")))
            paths << path;
    return paths;
}

class IconRecolour : public ::testing::Test
{
protected:
    void SetUp() override { ensureGuiApplication(); }
};

TEST_F(IconRecolour, EveryDrawnPixelTakesTheGivenColour)
{
    const QColor themes[] = {QColor(0xe8, 0xee, 0xf2), QColor(0xd6, 0x2a, 0x1e), QColor(0x0b, 0x6e, 0xa8)};
    for (const QString& path : iconPaths()) {
        const QByteArray source = readResource(path);
        for (const QColor& colour : themes) {
            const InkCount ink = countInk(render(recolour(source, colour, colour), 48), colour);
            ASSERT_GT(ink.visible, 0) << path.toStdString();
            EXPECT_EQ(ink.matching, ink.visible) << path.toStdString() << " in " << colour.name().toStdString();
        }
    }
}

TEST_F(IconRecolour, ChangingTheColourChangesTheRenderedPixels)
{
    for (const QString& path : iconPaths()) {
        const QByteArray source = readResource(path);
        const QImage light = render(recolour(source, Qt::white, Qt::white), 48);
        const QImage dark = render(recolour(source, QColor(0x20, 0x20, 0x20), QColor(0x20, 0x20, 0x20)), 48);
        EXPECT_NE(light, dark) << path.toStdString();
        EXPECT_EQ(countInk(light, QColor(0x20, 0x20, 0x20)).matching, 0) << path.toStdString();
    }
}

// Buttons set the stroke as well as the fill; the outlines must answer to the
// stroke colour, the solid parts to the fill colour.
TEST_F(IconRecolour, OutlinesFollowTheStrokeColour)
{
    const QColor fill(0xff, 0x00, 0x00), stroke(0x00, 0x00, 0xff);
    for (const QString& path : lineIconPaths()) {
        const InkCount ink = countInk(render(recolour(readResource(path), fill, stroke), 48), stroke);
        EXPECT_GT(ink.matching, 20) << path.toStdString();
    }
}

// Toasts colour their close button through the stroke only (dark grey on
// warnings, white otherwise) while the fill keeps the button's foreground.
TEST_F(IconRecolour, CloseIconIsDrawnEntirelyInTheStrokeColour)
{
    const QColor foreground(0xff, 0xff, 0xff), warningStroke(51, 51, 51);
    const QImage image =
        render(recolour(readResource(":/keldar-icons/General/Close.svg"), foreground, warningStroke), 24);
    const InkCount ink = countInk(image, warningStroke);
    ASSERT_GT(ink.visible, 0);
    EXPECT_EQ(ink.matching, ink.visible);
}

// Solid parts (the record dot, the play triangle) are what tells these icons
// apart from their neighbours; they must take the fill colour too.
TEST_F(IconRecolour, SolidPartsFollowTheFillColour)
{
    const QColor fill(0xff, 0x00, 0x00), stroke(0x00, 0x00, 0xff);
    for (const char* path : {":/keldar-icons/Capture/Record.svg", ":/keldar-icons/Capture/StopRecording.svg",
                             ":/keldar-icons/Playback/Play.svg", ":/keldar-icons/Playback/Pause.svg"}) {
        const InkCount ink = countInk(render(recolour(readResource(path), fill, stroke), 48), fill);
        EXPECT_GT(ink.matching, 30) << path;
    }
}

// The recolouring helper the other tests rely on: a document that is not XML
// yields nothing rather than an unrecoloured icon that would pass by accident.
TEST_F(IconRecolour, HelperRejectsDocumentsItCannotParse)
{
    EXPECT_TRUE(recolour("<svg><path", Qt::red, Qt::red).isEmpty());
    const QByteArray tinted = recolour(
        R"(<svg xmlns="http://www.w3.org/2000/svg"><path fill="none" stroke="#000"/></svg>)", Qt::red, Qt::blue);
    EXPECT_TRUE(tinted.contains("fill=\"none\""));
    EXPECT_TRUE(tinted.contains("stroke=\"#0000ff\""));
}

} // namespace
