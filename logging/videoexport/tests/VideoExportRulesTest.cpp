#include <keldar/logging/videoexport/VideoExportText.h>
#include <keldar/logging/videoexport/VideoPacer.h>

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace {

using namespace Keldar::Logging::VideoExport;

TEST(VideoPacing, LongGapRepeatsTheLastFrame)
{
    VideoPacer pacer;
    const auto first = pacer.next(5000);
    const auto second = pacer.next(6000);
    EXPECT_EQ(first.repeats, 0);
    EXPECT_TRUE(first.writeEntry);
    EXPECT_EQ(second.repeats, 29);
    EXPECT_TRUE(second.writeEntry);
    EXPECT_EQ(pacer.getFramesWritten(), 31);
}

TEST(VideoPacing, BurstWritesOnlyTheFirstEntryOfEachFramePeriod)
{
    VideoPacer pacer;
    std::vector<std::int64_t> written;
    for (std::int64_t t = 0; t <= 100; t += 10) {
        const auto step = pacer.next(t);
        EXPECT_EQ(step.repeats, 0) << t;
        if (step.writeEntry) {
            written.push_back(t);
        }
    }
    EXPECT_EQ(written, (std::vector<std::int64_t>{0, 40, 70, 100}));
}

TEST(VideoExportText, RelativeTimeIsThatOfTheEntrysOwnFrame)
{
    // Frame 30 is one second into the video, whatever was padded before it.
    VideoPacer pacer;
    std::vector<std::string> texts;
    for (std::int64_t second = 0; second < 3; ++second) {
        texts.push_back(relativeTimestampText(pacer.next(second * 1000).frame));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"00:00:00", "00:00:01", "00:00:02"}));
    // A dropped entry of a burst stands for the frame its time falls in.
    EXPECT_EQ(pacer.next(2010).frame, 60);
    EXPECT_EQ(relativeTimestampText(107999), "00:59:59");
    EXPECT_EQ(relativeTimestampText(108000), "01:00:00");
}

TEST(VideoExportText, AbsoluteTimeInTheChosenZone)
{
    EXPECT_EQ(absoluteTimestampText(1700000000999, "UTC"), "Tue 14 Nov 2023 22:13:20");
    EXPECT_EQ(absoluteTimestampText(1700000000000, "Asia/Tokyo"), "Wed 15 Nov 2023 07:13:20");
    EXPECT_EQ(absoluteTimestampText(1699000000000, "UTC"), "Fri 3 Nov 2023 08:26:40");
    EXPECT_EQ(absoluteTimestampText(0, "Not/AZone"), "Invalid timezone");
}

TEST(VideoExportText, ExportedVideoNamesAreUnique)
{
    const auto folder =
        std::filesystem::temp_directory_path() / ("keldar-video-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    const auto log = folder / "dive.ondrix";
    EXPECT_EQ(exportedVideoPath(log), folder / "dive_exported.avi");
    std::ofstream(folder / "dive_exported.avi") << "first";
    EXPECT_EQ(exportedVideoPath(log), folder / "dive_exported_1.avi");
    std::filesystem::remove_all(folder);
}

} // namespace
