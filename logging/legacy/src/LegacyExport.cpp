#include <keldar/logging/legacy/LegacyConversion.h>
#include <keldar/logging/legacy/LegacyFormat.h>
#include <keldar/logging/legacy/LegacyLogWriter.h>
#include <keldar/logging/legacy/RecordTranslator.h>

#include <keldar/core/Filesystem.h>
#include <keldar/core/OutputFile.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <variant>

namespace Keldar::Logging::Legacy {

namespace {

double creationTimeOf(const LogFileInterface& log)
{
    const auto value = log.getMetadataValue("createdDateTime");
    if (!value) {
        return 0.0;
    }
    return std::visit(
        [](const auto& held) -> double {
            if constexpr (std::is_arithmetic_v<std::decay_t<decltype(held)>>) {
                return static_cast<double>(held) / 1000.0;
            } else {
                return 0.0;
            }
        },
        *value);
}

// The record kind and version flag that convert back into `entry` as it
// is, or none when the older format cannot carry it.
std::optional<std::pair<std::uint16_t, std::uint16_t>> recordFor(const DataEntry& entry)
{
    constexpr std::uint32_t pingResultV2Type = 1;
    if (entry.type <= 2) {
        try {
            if (sonarMessageType(entry.payload) != entry.type) {
                return std::nullopt;
            }
        } catch (const ConversionError&) {
            return std::nullopt;
        }
        return std::pair{RecordKind::sonarMessage, entry.type == pingResultV2Type ? versionTwoFlag : std::uint16_t{0}};
    }
    // Kind 10 is read as a sonar message and kind 20 as the configuration of
    // the image records after it: an entry of either type would come back as
    // something else, or not at all.
    if (entry.type > 0xFFFF || entry.type == RecordKind::sonarMessage || entry.type == RecordKind::imageConfiguration) {
        return std::nullopt;
    }
    return std::pair{static_cast<std::uint16_t>(entry.type), std::uint16_t{0}};
}

} // namespace

std::optional<LegacyExportResult> exportToLegacyLog(Playback::LogFilePlayer& player, int start, int end,
                                                    const Progress& progress)
{
    if (start < 0 || end < start || end >= player.getFrameCount()) {
        throw std::out_of_range("Frames " + std::to_string(start) + " to " + std::to_string(end) +
                                " are not in the log, which has " + std::to_string(player.getFrameCount()) +
                                " frames.");
    }
    progress.range(start, end);
    progress.value(start);

    const LogFileInterface& log = player.getUnderlyingLogFile();
    // Written under a temporary name beside the final one, which it takes
    // only once complete.
    Filesystem::OutputFile output(
        Filesystem::makeUniqueFilePath(Filesystem::appendTextToFilename(log.getFilePath(), "_legacy")));
    std::ofstream out(output.temporaryPath(), std::ios::binary);
    if (!out) {
        throw LegacyExportError(cannotCreateFileMessage);
    }
    const auto discard = [&] {
        out.close();
        if (output.discard()) {
            progress.removed(output.temporaryPath());
        }
    };

    LegacyLogWriter writer(out, creationTimeOf(log));
    // One entry record serves every frame: allocating and freeing buffers of
    // an image's size per entry makes the allocator hand their pages back to
    // the system and fault them in again, which costs more than the copying.
    DataEntry entry;
    LegacyExportResult result;
    result.path = output.finalPath();
    for (int frame = start; frame <= end; ++frame) {
        if (!player.seekInto(frame, entry)) {
            ++result.framesUnreadable;
        } else if (const auto record = recordFor(entry)) {
            writer.writeRecord(record->first, record->second, static_cast<double>(entry.timestamp) / 1000.0,
                               entry.payload.data(), entry.payload.size());
            ++result.framesWritten;
        } else {
            ++result.framesOfOtherKinds;
        }
        // A short file must not be reported as a finished export.
        if (!out) {
            discard();
            throw LegacyExportError(cannotWriteFileMessage);
        }
        if (progress.cancelled()) {
            discard();
            return std::nullopt;
        }
        progress.value(frame);
    }
    out.close();
    if (!out) {
        discard();
        throw LegacyExportError(cannotWriteFileMessage);
    }
    try {
        output.commit();
    } catch (const std::filesystem::filesystem_error&) {
        progress.removed(output.temporaryPath());
        throw LegacyExportError(cannotWriteFileMessage);
    }
    return result;
}

} // namespace Keldar::Logging::Legacy
