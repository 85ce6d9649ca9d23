#pragma once

#include <keldar/logging/Bookmark.h>
#include <keldar/logging/DataEntry.h>
#include <keldar/logging/DataSource.h>
#include <keldar/logging/DataSourceProperty.h>
#include <keldar/logging/EntryIndexFilter.h>
#include <keldar/logging/FlatInterface.h>
#include <keldar/logging/LogFileInterface.h>
#include <keldar/logging/LogMetadataEntry.h>
#include <keldar/logging/LogResourceEntry.h>

#include <cstdint>
#include <memory>
#include <string>

struct KD_LogFile
{
    std::unique_ptr<Keldar::Logging::LogFileInterface> file;
    bool writable = false;
};

struct KD_LogConfig
{
    std::string applicationName;
    std::string applicationVersion;
    std::string timeZone;
    std::int8_t compressionLevel = -1;
};

struct KD_LogError
{
    std::string message;
};

namespace Keldar::Logging::Flat {

inline void reportError(KD_LogError** error, std::string message)
{
    if (error != nullptr) {
        *error = new KD_LogError{std::move(message)};
    }
}

} // namespace Keldar::Logging::Flat
