#include <keldar/core/OutputFile.h>

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;
using Keldar::Filesystem::OutputFile;

namespace {

struct OutputFileTest : ::testing::Test
{
    fs::path folder = fs::temp_directory_path() / ("keldar-outputfile-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }
    [[nodiscard]] std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    static void write(const fs::path& path, const char* text) { std::ofstream(path) << text; }
};

} // namespace

TEST_F(OutputFileTest, TheFinalNameAppearsOnlyOnCommitAndReplacesWhatWasThere)
{
    const auto target = folder / "survey.avi";
    write(target, "old");
    {
        OutputFile output(target);
        EXPECT_EQ(output.temporaryPath().parent_path(), folder);
        EXPECT_EQ(output.temporaryPath().extension(), ".avi");
        write(output.temporaryPath(), "new");
        std::ifstream before(target);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(before), {}), "old");
        output.commit();
        EXPECT_TRUE(output.isCommitted());
    }
    std::ifstream after(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), "new");
    EXPECT_EQ(entries(), 1U);
}

TEST_F(OutputFileTest, AnUncommittedOutputLeavesNothingBehindJournalsIncluded)
{
    const auto target = folder / "slice.ondrix";
    {
        OutputFile output(target);
        write(output.temporaryPath(), "half");
        write(output.temporaryPath().string() + "-journal", "hot");
        OutputFile moved(std::move(output));
        EXPECT_TRUE(fs::exists(moved.temporaryPath()));
    }
    EXPECT_EQ(entries(), 0U);

    OutputFile discarded(target);
    write(discarded.temporaryPath(), "half");
    EXPECT_TRUE(discarded.discard());
    EXPECT_FALSE(discarded.discard());
    EXPECT_EQ(entries(), 0U);
}

TEST_F(OutputFileTest, ACommitWithNothingWrittenThrowsAndCreatesNoFile)
{
    OutputFile output(folder / "frames.npz");
    EXPECT_THROW(output.commit(), fs::filesystem_error);
    EXPECT_FALSE(output.isCommitted());
    EXPECT_EQ(entries(), 0U);
}

TEST_F(OutputFileTest, AFolderOfPicturesIsRemovedWholeOrTakesThePlaceOfAnEmptyFolder)
{
    const auto target = folder / "frames";
    {
        OutputFile output(target);
        fs::create_directory(output.temporaryPath());
        write(output.temporaryPath() / "frame_000000.png", "half");
    }
    EXPECT_EQ(entries(), 0U);

    fs::create_directory(target);
    OutputFile output(target);
    fs::create_directory(output.temporaryPath());
    write(output.temporaryPath() / "frame_000000.png", "whole");
    output.commit();
    EXPECT_TRUE(fs::exists(target / "frame_000000.png"));
    EXPECT_EQ(entries(), 1U);
}
