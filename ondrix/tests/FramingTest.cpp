#include "support/MessageBytes.h"

#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/MessageParsing.h>

#include <gtest/gtest.h>

using namespace Keldar::Ondrix;
using Keldar::Ondrix::MessageParsing::FrameStatus;
using Keldar::Ondrix::Testing::MessageBytes;

TEST(StreamFraming, FewerThanSixteenBytesIsIncompleteEvenWithGoodMagic)
{
    MessageBytes buffer(15);
    buffer.raw(0, {0x7C, 0x3A});
    EXPECT_EQ(MessageParsing::examineFrame(buffer).status, FrameStatus::Incomplete);
    EXPECT_EQ(MessageParsing::examineFrame(std::vector<std::byte>{}).status, FrameStatus::Incomplete);
}

TEST(StreamFraming, WrongMagicAtSixteenBytesIsGarbage)
{
    MessageBytes buffer(16);
    buffer.raw(0, {0x4F, 0x53});
    EXPECT_EQ(MessageParsing::examineFrame(buffer).status, FrameStatus::Garbage);
    MessageBytes swapped(40);
    swapped.raw(0, {0x3A, 0x7C});
    EXPECT_EQ(MessageParsing::examineFrame(swapped).status, FrameStatus::Garbage);
}

TEST(StreamFraming, MessageIsCompleteOnlyWhenItsLastByteHasArrived)
{
    const std::vector<std::byte> message = MessageBuilding::buildFireRequest({}, 1, false);
    for (std::size_t have = 16; have < message.size(); ++have) {
        EXPECT_EQ(MessageParsing::examineFrame(message.data(), have).status, FrameStatus::Incomplete) << have;
    }
    const auto frame = MessageParsing::examineFrame(message);
    EXPECT_EQ(frame.status, FrameStatus::Complete);
    EXPECT_EQ(frame.length, 89U);
}

TEST(StreamFraming, LengthCoversOnlyTheFirstOfTwoBufferedMessages)
{
    std::vector<std::byte> buffer = MessageBuilding::buildUserConfig(7);
    const std::vector<std::byte> second = MessageBuilding::buildFireRequest({}, 7, false);
    buffer.insert(buffer.end(), second.begin(), second.end());
    const auto first = MessageParsing::examineFrame(buffer);
    ASSERT_EQ(first.status, FrameStatus::Complete);
    EXPECT_EQ(first.length, 28U);
    const auto next = MessageParsing::examineFrame(buffer.data() + first.length, buffer.size() - first.length);
    EXPECT_EQ(next.status, FrameStatus::Complete);
    EXPECT_EQ(next.length, 89U);
}

TEST(StreamFraming, HeaderOnlyMessageIsComplete)
{
    MessageBytes buffer(16);
    buffer.header(0x80, 0);
    const auto frame = MessageParsing::examineFrame(buffer);
    EXPECT_EQ(frame.status, FrameStatus::Complete);
    EXPECT_EQ(frame.length, 16U);
}

TEST(StreamFraming, OversizedOrWrappingPayloadSizeIsGarbage)
{
    // 0xFFFFFFF0 + 16 wraps to 0 in 32 bits; neither it nor a merely huge
    // size may be waited for, which would buffer without bound.
    MessageBytes buffer(64);
    buffer.raw(0, {0x7C, 0x3A}).u32(10, 0xFFFFFFF0U);
    EXPECT_EQ(MessageParsing::examineFrame(buffer).status, FrameStatus::Garbage);
    buffer.u32(10, 0xFFFFFFFFU);
    EXPECT_EQ(MessageParsing::examineFrame(buffer).status, FrameStatus::Garbage);
    buffer.u32(10, static_cast<std::uint32_t>(MessageParsing::maximumMessageSize) - 15U);
    EXPECT_EQ(MessageParsing::examineFrame(buffer).status, FrameStatus::Garbage);
    buffer.u32(10, static_cast<std::uint32_t>(MessageParsing::maximumMessageSize) - 16U);
    const auto largest = MessageParsing::examineFrame(buffer);
    EXPECT_EQ(largest.status, FrameStatus::Incomplete);
    EXPECT_EQ(largest.length, MessageParsing::maximumMessageSize);
}
