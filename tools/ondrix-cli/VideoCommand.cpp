// ondrix-cli log export-video: a log's span as a video beside it, drawn as
// the viewer's export draws it. Drawing needs Qt and OpenGL, which live in the
// helper program ondrix-cli-video next to this one, so that every other
// command stays free of them; without a display a private Xvfb is started.

#include "Commands.h"
#include "Interruption.h"

#include <keldar/logging/videoexport/VideoExportText.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct VideoOptions
{
    std::string file;
    int from = 0;
    int to = -1;
    std::string timestamp = "relative";
    std::string timeZone;
    bool details = true;
    std::string format = "avi";
    std::string preset = Keldar::Logging::VideoExport::defaultH264Preset;
    bool presetGiven = false;
    bool timeZoneGiven = false;
    double maxPause = 0.0;
    int palette = 0;
    int despeckle = -1;
};

// Beside this program in the build, in ../libexec once installed.
std::filesystem::path helperPath()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    const auto folder = error ? std::filesystem::path(".") : self.parent_path();
    const auto beside = folder / "ondrix-cli-video";
    if (std::filesystem::exists(beside, error)) {
        return beside;
    }
    return folder.parent_path() / "libexec" / "ondrix-cli-video";
}

// An Xvfb of our own, on the display number it picks; stopped when this ends.
class PrivateDisplay
{
public:
    PrivateDisplay()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            // A group of its own: Ctrl-C at the terminal must not take the
            // display away from an export that is still cleaning up.
            setpgid(0, 0);
            dup2(fds[1], 3);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            // -noreset: a server that resets when its last client leaves
            // refuses a client that connects during the reset.
            execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x24", "-nolisten", "tcp", "-noreset",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // Xvfb writes its display number once it accepts clients.
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&wait, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) {
            display_ = ":" + number;
        }
    }

    ~PrivateDisplay()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    const std::string& name() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// The helper's temporaries beside the log, removed.
std::vector<std::filesystem::path> removePartialOutputs(const std::filesystem::path& log, pid_t helper)
{
    std::vector<std::filesystem::path> removed;
    for (const auto& partial : Keldar::Cli::partialOutputsIn(log.parent_path(), helper)) {
        std::error_code error;
        if (std::filesystem::remove_all(partial, error) > 0 && !error) {
            removed.push_back(partial);
        }
    }
    return removed;
}

bool hasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

void runExportVideo(const VideoOptions& options)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(options.file, error)) {
        Keldar::Cli::fail("log file does not exist: " + options.file, 2);
    }
    // The zone is read only by absolute stamps: given with others it would
    // silently do nothing.
    if (options.timeZoneGiven && options.timestamp != "absolute") {
        Keldar::Cli::fail("--time-zone applies to absolute time stamps only: add --timestamp absolute", 2);
    }
    if (options.presetGiven && options.format != "mp4") {
        Keldar::Cli::fail("--preset applies to H.264 only: add --format mp4", 2);
    }
    // The viewer's names for whole-hour offsets ("UTC+05:00") are accepted too.
    std::string zone;
    if (!options.timeZone.empty()) {
        const auto known = Keldar::Logging::VideoExport::formatterTimeZone(options.timeZone);
        if (!known) {
            Keldar::Cli::fail("unknown time zone: " + options.timeZone +
                                  " (an IANA name such as Europe/London, or a whole-hour offset such as UTC+05:00)",
                              2);
        }
        zone = *known;
    }
    const auto helper = helperPath();
    if (access(helper.c_str(), X_OK) != 0) {
        Keldar::Cli::fail("the video renderer " + helper.string() + " is missing", 6);
    }
    std::unique_ptr<PrivateDisplay> display;
    if (!hasDisplay()) {
        display = std::make_unique<PrivateDisplay>();
        if (display->name().empty()) {
            Keldar::Cli::fail("drawing the video needs OpenGL on a display: no DISPLAY or WAYLAND_DISPLAY is set "
                              "and Xvfb could not be started (Debian package xvfb)",
                              6);
        }
    }
    const int type = options.timestamp == "absolute" ? 1 : options.timestamp == "none" ? 2 : 0;
    const std::vector<std::string> arguments{helper.string(),
                                             options.file,
                                             std::to_string(options.from),
                                             std::to_string(options.to),
                                             std::to_string(type),
                                             zone,
                                             options.details ? "1" : "0",
                                             std::to_string(options.palette),
                                             std::to_string(options.despeckle),
                                             options.format,
                                             std::to_string(static_cast<long long>(options.maxPause * 1000.0)),
                                             options.preset};
    // The helper stops, removes its partial video and says so; we pass the
    // signal on when it came to us alone.
    const Keldar::Cli::InterruptionScope interruption;
    if (Keldar::Cli::interrupted()) {
        Keldar::Cli::exitInterrupted(std::vector<std::filesystem::path>{});
    }
    const pid_t child = fork();
    if (child == 0) {
        if (display) {
            setenv("DISPLAY", display->name().c_str(), 1);
        }
        std::vector<char*> argv;
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Keldar::Cli::forwardInterruptionTo(child);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    Keldar::Cli::forwardInterruptionTo(-1);
    if (WIFSIGNALED(status) && Keldar::Cli::interrupted()) {
        // Ended by the signal before it could clean up: what it had
        // started under a temporary name is removed here.
        Keldar::Cli::exitInterrupted(removePartialOutputs(options.file, child));
    }
    // The helper has printed its own message.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw CLI::RuntimeError(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    }
}

