#pragma once

#include <keldar/logging/PropertyValue.h>

#include <string>

// Global namespace: shared as-is with the flat interface.
struct LogMetadataEntry
{
    std::string key;
    Keldar::Logging::PropertyValue value;
};
