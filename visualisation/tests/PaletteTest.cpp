#include "support/TestSupport.h"

#include <keldar/visualisation/AquaPalette.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/FanGeometryEngine.h>
#include <keldar/visualisation/FirePalette.h>
#include <keldar/visualisation/StandardPalettes.h>

#include <QTest>
#include <gtest/gtest.h>

#include <array>

using namespace Keldar::Ondrix::Visualisation;
using namespace Keldar::Ondrix::Visualisation::Palettes;
using Testing::ensureApplication;

namespace {

struct Rgb
{
    int r, g, b;
};

Rgb entry(const AbstractDynamicPalette::Table& table, int i)
{
    const auto at = [&](int c) { return static_cast<int>(table[static_cast<std::size_t>(4 * i + c)]); };
    return {at(0), at(1), at(2)};
}

int alpha(const AbstractDynamicPalette::Table& table, int i)
{
    return table[static_cast<std::size_t>(4 * i + 3)];
}

} // namespace

TEST(StandardPaletteImage, IsTwoHundredFiftySixBySixtyWithTenRowBands)
{
    ensureApplication();
    const QImage image = StandardPalettes::loadImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 256);
    EXPECT_EQ(image.height(), 60);
    EXPECT_EQ(image.depth(), 32); // Qt expands the 24-bit file on load
    for (int band = 0; band < 6; ++band) {
        for (int row = 1; row < 10; ++row) {
            for (int i = 0; i < 256; i += 15) {
                EXPECT_EQ(image.pixel(i, 10 * band), image.pixel(i, 10 * band + row)) << band << " " << i;
            }
        }
    }
}

TEST(StandardPaletteImage, EachBandPassesThroughItsSampleColours)
{
    ensureApplication();
    const QImage image = StandardPalettes::loadImage();
    const std::array<int, 9> positions{0, 32, 64, 96, 128, 160, 192, 224, 255};
    // One sample row per band: grey, amber, blue, green, red, spectrum.
    const std::array<std::array<std::array<int, 3>, 9>, 6> bands{{
        {{{1, 1, 1},
          {49, 49, 49},
          {95, 95, 95},
          {125, 125, 125},
          {153, 153, 153},
          {183, 183, 183},
          {213, 213, 213},
          {234, 234, 234},
          {254, 254, 254}}},
        {{{2, 1, 0},
          {64, 41, 0},
          {126, 80, 0},
          {186, 118, 0},
          {242, 157, 6},
          {255, 243, 204},
          {255, 247, 223},
          {255, 251, 239},
          {255, 255, 255}}},
        {{{0, 2, 6},
          {0, 60, 148},
          {0, 99, 177},
          {0, 147, 204},
          {1, 193, 230},
          {47, 222, 243},
          {96, 250, 255},
          {211, 253, 255},
          {255, 255, 255}}},
        {{{0, 2, 0},
          {12, 59, 3},
          {57, 99, 0},
          {114, 148, 0},
          {169, 194, 1},
          {206, 223, 46},
          {242, 250, 95},
          {252, 254, 214},
          {255, 255, 255}}},
        {{{3, 0, 0},
          {85, 12, 7},
          {167, 24, 13},
          {215, 55, 19},
          {212, 111, 22},
          {206, 175, 26},
          {218, 202, 26},
          {236, 218, 25},
          {253, 234, 25}}},
        {{{0, 0, 0},
          {0, 0, 103},
          {0, 33, 191},
          {0, 114, 252},
          {52, 173, 202},
          {184, 229, 70},
          {255, 255, 0},
          {255, 255, 135},
          {255, 255, 255}}},
    }};
    for (int band = 0; band < 6; ++band) {
        for (std::size_t s = 0; s < positions.size(); ++s) {
            const QRgb pixel = image.pixel(positions[s], 10 * band + 5);
            const auto& want = bands[static_cast<std::size_t>(band)][s];
            EXPECT_EQ(qRed(pixel), want[0]) << "band " << band << " entry " << positions[s];
            EXPECT_EQ(qGreen(pixel), want[1]) << "band " << band << " entry " << positions[s];
            EXPECT_EQ(qBlue(pixel), want[2]) << "band " << band << " entry " << positions[s];
        }
    }
}

