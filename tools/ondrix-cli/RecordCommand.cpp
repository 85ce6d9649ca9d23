// ondrix-cli record: records a live sonar into a new log file the way the
// viewer does - every raw ping result one entry, through the flat interface.

#include "Commands.h"
#include "Interruption.h"
#include "SonarLookup.h"

#include <keldar/logging/FlatInterface.h>
#include <keldar/navigation/NavigationLog.h>
#include <keldar/navigation/NmeaSource.h>
#include <keldar/ondrix/ConnectionManager.h>
#include <keldar/ondrix/OndrixSonar.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Keldar::Ondrix::OndrixSonar;
using Keldar::Ondrix::Utilities::ConnectionManager;
using Clock = std::chrono::steady_clock;

struct RecordOptions
{
    std::uint32_t serial = 0;
    std::optional<unsigned> count;
    std::optional<double> seconds;
    std::string folder = ".";
    bool compression = false;
    bool progress = false;
    bool fullBeams = false;
    std::optional<unsigned> pingRateHz;
    double discoverySeconds = 5.0;
    double imageTimeoutSeconds = 5.0;
    Keldar::Cli::ListenOptions listen;
    std::string nmea;
    Keldar::Navigation::Mounting mounting;
};

// "yyyyMMdd_hhmmss" in local time.
std::string localTimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &local);
    return text;
}

// The IANA name of the local zone, as far as the system tells it.
std::string localTimeZoneName()
{
    if (const char* zone = std::getenv("TZ"); zone != nullptr && *zone != '\0') {
        return *zone == ':' ? zone + 1 : zone;
    }
    std::ifstream configured("/etc/timezone");
    std::string name;
    if (std::getline(configured, name) && !name.empty()) {
        return name;
    }
    std::error_code error;
    const auto target = std::filesystem::read_symlink("/etc/localtime", error).string();
    if (const auto at = target.find("zoneinfo/"); !error && at != std::string::npos) {
        return target.substr(at + 9);
    }
    return "UTC";
}

Keldar::Ondrix::PingRate pingRateCode(unsigned hertz)
{
    using Keldar::Ondrix::PingRate;
    switch (hertz) {
    case 2:
        return PingRate::Rate2Hz;
    case 5:
        return PingRate::Rate5Hz;
    case 15:
        return PingRate::Rate15Hz;
    case 40:
        return PingRate::Rate40Hz;
    default:
        return PingRate::Rate10Hz;
    }
}

std::string takeMessage(KD_LogError*& error, const std::string& fallback)
{
    const char* text = nullptr;
    std::string message = KD_LogError_GetErrorMessage(error, &text) && text != nullptr ? text : fallback;
    KD_LogError_Destroy(error);
    error = nullptr;
    return message;
}

// Creates the log file with the sonar's data source and its properties, as
// the viewer does. On failure nothing is left behind: every handle is
// released, a file this call created is removed, and `failure` says why.
bool createRecording(const std::filesystem::path& path, bool compression, const std::string& sourceName,
                     const std::vector<std::pair<const char*, std::int32_t>>& properties, KD_LogFile*& file,
                     KD_LogDataSource*& source, std::string& failure)
{
    KD_LogError* error = nullptr;
    KD_LogConfig* config = KD_LogConfig_Create("ondrix-cli", KELDAR_VERSION, localTimeZoneName().c_str());
    KD_LogConfig_SetCompressionLevel(config, compression ? -1 : 0, nullptr);
    file = KD_LogFile_Create(path.string().c_str(), config, &error);
    KD_LogConfig_Destroy(config);
    if (file == nullptr) {
        failure = takeMessage(error, "cannot create " + path.string());
        return false;
    }
    source = KD_LogDataSource_Create(KD_LogDataSourceType_Sonar, sourceName.c_str());
    bool ok = KD_LogFile_AddDataSource(file, source, &error);
    if (!ok) {
        failure =
            "cannot add the data source to " + path.string() + ": " + takeMessage(error, "Unknown internal error");
    }
    for (std::size_t i = 0; ok && i < properties.size(); ++i) {
        KD_LogDataSourceProperty* property =
            KD_LogDataSourceProperty_CreateInt32(source, properties[i].first, properties[i].second);
        ok = KD_LogFile_AddDataSourceProperty(file, property, &error);
        KD_LogDataSourceProperty_Destroy(property);
        if (!ok) {
            failure = std::string("cannot add the property ") + properties[i].first + " to " + path.string() + ": " +
                      takeMessage(error, "Unknown internal error");
        }
    }
    if (ok) {
        return true;
    }
    KD_LogFile_Destroy(file);
    KD_LogDataSource_Destroy(source);
    file = nullptr;
    source = nullptr;
    // Only made a moment ago and holding no data.
    std::error_code removeError;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::filesystem::remove(path.string() + suffix, removeError);
    }
    return false;
}

