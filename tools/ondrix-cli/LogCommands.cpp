// ondrix-cli log info | slice | clone | bookmarks: inspect and export log files
// (log frames and log export-frames join them from their own files).

#include "Commands.h"
#include "Interruption.h"
#include "Json.h"
#include "LogFiles.h"

#include <keldar/logging/Algorithms.h>
#include <keldar/logging/Recovery.h>
#include <keldar/logging/SqliteLogFile.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

namespace {

using Keldar::Logging::PropertyValue;
using Keldar::Logging::SqliteLogFile;

using Keldar::Cli::Json;
using Keldar::Cli::openLog;

std::string valueText(const PropertyValue& value)
{
    return std::visit(
        [](const auto& held) -> std::string {
            using T = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return held;
            } else if constexpr (std::is_same_v<T, double>) {
                std::ostringstream out;
                out.precision(10);
                out << held;
                return out.str();
            } else {
                return std::to_string(held);
            }
        },
        value);
}

Json valueJson(const PropertyValue& value)
{
    return std::visit(
        [](const auto& held) -> Json {
            if constexpr (std::is_same_v<std::decay_t<decltype(held)>, double>) {
                return Keldar::Cli::jsonNumber(held);
            } else {
                return held;
            }
        },
        value);
}

struct EntrySpan
{
    std::int32_t count = 0;
    std::optional<std::int32_t> first;
    std::optional<std::int32_t> last;
    std::optional<std::int64_t> durationMs;
};

EntrySpan entrySpan(const SqliteLogFile& file)
{
    EntrySpan span;
    span.count = std::max(file.getEntryCount(), 0);
    if (span.count == 0) {
        return span;
    }
    span.first = file.getFirstEntryId();
    span.last = file.getLastEntryId();
    const auto firstEntry = file.readEntry(*span.first);
    const auto lastEntry = file.readEntry(*span.last);
    if (firstEntry && lastEntry) {
        span.durationMs = lastEntry->timestamp - firstEntry->timestamp;
    }
    return span;
}

void printInfoJson(const SqliteLogFile& file)
{
    auto optional = [](const auto& value) { return value ? Json(*value) : Json(nullptr); };
    Json metadata = Json::array();
    for (const auto& entry : file.getAllMetadata()) {
        metadata.push_back({{"key", entry.key}, {"value", valueJson(entry.value)}});
    }
    Json sources = Json::array();
    const auto properties = file.getAllDataSourceProperties();
    for (const auto& source : file.getDataSources()) {
        Json sourceProperties = Json::object();
        for (const auto& property : properties) {
            if (property.dataSourceId == source.id) {
                sourceProperties[property.key] = valueJson(property.value);
            }
        }
        sources.push_back({{"id", static_cast<int>(source.id)},
                           {"type", static_cast<int>(source.type)},
                           {"name", source.name},
                           {"properties", std::move(sourceProperties)}});
    }
    Json bookmarks = Json::array();
    for (const auto& bookmark : file.getBookmarks()) {
        bookmarks.push_back(
            {{"entryId", bookmark.entryId}, {"title", bookmark.title}, {"comments", bookmark.comments}});
    }
    const EntrySpan span = entrySpan(file);
    std::cout << Keldar::Cli::jsonLine({{"path", file.getFilePath().string()},
                                        {"logVersion", file.getLogVersion()},
                                        {"compressionLevel", static_cast<int>(file.getCompressionLevel())},
                                        {"metadata", std::move(metadata)},
                                        {"dataSources", std::move(sources)},
                                        {"entryCount", span.count},
                                        {"firstEntryId", optional(span.first)},
                                        {"lastEntryId", optional(span.last)},
                                        {"durationMs", optional(span.durationMs)},
                                        {"bookmarks", std::move(bookmarks)}})
              << "\n";
}

void printInfoText(const SqliteLogFile& file)
{
    std::cout << "file: " << file.getFilePath().string() << "\n"
              << "log version: " << file.getLogVersion() << "\n"
              << "compression level: " << static_cast<int>(file.getCompressionLevel()) << "\n"
              << "metadata:\n";
    for (const auto& entry : file.getAllMetadata()) {
        std::cout << "  " << entry.key << " = " << valueText(entry.value) << "\n";
    }
    std::cout << "data sources:\n";
    const auto properties = file.getAllDataSourceProperties();
    for (const auto& source : file.getDataSources()) {
        std::cout << "  " << static_cast<int>(source.id) << ": " << source.name << " (type "
                  << static_cast<int>(source.type) << ")\n";
        for (const auto& property : properties) {
            if (property.dataSourceId == source.id) {
                std::cout << "    " << property.key << " = " << valueText(property.value) << "\n";
            }
        }
    }
    const EntrySpan span = entrySpan(file);
    std::cout << "entries: " << span.count << "\n";
    if (span.first && span.last) {
        std::cout << "first entry id: " << *span.first << "\nlast entry id: " << *span.last << "\n";
    }
    if (span.durationMs) {
        std::cout << "duration: " << static_cast<double>(*span.durationMs) / 1000.0 << " s\n";
    }
    const auto bookmarks = file.getBookmarks();
    std::cout << "bookmarks: " << bookmarks.size() << "\n";
    for (const auto& bookmark : bookmarks) {
        std::cout << "  entry " << bookmark.entryId << ": " << bookmark.title
                  << (bookmark.comments.empty() ? "" : " - " + bookmark.comments) << "\n";
    }
}

struct ExportOptions
{
    std::string file;
    std::int32_t first = -1;
    std::int32_t last = -1;
    std::string out;
    std::optional<int> compression;
};

