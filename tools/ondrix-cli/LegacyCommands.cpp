// ondrix-cli log convert-legacy | export-legacy: the bridges to the older log
// format, doing what the viewer does behind its progress dialogs.

#include "Commands.h"
#include "Interruption.h"

#include <keldar/logging/legacy/LegacyConversion.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace Keldar::Logging;

// Stops the work at a signal and collects the partial output it removed.
struct InterruptibleProgress
{
    Keldar::Cli::InterruptionScope scope;
    std::vector<std::filesystem::path> removed;
    Legacy::Progress progress{
        {}, {}, Keldar::Cli::interrupted, [this](const std::filesystem::path& partial) { removed.push_back(partial); }};

    // After the work returned nothing: it was interrupted.
    [[noreturn]] void exit() const { Keldar::Cli::exitInterrupted(removed); }
};

void requireFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        Keldar::Cli::fail("log file does not exist: " + path, 2);
    }
}

struct ConvertOptions
{
    std::string file;
    bool compression = false;
    std::string timeZone;
};

void runConvert(const ConvertOptions& options)
{
    requireFile(options.file);
    const Legacy::ConversionSettings settings{options.timeZone, "ondrix-cli",
                                              static_cast<std::int8_t>(options.compression ? -1 : 0)};
    std::filesystem::path kept;
    InterruptibleProgress interruption;
    std::unique_ptr<SqliteLogFile> log;
    try {
        log = Legacy::convertLegacyLogFile(options.file, settings, interruption.progress, &kept);
    } catch (const Legacy::ConversionError& error) {
        Keldar::Cli::fail(options.file + ": The log file could not be converted because: " + error.what(), 5);
    } catch (const std::exception& error) {
        Keldar::Cli::fail(options.file + ": " + error.what(), 5);
    }
    if (!log) {
        interruption.exit();
    }
    std::cout << log->getFilePath().string() << "\noriginal kept as " << kept.string() << "\n";
}

struct ExportOptions
{
    std::string file;
    int from = 0;
    int to = 0;
};

// The frames left out, as the viewer words it.
std::string leftOutMessage(const Legacy::LegacyExportResult& written, int frames)
{
    std::string message =
        "Exported " + std::to_string(written.framesWritten) + " of " + std::to_string(frames) + " frames: ";
    if (written.framesUnreadable > 0) {
        message += std::to_string(written.framesUnreadable) + " could not be read";
    }
    if (written.framesOfOtherKinds > 0) {
        message += std::string(written.framesUnreadable > 0 ? ", " : "") + std::to_string(written.framesOfOtherKinds) +
                   " the older format cannot hold";
    }
    return message;
}

void runExport(const ExportOptions& options)
{
    requireFile(options.file);
    std::optional<Legacy::LegacyExportResult> exported;
    InterruptibleProgress interruption;
    try {
        // Read as every inspection reads: nothing written to the log or beside it.
        Playback::LogFilePlayer player(
            std::make_unique<SqliteLogFile>(std::filesystem::path(options.file), SqliteLogFile::Access::ReadOnly),
            {KD_LogDataSourceType_Sonar}, {}, false, 500);
        exported = Legacy::exportToLegacyLog(player, options.from, options.to, interruption.progress);
    } catch (const Legacy::LegacyExportError& error) {
        Keldar::Cli::fail(options.file + ": Something went wrong: " + error.what(), 4);
    } catch (const std::exception& error) {
        Keldar::Cli::fail(options.file + ": " + error.what(), 3);
    }
    if (!exported) {
        interruption.exit();
    }
    const Legacy::LegacyExportResult& written = *exported;
    std::cout << written.path.string() << std::endl;
    if (!written.isComplete()) {
        Keldar::Cli::fail(leftOutMessage(written, options.to - options.from + 1), 5);
    }
}

void addLegacyCommands(CLI::App& log)
{
    auto convert = std::make_shared<ConvertOptions>();
    auto* convertCommand = log.add_subcommand(
        "convert-legacy", "Convert an older-format log in place into the current format; the original is kept "
                          "beside it with \".old\" added");
    convertCommand->add_option("FILE", convert->file, "Older-format log file")->required();
    convertCommand->add_flag("--compression", convert->compression, "Compress the payloads (default level)");
    convertCommand->add_option("--time-zone", convert->timeZone,
                               "IANA time zone recorded in the log; empty shows its times in the viewer's zone");
    convertCommand->callback([convert] { runConvert(*convert); });

    auto exportOptions = std::make_shared<ExportOptions>();
    auto* exportCommand = log.add_subcommand(
        "export-legacy", "Write frames FROM..TO (inclusive, counted from 0) to a new older-format file beside the "
                         "log, named with \"_legacy\" added; prints its path. Frames that cannot be read, or that "
                         "the older format cannot carry, are left out and counted (exit code 5)");
    exportCommand->add_option("FILE", exportOptions->file, "Log file")->required();
    exportCommand->add_option("--from", exportOptions->from, "First frame")->required();
    exportCommand->add_option("--to", exportOptions->to, "Last frame")->required();
    exportCommand->callback([exportOptions] { runExport(*exportOptions); });
}

} // namespace

KELDAR_CLI_SUBCOMMAND(log, legacy, addLegacyCommands)
