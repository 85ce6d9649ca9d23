#include "support/MessageBytes.h"

#include <keldar/ondrix/MessageParsing.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace Keldar::Ondrix;
using Keldar::Ondrix::Testing::MessageBytes;

namespace {

MessageBytes headerWith(std::uint8_t first, std::uint8_t second)
{
    MessageBytes message(16);
    message.raw(0, {first, second}).u16(2, 0xBEEF).u16(6, 0x23).u16(8, 2).u16(14, 1229);
    return message;
}

const std::vector<std::pair<std::string, std::function<void(const std::vector<std::byte>&)>>> headerFunctions{
    {"getMessageType", [](const auto& m) { MessageParsing::getMessageType(m); }},
    {"getMessageVersion", [](const auto& m) { MessageParsing::getMessageVersion(m); }},
    {"getModelNumber", [](const auto& m) { MessageParsing::getModelNumber(m); }},
    {"getSerialNumber", [](const auto& m) { MessageParsing::getSerialNumber(m); }},
};

} // namespace

TEST(MessageHeaderMagic, LittleEndianMagicIsAccepted)
{
    const MessageBytes message = headerWith(0x7C, 0x3A);
    EXPECT_EQ(MessageParsing::getMessageType(message), MessageType::SimplePingResult);
    EXPECT_EQ(MessageParsing::getMessageVersion(message), 2);
    EXPECT_EQ(MessageParsing::getModelNumber(message), static_cast<ModelNumber>(1229));
    EXPECT_EQ(MessageParsing::getSerialNumber(message), 0xBEEF);
}

TEST(MessageHeaderMagic, ByteSwappedMagicIsRejectedByEveryHeaderFunction)
{
    const MessageBytes message = headerWith(0x3A, 0x7C);
    for (const auto& [name, function] : headerFunctions) {
        EXPECT_THROW(function(message), BadlyFormedMessageError) << name;
    }
}

TEST(MessageHeaderMagic, RejectionCarriesTheUserFacingText)
{
    try {
        MessageParsing::getMessageType(headerWith(0x00, 0x00));
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "The supplied bytes are not a well formed Ondrix message.");
    }
}

TEST(MessageHeaderLength, VectorsShorterThanAHeaderAreRejected)
{
    for (std::size_t size : {0U, 1U, 2U, 8U, 15U}) {
        MessageBytes message(size);
        if (size >= 2) {
            message.raw(0, {0x7C, 0x3A});
        }
        for (const auto& [name, function] : headerFunctions) {
            EXPECT_THROW(function(message), BadlyFormedMessageError) << name << " with " << size << " bytes";
        }
    }
}

TEST(MessageHeaderFields, EachFunctionReadsItsOwnOffset)
{
    // Distinct values in every header field, so that a swapped offset shows.
    MessageBytes message(16);
    message.raw(0, {0x7C, 0x3A}).u16(2, 0x1111).u16(4, 0x2222).u16(6, 0x0055).u16(8, 0x0007).u32(10, 0).u16(14, 4713);
    EXPECT_EQ(MessageParsing::getSerialNumber(message), 0x1111);
    EXPECT_EQ(MessageParsing::getMessageType(message), MessageType::UserConfig);
    EXPECT_EQ(MessageParsing::getMessageVersion(message), 7);
    EXPECT_EQ(MessageParsing::getModelNumber(message), ModelNumber::QuillonA4713);
}

TEST(MessageHeaderFields, UnlistedIdsAndLargeVersionsPassThroughUnchanged)
{
    MessageBytes message(16);
    message.raw(0, {0x7C, 0x3A}).u16(6, 0x80).u16(8, 0xFFFF);
    EXPECT_EQ(static_cast<int>(MessageParsing::getMessageType(message)), 0x80);
    EXPECT_EQ(MessageParsing::getMessageVersion(message), 65535);
}

// Literal bytes as a sonar sends them, so that the reading does not merely
// mirror our own builder: the first number of the text is the u32's most
// significant byte, the last byte on the wire.
TEST(UserConfigReply, AddressAndMaskTextAndDhcpFromTheWireBytes)
{
    const auto bytes = [](std::initializer_list<int> values) {
        std::vector<std::byte> out;
        for (const int v : values) {
            out.push_back(static_cast<std::byte>(v));
        }
        return out;
    };
    std::vector<std::byte> reply = bytes({0x7C, 0x3A, 0x21, 0x43, 0x00, 0x00, 0x55, 0x00,
                                          0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x08, 0x04, // header, part 1032
                                          0x0A, 0x01, 0xA8, 0xC0,                         // address
                                          0x00, 0xFF, 0xFF, 0xFF,                         // mask
                                          0x00, 0x00, 0x00, 0x00});                       // static address
    EXPECT_EQ(MessageParsing::parseUserConfig(reply),
              (MessageParsing::NetworkConfiguration{false, "192.168.1.10", "255.255.255.0"}));
    reply[25] = std::byte{0x01}; // any non-zero DHCP word means DHCP
    EXPECT_TRUE(MessageParsing::parseUserConfig(reply).dhcp);

    reply.pop_back();
    EXPECT_THROW(MessageParsing::parseUserConfig(reply), BadlyFormedMessageError);
}