void runExport(const ExportOptions& options, bool whole)
{
    const auto source = openLog(options.file);
    const auto level = static_cast<std::int8_t>(options.compression.value_or(source->getCompressionLevel()));
    std::unique_ptr<Keldar::Logging::LogFileInterface> output;
    Keldar::Logging::Algorithms::CopyReport report;
    const Keldar::Cli::InterruptionScope interruption;
    Keldar::Logging::Algorithms::CopyControl control;
    control.cancelled = Keldar::Cli::interrupted;
    if (whole) {
        output = Keldar::Logging::Algorithms::clone(*source, options.out, "ondrix-cli", KELDAR_VERSION, level, &report,
                                                    control);
    } else {
        output = Keldar::Logging::Algorithms::slice(*source, options.first, options.last, options.out, "ondrix-cli",
                                                    KELDAR_VERSION, level, &report, control);
    }
    if (!output && report.cancelled) {
        Keldar::Cli::exitInterrupted(report.removedOutput.empty() ? std::vector<std::filesystem::path>{}
                                                                  : std::vector{report.removedOutput});
    }
    if (!output) {
        const std::string failure = whole ? "Failed to clone log file" : "Failed to slice log file";
        Keldar::Cli::fail(report.error.empty() ? failure : failure + ": " + report.error, 4);
    }
    std::cout << output->getFilePath().string() << std::endl;
    if (!report.skippedEntryIds.empty()) {
        const auto skipped = static_cast<std::int64_t>(report.skippedEntryIds.size());
        Keldar::Cli::fail("Exported " + std::to_string(report.copiedEntries) + " of " +
                              std::to_string(report.copiedEntries + skipped) + " entries: " + std::to_string(skipped) +
                              " could not be read and were left out",
                          5);
    }
}

void runRecover(const std::string& path, const std::string& output)
{
    const auto source = openLog(path);
    Keldar::Logging::Algorithms::RecoveryReport report;
    if (!Keldar::Logging::Algorithms::recoverInto(*source, output, "ondrix-cli", KELDAR_VERSION, report)) {
        Keldar::Cli::fail("Failed to recover " + path + ": " + report.error, 4);
    }
    std::cout << report.summary(output) << std::endl;
}

void addExportOptions(CLI::App& command, ExportOptions& options)
{
    command.add_option("FILE", options.file, "Log file")->required();
    command.add_option("--out", options.out, "Output path; empty adds \"_exported\" to the source's name");
    command
        .add_option("--compression", options.compression,
                    "Compression level of the output, -1 (default level) to 9; the source's level when absent")
        ->check(CLI::Range(-1, 9));
}

void addLog(CLI::App& app)
{
    auto* log = app.add_subcommand("log", "Inspect and export log files");
    log->require_subcommand(1);

    auto infoFile = std::make_shared<std::string>();
    auto infoJson = std::make_shared<bool>(false);
    auto* info = log->add_subcommand("info", "Version, compression, metadata, sources, entries and bookmarks");
    info->add_option("FILE", *infoFile, "Log file")->required();
    info->add_flag("--json", *infoJson, "One JSON object");
    info->callback([infoFile, infoJson] {
        const auto file = openLog(*infoFile);
        const std::string damage = Keldar::Cli::damageOf(*file);
        if (*infoJson) {
            printInfoJson(*file);
        } else {
            printInfoText(*file);
        }
        std::cout.flush();
        Keldar::Cli::failIfDamaged(damage);
    });

    auto recoverFile = std::make_shared<std::string>();
    auto recoverOutput = std::make_shared<std::string>();
    auto* recover = log->add_subcommand("recover", "Copy every readable entry and bookmark of a damaged log into a new "
                                                   "file, and say what was lost; the damaged file is not changed");
    recover->add_option("FILE", *recoverFile, "Log file")->required();
    recover->add_option("--output", *recoverOutput, "The new log file; must not exist")->required();
    recover->callback([recoverFile, recoverOutput] { runRecover(*recoverFile, *recoverOutput); });

    auto sliceOptions = std::make_shared<ExportOptions>();
    auto* slice = log->add_subcommand("slice", "Copy entries FIRST..LAST (inclusive ids) into a new log; prints its "
                                               "path. Entries that cannot be read are left out and "
                                               "counted (exit code 5)");
    addExportOptions(*slice, *sliceOptions);
    slice->add_option("--first", sliceOptions->first, "First entry id")->required();
    slice->add_option("--last", sliceOptions->last, "Last entry id")->required();
    slice->callback([sliceOptions] { runExport(*sliceOptions, false); });

    auto cloneOptions = std::make_shared<ExportOptions>();
    auto* clone = log->add_subcommand("clone", "Copy a whole log into a new log in the current format");
    addExportOptions(*clone, *cloneOptions);
    clone->callback([cloneOptions] { runExport(*cloneOptions, true); });

    auto bookmarksFile = std::make_shared<std::string>();
    auto* bookmarks = log->add_subcommand("bookmarks", "List the bookmarks: entry id, title, comments");
    bookmarks->add_option("FILE", *bookmarksFile, "Log file")->required();
    bookmarks->callback([bookmarksFile] {
        const auto file = openLog(*bookmarksFile);
        for (const auto& bookmark : file->getBookmarks()) {
            std::cout << bookmark.entryId << "\t" << bookmark.title << "\t" << bookmark.comments << "\n";
        }
    });
}

} // namespace

KELDAR_CLI_COMMAND(log, addLog)
