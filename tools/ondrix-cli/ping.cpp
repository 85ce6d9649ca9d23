// ondrix-cli ping: connects to one sonar, images, prints one line per image.

#include "Commands.h"
#include "Json.h"
#include "SonarLookup.h"

#include <keldar/ondrix/ConnectionManager.h>
#include <keldar/ondrix/OndrixSonar.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

namespace {

using Keldar::Ondrix::OndrixImage;
using Keldar::Ondrix::OndrixSonar;
using Keldar::Ondrix::Utilities::ConnectionManager;
using Clock = std::chrono::steady_clock;

struct PingOptions
{
    std::uint32_t serial = 0;
    unsigned count = 5;
    bool json = false;
    double discoverySeconds = 5.0;
    double imageTimeoutSeconds = 5.0;
    std::optional<double> range;
    std::optional<double> gain;
    std::string frequency = "low";
    bool fullBeams = false;
    bool onDemand = false;
    Keldar::Cli::ListenOptions listen;
};

struct ImageRecord
{
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    double range = 0;
    double gain = 0;
    double frequency = 0;
    int version = 1;
    OndrixSonar::Attitude attitude{};
};

// Images arrive on the session thread; the main thread prints them.
class ImageQueue
{
public:
    void push(ImageRecord record)
    {
        {
            std::lock_guard lock(m_mutex);
            m_records.push_back(record);
        }
        m_condition.notify_one();
    }
    std::optional<ImageRecord> pop(std::chrono::duration<double> timeout)
    {
        std::unique_lock lock(m_mutex);
        if (!m_condition.wait_for(lock, timeout, [&] { return !m_records.empty(); })) {
            return std::nullopt;
        }
        ImageRecord record = m_records.front();
        m_records.pop_front();
        return record;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::deque<ImageRecord> m_records;
};

void printImage(unsigned index, const ImageRecord& r, bool json)
{
    using Keldar::Cli::jsonNumber;
    if (json) {
        Keldar::Cli::Json line{{"width", r.width},
                               {"height", r.height},
                               {"range", jsonNumber(r.range)},
                               {"gain", jsonNumber(r.gain)},
                               {"frequency", jsonNumber(r.frequency)}};
        if (r.version == 2) {
            line["pitch"] = jsonNumber(r.attitude.pitch);
            line["roll"] = jsonNumber(r.attitude.roll);
        }
        std::cout << Keldar::Cli::jsonLine(line) << "\n";
    } else {
        std::cout << "image " << index << ": " << r.width << " beams x " << r.height << " ranges, range " << r.range
                  << " m, gain " << r.gain << " %, frequency " << r.frequency;
        if (r.version == 2) {
            std::cout << ", pitch " << r.attitude.pitch << ", roll " << r.attitude.roll;
        }
        std::cout << "\n";
    }
    std::cout.flush();
}

void runPing(const PingOptions& options)
{
    ConnectionManager manager(
        ConnectionManager::Settings{options.listen.address, options.listen.port, options.listen.sonarPort});
    manager.startListening();

    const auto info = Keldar::Cli::waitForSonar(manager, options.serial, options.discoverySeconds);
    if (!info) {
        std::ostringstream message;
        message << "sonar " << options.serial << " was not seen within " << options.discoverySeconds
                << " s (listening on " << options.listen.address << ":" << options.listen.port << ")";
        Keldar::Cli::fail(message.str(), 2);
    }
    if (!info->connectable) {
        Keldar::Cli::fail("sonar " + std::to_string(options.serial) + " (" + info->spec.name + " at " +
                              info->ipAddress + ") refuses connections",
                          3);
    }
    std::unique_ptr<OndrixSonar> sonar = manager.getSonar(options.serial);
    if (!sonar) {
        Keldar::Cli::fail("could not connect to sonar " + std::to_string(options.serial) + " at " + info->ipAddress, 3);
    }

    ImageQueue queue;
    std::mutex latestMutex;
    ImageRecord latest;
    sonar->newImage.connect([&](const OndrixImage& image) {
        std::lock_guard lock(latestMutex);
        latest = ImageRecord{
            image.getWidth(), image.getHeight(), image.getRange(), image.getGain(), image.getFrequency(), 1, {}};
    });
    sonar->newAttitude.connect([&](const OndrixSonar::Attitude& attitude) {
        std::lock_guard lock(latestMutex);
        latest.attitude = attitude;
    });
    // The raw message comes last for each ping, so the record is complete here.
    sonar->rawMessage.connect([&](const std::vector<std::byte>&, Keldar::Ondrix::MessageType, int version) {
        ImageRecord record;
        {
            std::lock_guard lock(latestMutex);
            record = latest;
        }
        record.version = version;
        queue.push(record);
    });

    // The frequency first: a range is limited to the maximum of the frequency
    // in force when it is set.
    sonar->setFrequency(options.frequency == "high" ? OndrixSonar::Frequency::High : OndrixSonar::Frequency::Low);
    if (options.range) {
        sonar->setRange(*options.range);
    }
    if (options.gain) {
        sonar->setGain(*options.gain);
    }
    sonar->setFullBeams(options.fullBeams);
    const auto timeout = std::chrono::duration<double>(options.imageTimeoutSeconds);
    if (options.onDemand) {
        sonar->beginImaging(OndrixSonar::PingControl::OnDemand);
    } else {
        sonar->beginImaging(OndrixSonar::PingControl::Continuous);
    }
    for (unsigned i = 1; i <= options.count; ++i) {
        if (options.onDemand) {
            sonar->ping();
        }
        const auto record = queue.pop(timeout);
        if (!record) {
            sonar.reset();
            std::ostringstream message;
            message << "no image from sonar " << options.serial << " within " << options.imageTimeoutSeconds << " s";
            Keldar::Cli::fail(message.str(), 4);
        }
        printImage(i, *record, options.json);
    }
    sonar.reset(); // disconnect before the manager goes
}

void addPing(CLI::App& app)
{
    auto options = std::make_shared<PingOptions>();
    auto* command = app.add_subcommand("ping", "Connect to a sonar, image and print one line per image");
    command->add_option("--serial", options->serial, "Serial number of the sonar")->required();
    command->add_option("--count", options->count, "Number of images to receive")
        ->check(CLI::Range(1U, 1000000U))
        ->capture_default_str();
    command->add_flag("--json", options->json,
                      "One JSON object per image: width, height, range, gain, frequency (and pitch, roll for "
                      "version-2 results)");
    command->add_option("--discovery-seconds", options->discoverySeconds, "How long to wait for the sonar to be seen")
        ->check(CLI::Range(0.1, 3600.0))
        ->capture_default_str();
    command->add_option("--image-timeout", options->imageTimeoutSeconds, "Seconds to wait for each image")
        ->check(CLI::Range(0.1, 3600.0))
        ->capture_default_str();
    command->add_option("--range", options->range, "Range in metres (limited to the model's)");
    command->add_option("--gain", options->gain, "Gain in percent")->check(CLI::Range(0.0, 100.0));
    command->add_option("--frequency", options->frequency, "low or high")
        ->check(CLI::IsMember({"low", "high"}))
        ->capture_default_str();
    command->add_flag("--full-beams", options->fullBeams, "Ask for 512 beams");
    command->add_flag("--on-demand", options->onDemand, "Ask for each ping instead of imaging continuously");
    Keldar::Cli::addListenOptions(*command, options->listen);
    command->callback([options] { runPing(*options); });
}

} // namespace

KELDAR_CLI_COMMAND(ping, addPing)
