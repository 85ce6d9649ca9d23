// ondrix-cli log frames: one line per sonar image of a log, for analysts.

#include "Commands.h"
#include "Json.h"
#include "LogFiles.h"

#include <ctime>
#include <memory>

namespace {

using Keldar::Cli::LoggedFrame;

// "2026-12-08T10:30:00.125Z"
std::string utcText(std::int64_t ms)
{
    const std::int64_t seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    const auto millis = static_cast<int>(ms - seconds * 1000);
    const auto time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (gmtime_r(&time, &utc) == nullptr) {
        return std::to_string(ms);
    }
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", millis);
    return text;
}

nlohmann::ordered_json frameJson(const LoggedFrame& frame)
{
    const auto& image = frame.image;
    nlohmann::ordered_json line{
        {"frame", frame.frame},
        {"entryId", frame.entryId},
        {"timestamp", frame.timestamp},
        {"time", utcText(frame.timestamp)},
        {"range", Keldar::Cli::jsonNumber(image.getRange())},
        {"gain", Keldar::Cli::jsonNumber(image.getGain())},
        {"frequency", Keldar::Cli::jsonNumber(image.getFrequency())},
        {"beams", image.getWidth()},
        {"ranges", image.getHeight()},
    };
    if (frame.attitude) {
        line["pitch"] = Keldar::Cli::jsonNumber(frame.attitude->pitch);
        line["roll"] = Keldar::Cli::jsonNumber(frame.attitude->roll);
    }
    return line;
}

void printFrameText(const LoggedFrame& frame)
{
    const auto& image = frame.image;
    std::cout << "frame " << frame.frame << ": entry " << frame.entryId << ", " << utcText(frame.timestamp)
              << ", range " << image.getRange() << " m, gain " << image.getGain() << " %, frequency "
              << image.getFrequency() << ", " << image.getWidth() << " beams x " << image.getHeight() << " ranges";
    if (frame.attitude) {
        std::cout << ", pitch " << frame.attitude->pitch << ", roll " << frame.attitude->roll;
    }
    std::cout << "\n";
}

void addFrames(CLI::App& log)
{
    struct Options
    {
        std::string file;
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    auto* frames = log.add_subcommand(
        "frames", "One line per sonar image: frame number (the viewer's playback position), entry id, time (UTC),\n"
                  "range, gain, frequency, beams, ranges, and pitch and roll where the message carries them");
    frames->add_option("FILE", options->file, "Log file")->required();
    frames->add_flag("--json", options->json, "JSON Lines: one object per image");
    frames->callback([options] {
        const auto file = Keldar::Cli::openLog(options->file);
        const std::string damage = Keldar::Cli::damageOf(*file);
        const int damaged = Keldar::Cli::forEachFrame(*file, 0, -1, [&](const LoggedFrame& frame) {
            if (options->json) {
                std::cout << frameJson(frame).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
            } else {
                printFrameText(frame);
            }
        });
        std::cout.flush();
        Keldar::Cli::failIfDamaged(damage);
        if (damaged > 0) {
            Keldar::Cli::fail(std::to_string(damaged) + " entries could not be read as sonar images", 5);
        }
    });
}

} // namespace

KELDAR_CLI_SUBCOMMAND(log, frames, addFrames)
