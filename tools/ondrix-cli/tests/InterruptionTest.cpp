// ondrix-cli interrupted part way through each command that writes, as a user
// would with Ctrl-C or a service manager with SIGTERM: the signal goes to the
// real process once its output has started to appear, and the folder must be
// left exactly as it was, with the removed file named and the exit code
// 128 + signal. A recording interrupted is kept instead.

#include <keldar/logging/SqliteLogFile.h>
#include <keldar/navigation/NavigationLog.h>
#include <keldar/navigation/NmeaTrackSimulator.h>
#include <keldar/ondrix/MessageBuilding.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
namespace Build = Keldar::Ondrix::MessageBuilding;

namespace {

std::string tool(const char* variable)
{
    const char* path = std::getenv(variable);
    return path != nullptr ? path : "";
}

// "name size" of everything in the folder, sorted.
std::vector<std::string> listing(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string() + " " +
                        std::to_string(entry.is_regular_file() ? entry.file_size() : 0));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> names(const fs::path& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        found.push_back(entry.path().filename().string());
    }
    return found;
}

// A program started with its stdout and stderr in files of the folder above
// the one it writes into, so that they are not part of its listing.
class Process
{
public:
    Process(const std::vector<std::string>& arguments, const fs::path& logs)
        : out_(logs / "stdout")
        , err_(logs / "stderr")
    {
        pid_ = fork();
        if (pid_ == 0) {
            freopen(out_.c_str(), "w", stdout);
            freopen(err_.c_str(), "w", stderr);
            std::vector<char*> argv;
            for (const auto& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Process()
    {
        if (!ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Until `condition` holds; false when the process ended first.
    template<typename Condition>
    bool waitUntil(Condition condition)
    {
        while (!condition()) {
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                ended_ = true;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }

    void signal(int number) const { kill(pid_, number); }

    // The exit code, or 1000 + the signal that killed it.
    int wait()
    {
        if (!ended_) {
            waitpid(pid_, &status_, 0);
            ended_ = true;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 1000 + WTERMSIG(status_);
    }

    std::string output() const { return read(out_); }
    std::string errors() const { return read(err_); }

private:
    static std::string read(const fs::path& path)
    {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path out_;
    fs::path err_;
    pid_t pid_ = -1;
    int status_ = 0;
    bool ended_ = false;
};

// 600 images of 512 beams x 256 ranges of noise, 100 ms apart (75 MB): long
// enough to take a while to copy, compress, draw or convert; with navigation,
// a vessel's NMEA beside them so that each frame can be placed.
void writeSurvey(const fs::path& path, bool navigation = false)
{
    Build::ImageDescription image;
    image.beams = 512;
    image.ranges = 256;
    image.range = 20.0;
    image.bearings.resize(image.beams);
    std::generate(image.bearings.begin(), image.bearings.end(), [b = -6500]() mutable { return b += 25; });
    image.samples.resize(std::size_t{image.beams} * image.ranges);
    std::independent_bits_engine<std::mt19937, 8, unsigned> noise(11);
    std::generate(image.samples.begin(), image.samples.end(), [&] { return static_cast<std::uint8_t>(noise()); });
    const auto message = Build::buildSimplePingResultV2(image);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(message.data());
    const std::vector<std::uint8_t> payload(bytes, bytes + message.size());

    Keldar::Logging::SqliteLogFile log(path.string(), "UTC", "interruption-test", "1", 0, 1700000000000);
    Keldar::Logging::DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix Sonar"};
    log.addDataSource(source);
    Keldar::Logging::DataSource nmea{-1, KD_LogDataSourceType_Navigation, Keldar::Navigation::navigationSourceName};
    if (navigation) {
        log.addDataSource(nmea);
    }
    const Keldar::Navigation::NmeaTrackSimulator vessel({{60.0, 10.7}, 45.0, 2.0, 0.0, 1700000000000});
    log.setBulkWriting(true);
    log.beginTransaction();
    for (int i = 0; i < 600; ++i) {
        const std::int64_t time = 1700000000000 + i * 100;
        log.logData({0, source.id, 1, payload, time});
        for (const auto& sentence : navigation ? vessel.sentencesAt(time) : std::vector<std::string>{}) {
            log.logData({0, nmea.id, Keldar::Navigation::nmeaSentenceType,
                         std::vector<std::uint8_t>(sentence.begin(), sentence.end()), time});
        }
    }
    log.commitTransaction();
    log.setBulkWriting(false);
}

struct Interruption
{
    const char* name;
    // "LOG" and "DIR" stand for the log and the folder it is in.
    std::vector<std::string> arguments;
    int signal;
    // The command works on an older-format copy of the log, made first.
    bool olderFormat = false;
    // The log has navigation.
    bool navigated = false;
};

class InterruptedCommand : public ::testing::TestWithParam<Interruption>
{
public:
    static void SetUpTestSuite()
    {
        root = fs::temp_directory_path() / ("ondrix-cli-interruption-" + std::to_string(getpid()));
        fs::create_directories(root);
        writeSurvey(root / "survey.ondrix");
        writeSurvey(root / "navigated.ondrix", true);
    }
    static void TearDownTestSuite() { fs::remove_all(root); }

protected:
    static inline fs::path root;
};

TEST_P(InterruptedCommand, LeavesTheFolderAsItWasAndSaysWhatItRemoved)
{
    const auto& param = GetParam();
    const std::string cli = tool("ONDRIX_CLI");
    ASSERT_FALSE(cli.empty()) << "ONDRIX_CLI names the program under test";
    const fs::path work = root / param.name;
    const fs::path folder = work / "files";
    fs::create_directories(folder);
    fs::path log = folder / "survey.ondrix";
    fs::copy_file(root / (param.navigated ? "navigated.ondrix" : "survey.ondrix"), log);
    if (param.olderFormat) {
        Process legacy({cli, "log", "export-legacy", log.string(), "--from", "0", "--to", "599"}, work);
        ASSERT_EQ(legacy.wait(), 0) << legacy.errors();
        fs::remove(log);
        log = folder / "survey_legacy.ondrix";
    }

    std::vector<std::string> arguments{cli};
    for (const auto& argument : param.arguments) {
        arguments.push_back(argument == "LOG" ? log.string() : argument == "DIR" ? folder.string() : argument);
        if (argument.rfind("DIR/", 0) == 0) {
            arguments.back() = (folder / argument.substr(4)).string();
        }
    }
    const auto before = listing(folder);
    const auto known = names(folder);
    Process command(arguments, work);
    // Once its output has started to appear.
    ASSERT_TRUE(command.waitUntil([&] { return names(folder).size() > known.size(); }))
        << "ended before writing anything: " << command.errors();
    command.signal(param.signal);
    EXPECT_EQ(command.wait(), 128 + param.signal) << command.errors();

    EXPECT_EQ(listing(folder), before) << "no output, temporary or journal may be left";
    // It says so, and names the file it removed.
    const std::string told = command.errors();
    EXPECT_NE(told.find("interrupted"), std::string::npos) << told;
    EXPECT_NE(told.find("removed"), std::string::npos) << told;
    EXPECT_NE(told.find(folder.string() + "/"), std::string::npos) << told;
    EXPECT_EQ(command.output(), "");
}

// The video needs the drawing helper, which only a build with the viewer's
// libraries has.
std::vector<Interruption> writingCommands()
{
    std::vector<Interruption> commands{
        // Recompressing every entry takes seconds.
        Interruption{
            "slice",
            {"log", "slice", "LOG", "--first", "2", "--last", "600", "--out", "DIR/part.ondrix", "--compression", "9"},
            SIGINT},
        Interruption{"clone", {"log", "clone", "LOG", "--out", "DIR/copy.ondrix", "--compression", "9"}, SIGTERM},
        Interruption{"export_legacy", {"log", "export-legacy", "LOG", "--from", "0", "--to", "599"}, SIGINT},
        Interruption{"convert_legacy", {"log", "convert-legacy", "LOG", "--compression"}, SIGTERM, true},
        Interruption{
            "export_frames_npz", {"log", "export-frames", "LOG", "--format", "npz", "DIR/frames.npz"}, SIGTERM},
        Interruption{"export_frames_png", {"log", "export-frames", "LOG", "--format", "png", "DIR/frames"}, SIGINT},
        Interruption{"export_geotiff_series",
                     {"log", "export-geotiff", "LOG", "--every", "1", "--output", "DIR/tiles"},
                     SIGINT,
                     false,
                     true}};
#if ONDRIX_CLI_WITH_VIDEO
    commands.push_back(Interruption{"export_video", {"log", "export-video", "LOG", "--to", "300"}, SIGINT});
    commands.push_back(
        Interruption{"export_video_mp4", {"log", "export-video", "LOG", "--to", "300", "--format", "mp4"}, SIGTERM});
#endif
    return commands;
}

INSTANTIATE_TEST_SUITE_P(EveryWritingCommand, InterruptedCommand, ::testing::ValuesIn(writingCommands()),
                         [](const auto& info) { return std::string(info.param.name); });

std::uint16_t freePort(int type)
{
    const int fd = socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

TEST(InterruptedRecording, IsClosedAndKept)
{
    const std::string cli = tool("ONDRIX_CLI");
    const std::string sim = tool("ONDRIX_SIM");
    ASSERT_FALSE(cli.empty() || sim.empty()) << "ONDRIX_CLI and ONDRIX_SIM name the programs";
    const fs::path work = fs::temp_directory_path() / ("ondrix-cli-interrupted-record-" + std::to_string(getpid()));
    const fs::path folder = work / "logs";
    fs::create_directories(folder);
    fs::create_directories(work / "sim");
    const auto statusPort = std::to_string(freePort(SOCK_DGRAM));
    const auto tcpPort = std::to_string(freePort(SOCK_STREAM));
    Process simulator({sim, "--quiet", "--serial", "53001", "--address", "127.0.0.45", "--port", tcpPort,
                       "--status-port", statusPort, "--status-interval-ms", "100", "--duration", "120"},
                      work / "sim");
    Process record({cli, "record", "--serial", "53001", "--seconds", "100", "--folder", folder.string(), "--progress",
                    "--listen-address", "127.0.0.1", "--listen-port", statusPort, "--sonar-port", tcpPort},
                   work);
    ASSERT_TRUE(record.waitUntil([&] { return record.output().find("committed 3\n") != std::string::npos; }))
        << record.errors();
    record.signal(SIGINT);
    EXPECT_EQ(record.wait(), 130) << record.errors();
    EXPECT_NE(record.errors().find("ondrix-cli: interrupted: recording stopped; "), std::string::npos)
        << record.errors();

    const auto kept = names(folder);
    ASSERT_EQ(kept.size(), 1U) << "the recording alone, without a journal";
    EXPECT_NE(record.errors().find("entries kept in " + (folder / kept[0]).string()), std::string::npos);
    const Keldar::Logging::SqliteLogFile back(folder / kept[0], Keldar::Logging::SqliteLogFile::Access::ReadOnly);
    EXPECT_GE(back.getEntryCount(), 3);
    fs::remove_all(work);
}

} // namespace