// The navigation source and its mounting; null with `failure` set when the
// file refuses them.
KD_LogDataSource* addNavigationSource(KD_LogFile* file, const Keldar::Navigation::Mounting& mounting,
                                      std::string& failure)
{
    KD_LogDataSource* source =
        KD_LogDataSource_Create(KD_LogDataSourceType_Navigation, Keldar::Navigation::navigationSourceName);
    KD_LogError* error = nullptr;
    bool ok = KD_LogFile_AddDataSource(file, source, &error);
    for (const auto& [key, value] : {std::pair{Keldar::Navigation::headingOffsetKey, mounting.headingOffset},
                                     std::pair{Keldar::Navigation::leverArmForwardKey, mounting.forward},
                                     std::pair{Keldar::Navigation::leverArmStarboardKey, mounting.starboard}}) {
        if (!ok) {
            break;
        }
        KD_LogDataSourceProperty* property = KD_LogDataSourceProperty_CreateDouble(source, key, value);
        ok = KD_LogFile_AddDataSourceProperty(file, property, &error);
        KD_LogDataSourceProperty_Destroy(property);
    }
    if (!ok) {
        failure = "cannot add the navigation source: " + takeMessage(error, "Unknown internal error");
        KD_LogDataSource_Destroy(source);
        return nullptr;
    }
    return source;
}

