#include "FlatHandles.h"

#include <keldar/logging/Algorithms.h>

using Keldar::Logging::Flat::reportError;

namespace {

namespace Algorithms = Keldar::Logging::Algorithms;

// Clone is a slice of everything; first and last are ignored for it.
KD_LogFile* copyLog(const KD_LogFile* source, bool whole, std::int32_t first, std::int32_t last, const char* path,
                    const KD_LogConfig* config, std::int32_t* skippedEntries, bool detailedError, KD_LogError** error)
{
    const char* failure = whole ? "Failed to clone log file" : "Failed to slice log file";
    try {
        Algorithms::CopyReport report;
        const std::string outputPath = path != nullptr ? path : "";
        auto output = whole ? Algorithms::clone(*source->file, outputPath, config->applicationName,
                                                config->applicationVersion, config->compressionLevel, &report)
                            : Algorithms::slice(*source->file, first, last, outputPath, config->applicationName,
                                                config->applicationVersion, config->compressionLevel, &report);
        if (skippedEntries != nullptr) {
            *skippedEntries = static_cast<std::int32_t>(report.skippedEntryIds.size());
        }
        if (output) {
            // A clone is written to by its caller; a slice is an export.
            return new KD_LogFile{std::move(output), whole};
        }
        reportError(error, detailedError && !report.error.empty() ? std::string(failure) + ": " + report.error
                                                                  : std::string(failure));
    } catch (const std::exception& exception) {
        reportError(error, exception.what());
    } catch (...) {
        reportError(error, "Unknown internal error");
    }
    return nullptr;
}

} // namespace

extern "C" {

KD_LogFile* KD_LogAlgorithms_Clone(const KD_LogFile* source, const char* path, const KD_LogConfig* config,
                                   KD_LogError** error)
{
    return copyLog(source, true, -1, -1, path, config, nullptr, false, error);
}

KD_LogFile* KD_LogAlgorithms_Slice(const KD_LogFile* source, int32_t first, int32_t last, const char* path,
                                   const KD_LogConfig* config, KD_LogError** error)
{
    return copyLog(source, false, first, last, path, config, nullptr, false, error);
}

KD_LogFile* KD_LogAlgorithms_CloneWithReport(const KD_LogFile* source, const char* path, const KD_LogConfig* config,
                                             int32_t* skippedEntries, KD_LogError** error)
{
    return copyLog(source, true, -1, -1, path, config, skippedEntries, true, error);
}

KD_LogFile* KD_LogAlgorithms_SliceWithReport(const KD_LogFile* source, int32_t first, int32_t last, const char* path,
                                             const KD_LogConfig* config, int32_t* skippedEntries, KD_LogError** error)
{
    return copyLog(source, false, first, last, path, config, skippedEntries, true, error);
}

} // extern "C"
