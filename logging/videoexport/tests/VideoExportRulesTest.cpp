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

TEST(VideoPacing, LongPausesAreShortenedButStampsKeepTheLogTime)
{
    VideoPacer pacer(1000);
    pacer.next(0);
    const auto late = pacer.next(60000);
    EXPECT_EQ(late.repeats, 29);
    EXPECT_EQ(late.frame, 30);
    EXPECT_EQ(pacer.getFramesWritten(), 31) << "not 1801";
    EXPECT_EQ(relativeTimestampText(late.frame, late.cutMs), "00:01:00");
    // Gaps up to the maximum, and entries out of order, are paced as before.
    EXPECT_EQ(pacer.next(60500).repeats, 14);
    EXPECT_EQ(pacer.next(60400).writeEntry, false);
    EXPECT_EQ(pacer.next(61000).cutMs, 59000);
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

TEST(VideoExportText, AbsoluteTimeInTheChosenZoneSaysItsOffset)
{
    EXPECT_EQ(absoluteTimestampText(1700000000999, "UTC"), "Tue 14 Nov 2023 22:13:20 +00:00");
    EXPECT_EQ(absoluteTimestampText(1700000000000, "Asia/Tokyo"), "Wed 15 Nov 2023 07:13:20 +09:00");
    EXPECT_EQ(absoluteTimestampText(1699000000000, "UTC"), "Fri 3 Nov 2023 08:26:40 +00:00");
    // Summer and winter time of one zone, and a zone behind UTC.
    EXPECT_EQ(absoluteTimestampText(1690000000000, "Europe/London"), "Sat 22 Jul 2023 05:26:40 +01:00");
    EXPECT_EQ(absoluteTimestampText(1700000000000, "America/St_Johns"), "Tue 14 Nov 2023 18:43:20 -03:30");
}

TEST(VideoExportText, AnUnknownRecordedZoneIsReportedNeverTakenForUtc)
{
    EXPECT_EQ(stampTimeZone("", std::string("Asia/Tokyo")).zone, "Asia/Tokyo");
    EXPECT_EQ(stampTimeZone("UTC+05:00", std::string("Asia/Tokyo")).zone, "Etc/GMT-5") << "the choice wins";
    const auto unknown = stampTimeZone("", std::string("Mars/Olympus"));
    EXPECT_EQ(unknown.zone, "");
    EXPECT_EQ(unknown.problem,
              "The recording's time zone \"Mars/Olympus\" is unknown: choose one for the time stamps.");
    EXPECT_NE(stampTimeZone("", std::nullopt).problem, "");
    EXPECT_EQ(stampTimeZone("", std::nullopt).zone, "");
    EXPECT_EQ(stampTimeZone("Mars/Olympus", std::string("UTC")).problem, "Unknown time zone: Mars/Olympus");
}

TEST(VideoExportText, OnlyZonesTheFormatterKnowsAreOffered)
{
    EXPECT_EQ(formatterTimeZone("Asia/Tokyo"), "Asia/Tokyo");
    EXPECT_EQ(formatterTimeZone("Mars/Olympus"), std::nullopt);
    EXPECT_EQ(formatterTimeZone(""), std::nullopt);
    // Qt's fixed offsets: whole hours map to the POSIX-signed "Etc/GMT" zones.
    EXPECT_EQ(formatterTimeZone("UTC+05:00"), "Etc/GMT-5");
    EXPECT_EQ(formatterTimeZone("UTC-08:00"), "Etc/GMT+8");
    EXPECT_EQ(formatterTimeZone("UTC+00:00"), "UTC");
    EXPECT_EQ(formatterTimeZone("UTC+05:30"), std::nullopt);
    EXPECT_EQ(formatterTimeZone("UTC+13:00"), "Etc/GMT-13");
    EXPECT_EQ(formatterTimeZone("UTC-13:00"), std::nullopt);
    EXPECT_EQ(absoluteTimestampText(1700000000000, *formatterTimeZone("UTC+05:00")), "Wed 15 Nov 2023 03:13:20 +05:00");
}

TEST(VideoExportText, ProgressIsInVideoTimeWithTheTimeLeftOnceThereIsAPace)
{
    EXPECT_EQ(exportProgressText(0, 5700, 0.2), "0:00 of 3:10 of video");
    EXPECT_EQ(exportProgressText(1260, 5700, 21.0), "0:42 of 3:10 of video, about 1:14 left");
    EXPECT_EQ(exportProgressText(5700, 5700, 95.0), "3:10 of 3:10 of video");
    EXPECT_EQ(exportProgressText(30, 30 * 7200, 10.0), "0:01 of 2:00:00 of video, about 19:59:50 left");
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
