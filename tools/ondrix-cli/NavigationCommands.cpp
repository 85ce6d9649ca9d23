// ondrix-cli log track and log export-geotiff: where a recording was, from
// the navigation recorded with it.

#include "Commands.h"
#include "Interruption.h"
#include "LogFiles.h"

#include <keldar/core/OutputFile.h>
#include <keldar/navigation/GeoTiff.h>
#include <keldar/navigation/NavigationLog.h>
#include <keldar/navigation/TrackExport.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>

namespace {

namespace Nav = Keldar::Navigation;

struct LoadedNavigation
{
    Nav::NavigationTrack track;
    Nav::Mounting mounting;
};

LoadedNavigation loadNavigation(const Keldar::Logging::LogFileInterface& file, const std::string& path)
{
    LoadedNavigation loaded{Nav::readNavigationTrack(file), Nav::recordedMounting(file)};
    if (loaded.track.positions().empty()) {
        Keldar::Cli::fail(path + ": the recording holds no positions", 7);
    }
    return loaded;
}

void addTrack(CLI::App& log)
{
    struct Options
    {
        std::string file;
        std::string format = "geojson";
        std::string output;
    };
    auto options = std::make_shared<Options>();
    auto* command = log.add_subcommand(
        "track", "The recorded track as GeoJSON or KML (with each frame's fan as a footprint) or GPX (track only)");
    command->add_option("FILE", options->file, "Log file")->required();
    command->add_option("--format", options->format, "geojson, kml or gpx")
        ->check(CLI::IsMember({"geojson", "kml", "gpx"}))
        ->capture_default_str();
    command->add_option("--output", options->output, "File to write (standard output when absent)");
    command->callback([options] {
        const auto file = Keldar::Cli::openLog(options->file);
        const auto navigation = loadNavigation(*file, options->file);
        const auto format = *Nav::trackFormatFromName(options->format);
        // Standard output is the user's to cut short; a file is written whole or not at all.
        std::optional<Keldar::Cli::InterruptionScope> interruption;
        if (!options->output.empty()) {
            interruption.emplace();
        }
        std::vector<Nav::Footprint> footprints;
        int damaged = 0;
        if (format != Nav::TrackFormat::Gpx) {
            damaged = Keldar::Cli::forEachFrame(*file, 0, -1, [&](const Keldar::Cli::LoggedFrame& frame) {
                if (interruption && Keldar::Cli::interrupted()) {
                    // Nothing is written yet: the footprints are only in memory.
                    Keldar::Cli::exitInterrupted(std::vector<std::filesystem::path>{});
                }
                const auto placed = Nav::placeFrame(frame, navigation.track, navigation.mounting);
                if (!placed) {
                    return;
                }
                const auto [low, high] = std::minmax_element(placed->bearings.begin(), placed->bearings.end());
                footprints.push_back({frame.frame, frame.timestamp,
                                      Nav::footprintOutline(placed->position, placed->heading, placed->mounting,
                                                            placed->range, *low, *high)});
            });
        }
        const auto text = Nav::formatTrack(navigation.track, footprints, format);
        if (options->output.empty()) {
            std::cout << text << std::flush;
        } else {
            Keldar::Filesystem::OutputFile output(options->output);
            std::ofstream stream(output.temporaryPath(), std::ios::binary);
            stream << text;
            stream.close();
            if (!stream) {
                Keldar::Cli::fail("cannot write " + options->output, 4);
            }
            if (Keldar::Cli::interrupted()) {
                const auto partial = output.temporaryPath();
                output.discard();
                Keldar::Cli::exitInterrupted(std::vector<std::filesystem::path>{partial});
            }
            output.commit();
        }
        if (damaged > 0) {
            Keldar::Cli::fail(std::to_string(damaged) + " entries could not be read as sonar images", 5);
        }
    });
}

void addExportGeoTiff(CLI::App& log)
{
    struct Options
    {
        std::string file;
        std::int32_t frame = 0;
        std::int32_t every = 0;
        std::string output;
        int pixels = 2000;
    };
    auto options = std::make_shared<Options>();
    auto* command = log.add_subcommand(
        "export-geotiff", "A frame as a GeoTIFF in the UTM zone of its position: intensity and alpha (transparent\n"
                          "outside the fan), square pixels, the frame's time in the metadata. Frames count from 0\n"
                          "as in `log frames`. With --every K, every Kth frame from --frame on, into OUTPUT as a\n"
                          "folder (frame_NNNNNN.tif)");
    command->add_option("FILE", options->file, "Log file")->required();
    command->add_option("--frame", options->frame, "Frame number")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    command->add_option("--every", options->every, "A series: every Kth frame")->check(CLI::PositiveNumber);
    command->add_option("--output", options->output, "GeoTIFF file (a folder with --every)")->required();
    command->add_option("--pixels", options->pixels, "Pixels across the fan's widest extent")
        ->check(CLI::Range(16, 20000))
        ->capture_default_str();
    command->callback([options] {
        const auto file = Keldar::Cli::openLog(options->file);
        const auto navigation = loadNavigation(*file, options->file);
        const Keldar::Logging::Frames::FrameReader reader(*file);
        if (options->frame >= reader.count()) {
            Keldar::Cli::fail("frame " + std::to_string(options->frame) + " is not in the log, which has " +
                                  std::to_string(reader.count()) + " frames",
                              2);
        }
        const bool series = options->every > 0;
        const Keldar::Cli::InterruptionScope interruption;
        // Interrupted, a series takes back every file it wrote and the folder it made.
        std::vector<std::filesystem::path> writtenPaths;
        bool madeFolder = false;
        if (series) {
            std::error_code error;
            madeFolder = std::filesystem::create_directories(options->output, error);
            if (error) {
                Keldar::Cli::fail("cannot make the folder " + options->output + ": " + error.message(), 4);
            }
        }
        int written = 0;
        int unplaced = 0;
        const auto last = series ? -1 : options->frame;
        int damaged = 0;
        try {
            damaged =
                Keldar::Cli::forEachFrame(reader, options->frame, last, [&](const Keldar::Cli::LoggedFrame& frame) {
                    if (series && (frame.frame - options->frame) % options->every != 0) {
                        return;
                    }
                    Keldar::Cli::throwIfInterrupted();
                    const auto placed = Nav::placeFrame(frame, navigation.track, navigation.mounting);
                    if (!placed) {
                        ++unplaced;
                        std::cerr << "ondrix-cli: frame " << frame.frame << " has no position and heading near it\n";
                        return;
                    }
                    char name[32];
                    std::snprintf(name, sizeof name, "frame_%06d.tif", frame.frame);
                    const std::filesystem::path path =
                        series ? std::filesystem::path(options->output) / name : std::filesystem::path(options->output);
                    try {
                        Nav::writeGeoTiff(*placed, path, options->pixels);
                    } catch (const std::exception& error) {
                        Keldar::Cli::fail(error.what(), 4);
                    }
                    writtenPaths.push_back(path);
                    ++written;
                });
            // A signal during the last frame's write: that frame stands, so take it back too.
            Keldar::Cli::throwIfInterrupted();
        } catch (const Keldar::Cli::Interrupted&) {
            std::vector<std::filesystem::path> removed;
            for (const auto& path : writtenPaths) {
                std::error_code error;
                if (std::filesystem::remove(path, error)) {
                    removed.push_back(path);
                }
            }
            if (madeFolder) {
                std::error_code error;
                if (std::filesystem::remove(options->output, error)) { // only when empty
                    removed.emplace_back(options->output);
                }
            }
            Keldar::Cli::exitInterrupted(removed);
        }
        // Named once the whole series stands, so that none is listed and then taken back.
        for (const auto& path : writtenPaths) {
            std::cout << path.string() << "\n";
        }
        std::cout << std::flush;
        if (damaged > 0 || unplaced > 0 || written == 0) {
            Keldar::Cli::fail(std::to_string(written) + " written; " + std::to_string(unplaced) +
                                  " frames without navigation, " + std::to_string(damaged) + " damaged",
                              5);
        }
    });
}

void addNavigationCommands(CLI::App& log)
{
    addTrack(log);
    addExportGeoTiff(log);
}

} // namespace

KELDAR_CLI_SUBCOMMAND(log, navigation, addNavigationCommands)
