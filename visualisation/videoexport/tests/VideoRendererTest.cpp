// The video export's renderer against real logs, read back with OpenCV and
// ffprobe: frame counts and pacing, the painted text, unique names, cancel,
// a full disk and an unwritable folder.

#include "SyntheticLog.h"

#include <keldar/logging/LogFilePlayer.h>
#include <keldar/visualisation/videoexport/VideoRenderer.h>

#include <QApplication>
#include <QTemporaryDir>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace {

using namespace Keldar::Ondrix::Visualisation::VideoExport;
using Keldar::Logging::Playback::LogFilePlayer;
using Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings;

const cv::Vec3b background{40, 30, 20}; // blue, green, red

struct Export : ::testing::Test
{
    Export()
    {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "video-render-test";
            static char* argv[] = {name, nullptr};
            QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
            new QApplication(argc, argv);
        }
        display.clearColour = QColor(background[2], background[1], background[0]);
        display.textColour = Qt::white;
    }

    // A player over a new log of entries at `timestamps`, showing images `numbers`.
    LogFilePlayer& open(const std::vector<std::int64_t>& timestamps, const std::vector<std::uint32_t>& numbers = {},
                        const std::vector<std::size_t>& damaged = {}, const std::string& timeZone = "UTC")
    {
        const auto path =
            std::filesystem::path(folder.path().toStdString()) / ("dive" + std::to_string(logs++) + ".ondrix");
        Testing::SyntheticLog log;
        log.timestamps = timestamps;
        log.imageNumbers = numbers;
        log.damaged = damaged;
        log.timeZone = timeZone;
        Testing::writeSyntheticLog(path, log);
        player = std::make_unique<LogFilePlayer>(std::make_unique<Keldar::Logging::SqliteLogFile>(path),
                                                 std::vector<KD_LogDataSourceType>{KD_LogDataSourceType_Sonar},
                                                 LogFilePlayer::FrameCallback{}, false, 500);
        settings.endIndex = player->getFrameCount() - 1;
        return *player;
    }

    QTemporaryDir folder;
    int logs = 0;
    std::unique_ptr<LogFilePlayer> player;
    VideoExportSettings settings;
    DisplaySettings display;
};

std::vector<cv::Mat> readFrames(const std::filesystem::path& path)
{
    cv::VideoCapture capture(path.string(), cv::CAP_FFMPEG);
    std::vector<cv::Mat> frames;
    cv::Mat frame;
    while (capture.isOpened() && capture.read(frame)) {
        frames.push_back(frame.clone());
    }
    return frames;
}

// Runs this thread's events until `condition` holds; false after a minute.
bool waitForEvents(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

std::string run(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 256> buffer{};
        while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) {
            output += buffer.data();
        }
        pclose(pipe);
    }
    return output;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> pieces;
    std::stringstream stream(text);
    for (std::string piece; std::getline(stream, piece, separator);) {
        pieces.push_back(piece);
    }
    return pieces;
}

std::string probe(const std::filesystem::path& path)
{
    return run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
               "stream=codec_name,codec_tag_string,pix_fmt,width,height,r_frame_rate,nb_read_frames "
               "-of default=noprint_wrappers=1 '" +
               path.string() + "' 2>&1");
}

// Share of the pixels of `area` that differ strongly between two frames
// (text against the background; coding noise is far smaller).
double changed(const cv::Mat& a, const cv::Mat& b, const cv::Rect& area)
{
    cv::Mat distance;
    cv::absdiff(a(area), b(area), distance);
    cv::Mat grey;
    cv::transform(distance, grey, cv::Matx13f(1, 1, 1));
    return cv::countNonZero(grey > 90) / static_cast<double>(area.area());
}

// Share of the pixels of `area` that are far from the background.
double coverage(const cv::Mat& frame, const cv::Rect& area)
{
    int far = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            if (cv::norm(frame.at<cv::Vec3b>(y, x), background, cv::NORM_L1) > 60) {
                ++far;
            }
        }
    }
    return static_cast<double>(far) / area.area();
}

const cv::Rect stampArea{50, 135, 120, 30};
const cv::Rect detailsArea{1700, 135, 170, 30};
const cv::Rect fanArea{300, 200, 1320, 860};

