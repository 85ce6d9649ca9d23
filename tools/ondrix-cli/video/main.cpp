// ondrix-cli-video: the drawing half of `ondrix-cli log export-video`, which
// parses the user's options and starts this with them in a fixed order:
//   FILE FROM TO TIMESTAMP-TYPE TIME-ZONE DETAILS PALETTE DESPECKLE FORMAT
//   MAX-PAUSE-MS PRESET
// Prints the video's path; a progress line while stdout is a terminal. Frames
// whose entry could not be read are told on stderr and fail the command.
// SIGINT or SIGTERM (from the terminal, or passed on by ondrix-cli) stops the
// export at the next frame; the partial video is removed and named, and the
// exit code is 130 or 143.

#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/videoexport/VideoRenderer.h>

#include <QApplication>

#include <keldar/logging/videoexport/VideoExportText.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include <unistd.h>

using namespace Keldar::Ondrix::Visualisation;

namespace {

// The signal that asked the export to stop, 0 while none has: read between
// frames, where cancelling is safe.
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopSignal(int number)
{
    stopSignal = number;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 12) {
        std::cerr << "ondrix-cli-video: started by ondrix-cli log export-video, not by hand\n";
        return 64;
    }
    const std::string file = argv[1];
    // Qt's notes about its environment (no runtime folder for root, and the
    // like) are not the user's business; failures still come through.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::cerr << message.toStdString() << std::endl;
        }
    });
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    // Before the video file exists, so that no signal can leave it behind.
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    try {
        Keldar::Logging::Playback::LogFilePlayer player(
            std::make_unique<Keldar::Logging::SqliteLogFile>(std::filesystem::path(file),
                                                             Keldar::Logging::SqliteLogFile::Access::ReadOnly),
            {KD_LogDataSourceType_Sonar}, {}, false, 500);
        VideoExport::VideoExportSettings settings;
        settings.startIndex = std::stoi(argv[2]);
        settings.endIndex = std::stoi(argv[3]);
        if (settings.endIndex < 0) {
            settings.endIndex = player.getFrameCount() - 1;
        }
        if (settings.startIndex < 0 || settings.endIndex < settings.startIndex ||
            settings.endIndex >= player.getFrameCount()) {
            std::cerr << "ondrix-cli: " << file << ": the range is not in the log file (it has "
                      << player.getFrameCount() << " frames)\n";
            return 3;
        }
        settings.timestampType = std::stoi(argv[4]);
        settings.timeZone = argv[5];
        settings.sonarDetails = std::string(argv[6]) == "1";
        settings.format = std::string(argv[9]) == "mp4" ? VideoExport::H264Mp4 : VideoExport::Mpeg4Avi;
        settings.maxPauseMs = std::stoll(argv[10]);
        settings.preset = argv[11];

        // The look of a new display, with the chosen palette.
        FanDisplayOptions::DisplaySettings display = FanDisplay().getCurrentDisplaySettings();
        display.palette = std::stoi(argv[7]);
        VideoExport::VideoAppearance appearance;
        appearance.despeckleLevel = std::stoi(argv[8]);

        VideoExport::VideoRenderer renderer(player, settings, display, appearance);
        const bool terminal = isatty(STDOUT_FILENO) == 1;
        const int frames = settings.endIndex - settings.startIndex + 1;
        const auto started = std::chrono::steady_clock::now();
        const bool finished = renderer.run([&](std::int64_t encoded, std::int64_t expected) {
            if (terminal) {
                const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
                std::printf(
                    "\rexporting: %s   ",
                    Keldar::Logging::VideoExport::exportProgressText(encoded, expected, elapsed.count()).c_str());
                std::fflush(stdout);
            }
            return stopSignal == 0;
        });
        if (terminal) {
            std::printf("\n");
        }
        if (!finished) {
            std::cerr << "ondrix-cli: interrupted: removed partial output " << renderer.getTemporaryPath().string()
                      << std::endl;
            return 128 + stopSignal;
        }
        std::cout << renderer.getOutputPath().string() << std::endl;
        if (const auto unreadable = renderer.getUnreadableFrames(); unreadable > 0) {
            std::cerr << "ondrix-cli: " << file << ": " << unreadable << " of " << frames
                      << " frames could not be read; the video shows the picture before each instead" << std::endl;
            return 7;
        }
        return 0;
    } catch (const VideoExport::UnknownTimeZoneError& error) {
        std::cerr << "ondrix-cli: " << file << ": " << error.what() << " (--time-zone)" << std::endl;
        return 2;
    } catch (const VideoExport::VideoExportError& error) {
        std::cerr << "ondrix-cli: " << file << ": Something went wrong: " << error.what() << std::endl;
        return 4;
    } catch (const std::exception& error) {
        std::cerr << "ondrix-cli: " << file << ": " << error.what() << std::endl;
        return 5;
    }
}