TEST(StandardPaletteImage, BandsRunSmoothlyBetweenSamples)
{
    ensureApplication();
    const QImage image = StandardPalettes::loadImage();
    // Neighbouring entries never jump further than the steepest stretch of the
    // table (amber 128->160 climbs 196 blue levels in 32 steps, about 6 each,
    // and a monotone cubic may be up to three times steeper than the secant).
    for (int band = 0; band < 6; ++band) {
        for (int i = 1; i < 256; ++i) {
            EXPECT_LE(Testing::channelDifference(image.pixel(i - 1, 10 * band), image.pixel(i, 10 * band)), 20)
                << "band " << band << " entry " << i;
        }
    }
}

TEST(StandardPaletteRows, RowCoordinateIsTheMiddleOfTheMirroredBand)
{
    EXPECT_FLOAT_EQ(StandardPalettes::rowCoordinate(0), 11.F / 12.F);
    EXPECT_NEAR(StandardPalettes::rowCoordinate(5), 1.0 / 12.0, 1e-6);
    FanGeometryEngine engine;
    engine.setPalette(2);
    EXPECT_FLOAT_EQ(engine.getPaletteRow(), 1.F - (2.F / 6.F + 1.F / 12.F));
    engine.setPalette(6);
    EXPECT_FLOAT_EQ(engine.getPaletteRow(), 0.5F);
    engine.setPalette(7);
    EXPECT_FLOAT_EQ(engine.getPaletteRow(), 0.5F);
}

TEST(FirePaletteTable, ModifierZeroIsRedThroughoutWithGreenRisingAndLateBlue)
{
    const auto table = FirePalette::table(0);
    for (int i = 0; i < 255; ++i) {
        const Rgb c = entry(table, i);
        EXPECT_EQ(c.r, 255) << i;
        EXPECT_EQ(c.g, i) << i;
        EXPECT_EQ(c.b, i < 127 ? 0 : 255 * (i - 127) / 128) << i;
        EXPECT_EQ(alpha(table, i), 255);
    }
    EXPECT_EQ(entry(table, 126).b, 0);
    EXPECT_EQ(entry(table, 128).b, 1);
}

TEST(FirePaletteTable, ModifierMaximumIsARedRampOnly)
{
    const auto table = FirePalette::table(255);
    for (int i = 0; i < 255; ++i) {
        const Rgb c = entry(table, i);
        EXPECT_EQ(c.r, i) << i;
        EXPECT_EQ(c.g, 0) << i;
        EXPECT_EQ(c.b, 0) << i;
    }
}

TEST(FirePaletteTable, LastEntryIsTheOpaqueEndOfEveryRamp)
{
    Rgb last = entry(FirePalette::table(0), 255);
    EXPECT_EQ(last.r, 255);
    EXPECT_EQ(last.g, 255);
    EXPECT_EQ(last.b, 255);
    EXPECT_EQ(alpha(FirePalette::table(0), 255), 255);
    last = entry(FirePalette::table(100), 255);
    EXPECT_EQ(last.r, 255);
    EXPECT_EQ(last.g, 255);
    EXPECT_EQ(last.b, 255);
    // With the largest modifier only the red ramp exists, and it is complete.
    last = entry(FirePalette::table(255), 255);
    EXPECT_EQ(last.r, 255);
    EXPECT_EQ(last.g, 0);
    EXPECT_EQ(last.b, 0);
    EXPECT_EQ(alpha(FirePalette::table(255), 255), 255);
}

