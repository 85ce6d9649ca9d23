// The real viewer program, signalled part way through each kind of long work
// (a video export, a log export, an older-format export, a conversion): it
// ends within two seconds with code 0, and leaves neither the output nor its
// temporary file; the file it worked on is as it was.

#include "support/OlderFormatFiles.h"
#include "support/ViewerTestSupport.h"

#include "../../../visualisation/videoexport/tests/SyntheticLog.h"

#include <keldar/logging/legacy/LegacyConversion.h>

#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

using namespace Keldar::OndrixLumivane::Testing;

namespace {

// The names in `folder`, sorted.
std::vector<std::string> listing(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The one temporary output in `folder`, if there is exactly one.
std::optional<std::filesystem::path> partialIn(const std::filesystem::path& folder)
{
    std::optional<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".partial-") != std::string::npos && name.find("-journal") == std::string::npos) {
            if (found) {
                return std::nullopt;
            }
            found = entry.path();
        }
    }
    return found;
}

struct Work
{
    const char* name;
    int frames;
    // Writes the file the viewer is started with.
    std::function<void(const std::filesystem::path&)> make;
};

void makeVideoLog(const std::filesystem::path& log)
{
    // Two minutes at 10 Hz: 3 600 frames of video, every third a new picture
    // drawn by the GUI thread.
    Keldar::Ondrix::Visualisation::VideoExport::Testing::SyntheticLog entries;
    for (int i = 0; i < 1200; ++i) {
        entries.timestamps.push_back(1'700'000'000'000 + std::int64_t{i} * 100);
        entries.imageNumbers.push_back(static_cast<std::uint32_t>(i % 8));
    }
    Keldar::Ondrix::Visualisation::VideoExport::Testing::writeSyntheticLog(log, entries);
}

constexpr int pings = 3000;

void makeOlderFormatFile(const std::filesystem::path& file)
{
    const OlderFormatFile older(file, pings);
}

// Ping results the older format can hold, in a current log.
void makePingLog(const std::filesystem::path& log)
{
    makeOlderFormatFile(log);
    ASSERT_TRUE(Keldar::Logging::Legacy::convertLegacyLogFile(log.string(), {"UTC", "test", 0}));
    std::filesystem::remove(log.string() + ".old");
}

TEST(LongWorkInTheViewer, ASignalPartWayEndsTheViewerWithinTwoSecondsAndLeavesNothingBehind)
{
    application();
    const std::vector<Work> works{
        {"video", 1200, makeVideoLog},
        {"log", pings, makePingLog},
        {"legacy", pings, makePingLog},
        {"conversion", pings, makeOlderFormatFile},
    };
    for (const Work& work : works) {
        for (const int signal : {SIGTERM, SIGINT}) {
            SCOPED_TRACE(std::string(work.name) + (signal == SIGTERM ? " SIGTERM" : " SIGINT"));
            TemporarySettings settings;
            const std::filesystem::path folder = std::filesystem::path(settings.path().toStdString()) / "logs";
            std::filesystem::create_directory(folder);
            const auto file = folder / "dive.ondrix";
            work.make(file);
            const FileBytes before = bytesOnDisk(file);
            const auto listed = listing(folder);

            QProcess viewer;
            viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            auto environment = QProcessEnvironment::systemEnvironment();
            environment.insert("XDG_CONFIG_HOME", settings.path());
            environment.insert("LUMIVANE_TEST_WORK", work.name);
            environment.insert("LUMIVANE_TEST_LOG_FRAMES", QString::number(work.frames));
            viewer.setProcessEnvironment(environment);
            viewer.start(LUMIVANE_LONG_WORK_VIEWER, {QString::fromStdString(file.string())});
            ASSERT_TRUE(viewer.waitForStarted());
            // Under way: the temporary output is there and growing.
            std::uintmax_t firstSize = 0;
            ASSERT_TRUE(waitFor(
                [&] {
                    if (viewer.state() == QProcess::NotRunning) {
                        return true;
                    }
                    const auto partial = partialIn(folder);
                    std::error_code gone;
                    const auto size = partial ? std::filesystem::file_size(*partial, gone) : 0;
                    if (!partial || gone) {
                        return false;
                    }
                    firstSize = firstSize == 0 ? size : firstSize;
                    return size > firstSize;
                },
                std::chrono::seconds(120)))
                << "the work did not start";
            ASSERT_EQ(viewer.state(), QProcess::Running)
                << "the viewer ended before the work began: " << viewer.exitStatus() << " " << viewer.exitCode();
            QElapsedTimer clock;
            clock.start();
            ::kill(static_cast<pid_t>(viewer.processId()), signal);
            ASSERT_TRUE(viewer.waitForFinished(60000)) << "the viewer hangs after the signal";
            // How fast it must end is part of what the user asked for.
            EXPECT_LT(clock.elapsed(), 2000);
            EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(viewer.exitCode(), 0);
            EXPECT_EQ(listing(folder), listed) << "no output, temporary file or journal is left";
            EXPECT_EQ(bytesOnDisk(file), before);
        }
    }
}

} // namespace
