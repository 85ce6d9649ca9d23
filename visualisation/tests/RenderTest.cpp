#include "support/TestSupport.h"

#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/FanGeometryEngine.h>
#include <keldar/visualisation/StandardPalettes.h>

#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <numbers>

using namespace Keldar::Ondrix::Visualisation;
using Testing::channelDifference;
using Testing::ensureApplication;

namespace {

constexpr std::uint16_t beams = 128;
constexpr std::uint16_t lines = 200;

std::vector<std::uint8_t> speckle(std::uint32_t seed, std::uint16_t width = beams, std::uint16_t height = lines)
{
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(width) * height);
    std::uint32_t state = seed;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        state = state * 1664525U + 1013904223U;
        // Speckle over a range-dependent bed, so that blurring visibly matters.
        const auto bed = static_cast<int>(60 + 60 * (i / width) / height);
        samples[i] = static_cast<std::uint8_t>(std::min(255, bed + static_cast<int>((state >> 24) % 90)));
    }
    return samples;
}

class RenderFixture : public ::testing::Test
{
protected:
    struct Application
    {
        Application() { ensureApplication(); }
    } application;
    FanDisplay display;

    void SetUp() override
    {
        display.setOverlayFeature(FanDisplayOptions::RangeLabels, false);
        display.setOverlayFeature(FanDisplayOptions::RangeArcs, false);
        display.setOverlayFeature(FanDisplayOptions::SectorLines, false);
        display.resize(400, 400);
        display.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
        ASSERT_TRUE(display.resourcesAreValid());
    }

    // Model-space position (radius, degrees from +x) of a frame pixel.
    std::pair<double, double> modelOf(const QImage& frame, int x, int y) const
    {
        const QPointF ndc(2.0 * (x + 0.5) / frame.width() - 1.0, 1.0 - 2.0 * (y + 0.5) / frame.height());
        const QPointF model = display.getCurrentProjection().inverted().map(ndc);
        return {std::hypot(model.x(), model.y()), std::atan2(model.y(), model.x()) * 180.0 / std::numbers::pi};
    }

    // Pixels well inside the fan: away from the apex, the far arc and the
    // side edges by more than the largest blur reaches.
    void forInterior(const QImage& frame, const std::function<void(int, int)>& check) const
    {
        for (int y = 0; y < frame.height(); y += 3) {
            for (int x = 0; x < frame.width(); x += 3) {
                const auto [r, angle] = modelOf(frame, x, y);
                if (r > 0.12 && r < 0.88 && angle > 25.0 + 32.0 && angle < 155.0 - 32.0) {
                    check(x, y);
                }
            }
        }
    }
};

} // namespace

TEST_F(RenderFixture, KernelOneGivesTheSameColoursAsNoKernel)
{
    display.getEngine().setDespeckleMethod(FanGeometryEngine::DespeckleMethod::Direct);
    display.newImageReceived(Testing::imageOf(beams, lines, 10.0, speckle(7)));
    display.setDespeckleLevel(0);
    const QImage plain = display.grabFramebuffer();
    display.setDespeckleLevel(1);
    const QImage kernelOne = display.grabFramebuffer();
    int compared = 0;
    int worst = 0;
    forInterior(plain, [&](int x, int y) {
        worst = std::max(worst, channelDifference(plain.pixel(x, y), kernelOne.pixel(x, y)));
        ++compared;
    });
    EXPECT_GT(compared, 1000);
    EXPECT_LE(worst, 1);
}

// Compared where the texture is magnified (32 beams x 100 lines on a 400 px
// widget), so both sample with linear filtering. Where it is minified the
// lookup is nearest, and the direct shader's float coordinate c + i/N can round
// to the neighbouring texel right at a texel boundary; those scattered pixels
// differ because of that rounding, not because of the method.
constexpr std::uint16_t fewBeams = 32;
constexpr std::uint16_t fewLines = 100;

TEST_F(RenderFixture, PrefilteredDespeckleMatchesTheDirectShader)
{
    display.newImageReceived(Testing::imageOf(fewBeams, fewLines, 10.0, speckle(11, fewBeams, fewLines)));
    display.setPalette(FanDisplayOptions::StandardOne);
    display.setDespeckleLevel(15);
    display.getEngine().setDespeckleMethod(FanGeometryEngine::DespeckleMethod::Direct);
    const QImage direct = display.grabFramebuffer();
    display.getEngine().setDespeckleMethod(FanGeometryEngine::DespeckleMethod::Prefiltered);
    display.update();
    const QImage prefiltered = display.grabFramebuffer();
    display.setDespeckleLevel(0);
    const QImage unfiltered = display.grabFramebuffer();

    int compared = 0;
    int worst = 0;
    int blurMattered = 0;
    forInterior(direct, [&](int x, int y) {
        worst = std::max(worst, channelDifference(direct.pixel(x, y), prefiltered.pixel(x, y)));
        blurMattered += channelDifference(direct.pixel(x, y), unfiltered.pixel(x, y)) > 8 ? 1 : 0;
        ++compared;
    });
    EXPECT_GT(compared, 1000);
    EXPECT_LE(worst, 1);
    // Otherwise the comparison would prove nothing.
    EXPECT_GT(blurMattered, compared / 2);
}