TEST(FirePaletteTable, LargerModifierStretchesTheRedRamp)
{
    const auto table = FirePalette::table(128);
    EXPECT_EQ(entry(table, 64).r, 255 * 64 / 128);
    EXPECT_EQ(entry(table, 64).g, 0);
    EXPECT_EQ(entry(table, 200).r, 255);
    EXPECT_EQ(entry(table, 200).g, 255 * (200 - 128) / 127);
    // Blue starts at 128 + 63 = 191.
    EXPECT_EQ(entry(table, 190).b, 0);
    EXPECT_GT(entry(table, 200).b, 0);
}

TEST(AquaPaletteTable, ModifierZeroRunsFromBlueToGreen)
{
    const auto table = AquaPalette::table(0);
    const Rgb first = entry(table, 0);
    EXPECT_EQ(first.r, 8);
    EXPECT_EQ(first.g, 40);
    EXPECT_EQ(first.b, 128);
    const Rgb middle = entry(table, 100);
    EXPECT_EQ(middle.r, static_cast<int>(8 + 100.0 / 255 * 42));
    EXPECT_EQ(middle.g, static_cast<int>(40 + 100.0 / 255 * 210));
    EXPECT_EQ(middle.b, static_cast<int>(128 - 100.0 / 255 * 64));
    const Rgb last = entry(table, 255);
    EXPECT_EQ(last.r, 50);
    EXPECT_EQ(last.g, 250);
    EXPECT_EQ(last.b, 64);
    EXPECT_EQ(alpha(table, 255), 255);
}

TEST(AquaPaletteTable, ModifierMaximumRunsFromNavyToBlueAndEndsOnBlue)
{
    const auto table = AquaPalette::table(255);
    const Rgb first = entry(table, 0);
    EXPECT_EQ(first.r, 0);
    EXPECT_EQ(first.g, 0);
    EXPECT_EQ(first.b, 64);
    const Rgb middle = entry(table, 128);
    EXPECT_EQ(middle.g, static_cast<int>(128.0 / 255 * 40));
    EXPECT_EQ(middle.b, static_cast<int>(64 + 128.0 / 255 * 64));
    const Rgb last = entry(table, 255);
    EXPECT_EQ(last.r, 8);
    EXPECT_EQ(last.g, 40);
    EXPECT_EQ(last.b, 128);
}

TEST(DynamicPaletteModifier, IgnoredWhileAStandardPaletteIsSelected)
{
    FanGeometryEngine engine;
    engine.setPalette(6);
    engine.setPaletteModifier(40);
    engine.setPalette(2);
    engine.setPaletteModifier(99);
    EXPECT_EQ(engine.getFirePalette().getModifier(), 40);
    EXPECT_EQ(engine.getAquaPalette().getModifier(), 0);
    EXPECT_EQ(engine.currentSettings().paletteModifier, 0);
    engine.setPalette(6);
    EXPECT_EQ(engine.currentSettings().paletteModifier, 40);
}

TEST(DynamicPaletteModifier, TableIsRegeneratedOncePerDrawAfterAChangeOnly)
{
    ensureApplication();
    FanDisplay display;
    display.resize(200, 120);
    display.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
    display.newImageReceived(Testing::constantImage(64, 32, 10.0, 128));
    display.setPalette(FanDisplayOptions::DynamicFire);
    display.grabFramebuffer();
    const auto& fire = display.getEngine().getFirePalette();
    const int afterFirstDraw = fire.getGenerationCount();

    display.grabFramebuffer();
    EXPECT_EQ(fire.getGenerationCount(), afterFirstDraw) << "a draw without a change regenerated";

    display.setPaletteModifier(10);
    display.setPaletteModifier(10);
    display.grabFramebuffer();
    EXPECT_EQ(fire.getGenerationCount(), afterFirstDraw + 1);
    display.setPaletteModifier(10);
    display.grabFramebuffer();
    EXPECT_EQ(fire.getGenerationCount(), afterFirstDraw + 2);
}

TEST(VisualisationResources, DevicePicturesAreRegisteredUnderTheLibraryPrefix)
{
    ensureApplication();
    const QImage picture(QStringLiteral(":/keldar-ondrix-visualisation/icons/devices/Ondrix.png"));
    EXPECT_FALSE(picture.isNull());
}
