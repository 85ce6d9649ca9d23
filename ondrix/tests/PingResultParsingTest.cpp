#include "support/MessageBytes.h"

#include <keldar/ondrix/MessageParsing.h>

#include <gtest/gtest.h>

#include <numeric>

using namespace Keldar::Ondrix;
using Keldar::Ondrix::Testing::MessageBytes;

// Messages here are laid out by hand from literal offsets, independently of
// the library's layout constants and of its builders.

TEST(PingResultV1Parsing, BearingTableFollowsTheFixedPartAndImageOffsetCountsFromMessageStart)
{
    constexpr std::size_t beams = 256;
    constexpr std::size_t ranges = 2;
    constexpr std::size_t gap = 10;                // unused bytes after the table
    constexpr std::size_t imageOffset = 634 + gap; // table occupies 122..633
    MessageBytes message(imageOffset + beams * ranges);
    message.header(0x23, 1)
        .f64(21, 15.0)
        .f64(29, 66.0)
        .f64(45, 0.25)
        .f64(61, 1200000.0)
        .f64(69, 10.0)
        .f64(77, 2.0)
        .u8(97, 1)
        .u16(106, ranges)
        .u16(108, beams)
        .u32(110, imageOffset)
        .u32(114, beams * ranges);
    for (std::size_t i = 0; i < beams; ++i) {
        message.u16(122 + 2 * i, static_cast<std::uint16_t>(static_cast<std::int16_t>(i * 10 - 1280)));
    }
    for (std::size_t i = 0; i < gap; ++i) {
        message.u8(634 + i, 0xEE); // would show up in the samples if the offset were misread
    }
    for (std::size_t i = 0; i < beams * ranges; ++i) {
        message.u8(imageOffset + i, static_cast<std::uint8_t>(i % 251));
    }

    const MessageParsing::ParsedSimpleFire parsed = MessageParsing::parseSimplePingResult(message);
    const OndrixImage& image = parsed.image;
    EXPECT_EQ(image.getWidth(), beams);
    EXPECT_EQ(image.getHeight(), ranges);
    EXPECT_EQ(image.getRange(), 15.0);
    EXPECT_EQ(image.getGain(), 66.0);
    EXPECT_EQ(image.getFrequency(), 1200000.0);
    ASSERT_EQ(image.getBearings().size(), beams);
    EXPECT_EQ(image.getBearings().front(), -1280);
    EXPECT_EQ(image.getBearings()[128], 0);
    EXPECT_EQ(image.getBearings().back(), 1270);
    ASSERT_EQ(image.getData().size(), beams * ranges);
    EXPECT_EQ(image.getData().front(), 0);
    EXPECT_EQ(image.getData()[300], 300 % 251);
    EXPECT_EQ(parsed.echoValue, 0.25);
}

TEST(PingResultV1Parsing, PressureBecomesPascalAndTemperatureKelvin)
{
    MessageBytes message(122);
    message.header(0x23, 1).f64(69, 12.5).f64(77, 1.5).u32(110, 122).u32(114, 0);
    const auto parsed = MessageParsing::parseSimplePingResult(message);
    EXPECT_NEAR(parsed.pressure, 150000.0, 1e-6);
    EXPECT_NEAR(parsed.temperature, 285.65, 1e-9);
}

TEST(PingResultV2Parsing, ReadsEveryFieldFromItsOwnOffset)
{
    constexpr std::size_t beams = 4;
    MessageBytes message(202 + 2 * beams + 8);
    message.header(0x23, 2)
        .f64(21, 30.0)
        .f64(29, 55.5)
        .f64(45, -3.0)
        .f64(97, 750000.0)
        .f64(105, -1.5)
        .f64(113, 0.5)
        .f64(129, 1.0 / 3.0)
        .f64(137, -12.75)
        .u8(161, 8)
        .u16(170, 2)
        .u16(172, beams)
        .u32(190, 210)
        .u32(194, 8);
    message.u16(202, static_cast<std::uint16_t>(-6000)).u16(204, static_cast<std::uint16_t>(-2000));
    message.u16(206, 2000).u16(208, 6000);
    message.raw(210, {10, 20, 30, 40, 50, 60, 70, 80});

    const auto parsed = MessageParsing::parseSimplePingResultV2(message);
    EXPECT_EQ(parsed.image.getWidth(), beams);
    EXPECT_EQ(parsed.image.getHeight(), 2);
    EXPECT_EQ(parsed.image.getRange(), 30.0);
    EXPECT_EQ(parsed.image.getGain(), 55.5);
    EXPECT_EQ(parsed.image.getFrequency(), 750000.0);
    EXPECT_EQ(parsed.image.getBearings(), (std::vector<std::int16_t>{-6000, -2000, 2000, 6000}));
    EXPECT_EQ(parsed.image.getData(), (std::vector<std::uint8_t>{10, 20, 30, 40, 50, 60, 70, 80}));
    EXPECT_EQ(parsed.echoValue, -3.0);
    EXPECT_NEAR(parsed.pressure, 50000.0, 1e-6);
    EXPECT_NEAR(parsed.temperature, 271.65, 1e-9);
    EXPECT_EQ(parsed.attitude.pitch, static_cast<float>(1.0 / 3.0));
    EXPECT_EQ(parsed.attitude.roll, -12.75F);
}