TEST_F(Export, EntriesArePacedIntoThirtyFramesASecondOfA1080pMpeg4Video)
{
    // Identical images one second apart: only the time stamp tells frame 30
    // from the repeats before it.
    open({5000, 6000}, {0, 0});
    VideoRenderer renderer(*player, settings, display);
    EXPECT_EQ(renderer.getOutputPath().filename(), "dive0_exported.avi");
    ASSERT_TRUE(renderer.run());
    EXPECT_EQ(renderer.getFramesWritten(), 31);

    const std::string probed = probe(renderer.getOutputPath());
    for (const char* line : {"codec_name=mpeg4", "codec_tag_string=FMP4", "width=1920", "height=1080",
                             "r_frame_rate=30/1", "nb_read_frames=31"}) {
        EXPECT_NE(probed.find(line), std::string::npos) << line << " in\n" << probed;
    }
    const auto frames = readFrames(renderer.getOutputPath());
    ASSERT_EQ(frames.size(), 31U);
    ASSERT_EQ(frames[0].size(), cv::Size(1920, 1080));
    EXPECT_GT(coverage(frames[0], fanArea), 0.3) << "the hidden display drew the fan";
    EXPECT_GT(coverage(frames[0], stampArea), 0.02) << "00:00:00";
    EXPECT_LT(changed(frames[0], frames[29], stampArea), 0.001) << "repeats show the first stamp";
    EXPECT_GT(changed(frames[29], frames[30], stampArea), 0.01) << "frame 30 reads 00:00:01";
    EXPECT_LT(changed(frames[29], frames[30], fanArea), 0.001);
    EXPECT_LT(coverage(frames[0], detailsArea), 0.001) << "no sonar details asked for";

    // A second export keeps the first; without a time stamp no text is
    // drawn, whatever the type; the sonar details sit on the right.
    settings.timestampType = NoTimestamp;
    settings.sonarDetails = true;
    VideoRenderer second(*player, settings, display);
    EXPECT_EQ(second.getOutputPath().filename(), "dive0_exported_1.avi");
    ASSERT_TRUE(second.run());
    EXPECT_TRUE(std::filesystem::exists(renderer.getOutputPath()));
    const auto plain = readFrames(second.getOutputPath());
    ASSERT_EQ(plain.size(), 31U);
    EXPECT_LT(coverage(plain[30], stampArea), 0.001);
    EXPECT_GT(coverage(plain[30], detailsArea), 0.02) << "Rostrel A (51001)";
}

// The settings x264 wrote into the stream ("... options: cabac=1 ref=1 ...").
std::string x264Options(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto start = bytes.find("options: ");
    return start == std::string::npos ? std::string() : bytes.substr(start, bytes.find('\0', start) - start);
}

// The top-level boxes of an MP4 file as ffprobe reads them, in file order.
std::vector<std::string> topLevelBoxes(const std::filesystem::path& path)
{
    std::vector<std::string> boxes;
    for (const std::string& line : split(run("ffprobe -v trace '" + path.string() + "' 2>&1"), '\n')) {
        if (const auto at = line.find("type:'");
            at != std::string::npos && line.find("parent:'root'") != std::string::npos) {
            boxes.push_back(line.substr(at + 6, 4));
        }
    }
    return boxes;
}

