#include "support/MessageBytes.h"

#include <keldar/ondrix/MessageParsing.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace Keldar::Ondrix;
using Keldar::Ondrix::Testing::MessageBytes;

// Every parser must refuse a message whose own fields point outside it. Run
// under AddressSanitizer these tests also prove that nothing reads past the end.

namespace {

struct LayoutCase
{
    std::string name;
    std::size_t fixedSize;
    std::size_t beamCountOffset;
    std::size_t imageOffsetOffset;
    std::size_t imageSizeOffset;
    std::size_t sampleCodeOffset;
    std::function<void(const std::vector<std::byte>&)> parse;
};

class MalformedResult : public ::testing::TestWithParam<LayoutCase>
{
protected:
    // A valid message of this layout: `beams` bearings, then `imageSize` samples.
    MessageBytes validMessage(std::uint16_t beams, std::uint32_t imageSize) const
    {
        const LayoutCase& layout = GetParam();
        const std::size_t imageOffset = layout.fixedSize + 2U * beams;
        MessageBytes message(imageOffset + imageSize);
        message.header(0x23, 1)
            .u16(layout.beamCountOffset, beams)
            .u32(layout.imageOffsetOffset, static_cast<std::uint32_t>(imageOffset))
            .u32(layout.imageSizeOffset, imageSize);
        return message;
    }
};

} // namespace

TEST_P(MalformedResult, ValidMessageIsAccepted)
{
    // The baseline the other cases break one field at a time.
    EXPECT_NO_THROW(GetParam().parse(validMessage(4, 16)));
}

TEST_P(MalformedResult, EmptyAndHeaderOnlyInputsAreRejected)
{
    EXPECT_THROW(GetParam().parse(std::vector<std::byte>{}), BadlyFormedMessageError);
    MessageBytes headerOnly(16);
    headerOnly.header(0x23, 1);
    EXPECT_THROW(GetParam().parse(headerOnly), BadlyFormedMessageError);
}

TEST_P(MalformedResult, FixedPartCutShortByOneByteIsRejected)
{
    MessageBytes message(GetParam().fixedSize - 1);
    message.header(0x23, 1);
    EXPECT_THROW(GetParam().parse(message), BadlyFormedMessageError);
}

TEST_P(MalformedResult, BearingTablePastTheEndIsRejected)
{
    const LayoutCase& layout = GetParam();
    MessageBytes message = validMessage(4, 0);
    message.u16(layout.beamCountOffset, 5); // one bearing more than the bytes hold
    EXPECT_THROW(layout.parse(message), BadlyFormedMessageError);
    message.u16(layout.beamCountOffset, 0xFFFF);
    EXPECT_THROW(layout.parse(message), BadlyFormedMessageError);
}

TEST_P(MalformedResult, ImageEndingOneBytePastTheEndIsRejected)
{
    const LayoutCase& layout = GetParam();
    MessageBytes message = validMessage(2, 8);
    message.u32(layout.imageSizeOffset, 9);
    EXPECT_THROW(layout.parse(message), BadlyFormedMessageError);
}

TEST_P(MalformedResult, ImageOffsetPastTheEndIsRejected)
{
    const LayoutCase& layout = GetParam();
    MessageBytes message = validMessage(2, 8);
    const auto size = static_cast<std::uint32_t>(message.bytes().size());
    message.u32(layout.imageSizeOffset, 0).u32(layout.imageOffsetOffset, size + 1);
    EXPECT_THROW(layout.parse(message), BadlyFormedMessageError);
    // Exactly at the end with no samples is fine: nothing is read.
    message.u32(layout.imageOffsetOffset, size);
    EXPECT_NO_THROW(layout.parse(message));
}

TEST_P(MalformedResult, OffsetPlusSizeThatWrapsIn32BitsIsRejected)
{
    const LayoutCase& layout = GetParam();
    MessageBytes message = validMessage(2, 8);
    // 0xFFFFFFF8 + 0x10 wraps to 8 in 32-bit arithmetic, which would look in range.
    message.u32(layout.imageOffsetOffset, 0xFFFFFFF8U).u32(layout.imageSizeOffset, 0x10);
    EXPECT_THROW(layout.parse(message), BadlyFormedMessageError);
    message.u32(layout.imageOffsetOffset, 4).u32(layout.imageSizeOffset, 0xFFFFFFFFU);
    EXPECT_THROW(layout.parse(message), BadlyFormedMessageError);
}

TEST_P(MalformedResult, FourBitImagePastTheEndIsRejected)
{
    const LayoutCase& layout = GetParam();
    MessageBytes message = validMessage(0, 4);
    message.u32(layout.imageSizeOffset, 5).u8(layout.sampleCodeOffset, 4);
    EXPECT_THROW(layout.parse(message), BadlyFormedMessageError);
}

INSTANTIATE_TEST_SUITE_P(AllResultLayouts, MalformedResult,
                         ::testing::Values(LayoutCase{"PingV1", 122, 108, 110, 114, 97,
                                                      [](const auto& m) { MessageParsing::parseSimplePingResult(m); }},
                                           LayoutCase{
                                               "PingV2", 202, 172, 190, 194, 161,
                                               [](const auto& m) { MessageParsing::parseSimplePingResultV2(m); }},
                                           LayoutCase{"FullFire", 588, 73, 576, 580, 84,
                                                      [](const auto& m) { MessageParsing::parseFullFireResult(m); }}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });
