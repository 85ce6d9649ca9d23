#include <keldar/ondrix/ModelSpecs.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

using Keldar::Ondrix::ModelNumber;
using Keldar::Ondrix::ModelSpec;
using Keldar::Ondrix::ModelSpecs;

namespace {

ModelSpec specOf(int partNumber)
{
    return ModelSpecs::getModelSpec(static_cast<ModelNumber>(partNumber));
}

} // namespace

TEST(ModelSpecLookup, PartNumbersSharingAnEntryGiveTheSameSpec)
{
    EXPECT_EQ(specOf(1229), specOf(1041));
    EXPECT_EQ(specOf(1229).name, "Pelmar A");
    EXPECT_EQ(specOf(1436).name, "Pelmar A");
}

TEST(ModelSpecLookup, UnlistedPartNumberGivesUnknown)
{
    const ModelSpec spec = specOf(9999);
    EXPECT_EQ(spec.name, "Unknown");
    EXPECT_EQ(spec.name.size(), 7U);
    EXPECT_EQ(spec.firstMinimumRange, 1.0F);
    EXPECT_EQ(spec.firstMaximumRange, 30.0F);
    EXPECT_EQ(spec.firstFrequency, 0);
    EXPECT_EQ(spec.secondFrequency, 0);
    EXPECT_EQ(spec.dualFrequency, 0);
    EXPECT_EQ(spec, specOf(0));
}

TEST(ModelSpecLookup, EveryListedPartNumberFindsItsModel)
{
    const std::pair<int, const char*> expected[] = {
        {0, "Unknown"},      {1041, "Pelmar A"},  {1436, "Pelmar A"},  {1229, "Pelmar A"},  {1433, "Pelmar B"},
        {2295, "Pelmar B"},  {1217, "Pelmar B"},  {2418, "Pelmar C"},  {4713, "Quillon A"}, {1032, "Rostrel A"},
        {1134, "Rostrel A"}, {1135, "Rostrel A"}, {1434, "Rostrel B"}, {2296, "Rostrel B"}, {1244, "Rostrel B"},
        {2419, "Rostrel C"}, {4433, "Rostrel E"}, {4912, "Rostrel F"}, {1042, "Sevanth A"}, {1437, "Sevanth A"},
        {1228, "Sevanth A"}, {1435, "Sevanth B"}, {2297, "Sevanth B"}, {1219, "Sevanth B"}, {2420, "Sevanth C"},
        {2203, "Tavrin A"},  {2466, "Tavrin A"},  {2924, "Tavrin A"},  {2656, "Tavrin B"},  {2659, "Tavrin B"},
        {2658, "Tavrin B"},  {2599, "Tavrin C"},
    };
    for (const auto& [number, name] : expected) {
        EXPECT_EQ(specOf(number).name, name) << "part number " << number;
    }
}

TEST(ModelSpecLookup, NeighboursOfListedNumbersAreUnknown)
{
    // Catches an off-by-one or range-based lookup in place of exact matching.
    for (int number : {1040, 1043, 1230, 2600, 4714, 65535}) {
        EXPECT_EQ(specOf(number).name, "Unknown") << "part number " << number;
    }
}

TEST(ModelSpecValues, DualFrequencyModelsCarryBothLimitSets)
{
    const ModelSpec rostrel = specOf(1032);
    EXPECT_EQ(rostrel.dualFrequency, 1);
    EXPECT_EQ(rostrel.firstFrequency, 750);
    EXPECT_EQ(rostrel.firstMinimumRange, 1.0F);
    EXPECT_EQ(rostrel.firstMaximumRange, 120.0F);
    EXPECT_EQ(rostrel.secondFrequency, 1200);
    EXPECT_EQ(rostrel.secondMinimumRange, 0.3F);
    EXPECT_EQ(rostrel.secondMaximumRange, 40.0F);

    const ModelSpec quillon = specOf(4713);
    EXPECT_EQ(quillon.firstFrequency, 550);
    EXPECT_EQ(quillon.firstMaximumRange, 100.0F);
    EXPECT_EQ(quillon.secondFrequency, 820);
    EXPECT_EQ(quillon.secondMaximumRange, 30.0F);

    const ModelSpec sevanth = specOf(2420);
    EXPECT_EQ(sevanth.secondFrequency, 2100);
    EXPECT_EQ(sevanth.secondMaximumRange, 10.0F);

    const ModelSpec tavrin = specOf(2599);
    EXPECT_EQ(tavrin.firstFrequency, 1200);
    EXPECT_EQ(tavrin.firstMaximumRange, 30.0F);
    EXPECT_EQ(tavrin.secondFrequency, 3000);
    EXPECT_EQ(tavrin.secondMinimumRange, 0.3F);
    EXPECT_EQ(tavrin.secondMaximumRange, 5.0F);
}

TEST(ModelSpecValues, SingleFrequencyModelsRepeatTheirLimits)
{
    for (int number : {1041, 1433, 2418}) {
        const ModelSpec spec = specOf(number);
        EXPECT_EQ(spec.dualFrequency, 0);
        EXPECT_EQ(spec.firstFrequency, 375);
        EXPECT_EQ(spec.secondFrequency, 375);
        EXPECT_EQ(spec.firstMinimumRange, spec.secondMinimumRange);
        EXPECT_EQ(spec.firstMaximumRange, 200.0F);
        EXPECT_EQ(spec.secondMaximumRange, 200.0F);
    }
}

TEST(ModelSpecTable, SixteenEntriesAndNoPartNumberInTwoKeys)
{
    EXPECT_EQ(ModelSpecs::models.size(), 16U);
    std::set<ModelNumber> seen;
    std::size_t total = 0;
    for (const auto& [numbers, spec] : ModelSpecs::models) {
        EXPECT_FALSE(spec.name.empty());
        for (ModelNumber number : numbers) {
            seen.insert(number);
            ++total;
        }
    }
    EXPECT_EQ(seen.size(), total);
    EXPECT_EQ(total, 32U);
}

TEST(ModelSpecTable, KeysKeepTheGivenOrderOfPartNumbers)
{
    const std::vector<ModelNumber> pelmarA{static_cast<ModelNumber>(1041), static_cast<ModelNumber>(1436),
                                           static_cast<ModelNumber>(1229)};
    ASSERT_EQ(ModelSpecs::models.count(pelmarA), 1U);
    EXPECT_EQ(ModelSpecs::models.at(pelmarA).name, "Pelmar A");
}