// Writes raw messages from the session thread; stop() makes later messages a
// no-op and waits for a write in progress before the file is closed.
class Recording
{
public:
    Recording(KD_LogFile* file, KD_LogDataSource* source, bool progress)
        : file_(file)
        , source_(source)
        , progress_(progress)
    {
    }
    ~Recording() { stop(); }
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    void write(const std::vector<std::byte>& bytes, int version)
    {
        std::lock_guard lock(mutex_);
        if (file_ == nullptr) {
            return;
        }
        // Type 0 is a version-1 ping result, 1 a version-2 one.
        KD_LogDataEntry* entry = KD_LogDataEntry_Create(
            source_, version != 1 ? 1U : 0U, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        KD_LogError* error = nullptr;
        if (KD_LogFile_LogData(file_, entry, &error)) {
            ++written_;
            if (progress_) {
                // The entry is committed: whatever happens to this process
                // from now on, the file holds it.
                std::printf("committed %u\n", written_);
                std::fflush(stdout);
            }
        } else {
            ++failed_;
            lastError_ = takeMessage(error, "Unknown internal error");
        }
        KD_LogDataEntry_Destroy(entry);
        changed_.notify_all();
    }

    // Navigation arrives on its own thread; it neither counts as a sonar
    // entry nor keeps a silent sonar's recording alive.
    void writeSentence(KD_LogDataSource* source, const std::string& line, std::int64_t receivedMs)
    {
        std::lock_guard lock(mutex_);
        if (file_ == nullptr) {
            return;
        }
        KD_LogDataEntry* entry =
            KD_LogDataEntry_Create(source, Keldar::Navigation::nmeaSentenceType,
                                   reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
        KD_LogDataEntry_SetTimestamp(entry, receivedMs);
        KD_LogError* error = nullptr;
        if (KD_LogFile_LogData(file_, entry, &error)) {
            ++sentences_;
        } else {
            ++failed_;
            lastError_ = takeMessage(error, "Unknown internal error");
        }
        KD_LogDataEntry_Destroy(entry);
    }

    unsigned sentences()
    {
        std::lock_guard lock(mutex_);
        return sentences_;
    }

    // Waits until `count` entries are written, the deadline passes, no
    // message arrives for `silence` or a signal comes; returns the number
    // written.
    unsigned waitFor(std::optional<unsigned> count, Clock::time_point deadline, std::chrono::duration<double> silence)
    {
        // A signal handler cannot wake the condition: it is looked at this often.
        constexpr auto signalPoll = std::chrono::milliseconds(50);
        const auto quiet = std::chrono::duration_cast<Clock::duration>(silence);
        std::unique_lock lock(mutex_);
        auto silentUntil = Clock::now() + quiet;
        while (!(count && written_ >= *count) && !Keldar::Cli::interrupted()) {
            const auto now = Clock::now();
            if (now >= deadline || now >= silentUntil) {
                break;
            }
            const unsigned before = written_ + failed_;
            changed_.wait_until(lock, std::min({deadline, silentUntil, now + signalPoll}),
                                [&] { return written_ + failed_ != before; });
            if (written_ + failed_ != before) {
                silentUntil = Clock::now() + quiet;
            }
        }
        return written_;
    }

    void stop()
    {
        std::lock_guard lock(mutex_);
        if (file_ != nullptr) {
            KD_LogFile_Destroy(file_);
            file_ = nullptr;
        }
    }

    unsigned failures()
    {
        std::lock_guard lock(mutex_);
        return failed_;
    }

    std::string lastError()
    {
        std::lock_guard lock(mutex_);
        return lastError_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    KD_LogFile* file_;
    KD_LogDataSource* source_;
    bool progress_;
    unsigned written_ = 0;
    unsigned sentences_ = 0;
    unsigned failed_ = 0;
    std::string lastError_;
};

void runRecord(const RecordOptions& options)
{
    std::error_code fsError;
    if (!std::filesystem::is_directory(options.folder, fsError)) {
        Keldar::Cli::fail("the log folder does not exist: " + options.folder, 2);
    }
    ConnectionManager manager(
        ConnectionManager::Settings{options.listen.address, options.listen.port, options.listen.sonarPort});
    manager.startListening();
    const auto info = Keldar::Cli::waitForSonar(manager, options.serial, options.discoverySeconds);
    if (!info) {
        Keldar::Cli::fail("sonar " + std::to_string(options.serial) + " was not seen", 2);
    }
    std::unique_ptr<OndrixSonar> sonar = manager.getSonar(options.serial);
    if (!sonar) {
        Keldar::Cli::fail("could not connect to sonar " + std::to_string(options.serial), 3);
    }

    const std::filesystem::path path =
        (std::filesystem::path(options.folder) / localTimeStamp()).replace_extension(".ondrix");
    const std::string sourceName = "Ondrix " + sonar->getSpec().name;
    const std::vector<std::pair<const char*, std::int32_t>> properties{
        {"serialNumber", static_cast<std::int32_t>(sonar->getSerialNumber())},
        {"modelNumber", static_cast<std::int32_t>(sonar->getModelNumber())},
    };
    // A signal stops the recording, which is closed and kept.
    const Keldar::Cli::InterruptionScope interruption;
    std::string failure;
    KD_LogFile* file = nullptr;
    KD_LogDataSource* source = nullptr;
    if (!createRecording(path, options.compression, sourceName, properties, file, source, failure)) {
        sonar.reset();
        Keldar::Cli::fail(failure, 4);
    }
    // Outlives the recording, which uses it, on every way out of here.
    const std::unique_ptr<KD_LogDataSource, decltype(&KD_LogDataSource_Destroy)> sourceOwner(source,
                                                                                             &KD_LogDataSource_Destroy);

    if (options.progress) {
        std::printf("recording %s\n", path.string().c_str());
        std::fflush(stdout);
    }
    std::unique_ptr<KD_LogDataSource, decltype(&KD_LogDataSource_Destroy)> navigationSource(nullptr,
                                                                                            &KD_LogDataSource_Destroy);
    if (!options.nmea.empty()) {
        navigationSource.reset(addNavigationSource(file, options.mounting, failure));
        if (!navigationSource) {
            KD_LogFile_Destroy(file);
            Keldar::Cli::fail(failure, 4);
        }
    }
    auto recording = std::make_unique<Recording>(file, source, options.progress);
    std::unique_ptr<Keldar::Navigation::NmeaSource> nmea;
    if (navigationSource) {
        // Only whole, valid sentences are kept, verbatim, so that reading the
        // recording back runs them through the same parser.
        nmea = std::make_unique<Keldar::Navigation::NmeaSource>(
            Keldar::Navigation::NmeaEndpoint::parse(options.nmea),
            [&recording, source = navigationSource.get()](const std::string& line, std::int64_t receivedMs) {
                if (Keldar::Navigation::parseNmea(line).verdict == Keldar::Navigation::NmeaVerdict::Accepted) {
                    recording->writeSentence(source, line, receivedMs);
                }
            });
        try {
            nmea->start();
        } catch (const std::exception& error) {
            recording->stop();
            Keldar::Cli::fail(error.what(), 4);
        }
    }
    auto connection =
        sonar->rawMessage.connect([&recording](const std::vector<std::byte>& bytes, Keldar::Ondrix::MessageType,
                                               int version) { recording->write(bytes, version); });
    sonar->setFullBeams(options.fullBeams);
    if (options.pingRateHz) {
        sonar->setPingRate(pingRateCode(*options.pingRateHz));
    }
    sonar->beginImaging(OndrixSonar::PingControl::Continuous);

    const auto deadline = options.seconds ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                               std::chrono::duration<double>(*options.seconds))
                                          : Clock::time_point::max();
    const unsigned written =
        recording->waitFor(options.count, deadline, std::chrono::duration<double>(options.imageTimeoutSeconds));
    // Close the file first (waiting for a write in progress), then detach.
    recording->stop();
    nmea.reset();
    const unsigned sentences = recording->sentences();
    connection.disconnect();
    sonar.reset();
    const unsigned failures = recording->failures();
    const std::string lastError = recording->lastError();
    recording.reset();

    // A journal left beside it means the close did not complete: the next
    // open would roll the file back to its last checkpoint.
    std::error_code error;
    const bool closed = !std::filesystem::exists(path.string() + "-wal", error) &&
                        !std::filesystem::exists(path.string() + "-journal", error);
    const std::string unclosed = "the recording could not be closed cleanly: its journal remains beside it";
    std::cout << path.string() << "\n" << written << " entries\n";
    if (!options.nmea.empty()) {
        std::cout << sentences << " navigation sentences\n";
    }
    if (Keldar::Cli::interrupted()) {
        Keldar::Cli::exitInterrupted("recording stopped; " + std::to_string(written) + " entries kept in " +
                                     path.string() + (closed ? "" : "; " + unclosed));
    }
    if (!closed) {
        Keldar::Cli::fail(path.string() + ": " + unclosed, 5);
    }
    if (failures > 0) {
        Keldar::Cli::fail(std::to_string(failures) + " entries could not be written: " + lastError, 5);
    }
    if (options.count && written < *options.count) {
        Keldar::Cli::fail("the sonar stopped sending after " + std::to_string(written) + " entries", 6);
    }
}

void addRecord(CLI::App& app)
{
    auto options = std::make_shared<RecordOptions>();
    auto* command = app.add_subcommand("record", "Record a live sonar into a new log file named by local time");
    command->add_option("--serial", options->serial, "Serial number of the sonar")->required();
    auto* count = command->add_option("--count", options->count, "Number of ping results to record")
                      ->check(CLI::Range(1U, 100000000U));
    auto* seconds =
        command->add_option("--seconds", options->seconds, "How long to record")->check(CLI::Range(0.1, 864000.0));
    count->excludes(seconds);
    seconds->excludes(count);
    command->add_option("--folder", options->folder, "Folder for the log file")->capture_default_str();
    command->add_flag("--compression", options->compression, "Compress the payloads (default level)");
    command->add_flag("--full-beams", options->fullBeams, "Ask for 512 beams");
    command->add_option("--ping-rate", options->pingRateHz, "Pings per second: 2, 5, 10, 15 or 40")
        ->check(CLI::IsMember({2U, 5U, 10U, 15U, 40U}));
    command->add_flag("--progress", options->progress,
                      "Print \"recording PATH\" once the file exists, then \"committed N\" as soon as the Nth\n"
                      "entry is safely in the file (for scripts that watch a recording)");
    command->add_option("--discovery-seconds", options->discoverySeconds, "How long to wait for the sonar to be seen")
        ->check(CLI::Range(0.1, 3600.0))
        ->capture_default_str();
    command
        ->add_option("--image-timeout", options->imageTimeoutSeconds,
                     "Stop when no ping result arrives for this many seconds")
        ->check(CLI::Range(0.1, 3600.0))
        ->capture_default_str();
    command
        ->add_option("--nmea", options->nmea,
                     "Record navigation too: NMEA 0183 from udp:PORT, tcp:HOST:PORT or serial:PATH:BAUD")
        ->check([](const std::string& text) {
            try {
                Keldar::Navigation::NmeaEndpoint::parse(text);
                return std::string();
            } catch (const std::exception& error) {
                return std::string(error.what());
            }
        });
    command->add_option("--mount-heading-offset", options->mounting.headingOffset,
                        "Sonar heading relative to the vessel, degrees clockwise");
    command->add_option("--mount-forward", options->mounting.forward, "Sonar ahead of the position antenna, metres");
    command->add_option("--mount-starboard", options->mounting.starboard,
                        "Sonar to starboard of the position antenna, metres");
    Keldar::Cli::addListenOptions(*command, options->listen);
    command->callback([options] {
        if (!options->count && !options->seconds) {
            Keldar::Cli::fail("record needs --count N or --seconds T", 1);
        }
        runRecord(*options);
    });
}

} // namespace

KELDAR_CLI_COMMAND(record, addRecord)
