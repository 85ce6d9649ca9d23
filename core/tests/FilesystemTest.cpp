#include <keldar/core/Filesystem.h>

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace fs = std::filesystem;
using Keldar::Filesystem::appendTextToFilename;
using Keldar::Filesystem::makeUniqueFilePath;

namespace {

class TemporaryFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::random_device random;
        m_dir = fs::temp_directory_path() / ("keldar-core-fs-" + std::to_string(random()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path touch(const std::string& name) const
    {
        const auto path = m_dir / name;
        std::ofstream(path) << "x";
        return path;
    }

    fs::path m_dir;
};

using MakeUniqueFilePath = TemporaryFolder;

} // namespace

TEST(AppendTextToFilename, InsertsBeforeExtension)
{
    EXPECT_EQ(appendTextToFilename("/logs/dive.ondrix", "_exported"), fs::path("/logs/dive_exported.ondrix"));
    EXPECT_EQ(appendTextToFilename("dive.ondrix", "_1"), fs::path("dive_1.ondrix"));
}

TEST(AppendTextToFilename, OnlyLastExtensionIsKept)
{
    EXPECT_EQ(appendTextToFilename("/a/b.tar.gz", "_2"), fs::path("/a/b.tar_2.gz"));
    EXPECT_EQ(appendTextToFilename("/a/noext", "_2"), fs::path("/a/noext_2"));
}

TEST(AppendTextToFilename, DotsInFolderNamesAreLeftAlone)
{
    EXPECT_EQ(appendTextToFilename("/data.v2/log", "_x"), fs::path("/data.v2/log_x"));
}

TEST_F(MakeUniqueFilePath, FreePathIsReturnedUnchanged)
{
    const auto path = m_dir / "log.ondrix";
    EXPECT_EQ(makeUniqueFilePath(path), path);
}

TEST_F(MakeUniqueFilePath, SkipsTakenNumberedNames)
{
    const auto path = touch("log.ondrix");
    touch("log_1.ondrix");
    EXPECT_EQ(makeUniqueFilePath(path), m_dir / "log_2.ondrix");
}

TEST_F(MakeUniqueFilePath, UsesFirstGapAndCountsFolders)
{
    const auto path = touch("capture.png");
    fs::create_directory(m_dir / "capture_1.png");
    touch("capture_3.png");
    EXPECT_EQ(makeUniqueFilePath(path), m_dir / "capture_2.png");
}

TEST_F(MakeUniqueFilePath, DanglingLinkCountsAsTaken)
{
    const auto path = touch("v.avi");
    fs::create_symlink(m_dir / "missing-target", m_dir / "v_1.avi");
    EXPECT_EQ(makeUniqueFilePath(path), m_dir / "v_2.avi");
}
