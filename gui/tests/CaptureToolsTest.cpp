#include "WidgetTestApplication.h"

#include <keldar/gui/CaptureTools.h>
#include <keldar/gui/KeldarLogo.h>
#include <keldar/gui/OndrixLogo.h>

#include <QFile>
#include <QImage>

using Keldar::GUI::Tools::CaptureTools;
using Keldar::GUI::Widgets::Displays::KeldarLogo;
using Keldar::GUI::Widgets::Displays::OndrixLogo;

namespace {

QRect paintedArea(const QImage& image)
{
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

QImage frame()
{
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

TEST(LogoPlacement, Size100AtBottomRightOf1080pEnds40PixelsFromBothEdges)
{
    const QRect rect = CaptureTools::getLogoRect({1920, 1080}, {200, 100}, CaptureTools::BottomRight, 100);
    EXPECT_EQ(rect.size(), QSize(100, 50));
    EXPECT_EQ(rect.x() + rect.width(), 1920 - 40);
    EXPECT_EQ(rect.y() + rect.height(), 1080 - 40);
}

TEST(LogoPlacement, EachCornerKeepsTheMargin)
{
    const QSize device(800, 600);
    const QSizeF logo(50, 50);
    EXPECT_EQ(CaptureTools::getLogoRect(device, logo, CaptureTools::TopLeft, 80), QRect(40, 40, 80, 80));
    EXPECT_EQ(CaptureTools::getLogoRect(device, logo, CaptureTools::TopRight, 80), QRect(680, 40, 80, 80));
    EXPECT_EQ(CaptureTools::getLogoRect(device, logo, CaptureTools::BottomLeft, 80), QRect(40, 480, 80, 80));
    EXPECT_EQ(CaptureTools::getLogoRect(device, logo, CaptureTools::BottomRight, 80), QRect(680, 480, 80, 80));
    EXPECT_EQ(CaptureTools::getLogoRect(device, logo, 7, 80).topLeft(), QPoint(0, 0));
}

// Covering the square made the maker's wide logo about 330 pixels wide at 80.
TEST(LogoPlacement, LogoFitsInsideTheRequestedSquare)
{
    const QRect tall = CaptureTools::getLogoRect({800, 600}, {30, 90}, CaptureTools::TopLeft, 100);
    EXPECT_EQ(tall.size(), QSize(33, 100));
    const QRect wide = CaptureTools::getLogoRect({800, 600}, {333, 100}, CaptureTools::TopLeft, 80);
    EXPECT_EQ(wide.size(), QSize(80, 24));
}

TEST_F(WidgetTest, StampedLogoStaysInsideItsCornerBox)
{
    ASSERT_TRUE(QFile::exists(OndrixLogo::resourcePath)) << "the product logo resource is not linked in";
    QImage image = frame();
    CaptureTools::addOndrixLogo(image, QColor(250, 10, 10), CaptureTools::BottomRight, 100);
    OndrixLogo probe;
    const QRect expected = CaptureTools::getLogoRect(image.size(), probe.getSvgSize(), CaptureTools::BottomRight, 100);
    const QRect painted = paintedArea(image);
    ASSERT_FALSE(painted.isNull()) << "nothing was stamped";
    EXPECT_TRUE(expected.contains(painted)) << "painted outside the logo's box";
    EXPECT_LE(painted.right(), 1920 - 41);
    EXPECT_LE(painted.bottom(), 1080 - 41);
    // The logo fills its box across at least one axis.
    EXPECT_TRUE(painted.width() > expected.width() / 2 || painted.height() > expected.height() / 2);
}

TEST_F(WidgetTest, StampedLogoUsesTheRequestedColour)
{
    ASSERT_TRUE(QFile::exists(OndrixLogo::resourcePath)) << "the product logo resource is not linked in";
    QImage image = frame();
    CaptureTools::addOndrixLogo(image, QColor(10, 200, 10), CaptureTools::TopLeft, 100);
    int green = 0;
    int other = 0;
    for (int y = 40; y < 400; ++y)
        for (int x = 40; x < 600; ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 250)
                continue;
            (pixel.green() > 150 && pixel.red() < 60 && pixel.blue() < 60 ? green : other)++;
        }
    EXPECT_GT(green, 0);
    EXPECT_EQ(other, 0);
}

TEST_F(WidgetTest, MakersLogoShowsBothColours)
{
    ASSERT_TRUE(QFile::exists(KeldarLogo::resourcePath)) << "the maker's logo resource is not linked in";
    QImage image = frame();
    CaptureTools::addKeldarLogo(image, QColor(250, 250, 250), QColor(20, 120, 250), CaptureTools::TopRight, 120);
    int first = 0;
    int second = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 1000; x < 1920; ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 250)
                continue;
            if (pixel.red() > 240 && pixel.blue() > 240)
                ++first;
            else if (pixel.blue() > 240 && pixel.red() < 40)
                ++second;
        }
    EXPECT_GT(first, 0);
    EXPECT_GT(second, 0);
}

// A capture with a device pixel ratio of 2 (a grab of a high-density screen):
// size and margin are still pixels of the image. Drawn in logical units the
// logo came out twice as large and beyond the frame.
TEST_F(WidgetTest, StampOnAHighDensityImageKeepsItsPixelSizeAndMargin)
{
    ASSERT_TRUE(QFile::exists(KeldarLogo::resourcePath)) << "the maker's logo resource is not linked in";
    for (const int corner : {CaptureTools::TopLeft, CaptureTools::BottomRight}) {
        QImage image = frame();
        image.setDevicePixelRatio(2.0);
        CaptureTools::addKeldarLogo(image, QColor(250, 250, 250), QColor(20, 120, 250), corner, 80);
        const QRect painted = paintedArea(image);
        ASSERT_FALSE(painted.isNull()) << "corner " << corner;
        const QRect box = corner == CaptureTools::TopLeft ? QRect(40, 40, 80, 80) : QRect(1800, 960, 80, 80);
        EXPECT_TRUE(box.contains(painted)) << "corner " << corner << ": painted at " << painted.x() << ","
                                           << painted.y() << " size " << painted.width() << "x" << painted.height();
        EXPECT_GT(painted.width(), 70) << "the wide logo spans its box";
    }
}
