// The icon set drawn through the toolkit's own SVG handler and logo widgets:
// the colours the theme and the buttons ask for are the colours on screen.

#include "IconTestSupport.h"

#include <keldar/gui/KeldarLogo.h>
#include <keldar/gui/OndrixLogo.h>
#include <keldar/gui/SvgHandler.h>
#include <keldar/gui/SvgLabel.h>

#include <QApplication>

#include <gtest/gtest.h>

using namespace Keldar::Icons::Testing;
using Keldar::GUI::Helpers::Svg::SvgHandler;

namespace {

const QColor foreground(0xe8, 0xee, 0xf2);
const QColor accent(0xe0, 0x40, 0x10);
const QColor palette(0x10, 0xa0, 0x30); // a colour nothing should end up in

QImage paint(QWidget& widget, const QSize& size)
{
    widget.resize(size);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

void usePaletteForeground(QWidget& widget)
{
    QPalette colours = widget.palette();
    colours.setColor(widget.foregroundRole(), palette);
    widget.setPalette(colours);
}

class ToolkitIntegration : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "icons-toolkit-test";
            static char* argv[] = {name, nullptr};
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static QApplication app(argc, argv);
        }
        ensureGuiApplication();
    }
};

TEST_F(ToolkitIntegration, EveryIconTakesTheHandlersDefaultColours)
{
    for (const QString& path : iconPaths()) {
        SvgHandler handler(path);
        for (const QColor& colour : {foreground, accent}) {
            const InkCount ink = countInk(render(handler.getSource(colour, colour), 48), colour);
            ASSERT_GT(ink.visible, 0) << path.toStdString();
            EXPECT_EQ(ink.matching, ink.visible) << path.toStdString();
        }
    }
}

TEST_F(ToolkitIntegration, ToastCloseButtonStrokeOverrideColoursTheWholeCross)
{
    SvgHandler handler(QStringLiteral(":/keldar-icons/General/Close.svg"));
    const QColor warningStroke(51, 51, 51);
    handler.setStrokeColour(warningStroke);
    const InkCount ink = countInk(render(handler.getSource(Qt::white, Qt::white), 24), warningStroke);
    ASSERT_GT(ink.visible, 0);
    EXPECT_EQ(ink.matching, ink.visible);
}

// The window fills "text", "text2" and "logo" and nothing else; any part of the
// logo outside those elements would stay in the label's palette colour.
TEST_F(ToolkitIntegration, LumivaneLogoIsFullyCoveredByTheWindowsThreeElements)
{
    Keldar::GUI::Widgets::Displays::SvgLabel label(QStringLiteral(":/keldar-icons/Logos/LumivaneLogo.svg"));
    usePaletteForeground(label);
    label.setFillColour(foreground, QStringLiteral("text"));
    label.setFillColour(accent, QStringLiteral("text2"));
    label.setFillColour(accent, QStringLiteral("logo"));
    const QImage image = paint(label, QSize(600, 160));
    const InkCount inForeground = countInk(image, foreground);
    const InkCount inAccent = countInk(image, accent);
    EXPECT_GT(inForeground.matching, 100);
    EXPECT_GT(inAccent.matching, 1000);
    EXPECT_EQ(countInk(image, palette).matching, 0);
}

TEST_F(ToolkitIntegration, KeldarLogoWidgetShowsItsTwoColours)
{
    Keldar::GUI::Widgets::Displays::KeldarLogo logo;
    usePaletteForeground(logo);
    logo.setColours(foreground, accent);
    const QImage image = paint(logo, QSize(400, 100));
    const InkCount first = countInk(image, foreground);
    const InkCount second = countInk(image, accent);
    EXPECT_GT(first.matching, 500);
    EXPECT_GT(second.matching, 100);
    EXPECT_GT(first.matching + second.matching, first.visible * 95 / 100);
}

TEST_F(ToolkitIntegration, OndrixLogoWidgetIsDrawnInItsColour)
{
    Keldar::GUI::Widgets::Displays::OndrixLogo logo;
    usePaletteForeground(logo);
    logo.setColour(accent);
    const QImage image = paint(logo, QSize(400, 100));
    const InkCount ink = countInk(image, accent);
    ASSERT_GT(ink.visible, 500);
    EXPECT_EQ(ink.matching, ink.visible);
}

} // namespace