TEST_F(Export, H264InMp4PlaysWhileDownloadingAtTheChosenPreset)
{
    open({0, 500, 1000}, {0, 1, 2});
    settings.format = H264Mp4;
    settings.timestampType = AbsoluteTimestamp;
    settings.timeZone = "UTC+05:00";
    VideoRenderer shared(*player, settings, display);
    EXPECT_EQ(shared.getOutputPath().filename(), "dive0_exported.mp4");
    EXPECT_EQ(shared.getTimeZone(), "Etc/GMT-5") << "the viewer's name of a whole-hour offset";
    ASSERT_TRUE(shared.run());
    const std::string probed = probe(shared.getOutputPath());
    for (const char* line : {"codec_name=h264", "pix_fmt=yuv420p", "width=1920", "height=1080", "r_frame_rate=30/1",
                             "nb_read_frames=31"}) {
        EXPECT_NE(probed.find(line), std::string::npos) << line << " in\n" << probed;
    }
    const auto boxes = topLevelBoxes(shared.getOutputPath());
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    ASSERT_NE(moov, boxes.end());
    EXPECT_NE(std::find(moov, boxes.end(), "mdat"), boxes.end()) << "the index comes before the pictures";
    // The default preset, then another: x264 records what it was given.
    const std::string fastest = x264Options(shared.getOutputPath());
    EXPECT_NE(fastest.find("subme=0"), std::string::npos) << "ultrafast: " << fastest;
    EXPECT_NE(fastest.find("cabac=0"), std::string::npos);
    settings.preset = "veryfast";
    VideoRenderer slower(*player, settings, display);
    ASSERT_TRUE(slower.run());
    const std::string slowerOptions = x264Options(slower.getOutputPath());
    EXPECT_NE(slowerOptions.find("subme=2"), std::string::npos) << "veryfast: " << slowerOptions;
    EXPECT_NE(slowerOptions.find("cabac=1"), std::string::npos);
    // A preset x264 does not know is an error, and leaves no file.
    settings.preset = "warp";
    EXPECT_THROW(VideoRenderer(*player, settings, display), VideoExportError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path().toStdString()),
                            std::filesystem::directory_iterator()),
              3)
        << "the log and two videos";
}

TEST_F(Export, DamagedEntriesAreCountedAndUnknownZonesRefused)
{
    open({0, 1000, 2000}, {}, {1}, "Asia/Tokyo");
    settings.timestampType = AbsoluteTimestamp;
    {
        VideoRenderer renderer(*player, settings, display);
        EXPECT_EQ(renderer.getTimeZone(), "Asia/Tokyo") << "the zone the log was recorded in";
        ASSERT_TRUE(renderer.run());
        EXPECT_EQ(renderer.getUnreadableFrames(), 1);
        EXPECT_EQ(renderer.getFramesWritten(), 61);
    }
    settings.timeZone = "Mars/Olympus";
    try {
        VideoRenderer renderer(*player, settings, display);
        ADD_FAILURE() << "exported in an unknown zone to " << renderer.getOutputPath();
    } catch (const UnknownTimeZoneError& error) {
        EXPECT_STREQ(error.what(), "Unknown time zone: Mars/Olympus");
    }
    // A recording in a zone the formatter does not know is refused, not
    // stamped in UTC.
    open({0, 1000}, {}, {}, "Mars/Olympus");
    settings.timeZone.clear();
    try {
        VideoRenderer renderer(*player, settings, display);
        ADD_FAILURE() << "exported in " << renderer.getTimeZone();
    } catch (const UnknownTimeZoneError& error) {
        EXPECT_STREQ(error.what(),
                     "The recording's time zone \"Mars/Olympus\" is unknown: choose one for the time stamps.");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path().toStdString()),
                            std::filesystem::directory_iterator()),
              3)
        << "two logs and one video";
}

TEST_F(Export, LongPausesAreShortenedOrCancelledPartWay)
{
    open({0, 60000});
    settings.maxPauseMs = 1000;
    {
        VideoRenderer renderer(*player, settings, display);
        ASSERT_TRUE(renderer.run());
        EXPECT_EQ(renderer.getFramesWritten(), 31) << "not 1801";
    }
    // Twenty seconds of one picture: progress counts frames of video, moves
    // through the pause and reaches every frame.
    settings.maxPauseMs = 0;
    open({0, 20000});
    {
        VideoRenderer renderer(*player, settings, display);
        std::vector<std::int64_t> encoded;
        ASSERT_TRUE(renderer.run([&](std::int64_t done, std::int64_t expected) {
            EXPECT_EQ(expected, 601);
            encoded.push_back(done);
            return true;
        }));
        EXPECT_TRUE(std::is_sorted(encoded.begin(), encoded.end()));
        EXPECT_EQ(encoded.back(), 601);
        EXPECT_GT(
            std::count_if(encoded.begin(), encoded.end(), [](std::int64_t done) { return done > 60 && done < 540; }),
            10)
            << "the bar moves between 10 % and 90 % during the pause";
    }
    // A cancel is heard part way through the pause, and leaves no file.
    VideoRenderer renderer(*player, settings, display);
    int reports = 0;
    EXPECT_FALSE(renderer.run([&](std::int64_t, std::int64_t) { return ++reports < 3; }));
    EXPECT_LT(renderer.getFramesEncoded(), 200);
    EXPECT_FALSE(std::filesystem::exists(renderer.getOutputPath()));
    EXPECT_FALSE(std::filesystem::exists(renderer.getTemporaryPath()));
}

