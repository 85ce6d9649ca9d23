#include "FlatHandles.h"

#include <keldar/logging/Algorithms.h>

using Keldar::Logging::Flat::reportError;

extern "C" {

KD_LogFile* KD_LogAlgorithms_Clone(const KD_LogFile* source, const char* path, const KD_LogConfig* config,
                                   KD_LogError** error)
{
    try {
        auto output = Keldar::Logging::Algorithms::clone(*source->file, path != nullptr ? path : "",
                                                         config->applicationName, config->applicationVersion,
                                                         config->compressionLevel);
        if (output) {
            return new KD_LogFile{std::move(output), true};
        }
        reportError(error, "Failed to clone log file");
    } catch (const std::exception& exception) {
        reportError(error, exception.what());
    } catch (...) {
        reportError(error, "Unknown internal error");
    }
    return nullptr;
}

KD_LogFile* KD_LogAlgorithms_Slice(const KD_LogFile* source, int32_t first, int32_t last, const char* path,
                                   const KD_LogConfig* config, KD_LogError** error)
{
    try {
        auto output = Keldar::Logging::Algorithms::slice(*source->file, first, last, path != nullptr ? path : "",
                                                         config->applicationName, config->applicationVersion,
                                                         config->compressionLevel);
        if (output) {
            return new KD_LogFile{std::move(output), false};
        }
        reportError(error, "Failed to slice log file");
    } catch (const std::exception& exception) {
        reportError(error, exception.what());
    } catch (...) {
        reportError(error, "Unknown internal error");
    }
    return nullptr;
}

} // extern "C"