// In the grey palette one colour level is one intensity level. (The software
// renderer filters 8-bit texels with 8-bit precision, so the direct shader's
// intensity can be off by one level; a steep palette turns that into a few
// colour levels.)
TEST_F(RenderFixture, PrefilteredDespeckleMatchesAtEveryKernelSize)
{
    display.setPalette(FanDisplayOptions::StandardOne);
    display.newImageReceived(Testing::imageOf(fewBeams, fewLines, 10.0, speckle(3, fewBeams, fewLines)));
    for (int kernel : {3, 5, 7, 9, 11, 13, 15}) {
        display.setDespeckleLevel(kernel);
        display.getEngine().setDespeckleMethod(FanGeometryEngine::DespeckleMethod::Direct);
        const QImage direct = display.grabFramebuffer();
        display.getEngine().setDespeckleMethod(FanGeometryEngine::DespeckleMethod::Prefiltered);
        display.update();
        const QImage prefiltered = display.grabFramebuffer();
        int worst = 0;
        forInterior(direct, [&](int x, int y) {
            worst = std::max(worst, channelDifference(direct.pixel(x, y), prefiltered.pixel(x, y)));
        });
        EXPECT_LE(worst, 1) << "kernel " << kernel;
    }
}

TEST_F(RenderFixture, EachStandardPaletteColoursTheRampWithItsOwnBand)
{
    // Row j of the image holds level j, so intensity grows with range.
    std::vector<std::uint8_t> ramp(static_cast<std::size_t>(beams) * 256);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = static_cast<std::uint8_t>(i / beams);
    }
    display.newImageReceived(Testing::imageOf(beams, 256, 10.0, ramp));
    const QImage bands = Palettes::StandardPalettes::loadImage();
    for (int palette = 0; palette < 6; ++palette) {
        display.setPalette(static_cast<FanDisplayOptions::Palette>(palette));
        const QImage frame = display.grabFramebuffer();
        int worst = 0;
        int samples = 0;
        std::array<double, 6> meanDifference{};
        for (int y = 0; y < frame.height(); ++y) {
            const int x = frame.width() / 2;
            const auto [r, angle] = modelOf(frame, x, y);
            if (r < 0.1 || r > 0.9 || angle < 80.0 || angle > 100.0) {
                continue;
            }
            // Texel centres sit at (j + 0.5) / 256 along the range.
            const int level = std::clamp(static_cast<int>(std::lround(r * 256.0 - 0.5)), 0, 255);
            const QRgb pixel = frame.pixel(x, y);
            worst = std::max(worst, channelDifference(pixel, bands.pixel(level, 10 * palette + 5)));
            for (std::size_t band = 0; band < 6; ++band) {
                meanDifference[band] += channelDifference(pixel, bands.pixel(level, 10 * static_cast<int>(band) + 5));
            }
            ++samples;
        }
        ASSERT_GT(samples, 100);
        EXPECT_LE(worst, 12) << "palette " << palette;
        for (std::size_t band = 0; band < 6; ++band) {
            if (static_cast<int>(band) != palette) {
                EXPECT_GT(meanDifference[band] / samples, 15.0) << "palette " << palette << " looks like band " << band;
            }
        }
    }
}

TEST_F(RenderFixture, HorizontalFlipMirrorsThePicture)
{
    // Left half of the beams bright, right half dark.
    std::vector<std::uint8_t> halves(static_cast<std::size_t>(beams) * lines);
    for (std::size_t i = 0; i < halves.size(); ++i) {
        halves[i] = (i % beams) < beams / 2 ? 230 : 20;
    }
    display.newImageReceived(Testing::imageOf(beams, lines, 10.0, halves));
    const QImage plain = display.grabFramebuffer();
    display.horizontalFlip();
    const QImage flipped = display.grabFramebuffer();
    const int y = plain.height() / 2;
    const int left = plain.width() / 2 - 60;
    const int right = plain.width() / 2 + 60;
    EXPECT_GT(qRed(plain.pixel(left, y)), qRed(plain.pixel(right, y)) + 100);
    EXPECT_GT(qRed(flipped.pixel(right, y)), qRed(flipped.pixel(left, y)) + 100);
    EXPECT_LE(channelDifference(plain.pixel(left, y), flipped.pixel(right, y)), 1);
}

TEST_F(RenderFixture, ClampLiftsDarkSamplesToTheLowerThreshold)
{
    // Mostly mid-grey with a dark patch: clamping at 20 % raises the patch.
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(beams) * lines, 150);
    for (std::size_t line = 80; line < 120; ++line) {
        for (std::size_t b = 40; b < 88; ++b) {
            samples[line * beams + b] = 10;
        }
    }
    display.setPalette(FanDisplayOptions::StandardOne);
    display.newImageReceived(Testing::imageOf(beams, lines, 10.0, samples));
    const QImage plain = display.grabFramebuffer();
    display.setClampLevel(0.2F);
    for (int i = 0; i < 40; ++i) {
        display.newImageReceived(Testing::imageOf(beams, lines, 10.0, samples));
    }
    const QImage clamped = display.grabFramebuffer();
    const QPointF ndc = display.getCurrentProjection().map(QPointF(0.0, 0.5));
    const int px = static_cast<int>((ndc.x() + 1.0) * 200.0);
    const int py = static_cast<int>((1.0 - ndc.y()) * 200.0);
    EXPECT_LT(qRed(plain.pixel(px, py)), 40);
    EXPECT_GT(qRed(clamped.pixel(px, py)), 100);
}

TEST_F(RenderFixture, ImagesWithFewerThanTwoBeamsDrawOnlyTheBackground)
{
    display.setClearColour(QColor(10, 20, 30));
    Keldar::Ondrix::OndrixImage single(1, 50, 10.0, 50.0, 900.0, {0}, std::vector<std::uint8_t>(50, 255));
    display.newImageReceived(single);
    QImage frame = display.grabFramebuffer();
    EXPECT_EQ(frame.pixel(200, 200), qRgb(10, 20, 30));
    Keldar::Ondrix::OndrixImage empty(0, 0, 10.0, 50.0, 900.0, {}, {});
    display.newImageReceived(empty);
    frame = display.grabFramebuffer();
    EXPECT_EQ(frame.pixel(200, 100), qRgb(10, 20, 30));
}
