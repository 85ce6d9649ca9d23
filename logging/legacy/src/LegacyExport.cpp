#include <keldar/logging/legacy/LegacyConversion.h>
#include <keldar/logging/legacy/LegacyFormat.h>
#include <keldar/logging/legacy/LegacyLogWriter.h>

#include "OutputFiles.h"

#include <keldar/core/Filesystem.h>

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

} // namespace

std::optional<std::filesystem::path> exportToLegacyLog(Playback::LogFilePlayer& player, int start, int end,
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
    const auto outputPath =
        Filesystem::makeUniqueFilePath(Filesystem::appendTextToFilename(log.getFilePath(), "_legacy"));
    std::ofstream out(outputPath, std::ios::binary);
    if (!out) {
        throw LegacyExportError(cannotCreateFileMessage);
    }
    const auto discard = [&] {
        out.close();
        removeOutput(outputPath);
    };

    LegacyLogWriter writer(out, creationTimeOf(log));
    // One entry record serves every frame: allocating and freeing buffers of
    // an image's size per entry makes the allocator hand their pages back to
    // the system and fault them in again, which costs more than the copying.
    DataEntry entry;
    for (int frame = start; frame <= end; ++frame) {
        const bool delivered = player.seekInto(frame, entry);
        if (delivered) {
            const std::uint16_t versionFlag = entry.type == 1 ? versionTwoFlag : 0;
            writer.writeRecord(RecordKind::sonarMessage, versionFlag, static_cast<double>(entry.timestamp) / 1000.0,
                               entry.payload.data(), entry.payload.size());
        }
        // A short file must not be reported as a finished export.
        if (!delivered || !out) {
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
        removeOutput(outputPath);
        throw LegacyExportError(cannotWriteFileMessage);
    }
    return outputPath;
}

} // namespace Keldar::Logging::Legacy