TEST_F(Export, ACancelFromAnotherThreadNeverWaitsForAGuiThreadThatIsNotRunningEvents)
{
    // run() on a worker asks this thread to draw; this thread stops running
    // events (as a quit does), cancels and joins: the worker must not wait.
    open({0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000});
    VideoRenderer renderer(*player, settings, display);
    std::atomic<bool> finished{true};
    std::thread worker([&] { finished = renderer.run(); });
    ASSERT_TRUE(waitForEvents([&] { return renderer.getPicturesDrawn() >= 2; }));
    renderer.cancel();
    worker.join();
    EXPECT_FALSE(finished);
    EXPECT_FALSE(std::filesystem::exists(renderer.getTemporaryPath()));
    EXPECT_FALSE(std::filesystem::exists(renderer.getOutputPath()));
}

TEST_F(Export, BurstsDropEntriesAndAGapRepeatsTheLastEntrysPicture)
{
    // Entries 10 ms apart: only the first of each frame period is written;
    // the pictures of the others are never drawn.
    open({0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100});
    {
        VideoRenderer renderer(*player, settings, display);
        ASSERT_TRUE(renderer.run());
        EXPECT_EQ(renderer.getFramesWritten(), 4) << "entries at 0, 40, 70 and 100 ms";
        EXPECT_EQ(renderer.getPicturesDrawn(), 4);
    }
    // A dropped entry followed by a gap is what the gap repeats.
    open({0, 10, 1000}, {0, 1, 2});
    VideoRenderer renderer(*player, settings, display);
    ASSERT_TRUE(renderer.run());
    EXPECT_EQ(renderer.getFramesWritten(), 31);
    EXPECT_EQ(renderer.getPicturesDrawn(), 3);
    const auto frames = readFrames(renderer.getOutputPath());
    ASSERT_EQ(frames.size(), 31U);
    EXPECT_GT(changed(frames[0], frames[1], fanArea), 0.01) << "frame 1 shows the entry at 10 ms";
    EXPECT_LT(changed(frames[1], frames[29], fanArea), 0.001);
}

// Lowers the process's file size limit, as a nearly full disk would stop the
// writes, for as long as it lives.
struct FileSizeLimit
{
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
    rlimit saved{};
};

TEST_F(Export, CancellingAFullDiskOrAnUnwritableFolderLeavesNoFile)
{
    open({0, 1000, 2000});
    {
        VideoRenderer renderer(*player, settings, display);
        const FileSizeLimit limit(64 * 1024);
        try {
            renderer.run({});
            ADD_FAILURE() << "an export cut short by the disk was reported as written";
        } catch (const VideoExportError& error) {
            EXPECT_STREQ(error.what(), "Could not write the video: the file on disk is incomplete.");
        }
        EXPECT_FALSE(std::filesystem::exists(renderer.getOutputPath()));
    }
    {
        VideoRenderer renderer(*player, settings, display);
        int reports = 0;
        EXPECT_FALSE(renderer.run([&](std::int64_t, std::int64_t) { return ++reports < 2; }));
        EXPECT_EQ(reports, 2);
        EXPECT_FALSE(std::filesystem::exists(renderer.getOutputPath()));
        EXPECT_FALSE(std::filesystem::exists(renderer.getTemporaryPath()));
    }
    // The log stays readable once its folder is gone, but nothing can be
    // created beside it.
    const std::filesystem::path log = player->getUnderlyingLogFile().getFilePath();
    std::filesystem::remove_all(log.parent_path());
    try {
        VideoRenderer renderer(*player, settings, display);
        ADD_FAILURE() << "opened " << renderer.getOutputPath();
    } catch (const VideoExportError& error) {
        EXPECT_STREQ(error.what(), "Could not create video file.");
    }
}

} // namespace
