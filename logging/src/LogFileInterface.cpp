#include <keldar/logging/LogFileInterface.h>

namespace Keldar::Logging {

bool LogFileInterface::addMetadata(const LogMetadataEntry& entry)
{
    return addMetadata(entry.key, PropertyValue(entry.value));
}

bool LogFileInterface::addResource(const LogResourceEntry& entry)
{
    return addResource(entry.name, entry.data);
}

} // namespace Keldar::Logging
