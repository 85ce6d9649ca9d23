#include <keldar/core/DottedQuadValue.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using Keldar::DottedQuadValue;

namespace {

// Runs `action` and returns the message of the exception type it threw.
template<typename Exception, typename Action>
std::string messageOf(Action action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.what();
    }
    return "<no exception>";
}

} // namespace

TEST(DottedQuadConversion, DefaultIsAllZero)
{
    const DottedQuadValue value;
    EXPECT_EQ(value.toString(), "0.0.0.0");
    EXPECT_EQ(value.toUint32_t(true), 0U);
}

TEST(DottedQuadConversion, IntegerByteOrderFollowsFlag)
{
    const DottedQuadValue unswapped(0x0A01A8C0U, false);
    EXPECT_EQ(unswapped.getOctet(0), 0xC0);
    EXPECT_EQ(unswapped.toString(false), "192.168.1.10");
    const DottedQuadValue swapped(0xC0A8010AU, true);
    EXPECT_EQ(swapped.getOctet(0), 0xC0);
    EXPECT_EQ(swapped.toString(false), "192.168.1.10");
    EXPECT_EQ(unswapped, swapped);
}

TEST(DottedQuadConversion, TextRoundTripsWithEitherFlag)
{
    for (const bool swapped : {false, true}) {
        const DottedQuadValue value("192.168.1.10", swapped);
        const DottedQuadValue again(value.toUint32_t(swapped), swapped);
        EXPECT_EQ(again.toString(swapped), "192.168.1.10");
    }
}

TEST(DottedQuadConversion, SwappedTextReversesOctets)
{
    const DottedQuadValue value("1.2.3.4", true);
    EXPECT_EQ(value.getOctet(0), 4);
    EXPECT_EQ(value.toString(false), "4.3.2.1");
    EXPECT_EQ(value.toString(true), "1.2.3.4");
    EXPECT_EQ(value.toUint32_t(false), 0x01020304U);
    EXPECT_EQ(value.toUint32_t(true), 0x04030201U);
}

TEST(DottedQuadConversion, IntegerRoundTripsForManyValues)
{
    for (const std::uint32_t v : {0U, 1U, 0xFFFFFFFFU, 0x80000000U, 0x12345678U, 0xFFFFFF00U}) {
        for (const bool swapped : {false, true}) {
            const DottedQuadValue value(v, swapped);
            EXPECT_EQ(value.toUint32_t(swapped), v);
            EXPECT_EQ(DottedQuadValue(value.toString(swapped), swapped).toUint32_t(swapped), v);
        }
    }
}

TEST(DottedQuadParsing, NonNumberPartIsInvalidArgument)
{
    EXPECT_EQ(messageOf<std::invalid_argument>([] { DottedQuadValue("192.abc.1.10"); }), "invalid stoul argument");
    EXPECT_EQ(messageOf<std::invalid_argument>([] { DottedQuadValue("192..1.10"); }), "invalid stoul argument");
}

TEST(DottedQuadParsing, SignsSpacesAndTrailingTextAreRejected)
{
    for (const char* text : {"-1.0.0.0", "+1.0.0.0", " 1.0.0.0", "1.0.0.0 ", "1x.0.0.0"}) {
        EXPECT_THROW(DottedQuadValue{std::string(text)}, std::invalid_argument) << text;
    }
}

TEST(DottedQuadParsing, HugeNumberIsOutOfRange)
{
    EXPECT_EQ(messageOf<std::out_of_range>([] { DottedQuadValue("99999999999999999999999.1.1.1"); }),
              "stoul argument out of range");
}

// A part above 255 would otherwise be cut to 8 bits and quietly name another host.
TEST(DottedQuadParsing, OctetAbove255IsOutOfRange)
{
    EXPECT_THROW(DottedQuadValue("256.0.0.1"), std::out_of_range);
    EXPECT_THROW(DottedQuadValue("10.0.0.300"), std::out_of_range);
    EXPECT_NO_THROW(DottedQuadValue("255.255.255.255"));
    EXPECT_EQ(DottedQuadValue("010.001.000.255").toString(), "10.1.0.255");
}

TEST(DottedQuadParsing, WrongPartCountIsInvalidArgument)
{
    for (const char* text : {"", "1.2.3", "1.2.3.4.5", "1", "1.2.3.4."}) {
        const auto message = messageOf<std::invalid_argument>([text] { DottedQuadValue{std::string(text)}; });
        EXPECT_NE(message.find("four parts"), std::string::npos) << text << ": " << message;
    }
}