TEST(PingResultV2Parsing, ThirdAttitudeComponentIsZeroWhateverFollows)
{
    MessageBytes message(202);
    message.header(0x23, 2).f64(129, 5.0).f64(137, 6.0).f64(145, 99.0).u32(190, 202);
    const auto parsed = MessageParsing::parseSimplePingResultV2(message);
    EXPECT_EQ(parsed.attitude.pitch, 5.0F);
    EXPECT_EQ(parsed.attitude.roll, 6.0F);
    EXPECT_EQ(parsed.attitude.yaw, 0.0F);
}

TEST(PingResultV2Parsing, ParsersDoNotCheckIdOrVersion)
{
    // The caller has already chosen the layout from the header.
    MessageBytes message(202);
    message.header(0x99, 7).f64(21, 4.0).u32(190, 202);
    EXPECT_EQ(MessageParsing::parseSimplePingResultV2(message).image.getRange(), 4.0);
}

TEST(FullFireResultParsing, ReadsItsScatteredFields)
{
    constexpr std::size_t beams = 3;
    MessageBytes message(588 + 2 * beams + 6);
    message.header(0x22, 1)
        .f64(25, 50.0)
        .f64(33, 550000.0)
        .f64(49, 7.0)
        .u16(73, beams)
        .u8(84, 0)
        .f64(166, 80.0)
        .f64(471, 20.0)
        .f64(479, 3.0)
        .u16(555, 2)
        .u32(576, 594)
        .u32(580, 6);
    message.u16(588, static_cast<std::uint16_t>(-100)).u16(590, 0).u16(592, 100);
    message.raw(594, {1, 2, 3, 4, 5, 6});

    const auto parsed = MessageParsing::parseFullFireResult(message);
    EXPECT_EQ(parsed.image.getWidth(), beams);
    EXPECT_EQ(parsed.image.getHeight(), 2);
    EXPECT_EQ(parsed.image.getRange(), 50.0);
    EXPECT_EQ(parsed.image.getGain(), 80.0);
    EXPECT_EQ(parsed.image.getFrequency(), 550000.0);
    EXPECT_EQ(parsed.image.getBearings(), (std::vector<std::int16_t>{-100, 0, 100}));
    EXPECT_EQ(parsed.image.getData(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(parsed.echoValue, 7.0);
    EXPECT_NEAR(parsed.pressure, 300000.0, 1e-6);
    EXPECT_NEAR(parsed.temperature, 293.15, 1e-9);
}

TEST(FourBitSampleParsing, EachByteBecomesLowNibbleThenHighNibble)
{
    MessageBytes message(122 + 3);
    message.header(0x23, 1).u8(97, 4).u16(106, 2).u16(108, 0).u32(110, 122).u32(114, 3);
    message.raw(122, {0xAB, 0x12, 0xF0});
    const auto parsed = MessageParsing::parseSimplePingResult(message);
    EXPECT_EQ(parsed.image.getData(), (std::vector<std::uint8_t>{0xB0, 0xA0, 0x20, 0x10, 0x00, 0xF0}));
}

TEST(FourBitSampleParsing, AppliesToV2AndFullFireLayoutsToo)
{
    MessageBytes v2(203);
    v2.header(0x23, 2).u8(161, 4).u32(190, 202).u32(194, 1).u8(202, 0xAB);
    EXPECT_EQ(MessageParsing::parseSimplePingResultV2(v2).image.getData(), (std::vector<std::uint8_t>{0xB0, 0xA0}));

    MessageBytes full(589);
    full.header(0x22, 1).u8(84, 4).u32(576, 588).u32(580, 1).u8(588, 0xAB);
    EXPECT_EQ(MessageParsing::parseFullFireResult(full).image.getData(), (std::vector<std::uint8_t>{0xB0, 0xA0}));
}

TEST(FourBitSampleParsing, OtherSampleCodesCopyBytesUnchanged)
{
    for (std::uint8_t code : {0, 1, 2, 3, 5, 8, 255}) {
        MessageBytes message(123);
        message.header(0x23, 1).u8(97, code).u32(110, 122).u32(114, 1).u8(122, 0xAB);
        EXPECT_EQ(MessageParsing::parseSimplePingResult(message).image.getData(), (std::vector<std::uint8_t>{0xAB}))
            << "code " << int{code};
    }
}

TEST(FourBitExpansion, InPlaceAndBufferFormsAgree)
{
    std::vector<std::uint8_t> packed(517);
    std::iota(packed.begin(), packed.end(), std::uint8_t{3});
    std::vector<std::uint8_t> out(2 * packed.size());
    MessageParsing::expandFourBitSamples(packed.data(), packed.size(), out.data());

    std::vector<std::uint8_t> inPlace = packed;
    MessageParsing::expandFourBitSamples(inPlace);
    EXPECT_EQ(inPlace, out);
    for (std::size_t i = 0; i < packed.size(); ++i) {
        ASSERT_EQ(out[2 * i], static_cast<std::uint8_t>((packed[i] & 0x0F) << 4)) << i;
        ASSERT_EQ(out[2 * i + 1], packed[i] & 0xF0) << i;
    }
}

TEST(FourBitExpansion, EmptyInputStaysEmpty)
{
    std::vector<std::uint8_t> samples;
    MessageParsing::expandFourBitSamples(samples);
    EXPECT_TRUE(samples.empty());
}
