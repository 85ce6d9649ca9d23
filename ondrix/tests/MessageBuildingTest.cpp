#include "support/MessageBytes.h"

#include <keldar/ondrix/MessageBuilding.h>

#include <gtest/gtest.h>

using namespace Keldar::Ondrix;
using namespace Keldar::Ondrix::Testing;

namespace {

std::uint8_t flagsFor(const OperationParameters& parameters, bool onDemand)
{
    return byteAt(MessageBuilding::buildFireRequest(parameters, 0, onDemand), 20);
}

bool zeroFrom(const std::vector<std::byte>& bytes, std::size_t first, std::size_t last)
{
    for (std::size_t i = first; i <= last; ++i) {
        if (bytes.at(i) != std::byte{0}) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(FireRequestLayout, HeaderAddressesTheSonarByItsLowSerialBits)
{
    const auto message = MessageBuilding::buildFireRequest({}, 0x00ABCDEFU, false);
    ASSERT_EQ(message.size(), 89U);
    EXPECT_EQ(byteAt(message, 0), 0x7C);
    EXPECT_EQ(byteAt(message, 1), 0x3A);
    EXPECT_EQ(u16At(message, 2), 0);      // host source id
    EXPECT_EQ(u16At(message, 4), 0xCDEF); // low 16 bits of the serial
    EXPECT_EQ(u16At(message, 6), 0x15);
    EXPECT_EQ(u16At(message, 8), 2);
    EXPECT_EQ(u32At(message, 10), 73U);
    EXPECT_EQ(u16At(message, 14), 0);
}

TEST(FireRequestLayout, ParametersLandAtTheirOffsets)
{
    OperationParameters parameters;
    parameters.range = 37.5;
    parameters.gain = 12.25;
    parameters.frequency = Frequency::High;
    parameters.pingRate = PingRate::Rate2Hz;
    parameters.bandwidth = 17;
    parameters.gamma = 200;
    parameters.speedOfSound = 1500.0; // never sent
    parameters.salinity = 35.0;       // never sent
    const auto message = MessageBuilding::buildFireRequest(parameters, 1, false);
    EXPECT_EQ(byteAt(message, 16), 2);
    EXPECT_EQ(byteAt(message, 17), 4);
    EXPECT_EQ(byteAt(message, 18), 17);
    EXPECT_EQ(byteAt(message, 19), 200);
    EXPECT_EQ(f64At(message, 21), 37.5);
    EXPECT_EQ(f64At(message, 29), 12.25);
    EXPECT_EQ(f64At(message, 37), 0.0);
    EXPECT_EQ(f64At(message, 45), 0.0);
    EXPECT_TRUE(zeroFrom(message, 37, 52));
    EXPECT_TRUE(zeroFrom(message, 57, 88));
}

TEST(FireRequestLayout, DefaultParametersGiveTheDocumentedBytes)
{
    const auto message = MessageBuilding::buildFireRequest({}, 1, false);
    EXPECT_EQ(byteAt(message, 16), 1);   // low frequency
    EXPECT_EQ(byteAt(message, 17), 1);   // 15 Hz code
    EXPECT_EQ(byteAt(message, 18), 255); // bandwidth
    EXPECT_EQ(byteAt(message, 19), 128); // gamma
    EXPECT_EQ(f64At(message, 21), 2.5);
    EXPECT_EQ(f64At(message, 29), 50.0);
    EXPECT_EQ(u32At(message, 53), 4U); // gain boost is on by default
}

TEST(FireRequestFlags, BaseFlagsAloneWhenNothingIsEnabled)
{
    EXPECT_EQ(flagsFor({}, false), 0x09);
    OperationParameters assist;
    assist.gainAssist = true;
    EXPECT_EQ(flagsFor(assist, false), 0x19);
}

TEST(FireRequestFlags, EachOptionSetsItsOwnBit)
{
    OperationParameters lowPower;
    lowPower.lowPowerMode = true;
    EXPECT_EQ(flagsFor(lowPower, false), 0x29);
    OperationParameters fullBeams;
    fullBeams.fullBeams = true;
    EXPECT_EQ(flagsFor(fullBeams, false), 0x49);
}

TEST(FireRequestFlags, CombinationsAddUp)
{
    OperationParameters parameters;
    parameters.gainAssist = true;
    parameters.fullBeams = true;
    EXPECT_EQ(flagsFor(parameters, false), 0x59);
    parameters.lowPowerMode = true;
    EXPECT_EQ(flagsFor(parameters, false), 0x79);
    EXPECT_EQ(flagsFor(parameters, true), 0xF9);
}

TEST(FireRequestFlags, OnDemandModeSetsTheTopBit)
{
    OperationParameters parameters;
    parameters.gainBoost = false;
    EXPECT_EQ(flagsFor(parameters, true), 0x89);
}

TEST(FireRequestFlags, GainBoostLivesInTheExtendedFlagsOnly)
{
    OperationParameters off;
    off.gainBoost = false;
    const auto withoutBoost = MessageBuilding::buildFireRequest(off, 1, false);
    const auto withBoost = MessageBuilding::buildFireRequest({}, 1, false);
    EXPECT_EQ(u32At(withoutBoost, 53), 0U);
    EXPECT_EQ(u32At(withBoost, 53), 4U);
    EXPECT_EQ(byteAt(withoutBoost, 20), byteAt(withBoost, 20));
}

TEST(UserConfigLayout, ZeroFormIsHeaderAndTwelveZeroBytes)
{
    const auto message = MessageBuilding::buildUserConfig(0x00010203U);
    ASSERT_EQ(message.size(), 28U);
    EXPECT_EQ(byteAt(message, 0), 0x7C);
    EXPECT_EQ(byteAt(message, 1), 0x3A);
    EXPECT_EQ(u16At(message, 2), 0);
    EXPECT_EQ(u16At(message, 4), 0x0203);
    EXPECT_EQ(u16At(message, 6), 0x55);
    EXPECT_EQ(u16At(message, 8), 0);
    EXPECT_EQ(u32At(message, 10), 12U);
    EXPECT_EQ(u16At(message, 14), 0);
    EXPECT_TRUE(zeroFrom(message, 16, 27));
}

TEST(UserConfigLayout, FilledFormCarriesAddressMaskAndDhcp)
{
    const auto message = MessageBuilding::buildUserConfig(5, false, 0x0A01A8C0U, 0x00FFFFFFU);
    ASSERT_EQ(message.size(), 28U);
    EXPECT_EQ(u32At(message, 16), 0x0A01A8C0U);
    EXPECT_EQ(u32At(message, 20), 0x00FFFFFFU);
    EXPECT_EQ(u32At(message, 24), 0U);
    EXPECT_EQ(u32At(MessageBuilding::buildUserConfig(5, true, 0, 0), 24), 1U);
}

TEST(UserConfigLayout, SonarReplyCarriesItsSourceAndPartNumber)
{
    const auto message = MessageBuilding::buildUserConfigReply(0x4321, ModelNumber::RostrelA1032, true, 1, 2);
    ASSERT_EQ(message.size(), 28U);
    EXPECT_EQ(u16At(message, 2), 0x4321);
    EXPECT_EQ(u16At(message, 6), 0x55);
    EXPECT_EQ(u16At(message, 14), 1032);
    EXPECT_EQ(u32At(message, 16), 1U);
    EXPECT_EQ(u32At(message, 20), 2U);
    EXPECT_EQ(u32At(message, 24), 1U);
}

TEST(StatusDatagramLayout, EveryFieldTheHostReadsIsAtItsOffset)
{
    StatusFields fields;
    fields.serialNumber = 0x01020304U;
    fields.partNumber = ModelNumber::TavrinC2599;
    fields.statusWord = 0xC001C00DU;
    fields.firmwareVersion = 4321;
    fields.ipAddress = 0x0B01A8C0U;
    fields.subnetMask = 0x00FFFFFFU;
    fields.connectionRefusal = 9;
    fields.internalTemperature = 41.5;
    fields.waterTemperature = 8.25;
    fields.pressure = 1.75;
    const auto datagram = MessageBuilding::buildStatusDatagram(fields);
    ASSERT_EQ(datagram.size(), 142U);
    EXPECT_EQ(byteAt(datagram, 0), 0x7C);
    EXPECT_EQ(byteAt(datagram, 1), 0x3A);
    EXPECT_EQ(u32At(datagram, 16), 0x01020304U);
    EXPECT_EQ(u16At(datagram, 22), 2599);
    EXPECT_EQ(u32At(datagram, 24), 0xC001C00DU);
    EXPECT_EQ(u16At(datagram, 44), 4321);
    EXPECT_EQ(u32At(datagram, 52), 0x0B01A8C0U);
    EXPECT_EQ(u32At(datagram, 56), 0x00FFFFFFU);
    EXPECT_EQ(u32At(datagram, 60), 9U);
    EXPECT_EQ(f64At(datagram, 70), 41.5);
    EXPECT_EQ(f64At(datagram, 110), 8.25);
    EXPECT_EQ(f64At(datagram, 134), 1.75);
}

TEST(ResultLayout, BuilderPlacesTableAndSamplesWhereTheHeaderSays)
{
    MessageBuilding::ImageDescription image;
    image.beams = 2;
    image.ranges = 1;
    image.bearings = {-50, 50};
    image.samples = {0x11, 0x22};
    image.gapBeforeImage = 3;
    const auto v1 = MessageBuilding::buildSimplePingResult(image);
    ASSERT_EQ(v1.size(), 122U + 4 + 3 + 2);
    EXPECT_EQ(u16At(v1, 6), 0x23);
    EXPECT_EQ(u16At(v1, 8), 1);
    EXPECT_EQ(u32At(v1, 10), v1.size() - 16);
    EXPECT_EQ(static_cast<std::int16_t>(u16At(v1, 122)), -50);
    EXPECT_EQ(u32At(v1, 110), 129U);
    EXPECT_EQ(u32At(v1, 114), 2U);
    EXPECT_EQ(byteAt(v1, 129), 0x11);

    const auto v2 = MessageBuilding::buildSimplePingResultV2(image);
    EXPECT_EQ(u16At(v2, 8), 2);
    EXPECT_EQ(u32At(v2, 190), 209U);
    EXPECT_EQ(byteAt(v2, 210), 0x22);

    const auto full = MessageBuilding::buildFullFireResult(image);
    EXPECT_EQ(u16At(full, 6), 0x22);
    EXPECT_EQ(u16At(full, 73), 2);
    EXPECT_EQ(u32At(full, 576), 595U);
}

TEST(FourBitPacking, EarlierSampleGoesToTheLowNibble)
{
    EXPECT_EQ(MessageBuilding::packFourBitSamples({0xB0, 0xA0}), (std::vector<std::uint8_t>{0xAB}));
    // Low nibbles of the input are dropped; an odd sample count pads with zero.
    EXPECT_EQ(MessageBuilding::packFourBitSamples({0xBF, 0xAF, 0x70}), (std::vector<std::uint8_t>{0xAB, 0x07}));
    EXPECT_TRUE(MessageBuilding::packFourBitSamples({}).empty());
}
