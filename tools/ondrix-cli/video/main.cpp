// ondrix-cli-video: the drawing half of `ondrix-cli log export-video`, which
// parses the user's options and starts this with them in a fixed order:
//   FILE FROM TO TIMESTAMP-TYPE TIME-ZONE DETAILS PALETTE DESPECKLE FORMAT
//   MAX-PAUSE-MS
// Prints the video's path; a progress line while stdout is a terminal. Frames
// whose entry could not be read are told on stderr and fail the command.
// SIGINT or SIGTERM (from the terminal, or passed on by ondrix-cli) stops the
// export at the next frame; the partial video is removed and named, and the
// exit code is 130 or 143.

#include "../Interruption.h"

#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/videoexport/VideoRenderer.h>

#include <QApplication>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace Keldar::Ondrix::Visualisation;

namespace {

// What the export has on disk while it writes: the video under its own name
// or under a temporary one of this process beside it.
std::vector<std::filesystem::path> partialOutputs(const std::filesystem::path& video)
{
    auto found = Keldar::Cli::partialOutputsIn(video.parent_path(), ::getpid());
    std::error_code error;
    if (std::filesystem::exists(video, error)) {
        found.push_back(video);
    }
    return found;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 11) {
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
    const Keldar::Cli::InterruptionScope interruption;
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

        // The look of a new display, with the chosen palette.
        FanDisplayOptions::DisplaySettings display = FanDisplay().getCurrentDisplaySettings();
        display.palette = std::stoi(argv[7]);
        VideoExport::VideoAppearance appearance;
        appearance.despeckleLevel = std::stoi(argv[8]);

        VideoExport::VideoRenderer renderer(player, settings, display, appearance);
        const bool terminal = isatty(STDOUT_FILENO) == 1;
        const int frames = settings.endIndex - settings.startIndex + 1;
        std::vector<std::filesystem::path> partial;
        const bool finished = renderer.run([&](std::int32_t frame) {
            if (Keldar::Cli::interrupted()) {
                // Seen before the renderer removes them, to be named after.
                if (partial.empty()) {
                    partial = partialOutputs(renderer.getOutputPath());
                }
                return false;
            }
            if (terminal) {
                std::printf("\rexporting: frame %d of %d", frame - settings.startIndex + 1, frames);
                std::fflush(stdout);
            }
            return true;
        });
        if (!finished) {
            std::string removed;
            for (const auto& path : partial) {
                std::error_code error;
                std::filesystem::remove_all(path, error);
                removed += (removed.empty() ? "" : ", ") + path.string();
            }
            std::cerr << (terminal ? "\n" : "") << "ondrix-cli: interrupted: "
                      << (removed.empty() ? "no partial output was left to remove"
                                          : "removed partial output " + removed)
                      << std::endl;
            return Keldar::Cli::interruptedExitCode();
        }
        if (terminal) {
            std::printf("\n");
        }
        std::cout << renderer.getOutputPath().string() << std::endl;
        if (const auto unreadable = renderer.getUnreadableFrames(); unreadable > 0) {
            std::cerr << "ondrix-cli: " << file << ": " << unreadable << " of " << frames
                      << " frames could not be read; the video shows the picture before each instead" << std::endl;
            return 7;
        }
        return 0;
    } catch (const VideoExport::VideoExportError& error) {
        std::cerr << "ondrix-cli: " << file << ": Something went wrong: " << error.what() << std::endl;
        return 4;
    } catch (const std::exception& error) {
        std::cerr << "ondrix-cli: " << file << ": " << error.what() << std::endl;
        return 5;
    }
}
