// The raster artwork loads under the resource paths the viewer and the
// visualisation library use, including the path written without a slash.

#include "IconTestSupport.h"

#include <QFile>
#include <QImageReader>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

using namespace Keldar::Icons::Testing;

namespace {

const QStringList devicePictures = {
    ":/keldar-ondrix-visualisation/icons/devices/Ondrix.png",
    ":/keldar-ondrix-visualisation/icons/devices/Ondrix_Halcyr.png",
    ":/keldar-ondrix-visualisation/icons/devices/Ondrix_Verdane.png",
    ":keldar-ondrix-visualisation/icons/devices/Ondrix_Morvel.png",
};

class Artwork : public ::testing::Test
{
protected:
    void SetUp() override { ensureGuiApplication(); }
};

TEST_F(Artwork, DevicePicturesLoadAsTransparentSquares)
{
    for (const QString& path : devicePictures) {
        ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
        const QImage image(path);
        ASSERT_FALSE(image.isNull()) << path.toStdString();
        EXPECT_EQ(image.size(), QSize(256, 256)) << path.toStdString();
        EXPECT_TRUE(image.hasAlphaChannel()) << path.toStdString();
        for (const QPoint corner : {QPoint(0, 0), QPoint(255, 0), QPoint(0, 255), QPoint(255, 255)})
            EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << path.toStdString();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) > 200;
        EXPECT_GT(opaque, 256 * 256 / 8) << path.toStdString() << " is mostly empty";
    }
}

TEST_F(Artwork, DevicePicturesTellTheModelsApart)
{
    std::set<QByteArray> distinct;
    for (const QString& path : devicePictures) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QImage image = QImage::fromData(file.readAll()).convertToFormat(QImage::Format_ARGB32);
        distinct.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), int(image.sizeInBytes())));
    }
    EXPECT_EQ(distinct.size(), std::size_t(devicePictures.size()));
}

TEST_F(Artwork, MorvelPictureWithoutSlashIsTheSameFile)
{
    EXPECT_EQ(readResource(":keldar-ondrix-visualisation/icons/devices/Ondrix_Morvel.png"),
              readResource(":/keldar-ondrix-visualisation/icons/devices/Ondrix_Morvel.png"));
}

TEST_F(Artwork, RecordingAnimationPulsesARedDotForever)
{
    QImageReader reader(QStringLiteral(":/gifs/recording.gif"));
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    EXPECT_TRUE(reader.supportsAnimation());
    EXPECT_EQ(reader.loopCount(), -1) << "the dot must keep pulsing while recording";
    std::vector<int> redPixels;
    for (QImage frame = reader.read(); !frame.isNull(); frame = reader.read()) {
        frame = frame.convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(qAlpha(frame.pixel(0, 0)), 0) << "corners are transparent";
        int red = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x) {
                const QRgb p = frame.pixel(x, y);
                red += qAlpha(p) > 128 && qRed(p) > 150 && qGreen(p) < 100 && qBlue(p) < 100;
            }
        EXPECT_GT(red, 40);
        redPixels.push_back(red);
    }
    ASSERT_GE(redPixels.size(), 4u);
    const auto [smallest, largest] = std::minmax_element(redPixels.begin(), redPixels.end());
    EXPECT_GT(*largest, *smallest * 3 / 2) << "the dot grows and shrinks";
}

TEST_F(Artwork, WindowIconHoldsTheUsualSizes)
{
    QImageReader reader(QStringLiteral(":/icons/window/OndrixLumivane.ico"));
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    std::set<int> sizes;
    const int count = reader.imageCount();
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << "image " << i;
        EXPECT_EQ(image.width(), image.height());
        EXPECT_TRUE(image.hasAlphaChannel());
        sizes.insert(image.width());
    }
    for (int wanted : {16, 32, 48, 256})
        EXPECT_TRUE(sizes.count(wanted)) << wanted << " px missing";
}

TEST_F(Artwork, ApplicationLogoIsTheSameFileUnderBothPaths)
{
    const QByteArray app = readResource(":/logos/LumivaneLogo.svg");
    ASSERT_FALSE(app.isEmpty());
    EXPECT_EQ(app, readResource(":/keldar-icons/Logos/LumivaneLogo.svg"));
    EXPECT_TRUE(QSvgRenderer(app).isValid());
}

TEST_F(Artwork, ScalableApplicationIconIsAValidSquareSvg)
{
    QFile file(QStringLiteral(KELDAR_ICONS_ARTWORK_DIR "/ondrix-lumivane.svg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QSvgRenderer renderer(file.readAll());
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.defaultSize().width(), renderer.defaultSize().height());
}

} // namespace