void addExportVideo(CLI::App& log)
{
    auto options = std::make_shared<VideoOptions>();
    auto* command = log.add_subcommand(
        "export-video", "Write a span of a log as a 1920x1080, 30 fps video (MPEG-4 in AVI or H.264 in MP4) beside it, "
                        "named with \"_exported\" added; prints its path. Frames whose entry cannot be read are "
                        "counted on stderr and make the command fail. Needs OpenGL: without a display a private Xvfb "
                        "is started");
    command->add_option("FILE", options->file, "Log file")->required();
    command->add_option("--from", options->from, "First frame (entry position, from 0)")->capture_default_str();
    command->add_option("--to", options->to, "Last frame; the last of the log when negative")->capture_default_str();
    command
        ->add_option("--timestamp", options->timestamp,
                     "Time stamp: relative (time since the first frame), absolute or none")
        ->check(CLI::IsMember({"relative", "absolute", "none"}))
        ->capture_default_str();
    command
        ->add_option("--time-zone", options->timeZone,
                     "Time zone of absolute stamps: an IANA name (Asia/Tokyo) or a whole-hour offset (UTC+05:00); "
                     "the one recorded in the log when not given (refused when the log's is unknown)")
        ->each([options](const std::string&) { options->timeZoneGiven = true; });
    command->add_flag("--details,!--no-details", options->details, "Paint the sonar's model and serial number")
        ->capture_default_str();
    command->add_option("--palette", options->palette, "Palette 0-7 (six standard, fire, aqua)")
        ->check(CLI::Range(0, 7))
        ->capture_default_str();
    command->add_option("--format", options->format, "avi (MPEG-4 in AVI) or mp4 (H.264 in MP4, for browsers)")
        ->check(CLI::IsMember({"avi", "mp4"}))
        ->capture_default_str();
    command
        ->add_option("--preset", options->preset,
                     "x264's speed preset for mp4: a faster one takes less processor time and makes a larger file")
        ->check(CLI::IsMember(Keldar::Logging::VideoExport::h264Presets()))
        ->each([options](const std::string&) { options->presetGiven = true; })
        ->capture_default_str();
    command
        ->add_option("--max-pause", options->maxPause,
                     "Shorten pauses in the log longer than SECONDS to SECONDS of video (time stamps keep the "
                     "log's times); 0 keeps them")
        ->check(CLI::Range(0.0, 86400.0))
        ->capture_default_str();
    command->add_option("--despeckle", options->despeckle, "Despeckle level; the display's default when negative")
        ->capture_default_str();
    command->callback([options] { runExportVideo(*options); });
}

} // namespace

KELDAR_CLI_SUBCOMMAND(log, video, addExportVideo)
