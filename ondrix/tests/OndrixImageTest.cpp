#include <keldar/ondrix/OndrixImage.h>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

using Keldar::Ondrix::OndrixImage;

namespace {

OndrixImage sampleImage()
{
    return OndrixImage(3, 2, 12.5, 40.0, 750000.0, {-4500, 0, 4500}, {1, 2, 3, 4, 5, 6});
}

} // namespace

TEST(OndrixImageConstruction, DefaultImageIsEmpty)
{
    const OndrixImage image;
    EXPECT_EQ(image.getWidth(), 0);
    EXPECT_EQ(image.getHeight(), 0);
    EXPECT_EQ(image.getRange(), 0.0);
    EXPECT_EQ(image.getGain(), 0.0);
    EXPECT_EQ(image.getFrequency(), 0.0);
    EXPECT_TRUE(image.getBearings().empty());
    EXPECT_TRUE(image.getData().empty());
}

TEST(OndrixImageConstruction, ValueConstructorKeepsEveryArgumentInPlace)
{
    const OndrixImage image = sampleImage();
    EXPECT_EQ(image.getWidth(), 3);
    EXPECT_EQ(image.getHeight(), 2);
    EXPECT_EQ(image.getRange(), 12.5);
    EXPECT_EQ(image.getGain(), 40.0);
    EXPECT_EQ(image.getFrequency(), 750000.0);
    EXPECT_EQ(image.getBearings(), (std::vector<std::int16_t>{-4500, 0, 4500}));
    EXPECT_EQ(image.getData(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(OndrixImageConstruction, InconsistentSizesAreKeptAsGiven)
{
    // The image is a carrier, not a validator: the display decides what to do with it.
    const OndrixImage image(10, 10, 1.0, 1.0, 1.0, {7}, {9, 9});
    EXPECT_EQ(image.getWidth(), 10);
    EXPECT_EQ(image.getBearings().size(), 1U);
    EXPECT_EQ(image.getData().size(), 2U);
}

TEST(OndrixImageConstruction, VectorsAreMovedInWithoutCopying)
{
    std::vector<std::uint8_t> data(1000, 7);
    const std::uint8_t* storage = data.data();
    const OndrixImage image(1, 1, 1.0, 1.0, 1.0, {}, std::move(data));
    EXPECT_EQ(image.getData().data(), storage);
}

TEST(OndrixImageCopying, CopySurvivesDestructionOfTheOriginal)
{
    auto original = std::make_unique<OndrixImage>(sampleImage());
    const OndrixImage copy(*original);
    original.reset();
    EXPECT_EQ(copy.getWidth(), 3);
    EXPECT_EQ(copy.getFrequency(), 750000.0);
    EXPECT_EQ(copy.getData(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(OndrixImageCopying, CopyOwnsSeparateStorage)
{
    const OndrixImage original = sampleImage();
    const OndrixImage copy(original);
    EXPECT_NE(copy.getData().data(), original.getData().data());
    EXPECT_NE(copy.getBearings().data(), original.getBearings().data());
}

TEST(OndrixImageCopying, CopyAssignmentReplacesEveryField)
{
    OndrixImage target(1, 1, 1.0, 1.0, 1.0, {1}, {1});
    {
        const OndrixImage source = sampleImage();
        target = source;
    }
    EXPECT_EQ(target.getWidth(), 3);
    EXPECT_EQ(target.getHeight(), 2);
    EXPECT_EQ(target.getGain(), 40.0);
    EXPECT_EQ(target.getBearings(), (std::vector<std::int16_t>{-4500, 0, 4500}));
}

TEST(OndrixImageCopying, SelfAssignmentKeepsTheData)
{
    OndrixImage image = sampleImage();
    const OndrixImage& alias = image;
    image = alias;
    EXPECT_EQ(image.getData(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(OndrixImageMoving, MoveHandsOverTheSameStorage)
{
    OndrixImage source = sampleImage();
    const std::uint8_t* storage = source.getData().data();
    const OndrixImage moved(std::move(source));
    EXPECT_EQ(moved.getData().data(), storage);
    EXPECT_EQ(moved.getWidth(), 3);
}

TEST(OndrixImageMoving, MoveAssignmentHandsOverTheSameStorage)
{
    OndrixImage source = sampleImage();
    const std::uint8_t* storage = source.getData().data();
    OndrixImage target;
    target = std::move(source);
    EXPECT_EQ(target.getData().data(), storage);
    EXPECT_EQ(target.getRange(), 12.5);
}

TEST(OndrixImageMoving, MovedFromImageReadsAsEmptyInsteadOfCrashing)
{
    OndrixImage source = sampleImage();
    const OndrixImage moved(std::move(source));
    // NOLINTNEXTLINE(bugprone-use-after-move): reading a moved-from image is what is tested
    EXPECT_EQ(source.getWidth(), 0);
    EXPECT_EQ(source.getRange(), 0.0);
    EXPECT_TRUE(source.getData().empty());
    EXPECT_TRUE(source.getBearings().empty());
}

TEST(OndrixImageMoving, MovedFromImageCanBeAssignedAndCopiedAgain)
{
    OndrixImage source = sampleImage();
    OndrixImage moved(std::move(source));
    const OndrixImage copyOfEmpty(source); // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(copyOfEmpty.getWidth(), 0);
    source = moved;
    EXPECT_EQ(source.getWidth(), 3);
    EXPECT_EQ(source.getData().size(), 6U);
}
